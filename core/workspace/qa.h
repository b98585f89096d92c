#pragma once

#include "cp1252codec.h"
#include "textlines.h"

#include <QByteArray>
#include <QList>
#include <QPair>
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

// What a quality check is shown: the lines of one function's translation
// file with the function's originals, or text.txt with text.eng.
struct CheckedLines {
    int functionIndex = -1; // index in the function table; -1 for text.txt
    quint16 funcNum = 0;
    const Lines& lines;
    const Lines& originals; // the function's originals (orig.pak), or text.eng
    // How many lines the rebuild takes: the function's strings in the usecode
    // file; for text.txt the lines of text.eng.
    qsizetype strings = 0;
    // text.txt only: the text after the first " # " is the translator's note,
    // which the game never sees (Text.flx).
    bool notes = false;
};

// One problem a quality check found; line counts from 0.
struct CheckProblem {
    qsizetype line = 0;
    QString check; // the check's name as lexivo-cli qa prints it
    QString message;
};

// One quality check of Check translations, the question before a complete
// rebuild and lexivo-cli qa. Each check is a class of its own; the list of
// checks that run is makeQualityChecks (qualitychecks.cpp).
class QualityCheck {
public:
    virtual ~QualityCheck() = default;
    // A function that has a translation file.
    virtual void checkFunction(const CheckedLines& function, QList<CheckProblem>& problems);
    // text.txt against text.eng (when the workspace has them).
    virtual void checkMessages(const CheckedLines& text, QList<CheckProblem>& problems);
    // After every function and text.txt were shown: the problems only the
    // whole game shows (one text read two ways in two functions), each with
    // its function index (-1: text.txt).
    virtual void finish(QList<QPair<int, CheckProblem>>& problems);
};

// "lines": a translation file with another number of lines than its
// function has strings. The rebuild does not take such a file (the function
// stays as it is), so it is reported before anyone relies on it.
class LineCountCheck : public QualityCheck {
public:
    static QString name() { return QStringLiteral("lines"); }
    void checkFunction(const CheckedLines& function, QList<CheckProblem>& problems) override;
};

// The per-line checks of TranslationChecks (linebreaks to codepage).
class LineChecks : public QualityCheck {
public:
    LineChecks(const Cp1252Codec& codec, int lengthPercent) : m_checks(codec, lengthPercent) {}
    void checkFunction(const CheckedLines& function, QList<CheckProblem>& problems) override;
    void checkMessages(const CheckedLines& text, QList<CheckProblem>& problems) override;

private:
    TranslationChecks m_checks;
};

} // namespace lexivo
