#include "dialogs/findingsdialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lexivo {

FindingsDialog::FindingsDialog(QWidget* parent,
                               std::function<void(int functionIndex, int line)> goTo)
    : QDialog(parent), m_goTo(std::move(goTo)) {
    setObjectName(QStringLiteral("FindingsDialog"));
    setWindowTitle(QStringLiteral("Check translations"));
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lvFindings = new QTreeWidget(this);
    lvFindings->setObjectName(QStringLiteral("lvFindings"));
    lvFindings->setColumnCount(4);
    lvFindings->setHeaderLabels({QStringLiteral("Function"), QStringLiteral("Line"),
                                 QStringLiteral("Check"), QStringLiteral("Problem")});
    lvFindings->setRootIsDecorated(false);
    lvFindings->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFindings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFindings->setColumnWidth(0, 220);
    lvFindings->setColumnWidth(1, 50);
    lvFindings->setColumnWidth(2, 90);
    connect(lvFindings, &QTreeWidget::itemDoubleClicked, this, [this] { lvFindingsDblClick(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(lvFindings);
    resize(760, 420);
}

void FindingsDialog::setRows(const QList<Row>& rows, const QStringList& notes) {
    m_rows = rows;
    lvFindings->clear();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        auto* item =
            new QTreeWidgetItem({row.place, QString::number(row.line), row.check, row.message});
        item->setData(0, Qt::UserRole, int(i));
        lvFindings->addTopLevelItem(item);
    }
    QString summary =
        rows.isEmpty()
            ? QStringLiteral("No findings.")
            : QStringLiteral("%1 findings. A double click opens the line.").arg(rows.size());
    for (const QString& note : notes)
        summary += QLatin1Char('\n') + note;
    lblSummary->setText(summary);
}

void FindingsDialog::lvFindingsDblClick() {
    const QTreeWidgetItem* item = lvFindings->currentItem();
    if (!item || !m_goTo) return;
    const int i = item->data(0, Qt::UserRole).toInt();
    if (i < 0 || i >= m_rows.size()) return;
    m_goTo(m_rows[i].functionIndex, m_rows[i].line - 1);
}

} // namespace lexivo
