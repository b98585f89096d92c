#include "dictionary.h"

#include <algorithm>

namespace lexivo {

namespace {

inline char foldAZ(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

QByteArray folded(const QByteArray& text) {
    QByteArray out = text;
    for (char& c : out)
        c = foldAZ(c);
    return out;
}

// Bytes 0x00 to 0x20 removed at both ends.
QByteArray trimmed(const QByteArray& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && quint8(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && quint8(text[end - 1]) <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

void Dictionary::LoadDictionary(const Lines& lines) {
    m_entries.clear();
    const qsizetype n = lines.size() / 2;
    m_entries.reserve(n);
    for (qsizetype k = 0; k < n; ++k)
        m_entries.append({trimmed(lines[2 * k]), trimmed(lines[2 * k + 1])});
    reindex();
}

Lines Dictionary::fileLines() const {
    Lines lines;
    lines.reserve(m_entries.size() * 2);
    for (const DictionaryEntry& entry : m_entries) {
        lines.append(entry.term);
        lines.append(entry.translation);
    }
    return lines;
}

void Dictionary::append(const DictionaryEntry& entry) {
    m_entries.append(entry);
    reindex();
}

int Dictionary::removeTerm(const QByteArray& term) {
    const auto before = m_entries.size();
    m_entries.removeIf([&](const DictionaryEntry& e) { return termsEqual(e.term, term); });
    reindex();
    return int(before - m_entries.size());
}

bool Dictionary::termsEqual(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldAZ(a[i]) != foldAZ(b[i])) return false;
    }
    return true;
}

qsizetype Dictionary::lookup(const QByteArray& word) const {
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (termsEqual(m_entries[i].term, word)) return i;
    }
    return -1;
}

bool Dictionary::isWordDelimiter(char c) {
    static constexpr char Delimiters[] = {'\0', '\n', '\r', ' ', '!',  '%', '\'', '(',
                                          ')',  '*',  '+',  ',', '-',  '.', '/',  ':',
                                          ';',  '=',  '?',  '[', '\\', ']', '{',  '}'};
    static_assert(sizeof(Delimiters) == 24);
    return std::find(std::begin(Delimiters), std::end(Delimiters), c) != std::end(Delimiters);
}

Dictionary::Occurrence Dictionary::WordAtCaret(const QByteArray& row, qsizetype column) {
    if (column < 1 || column > row.size()) return {};
    // Character column (from 1) is row[column - 1].
    const qsizetype c = column - 1;
    qsizetype start = c;
    while (start > 0 && !isWordDelimiter(row[start - 1]))
        --start;
    qsizetype end = c;
    while (end < row.size() && !isWordDelimiter(row[end]))
        ++end;
    if (isWordDelimiter(row[c])) return {c, 1};
    return {start, end - start};
}

void Dictionary::reindex() {
    m_folded.clear();
    m_folded.reserve(m_entries.size());
    m_byFirstByte = QList<QList<qsizetype>>(256);
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        m_folded.append(folded(m_entries[i].term));
        if (!m_folded.last().isEmpty()) m_byFirstByte[quint8(m_folded.last()[0])].append(i);
    }
}

QList<Dictionary::Occurrence> Dictionary::occurrences(const QByteArray& line) const {
    struct Found {
        qsizetype entry;
        Occurrence where;
    };
    QList<Found> found;
    if (m_entries.isEmpty() || line.isEmpty()) return {};
    const QByteArray text = folded(line);
    // Where each entry's search may go on: after an occurrence at p it
    // resumes at p plus the term's length (occurrences of one term do not
    // overlap); every other start position is tried in turn.
    QList<qsizetype> resume(m_entries.size(), 0);
    for (qsizetype p = 0; p < text.size(); ++p) {
        for (qsizetype e : m_byFirstByte[quint8(text[p])]) {
            if (p < resume[e]) continue;
            const QByteArray& term = m_folded[e];
            if (p + term.size() > text.size()) continue;
            if (memcmp(text.constData() + p, term.constData(), size_t(term.size())) != 0) continue;
            found.append(Found{e, Occurrence{p, term.size()}});
            resume[e] = p + term.size();
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.entry < b.entry; });
    QList<Occurrence> out;
    out.reserve(found.size());
    for (const Found& f : found)
        out.append(f.where);
    return out;
}

} // namespace lexivo
