#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QStyledItemDelegate>
#include <functional>

namespace lexivo {

// Draws the rows of a line list (the usecode tab's string list and the text
// tab's list of original messages): the list's colours, bold comment colours
// for rows that carry comments (the string list only), the highlight colours
// for the selected row, and text cut to the room of the list with "...".
class StringListDelegate : public QStyledItemDelegate {
public:
    struct Colors {
        QColor normalFore, normalBack;
        QColor highlightFore, highlightBack;
        QColor commentFore, commentBack;
    };
    // hasComment(row) tells a row with comments; empty for the text tab's
    // list. Rows are rowHeight pixels high (14 in the string list, 16 in the
    // text tab's list).
    StringListDelegate(QObject* parent, int rowHeight,
                       std::function<bool(int row)> hasComment = {});

    void setColors(const Colors& colors) { m_colors = colors; }

    // The text as drawn in a list of that width: cut by one character at a
    // time until it fits the room (the width minus the width of "..." minus
    // 30 pixels), then "..." appended.
    static QString fitText(const QString& text, const QFontMetrics& metrics, int listWidth);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_rowHeight;
    std::function<bool(int row)> m_hasComment;
    Colors m_colors;
    mutable QHash<QString, QString> m_fitted;
    mutable int m_fittedWidth = -1;
    mutable QFont m_fittedFont;
};

} // namespace lexivo
