// Handlers whose features are built later. Each is already wired to its
// command, so the command set is complete; when a feature is built its
// handlers move to that feature's source file.

#include "mainwindow.h"

namespace lexivo {

void MainWindow::btnAddCmtClick() {}
void MainWindow::btnShowCommentClick() {}

void MainWindow::MarkListItem(int tag) {
    Q_UNUSED(tag);
}
void MainWindow::FuncStatusGridViewDblClick() {}

// Status grid: the "Assign &translator" submenu, one item per translator name.
// The start-up sequence calls it last.
void MainWindow::BuildTranslatorsMenu() {}

} // namespace lexivo
