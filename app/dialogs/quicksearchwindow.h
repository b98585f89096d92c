#pragma once

#include <QWidget>
#include <functional>

class QListWidget;

namespace lexivo {

// The tool window "Quick Search": created hidden at start-up, always on top
// of the main window and resizable; a usecode-tab search with hits fills,
// places and shows it. Its one control is the list of hits (ListBox1).
class QuickSearchWindow : public QWidget {
    Q_OBJECT

public:
    explicit QuickSearchWindow(QWidget* owner);

    QListWidget* list() const { return ListBox1; }
    // Called with the chosen row when the user picks a hit.
    std::function<void(int row)> onChoose;
    void setRows(const QStringList& rows);
    void selectRow(int row);

private:
    void ListBox1Click();

    QListWidget* ListBox1 = nullptr;
};

} // namespace lexivo
