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
    const QString text = escapeLineBreaks(source->text());
    if (acceptText && !acceptText(text)) return;
    textCursor().insertText(text);
    ensureCursorVisible();
}

} // namespace lexivo
