#include "dialogs/optionsdialog.h"

#include "colorsetting.h"
#include "widgets/colorbutton.h"
#include "widgets/lineattributehighlighter.h"
#include "workspace/inifile.h"
#include "workspace/paths.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QVBoxLayout>

namespace lexivo {

namespace {

struct Element {
    const char* text;
    ColorIndex fore;
    ColorIndex back;
};
constexpr Element Elements[] = {
    {"Normal text", NormalFore, NormalBack},
    {"Highlight text", HighlightFore, HighlightBack},
    {"Comment present", CommentFore, CommentBack},
    {"Dictionary suggestion", DictionaryFore, DictionaryBack},
    {"Original text", OriginalFore, OriginalBack},
};

// The preview: a few lines of a conversation, each showing one element.
const char* const PreviewLines[] = {
    "\"Welcome to the Copper Kettle, stranger.\"", "\"The stew is hot and the ale is cold.\"",
    "\"Mind the goose by the well, it bites.\"",   "\"Ask the smith about the broken sword.\"",
    "\"They say the forge never cools.\"",         "\"Farewell, and keep to the road.\"",
};

} // namespace

OptionsDialog::OptionsDialog(QWidget* parent, const Values& values, const QString& programDirectory,
                             const QList<int>& codePages, FolderBrowser browse)
    : QDialog(parent), m_values(values), m_programDirectory(programDirectory),
      m_browse(std::move(browse)) {
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Options"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("PageControl1"));
    tabs->addTab(createGeneralTab(codePages), QStringLiteral("General"));
    tabs->addTab(createTranslatorsTab(), QStringLiteral("Translators list"));
    tabs->addTab(createColorsTab(), QStringLiteral("Colors"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(qMax(466, sizeHint().width()), qMax(308, sizeHint().height()));
    RefreshColorPreview();
}

QWidget* OptionsDialog::createGeneralTab(const QList<int>& codePages) {
    auto* page = new QWidget;
    auto* directory = new QGroupBox(QStringLiteral("Directory"), page);
    edMainDirectory = new QLineEdit(m_values.gameDirectory, directory);
    edMainDirectory->setObjectName(QStringLiteral("edMainDirectory"));
    auto* browse = new QPushButton(QStringLiteral("..."), directory);
    browse->setObjectName(QStringLiteral("btnSelectDirectory"));
    browse->setFixedWidth(32);
    connect(browse, &QPushButton::clicked, this, [this] {
        QString path;
        if (m_browse && m_browse(this, path)) edMainDirectory->setText(path);
    });
    auto* dirLayout = new QGridLayout(directory);
    dirLayout->addWidget(new QLabel(QStringLiteral("Game main directory"), directory), 0, 0, 1, 2);
    dirLayout->addWidget(edMainDirectory, 1, 0);
    dirLayout->addWidget(browse, 1, 1);

    auto* translator = new QGroupBox(QStringLiteral("Translator preference"), page);
    edTransName = new QLineEdit(m_values.name, translator);
    edTransName->setObjectName(QStringLiteral("edTransName"));
    udTransID = new QSpinBox(translator);
    udTransID->setObjectName(QStringLiteral("udTransID"));
    udTransID->setRange(1, 15);
    udTransID->setValue(qBound(1, m_values.translatorId, 15));
    cbTransColor = new ColorButton(translator);
    cbTransColor->setObjectName(QStringLiteral("cbTransColor"));
    cbTransColor->setColor(colorFromSetting(m_values.color));
    // The display code page: which alphabet the game's font shows for the
    // bytes 0x80-0xFF. Files keep their bytes whichever is chosen.
    cbCodePage = new QComboBox(translator);
    cbCodePage->setObjectName(QStringLiteral("cbCodePage"));
    for (int cp : codePages)
        cbCodePage->addItem(QStringLiteral("Windows-%1").arg(cp), cp);
    cbCodePage->setCurrentIndex(qMax(0, cbCodePage->findData(m_values.codePage)));
    auto* form = new QFormLayout(translator);
    form->addRow(QStringLiteral("Name"), edTransName);
    form->addRow(QStringLiteral("TransID"), udTransID);
    form->addRow(QStringLiteral("Color"), cbTransColor);
    form->addRow(QStringLiteral("Code page"), cbCodePage);

    // How accented letters are written into the game files: as Windows-1252
    // bytes, or as the control bytes of the original releases' fonts.
    auto* gameFiles = new QGroupBox(QStringLiteral("Game files"), page);
    cbGameTextEncoding = new QComboBox(gameFiles);
    cbGameTextEncoding->setObjectName(QStringLiteral("cbGameTextEncoding"));
    cbGameTextEncoding->addItem(QStringLiteral("Windows code page"),
                                int(GameTextEncoding::Windows));
    cbGameTextEncoding->addItem(QStringLiteral("Original releases"),
                                int(GameTextEncoding::Original));
    cbGameTextEncoding->addItem(QStringLiteral("UTF-8 (engine with font map)"),
                                int(GameTextEncoding::Utf8));
    cbGameTextEncoding->setCurrentIndex(
        qMax(0, cbGameTextEncoding->findData(int(m_values.gameTextEncoding))));
    cbGameTextEncoding->setToolTip(
        QStringLiteral("Original releases: the accented letters of the original game fonts are "
                       "written as the game's own bytes (small e with acute as 0x03); any other "
                       "letter above 0x7F is refused. UTF-8: the game text is UTF-8, drawn by "
                       "the engine through its font map."));
    // The engine's patch folder (every rebuild writes there), the team's
    // font map and the font section the engine draws with.
    edPatchDirectory = new QLineEdit(m_values.patchDirectory, gameFiles);
    edPatchDirectory->setObjectName(QStringLiteral("edPatchDirectory"));
    edPatchDirectory->setPlaceholderText(QStringLiteral("none: rebuilds write the game folder"));
    edFontMap = new QLineEdit(m_values.fontMapFile, gameFiles);
    edFontMap->setObjectName(QStringLiteral("edFontMap"));
    edFontMap->setPlaceholderText(QStringLiteral("the patch folder's font_map.txt"));
    cbGameFont = new QComboBox(gameFiles);
    cbGameFont->setObjectName(QStringLiteral("cbGameFont"));
    cbGameFont->addItem(QStringLiteral("Engine's built-in fonts"), int(FontMap::Section::Builtin));
    cbGameFont->addItem(QStringLiteral("Game's own fonts"), int(FontMap::Section::Original));
    cbGameFont->setCurrentIndex(qMax(0, cbGameFont->findData(int(m_values.gameFont))));
    auto* gameForm = new QFormLayout(gameFiles);
    gameForm->addRow(QStringLiteral("Game text encoding"), cbGameTextEncoding);
    gameForm->addRow(QStringLiteral("Patch folder"), edPatchDirectory);
    gameForm->addRow(QStringLiteral("Font map"), edFontMap);
    gameForm->addRow(QStringLiteral("Game font"), cbGameFont);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(directory);
    layout->addWidget(translator);
    layout->addWidget(gameFiles);
    layout->addStretch(1);
    return page;
}

QWidget* OptionsDialog::createTranslatorsTab() {
    auto* page = new QWidget;
    edTranslatorName = new QLineEdit(page);
    edTranslatorName->setObjectName(QStringLiteral("edTranslatorName"));
    auto* add = new QPushButton(QStringLiteral("Add name to list ->"), page);
    add->setObjectName(QStringLiteral("btnAddToList"));
    connect(add, &QPushButton::clicked, this, [this] { btnAddToListClick(); });
    auto* remove = new QPushButton(QStringLiteral("Remove name from list <-"), page);
    remove->setObjectName(QStringLiteral("btnRemoveFromList"));
    connect(remove, &QPushButton::clicked, this, [this] { btnRemoveFromListClick(); });
    TranslatorsListBox = new QListWidget(page);
    TranslatorsListBox->setObjectName(QStringLiteral("TranslatorsListBox"));
    TranslatorsListBox->addItems(m_values.translators);
    auto* layout = new QGridLayout(page);
    layout->addWidget(edTranslatorName, 0, 0);
    layout->addWidget(add, 1, 0);
    layout->addWidget(remove, 2, 0);
    layout->setRowStretch(3, 1);
    layout->addWidget(TranslatorsListBox, 0, 1, 4, 1);
    return page;
}

QWidget* OptionsDialog::createColorsTab() {
    auto* page = new QWidget;
    cbbColorScheme = new QComboBox(page);
    cbbColorScheme->setObjectName(QStringLiteral("cbbColorScheme"));
    // The scheme files of colors/ beside the program, sorted, none selected.
    const QString colors = findEntry(m_programDirectory, QStringLiteral("colors"));
    QStringList schemes;
    if (!colors.isEmpty()) {
        for (const QString& name : QDir(colors).entryList(QDir::Files | QDir::Hidden))
            if (name.endsWith(QLatin1String(".clr"), Qt::CaseInsensitive)) schemes << name;
    }
    schemes.sort(Qt::CaseInsensitive);
    cbbColorScheme->addItems(schemes);
    cbbColorScheme->setCurrentIndex(-1);
    connect(cbbColorScheme, &QComboBox::activated, this, [this] { cbbColorSchemeChange(); });

    cbColorElement = new QComboBox(page);
    cbColorElement->setObjectName(QStringLiteral("cbColorElement"));
    for (const Element& e : Elements)
        cbColorElement->addItem(QString::fromLatin1(e.text));
    connect(cbColorElement, &QComboBox::currentIndexChanged, this,
            [this] { cbColorElementChange(); });
    fgColorButton = new ColorButton(page);
    fgColorButton->setObjectName(QStringLiteral("fgColorButton"));
    connect(fgColorButton, &ColorButton::colorChanged, this, [this] { SetElementForeColor(); });
    bgColorButton = new ColorButton(page);
    bgColorButton->setObjectName(QStringLiteral("bgColorButton"));
    connect(bgColorButton, &ColorButton::colorChanged, this, [this] { SetElementBackColor(); });

    MemoTest = new QPlainTextEdit(page);
    MemoTest->setObjectName(QStringLiteral("MemoTest"));
    MemoTest->setReadOnly(true);
    MemoTest->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(10);
    MemoTest->setFont(fixed);
    QStringList lines;
    for (const char* line : PreviewLines)
        lines << QString::fromLatin1(line);
    MemoTest->setPlainText(lines.join(QLatin1Char('\n')));
    m_previewHighlighter = new LineAttributeHighlighter(
        MemoTest->document(), [this](const QString& text, QList<CharAttr>& attrs) {
            MemoTestGetLineAttr(m_previewHighlighter->currentRow(), text, attrs);
        });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Preset Color Scheme"), cbbColorScheme);
    form->addRow(QStringLiteral("Element"), cbColorElement);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("Foreground"), page));
    buttons->addWidget(fgColorButton);
    buttons->addWidget(new QLabel(QStringLiteral("Background"), page));
    buttons->addWidget(bgColorButton);
    buttons->addStretch(1);
    form->addRow(buttons);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(MemoTest, 1);
    return page;
}

OptionsDialog::Values OptionsDialog::values() const {
    Values v = m_values;
    v.gameDirectory = edMainDirectory->text();
    v.name = edTransName->text();
    v.translatorId = udTransID->value();
    v.color = settingFromColor(cbTransColor->color());
    v.translators.clear();
    for (int i = 0; i < TranslatorsListBox->count(); ++i)
        v.translators << TranslatorsListBox->item(i)->text();
    v.codePage = cbCodePage->currentData().toInt();
    v.gameTextEncoding = GameTextEncoding(cbGameTextEncoding->currentData().toInt());
    v.patchDirectory = edPatchDirectory->text().trimmed();
    v.fontMapFile = edFontMap->text().trimmed();
    v.gameFont = FontMap::Section(cbGameFont->currentData().toInt());
    return v;
}

void OptionsDialog::btnAddToListClick() {
    if (TranslatorsListBox->count() >= MaxTranslators) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lexivo"),
                        QStringLiteral("ERROR! Max 63 translators allowed"), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("MessageBox"));
        box.exec();
        return;
    }
    TranslatorsListBox->addItem(edTranslatorName->text());
    edTranslatorName->setFocus();
    edTranslatorName->selectAll();
}

void OptionsDialog::btnRemoveFromListClick() {
    const int row = TranslatorsListBox->currentRow();
    if (row < 0 || !TranslatorsListBox->item(row)->isSelected()) return;
    delete TranslatorsListBox->takeItem(row);
}

void OptionsDialog::cbbColorSchemeChange() {
    const QString colors = findEntry(m_programDirectory, QStringLiteral("colors"));
    if (colors.isEmpty() || cbbColorScheme->currentIndex() < 0) return;
    const QString path = findEntry(withTrailingSlash(colors), cbbColorScheme->currentText());
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    m_values.colors = readColors(IniFile(path), m_values.colors);
    RefreshColorPreview();
}

void OptionsDialog::cbColorElementChange() {
    const int e = qMax(0, cbColorElement->currentIndex());
    fgColorButton->setColor(colorFromSetting(m_values.colors[Elements[e].fore]));
    bgColorButton->setColor(colorFromSetting(m_values.colors[Elements[e].back]));
}

void OptionsDialog::SetElementForeColor() {
    const int e = qMax(0, cbColorElement->currentIndex());
    m_values.colors[Elements[e].fore] = settingFromColor(fgColorButton->color());
    RefreshColorPreview();
    cbColorElementChange();
}

void OptionsDialog::SetElementBackColor() {
    const int e = qMax(0, cbColorElement->currentIndex());
    m_values.colors[Elements[e].back] = settingFromColor(bgColorButton->color());
    RefreshColorPreview();
    cbColorElementChange();
}

void OptionsDialog::RefreshColorPreview() {
    const ColorSettings& c = m_values.colors;
    setEditorColors(MemoTest, c[NormalFore], c[NormalBack]);
    setSelectionColors(MemoTest, c[HighlightFore], c[HighlightBack]);
    // The fixed preview range: a few words of the first line, selected.
    QTextCursor cursor(MemoTest->document());
    cursor.setPosition(1);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    MemoTest->setTextCursor(cursor);
    m_previewHighlighter->rehighlight();
    fgColorButton->setColor(colorFromSetting(c[NormalFore]));
    bgColorButton->setColor(colorFromSetting(c[NormalBack]));
}

void OptionsDialog::MemoTestGetLineAttr(int line, const QString& text,
                                        QList<CharAttr>& attrs) const {
    const ColorSettings& c = m_values.colors;
    const auto paint = [&](qsizetype from, qsizetype to, ColorIndex fore, ColorIndex back,
                           bool bold) {
        for (qsizetype i = from; i < to && i < attrs.size(); ++i)
            attrs[i] = {true, colorFromSetting(c[fore]), colorFromSetting(c[back]), false, bold};
    };
    if (line == 3) paint(0, text.size(), CommentFore, CommentBack, true);
    if (line == 4) paint(14, 19, DictionaryFore, DictionaryBack, false); // columns 15 to 19
    if (line == 5) paint(0, text.size(), OriginalFore, OriginalBack, false);
}

} // namespace lexivo
