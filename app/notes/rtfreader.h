#pragma once

#include <QByteArray>

class QTextDocument;

namespace lexivo {

class Cp1252Codec;

// A small reader for the rich text of the notes page (notes.rtf, as a word
// processor writes it) into a QTextDocument. It knows groups, the font table
// with \fcharset, the colour table, \b \i \ul \ulnone \fs \cf \f \plain
// \highlight \cb, paragraph alignment, \par \line \tab, \'hh, \uN with \ucN,
// and skips \* destinations and the destinations that hold no visible text
// (info, stylesheet, pictures, headers, field instructions ...). Everything
// else is ignored.
//
// It never crashes or hangs on junk, deeply nested or truncated input: the
// input is read once from start to end with an explicit group stack whose
// depth is bounded, numbers are clamped, and whatever was read up to the end
// of the input stays in the document.
class RtfReader {
public:
    // Bytes of the default code page and of fonts whose \fcharset is ANSI go
    // through codec; other charsets through the matching Windows code page.
    explicit RtfReader(const Cp1252Codec& codec);

    // Replaces the document's content. Returns false, leaving the document
    // empty, when the bytes do not start with "{\rtf".
    bool read(const QByteArray& rtf, QTextDocument* document) const;

    static bool looksLikeRtf(const QByteArray& bytes);

private:
    const Cp1252Codec& m_codec;
};

} // namespace lexivo
