#pragma once

#include <QList>
#include <QWidget>
#include <functional>

class QPlainTextEdit;

namespace lexivo {

// A gutter beside a plain text editor: paints its background and asks a
// callback to draw each visible row's number. It follows the editor's
// scrolling and edits through the editor's public signals, so the editor
// stays a plain editor.
class LineNumberGutter : public QWidget {
public:
    // Draws row (from 0) into rect, the row's band of the gutter.
    using PaintRow = std::function<void(QPainter& painter, int row, const QRect& rect)>;

    LineNumberGutter(QPlainTextEdit* editor, int width, const QColor& background, PaintRow paintRow,
                     QWidget* parent = nullptr);

    // The rows and bands painted last (for checking what the user sees).
    struct Painted {
        int row;
        QRect rect;
    };
    const QList<Painted>& lastPainted() const { return m_painted; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPlainTextEdit* m_editor;
    QColor m_background;
    PaintRow m_paintRow;
    QList<Painted> m_painted;
};

} // namespace lexivo
