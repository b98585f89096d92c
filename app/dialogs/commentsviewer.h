#pragma once

#include <QDialog>
#include <functional>

class QTreeWidget;

namespace lexivo {

// "Show Comments": one row per commented line, the newest comment first, with
// the function number, the line (from 1, as the string list counts), the
// date, the author and the text of that line's newest comment. A click takes
// the main window to the line; a double click closes the viewer.
class CommentsViewer : public QDialog {
public:
    struct Row {
        quint16 funcNum = 0;
        int line = 0; // from 0
        QString date; // the short date format of the locale
        QString author;
        QString text;
    };
    CommentsViewer(QWidget* parent, const QList<Row>& rows,
                   std::function<void(quint16 funcNum, int line)> goTo);

    void lvCommentsClick();
    void lvCommentsDblClick();

private:
    QTreeWidget* lvComments = nullptr;
    QList<Row> m_rows;
    std::function<void(quint16, int)> m_goTo;
};

} // namespace lexivo
