#pragma once

#include <QPlainTextEdit>

namespace lexivo {

// A plain text editor whose pasted or dropped text never brings a line break:
// every CR LF, CR or LF in it arrives as the two characters "\N", the game's
// escape for a line break, so a translation never splits a line of its file.
// (Typed Enter is the window's business: it accepts the line or moves down.)
// This one override is all that differs from QPlainTextEdit; colouring and
// the gutter are attached to it from outside.
class EscapingTextEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

    // "a\r\nb\nc" -> "a\Nb\Nc"
    static QString escapeLineBreaks(QString text);

protected:
    void insertFromMimeData(const QMimeData* source) override;
};

} // namespace lexivo
