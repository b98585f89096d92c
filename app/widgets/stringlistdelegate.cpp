#include "stringlistdelegate.h"

#include <QAbstractItemView>
#include <QPainter>

namespace lexivo {

StringListDelegate::StringListDelegate(QObject* parent, int rowHeight,
                                       std::function<bool(int row)> hasComment)
    : QStyledItemDelegate(parent), m_rowHeight(rowHeight), m_hasComment(std::move(hasComment)) {}

QString StringListDelegate::fitText(const QString& text, const QFontMetrics& metrics,
                                    int listWidth) {
    const int room = listWidth - metrics.horizontalAdvance(QStringLiteral("...")) - 30;
    if (metrics.horizontalAdvance(text) <= room) return text;
    // Removing the last character until the rest fits keeps the longest
    // prefix that fits; prefix widths only grow with their length, so a
    // binary search finds the same prefix in a handful of measurements
    // instead of one per removed character (a screen of long rows would
    // otherwise take thousands).
    qsizetype fits = 0, tooWide = text.size();
    while (tooWide - fits > 1) {
        const qsizetype mid = (fits + tooWide) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= room)
            fits = mid;
        else
            tooWide = mid;
    }
    return text.left(fits) + QStringLiteral("...");
}

void StringListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QFont font = option.font;
    QColor fore = m_colors.normalFore;
    QColor back = m_colors.normalBack;
    if (m_hasComment && m_hasComment(index.row())) {
        font.setBold(true);
        fore = m_colors.commentFore;
        back = m_colors.commentBack;
    }
    if (option.state & QStyle::State_Selected) {
        fore = m_colors.highlightFore;
        back = m_colors.highlightBack;
    }
    painter->save();
    painter->fillRect(option.rect, back);
    painter->setFont(font);
    painter->setPen(fore);
    // The room is measured against the whole list control, not the row.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int listWidth = view ? view->width() : option.rect.width();
    // Cut texts are kept until the width or the font changes: repainting a
    // screen of long rows measures each of them once, not on every paint.
    if (listWidth != m_fittedWidth || font != m_fittedFont || m_fitted.size() > 20000) {
        m_fitted.clear();
        m_fittedWidth = listWidth;
        m_fittedFont = font;
    }
    const QString full = index.data(Qt::DisplayRole).toString();
    auto cached = m_fitted.constFind(full);
    if (cached == m_fitted.constEnd())
        cached = m_fitted.insert(full, fitText(full, QFontMetrics(font), listWidth));
    const QString& text = cached.value();
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    if (m_keywordKind) drawKeywordMark(painter, option.rect, m_keywordKind(index.row()));
    painter->restore();
}

QRect StringListDelegate::keywordMarkRect(const QRect& rowRect) {
    // The text never reaches the last 30 pixels of the list (see fitText).
    const int height = qMin(9, rowRect.height() - 3);
    return QRect(rowRect.right() - 13, rowRect.top() + (rowRect.height() - height) / 2 - 1, 11,
                 height);
}

void StringListDelegate::drawKeywordMark(QPainter* painter, const QRect& rowRect, int kind) const {
    if (kind == 0) return;
    const QRect bubble = keywordMarkRect(rowRect);
    const QColor color = keywordMarkColor();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(color);
    // The bubble and its tail below the left end.
    if (kind & 1)
        painter->fillRect(bubble, color);
    else
        painter->drawRect(bubble.adjusted(0, 0, -1, -1));
    painter->drawLine(bubble.left() + 2, bubble.bottom() + 1, bubble.left() + 2,
                      bubble.bottom() + 2);
}

QSize StringListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    Q_UNUSED(index);
    return QSize(option.rect.width(), m_rowHeight);
}

} // namespace lexivo
