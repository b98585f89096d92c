#pragma once

#include <QColor>
#include <QToolButton>

namespace lexivo {

// A colour-picker button: shows its colour as a swatch and opens a menu of
// sixteen common colours plus "&Other", which opens the full colour dialog.
class ColorButton : public QToolButton {
    Q_OBJECT

public:
    explicit ColorButton(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    // Sets the colour without emitting colorChanged.
    void setColor(const QColor& color);
    // The colour the user chose, as if picked from the menu (for the dialog
    // and for tests): emits colorChanged when it differs.
    void chooseColor(const QColor& color);

signals:
    void colorChanged(const QColor& color);

private:
    void updateSwatch();

    QColor m_color;
};

} // namespace lexivo
