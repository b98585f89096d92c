#pragma once

#include "cp1252codec.h"
#include "textlines.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace lexivo {

// The quality checks of translated lines: what a player would see broken.
// Each check compares a translated line (text form) with its original. A
// line whose text equals its original is never reported: it is not
// translated.
class TranslationChecks {
public:
    // The checks, by the names lexivo-cli prints.
    enum Check {
        LineBreaks,   // "linebreaks": another number of \N
        PageBreaks,   // "pagebreaks": another number of *
        Quotes,       // "quotes": an odd number of @ where the original's is even
        Spaces,       // "spaces": leading or trailing spaces unlike the original's
        Empty,        // "empty": empty where the original is not
        Inconsistent, // "inconsistent": one original, two translations in a function
        Length,       // "length": a text.txt message too long against its original
        CodePage,     // "codepage": a byte the display code page holds no character for
        Keyword,      // "keyword": a conversation answer read otherwise than across the game
    };
    static QString checkName(Check check);

    // One problem of one line. line counts from 0.
    struct Problem {
        qsizetype line = 0;
        Check check = LineBreaks;
        QString message; // what is wrong, in a few words
    };

    // The default for the longest text.txt message: 150 percent of its original.
    static constexpr int DefaultLengthPercent = 150;

    explicit TranslationChecks(const Cp1252Codec& codec, int lengthPercent = DefaultLengthPercent);

    // The lines of one function against its originals (lines beyond either
    // list are not compared): every per-line check but Length, and
    // Inconsistent for a later line whose original an earlier line has too
    // but whose text differs from that line's.
    QList<Problem> checkFunction(const Lines& lines, const Lines& originals) const;
    // text.txt against text.eng: every per-line check, Length included. When
    // notes is set, the translator's note after the first " # " is left out
    // of the checked text, as the game never sees it.
    QList<Problem> checkMessages(const Lines& lines, const Lines& english, bool notes) const;

    // The checks of one translated line (Length only with checkLength).
    void checkLine(qsizetype line, const QByteArray& text, const QByteArray& original,
                   bool checkLength, QList<Problem>& problems) const;

private:
    const Cp1252Codec& m_codec;
    int m_lengthPercent;
};

} // namespace lexivo
