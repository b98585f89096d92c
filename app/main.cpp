// The program entry: creates the main window (which runs the start-up
// sequence) and runs the message loop until it has closed.

#include "mainwindow.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char* argv[]) {
#ifdef __GLIBC__
    // Start-up reads and decompresses several megabytes into buffers that
    // live a moment (the packs' bzip2 state alone takes 3.6 MB). glibc would
    // raise its mmap threshold after the first such buffer is freed and
    // serve the next ones from the heap, where freed memory stays with the
    // program; a fixed threshold keeps every large buffer in its own mapping,
    // given back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexivo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lexivo.png")));

    lexivo::MainWindow window(QCoreApplication::applicationDirPath());
    if (window.startupAborted()) return 0;
#ifdef __GLIBC__
    // What start-up freed in the heap goes back to the system too.
    malloc_trim(0);
#endif
    // The restored size fills the screen too, for desktops without a window
    // manager that honours maximising.
    if (const QScreen* screen = window.screen()) window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
