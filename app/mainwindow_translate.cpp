// Translating a function: the function view (string list), the string editor,
// accepting a translation, the dictionary colouring and the right-click
// lookup of the usecode tab.

#include "mainwindow.h"

#include "colorsetting.h"
#include "widgets/escapingtextedit.h"
#include "widgets/stringlistdelegate.h"

#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>

namespace lexivo {

namespace {

// A row of the string list shows the first 150 characters of its line.
constexpr int ListTextLength = 150;

// A character without a glyph: white and bold on red, unlike any scheme colour.
const QColor GlyphMarkFore(255, 255, 255);
const QColor GlyphMarkBack(200, 0, 0);

} // namespace

QByteArray MainWindow::matchingBytes(const QString& text) const {
    QByteArray bytes(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        uchar b = 0;
        if (m_codec.fromUnicode(text.at(i).unicode(), b)) bytes[i] = char(b);
    }
    return bytes;
}

void MainWindow::setUpEditors() {
    m_stringListDelegate = new StringListDelegate(lbStrings, 14, [this](int row) {
        return row >= 0 && row < LineHasComment.size() && LineHasComment[row];
    });
    m_stringListDelegate->setKeywordKind([this](int row) { return keywordKindOfRow(row); });
    lbStrings->setItemDelegate(m_stringListDelegate);
    lbStrings->setUniformItemSizes(true);

    QFont proportional = memoEng->font();
    proportional.setPointSize(9);
    memoEng->setFont(proportional);
    memoEng->setTabChangesFocus(true);

    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(10);
    memoStr->setFont(fixed);
    memoStr->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memoStr->setTabChangesFocus(true);
    memoStr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The dictionary menu opens only when the right-click handler asks.
    memoStr->setContextMenuPolicy(Qt::PreventContextMenu);
    memoStr->installEventFilter(this);
    memoStr->viewport()->installEventFilter(this);
    static_cast<EscapingTextEdit*>(memoStr)->acceptText = [this](const QString& text) {
        QByteArray bytes;
        return encodeTyped(text, bytes);
    };
    m_memoStrHighlighter = new LineAttributeHighlighter(
        memoStr->document(),
        [this](const QString& line, QList<CharAttr>& attrs) { memoStrGetLineAttr(line, attrs); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (textTabEventFilter(watched, event)) return true;
    if (watched == memoStr && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Shift+Enter types the game's line break; Enter accepts the line
            // (the editor does not take Enter, so "OK" is pressed).
            if (key->modifiers() & Qt::ShiftModifier)
                memoStr->textCursor().insertText(QStringLiteral("\\N"));
            else
                guard([&] { btnOKClick(); });
            return true;
        }
    }
    if (watched == memoStr->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            guard([&] { memoStrMouseDown(mouse->button(), mouse->position().toPoint()); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- function view ----

void MainWindow::ShowFunction(int index) {
    lbStrings->clear();
    CurrentLines.clear();
    CurrentOriginals.clear();
    LineHasComment.clear();
    m_selectLineRow = -1;
    m_shownFunction = -1;
    rtfComment->clear();
    btnAddCmt->setEnabled(false);
    memoStr->clear();
    memoEng->clear();
    lblKeyword->hide();
    if (index < 0 || index >= m_ws.functionCount()) return;
    const tFunc& func = m_ws.funcs().at(index);

    if (m_ws.referenceLoaded())
        m_ws.translationMemory().fillScope(func.FuncNum, btnSearchInAllFunc->isChecked());
    CurrentOriginals = m_ws.originalLines(index);

    if (dataSegmentOf(m_ws.usecode().image, func).size <= 0) {
        showMessage(QStringLiteral("No strings data for this function!"));
    } else {
        // The translation file when there is one, else the strings, saved as
        // the new translation file. A file that is not single-byte text is
        // refused with its message, never shown as mojibake.
        CurrentLines = m_ws.openFunctionLines(index);
        LineHasComment = m_ws.commentsLoaded()
                             ? m_ws.MarkCommentedLines(func.FuncNum, int(CurrentLines.size()))
                             : QList<bool>(CurrentLines.size(), false);
        QStringList rows;
        rows.reserve(CurrentLines.size());
        for (const QByteArray& line : std::as_const(CurrentLines))
            rows.append(m_codec.decode(line.left(ListTextLength)));
        lbStrings->setUpdatesEnabled(false);
        m_quietSelection = true;
        lbStrings->addItems(rows);
        lbStrings->setCurrentRow(-1);
        m_quietSelection = false;
        lbStrings->setUpdatesEnabled(true);
        m_shownFunction = index;
    }
    lbStrings->viewport()->update();
}

void MainWindow::lbStringsClick() {
    const int row = lbStrings->currentRow();
    if (row < 0) return;
    SelectLine(comboFuncList->currentIndex(), row);
}

void MainWindow::goToLine(int f, int n) {
    comboFuncList->setCurrentIndex(f);
    ShowFunction(f);
    if (n < 0 || n >= lbStrings->count()) return;
    selectRowQuietly(n);
    SelectLine(f, n);
}

void MainWindow::selectRowQuietly(int row) {
    m_quietSelection = true;
    lbStrings->setCurrentRow(row);
    m_quietSelection = false;
}

void MainWindow::setStringRow(int row, const QByteArray& line) {
    if (QListWidgetItem* item = lbStrings->item(row))
        item->setText(m_codec.decode(line.left(ListTextLength)));
}

// ---- string editor ----

QByteArray MainWindow::proposalFor(const QByteArray& text, const QByteArray& original) {
    if (text != original || !m_ws.referenceLoaded() || m_ws.translationMemory().scopeIsEmpty())
        return text;
    const TranslationMemory::Proposal proposal =
        m_ws.translationMemory().FindReferenceTranslation(original, m_codec);
    setStatusText(proposal.statusText);
    return proposal.found ? proposal.translation : text;
}

void MainWindow::SelectLine(int f, int n) {
    // A stale LASTFUNCLINE (or any row beyond the lines) loads nothing.
    if (n < 0 || n >= CurrentLines.size() || f < 0 || f >= m_ws.functionCount()) return;
    m_selectLineRow = n;
    ShowLineComments(m_ws.funcs().at(f).FuncNum, n);
    btnAddCmt->setEnabled(true);
    const QByteArray original = CurrentOriginals.value(n);
    setStatusText(QString());
    const QByteArray text = proposalFor(CurrentLines[n], original);
    memoEng->setPlainText(m_codec.decode(original));
    showKeywordNote(n);
    memoStr->setPlainText(m_codec.decode(text));
    memoStr->moveCursor(QTextCursor::End);
    memoStr->setFocus();
}

// Saves CurrentLines as the shown function's translation file. A colleague
// who saved the file since it was shown is not overwritten: the translator
// is told, the function is shown again from the file (at the same row), and
// the command that wanted to save ends there.
void MainWindow::saveShownFunction() {
    const int f = m_shownFunction;
    if (f < 0) throw Error(QStringLiteral("No function is shown."));
    try {
        m_ws.saveFunctionLines(m_ws.funcs().at(f).FuncNum, CurrentLines);
    } catch (const TranslationFileChanged& e) {
        const int row = lbStrings->currentRow();
        showMessage(e.message());
        goToLine(f, row);
        throw CommandEnded();
    }
    // The figures follow every saved line (accepted or replaced): the
    // project's in the status bar, the function's in the status grid.
    showProjectProgress();
    setTranslatedCell(f);
}

bool MainWindow::encodeTyped(const QString& text, QByteArray& bytes) {
    qsizetype bad = 0;
    if (m_codec.encode(text, bytes, &bad)) return true;
    // A character the game's font cannot show is never stored as a stand-in.
    const QString character = text.mid(bad, text.at(bad).isHighSurrogate() ? 2 : 1);
    showMessage(QStringLiteral("The character \"%1\" cannot be stored in the %2 code page.")
                    .arg(character, m_codec.name()));
    return false;
}

void MainWindow::btnOKClick() {
    const int n = lbStrings->currentRow();
    const QString typed = memoStr->toPlainText();
    if (n < 0 && !typed.isEmpty()) return; // no row to store it in
    if (n >= CurrentLines.size()) return;
    if (!typed.isEmpty()) {
        QByteArray t;
        // A line left as shown keeps its bytes (with UTF-8 game text, a
        // code-page line would otherwise come back as UTF-8).
        if (m_codec.decode(CurrentLines[n]) == typed)
            t = CurrentLines[n];
        else if (!encodeTyped(typed, t))
            return;
        // The editor keeps its text on one line (line breaks become "\N"),
        // so there is no final line break to remove here.
        CurrentLines[n] = t;
        setStringRow(n, t);
        int count = 0;
        if (btnAutoReplace->isChecked() && n < CurrentOriginals.size()) {
            const QByteArray& original = CurrentOriginals[n];
            for (int j = 0; j < CurrentLines.size() && j < CurrentOriginals.size(); ++j) {
                if (j == n || CurrentOriginals[j] != original) continue;
                CurrentLines[j] = t;
                setStringRow(j, t);
                ++count;
            }
        }
        saveShownFunction();
        const QString given =
            btnAutoReplace->isChecked() ? giveKeywordTranslation(n, t) : QString();
        m_ws.TranslationsChanged = true;
        setFastRebuildEnabled(true);
        QString status = count > 0 ? QString::number(count) +
                                         QStringLiteral(" identical phrases automatic translated.")
                                   : QString();
        if (!given.isEmpty())
            status += (status.isEmpty() ? QString() : QStringLiteral(" ")) + given;
        setStatusText(status);
    }
    // Advance to the next line without loading it as SelectLine would: the
    // comment box keeps the accepted line's comments and the focus stays.
    if (n < CurrentLines.size() - 1) {
        const int m = n + 1;
        const QByteArray original = CurrentOriginals.value(m);
        const QByteArray text = proposalFor(CurrentLines[m], original);
        memoEng->setPlainText(m_codec.decode(original));
        showKeywordNote(m);
        memoStr->setPlainText(m_codec.decode(text));
        memoStr->moveCursor(QTextCursor::End);
        selectRowQuietly(m);
    }
}

// ---- colouring and the dictionary menu ----

void MainWindow::memoStrGetLineAttr(const QString& line, QList<CharAttr>& attrs) const {
    const ColorSettings& c = m_ws.settings().colors;
    const QByteArray bytes = matchingBytes(line);
    const QColor dictFore = colorFromSetting(c[DictionaryFore]);
    const QColor dictBack = colorFromSetting(c[DictionaryBack]);
    for (const Dictionary::Occurrence& o : m_ws.dictionary().occurrences(bytes)) {
        for (qsizetype i = o.start; i < o.start + o.length && i < attrs.size(); ++i)
            attrs[i] = {true, dictFore, dictBack, false};
    }
    // A character the engine will not draw as itself is marked where it
    // stands, while it is typed.
    for (const GlyphCheck::Issue& issue : m_ws.glyphCheck(m_codec).issues(line)) {
        for (qsizetype i = issue.position; i < issue.position + issue.length && i < attrs.size();
             ++i)
            attrs[i] = {true, GlyphMarkFore, GlyphMarkBack, false, true};
    }
    const qsizetype note = line.indexOf(QStringLiteral(" # "));
    if (note >= 0) {
        const QColor fore = colorFromSetting(c[OriginalFore]);
        const QColor back = colorFromSetting(c[OriginalBack]);
        for (qsizetype i = note; i < attrs.size(); ++i)
            attrs[i] = {true, fore, back, true};
    }
}

MainWindow::WordLookup MainWindow::lookUpWordAt(QPlainTextEdit* editor, const QPoint& position) {
    QTextCursor cursor = editor->textCursor();
    WordLookup lookup;
    if (cursor.hasSelection()) {
        lookup.word = cursor.selectedText();
    } else {
        // The caret goes to the clicked character first, as a click puts it.
        cursor = editor->cursorForPosition(position);
        const QTextBlock block = cursor.block();
        const QString rowText = block.text();
        const Dictionary::Occurrence found =
            Dictionary::WordAtCaret(matchingBytes(rowText), cursor.positionInBlock());
        if (found.length > 0) {
            cursor.setPosition(block.position() + int(found.start));
            cursor.setPosition(block.position() + int(found.start + found.length),
                               QTextCursor::KeepAnchor);
            lookup.word = rowText.mid(found.start, found.length);
        }
        editor->setTextCursor(cursor);
    }
    QByteArray bytes;
    if (m_codec.encode(lookup.word, bytes)) {
        const qsizetype entry = m_ws.dictionary().lookup(bytes);
        if (entry >= 0) {
            lookup.found = true;
            lookup.translation = m_codec.decode(m_ws.dictionary().entries().at(entry).translation);
        }
    }
    return lookup;
}

void MainWindow::memoStrMouseDown(Qt::MouseButton button, const QPoint& position) {
    m_selectAction->setData(0);
    QString caption = QStringLiteral("Cancel");
    if (button != Qt::RightButton) return;

    const WordLookup lookup = lookUpWordAt(memoStr, position);
    if (lookup.found) {
        caption = lookup.translation;
        m_selectAction->setData(1);
    }
    // "&" in a translation is a letter, not a menu mnemonic.
    m_selectAction->setText(QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
    m_selectAction->setProperty("translation", caption);
    // The menu opens 8 pixels right of the click. (The window-relative sum of
    // offsets plus 80 pixels for caption, menu and toolbar that this replaces
    // aimed at the same point; mapping the click itself hits it exactly,
    // whatever the window decorations measure.)
    PopupMenu1->popup(memoStr->viewport()->mapToGlobal(position + QPoint(8, 0)));
}

void MainWindow::selectClick() {
    QTextCursor cursor = memoStr->textCursor();
    if (m_selectAction->data().toInt() != 0)
        cursor.insertText(m_selectAction->property("translation").toString());
    cursor.clearSelection();
    memoStr->setTextCursor(cursor);
}

} // namespace lexivo
