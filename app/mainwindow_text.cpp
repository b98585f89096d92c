// The text tab ("Text.flx editing"): the editor of text.txt with its line
// numbers, the English list beside it, the bar above, change tracking with
// the autosave, and the editor's dictionary menu.

#include "mainwindow.h"

#include "colorsetting.h"
#include "widgets/escapingtextedit.h"
#include "widgets/linenumbergutter.h"
#include "widgets/stringlistdelegate.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace lexivo {

namespace {

// The editor saves itself at every hundredth change.
constexpr int AutosaveEvery = 100;
constexpr int GutterWidth = 40;
const QColor GutterBack(244, 244, 244);
const QColor GutterFore(153, 153, 204);

QFont courier(bool bold = false) {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setBold(bold);
    return font;
}

// Whether an edit key would remove the line break between two rows: the
// editor never joins or splits lines, so its rows stay the rows of text.txt,
// of text.eng and of the game's archive.
bool wouldJoinLines(const QTextCursor& cursor, const QKeyEvent* key) {
    if (cursor.hasSelection()) {
        QTextCursor start(cursor.document());
        start.setPosition(cursor.selectionStart());
        QTextCursor end(cursor.document());
        end.setPosition(cursor.selectionEnd());
        if (start.blockNumber() == end.blockNumber()) return false;
        // A selection across rows may be copied, not replaced or cut.
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) return false;
        return key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste) ||
               key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
               !key->text().isEmpty();
    }
    if (key->key() == Qt::Key_Backspace || key->matches(QKeySequence::DeleteStartOfWord))
        return cursor.atBlockStart();
    if (key->key() == Qt::Key_Delete || key->matches(QKeySequence::DeleteEndOfWord))
        return cursor.atBlockEnd();
    return false;
}

} // namespace

void MainWindow::setUpTextTab() {
    OrigTextPanel->setFont(courier(true));
    MemoFLX->setFont(courier());
    MemoFLX->setTabChangesFocus(true);
    MemoFLX->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Long messages stay reachable: a horizontal bar appears when a line is
    // wider than the editor (the lines are never wrapped).
    MemoFLX->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MemoFLX->setContextMenuPolicy(Qt::PreventContextMenu);
    // Dropping text could move a selection across rows; pasting is the way in.
    MemoFLX->setAcceptDrops(false);
    MemoFLX->installEventFilter(this);
    MemoFLX->viewport()->installEventFilter(this);
    static_cast<EscapingTextEdit*>(MemoFLX)->acceptText = [this](const QString& text) {
        QByteArray bytes;
        return encodeTyped(text, bytes);
    };
    m_flxHighlighter = new LineAttributeHighlighter(
        MemoFLX->document(),
        [this](const QString& line, QList<CharAttr>& attrs) { memoStrGetLineAttr(line, attrs); });
    connect(MemoFLX->document(), &QTextDocument::contentsChange, this,
            [this](int, int removed, int added) {
                if (m_loadingText || (removed == 0 && added == 0)) return;
                guard([&] { MemoFLXChange(); });
            });

    auto* gutter = new LineNumberGutter(
        MemoFLX, GutterWidth, GutterBack,
        [this](QPainter& painter, int row, const QRect& rect) {
            MemoFLXEngAdvancedPaintGutter(painter, row, rect);
        },
        MemoFLX->parentWidget());
    gutter->setObjectName(QStringLiteral("MemoFLXGutter"));
    static_cast<QHBoxLayout*>(MemoFLX->parentWidget()->layout())->insertWidget(0, gutter);
    m_gutter = gutter;

    ListBox1->setFont(courier());
    m_textListDelegate = new StringListDelegate(ListBox1, 16);
    ListBox1->setItemDelegate(m_textListDelegate);
}

void MainWindow::fillTextTab() {
    QStringList lines;
    lines.reserve(m_ws.textLines().size());
    for (const QByteArray& line : m_ws.textLines())
        lines.append(m_codec.decode(line));
    m_textLineCount = lines.size();
    m_loadingText = true;
    MemoFLX->setPlainText(lines.join(QLatin1Char('\n')));
    m_loadingText = false;
    MemoFLX->moveCursor(QTextCursor::Start);
    QStringList english;
    english.reserve(m_ws.englishLines().size());
    for (const QByteArray& line : m_ws.englishLines())
        english.append(m_codec.decode(line));
    ListBox1->clear();
    ListBox1->addItems(english);
}

Lines MainWindow::textTabLines() const {
    Lines lines;
    const QTextDocument* document = MemoFLX->document();
    // An empty text.txt loads as one empty row; it stays an empty file.
    if (m_textLineCount == 0 && document->blockCount() == 1 &&
        document->firstBlock().text().isEmpty())
        return lines;
    lines.reserve(document->blockCount());
    const Lines& loaded = m_ws.textLines();
    for (QTextBlock block = document->firstBlock(); block.isValid(); block = block.next()) {
        // A line as loaded keeps its bytes: with UTF-8 game text a line that
        // is not UTF-8 is shown through the code page and must not come back
        // as UTF-8.
        const int row = block.blockNumber();
        if (row < loaded.size() && m_codec.decode(loaded[row]) == block.text()) {
            lines.append(loaded[row]);
            continue;
        }
        QByteArray bytes;
        if (!m_codec.encode(block.text(), bytes))
            throw Error(QStringLiteral("Line %1 of the text tab holds a character the %2 code "
                                       "page cannot hold; text.txt was not saved.")
                            .arg(block.blockNumber() + 1)
                            .arg(m_codec.name()));
        lines.append(bytes);
    }
    return lines;
}

void MainWindow::SaveTextTabEdits() {
    if (!m_textModified || !m_ws.gameTextLoaded()) return;
    m_ws.saveTextTab(textTabLines());
}

void MainWindow::MemoFLXChange() {
    m_textModified = true;
    if (!m_ws.TextChanged) {
        setFastRebuildEnabled(true);
        m_ws.TextChanged = true;
    }
    if (++ChangeCount >= AutosaveEvery) {
        ChangeCount = 0;
        m_ws.saveTextTab(textTabLines());
    }
}

void MainWindow::MemoFLXEngAdvancedPaintGutter(QPainter& painter, int row,
                                               const QRect& rect) const {
    // The number at the left edge of the row's band, 2 pixels in, clipped.
    const QRect clip(2, rect.top(), rect.width() - 4, rect.height());
    painter.save();
    painter.setClipRect(clip);
    painter.setFont(MemoFLX->font());
    painter.setPen(GutterFore);
    painter.drawText(clip, Qt::AlignLeft | Qt::AlignTop, QString::number(row + 1));
    painter.restore();
}

// The list and the bar follow the caret's row. A row without an English line
// (more rows than text.eng) clears both.
void MainWindow::syncTextTabToCaret() {
    const int row = MemoFLX->textCursor().blockNumber();
    if (row >= ListBox1->count()) {
        ListBox1->setCurrentRow(-1);
        ListBox1->clearSelection();
        OrigTextPanel->clear();
        return;
    }
    ListBox1->setCurrentRow(row);
    OrigTextPanel->setText(ListBox1->item(row)->text());
}

void MainWindow::MemoFLXKeyUp() {
    syncTextTabToCaret();
}

void MainWindow::MemoFLXMouseUp() {
    syncTextTabToCaret();
}

void MainWindow::ListBox1Click() {
    const int row = ListBox1->currentRow();
    if (row < 0) return;
    const QTextBlock block = MemoFLX->document()->findBlockByNumber(row);
    if (block.isValid()) {
        QTextCursor cursor = MemoFLX->textCursor();
        const int column = qMin(cursor.positionInBlock(), block.length() - 1);
        cursor.setPosition(block.position() + column);
        MemoFLX->setTextCursor(cursor);
    }
    OrigTextPanel->setText(ListBox1->item(row)->text());
}

bool MainWindow::textTabEventFilter(QObject* watched, QEvent* event) {
    if (watched == MemoFLX) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // Enter moves one line down; it never splits a line.
                QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
                QApplication::sendEvent(MemoFLX, &down);
                return true;
            }
            if (wouldJoinLines(MemoFLX->textCursor(), key)) return true;
            if (!key->text().isEmpty() && key->text().at(0).isPrint()) {
                QByteArray bytes;
                bool refused = false;
                guard([&] { refused = !encodeTyped(key->text(), bytes); });
                if (refused) return true;
            }
        } else if (event->type() == QEvent::KeyRelease) {
            guard([&] { MemoFLXKeyUp(); });
        }
    } else if (watched == MemoFLX->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            guard([&] { MemoFLXMouseDown(mouse->button(), mouse->position().toPoint()); });
            // The right button is the menu's; the others place the caret.
            return mouse->button() == Qt::RightButton;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            guard([&] { MemoFLXMouseUp(); });
        }
    }
    return false;
}

// ---- dictionary menu ----

void MainWindow::MemoFLXMouseDown(Qt::MouseButton button, const QPoint& position) {
    Cancel1->setEnabled(false);
    Cancel1->setData(0);
    Addterm1->setEnabled(true);
    Removeterm1->setEnabled(false);
    QString caption = QStringLiteral("Term not found");
    if (button != Qt::RightButton) return;

    const WordLookup lookup = lookUpWordAt(MemoFLX, position);
    if (lookup.found) {
        caption = lookup.translation;
        Cancel1->setData(1);
        Cancel1->setEnabled(true);
        Removeterm1->setEnabled(true);
        Addterm1->setEnabled(false);
    }
    // No hot keys: the caption is exactly the translation.
    Cancel1->setText(QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
    Cancel1->setProperty("translation", caption);
    // At the click, as in the string editor (the window-relative formula with
    // its fixed -30 and +40 pixels aimed at this point).
    PopupMenu2->popup(MemoFLX->viewport()->mapToGlobal(position));
}

void MainWindow::Cancel1Click() {
    QTextCursor cursor = MemoFLX->textCursor();
    if (Cancel1->data().toInt() != 0)
        cursor.insertText(Cancel1->property("translation").toString());
    cursor.clearSelection();
    MemoFLX->setTextCursor(cursor);
}

void MainWindow::dictionaryChanged() {
    m_flxHighlighter->rehighlight();
    m_memoStrHighlighter->rehighlight();
}

void MainWindow::Addterm1Click() {
    const QString term = MemoFLX->textCursor().selectedText();
    QByteArray termBytes;
    if (!encodeTyped(term, termBytes)) return;
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("NewTermDialog"));
    dialog.setWindowTitle(QStringLiteral("New term"));
    dialog.setLabelText(QStringLiteral("Translation for ") + term);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.resize(qMax(dialog.sizeHint().width(), 420), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted || dialog.textValue().isEmpty()) return;
    QByteArray translation;
    if (!encodeTyped(dialog.textValue(), translation)) return;
    // u7.dic is read again and only this entry added (colleagues share it);
    // the colouring follows the dictionary in memory, which keeps the entry
    // even when the file cannot be written.
    try {
        m_ws.addDictionaryEntry({termBytes, translation});
    } catch (...) {
        dictionaryChanged();
        throw;
    }
    dictionaryChanged();
}

void MainWindow::Removeterm1Click() {
    QByteArray term;
    if (!encodeTyped(MemoFLX->textCursor().selectedText(), term)) return;
    try {
        m_ws.removeDictionaryTerm(term);
    } catch (...) {
        dictionaryChanged();
        throw;
    }
    dictionaryChanged();
}

} // namespace lexivo
