// Start-up, first show, close and the Help menu of the main window.

#include "mainwindow.h"

#include "dialogs/aboutdialog.h"
#include "dialogs/helpwindow.h"
#include "dialogs/quicksearchwindow.h"
#include "notes/rtfreader.h"
#include "workspace/fileio.h"
#include "workspace/paths.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QUrl>

namespace lexivo {

// The start-up sequence, in its fixed order. Two early exits end the program
// (no game folder chosen, no usecode file): startupAborted() tells the program
// entry not to show the window. A loading step that fails shows its message
// and ends the sequence there; the commands whose data did not load are
// disabled.
void MainWindow::FormCreate() {
    PageControl1->setCurrentIndex(0);
    btnAddCmt->setEnabled(false);
    setWindowTitle(QStringLiteral("Lexivo ") + QString::fromLatin1(Workspace::VersionText));
    updateCommandStates();

    bool configured = false;
    guard([&] {
        m_ws.openConfiguration();
        m_ws.readConfiguration();
        // Every view shows the bytes through the configured code page.
        m_codec.setCodePage(m_ws.settings().codePage);
        m_codec.setUtf8(m_ws.settings().gameTextEncoding == GameTextEncoding::Utf8);
        // Every key is read at once (reading has no side effects); the
        // reference is loaded before anything else that can fail or ask.
        if (m_ws.hasReference()) m_ws.loadReference();
        configured = true;
    });
    if (!configured) return;

    loadNotes();
    ApplyColors();

    if (!m_ws.hasGameDirectory()) {
        showMessage(QStringLiteral(
            "Warning! No root folder selected for Ultima7 game. Please choose one."));
        QString directory;
        if (!m_folderBrowser || !m_folderBrowser(this, directory)) {
            m_startupAborted = true;
            return;
        }
        bool chosen = false;
        guard([&] {
            m_ws.chooseGameDirectory(directory);
            chosen = true;
        });
        if (!chosen) return; // LEXIVO.INI could not be written: the sequence ends here
    }

    if (!m_ws.locateUsecode()) {
        showMessage(QStringLiteral("Warning! Cannot find \"usecode\" file! Check path and file."));
        m_startupAborted = true;
        return;
    }

    bool loaded = false;
    guard([&] {
        m_ws.loadWorkspaceFiles();
        loaded = true;
    });
    // Problems that did not stop loading (and those found before a step
    // failed) are shown together.
    const QStringList warnings = m_ws.takeWarnings();
    if (!warnings.isEmpty()) showMessage(warnings.join(QLatin1Char('\n')));
    if (m_ws.usecodeLoaded()) fillFunctionList();
    if (m_ws.gameTextLoaded()) fillTextTab();
    fillStatusGrid();
    if (!loaded) {
        updateCommandStates();
        return;
    }

    m_startupComplete = true;
    m_ws.CompleteRebuild = false;
    updateCommandStates();
    // What an earlier session, import-po or a colleague left for the fast
    // rebuild: translation files and text.txt that differ from the game files.
    guard([&] { m_ws.judgeChangesOnDisk(); });
    setFastRebuildEnabled(m_ws.TranslationsChanged || m_ws.TextChanged);
    guard([&] { watchEditorDirectory(); });
    guard([&] { BuildTranslatorsMenu(); });
    // The window is maximised by the program entry when it shows it.
}

// Commands that need data the start-up sequence did not load are disabled.
// The rebuild writes both the usecode and the game text, so it needs the whole
// workspace; the function commands need the usecode file.
void MainWindow::updateCommandStates() {
    const bool usecode = m_ws.usecodeLoaded();
    comboFuncList->setEnabled(usecode);
    btnEditFuncName->setEnabled(usecode && comboFuncList->count() > 0);
    btnRebuildAll->setEnabled(m_startupComplete);
    RebuildAllusecode1->setEnabled(m_startupComplete);
    setFastRebuildEnabled(false);
    // The toolbar button waits for the first hit; the menu item is always
    // there (with nothing to step through it only shows the tab).
    btnFindNext->setEnabled(false);
}

void MainWindow::loadNotes() {
    NotesRichEdit->clear();
    const QString path = m_ws.notesPath();
    if (path.isEmpty()) {
        NotesRichEdit->setPlainText(m_ws.notesMissingLine());
        return;
    }
    guard([&] {
        const QByteArray bytes = readWholeFile(path);
        RtfReader reader(m_codec);
        // A notes file that is not rich text at all is shown as plain text.
        if (!reader.read(bytes, NotesRichEdit->document()))
            NotesRichEdit->setPlainText(m_codec.decode(bytes));
        NotesRichEdit->moveCursor(QTextCursor::Start);
    });
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
    }
}

// First show: reopen the last function and line, and open the options
// dialog on a first run.
void MainWindow::FormShow() {
    if (m_startupAborted) return;
    guard([&] {
        // The go-to sequence. An empty function table, or a LASTFUNC at or
        // beyond its end (another usecode file since the last run), skips it:
        // there is nothing to reopen, and selecting nothing is the honest state.
        const int count = comboFuncList->count();
        const int index = m_ws.settings().lastFunc; // already raised to 0 when negative
        if (m_ws.usecodeLoaded() && count > 0 && index < count)
            goToLine(index, m_ws.settings().lastFuncLine);
    });
    if (m_ws.firstRun()) guard([&] { Options1Click(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        // A rebuild is running: the window stays until it ends.
        event->ignore();
        return;
    }
    FormClose();
    if (m_quickSearchWindow) m_quickSearchWindow->close();
    event->accept();
}

// The window closes, by any means: save the text tab's edits and the position.
void MainWindow::FormClose() {
    if (m_startupAborted) return;
    guard([&] { SaveTextTabEdits(); });
    // Without a function list there is no position to keep; writing -1 would
    // lose the one stored by the last good run.
    if (!m_ws.usecodeLoaded()) return;
    guard([&] { m_ws.saveLastPosition(comboFuncList->currentIndex(), lbStrings->currentRow()); });
}

void MainWindow::btnQuitClick() {
    close();
}

bool MainWindow::BrowseForFolder(QWidget* owner, QString& path) {
    // Starts at the desktop, or at the home folder where there is none.
    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!QDir(start).exists()) start = QDir::homePath();
    const QString chosen = QFileDialog::getExistingDirectory(
        owner, QStringLiteral("Select main game directory"), start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return false;
    path = withTrailingSlash(chosen);
    return true;
}

void MainWindow::Help2Click() {
    // Help/index.htm beside the program when there is one (a team may keep
    // its own there), else the page built into the program; either is shown
    // in the help window, which needs no web browser.
    QUrl page(QStringLiteral("qrc:/help/index.htm"));
    const QString helpDirectory = findEntry(m_ws.programDirectory(), QStringLiteral("Help"));
    if (!helpDirectory.isEmpty()) {
        const QString file =
            findEntry(withTrailingSlash(helpDirectory), QStringLiteral("index.htm"));
        if (!file.isEmpty() && QFileInfo(file).isFile()) page = QUrl::fromLocalFile(file);
    }
    if (!m_helpWindow) m_helpWindow = new HelpWindow(this);
    m_helpWindow->showPage(page);
}

void MainWindow::About1Click() {
    AboutDialog* about = new AboutDialog(this);
    about->exec(); // deleted on close
}

} // namespace lexivo
