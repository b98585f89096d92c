// The main window: start-up sequence and its early exits, the command set and
// its states, close handling, Help, About, the notes page, colours, the
// description command and the rebuild commands.

#include "colorsetting.h"
#include "dialogs/aboutdialog.h"
#include "dialogs/quicksearchwindow.h"
#include "dialogs/rebuildprogresswindow.h"
#include "gamebuilder/samplegame.h"
#include "mainwindow.h"
#include "testgame.h"
#include "windowtest.h"
#include "workspace/inifile.h"
#include "workspace/textlines.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

using lexivo::MainWindow;
using namespace lexivo::testing;

namespace {

// A program folder (LEXIVO.INI, the editor directory by default) and a game
// folder with the sample game.
struct Setup {
    QTemporaryDir temp;
    QString programDir;
    QString gameDir;

    explicit Setup(bool withGame = true, bool withIni = true, const QByteArray& iniExtra = {}) {
        programDir = temp.path() + "/program/";
        gameDir = temp.path() + "/game/";
        QDir().mkpath(programDir);
        QDir().mkpath(gameDir);
        if (withGame) lexivo::gamebuild::writeSampleGame(gameDir);
        if (withIni) writeIni(programDir, gameDir, {}, iniExtra);
    }
    QString ini() const { return programDir + "LEXIVO.INI"; }
    QByteArray iniValue(const char* section, const char* key) const {
        return lexivo::IniFile(ini()).readString(section, key, "<missing>");
    }
};

QStringList toolbarCaptions(QToolBar* bar) {
    QStringList captions;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator())
            captions << "|";
        else if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
            captions << button->objectName() + "=" + button->text();
    }
    return captions;
}

QStringList menuCaptions(QMenu* menu) {
    QStringList captions;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            captions << "|";
        else
            captions << action->objectName() + "=" + action->text() +
                            (action->shortcut().isEmpty()
                                 ? QString()
                                 : " " + action->shortcut().toString(QKeySequence::PortableText));
    }
    return captions;
}

QMenu* topMenu(MainWindow& window, const QString& caption) {
    for (QAction* action : window.menuBar()->actions())
        if (action->text() == caption) return action->menu();
    return nullptr;
}

} // namespace

// Stands in for the desktop's handler of file URLs.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void commandSetAtStartUp() {
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        QCOMPARE(answerer.log, QStringList());
        QVERIFY(!window.startupAborted());
        QVERIFY(window.startupComplete());
        QCOMPARE(window.windowTitle(), QStringLiteral("Lexivo v0.98"));

        auto* tabs = child<QTabWidget>(&window, "PageControl1");
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Usecode editing"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Text.flx editing"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Translation status"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("Notes"));
        QCOMPARE(tabs->currentIndex(), 0);

        // Every control of the tabs exists under its own name.
        for (const char* name : {"lbStrings", "ListBox1"})
            QVERIFY2(child<QListWidget>(&window, name), name);
        for (const char* name : {"memoEng", "memoStr", "MemoFLX"})
            QVERIFY2(child<QPlainTextEdit>(&window, name), name);
        for (const char* name : {"rtfComment", "NotesRichEdit"})
            QVERIFY2(child<QTextEdit>(&window, name)->isReadOnly(), name);
        QVERIFY(child<QPlainTextEdit>(&window, "memoEng")->isReadOnly());
        QVERIFY(!child<QPlainTextEdit>(&window, "memoStr")->isReadOnly());
        QVERIFY(child<QLabel>(&window, "OrigTextPanel"));
        QCOMPARE(child<QPushButton>(&window, "btnOK")->text(), QStringLiteral("OK"));
        auto* addComment = child<QPushButton>(&window, "btnAddCmt");
        QCOMPARE(addComment->text(), QStringLiteral("Add comment"));
        QVERIFY(!addComment->isEnabled());
        auto* editName = child<QPushButton>(&window, "btnEditFuncName");
        QCOMPARE(editName->text(), QStringLiteral("..."));
        QCOMPARE(editName->toolTip(), QStringLiteral("Edit function title"));

        auto* grid = child<QTreeView>(&window, "FuncStatusGridView");
        QCOMPARE(grid->model()->columnCount(), 5);
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Functions"));
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Translator"));
        QCOMPARE(grid->model()->headerData(3, Qt::Horizontal).toString(),
                 QStringLiteral("InternalFuncNum"));
        QCOMPARE(grid->model()->headerData(4, Qt::Horizontal).toString(),
                 QStringLiteral("Translated"));
        QVERIFY(grid->isColumnHidden(3));
        QVERIFY(!grid->isColumnHidden(0));
        QVERIFY(!grid->isColumnHidden(4));

        // The function list: one item per table entry, "HexNum: Description".
        auto* functions = child<QComboBox>(&window, "comboFuncList");
        QCOMPARE(functions->maxVisibleItems(), 30);
        QCOMPARE(functions->count(), window.workspace().functionCount());
        QVERIFY(functions->count() > 0);
        for (int i = 0; i < functions->count(); ++i) {
            const lexivo::tFunc& func = window.workspace().funcs().at(i);
            QCOMPARE(functions->itemText(i),
                     QString::fromLatin1(func.HexNum + ": " + func.Description));
        }

        auto* toolbar = child<QToolBar>(&window, "ToolBar1");
        QCOMPARE(toolbarCaptions(toolbar),
                 QStringList({"btnRebuildFast=Fast Rebuild", "btnRebuildAll=Complete Rebuild", "|",
                              "btnSearch=Find...", "btnFindNext=Find next", "btnReplace=Replace...",
                              "btnAutoReplace=Auto-Replace", "btnSearchInAllFunc=SearchInAllFunc",
                              "|", "btnShowComment=View comments", "|", "btnQuit=Quit"}));
        QCOMPARE(window.menuBar()->objectName(), QStringLiteral("MainMenu1"));
        QStringList top;
        for (QAction* action : window.menuBar()->actions())
            top << action->text();
        QCOMPARE(top, QStringList({"&File", "&Edit", "&Compile", "&Help"}));
        QCOMPARE(menuCaptions(topMenu(window, "&File")), QStringList({"Quit1=&Quit"}));
        QCOMPARE(menuCaptions(topMenu(window, "&Edit")),
                 QStringList({"Find1=&Find... Ctrl+F", "Findnext1=Find ne&xt F3",
                              "Replace1=&Replace... Ctrl+R", "|", "Comments1=&View comments...",
                              "Addcomment1=&Add comment...", "|", "Options1=&Options..."}));
        QCOMPARE(menuCaptions(topMenu(window, "&Compile")),
                 QStringList({"Rebuildusecode1=&Fast rebuild Ctrl+F9",
                              "RebuildAllusecode1=&Complete rebuild", "|",
                              "Checktranslations1=Check &translations..."}));
        QCOMPARE(menuCaptions(topMenu(window, "&Help")),
                 QStringList({"Help2=Index", "|", "About1=About..."}));

        // States at start-up.
        QVERIFY(!child<QToolButton>(&window, "btnFindNext")->isEnabled());
        QVERIFY(!child<QToolButton>(&window, "btnRebuildFast")->isEnabled());
        QVERIFY(!child<QAction>(&window, "Rebuildusecode1")->isEnabled());
        QVERIFY(child<QToolButton>(&window, "btnRebuildAll")->isEnabled());
        QVERIFY(child<QAction>(&window, "RebuildAllusecode1")->isEnabled());
        auto* autoReplace = child<QToolButton>(&window, "btnAutoReplace");
        QVERIFY(autoReplace->isCheckable() && autoReplace->isChecked());
        auto* allFunctions = child<QToolButton>(&window, "btnSearchInAllFunc");
        QVERIFY(allFunctions->isCheckable() && !allFunctions->isChecked());

        QVERIFY(child<QMenu>(&window, "PopupMenu1"));
        QVERIFY(child<QMenu>(&window, "PopupMenu2"));
        QVERIFY(child<QMenu>(&window, "FuncStatusPopupMenu"));
        QVERIFY(window.statusText().isEmpty());

        // The Quick Search window exists, hidden, docked at the left edge.
        QVERIFY(window.quickSearchWindow());
        QCOMPARE(window.quickSearchWindow()->windowTitle(), QStringLiteral("Quick Search"));
        QVERIFY(window.quickSearchWindow()->isHidden());
        QCOMPARE(window.dockWidgetArea(window.quickSearchWindow()), Qt::LeftDockWidgetArea);
    }

    // Fast Rebuild is there whenever a file differs from the game file, also
    // right after the start (an earlier session, import-po, a colleague).
    void fastRebuildFollowsTheFiles() {
        Setup setup;
        ModalAnswerer answerer;
        QString translationPath;
        QList<QByteArray> lines;
        {
            MainWindow window(setup.programDir);
            showAndActivate(window);
            QVERIFY(!child<QToolButton>(&window, "btnRebuildFast")->isEnabled());
            lexivo::Workspace& ws = window.workspace();
            translationPath = ws.TranslationFilePath(ws.funcs()[0].FuncNum);
            lines = ws.functionStrings(0);
        }
        lines[0] = "Translated elsewhere";
        writeFile(translationPath, lexivo::joinLines(lines));
        MainWindow window(setup.programDir);
        showAndActivate(window);
        auto* fast = child<QToolButton>(&window, "btnRebuildFast");
        QVERIFY(fast->isEnabled());
        QTest::mouseClick(fast, Qt::LeftButton);
        QVERIFY(window.statusText().startsWith("Usecode compiled in "));
        QVERIFY(!fast->isEnabled());
        QCOMPARE(answerer.log, QStringList());
    }

    void fastRebuildShortcutFollowsItsCommand() {
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        showAndActivate(window);
        const QString usecode = setup.gameDir + "usecode";
        const QDateTime before = QFileInfo(usecode).lastModified();

        // Disabled: Ctrl+F9 does nothing, even with a change pending.
        window.workspace().TranslationsChanged = true;
        QTest::keyClick(&window, Qt::Key_F9, Qt::ControlModifier);
        QVERIFY(window.statusText().isEmpty());
        QCOMPARE(QFileInfo(usecode).lastModified(), before);

        // Enabled: the same key runs the fast rebuild, which then disables it.
        window.setFastRebuildEnabled(true);
        QVERIFY(child<QToolButton>(&window, "btnRebuildFast")->isEnabled());
        QTest::keyClick(&window, Qt::Key_F9, Qt::ControlModifier);
        QVERIFY(window.statusText().startsWith("Usecode compiled in "));
        QVERIFY(!child<QAction>(&window, "Rebuildusecode1")->isEnabled());
        QVERIFY(!child<QToolButton>(&window, "btnRebuildFast")->isEnabled());
        QCOMPARE(answerer.log, QStringList());
    }

    void firstRunAsksForTheGameFolder() {
        Setup setup(true, false);
        ModalAnswerer answerer;
        const QString gameDir = setup.gameDir;
        MainWindow window(setup.programDir, [&](QWidget* owner, QString& path) {
            answerer.log << "browse";
            if (!owner) answerer.log << "no owner";
            path = gameDir;
            return true;
        });
        QCOMPARE(answerer.log,
                 QStringList({"message: Warning! No root folder selected for Ultima7 game. "
                              "Please choose one.",
                              "browse"}));
        QVERIFY(!window.startupAborted());
        QVERIFY(window.startupComplete());
        QVERIFY(window.workspace().firstRun());
        QVERIFY(QFileInfo::exists(setup.ini()));
        QCOMPARE(QString::fromUtf8(setup.iniValue("DIRECTORY", "U7")), gameDir);
        QVERIFY(child<QComboBox>(&window, "comboFuncList")->count() > 0);
        // The workspace files of a first run go to the program folder.
        QVERIFY(QFileInfo::exists(setup.programDir + "orig.pak"));
    }

    void cancelledFolderDialogEndsTheProgram() {
        Setup setup(true, false);
        ModalAnswerer answerer;
        bool asked = false;
        MainWindow window(setup.programDir, [&](QWidget*, QString&) {
            asked = true;
            return false;
        });
        QVERIFY(asked);
        QVERIFY(window.startupAborted());
        QCOMPARE(answerer.log.size(), 1);
        // Nothing further was loaded or written.
        QVERIFY(!window.workspace().usecodeLoaded());
        QVERIFY(!QFileInfo::exists(setup.programDir + "orig.pak"));
        QVERIFY(!QFileInfo::exists(setup.ini()));
    }

    void missingUsecodeEndsTheProgram() {
        Setup setup(false, true);
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        QCOMPARE(
            answerer.log,
            QStringList({"message: Warning! Cannot find \"usecode\" file! Check path and file."}));
        QVERIFY(window.startupAborted());
        QVERIFY(!window.workspace().usecodeLoaded());
    }

    void failedLoadingStepDisablesTheRebuild() {
        Setup setup;
        // A damaged orig.pak stops the sequence after the usecode file loaded.
        writeFile(setup.programDir + "orig.pak", "not a pack at all");
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        QCOMPARE(answerer.log.size(), 1);
        QVERIFY(answerer.log.first().startsWith("message: "));
        QVERIFY(!window.startupAborted());
        QVERIFY(!window.startupComplete());
        QVERIFY(!child<QToolButton>(&window, "btnRebuildAll")->isEnabled());
        QVERIFY(!child<QAction>(&window, "RebuildAllusecode1")->isEnabled());
        QVERIFY(!child<QAction>(&window, "Rebuildusecode1")->isEnabled());
        // The function list of the loaded usecode is there.
        QVERIFY(child<QComboBox>(&window, "comboFuncList")->count() > 0);
    }

    // A damaged LEXIVO.INI with a 10 MB folder value: one short message, a
    // window that opens with nothing loaded, and no hang laying out the value.
    void hugeFolderValueGivesShortMessage() {
        Setup setup(true, false);
        writeFile(setup.ini(), "[DIRECTORY]\r\nEDITOR=" + QByteArray(10 << 20, 'x') + "\r\n");
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        QCOMPARE(answerer.log.size(), 1);
        QVERIFY(answerer.log.first().startsWith("message: DIRECTORY/EDITOR in "));
        QVERIFY(answerer.log.first().size() < 400);
        QVERIFY(!window.startupComplete());
        QVERIFY(!child<QToolButton>(&window, "btnRebuildAll")->isEnabled());
    }

    void goToAndCloseKeepThePosition_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("selected");
        QTest::newRow("index 2") << QByteArray("2") << 2;
        QTest::newRow("negative reopens 0") << QByteArray("-1") << 0;
        QTest::newRow("beyond the table: no go-to") << QByteArray("9999") << 0;
    }
    void goToAndCloseKeepThePosition() {
        QFETCH(QByteArray, stored);
        QFETCH(int, selected);
        Setup setup(true, true, "[SETTING]\r\nLASTFUNC=" + stored + "\r\nLASTFUNCLINE=3\r\n");
        ModalAnswerer answerer;
        QByteArray line = "-1";
        {
            MainWindow window(setup.programDir);
            showAndActivate(window);
            QCOMPARE(child<QComboBox>(&window, "comboFuncList")->currentIndex(), selected);
            // Row 3 is reopened where the function has it, and its line is
            // in the editor; otherwise no row is selected.
            auto* strings = child<QListWidget>(&window, "lbStrings");
            if (stored != "9999" && strings->count() > 3) {
                line = "3";
                QCOMPARE(strings->currentRow(), 3);
                QCOMPARE(child<QPlainTextEdit>(&window, "memoStr")->toPlainText(),
                         window.codec().decode(window.CurrentLines[3]));
            } else {
                QCOMPARE(strings->currentRow(), -1);
            }
            QVERIFY(window.close());
        }
        QCOMPARE(setup.iniValue("SETTING", "LASTFUNC"), QByteArray::number(selected));
        QCOMPARE(setup.iniValue("SETTING", "LASTFUNCLINE"), line);
        QCOMPARE(answerer.log, QStringList());
    }

    void quitClosesAndSaves() {
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        showAndActivate(window);
        child<QComboBox>(&window, "comboFuncList")->setCurrentIndex(1);
        QTest::mouseClick(child<QToolButton>(&window, "btnQuit"), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(setup.iniValue("SETTING", "LASTFUNC"), QByteArray("1"));
    }

    // Help > Index shows the page in Lexivo's own help window: the one built
    // into the program, or Help/index.htm beside it (any case of the names);
    // no web browser is asked.
    void helpIndex() {
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        showAndActivate(window);
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        auto* index = child<QAction>(&window, "Help2");

        index->trigger();
        auto* help = window.findChild<QWidget*>("HelpWindow");
        QVERIFY(help && help->isVisible());
        auto* browser = child<QTextBrowser>(help, "HelpBrowser");
        QVERIFY(browser->toPlainText().contains("Quality checks"));
        QTest::keyClick(browser, Qt::Key_Escape);
        QVERIFY(!help->isVisible());

        QDir().mkpath(setup.programDir + "HELP");
        writeFile(setup.programDir + "HELP/Index.htm",
                  "<html><body>Our team's rules</body></html>");
        index->trigger();
        QDesktopServices::unsetUrlHandler("file");
        QVERIFY(help->isVisible());
        QCOMPARE(browser->toPlainText(), QStringLiteral("Our team's rules"));
        QCOMPARE(window.findChildren<QWidget*>("HelpWindow").size(), 1);
        QVERIFY(catcher.opened.isEmpty());
        QCOMPARE(answerer.log, QStringList());
    }

    void aboutBox() {
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        showAndActivate(window);
        QPointer<QDialog> seen;
        QStringList texts;
        bool iconShown = false;
        answerer.handler = [&](QWidget* modal) {
            auto* about = qobject_cast<lexivo::AboutDialog*>(modal);
            if (!about) return false;
            seen = about;
            texts << about->windowTitle();
            for (QLabel* label : about->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) texts << label->text();
                if (!label->pixmap().isNull()) iconShown = true;
            }
            QPushButton* ok = about->findChild<QPushButton*>();
            texts << ok->text();
            ok->click();
            return true;
        };
        child<QAction>(&window, "About1")->trigger();
        QCOMPARE(texts, QStringList({"About Lexivo", "Lexivo", "v0.98", "OK"}));
        QVERIFY(iconShown);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(seen.isNull()); // deleted once closed
    }

    void notesPage() {
        Setup setup;
        ModalAnswerer answerer;
        {
            MainWindow window(setup.programDir);
            QCOMPARE(child<QTextEdit>(&window, "NotesRichEdit")->toPlainText(),
                     setup.programDir + "notes.rtf - not found!");
        }
        writeFile(setup.programDir + "Notes.RTF",
                  "{\\rtf1\\ansi{\\colortbl ;\\red255\\green0\\blue0;}Use \\b caf\\'e9\\b0  "
                  "\\cf1 always\\cf0 .\\par}");
        MainWindow window(setup.programDir);
        QCOMPARE(child<QTextEdit>(&window, "NotesRichEdit")->toPlainText(),
                 QStringLiteral("Use caf\u00e9 always.\n"));
        QCOMPARE(answerer.log, QStringList());
    }

    void colours() {
        Setup setup(true, true, "[COLORS]\r\nNORMALFORE=0x0000FF\r\nORIGINALBACK=$FF0000\r\n");
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        const auto& colors = window.workspace().settings().colors;
        auto* strings = child<QListWidget>(&window, "lbStrings");
        auto* editor = child<QPlainTextEdit>(&window, "memoStr");
        auto* original = child<QPlainTextEdit>(&window, "memoEng");
        QCOMPARE(strings->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(editor->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(editor->palette().color(QPalette::Base),
                 lexivo::colorFromSetting(colors[lexivo::NormalBack]));
        QCOMPARE(editor->palette().color(QPalette::Highlight),
                 lexivo::colorFromSetting(colors[lexivo::HighlightBack]));
        QCOMPARE(editor->palette().color(QPalette::HighlightedText),
                 lexivo::colorFromSetting(colors[lexivo::HighlightFore]));
        QCOMPARE(original->palette().color(QPalette::Base), QColor(0, 0, 255));
        QCOMPARE(child<QListWidget>(&window, "ListBox1")->palette().color(QPalette::Base),
                 QColor(0, 0, 255));
        QCOMPARE(child<QPlainTextEdit>(&window, "MemoFLX")->palette().color(QPalette::Text),
                 QColor(255, 0, 0));
        // Drawn, not only set: the editor's background shows the colour.
        window.resize(800, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage image = editor->viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 3),
                 lexivo::colorFromSetting(colors[lexivo::NormalBack]));
    }

    void editFunctionDescription_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("expected"); // empty: unchanged
        QTest::addColumn<bool>("refused");
        QTest::newRow("new text") << QStringLiteral("Smith \u00e9=x") << true
                                  << QStringLiteral("Smith \u00e9=x") << false;
        QTest::newRow("empty keeps the old one") << QString() << true << QString() << false;
        QTest::newRow("cancelled") << QStringLiteral("Other") << false << QString() << false;
        QTest::newRow("outside the code page")
            << QStringLiteral("\u0416uk") << true << QString() << true;
    }
    void editFunctionDescription() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QString, expected);
        QFETCH(bool, refused);
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        auto* functions = child<QComboBox>(&window, "comboFuncList");
        functions->setCurrentIndex(1);
        const QString before = functions->itemText(1);
        const QByteArray hex = window.workspace().funcs().at(1).HexNum;
        const QByteArray funclistBefore = QFileInfo::exists(setup.programDir + "funclist.txt")
                                              ? readFile(setup.programDir + "funclist.txt")
                                              : QByteArray();
        const QString descriptionBefore =
            window.codec().decode(window.workspace().funcs().at(1).Description);
        QStringList dialog;
        answerer.handler = [&](QWidget* modal) {
            auto* input = qobject_cast<QInputDialog*>(modal);
            if (!input) return false;
            dialog << input->windowTitle() << input->labelText() << input->textValue();
            input->setTextValue(typed);
            accepted ? input->accept() : input->reject();
            return true;
        };
        QTest::mouseClick(child<QPushButton>(&window, "btnEditFuncName"), Qt::LeftButton);
        QCOMPARE(dialog.mid(0, 2), QStringList({"Function description", "New description"}));
        QCOMPARE(dialog.value(2), descriptionBefore);
        QCOMPARE(answerer.log.size(), refused ? 1 : 0);
        QCOMPARE(functions->currentIndex(), 1);
        if (expected.isEmpty()) {
            QCOMPARE(functions->itemText(1), before);
            const QByteArray after = QFileInfo::exists(setup.programDir + "funclist.txt")
                                         ? readFile(setup.programDir + "funclist.txt")
                                         : QByteArray();
            QCOMPARE(after, funclistBefore);
        } else {
            QCOMPARE(functions->itemText(1), QString::fromLatin1(hex) + ": " + expected);
            const QByteArray line = hex + "=Smith \xe9=x\r\n";
            QVERIFY(readFile(setup.programDir + "funclist.txt").contains(line));
        }
    }

    void handlerErrorIsShownAndTheProgramGoesOn() {
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        // funclist.txt cannot be written: a folder stands in its place.
        QFile::remove(setup.programDir + "funclist.txt");
        QVERIFY(QDir().mkpath(setup.programDir + "funclist.txt"));
        answerer.handler = [&](QWidget* modal) {
            auto* input = qobject_cast<QInputDialog*>(modal);
            if (!input) return false;
            input->setTextValue("Smith");
            input->accept();
            return true;
        };
        QTest::mouseClick(child<QPushButton>(&window, "btnEditFuncName"), Qt::LeftButton);
        QCOMPARE(answerer.log.size(), 1);
        QVERIFY2(answerer.log.first().startsWith("message: Cannot "),
                 qPrintable(answerer.log.first()));
        QVERIFY(answerer.log.first().contains("funclist.txt"));
        // The list shows what the table holds; the window still works.
        auto* functions = child<QComboBox>(&window, "comboFuncList");
        QCOMPARE(functions->itemText(0),
                 window.codec().decode(window.workspace().functionListItem(0)));
        QVERIFY(window.centralWidget()->isEnabled());
    }

    void completeRebuildFromTheWindow() {
        Setup setup;
        ModalAnswerer answerer;
        MainWindow window(setup.programDir);
        showAndActivate(window);
        const QString usecodePath = setup.gameDir + "usecode";
        const QByteArray original = readFile(usecodePath);

        // A translation of the first function: its strings (text form), each
        // with "T " in front, one line per string.
        const lexivo::tFunc first = window.workspace().funcs().first();
        QList<QByteArray> lines = window.workspace().functionStrings(0);
        QVERIFY(!lines.isEmpty());
        for (QByteArray& line : lines)
            line = "T " + line;
        writeFile(setup.programDir + QString::fromLatin1(first.HexNum) + ".TXT",
                  lexivo::joinLines(lines));

        // While it runs, the progress window shows and every other command is held off.
        QStringList duringRebuild;
        QTimer::singleShot(0, &window, [&] {
            auto* progress = window.findChild<lexivo::RebuildProgressWindow*>();
            if (!progress) return;
            duringRebuild << progress->functionText();
            duringRebuild << QString::number(progress->size().width()) + "x" +
                                 QString::number(progress->size().height());
            duringRebuild << QString::number(progress->maximum());
            duringRebuild << (window.menuBar()->isEnabled() ? "menu enabled" : "menu held");
            duringRebuild << (window.centralWidget()->isEnabled() ? "tabs enabled" : "tabs held");
            duringRebuild << (window.close() ? "closed" : "stays open");
        });
        QTest::mouseClick(child<QToolButton>(&window, "btnRebuildAll"), Qt::LeftButton);

        QCOMPARE(duringRebuild.size(), 6);
        QVERIFY(QRegularExpression("^0x[0-9A-F]{4}$").match(duringRebuild[0]).hasMatch());
        QCOMPARE(duringRebuild[1], QStringLiteral("291x115"));
        QCOMPARE(duringRebuild[2], QString::number(original.size()));
        QCOMPARE(duringRebuild.mid(3), QStringList({"menu held", "tabs held", "stays open"}));
        QVERIFY(window.findChildren<lexivo::RebuildProgressWindow*>().isEmpty() ||
                !window.findChild<lexivo::RebuildProgressWindow*>()->isVisible());

        QVERIFY2(QRegularExpression("^Usecode compiled in \\d+ms$")
                     .match(window.statusText())
                     .hasMatch(),
                 qPrintable(window.statusText()));
        QCOMPARE(answerer.log, QStringList());
        QVERIFY(window.isVisible());
        QVERIFY(window.menuBar()->isEnabled());
        QVERIFY(window.centralWidget()->isEnabled());
        QVERIFY(!child<QToolButton>(&window, "btnRebuildFast")->isEnabled());
        const QByteArray rebuilt = readFile(usecodePath);
        QVERIFY(rebuilt != original);
        QVERIFY(rebuilt.count("T ") >= original.count("T ") + lines.size());
        QCOMPARE(window.workspace().usecode().image, rebuilt);
    }

    // usecode replaced behind the window's back: the rebuild writes nothing
    // and offers to load the file again; after the reload it goes ahead.
    void rebuildOffersReloadWhenGameFileChanged() {
        Setup setup;
        ModalAnswerer answerer;
        QStringList offers;
        answerer.handler = [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box || box->objectName() != "ReloadMessageBox") return false;
            offers << box->text();
            box->findChild<QPushButton*>("btnReload")->click();
            return true;
        };
        MainWindow window(setup.programDir);
        showAndActivate(window);
        const QString usecodePath = setup.gameDir + "usecode";
        // Another program rewrites the first letter of the first string.
        QByteArray other = readFile(usecodePath);
        const lexivo::DataSegment data =
            lexivo::dataSegmentOf(other, window.workspace().funcs().first());
        other[data.start] = other[data.start] == 'Z' ? 'Y' : 'Z';
        writeFile(usecodePath, other);

        QTest::mouseClick(child<QToolButton>(&window, "btnRebuildAll"), Qt::LeftButton);
        QCOMPARE(offers.size(), 1);
        QVERIFY2(offers[0].contains(usecodePath) && offers[0].contains("nothing was written"),
                 qPrintable(offers[0]));
        QCOMPARE(readFile(usecodePath), other);
        QCOMPARE(window.workspace().usecode().image, other);
        QVERIFY(window.centralWidget()->isEnabled());

        QTest::mouseClick(child<QToolButton>(&window, "btnRebuildAll"), Qt::LeftButton);
        QCOMPARE(offers.size(), 1);
        QVERIFY(window.statusText().startsWith("Usecode compiled in "));
        QCOMPARE(answerer.log, QStringList());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
