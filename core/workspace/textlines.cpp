#include "textlines.h"

#include "fileio.h"

#include <cstring>

namespace lexivo {

namespace {

// Index of the first CR or LF in s[from, size), or size. Eight bytes are
// tested at a time: lines are far longer than that, and every translation
// file of a rebuild is split.
qsizetype nextBreak(const char* s, qsizetype from, qsizetype size) {
    constexpr quint64 ones = 0x0101010101010101ull;
    constexpr quint64 highs = 0x8080808080808080ull;
    qsizetype i = from;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        memcpy(&word, s + i, 8);
        const quint64 cr = word ^ (ones * '\r');
        const quint64 lf = word ^ (ones * '\n');
        // A zero byte in either: one of the eight bytes is CR or LF.
        if ((((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highs) break;
    }
    while (i < size && s[i] != '\r' && s[i] != '\n')
        ++i;
    return i;
}

} // namespace

Lines splitLines(const QByteArray& content) {
    Lines lines;
    qsizetype size = content.indexOf('\0');
    if (size < 0) size = content.size();
    const char* s = content.constData();
    qsizetype start = 0;
    for (;;) {
        const qsizetype i = nextBreak(s, start, size);
        if (i >= size) break;
        lines.append(QByteArray(s + start, i - start));
        start = i + 1;
        if (s[i] == '\r' && start < size && s[start] == '\n') ++start;
    }
    if (start < size) lines.append(QByteArray(s + start, size - start));
    return lines;
}

QByteArray joinLines(const Lines& lines) {
    qsizetype total = 0;
    for (const QByteArray& line : lines)
        total += line.size() + 2;
    QByteArray out;
    out.reserve(total);
    for (const QByteArray& line : lines) {
        out.append(line);
        out.append("\r\n", 2);
    }
    return out;
}

Lines loadTextLines(const QString& path) {
    return splitLines(readWholeFile(path));
}

void saveTextLines(const QString& path, const Lines& lines) {
    writeFileAtomically(path, joinLines(lines));
}

} // namespace lexivo
