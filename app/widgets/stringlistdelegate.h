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

    // The conversation keywords: keywordKind(row) is 0 for a plain line, 1
    // compared, 2 offered, 3 both. A keyword row carries a small speech
    // bubble in the free room at the right end of the row, filled where the
    // line is compared, hollow where it is only offered.
    void setKeywordKind(std::function<int(int row)> keywordKind) {
        m_keywordKind = std::move(keywordKind);
    }
    static QColor keywordMarkColor() { return QColor(0xF0, 0xB0, 0x20); }
    // Where the mark of a row stands (inside rowRect).
    static QRect keywordMarkRect(const QRect& rowRect);

    // The text as drawn in a list of that width: cut by one character at a
    // time until it fits the room (the width minus the width of "..." minus
    // 30 pixels), then "..." appended.
    static QString fitText(const QString& text, const QFontMetrics& metrics, int listWidth);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void drawKeywordMark(QPainter* painter, const QRect& rowRect, int kind) const;

    int m_rowHeight;
    std::function<int(int row)> m_keywordKind;
    std::function<bool(int row)> m_hasComment;
    Colors m_colors;
    mutable QHash<QString, QString> m_fitted;
    mutable int m_fittedWidth = -1;
    mutable QFont m_fittedFont;
};

} // namespace lexivo
