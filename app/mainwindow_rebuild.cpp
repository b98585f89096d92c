// The Compile commands: fast and complete rebuild.

#include "mainwindow.h"

#include "dialogs/rebuildprogresswindow.h"

#include <QComboBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <memory>

namespace lexivo {

void MainWindow::btnRebuildClick() {
    runRebuild(false);
}

void MainWindow::RebuildAllusecode1Click() {
    // The count of the quality checks' findings first: go on, or look.
    if (!confirmCompleteRebuild()) return;
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
        // The text step writes the game file from the editor's lines; a
        // modified editor is saved as text.txt first.
        Lines textLines;
        const bool textStep = m_ws.TextChanged || complete;
        if (textStep) {
            textLines = textTabLines();
            if (m_textModified) {
                ChangeCount = 0;
                m_ws.saveTextTab(textLines);
            }
        }
        try {
            report = m_ws.Rebuild(complete, onProgress, textStep ? &textLines : nullptr);
        } catch (const GameFileChanged& e) {
            progress.reset();
            setBusy(false);
            offerReload(e.message());
            return;
        }
    }
    if (report.usecodeWritten)
        setStatusText(QStringLiteral("Usecode compiled in %1ms").arg(report.milliseconds));
    if (!report.warnings.isEmpty()) showMessage(report.warnings.join(QLatin1Char('\n')));
    // A text step that could not write the game file keeps its change flag,
    // and translations that did not go in still differ from the game file:
    // the fast rebuild stays available for the next attempt.
    setFastRebuildEnabled(m_ws.TextChanged || m_ws.TranslationsChanged);
}

// The game file changed on disk after it was loaded: nothing was written. The
// user may load it again (the translation files stay as they are, so the next
// rebuild puts them into the new file) or leave everything as it is.
void MainWindow::offerReload(const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Lexivo"), message, QMessageBox::NoButton,
                    this);
    box.setObjectName(QStringLiteral("ReloadMessageBox"));
    QPushButton* reload = box.addButton(QStringLiteral("&Reload"), QMessageBox::AcceptRole);
    reload->setObjectName(QStringLiteral("btnReload"));
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(reload);
    box.exec();
    if (box.clickedButton() != reload) return;
    const int index = comboFuncList->currentIndex();
    m_ws.reloadUsecode();
    const QStringList warnings = m_ws.takeWarnings();
    fillFunctionList();
    if (index >= 0 && index < comboFuncList->count()) {
        comboFuncList->setCurrentIndex(index);
        ShowFunction(index);
    }
    if (!warnings.isEmpty()) showMessage(warnings.join(QLatin1Char('\n')));
}

} // namespace lexivo
