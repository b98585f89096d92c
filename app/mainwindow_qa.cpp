// Quality checks and progress figures in the window: "Check translations",
// the question before a complete rebuild, and the project's figure in the
// status bar.

#include "mainwindow.h"

#include "dialogs/findingsdialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace lexivo {

namespace {
constexpr int UsecodeTab = 0;
constexpr int TextTab = 1;
} // namespace

QList<Workspace::Finding> MainWindow::checkTranslations(QStringList& notes) {
    // The text tab is checked as the editor holds it, saved or not.
    const Lines text = m_ws.gameTextLoaded() ? textTabLines() : Lines();
    return m_ws.checkTranslations(m_codec, m_ws.gameTextLoaded() ? &text : nullptr, &notes);
}

void MainWindow::showFindings(const QList<Workspace::Finding>& findings, const QStringList& notes) {
    if (!m_findingsDialog) {
        m_findingsDialog = new FindingsDialog(
            this, [this](int f, int line) { guard([&] { goToFinding(f, line); }); });
    }
    QList<FindingsDialog::Row> rows;
    rows.reserve(findings.size());
    for (const Workspace::Finding& f : findings) {
        const QString place = f.functionIndex < 0 ? QStringLiteral("text.txt")
                                                  : m_codec.decode(f.hexNum + ": " + f.description);
        rows.append(
            {place, int(f.problem.line + 1), f.problem.check, f.problem.message, f.functionIndex});
    }
    m_findingsDialog->setRows(rows, notes);
    m_findingsDialog->show();
    m_findingsDialog->raise();
    m_findingsDialog->activateWindow();
}

void MainWindow::goToFinding(int functionIndex, int line) {
    if (functionIndex >= 0) {
        if (functionIndex >= m_ws.functionCount()) return;
        PageControl1->setCurrentIndex(UsecodeTab);
        goToLine(functionIndex, line);
        return;
    }
    PageControl1->setCurrentIndex(TextTab);
    MemoFLX->setFocus();
    SelectInText(line, 0, 0);
    syncTextTabToCaret();
}

void MainWindow::Checktranslations1Click() {
    if (!m_ws.usecodeLoaded() || !m_ws.packLoaded()) return;
    QStringList notes;
    const QList<Workspace::Finding> findings = checkTranslations(notes);
    showFindings(findings, notes);
}

bool MainWindow::confirmCompleteRebuild() {
    if (!m_startupComplete) return true;
    QStringList notes;
    const QList<Workspace::Finding> findings = checkTranslations(notes);
    if (findings.isEmpty()) return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lexivo"),
                    (findings.size() == 1
                         ? QStringLiteral("The quality checks found 1 problem in the "
                                          "translations. Rebuild anyway, or look at it first?")
                         : QStringLiteral("The quality checks found %1 problems in the "
                                          "translations. Rebuild anyway, or look at them first?")
                               .arg(findings.size())),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("FindingsMessageBox"));
    QPushButton* goOn = box.addButton(QStringLiteral("&Rebuild"), QMessageBox::AcceptRole);
    goOn->setObjectName(QStringLiteral("btnGoOn"));
    QPushButton* look = box.addButton(QStringLiteral("&Show problems"), QMessageBox::RejectRole);
    look->setObjectName(QStringLiteral("btnLook"));
    box.setDefaultButton(look);
    box.setEscapeButton(look);
    box.exec();
    if (box.clickedButton() == goOn) return true;
    showFindings(findings, notes);
    return false;
}

void MainWindow::showProjectProgress() {
    const Workspace::LineCount count = m_ws.projectProgress();
    // Rounded down: 100% only when every line is translated.
    const double percent =
        count.total > 0 ? double(count.translated * 1000 / count.total) / 10.0 : 0.0;
    ProgressPanel->setText(QStringLiteral("%1 of %2 lines translated (%3%)")
                               .arg(count.translated)
                               .arg(count.total)
                               .arg(QString::number(percent, 'f', 1)));
}

} // namespace lexivo
