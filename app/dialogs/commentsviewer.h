#pragma once

#include <QDialog>
#include <functional>

class QTreeWidget;

namespace lexivo {

// "Show Comments": one row per commented line, the newest comment first, with
// the function number, the line and the date. A click takes the main window
// to the line; a double click closes the viewer.
class CommentsViewer : public QDialog {
public:
    struct Row {
        QString function; // four hexadecimal digits
        QString line;     // decimal
        QString date;     // the short date format of the locale
    };
    CommentsViewer(QWidget* parent, const QList<Row>& rows,
                   std::function<void(quint16 funcNum, int line)> goTo);

    void lvCommentsClick();
    void lvCommentsDblClick();

private:
    QTreeWidget* lvComments = nullptr;
    std::function<void(quint16, int)> m_goTo;
};

} // namespace lexivo
