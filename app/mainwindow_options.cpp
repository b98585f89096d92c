// The options dialog: the translator's settings, the translators list, the
// display code page and the colours, written to LEXIVO.INI on OK.

#include "mainwindow.h"

#include "dialogs/optionsdialog.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>

namespace lexivo {

void MainWindow::Options1Click() {
    Settings& s = m_ws.settings();
    OptionsDialog::Values values;
    values.gameDirectory = m_ws.gameDirectory();
    // The name and colour are those of the own comment set (its file may hold
    // others than LEXIVO.INI).
    const bool comments = m_ws.commentsLoaded();
    values.name = m_codec.decode(comments ? m_ws.comments().own().Name : s.userName);
    values.translatorId = s.translatorId;
    values.color = comments ? quint32(m_ws.comments().own().Color) : s.userColor;
    for (const QByteArray& name : std::as_const(s.translatorNames))
        values.translators << m_codec.decode(name);
    values.colors = s.colors;
    values.codePage = m_codec.codePage();
    values.gameTextEncoding = s.gameTextEncoding;
    values.patchDirectory = QString::fromLocal8Bit(s.patchDirectory);
    values.fontMapFile = QString::fromLocal8Bit(s.fontMapFile);
    values.gameFont = s.gameFont;
    // The dialog edits copies: Cancel leaves every setting, the colours
    // included, as it was when the dialog opened.
    OptionsDialog dialog(this, values, m_ws.programDirectory(), Cp1252Codec::supportedCodePages(),
                         m_folderBrowser);
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
    if (comments) {
        if (!name.isEmpty()) m_ws.comments().own().Name = name;
        m_ws.comments().own().Color = qint32(v.color);
    }
    s.translatorNames = translators;
    s.colors = v.colors;
    writeOptions(m_ws.ini(), s.translatorId, name, s.userColor, gameDirectory, translators,
                 s.colors);
    if (!v.gameDirectory.isEmpty()) m_ws.useGameDirectory(v.gameDirectory);
    BuildTranslatorsMenu();
    ApplyColors();
    if (v.codePage != m_codec.codePage()) {
        writeCodePage(m_ws.ini(), v.codePage);
        s.codePage = v.codePage;
        switchCodePage(v.codePage, m_codec.isUtf8());
    }
    if (v.gameTextEncoding != s.gameTextEncoding) {
        // Refused (with the reason shown) for a game of the DOS engine.
        m_ws.setGameTextEncoding(v.gameTextEncoding);
        switchCodePage(m_codec.codePage(), v.gameTextEncoding == GameTextEncoding::Utf8);
    }
    m_ws.setFontSettings(v.patchDirectory.toLocal8Bit(), v.fontMapFile.toLocal8Bit(), v.gameFont);
    refreshEditorMarks();
}

void MainWindow::refreshEditorMarks() {
    m_memoStrHighlighter->rehighlight();
    m_flxHighlighter->rehighlight();
}

// Every view and editor shows the bytes through the new table (or as UTF-8) at once; the
// files keep their bytes. The text tab's unsaved edits are taken as bytes
// through the old table first, so nothing typed changes.
void MainWindow::switchCodePage(int codePage, bool utf8) {
    const bool textShown = m_ws.gameTextLoaded();
    const Lines text = textShown ? textTabLines() : Lines();
    const int f = m_shownFunction;
    const int row = lbStrings->currentRow();
    if (!m_codec.setCodePage(codePage)) return;
    m_codec.setUtf8(utf8);
    const int current = comboFuncList->currentIndex();
    if (m_ws.usecodeLoaded()) fillFunctionList();
    comboFuncList->setCurrentIndex(current);
    if (f >= 0) goToLine(f, row);
    if (textShown) {
        const bool modified = m_textModified;
        QStringList decoded;
        for (const QByteArray& line : text)
            decoded.append(m_codec.decode(line));
        m_loadingText = true;
        MemoFLX->setPlainText(decoded.join(QLatin1Char('\n')));
        m_loadingText = false;
        m_textModified = modified;
        QStringList english;
        for (const QByteArray& line : m_ws.englishLines())
            english.append(m_codec.decode(line));
        ListBox1->clear();
        ListBox1->addItems(english);
    }
    fillStatusGrid();
    BuildTranslatorsMenu();
}

} // namespace lexivo
