#include "escapingtextedit.h"

#include <QMimeData>

namespace lexivo {

QString EscapingTextEdit::escapeLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\N"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\N"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\N"));
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\\N"));
    text.replace(QChar::LineSeparator, QStringLiteral("\\N"));
    return text;
}

void EscapingTextEdit::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText() || isReadOnly()) return;
    textCursor().insertText(escapeLineBreaks(source->text()));
    ensureCursorVisible();
}

} // namespace lexivo
