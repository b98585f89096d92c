#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;

namespace lexivo {

// The window shown while the usecode is rebuilt: borderless, 291 x 115, a
// raised bevel, centred on its owner. It names the function being handled and
// shows the read position in the usecode image.
class RebuildProgressWindow : public QFrame {
    Q_OBJECT

public:
    explicit RebuildProgressWindow(QWidget* owner);

    // Shows the function ("0x" and four upper-case hex digits) and the read
    // position of total bytes, then lets the window repaint.
    void setProgress(quint32 funcNum, qint64 position, qint64 total);

    QString functionText() const;
    int position() const;
    int maximum() const;

private:
    QLabel* m_function = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

} // namespace lexivo
