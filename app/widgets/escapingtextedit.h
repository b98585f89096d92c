#pragma once

#include <QPlainTextEdit>
#include <functional>

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

    // Asked with the (escaped) text about to be pasted or dropped; false
    // inserts nothing (the window refuses characters its code page cannot
    // hold this way, with a message).
    std::function<bool(const QString& text)> acceptText;

protected:
    void insertFromMimeData(const QMimeData* source) override;
};

} // namespace lexivo
