#include "dialogs/aboutdialog.h"

#include "workspace.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lexivo {

AboutDialog::AboutDialog(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About Lexivo"));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose);

    QLabel* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/lexivo.png")).pixmap(64, 64));

    QLabel* name = new QLabel(QStringLiteral("Lexivo"), this);
    name->setObjectName(QStringLiteral("ProductName"));
    QFont large = name->font();
    large.setPointSize(large.pointSize() * 2 + 4);
    large.setBold(true);
    name->setFont(large);

    QLabel* version = new QLabel(QString::fromLatin1(Workspace::VersionText), this);
    version->setObjectName(QStringLiteral("Version"));

    QPushButton* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    QHBoxLayout* title = new QHBoxLayout;
    title->addWidget(icon);
    title->addSpacing(12);
    title->addWidget(name, 0, Qt::AlignVCenter);
    title->addSpacing(8);
    title->addWidget(version, 0, Qt::AlignBottom);
    title->addStretch(1);

    QHBoxLayout* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);

    QVBoxLayout* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 12);
    layout->addLayout(title);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void AboutDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

} // namespace lexivo
