#include "dialogs/rebuildprogresswindow.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <climits>

namespace lexivo {

RebuildProgressWindow::RebuildProgressWindow(QWidget* owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("ProgressForm"));
    setWindowModality(Qt::NonModal);
    setFixedSize(291, 115);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);

    QLabel* caption = new QLabel(QStringLiteral("Waiting rebuilding Usecode file..."), this);
    caption->setObjectName(QStringLiteral("Label1"));
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);

    QLabel* functionCaption = new QLabel(QStringLiteral("function: "), this);
    functionCaption->setObjectName(QStringLiteral("Label2"));
    m_function = new QLabel(this);
    m_function->setObjectName(QStringLiteral("FuncLabel"));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setTextVisible(false);

    QGridLayout* layout = new QGridLayout(this);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->addWidget(caption, 0, 0, 1, 2, Qt::AlignHCenter);
    layout->addWidget(functionCaption, 1, 0);
    layout->addWidget(m_function, 1, 1);
    layout->addWidget(ProgressBar1, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);

    if (owner) {
        const QRect area = owner->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void RebuildProgressWindow::setProgress(quint32 funcNum, qint64 position, qint64 total) {
    m_function->setText(QStringLiteral("0x") +
                        QString::number(funcNum, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    ProgressBar1->setMaximum(int(std::clamp<qint64>(total, 0, INT_MAX)));
    ProgressBar1->setValue(int(std::clamp<qint64>(position, 0, ProgressBar1->maximum())));
    QCoreApplication::processEvents();
}

QString RebuildProgressWindow::functionText() const {
    return m_function->text();
}
int RebuildProgressWindow::position() const {
    return ProgressBar1->value();
}
int RebuildProgressWindow::maximum() const {
    return ProgressBar1->maximum();
}

} // namespace lexivo
