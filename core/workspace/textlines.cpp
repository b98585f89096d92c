#include "textlines.h"

#include "fileio.h"

namespace lexivo {

Lines splitLines(const QByteArray& content) {
    Lines lines;
    qsizetype size = content.indexOf('\0');
    if (size < 0) size = content.size();
    const char* s = content.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (s[i] != '\r' && s[i] != '\n') continue;
        lines.append(QByteArray(s + start, i - start));
        if (s[i] == '\r' && i + 1 < size && s[i + 1] == '\n') ++i;
        start = i + 1;
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
