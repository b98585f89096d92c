#include "dialogs/helpwindow.h"

#include <QKeyEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace lexivo {

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Lexivo Help"));
    HelpBrowser = new QTextBrowser(this);
    HelpBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    HelpBrowser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(HelpBrowser);
    resize(820, 640);
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes the window, as it closes a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpWindow::showPage(const QUrl& page) {
    if (HelpBrowser->source() != page)
        HelpBrowser->setSource(page);
    else
        HelpBrowser->reload();
    show();
    raise();
    activateWindow();
}

} // namespace lexivo
