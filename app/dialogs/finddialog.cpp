#include "dialogs/finddialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lexivo {

FindDialog::FindDialog(QWidget* parent, const QString& initialText) : QDialog(parent) {
    setObjectName(QStringLiteral("SearchForm"));
    setWindowTitle(QStringLiteral("Find text"));
    auto* label = new QLabel(QStringLiteral("Text to find"), this);
    label->setObjectName(QStringLiteral("Label1"));
    edSrc = new QLineEdit(initialText, this);
    edSrc->setObjectName(QStringLiteral("edSrc"));
    edSrc->selectAll();
    cbSearchOriginalText = new QCheckBox(QStringLiteral("Search into original text"), this);
    cbSearchOriginalText->setObjectName(QStringLiteral("cbSearchOriginalText"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(edSrc, 1, 0, 1, 3);
    layout->addWidget(cbSearchOriginalText, 2, 0);
    layout->addWidget(ok, 2, 1);
    layout->addWidget(cancel, 2, 2);
    setFixedSize(335, 117);
    // QDialog closes with Cancel on Esc.
}

QString FindDialog::text() const {
    return edSrc->text();
}

bool FindDialog::searchOriginal() const {
    return cbSearchOriginalText->isChecked();
}

} // namespace lexivo
