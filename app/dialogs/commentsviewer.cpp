#include "dialogs/commentsviewer.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lexivo {

CommentsViewer::CommentsViewer(QWidget* parent, const QList<Row>& rows,
                               std::function<void(quint16 funcNum, int line)> goTo)
    : QDialog(parent), m_rows(rows), m_goTo(std::move(goTo)) {
    setObjectName(QStringLiteral("CommentForm"));
    setWindowTitle(QStringLiteral("Show Comments"));
    lvComments = new QTreeWidget(this);
    lvComments->setObjectName(QStringLiteral("lvComments"));
    lvComments->setColumnCount(5);
    lvComments->setHeaderLabels({QStringLiteral("Function #"), QStringLiteral("Line"),
                                 QStringLiteral("Date"), QStringLiteral("Author"),
                                 QStringLiteral("Comment")});
    lvComments->setRootIsDecorated(false);
    lvComments->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvComments->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvComments->setSortingEnabled(false);
    lvComments->header()->setSectionsClickable(false);
    lvComments->setColumnWidth(0, 70);
    lvComments->setColumnWidth(1, 45);
    lvComments->setColumnWidth(2, 85);
    lvComments->setColumnWidth(3, 110);
    for (const Row& row : rows) {
        auto* item = new QTreeWidgetItem(
            {QStringLiteral("%1").arg(row.funcNum, 4, 16, QLatin1Char('0')).toUpper(),
             QString::number(row.line + 1), row.date, row.author, row.text});
        item->setToolTip(4, row.text);
        lvComments->addTopLevelItem(item);
    }
    connect(lvComments, &QTreeWidget::itemClicked, this, [this] { lvCommentsClick(); });
    connect(lvComments, &QTreeWidget::itemDoubleClicked, this, [this] { lvCommentsDblClick(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lvComments);
    // Wide enough for the comment's text; the user may make it wider.
    resize(640, 391);
}

void CommentsViewer::lvCommentsClick() {
    const QTreeWidgetItem* item = lvComments->currentItem();
    if (!item || !item->isSelected() || !m_goTo) return;
    const int index = lvComments->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    if (index < 0 || index >= m_rows.size()) return;
    m_goTo(m_rows[index].funcNum, m_rows[index].line);
}

void CommentsViewer::lvCommentsDblClick() {
    accept();
}

} // namespace lexivo
