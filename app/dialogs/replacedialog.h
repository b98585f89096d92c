#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace lexivo {

// "Replace": the text to find, its replacement, "Match case" and "Match
// whole word only". The two combo boxes serve as one-line fields (no
// history). Esc closes it with Cancel.
class ReplaceDialog : public QDialog {
public:
    ReplaceDialog(QWidget* parent, const QString& initialText);
    QString findText() const;
    QString replaceText() const;
    bool matchCase() const;
    bool matchWord() const;

private:
    QComboBox* ComboSearch = nullptr;
    QComboBox* ComboReplace = nullptr;
    QCheckBox* CheckMatchCase = nullptr;
    QCheckBox* CheckMatchWord = nullptr;
};

} // namespace lexivo
