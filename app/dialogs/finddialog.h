#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace lexivo {

// "Find text": the text to find and whether to search the original text.
// Esc closes it with Cancel.
class FindDialog : public QDialog {
public:
    FindDialog(QWidget* parent, const QString& initialText);
    QString text() const;
    bool searchOriginal() const;

private:
    QLineEdit* edSrc = nullptr;
    QCheckBox* cbSearchOriginalText = nullptr;
};

} // namespace lexivo
