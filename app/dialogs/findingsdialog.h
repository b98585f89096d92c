#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QTreeWidget;

namespace lexivo {

// "Check translations": one row per finding of the quality checks, with the
// function (or text.txt), the line from 1, the check and what is wrong. A
// double click takes the main window to the line; the list stays open beside
// it while the lines are mended.
class FindingsDialog : public QDialog {
public:
    struct Row {
        QString place;          // "0401: Innkeeper" or "text.txt"
        int line = 0;           // from 1
        QString check;          // the check's name
        QString message;        // what is wrong
        int functionIndex = -1; // -1: a line of text.txt
    };
    FindingsDialog(QWidget* parent, std::function<void(int functionIndex, int line)> goTo);

    // Replaces the list; notes are shown above it (files that were not checked).
    void setRows(const QList<Row>& rows, const QStringList& notes);
    void lvFindingsDblClick();

private:
    QLabel* lblSummary = nullptr;
    QTreeWidget* lvFindings = nullptr;
    QList<Row> m_rows;
    std::function<void(int, int)> m_goTo;
};

} // namespace lexivo
