#include "dialogs/quicksearchwindow.h"

#include <QListWidget>
#include <QKeyEvent>

namespace lexivo {

QuickSearchWindow::QuickSearchWindow(QWidget* owner)
    : QDockWidget(QStringLiteral("Quick Search"), owner) {
    setObjectName(QStringLiteral("Form2"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setMinimumWidth(120);
    setWidget(ListBox1);
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    // Rows are 13 pixels high.
    QFont font = ListBox1->font();
    font.setPixelSize(11);
    ListBox1->setFont(font);
    ListBox1->installEventFilter(this);
    hide();
}

bool QuickSearchWindow::eventFilter(QObject* watched, QEvent* event) {
    // Escape closes the window, as it closes a dialog.
    if (watched == ListBox1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        close();
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}

void QuickSearchWindow::setRows(const QStringList& rows) {
    ListBox1->clear();
    ListBox1->addItems(rows);
}

void QuickSearchWindow::selectRow(int row) {
    const QSignalBlocker quiet(ListBox1);
    ListBox1->setCurrentRow(row);
}

void QuickSearchWindow::ListBox1Click() {
    const int row = ListBox1->currentRow();
    if (row < 0 || !onChoose) return;
    onChoose(row);
}

} // namespace lexivo
