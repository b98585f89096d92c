#include "dialogs/replacedialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lexivo {

ReplaceDialog::ReplaceDialog(QWidget* parent, const QString& initialText) : QDialog(parent) {
    setObjectName(QStringLiteral("ReplaceForm"));
    setWindowTitle(QStringLiteral("Replace"));
    const auto field = [this](const char* name) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QString::fromLatin1(name));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    };
    auto* label1 = new QLabel(QStringLiteral("Text to find"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    ComboSearch = field("ComboSearch");
    ComboSearch->setEditText(initialText);
    auto* label2 = new QLabel(QStringLiteral("Replace with"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    ComboReplace = field("ComboReplace");
    CheckMatchCase = new QCheckBox(QStringLiteral("Match case"), this);
    CheckMatchCase->setObjectName(QStringLiteral("CheckMatchCase"));
    CheckMatchWord = new QCheckBox(QStringLiteral("Match whole word only"), this);
    CheckMatchWord->setObjectName(QStringLiteral("CheckMatchWord"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label1, 0, 0);
    layout->addWidget(ComboSearch, 0, 1, 1, 2);
    layout->addWidget(label2, 1, 0);
    layout->addWidget(ComboReplace, 1, 1, 1, 2);
    layout->addWidget(CheckMatchCase, 2, 1);
    layout->addWidget(CheckMatchWord, 3, 1);
    layout->addWidget(ok, 2, 2);
    layout->addWidget(cancel, 3, 2);
    setTabOrder(ComboSearch, ComboReplace);
    setTabOrder(ComboReplace, CheckMatchCase);
    setTabOrder(CheckMatchCase, CheckMatchWord);
    setTabOrder(CheckMatchWord, ok);
    setTabOrder(ok, cancel);
    setFixedSize(441, 161);
}

QString ReplaceDialog::findText() const {
    return ComboSearch->currentText();
}

QString ReplaceDialog::replaceText() const {
    return ComboReplace->currentText();
}

bool ReplaceDialog::matchCase() const {
    return CheckMatchCase->isChecked();
}

bool ReplaceDialog::matchWord() const {
    return CheckMatchWord->isChecked();
}

} // namespace lexivo
