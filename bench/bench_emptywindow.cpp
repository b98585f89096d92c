// The toolkit's own memory baseline for the window program's peak memory: an
// empty Qt Widgets main window, shown for a moment, then closed.
//
//   QT_QPA_PLATFORM=offscreen /usr/bin/time -v build/bench/bench_emptywindow
//
// "Maximum resident set size" is the figure bench/README.md compares with.

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1280, 800);
    window.show();
    QTimer::singleShot(1000, &app, &QApplication::quit);
    return app.exec();
}
