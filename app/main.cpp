// The program entry: creates the main window (which runs the start-up
// sequence) and runs the message loop until it has closed.

#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexivo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lexivo.png")));

    lexivo::MainWindow window(QCoreApplication::applicationDirPath());
    if (window.startupAborted()) return 0;
    window.showMaximized();
    return app.exec();
}
