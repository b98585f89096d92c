#pragma once

#include "textlines.h"

#include <QByteArray>
#include <QList>

namespace lexivo {

// One entry of the term dictionary: a term and its agreed translation.
struct DictionaryEntry {
    QByteArray term;
    QByteArray translation;
};

// The term dictionary (u7.dic): an ordered list of entries, terms not unique.
// Terms compare with the letters A-Z folded to a-z and every other byte exact
// (accented letters are not folded).
class Dictionary {
public:
    // One occurrence of an entry's term in a line.
    struct Occurrence {
        qsizetype start = 0;
        qsizetype length = 0;
    };

    // Entries from the file's lines: line 2k is the term of entry k, line
    // 2k + 1 its translation, both trimmed of bytes 0x00-0x20; an unpaired
    // last line is dropped.
    void LoadDictionary(const Lines& lines);
    // The file's lines: every entry as its two lines, untrimmed, in order.
    Lines fileLines() const;

    const QList<DictionaryEntry>& entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }
    void append(const DictionaryEntry& entry);
    // Removes every entry whose term equals term; returns how many went.
    int removeTerm(const QByteArray& term);

    static bool termsEqual(const QByteArray& a, const QByteArray& b);
    // The index of the last entry whose term equals word (the last match
    // wins), or -1.
    qsizetype lookup(const QByteArray& word) const;

    // The colouring rule: every occurrence of every non-empty term, entries in
    // dictionary order, occurrences of one term not overlapping, every start
    // position tried. Returned in entry order, so that applying them in turn
    // lets a later entry overwrite an earlier one.
    QList<Occurrence> occurrences(const QByteArray& line) const;

    // The 24 characters that end a word for the right-click lookup: NUL, LF,
    // CR, space and ! % ' ( ) * + , - . / : ; = ? [ \ ] { }.
    static bool isWordDelimiter(char c);
    // The word the right-click lookup takes from a row of an editor, with the
    // caret after the column-th character (from 1): the run of non-delimiters
    // around character column, or that character alone when it is itself a
    // delimiter. Length 0 when column is below 1 or beyond the row.
    static Occurrence WordAtCaret(const QByteArray& row, qsizetype column);

private:
    void reindex();

    QList<DictionaryEntry> m_entries;
    // Terms folded to lower case, and for every folded first byte the entries
    // whose term starts with it, in entry order: a line is scanned once per
    // position instead of once per term.
    QList<QByteArray> m_folded;
    QList<QList<qsizetype>> m_byFirstByte;
};

} // namespace lexivo
