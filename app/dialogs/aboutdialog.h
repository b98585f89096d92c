#pragma once

#include <QDialog>

namespace lexivo {

// The About box: a small tool window with the program's icon, its name in
// large type, the version text beside it and an "OK" button. Modal; it
// deletes itself when it closes.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace lexivo
