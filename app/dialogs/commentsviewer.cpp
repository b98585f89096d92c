#include "dialogs/commentsviewer.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lexivo {

CommentsViewer::CommentsViewer(QWidget* parent, const QList<Row>& rows,
                               std::function<void(quint16 funcNum, int line)> goTo)
    : QDialog(parent), m_goTo(std::move(goTo)) {
    setObjectName(QStringLiteral("CommentForm"));
    setWindowTitle(QStringLiteral("Show Comments"));
    lvComments = new QTreeWidget(this);
    lvComments->setObjectName(QStringLiteral("lvComments"));
    lvComments->setColumnCount(3);
    lvComments->setHeaderLabels(
        {QStringLiteral("Function #"), QStringLiteral("Line"), QStringLiteral("Date")});
    lvComments->setRootIsDecorated(false);
    lvComments->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvComments->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvComments->setSortingEnabled(false);
    lvComments->header()->setSectionsClickable(false);
    lvComments->setColumnWidth(0, 70);
    lvComments->setColumnWidth(2, 85);
    for (const Row& row : rows)
        lvComments->addTopLevelItem(new QTreeWidgetItem({row.function, row.line, row.date}));
    connect(lvComments, &QTreeWidget::itemClicked, this, [this] { lvCommentsClick(); });
    connect(lvComments, &QTreeWidget::itemDoubleClicked, this, [this] { lvCommentsDblClick(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lvComments);
    setFixedSize(228, 391);
}

void CommentsViewer::lvCommentsClick() {
    const QTreeWidgetItem* item = lvComments->currentItem();
    if (!item || !item->isSelected() || !m_goTo) return;
    bool okFunction = false, okLine = false;
    const uint function = item->text(0).toUInt(&okFunction, 16);
    const int line = item->text(1).toInt(&okLine);
    if (okFunction && okLine && function <= 0xFFFF) m_goTo(quint16(function), line);
}

void CommentsViewer::lvCommentsDblClick() {
    accept();
}

} // namespace lexivo
