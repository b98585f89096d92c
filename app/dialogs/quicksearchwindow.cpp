#include "dialogs/quicksearchwindow.h"

#include <QListWidget>
#include <QVBoxLayout>

namespace lexivo {

QuickSearchWindow::QuickSearchWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Quick Search"));
    // Shown by a search, it leaves the keyboard with the main window, so that
    // F3 and typing go on there.
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(205, 300);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    QVBoxLayout* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ListBox1);
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    // Rows are 13 pixels high.
    QFont font = ListBox1->font();
    font.setPixelSize(11);
    ListBox1->setFont(font);
    hide();
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
