// Find and replace: the find dialog, the usecode-tab search with its Quick
// Search window and Find next, the text-tab search, and replace on either tab.

#include "mainwindow.h"

#include "dialogs/finddialog.h"
#include "dialogs/quicksearchwindow.h"
#include "dialogs/replacedialog.h"
#include "widgets/busycursor.h"
#include "widgets/escapingtextedit.h"
#include "workspace/textreplace.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>

namespace lexivo {

namespace {
constexpr int UsecodeTab = 0;
constexpr int TextTab = 1;
} // namespace

QString MainWindow::selectedTextOfActiveTab() const {
    switch (PageControl1->currentIndex()) {
    case UsecodeTab:
        return memoStr->textCursor().selectedText();
    case TextTab:
        return MemoFLX->textCursor().selectedText();
    default:
        return {};
    }
}

void MainWindow::btnSearchClick() {
    TextSearchText.clear();
    FindDialog dialog(this, selectedTextOfActiveTab());
    if (dialog.exec() != QDialog::Accepted) return;
    const QString text = dialog.text();
    if (text.isEmpty()) return;
    QByteArray bytes;
    if (!encodeTyped(text, bytes)) return;
    if (PageControl1->currentIndex() == UsecodeTab)
        searchUsecodeTab(bytes, dialog.searchOriginal());
    else if (PageControl1->currentIndex() == TextTab)
        searchTextTab(text, dialog.searchOriginal());
}

void MainWindow::searchUsecodeTab(const QByteArray& text, bool original) {
    SearchResult result;
    {
        BusyCursor busy;
        result = m_ws.searchUsecode(text, original);
    }
    SearchHits = result.hits;
    CurrentHit = 0;
    if (SearchHits.isEmpty()) {
        // Rows of an earlier search would point at hits that are gone.
        m_quickSearchWindow->setRows({});
        const QString none = original
                                 ? QStringLiteral("No original line contains \"%1\".")
                                 : QStringLiteral("No line of the translations contains \"%1\".");
        setStatusText(result.statusText.isEmpty()
                          ? none.arg(m_codec.decode(text))
                          : none.arg(m_codec.decode(text)) + QLatin1Char(' ') + result.statusText);
        return;
    }
    setStatusText(result.statusText);
    btnFindNext->setEnabled(true);
    QStringList rows;
    rows.reserve(SearchHits.size());
    for (const SearchHit& hit : std::as_const(SearchHits))
        rows.append(m_codec.decode(m_ws.hitRow(hit)));
    m_quickSearchWindow->setRows(rows);
    // Docked beside the lists (where the user left it when undocked).
    const bool wasHidden = m_quickSearchWindow->isHidden();
    m_quickSearchWindow->show();
    if (wasHidden && !m_quickSearchWindow->isFloating())
        resizeDocks({m_quickSearchWindow}, {205}, Qt::Horizontal);
    m_quickSearchWindow->selectRow(0);
    ShowHit(0);
}

void MainWindow::ShowHit(int k) {
    if (k < 0 || k >= SearchHits.size()) return;
    const SearchHit hit = SearchHits[k];
    goToLine(hit.funcIndex, hit.lineIndex);
    QTextCursor cursor = memoStr->textCursor();
    const int length = memoStr->document()->characterCount() - 1;
    const int start = qMin(int(hit.position) - 1, length);
    cursor.setPosition(qMax(0, start));
    cursor.setPosition(qMin(start + int(hit.length), length), QTextCursor::KeepAnchor);
    memoStr->setTextCursor(cursor);
}

void MainWindow::quickSearchChoose(int row) {
    CurrentHit = row;
    ShowHit(row);
}

// The first line from `from` on that contains text exactly (letter case
// counts), or -1; position gets the column of the first occurrence.
static int findLineFrom(const QTextDocument* document, const QString& text, int from,
                        int* position) {
    for (QTextBlock block = document->findBlockByNumber(from); block.isValid();
         block = block.next()) {
        const qsizetype p = block.text().indexOf(text);
        if (p >= 0) {
            *position = int(p);
            return block.blockNumber();
        }
    }
    return -1;
}

void MainWindow::searchTextTab(const QString& text, bool original) {
    TextSearchText = text;
    if (original) {
        // The English list only: the editor's caret and the bar stay.
        for (int i = 0; i < ListBox1->count(); ++i) {
            if (ListBox1->item(i)->text().contains(text)) {
                ListBox1->setCurrentRow(i);
                btnFindNext->setEnabled(true);
                setStatusText({});
                return;
            }
        }
        setStatusText(QStringLiteral("No English line contains \"%1\".").arg(text));
        return;
    }
    int position = 0;
    const int line = findLineFrom(MemoFLX->document(), text, 0, &position);
    if (line < 0) {
        setStatusText(QStringLiteral("No line of the text contains \"%1\".").arg(text));
        return;
    }
    setStatusText({});
    MemoFLX->setFocus();
    SelectInText(line, position, int(text.size()));
    btnFindNext->setEnabled(true);
}

// Selects n characters from column p (from 0) of line i; the caret ends
// after them, so that Find next goes on with the next line.
void MainWindow::SelectInText(int i, int p, int n) {
    const QTextBlock block = MemoFLX->document()->findBlockByNumber(i);
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + p);
    cursor.setPosition(block.position() + p + n, QTextCursor::KeepAnchor);
    MemoFLX->setTextCursor(cursor);
}

void MainWindow::btnFindNextClick() {
    if (!TextSearchText.isEmpty()) {
        PageControl1->setCurrentIndex(TextTab);
        const int from = MemoFLX->textCursor().blockNumber() + 1;
        int position = 0;
        const int line = findLineFrom(MemoFLX->document(), TextSearchText, from, &position);
        if (line < 0) return; // no wrap to the top
        MemoFLX->setFocus();
        SelectInText(line, position, int(TextSearchText.size()));
        btnFindNext->setEnabled(true);
        return;
    }
    PageControl1->setCurrentIndex(UsecodeTab);
    if (SearchHits.isEmpty()) return;
    CurrentHit = CurrentHit < SearchHits.size() - 1 ? CurrentHit + 1 : 0;
    if (m_quickSearchWindow->isVisible()) m_quickSearchWindow->selectRow(CurrentHit);
    ShowHit(CurrentHit);
}

// ---- replace ----

void MainWindow::Replace1Click() {
    const int tab = PageControl1->currentIndex();
    ReplaceDialog dialog(this, selectedTextOfActiveTab());
    if (dialog.exec() != QDialog::Accepted) return;
    QByteArray find, replacement;
    if (dialog.findText().isEmpty()) return;
    if (!encodeTyped(dialog.findText(), find)) return;
    // A replacement never brings a line break into a line: it arrives as \N.
    if (!encodeTyped(EscapingTextEdit::escapeLineBreaks(dialog.replaceText()), replacement)) return;
    const bool word = dialog.matchWord(), matchCase = dialog.matchCase();
    // Neither text holds a line break, so replacing line by line is the same
    // as replacing in the whole text, and the line count cannot change.
    const auto replaceIn = [&](const QByteArray& line) {
        if (word) return ReplaceWholeWords(find, replacement, line);
        if (matchCase) return ReplaceAllExact(find, replacement, line);
        return ReplaceAllIgnoreCase(find, replacement, line);
    };

    if (tab == UsecodeTab) {
        // Only a function that was shown whole: lines that never loaded (a
        // refused file) must not be saved over its file.
        if (m_shownFunction < 0 || m_shownFunction != comboFuncList->currentIndex()) return;
        const int n = lbStrings->currentRow();
        for (QByteArray& line : CurrentLines)
            line = replaceIn(line);
        saveShownFunction();
        for (int row = 0; row < CurrentLines.size(); ++row)
            setStringRow(row, CurrentLines[row]);
        if (n != -1) {
            selectRowQuietly(n);
            SelectLine(m_shownFunction, n);
        }
        m_ws.TranslationsChanged = true;
        setFastRebuildEnabled(true);
    } else if (tab == TextTab) {
        if (!m_ws.gameTextLoaded()) return;
        Lines lines = textTabLines();
        bool changed = false;
        for (QByteArray& line : lines) {
            QByteArray replaced = replaceIn(line);
            if (replaced != line) {
                line = std::move(replaced);
                changed = true;
            }
        }
        if (changed) {
            // Set by the program: no change event, no modified mark.
            QStringList decoded;
            decoded.reserve(lines.size());
            for (const QByteArray& line : std::as_const(lines))
                decoded.append(m_codec.decode(line));
            m_loadingText = true;
            MemoFLX->setPlainText(decoded.join(QLatin1Char('\n')));
            m_loadingText = false;
        }
        m_ws.saveTextTab(lines);
        m_flxHighlighter->rehighlight();
    }
}

} // namespace lexivo
