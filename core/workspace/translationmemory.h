#pragma once

#include "cp1252codec.h"
#include "pack.h"
#include "textlines.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace lexivo {

// The translation memory: a reference usecode (an earlier translation of the
// game) and the reference pack of the originals it was translated from,
// paired block by block by position. For a line not yet translated it
// proposes the reference's translation of the same original (letter case
// ignored) or of the first similar one (more than 75 percent).
//
// Everything a lookup needs of a reference line is prepared once, at load:
// the upper-cased bytes, the character counts and a case-insensitive key for
// the exact match. A scope is a range of those lines, so showing a function
// costs nothing, and a lookup skips every candidate that provably cannot pass
// the threshold; its answer is always the one the plain scan in scope order
// gives.
class TranslationMemory {
public:
    // The similarity a candidate must exceed; exactly 75 is not enough.
    static constexpr double Threshold = 75.0;

    // One function of the reference usecode's function table: its number
    // and the text forms of its strings (the translation).
    struct ReferenceFunction {
        quint16 funcNum = 0;
        Lines strings;
    };
    // Takes the functions of the reference usecode, in table order (the
    // caller reads the file: the workspace layer knows no usecode format),
    // and loads the reference pack; function i is paired with block i.
    // complete is false when the usecode file was damaged and only the
    // functions before the damage are given: more blocks than functions are
    // then expected. Throws FileError / DataError naming the pack; then
    // nothing is loaded. A pack whose blocks or lines do not match the
    // functions is said once in warnings ("does not belong"); lines without a
    // partner get no proposal.
    void load(const QString& usecodePath, const QList<ReferenceFunction>& functions, bool complete,
              const QString& packPath, QStringList& warnings);
    bool isLoaded() const { return m_loaded; }

    // The scope of the lookup for the shown function: with all (the
    // "SearchInAllFunc" toggle down) the whole reference, else the first
    // reference function with this number (none: an empty scope).
    void fillScope(quint16 funcNum, bool all);
    // The lines of the scope: line k of RefTranslations() is the reference
    // translation of line k of RefOriginals(). Both hold only paired lines: a
    // reference function whose translation and original block differ in
    // length contributes the lines both have.
    Lines RefTranslations() const;
    Lines RefOriginals() const;
    // No line in scope: no lookup is made.
    bool scopeIsEmpty() const { return m_scopeBegin >= m_scopeEnd; }

    struct Proposal {
        bool found = false;
        QByteArray translation;
        QString statusText;    // the status bar text the lookup sets (may be empty)
        bool exact = false;    // found by the exact match
        double similarity = 0; // the percentage of a similar match
        qsizetype line = -1;   // the line of the scope that was proposed
    };
    // The lookup for an original text form: the first line of the scope
    // equal to it (the texts decoded through codec and compared without
    // regard to case), else the first line more than 75 percent similar.
    Proposal FindReferenceTranslation(const QByteArray& original, const Cp1252Codec& codec) const;

    // The whole reference: functions read and paired lines.
    int functionCount() const { return int(m_functions.size()); }
    qsizetype lineCount() const { return qsizetype(m_lines.size()); }

private:
    struct Function {
        quint16 funcNum = 0;
        qint32 firstLine = 0;
        qint32 lineCount = 0; // paired lines
    };
    // One paired line of the reference, with what the lookup needs of it.
    struct Line {
        qint32 original = 0; // start in m_originals
        qint32 length = 0;
        qint32 translation = 0; // start in m_translations
        qint32 translationLength = 0;
        qint32 counts = 0; // first entry in m_countChars / m_countValues
        qint32 distinct = 0;
    };
    using CaseKeyTable = std::array<uchar, 256>;

    bool m_loaded = false;
    std::vector<Function> m_functions;
    QHash<quint16, int> m_firstFunction; // number -> first function with it
    std::vector<Line> m_lines;
    QByteArray m_originals;
    QByteArray m_translations;
    // The character counts of each line's upper-cased original: its distinct
    // bytes and how often each occurs.
    // Counts above 255 do not fit; such a line has distinct -1 and no counts.
    std::vector<uchar> m_countChars;
    std::vector<uchar> m_countValues;
    // A hash of each original's case-insensitive key with its line, sorted:
    // a fraction of the memory a table of the keys themselves takes.
    CaseKeyTable m_caseKeys{};
    struct ExactEntry {
        quint64 key = 0;
        qint32 line = 0;
        auto operator<=>(const ExactEntry&) const = default;
    };
    std::vector<ExactEntry> m_exact;
    quint64 exactKey(const QByteArray& original) const;
    qint32 m_scopeBegin = 0;
    qint32 m_scopeEnd = 0;

    QByteArray originalAt(qsizetype line) const;
    QByteArray translationAt(qsizetype line) const;
    qsizetype findExact(const QByteArray& original, const Cp1252Codec& codec) const;
    qsizetype findSimilar(const QByteArray& original, double& similarity) const;
};

// Percentage of similarity of a (the reference's original) and b (the line's
// original), from 0 to 100: after folding a-z to A-Z, 100 for equal texts, 0
// when one is empty, else 200 * MatchedChars / (la + lb), where MatchedChars
// is the Ratcliff/Obershelp count (the longest common run, the first one of
// equal length: smallest position in a, then in b, then the same on the parts
// to its right and to its left).
double Similarity(const QByteArray& a, const QByteArray& b);

// A similarity as the status message shows it: rounded to the nearest
// integer, halves to the even neighbour ("76" for 75.5 and for 76.5).
QString similarityPercentText(double similarity);

} // namespace lexivo
