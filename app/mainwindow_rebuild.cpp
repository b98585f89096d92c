// The Compile commands: fast and complete rebuild.

#include "mainwindow.h"

#include "dialogs/rebuildprogresswindow.h"

#include <QMenuBar>
#include <QToolBar>
#include <memory>

namespace lexivo {

void MainWindow::btnRebuildClick() {
    runRebuild(false);
}

void MainWindow::RebuildAllusecode1Click() {
    runRebuild(true);
}

// Holds off every other command while the rebuild runs: the rebuild lets
// window messages through so that its progress window repaints, and nothing
// may edit the workspace or start a second rebuild meanwhile.
void MainWindow::setBusy(bool busy) {
    m_busy = busy;
    centralWidget()->setEnabled(!busy);
    menuBar()->setEnabled(!busy);
    ToolBar1->setEnabled(!busy);
}

void MainWindow::runRebuild(bool complete) {
    // The rebuild writes the usecode and the game text: it needs the whole
    // workspace loaded.
    if (!m_startupComplete) return;
    Workspace::RebuildReport report;
    {
        std::unique_ptr<RebuildProgressWindow> progress;
        struct Release {
            MainWindow* window;
            ~Release() { window->setBusy(false); }
        } release{this};
        setBusy(true);
        auto onProgress = [&](quint32 funcNum, qint64 position, qint64 total) {
            if (!progress) {
                progress = std::make_unique<RebuildProgressWindow>(this);
                progress->show();
            }
            progress->setProgress(funcNum, position, total);
        };
        // An error propagates to the guard of the command, which shows it;
        // the progress window goes and the commands come back on the way out.
        report = m_ws.Rebuild(complete, onProgress);
    }
    if (report.usecodeWritten)
        setStatusText(QStringLiteral("Usecode compiled in %1ms").arg(report.milliseconds));
    if (!report.warnings.isEmpty()) showMessage(report.warnings.join(QLatin1Char('\n')));
    setFastRebuildEnabled(false);
}

} // namespace lexivo
