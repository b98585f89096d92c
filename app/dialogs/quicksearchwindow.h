#pragma once

#include <QWidget>

namespace lexivo {

// The tool window "Quick Search": created hidden at start-up, always on top
// of the main window and resizable; the search fills and shows it.
class QuickSearchWindow : public QWidget {
    Q_OBJECT

public:
    explicit QuickSearchWindow(QWidget* owner);
};

} // namespace lexivo
