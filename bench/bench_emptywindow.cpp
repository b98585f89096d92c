// The toolkit's own memory baseline for the window program's peak memory: an
// empty Qt Widgets main window, shown for a moment, then closed.
//
//   QT_QPA_PLATFORM=offscreen /usr/bin/time -v build/bench/bench_emptywindow [--text]
//
// "Maximum resident set size" is the figure bench/README.md compares with.
// With --text the window also draws a line of text in a menu bar and in its
// centre, so that the toolkit loads its fonts (font files, font
// configuration, glyph caches) as any window with text does.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1280, 800);
    if (argc > 1 && QByteArray(argv[1]) == "--text") {
        window.menuBar()->addMenu(QStringLiteral("&File"));
        window.setCentralWidget(new QLabel(QStringLiteral("The quick brown fox")));
    }
    window.show();
    QTimer::singleShot(1000, &app, &QApplication::quit);
    return app.exec();
}
