#include "colorbutton.h"

#include <QColorDialog>
#include <QMenu>
#include <QPainter>

namespace lexivo {

namespace {

QIcon swatch(const QColor& color, int size = 16) {
    QPixmap pixmap(size, size);
    pixmap.fill(color);
    QPainter p(&pixmap);
    p.setPen(QColor(80, 80, 80));
    p.drawRect(0, 0, size - 1, size - 1);
    return QIcon(pixmap);
}

} // namespace

ColorButton::ColorButton(QWidget* parent) : QToolButton(parent) {
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(36, 14));
    auto* menu = new QMenu(this);
    static const QColor palette[] = {
        Qt::black,         Qt::white, QColor(128, 128, 128), QColor(192, 192, 192),
        QColor(128, 0, 0), Qt::red,   QColor(128, 128, 0),   Qt::yellow,
        QColor(0, 128, 0), Qt::green, QColor(0, 128, 128),   Qt::cyan,
        QColor(0, 0, 128), Qt::blue,  QColor(128, 0, 128),   Qt::magenta};
    for (const QColor& c : palette) {
        QAction* action = menu->addAction(swatch(c), c.name(QColor::HexRgb).toUpper());
        connect(action, &QAction::triggered, this, [this, c] { chooseColor(c); });
    }
    menu->addSeparator();
    QAction* other = menu->addAction(QStringLiteral("&Other"));
    other->setObjectName(QStringLiteral("Other"));
    connect(other, &QAction::triggered, this, [this] {
        const QColor chosen = QColorDialog::getColor(m_color, this);
        if (chosen.isValid()) chooseColor(chosen);
    });
    setMenu(menu);
    updateSwatch();
}

void ColorButton::setColor(const QColor& color) {
    m_color = color;
    updateSwatch();
}

void ColorButton::chooseColor(const QColor& color) {
    if (color == m_color) return;
    setColor(color);
    emit colorChanged(color);
}

void ColorButton::updateSwatch() {
    QPixmap pixmap(iconSize());
    pixmap.fill(m_color.isValid() ? m_color : QColor(Qt::transparent));
    QPainter p(&pixmap);
    p.setPen(QColor(80, 80, 80));
    p.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    p.end();
    setIcon(QIcon(pixmap));
}

} // namespace lexivo
