#include "translationfile.h"

#include "fileio.h"

#include <algorithm>

#include <cstring>

namespace lexivo {

namespace {

// A sequence an editor's UTF-8 would hold but code-page text hardly forms by
// chance: three or four bytes, or two for a letter of the alphabets the
// code pages carry.
bool isTypedCharacter(int length, char32_t cp) {
    return length > 2 || (cp >= 0xA0 && cp <= 0x52F);
}

bool isExtracted(const Lines& lines, qsizetype line, const QByteArray& text) {
    return line < lines.size() && lines[line] == text;
}

} // namespace

QByteArray withoutByteOrderMark(const QByteArray& content) {
    return content.startsWith("\xEF\xBB\xBF") ? content.mid(3) : content;
}

QString singleByteTextProblem(const QByteArray& content, const TranslationFileReading& reading) {
    const bool utf8 = reading.encoding == GameTextEncoding::Utf8;
    if (!utf8 && content.startsWith("\xEF\xBB\xBF"))
        return QStringLiteral("it begins with a UTF-8 byte-order mark");
    const qsizetype nul = content.indexOf('\0');
    if (nul >= 0)
        return QStringLiteral("it holds a NUL byte at byte offset %1, as UTF-16 text does")
            .arg(nul);
    if (utf8) return {};
    const auto* s = reinterpret_cast<const unsigned char*>(content.constData());
    const qsizetype size = content.size();
    // Most files hold a byte above 0x7F that stands alone (every accented
    // letter of a code page does): the first such byte ends the search. The
    // bytes are tested eight at a time for one above 0x7F.
    qsizetype firstTyped = -1;
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
        char32_t cp = 0;
        const int length = utf8SequenceLength(s, i, size, &cp);
        if (length == 0) return {};
        if (firstTyped < 0 && isTypedCharacter(length, cp)) firstTyped = i;
        i += length;
    }
    if (firstTyped < 0) return {};
    // UTF-8 throughout: the first line that is not as extracted and holds a
    // typed character names the file.
    const Lines lines = splitLines(content);
    const QList<Lines> extractedFrom = reading.extracted ? reading.extracted() : QList<Lines>();
    qsizetype line = 0;
    for (const QByteArray& text : lines) {
        const bool extracted =
            std::any_of(extractedFrom.begin(), extractedFrom.end(),
                        [&](const Lines& from) { return isExtracted(from, line, text); });
        ++line;
        if (extracted) continue;
        const auto* t = reinterpret_cast<const unsigned char*>(text.constData());
        for (qsizetype i = 0; i < text.size();) {
            char32_t cp = 0;
            const int length = t[i] < 0x80 ? 0 : utf8SequenceLength(t, i, text.size(), &cp);
            if (length > 0 && isTypedCharacter(length, cp))
                return QStringLiteral("line %1 is UTF-8 text").arg(line);
            i += qMax(1, length);
        }
    }
    return {};
}

Lines loadTranslationFile(const QString& path, const TranslationFileReading& reading) {
    return translationFileLines(readWholeFile(path), path, reading);
}

Lines translationFileLines(const QByteArray& content, const QString& path,
                           const TranslationFileReading& reading) {
    const QString problem = singleByteTextProblem(content, reading);
    if (!problem.isEmpty()) {
        if (reading.encoding == GameTextEncoding::Utf8)
            throw NotSingleByteText(
                QStringLiteral("%1 is not a UTF-8 text file: %2. Save it again as UTF-8 text; "
                               "until then it is not used.")
                    .arg(path, problem));
        throw NotSingleByteText(
            QStringLiteral("%1 is not a Windows-1252 text file: %2. Save it again as Windows-1252 "
                           "(ANSI) text; until then it is not used.")
                .arg(path, problem));
    }
    return splitLines(reading.encoding == GameTextEncoding::Utf8 ? withoutByteOrderMark(content)
                                                                 : content);
}

} // namespace lexivo
