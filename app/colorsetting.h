#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace lexivo {

// Colour settings are stored as the configuration file holds them:
// 0x00BBGGRR (red in the lowest byte, then green, then blue).
inline QColor colorFromSetting(quint32 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

inline quint32 settingFromColor(const QColor& color) {
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

// Text and background of a list or editor, in every colour group.
inline void setEditorColors(QWidget* widget, quint32 fore, quint32 back) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, colorFromSetting(fore));
    palette.setColor(QPalette::Base, colorFromSetting(back));
    widget->setPalette(palette);
}

// Colours of selected text.
inline void setSelectionColors(QWidget* widget, quint32 fore, quint32 back) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::HighlightedText, colorFromSetting(fore));
    palette.setColor(QPalette::Highlight, colorFromSetting(back));
    widget->setPalette(palette);
}

} // namespace lexivo
