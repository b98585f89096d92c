#pragma once

#include <QDockWidget>
#include <functional>

class QListWidget;

namespace lexivo {

// The tool window "Quick Search": a panel docked at the main window's left
// edge, beside the function and string lists (so it covers none of them),
// hidden until a usecode-tab search with hits fills and shows it. It can be
// undocked and moved like any dock. Escape closes it while it has the
// keyboard. Its one control is the list of hits (ListBox1).
class QuickSearchWindow : public QDockWidget {
    Q_OBJECT

public:
    explicit QuickSearchWindow(QWidget* owner);

    QListWidget* list() const { return ListBox1; }
    // Called with the chosen row when the user picks a hit.
    std::function<void(int row)> onChoose;
    void setRows(const QStringList& rows);
    void selectRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ListBox1Click();

    QListWidget* ListBox1 = nullptr;
};

} // namespace lexivo
