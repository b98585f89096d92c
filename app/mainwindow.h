#pragma once

#include "widgets/lineattributehighlighter.h"
#include "workspace.h"
#include "workspace/cp1252codec.h"
#include "workspace/errors.h"
#include "workspace/search.h"

#include <QMainWindow>
#include <array>
#include <exception>
#include <functional>

class QAction;
class QFileSystemWatcher;
class QTimer;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTextEdit;
class QToolBar;
class QToolButton;
class QTreeView;

namespace lexivo {
class FuncStatusModel;
}

namespace lexivo {

class FindingsDialog;
class HelpWindow;
class QuickSearchWindow;
class StringListDelegate;

// The main window: the whole program for the user. It owns the one Workspace
// of the session and runs the start-up sequence while it is created. Its
// handlers live in one source file per feature (mainwindow_startup.cpp,
// mainwindow_usecode.cpp, mainwindow_rebuild.cpp ...); every handler runs
// inside guard(), so no exception crosses the event loop.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Shows the folder dialog; returns true and sets path (with a final "/")
    // when a folder was chosen, false when the dialog was cancelled.
    using FolderBrowser = std::function<bool(QWidget* owner, QString& path)>;

    explicit MainWindow(QString programDirectory, QWidget* parent = nullptr);
    // The same, with the folder dialog replaced (tests answer it this way).
    MainWindow(QString programDirectory, FolderBrowser folderBrowser, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence ended the program (no game folder chosen, no
    // usecode file): the window must not be shown; the program exits.
    bool startupAborted() const { return m_startupAborted; }
    // Every start-up step ran without an error.
    bool startupComplete() const { return m_startupComplete; }

    Workspace& workspace() { return m_ws; }
    const Cp1252Codec& codec() const { return m_codec; }
    QuickSearchWindow* quickSearchWindow() const { return m_quickSearchWindow; }
    QString statusText() const;

    // Every message box of the window: one OK button and the exact text.
    void showMessage(const QString& text);

    // Runs a handler; an error it throws is shown in a message box and the
    // handler ends there. While a rebuild runs every other command is held off.
    template <typename Fn> void guard(Fn&& fn) {
        if (m_busy) return;
        try {
            fn();
        } catch (const CommandEnded&) {
            // The command told the user itself and ended.
        } catch (const Error& e) {
            showMessage(e.message());
        } catch (const std::exception& e) {
            showMessage(QString::fromLocal8Bit(e.what()));
        }
    }

    // Thrown by a step that has already told the user why the command ends.
    struct CommandEnded {};

    // Platform dialog titled "Select main game directory".
    static bool BrowseForFolder(QWidget* owner, QString& path);

    // ---- handlers (menu items, toolbar buttons, control events) ----
    void btnQuitClick();
    void Help2Click();
    void About1Click();
    void btnRebuildClick();
    void RebuildAllusecode1Click();
    void btnEditFuncNameClick();
    void comboFuncListSelect(int index);

    // ---- translating a function (mainwindow_translate.cpp) ----
    void ShowFunction(int index);  // show the function's lines in lbStrings
    void SelectLine(int f, int n); // load line n of function f into the editors
    void lbStringsClick();         // a row chosen by mouse or keyboard
    void btnOKClick();             // accept the translation in memoStr
    // Right button: look the word up in the dictionary and open PopupMenu1.
    void memoStrMouseDown(Qt::MouseButton button, const QPoint& position);
    void selectClick(); // PopupMenu1's item: put the dictionary translation in
    // The per-line attribute callback of both editors: dictionary terms, and
    // the note after " # " in italics.
    void memoStrGetLineAttr(const QString& line, QList<CharAttr>& attrs) const;
    // The go-to sequence: function f, row n, that line selected for editing.
    void goToLine(int f, int n);

    // The state of the shown function: its lines, its originals (orig.pak)
    // and which lines carry comments; line n is row n of lbStrings.
    Lines CurrentLines;
    Lines CurrentOriginals;
    QList<bool> LineHasComment;

    // ---- the text tab (mainwindow_text.cpp) ----
    void SaveTextTabEdits(); // saves text.txt when the editor was modified
    void ListBox1Click();    // English list: caret and bar to the chosen row
    void MemoFLXChange();    // change tracking and the autosave
    void MemoFLXKeyUp();     // list and bar to the caret's row
    void MemoFLXMouseUp();
    void MemoFLXMouseDown(Qt::MouseButton button, const QPoint& position);
    void MemoFLXEngAdvancedPaintGutter(QPainter& painter, int row, const QRect& rect) const;
    void Cancel1Click();     // PopupMenu2: the translation found
    void Addterm1Click();    // PopupMenu2: "Add term"
    void Removeterm1Click(); // PopupMenu2: "Remove term"
    // The editor's lines as bytes (what text.txt and the game file get).
    Lines textTabLines() const;
    // Fills the editor and the English list from text.txt and text.eng.
    void fillTextTab();
    int ChangeCount = 0;
    bool textTabModified() const { return m_textModified; }

    // ---- find and replace (mainwindow_find.cpp) ----
    void btnSearchClick();   // find: the dialog, then the search of the active tab
    void btnFindNextClick(); // the next hit, or the next line of the text tab
    void Replace1Click();    // replace in the shown function or the text tab
    void ShowHit(int k);     // hit k: its function and line, the text selected
    void SelectInText(int i, int p, int n);
    QList<SearchHit> SearchHits; // of the last usecode-tab search
    int CurrentHit = 0;
    QString TextSearchText; // set by a text-tab search: Find next searches that tab

    // ---- comments and the status grid (mainwindow_team.cpp) ----
    void btnAddCmtClick();      // add a comment to the selected line
    void btnShowCommentClick(); // comments viewer
    void ShowLineComments(quint16 funcNum, int line);
    void MarkListItem(int tag);           // status grid: mark the selected functions
    void Assigntranslator1Click(int tag); // status grid: assign a translator
    void FuncStatusGridViewDblClick();    // status grid: open the function
    void BuildTranslatorsMenu();          // the "Assign &translator" submenu

    // ---- quality checks and progress figures (mainwindow_qa.cpp) ----
    void Checktranslations1Click(); // Compile menu: the list of findings
    // Before a complete rebuild: true to go on (no findings, or the user
    // chose to); false after opening the list of findings.
    bool confirmCompleteRebuild();
    // Finding at line (from 0) of function index, or of text.txt for -1.
    void goToFinding(int functionIndex, int line);
    // The project's translated lines and percentage in the status bar.
    void showProjectProgress();

    // Hooks filled by later work; each is wired to its command already.
    void Options1Click(); // options dialog

    // Enables or disables the fast-rebuild commands together (toolbar button
    // and Compile menu item); whatever sets a change flag enables them.
    void setFastRebuildEnabled(bool enabled);
    void ApplyColors();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets();
    QWidget* createUsecodePage();
    QWidget* createTextPage();
    QWidget* createStatusPage();
    QWidget* createNotesPage();
    void createMenus();
    void createToolBar();
    void createPopupMenus();
    QAction* addMenuAction(QMenu* menu, const char* objectName, const QString& text,
                           void (MainWindow::*handler)());
    QToolButton* addToolButton(const char* objectName, const QString& text,
                               void (MainWindow::*handler)() = nullptr);

    // Start-up (mainwindow_startup.cpp).
    void FormCreate();
    void FormShow();
    void FormClose();
    void loadNotes();
    void updateCommandStates();

    // Function list (mainwindow_usecode.cpp).
    void fillFunctionList();

    // Translating (mainwindow_translate.cpp).
    void setUpEditors();
    // Find (mainwindow_find.cpp).
    QString selectedTextOfActiveTab() const;
    void searchUsecodeTab(const QByteArray& text, bool original);
    void searchTextTab(const QString& text, bool original);
    void quickSearchChoose(int row);
    // Options (mainwindow_options.cpp).
    void switchCodePage(int codePage, bool utf8);
    // The editors ask their attribute callback again (font map or font changed).
    void refreshEditorMarks();
    // Status grid (mainwindow_team.cpp).
    void fillStatusGrid();
    void setStatusRow(int index);
    QList<int> selectedStatusFunctions() const;
    void refreshStatusRows(const QList<int>& indexes);
    // Text tab (mainwindow_text.cpp).
    void setUpTextTab();
    void syncTextTabToCaret();
    bool textTabEventFilter(QObject* watched, QEvent* event);
    // Recolours both editors after the dictionary changed.
    void dictionaryChanged();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The text shown for a line: the line itself, or the reference's proposal
    // for a line that still equals its original.
    QByteArray proposalFor(const QByteArray& text, const QByteArray& original);
    void setStringRow(int row, const QByteArray& line);
    void selectRowQuietly(int row);
    // Refuses text the code page cannot hold, with a message; true when
    // bytes holds the encoded text.
    bool encodeTyped(const QString& text, QByteArray& bytes);
    void saveShownFunction();
    // One byte per character, for matching against dictionary terms and word
    // delimiters; a character the code page cannot hold (typed, not yet
    // refused) stands as NUL, which no term holds and which ends a word.
    QByteArray matchingBytes(const QString& text) const;
    // The right-click lookup of both editors: the selected text, or the word
    // around the clicked character (then selected in the editor), and the
    // translation of the last dictionary entry whose term equals it.
    struct WordLookup {
        QString word;
        bool found = false;
        QString translation;
    };
    WordLookup lookUpWordAt(QPlainTextEdit* editor, const QPoint& position);

    // Conversation keywords (mainwindow_keywords.cpp).
    // The string list's mark of row n: KeywordIndex::Kind of the line.
    int keywordKindOfRow(int row) const;
    // lblKeyword under the original: for a keyword line, that it is a
    // conversation answer and where else it stands, with the translations
    // there that differ from this line's; hidden for other lines.
    void showKeywordNote(int row);
    // The accept's translation given to the game's other untranslated lines
    // of the keyword on row n (Auto-Replace down); returns the status text.
    QString giveKeywordTranslation(int row, const QByteArray& translation);

    // Quality checks (mainwindow_qa.cpp).
    QList<Workspace::Finding> checkTranslations(QStringList& notes);
    void showFindings(const QList<Workspace::Finding>& findings, const QStringList& notes);
    // The translated cell of the status grid's row for function index.
    void setTranslatedCell(int index);

    // The editor directory watched for translation files changed on disk
    // (mainwindow_watch.cpp).
    void watchEditorDirectory();
    void editorDirectoryChanged();

    // Rebuild (mainwindow_rebuild.cpp).
    void runRebuild(bool complete);
    void offerReload(const QString& message);
    void setBusy(bool busy);

    void setStatusText(const QString& text);

    Workspace m_ws;
    Cp1252Codec m_codec;
    FolderBrowser m_folderBrowser;
    bool m_startupAborted = false;
    bool m_startupComplete = false;
    bool m_shownOnce = false;
    bool m_busy = false;
    // The row SelectLine last loaded (-1 after a function is shown): a click
    // on the current row loads it only when the accept's advance put the
    // selection there without loading it.
    int m_selectLineRow = -1;
    // The function ShowFunction showed whole (-1 while none or after a failure).
    int m_shownFunction = -1;
    bool m_quietSelection = false;
    StringListDelegate* m_stringListDelegate = nullptr;
    LineAttributeHighlighter* m_memoStrHighlighter = nullptr;
    QAction* m_selectAction = nullptr;
    StringListDelegate* m_textListDelegate = nullptr;
    LineAttributeHighlighter* m_flxHighlighter = nullptr;
    QWidget* m_gutter = nullptr;
    bool m_textModified = false; // the editor's modified mark: set by every change
    bool m_loadingText = false;  // the program sets the text: no change event
    qsizetype m_textLineCount = 0;
    QAction* Cancel1 = nullptr;
    QAction* Addterm1 = nullptr;
    QAction* Removeterm1 = nullptr;

    // Controls, named as the program names them (objectName is the same).
    QTabWidget* PageControl1 = nullptr;
    QComboBox* comboFuncList = nullptr;
    QPushButton* btnEditFuncName = nullptr;
    QListWidget* lbStrings = nullptr;
    QPlainTextEdit* memoEng = nullptr;
    QLabel* lblKeyword = nullptr;
    QPlainTextEdit* memoStr = nullptr;
    QPushButton* btnOK = nullptr;
    QTextEdit* rtfComment = nullptr;
    QPushButton* btnAddCmt = nullptr;
    QLabel* OrigTextPanel = nullptr;
    QPlainTextEdit* MemoFLX = nullptr;
    QListWidget* ListBox1 = nullptr;
    QTreeView* FuncStatusGridView = nullptr;
    FuncStatusModel* m_statusModel = nullptr;
    QSortFilterProxyModel* m_statusProxy = nullptr;
    QTextEdit* NotesRichEdit = nullptr;
    QLabel* m_statusPanel = nullptr;
    QLabel* ProgressPanel = nullptr; // the project's figure, right of the messages
    FindingsDialog* m_findingsDialog = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* btnRebuildFast = nullptr;
    QToolButton* btnRebuildAll = nullptr;
    QToolButton* btnSearch = nullptr;
    QToolButton* btnFindNext = nullptr;
    QToolButton* btnReplace = nullptr;
    QToolButton* btnAutoReplace = nullptr;
    QToolButton* btnSearchInAllFunc = nullptr;
    QToolButton* btnShowComment = nullptr;
    QToolButton* btnQuit = nullptr;

    QAction* Rebuildusecode1 = nullptr;
    QAction* RebuildAllusecode1 = nullptr;
    QAction* Findnext1 = nullptr;
    QAction* Addcomment1 = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QMenu* FuncStatusPopupMenu = nullptr;
    QMenu* Assigntranslator1 = nullptr;

    QuickSearchWindow* m_quickSearchWindow = nullptr;
    HelpWindow* m_helpWindow = nullptr;
    QFileSystemWatcher* m_editorWatcher = nullptr;
    QTimer* m_editorSettle = nullptr;
};

} // namespace lexivo
