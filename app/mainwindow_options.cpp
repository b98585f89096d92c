// The options dialog: the translator's settings, the translators list, the
// display code page and the colours, written to LEXIVO.INI on OK.

#include "mainwindow.h"

#include "dialogs/optionsdialog.h"

#include <QComboBox>

namespace lexivo {

void MainWindow::Options1Click() {
    Settings& s = m_ws.settings();
    OptionsDialog::Values values;
    values.gameDirectory = m_ws.gameDirectory();
    values.name = m_codec.decode(s.userName);
    values.translatorId = s.translatorId;
    values.color = s.userColor;
    for (const QByteArray& name : std::as_const(s.translatorNames))
        values.translators << m_codec.decode(name);
    values.colors = s.colors;
    values.codePage = 1252;
    // The dialog edits copies: Cancel leaves every setting, the colours
    // included, as it was when the dialog opened.
    OptionsDialog dialog(this, values, m_ws.programDirectory(), {1252}, m_folderBrowser);
    if (dialog.exec() != QDialog::Accepted) return;
    const OptionsDialog::Values v = dialog.values();

    QByteArray name;
    if (!v.name.isEmpty() && !encodeTyped(v.name, name)) return;
    QList<QByteArray> translators;
    for (const QString& t : v.translators) {
        QByteArray bytes;
        if (!encodeTyped(t, bytes)) return;
        translators << bytes;
    }
    const QByteArray gameDirectory = v.gameDirectory.toLocal8Bit();

    s.translatorId = quint8(v.translatorId);
    if (!name.isEmpty()) s.userName = name;
    s.userColor = v.color;
    s.translatorNames = translators;
    s.colors = v.colors;
    writeOptions(m_ws.ini(), s.translatorId, name, s.userColor, gameDirectory, translators,
                 s.colors);
    if (!v.gameDirectory.isEmpty()) m_ws.useGameDirectory(v.gameDirectory);
    BuildTranslatorsMenu();
    ApplyColors();
}

} // namespace lexivo
