// The function list of the usecode tab and the description command.

#include "mainwindow.h"

#include <QComboBox>
#include <QInputDialog>
#include <QPushButton>

namespace lexivo {

// One item per entry of the function table, in table order: "01A4: Blacksmith".
void MainWindow::fillFunctionList() {
    comboFuncList->clear();
    const int count = m_ws.functionCount();
    QStringList items;
    items.reserve(count);
    for (int i = 0; i < count; ++i)
        items.append(m_codec.decode(m_ws.functionListItem(i)));
    comboFuncList->addItems(items);
    btnEditFuncName->setEnabled(count > 0);
}

void MainWindow::comboFuncListSelect(int index) {
    ShowFunction(index);
}

// Edits the description of the selected function. With no function selected
// (an empty table) there is nothing to describe and nothing happens.
void MainWindow::btnEditFuncNameClick() {
    const int index = comboFuncList->currentIndex();
    if (index < 0 || index >= m_ws.functionCount()) return;
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("FunctionDescriptionDialog"));
    dialog.setWindowTitle(QStringLiteral("Function description"));
    dialog.setLabelText(QStringLiteral("New description"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(m_codec.decode(m_ws.funcs().at(index).Description));
    dialog.resize(qMax(dialog.sizeHint().width(), 460), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) return;
    const QString text = dialog.textValue();
    if (text.isEmpty()) return;
    QByteArray description;
    qsizetype bad = 0;
    if (!m_codec.encode(text, description, &bad)) {
        showMessage(QStringLiteral("The character \"%1\" cannot be stored in the %2 code page.")
                        .arg(text.at(bad))
                        .arg(m_codec.name()));
        return;
    }
    // The list item follows the table even when funclist.txt cannot be
    // written (the error then goes on to the guard).
    auto refreshItem = [&] {
        comboFuncList->setItemText(index, m_codec.decode(m_ws.functionListItem(index)));
        comboFuncList->setCurrentIndex(index);
    };
    try {
        m_ws.setFunctionDescription(index, description);
    } catch (...) {
        refreshItem();
        throw;
    }
    refreshItem();
}

} // namespace lexivo
