#include "dialogs/quicksearchwindow.h"

namespace lexivo {

QuickSearchWindow::QuickSearchWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Quick Search"));
    resize(420, 300);
    hide();
}

} // namespace lexivo
