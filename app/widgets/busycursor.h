#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace lexivo {

// The busy cursor: the outermost one shows the hourglass, nested ones only
// count, and the last to end brings the cursor back. Scoped, so an error
// that ends a command never leaves the hourglass on screen.
class BusyCursor {
public:
    BusyCursor() {
        if (s_depth++ == 0) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor() {
        if (s_depth > 0 && --s_depth == 0) QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    static inline int s_depth = 0;
};

} // namespace lexivo
