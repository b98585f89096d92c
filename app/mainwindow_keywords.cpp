// Conversation keywords in the window: the mark in the string list, the note
// under the original, and the translation given to the rest of the game when
// a keyword line is accepted with Auto-Replace down.

#include "mainwindow.h"

#include "workspace/errors.h"

#include <QLabel>
#include <QMessageBox>

namespace lexivo {

namespace {
// Places named in the note; the rest are counted.
constexpr int NotePlaces = 8;
} // namespace

int MainWindow::keywordKindOfRow(int row) const {
    return m_shownFunction < 0 ? 0 : m_ws.keywords().kindOf(m_shownFunction, row);
}

void MainWindow::showKeywordNote(int row) {
    const int f = m_shownFunction;
    const KeywordIndex::Kind kind = f < 0 ? KeywordIndex::None : m_ws.keywords().kindOf(f, row);
    if (kind == KeywordIndex::None || row >= CurrentLines.size()) {
        lblKeyword->hide();
        lblKeyword->clear();
        return;
    }
    QStringList places;
    int others = 0;
    for (const KeywordIndex::Line& l : m_ws.keywords().sameOriginal(f, row)) {
        if (l.function == f) continue;
        if (++others > NotePlaces) continue;
        QString place = QStringLiteral("%1 line %2")
                            .arg(QString::fromLatin1(m_ws.funcs()[l.function].HexNum))
                            .arg(l.line + 1);
        try {
            const QByteArray text = m_ws.currentFunctionLines(l.function).value(l.line);
            if (text != CurrentLines[row])
                place += text == m_ws.originalLines(l.function).value(l.line)
                             ? QStringLiteral(" (untranslated)")
                             : QStringLiteral(" \"%1\"").arg(m_codec.decode(text));
        } catch (const Error&) {
            place += QStringLiteral(" (file cannot be read)");
        }
        places << place;
    }
    const QString what = kind == KeywordIndex::Compared  ? QStringLiteral("compared")
                         : kind == KeywordIndex::Offered ? QStringLiteral("offered")
                                                         : QStringLiteral("offered and compared");
    QString note = QStringLiteral("Conversation answer (%1 here): the player's choice must match "
                                  "it exactly wherever it stands.")
                       .arg(what);
    if (others == 0) {
        note += QStringLiteral(" In no other function.");
    } else {
        note += QStringLiteral(" Also in %1 %2: %3")
                    .arg(others)
                    .arg(others == 1 ? QStringLiteral("other function")
                                     : QStringLiteral("other functions"))
                    .arg(places.join(QStringLiteral(", ")));
        if (others > NotePlaces) note += QStringLiteral(" and %1 more").arg(others - NotePlaces);
        note += QLatin1Char('.');
    }
    lblKeyword->setText(note);
    lblKeyword->show();
}

QString MainWindow::giveKeywordTranslation(int row, const QByteArray& translation) {
    if (m_shownFunction < 0) return {};
    const Workspace::KeywordPropagation given =
        m_ws.giveKeywordTranslation(m_shownFunction, row, translation);
    for (int f : given.functions)
        setTranslatedCell(f);
    if (!given.functions.isEmpty()) showProjectProgress();
    if (!given.notWritten.isEmpty())
        showMessage(QStringLiteral("Warning! The translation of this conversation answer was not "
                                   "given to every function:\r\n") +
                    given.notWritten.join(QStringLiteral("\r\n")));
    return given.statusText(m_ws);
}

} // namespace lexivo
