#pragma once

#include "workspace/config.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSpinBox;

namespace lexivo {

class ColorButton;
class LineAttributeHighlighter;

// "Options": the game directory, the translator's own name, ID and colour,
// the team's translators list, the display code page, the game-text encoding,
// and the colours with preset schemes and a preview. The dialog edits copies; the window applies
// them when it is confirmed.
class OptionsDialog : public QDialog {
public:
    struct Values {
        QString gameDirectory; // as the edit shows it (without "static/")
        QString name;
        int translatorId = 1;
        quint32 color = 0;
        QStringList translators;
        ColorSettings colors = DefaultColors;
        int codePage = 1252;
        GameTextEncoding gameTextEncoding = GameTextEncoding::Windows;
        QString patchDirectory; // DIRECTORY/PATCH as stored (empty: none)
        QString fontMapFile;    // DIRECTORY/FONTMAP as stored (empty: none)
        FontMap::Section gameFont = FontMap::Section::Builtin;
    };
    using FolderBrowser = std::function<bool(QWidget* owner, QString& path)>;

    static constexpr int MaxTranslators = 63;

    OptionsDialog(QWidget* parent, const Values& values, const QString& programDirectory,
                  const QList<int>& codePages, FolderBrowser browse);
    Values values() const;

    // The handlers of the dialog's controls, under their own names.
    void btnAddToListClick();
    void btnRemoveFromListClick();
    void cbbColorSchemeChange();
    void cbColorElementChange();
    void SetElementForeColor();
    void SetElementBackColor();
    void RefreshColorPreview();

private:
    QWidget* createGeneralTab(const QList<int>& codePages);
    QWidget* createTranslatorsTab();
    QWidget* createColorsTab();
    void MemoTestGetLineAttr(int line, const QString& text, QList<struct CharAttr>& attrs) const;

    Values m_values;
    QString m_programDirectory;
    FolderBrowser m_browse;

    QLineEdit* edMainDirectory = nullptr;
    QLineEdit* edTransName = nullptr;
    QSpinBox* udTransID = nullptr;
    ColorButton* cbTransColor = nullptr;
    QComboBox* cbCodePage = nullptr;
    QComboBox* cbGameTextEncoding = nullptr;
    QLineEdit* edPatchDirectory = nullptr;
    QLineEdit* edFontMap = nullptr;
    QComboBox* cbGameFont = nullptr;
    QLineEdit* edTranslatorName = nullptr;
    QListWidget* TranslatorsListBox = nullptr;
    QComboBox* cbbColorScheme = nullptr;
    QComboBox* cbColorElement = nullptr;
    ColorButton* fgColorButton = nullptr;
    ColorButton* bgColorButton = nullptr;
    QPlainTextEdit* MemoTest = nullptr;
    LineAttributeHighlighter* m_previewHighlighter = nullptr;
};

} // namespace lexivo
