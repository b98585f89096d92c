// Team bookkeeping in the window: the comments of a line, adding one, the
// comments viewer, and the status grid with its menu and translators.

#include "mainwindow.h"

#include "colorsetting.h"
#include "dialogs/commentsviewer.h"
#include "widgets/icons.h"

#include <QAction>
#include <QComboBox>
#include <QInputDialog>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeView>

namespace lexivo {

namespace {
// The grid sorts every column by the value in this role: the status code, the
// texts, the function index.
constexpr int SortRole = Qt::UserRole + 1;
} // namespace

// ---- comments ----

void MainWindow::ShowLineComments(quint16 funcNum, int line) {
    rtfComment->clear();
    if (!m_ws.commentsLoaded()) return;
    for (const tVisLine& v : m_ws.ShowLineComments(funcNum, line)) {
        rtfComment->setTextColor(colorFromSetting(quint32(v.Color)));
        rtfComment->append(m_codec.decode(v.Text));
    }
}

void MainWindow::btnAddCmtClick() {
    const int f = m_shownFunction;
    const int n = lbStrings->currentRow();
    if (f < 0 || n < 0 || n >= CurrentLines.size() || !m_ws.commentsLoaded()) return;
    const quint16 funcNum = m_ws.funcs().at(f).FuncNum;
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CommentDialog"));
    dialog.setWindowTitle(QStringLiteral("Comment"));
    dialog.setLabelText(QStringLiteral("Text"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.resize(qMax(dialog.sizeHint().width(), 420), dialog.sizeHint().height());
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    QByteArray text;
    if (confirmed && !encodeTyped(dialog.textValue(), text)) return;
    // The box shows the new comment even when the file cannot be written;
    // the comment stays in memory and goes with the next write.
    try {
        if (confirmed) {
            if (n < LineHasComment.size()) LineHasComment[n] = true;
            lbStrings->viewport()->update();
            m_ws.addComment(funcNum, quint16(n), text);
        } else {
            // A cancelled comment still writes the own file, as it always has.
            m_ws.writeOwnComments();
        }
    } catch (...) {
        ShowLineComments(funcNum, n);
        throw;
    }
    ShowLineComments(funcNum, n);
}

void MainWindow::btnShowCommentClick() {
    if (!m_ws.commentsLoaded() || m_ws.CommentSets().isEmpty()) {
        showMessage(QStringLiteral("No comments found."));
        return;
    }
    QList<CommentsViewer::Row> rows;
    const QLocale locale = QLocale::system();
    for (const tCmtLine& c : m_ws.commentViewerRows())
        rows.append({QString::fromLatin1(hexNum(c.FuncNum)), QString::number(c.Line),
                     locale.toString(dateTimeFromOleDate(c.Date).date(), QLocale::ShortFormat)});
    CommentsViewer viewer(this, rows, [this](quint16 funcNum, int line) {
        guard([&] {
            const int f = m_ws.FindFuncIndex(funcNum);
            if (f >= 0) goToLine(f, line);
        });
    });
    viewer.exec();
}

// ---- status grid ----

QIcon MainWindow::statusIcon(int code) {
    if (code < 0 || code >= int(m_statusIcons.size())) return {};
    QIcon& icon = m_statusIcons[size_t(code)];
    if (icon.isNull()) icon = QIcon(statusImage(code));
    return icon;
}

void MainWindow::setStatusRow(int row, int index) {
    QStandardItem* status = m_statusModel->item(row, 0);
    const int code = m_ws.functionStatus(index);
    status->setData(statusIcon(code), Qt::DecorationRole);
    status->setData(code, SortRole);
    const QString name = m_codec.decode(m_ws.functionTranslatorName(index));
    m_statusModel->item(row, 2)->setText(name);
    m_statusModel->item(row, 2)->setData(name, SortRole);
    setTranslatedCell(index);
}

// "translated/total", sorted by the share translated, then by the total.
void MainWindow::setTranslatedCell(int index) {
    if (index < 0 || index >= m_statusModel->rowCount()) return;
    QStandardItem* cell = m_statusModel->item(index, 4);
    if (!cell) return;
    const Workspace::LineCount count = m_ws.functionProgress(index);
    cell->setText(QStringLiteral("%1/%2").arg(count.translated).arg(count.total));
    const double share = count.total > 0 ? double(count.translated) / double(count.total) : 0.0;
    cell->setData(share + double(count.total) * 1e-9, SortRole);
}

void MainWindow::fillStatusGrid() {
    m_statusModel->removeRows(0, m_statusModel->rowCount());
    if (!m_ws.funcStatusLoaded()) return;
    FuncStatusGridView->setUpdatesEnabled(false);
    const int count = m_ws.functionCount();
    for (int i = 0; i < count; ++i) {
        auto* status = new QStandardItem;
        status->setTextAlignment(Qt::AlignCenter);
        const QString function = m_codec.decode(m_ws.functionListItem(i));
        auto* name = new QStandardItem(function);
        name->setData(function, SortRole);
        auto* translator = new QStandardItem;
        auto* index = new QStandardItem(QString::number(i));
        index->setData(i, SortRole);
        auto* translated = new QStandardItem;
        translated->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_statusModel->appendRow({status, name, translator, index, translated});
        setStatusRow(i, i);
    }
    FuncStatusGridView->sortByColumn(1, Qt::AscendingOrder);
    FuncStatusGridView->setUpdatesEnabled(true);
}

// The rows a status command works on: the current row when exactly one is
// selected, else every selected row, in row order; each as its function index.
QList<int> MainWindow::selectedStatusFunctions() const {
    const QModelIndexList selected = FuncStatusGridView->selectionModel()->selectedRows(3);
    QList<int> indexes;
    if (selected.size() == 1) {
        const QModelIndex current = FuncStatusGridView->currentIndex();
        if (current.isValid())
            indexes << m_statusProxy->index(current.row(), 3).data(SortRole).toInt();
        return indexes;
    }
    QList<int> rows;
    for (const QModelIndex& i : selected)
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        indexes << m_statusProxy->index(row, 3).data(SortRole).toInt();
    return indexes;
}

void MainWindow::refreshStatusRows(const QList<int>& indexes) {
    // The model's row i is function i; the grid shows it wherever sorting
    // put it.
    for (int index : indexes)
        if (index >= 0 && index < m_statusModel->rowCount()) setStatusRow(index, index);
}

void MainWindow::MarkListItem(int tag) {
    if (!m_ws.funcStatusLoaded()) return;
    refreshStatusRows(m_ws.setFunctionStatus(selectedStatusFunctions(), tag));
}

void MainWindow::Assigntranslator1Click(int tag) {
    if (!m_ws.funcStatusLoaded()) return;
    refreshStatusRows(m_ws.setFunctionTranslator(selectedStatusFunctions(), tag));
}

void MainWindow::BuildTranslatorsMenu() {
    Assigntranslator1->clear();
    const QList<QByteArray>& names = m_ws.TranslatorNames();
    Assigntranslator1->setEnabled(!names.isEmpty());
    if (names.isEmpty()) return;
    const auto add = [this](const QString& text, int tag) {
        QAction* action = Assigntranslator1->addAction(text);
        action->setObjectName(QStringLiteral("Translator%1").arg(tag));
        action->setData(tag);
        connect(action, &QAction::triggered, this,
                [this, tag] { guard([&] { Assigntranslator1Click(tag); }); });
    };
    add(QStringLiteral("&0. None"), 0);
    for (int n = 1; n <= names.size(); ++n)
        add(QStringLiteral("&%1. ").arg(n) +
                m_codec.decode(names[n - 1]).replace(QLatin1Char('&'), QStringLiteral("&&")),
            n);
}

void MainWindow::FuncStatusGridViewDblClick() {
    const QModelIndex current = FuncStatusGridView->currentIndex();
    if (!current.isValid()) return;
    bool ok = false;
    const uint number =
        m_statusProxy->index(current.row(), 1).data().toString().left(4).toUInt(&ok, 16);
    if (!ok) return;
    PageControl1->setCurrentIndex(0);
    const int f = m_ws.FindFuncIndex(quint16(number));
    if (f >= 0) goToLine(f, 0);
}

} // namespace lexivo
