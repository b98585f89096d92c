// Team bookkeeping in the window: the comments of a line, adding one, the
// comments viewer, and the status grid with its menu and translators.

#include "mainwindow.h"

#include "colorsetting.h"
#include "dialogs/commentsviewer.h"
#include "models/funcstatusmodel.h"
#include "widgets/icons.h"

#include <QAction>
#include <QComboBox>
#include <QInputDialog>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeView>

namespace lexivo {

namespace {
// The grid sorts every column by the value in this role: the status code, the
// texts, the function index.
constexpr int SortRole = FuncStatusModel::SortRole;
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
    for (const Comments::ViewerRow& c : m_ws.commentViewerRows())
        rows.append({c.FuncNum, c.Line,
                     locale.toString(dateTimeFromOleDate(c.Date).date(), QLocale::ShortFormat),
                     m_codec.decode(c.Author), m_codec.decode(c.Text)});
    CommentsViewer viewer(this, rows, [this](quint16 funcNum, int line) {
        guard([&] {
            const int f = m_ws.FindFuncIndex(funcNum);
            if (f >= 0) goToLine(f, line);
        });
    });
    viewer.exec();
}

// ---- status grid ----

void MainWindow::setStatusRow(int index) {
    m_statusModel->refreshRow(index);
}

void MainWindow::setTranslatedCell(int index) {
    m_statusModel->refreshProgress(index);
}

void MainWindow::fillStatusGrid() {
    m_statusModel->reload();
    if (m_statusModel->rowCount() > 0) FuncStatusGridView->sortByColumn(1, Qt::AscendingOrder);
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
        setStatusRow(index);
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
