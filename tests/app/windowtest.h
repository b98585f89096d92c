#pragma once

// What every window test needs: an answerer for modal dialogs, widgets found
// by object name, a shown and active main window.

#include "mainwindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace lexivo::testing {

// Answers modal dialogs while the code under test waits in them: message
// boxes are recorded and confirmed; other dialogs go to the test's handler,
// and anything unhandled is recorded and closed so that no test can hang.
class ModalAnswerer : public QObject {
public:
    QStringList log;
    std::function<bool(QWidget*)> handler;

    ModalAnswerer() {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_timer.start(10);
    }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last) return;
        if (handler && handler(modal)) {
            m_last = modal;
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            log << QStringLiteral("message: ") + box->text();
            if (box->buttons().size() != 1)
                log << QStringLiteral("message box with %1 buttons").arg(box->buttons().size());
            m_last = modal;
            box->button(QMessageBox::Ok)->click();
            return;
        }
        log << QStringLiteral("unexpected dialog: ") + modal->metaObject()->className();
        m_last = modal;
        modal->close();
    }

    QTimer m_timer;
    QPointer<QWidget> m_last;
};

template <typename T> T* child(QObject* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found) qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

inline void showAndActivate(MainWindow& window) {
    window.resize(900, 600);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace lexivo::testing
