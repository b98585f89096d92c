#include "translationfile.h"

#include "fileio.h"

#include <cstring>

namespace lexivo {

namespace {

// Length of the well-formed UTF-8 sequence of two to four bytes at s[i], or 0.
// Overlong forms, surrogates, code points above U+10FFFF and the C1 controls
// U+0080..U+009F do not count: no editor saves a translation that way, while
// a Windows-1252 pair such as "Â€" (C2 80) is plausible text.
int utf8SequenceAt(const unsigned char* s, qsizetype i, qsizetype end) {
    const unsigned char b = s[i];
    int length = 0;
    quint32 cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + length > end) return 0;
    for (int k = 1; k < length; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    static constexpr quint32 Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < Smallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    if (cp <= 0x9F) return 0;
    return length;
}

// True when the line holds at least one byte above 0x7F and every such byte
// belongs to a well-formed multi-byte UTF-8 sequence.
bool lineIsUtf8(const unsigned char* s, qsizetype begin, qsizetype end) {
    bool multiByte = false;
    for (qsizetype i = begin; i < end;) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const int length = utf8SequenceAt(s, i, end);
        if (length == 0) return false;
        multiByte = true;
        i += length;
    }
    return multiByte;
}

} // namespace

QString singleByteTextProblem(const QByteArray& content) {
    if (content.startsWith("\xEF\xBB\xBF"))
        return QStringLiteral("it begins with a UTF-8 byte-order mark");
    const qsizetype nul = content.indexOf('\0');
    if (nul >= 0)
        return QStringLiteral("it holds a NUL byte at byte offset %1, as UTF-16 text does")
            .arg(nul);
    const auto* s = reinterpret_cast<const unsigned char*>(content.constData());
    const qsizetype size = content.size();
    const auto isBreak = [](unsigned char c) { return c == '\r' || c == '\n'; };
    // Only lines that hold a byte above 0x7F can be UTF-8, and most lines
    // hold none: the bytes are tested eight at a time for one, and only its
    // line is looked at.
    for (qsizetype i = 0; i < size;) {
        if (i + 8 <= size) {
            quint64 word;
            memcpy(&word, s + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        qsizetype begin = i;
        while (begin > 0 && !isBreak(s[begin - 1]))
            --begin;
        qsizetype end = i;
        while (end < size && !isBreak(s[end]))
            ++end;
        if (lineIsUtf8(s, begin, end)) {
            // Lines end with CR LF, CR or LF, as the line split reads them.
            qsizetype line = 1;
            for (qsizetype k = 0; k < begin; ++k) {
                if (!isBreak(s[k])) continue;
                if (s[k] == '\r' && k + 1 < size && s[k + 1] == '\n') ++k;
                ++line;
            }
            return QStringLiteral("line %1 is UTF-8 text").arg(line);
        }
        i = end;
    }
    return {};
}

Lines loadTranslationFile(const QString& path) {
    return translationFileLines(readWholeFile(path), path);
}

Lines translationFileLines(const QByteArray& content, const QString& path) {
    const QString problem = singleByteTextProblem(content);
    if (!problem.isEmpty())
        throw NotSingleByteText(
            QStringLiteral("%1 is not a Windows-1252 text file: %2. Save it again as Windows-1252 "
                           "(ANSI) text; until then it is not used.")
                .arg(path, problem));
    return splitLines(content);
}

} // namespace lexivo
