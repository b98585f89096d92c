#include "stringlistdelegate.h"

#include <QAbstractItemView>
#include <QPainter>

namespace lexivo {

StringListDelegate::StringListDelegate(QObject* parent, std::function<bool(int row)> hasComment)
    : QStyledItemDelegate(parent), m_hasComment(std::move(hasComment)) {}

QString StringListDelegate::fitText(const QString& text, const QFontMetrics& metrics,
                                    int listWidth) {
    const int room = listWidth - metrics.horizontalAdvance(QStringLiteral("...")) - 30;
    if (metrics.horizontalAdvance(text) <= room) return text;
    QString cut = text;
    while (!cut.isEmpty() && metrics.horizontalAdvance(cut) > room)
        cut.chop(1);
    return cut + QStringLiteral("...");
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
    const QFontMetrics metrics(font);
    const QString text = fitText(index.data(Qt::DisplayRole).toString(), metrics, listWidth);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter->restore();
}

QSize StringListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    Q_UNUSED(index);
    return QSize(option.rect.width(), RowHeight);
}

} // namespace lexivo
