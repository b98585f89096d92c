#pragma once

#include "pack.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace lexivo {

// One line found by the usecode-tab search. The fields are 16 bits wide, as
// the hit list holds them; a hit whose values do not fit is never listed.
struct SearchHit {
    quint16 funcIndex = 0; // index in the function table
    quint16 lineIndex = 0; // line of the function, from 0
    quint16 position = 0;  // first occurrence of the search text in the line, from 1
    quint16 length = 0;    // length of the search text
};

struct SearchResult {
    QList<SearchHit> hits;
    // Empty, or why the search stopped early and what it did not search.
    QString statusText;
};

// The usecode-tab search: every line that contains the search text, letters
// A to Z compared without regard to case and every other byte exactly; one
// hit per line, at its first occurrence. Lines follow the line-splitting rule
// (CR, LF or CR LF end a line; a NUL byte ends the content). A search text
// that is empty or holds CR, LF or NUL is in no line.
//
// Each file and each pack block is searched in place: folded once as a whole,
// no line is cut out.
class Search {
public:
    // The most hits one search lists; the search stops when there are more.
    static constexpr int MaxHits = 0xFFFF;

    // The text form of a function's lines when it has no translation file
    // yet (its strings, as showing it would create the file), by table index.
    using LinesWithoutFile = std::function<QByteArray(int funcIndex)>;

    // Through the translation files: the file of every function of the table
    // (funcNums: the number of each function, in table order), by number. A
    // number carried by several functions is searched once, for the first of
    // them. A function without a translation file is searched in the lines
    // withoutFile gives for it; a file that belongs to no function is
    // skipped. File names are matched without regard to case; the directory
    // is listed once. A file that is not single-byte text is not searched,
    // and statusText names it; a file (or the directory) that cannot be read
    // throws FileError and ends the search.
    SearchResult inTranslationFiles(const QByteArray& text, const QList<quint16>& funcNums,
                                    const QString& editorDirectory,
                                    const LinesWithoutFile& withoutFile = {}) const;

    // Through the originals: block f of pack is the originals of function f;
    // the functions are those of funcNums, in table order.
    SearchResult inPack(const QByteArray& text, const Pack& pack,
                        const QList<quint16>& funcNums) const;
};

} // namespace lexivo
