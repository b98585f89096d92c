// The program entry: creates the main window (which runs the start-up
// sequence) and runs the message loop until it has closed.

#include "mainwindow.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexivo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lexivo.png")));

    lexivo::MainWindow window(QCoreApplication::applicationDirPath());
    if (window.startupAborted()) return 0;
    // The restored size fills the screen too, for desktops without a window
    // manager that honours maximising.
    if (const QScreen* screen = window.screen()) window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
