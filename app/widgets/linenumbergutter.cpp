#include "linenumbergutter.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

namespace lexivo {

LineNumberGutter::LineNumberGutter(QPlainTextEdit* editor, int width, const QColor& background,
                                   PaintRow paintRow, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_background(background), m_paintRow(std::move(paintRow)) {
    setFixedWidth(width);
    connect(editor, &QPlainTextEdit::updateRequest, this, [this] { update(); });
    connect(editor->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
}

void LineNumberGutter::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    m_painted.clear();
    // Rows are found through the editor's viewport: the first visible one
    // is the block at its top edge, and each row's band is the caret
    // rectangle of its first character, moved into this widget.
    const QWidget* viewport = m_editor->viewport();
    const int offset =
        viewport->mapTo(window(), QPoint(0, 0)).y() - mapTo(window(), QPoint(0, 0)).y();
    QTextBlock block = m_editor->cursorForPosition(QPoint(0, 0)).block();
    const int lineHeight = m_editor->fontMetrics().lineSpacing();
    while (block.isValid()) {
        const QRect caret = m_editor->cursorRect(QTextCursor(block));
        const int top = caret.top() + offset;
        if (top > height()) break;
        if (block.isVisible()) {
            const QRect band(0, top, width(), qMax(lineHeight, caret.height()));
            m_painted.append({block.blockNumber(), band});
            if (m_paintRow) m_paintRow(painter, block.blockNumber(), band);
        }
        block = block.next();
    }
}

} // namespace lexivo
