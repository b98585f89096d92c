#include "mainwindow.h"

#include "colorsetting.h"
#include "dialogs/quicksearchwindow.h"
#include "models/funcstatusmodel.h"
#include "widgets/escapingtextedit.h"
#include "widgets/icons.h"
#include "widgets/stringlistdelegate.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

// The resources live in the static window library: referencing their
// initialiser keeps the linker from dropping them.
static void initLexivoResources() {
    Q_INIT_RESOURCE(lexivo);
}

namespace lexivo {

MainWindow::MainWindow(QString programDirectory, QWidget* parent)
    : MainWindow(std::move(programDirectory), FolderBrowser(&MainWindow::BrowseForFolder), parent) {
}

MainWindow::MainWindow(QString programDirectory, FolderBrowser folderBrowser, QWidget* parent)
    : QMainWindow(parent), m_ws(std::move(programDirectory)),
      m_folderBrowser(std::move(folderBrowser)) {
    initLexivoResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon(QStringLiteral(":/lexivo.png")));
    createWidgets();
    createMenus();
    createToolBar();
    createPopupMenus();
    setUpEditors();
    setUpTextTab();
    FormCreate();
    if (!m_startupAborted) {
        m_quickSearchWindow = new QuickSearchWindow(this);
        addDockWidget(Qt::LeftDockWidgetArea, m_quickSearchWindow);
        m_quickSearchWindow->hide();
        m_quickSearchWindow->onChoose = [this](int row) { guard([&] { quickSearchChoose(row); }); };
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::showMessage(const QString& text) {
    // A message built from damaged input (a path, a value) can be of any
    // length; laying out megabytes of text would freeze the window.
    constexpr qsizetype Longest = 4000;
    const QString shown =
        text.size() <= Longest
            ? text
            : text.left(Longest / 2) + QStringLiteral(" [...] ") + text.right(Longest / 2);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lexivo"), shown, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

QString MainWindow::statusText() const {
    return m_statusPanel->text();
}

void MainWindow::setStatusText(const QString& text) {
    m_statusPanel->setText(text);
}

// ---- construction of the controls ----

void MainWindow::createWidgets() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(createUsecodePage(), QStringLiteral("Usecode editing"));
    PageControl1->addTab(createTextPage(), QStringLiteral("Text.flx editing"));
    PageControl1->addTab(createStatusPage(), QStringLiteral("Translation status"));
    PageControl1->addTab(createNotesPage(), QStringLiteral("Notes"));
    setCentralWidget(PageControl1);

    QStatusBar* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(true);
    m_statusPanel = new QLabel(bar);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel"));
    bar->addWidget(m_statusPanel, 1);
    ProgressPanel = new QLabel(bar);
    ProgressPanel->setObjectName(QStringLiteral("ProgressPanel"));
    bar->addPermanentWidget(ProgressPanel);
    setStatusBar(bar);
}

QWidget* MainWindow::createUsecodePage() {
    QWidget* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));

    comboFuncList = new QComboBox(page);
    comboFuncList->setObjectName(QStringLiteral("comboFuncList"));
    comboFuncList->setMaxVisibleItems(30);
    comboFuncList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(comboFuncList, &QComboBox::activated, this,
            [this](int index) { guard([&] { comboFuncListSelect(index); }); });

    btnEditFuncName = new QPushButton(QStringLiteral("..."), page);
    btnEditFuncName->setObjectName(QStringLiteral("btnEditFuncName"));
    btnEditFuncName->setToolTip(QStringLiteral("Edit function title"));
    btnEditFuncName->setFixedWidth(32);
    connect(btnEditFuncName, &QPushButton::clicked, this,
            [this] { guard([&] { btnEditFuncNameClick(); }); });

    lbStrings = new QListWidget(page);
    lbStrings->setObjectName(QStringLiteral("lbStrings"));
    lbStrings->setUniformItemSizes(true);
    // A row chosen by keyboard or mouse loads it; a click on the row already
    // current loads it only when it was not loaded yet (after an accept moved
    // the selection there).
    connect(lbStrings, &QListWidget::currentRowChanged, this, [this] {
        if (!m_quietSelection) guard([&] { lbStringsClick(); });
    });
    connect(lbStrings, &QListWidget::itemClicked, this, [this] {
        if (lbStrings->currentRow() != m_selectLineRow) guard([&] { lbStringsClick(); });
    });

    memoEng = new QPlainTextEdit(page);
    memoEng->setObjectName(QStringLiteral("memoEng"));
    memoEng->setReadOnly(true);
    // Under the original: which other functions hold the conversation answer.
    lblKeyword = new QLabel(page);
    lblKeyword->setObjectName(QStringLiteral("lblKeyword"));
    lblKeyword->setWordWrap(true);
    lblKeyword->setTextFormat(Qt::PlainText);
    lblKeyword->hide();

    memoStr = new EscapingTextEdit(page);
    memoStr->setObjectName(QStringLiteral("memoStr"));

    btnOK = new QPushButton(QStringLiteral("OK"), page);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, [this] { guard([&] { btnOKClick(); }); });

    rtfComment = new QTextEdit(page);
    rtfComment->setObjectName(QStringLiteral("rtfComment"));
    rtfComment->setReadOnly(true);

    btnAddCmt = new QPushButton(QStringLiteral("Add comment"), page);
    btnAddCmt->setObjectName(QStringLiteral("btnAddCmt"));
    connect(btnAddCmt, &QPushButton::clicked, this, [this] { guard([&] { btnAddCmtClick(); }); });

    // Function list across the top; the string list on the left; original,
    // translation and comments stacked on the right.
    QHBoxLayout* top = new QHBoxLayout;
    top->addWidget(comboFuncList, 1);
    top->addWidget(btnEditFuncName);

    QWidget* editors = new QWidget(page);
    QVBoxLayout* editorsLayout = new QVBoxLayout(editors);
    editorsLayout->setContentsMargins(0, 0, 0, 0);
    editorsLayout->addWidget(memoEng, 2);
    editorsLayout->addWidget(lblKeyword);
    editorsLayout->addWidget(memoStr, 2);
    QHBoxLayout* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(btnOK);
    editorsLayout->addLayout(okRow);
    editorsLayout->addWidget(rtfComment, 1);
    QHBoxLayout* commentRow = new QHBoxLayout;
    commentRow->addStretch(1);
    commentRow->addWidget(btnAddCmt);
    editorsLayout->addLayout(commentRow);

    QSplitter* splitter = new QSplitter(Qt::Horizontal, page);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->addWidget(lbStrings);
    splitter->addWidget(editors);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);

    QVBoxLayout* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    return page;
}

QWidget* MainWindow::createTextPage() {
    QWidget* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));

    OrigTextPanel = new QLabel(page);
    OrigTextPanel->setObjectName(QStringLiteral("OrigTextPanel"));
    OrigTextPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    OrigTextPanel->setFixedHeight(25);
    OrigTextPanel->setTextFormat(Qt::PlainText);
    OrigTextPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    MemoFLX = new EscapingTextEdit(page);
    MemoFLX->setObjectName(QStringLiteral("MemoFLX"));
    MemoFLX->setLineWrapMode(QPlainTextEdit::NoWrap);

    ListBox1 = new QListWidget(page);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { guard([&] { ListBox1Click(); }); });

    QSplitter* splitter = new QSplitter(Qt::Horizontal, page);
    splitter->setObjectName(QStringLiteral("Splitter2"));
    // The gutter sits beside the editor (set up with the text tab).
    QWidget* editorColumn = new QWidget(splitter);
    QHBoxLayout* editorLayout = new QHBoxLayout(editorColumn);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    editorLayout->setSpacing(0);
    editorLayout->addWidget(MemoFLX, 1);
    splitter->addWidget(editorColumn);
    splitter->addWidget(ListBox1);
    splitter->setChildrenCollapsible(false);

    QVBoxLayout* layout = new QVBoxLayout(page);
    layout->addWidget(OrigTextPanel);
    layout->addWidget(splitter, 1);
    return page;
}

QWidget* MainWindow::createStatusPage() {
    QWidget* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));

    FuncStatusGridView = new QTreeView(page);
    FuncStatusGridView->setObjectName(QStringLiteral("FuncStatusGridView"));
    FuncStatusGridView->setRootIsDecorated(false);
    FuncStatusGridView->setUniformRowHeights(true);
    FuncStatusGridView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FuncStatusGridView->setSelectionBehavior(QAbstractItemView::SelectRows);
    FuncStatusGridView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FuncStatusGridView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_statusModel = new FuncStatusModel(m_ws, m_codec, this);
    m_statusModel->setObjectName(QStringLiteral("FuncStatusModel"));
    // Sorted through a proxy: each column by its own kind of value (the
    // status code, the texts, the function index); every command maps a row
    // to its function through the hidden column.
    m_statusProxy = new QSortFilterProxyModel(this);
    m_statusProxy->setSourceModel(m_statusModel);
    m_statusProxy->setSortRole(FuncStatusModel::SortRole);
    m_statusProxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    FuncStatusGridView->setModel(m_statusProxy);
    FuncStatusGridView->setSortingEnabled(true);
    FuncStatusGridView->header()->setSectionsMovable(false);
    FuncStatusGridView->setColumnHidden(3, true);
    FuncStatusGridView->header()->resizeSection(0, 36);
    FuncStatusGridView->header()->resizeSection(1, 450);
    FuncStatusGridView->header()->resizeSection(2, 250);
    connect(FuncStatusGridView, &QTreeView::doubleClicked, this,
            [this] { guard([&] { FuncStatusGridViewDblClick(); }); });

    QVBoxLayout* layout = new QVBoxLayout(page);
    layout->addWidget(FuncStatusGridView);
    return page;
}

QWidget* MainWindow::createNotesPage() {
    QWidget* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet4"));
    NotesRichEdit = new QTextEdit(page);
    NotesRichEdit->setObjectName(QStringLiteral("NotesRichEdit"));
    NotesRichEdit->setReadOnly(true);
    QVBoxLayout* layout = new QVBoxLayout(page);
    layout->addWidget(NotesRichEdit);
    return page;
}

QAction* MainWindow::addMenuAction(QMenu* menu, const char* objectName, const QString& text,
                                   void (MainWindow::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(objectName));
    if (handler)
        connect(action, &QAction::triggered, this,
                [this, handler] { guard([&] { (this->*handler)(); }); });
    return action;
}

void MainWindow::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    addMenuAction(file, "Quit1", QStringLiteral("&Quit"), &MainWindow::btnQuitClick);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    addMenuAction(edit, "Find1", QStringLiteral("&Find..."), &MainWindow::btnSearchClick)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    Findnext1 = addMenuAction(edit, "Findnext1", QStringLiteral("Find ne&xt"),
                              &MainWindow::btnFindNextClick);
    Findnext1->setShortcut(QKeySequence(Qt::Key_F3));
    addMenuAction(edit, "Replace1", QStringLiteral("&Replace..."), &MainWindow::Replace1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    edit->addSeparator()->setObjectName(QStringLiteral("N1"));
    addMenuAction(edit, "Comments1", QStringLiteral("&View comments..."),
                  &MainWindow::btnShowCommentClick);
    Addcomment1 = addMenuAction(edit, "Addcomment1", QStringLiteral("&Add comment..."),
                                &MainWindow::btnAddCmtClick);
    edit->addSeparator()->setObjectName(QStringLiteral("N2"));
    addMenuAction(edit, "Options1", QStringLiteral("&Options..."), &MainWindow::Options1Click);

    QMenu* compile = bar->addMenu(QStringLiteral("&Compile"));
    compile->setObjectName(QStringLiteral("Compile1"));
    Rebuildusecode1 = addMenuAction(compile, "Rebuildusecode1", QStringLiteral("&Fast rebuild"),
                                    &MainWindow::btnRebuildClick);
    Rebuildusecode1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F9));
    RebuildAllusecode1 =
        addMenuAction(compile, "RebuildAllusecode1", QStringLiteral("&Complete rebuild"),
                      &MainWindow::RebuildAllusecode1Click);
    compile->addSeparator();
    addMenuAction(compile, "Checktranslations1", QStringLiteral("Check &translations..."),
                  &MainWindow::Checktranslations1Click);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    addMenuAction(help, "Help2", QStringLiteral("Index"), &MainWindow::Help2Click);
    help->addSeparator()->setObjectName(QStringLiteral("N3"));
    addMenuAction(help, "About1", QStringLiteral("About..."), &MainWindow::About1Click);
}

QToolButton* MainWindow::addToolButton(const char* objectName, const QString& text,
                                       void (MainWindow::*handler)()) {
    QToolButton* button = new QToolButton(ToolBar1);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    if (handler)
        connect(button, &QToolButton::clicked, this,
                [this, handler] { guard([&] { (this->*handler)(); }); });
    QAction* holder = ToolBar1->addWidget(button);
    holder->setObjectName(QString::fromLatin1(objectName) + QStringLiteral("Holder"));
    return button;
}

void MainWindow::createToolBar() {
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);

    btnRebuildFast = addToolButton("btnRebuildFast", QStringLiteral("Fast Rebuild"),
                                   &MainWindow::btnRebuildClick);
    btnRebuildAll = addToolButton("btnRebuildAll", QStringLiteral("Complete Rebuild"),
                                  &MainWindow::RebuildAllusecode1Click);
    ToolBar1->addSeparator()->setObjectName(QStringLiteral("ToolButton1"));
    btnSearch = addToolButton("btnSearch", QStringLiteral("Find..."), &MainWindow::btnSearchClick);
    btnFindNext =
        addToolButton("btnFindNext", QStringLiteral("Find next"), &MainWindow::btnFindNextClick);
    btnReplace =
        addToolButton("btnReplace", QStringLiteral("Replace..."), &MainWindow::Replace1Click);
    // Toggles: their state is read by the commands that use them.
    btnAutoReplace = addToolButton("btnAutoReplace", QStringLiteral("Auto-Replace"));
    btnAutoReplace->setCheckable(true);
    btnAutoReplace->setChecked(true);
    btnSearchInAllFunc = addToolButton("btnSearchInAllFunc", QStringLiteral("SearchInAllFunc"));
    btnSearchInAllFunc->setCheckable(true);
    btnSearchInAllFunc->setChecked(false);
    ToolBar1->addSeparator()->setObjectName(QStringLiteral("ToolButton2"));
    btnShowComment = addToolButton("btnShowComment", QStringLiteral("View comments"),
                                   &MainWindow::btnShowCommentClick);
    ToolBar1->addSeparator()->setObjectName(QStringLiteral("ToolButton3"));
    btnQuit = addToolButton("btnQuit", QStringLiteral("Quit"), &MainWindow::btnQuitClick);

    const std::pair<QToolButton*, ToolIcon> icons[] = {
        {btnRebuildFast, ToolIcon::FastRebuild},
        {btnRebuildAll, ToolIcon::CompleteRebuild},
        {btnSearch, ToolIcon::Find},
        {btnFindNext, ToolIcon::FindNext},
        {btnReplace, ToolIcon::Replace},
        {btnAutoReplace, ToolIcon::AutoReplace},
        {btnSearchInAllFunc, ToolIcon::SearchInAllFunc},
        {btnShowComment, ToolIcon::ViewComments},
        {btnQuit, ToolIcon::Quit}};
    for (const auto& [button, icon] : icons)
        button->setIcon(toolIcon(icon));
    ToolBar1->setIconSize(QSize(20, 20));
}

void MainWindow::createPopupMenus() {
    // The editors open their menus themselves on a right click (later work);
    // the status grid opens its menu on a right click.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_selectAction =
        addMenuAction(PopupMenu1, "select", QStringLiteral("Cancel"), &MainWindow::selectClick);
    m_selectAction->setData(0);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Cancel1 =
        addMenuAction(PopupMenu2, "Cancel1", QStringLiteral("Cancel"), &MainWindow::Cancel1Click);
    PopupMenu2->addSeparator()->setObjectName(QStringLiteral("N2"));
    Addterm1 = addMenuAction(PopupMenu2, "Addterm1", QStringLiteral("Add term"),
                             &MainWindow::Addterm1Click);
    Removeterm1 = addMenuAction(PopupMenu2, "Removeterm1", QStringLiteral("Remove term"),
                                &MainWindow::Removeterm1Click);

    FuncStatusPopupMenu = new QMenu(this);
    FuncStatusPopupMenu->setObjectName(QStringLiteral("FuncStatusPopupMenu"));
    const struct {
        const char* name;
        const char* text;
    } marks[] = {
        {"Markascomplete1", "Mark as &complete"},
        {"Markasneedrevision1", "Mark as need &revision"},
        {"Markasworking1", "Mark as &working"},
        {"Markasnotassigned1", "Mark as &not assigned"},
    };
    for (int tag = 0; tag < 4; ++tag) {
        QAction* action = FuncStatusPopupMenu->addAction(QString::fromLatin1(marks[tag].text));
        action->setObjectName(QString::fromLatin1(marks[tag].name));
        action->setData(tag);
        connect(action, &QAction::triggered, this,
                [this, tag] { guard([&] { MarkListItem(tag); }); });
    }
    FuncStatusPopupMenu->addSeparator();
    Assigntranslator1 = FuncStatusPopupMenu->addMenu(QStringLiteral("Assign &translator"));
    Assigntranslator1->setObjectName(QStringLiteral("Assigntranslator1"));
    connect(FuncStatusGridView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                if (!m_busy)
                    FuncStatusPopupMenu->popup(FuncStatusGridView->viewport()->mapToGlobal(pos));
            });
}

// ---- colours ----

void MainWindow::ApplyColors() {
    const ColorSettings& c = m_ws.settings().colors;
    setEditorColors(lbStrings, c[NormalFore], c[NormalBack]);
    setEditorColors(memoEng, c[OriginalFore], c[OriginalBack]);
    setEditorColors(memoStr, c[NormalFore], c[NormalBack]);
    setSelectionColors(memoStr, c[HighlightFore], c[HighlightBack]);
    setEditorColors(MemoFLX, c[NormalFore], c[NormalBack]);
    setEditorColors(ListBox1, c[OriginalFore], c[OriginalBack]);
    if (m_textListDelegate)
        m_textListDelegate->setColors({colorFromSetting(c[OriginalFore]),
                                       colorFromSetting(c[OriginalBack]),
                                       colorFromSetting(c[HighlightFore]),
                                       colorFromSetting(c[HighlightBack]),
                                       {},
                                       {}});
    ListBox1->viewport()->update();
    if (m_flxHighlighter) m_flxHighlighter->rehighlight();
    if (m_stringListDelegate)
        m_stringListDelegate->setColors(
            {colorFromSetting(c[NormalFore]), colorFromSetting(c[NormalBack]),
             colorFromSetting(c[HighlightFore]), colorFromSetting(c[HighlightBack]),
             colorFromSetting(c[CommentFore]), colorFromSetting(c[CommentBack])});
    lbStrings->viewport()->update();
    if (m_memoStrHighlighter) m_memoStrHighlighter->rehighlight();
    memoStr->viewport()->update();
    MemoFLX->viewport()->update();
}

void MainWindow::setFastRebuildEnabled(bool enabled) {
    btnRebuildFast->setEnabled(enabled);
    Rebuildusecode1->setEnabled(enabled);
}

} // namespace lexivo
