#include "gamestring.h"

#include "errors.h"

#include <array>
#include <cstring>

namespace lexivo {

namespace {

// Game byte 0x00..0x1F -> Windows-1252 byte (0x00 is never looked up).
constexpr std::array<unsigned char, 32> ControlCodeTable = {
    0x00, 0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE7, 0xEA, 0x09, 0x0A, 0xEB, 0xE8, 0x0D, 0xEF, 0xEE,
    0xEC, 0xC4, 0xC9, 0xF4, 0xF6, 0xFB, 0xF9, 0xD6, 0xDC, 0xE1, 0x1A, 0x1B, 0xDF, 0xED, 0xF2, 0xFA,
};

} // namespace

QByteArray ReadGameString(const char* data, qsizetype size, qsizetype& pos) {
    QByteArray text;
    qsizetype end = pos;
    while (end < size && data[end] != '\0')
        ++end;
    // Only a tab grows (to "\\T"); the strings are kept for the session, so
    // no spare room is reserved for it.
    text.reserve(end - pos);
    // Bytes from 0x20 up are copied in runs; control bytes stop a run.
    qsizetype run = pos;
    for (qsizetype i = pos; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte >= 0x20) continue;
        text.append(data + run, i - run);
        switch (byte) {
        case 0x0D:
            if (i + 1 < end && data[i + 1] == '\n') {
                text.append("\\N", 2);
                ++i;
            } else {
                text.append(LoneCrMarker);
            }
            break;
        case 0x0A:
            text.append(LoneLfMarker);
            break;
        case 0x09:
            text.append("\\T", 2);
            break;
        default:
            text.append(char(ControlCodeTable[byte]));
            break;
        }
        run = i + 1;
    }
    text.append(data + run, end - run);
    pos = end < size ? end + 1 : end;
    return text;
}

QByteArray ReadGameString(const QByteArray& data, qsizetype& pos) {
    return ReadGameString(data.constData(), data.size(), pos);
}

namespace {

// Bytes WriteGameString does not copy as they are: the start of an escape,
// the two typographic marks the game fonts lack and the lone line-break
// markers. Looked up per byte, since the rebuild writes every string.
constexpr std::array<bool, 256> specialByteTable() {
    std::array<bool, 256> t{};
    t['\\'] = true;
    t[0x92] = true;
    t[0x96] = true;
    t[static_cast<unsigned char>(LoneCrMarker)] = true;
    t[static_cast<unsigned char>(LoneLfMarker)] = true;
    return t;
}
constexpr std::array<bool, 256> SpecialBytes = specialByteTable();

// True when none of the eight bytes can be special: none is above 0x7F (0x92,
// 0x96), below 0x10 (the markers) or a backslash.
bool plainWord(const char* s) {
    constexpr quint64 ones = 0x0101010101010101ull;
    constexpr quint64 highs = 0x8080808080808080ull;
    quint64 word;
    memcpy(&word, s, 8);
    const quint64 backslash = word ^ (ones * '\\');
    const quint64 suspicious =
        word | ((word - ones * 0x10) & ~word) | ((backslash - ones) & ~backslash);
    return (suspicious & highs) == 0;
}

} // namespace

int WriteGameString(QByteArray& out, const QByteArray& text) {
    const qsizetype start = out.size();
    const qsizetype n = text.size();
    const char* s = text.constData();
    // No escape lengthens the text, so the string and its NUL fit in n + 1
    // bytes: they are written in place and the rest is cut off. Plain bytes
    // are copied in runs; only the few bytes that change stop a run.
    out.resize(start + n + 1);
    char* p = out.data() + start;
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        while (i + 8 <= n && plainWord(s + i))
            i += 8;
        if (i >= n) break;
        const auto c = static_cast<unsigned char>(s[i]);
        if (!SpecialBytes[c]) continue;
        const bool escape = c == '\\' && i + 1 < n && (s[i + 1] == 'N' || s[i + 1] == 'T');
        if (c == '\\' && !escape) continue;
        memcpy(p, s + run, size_t(i - run));
        p += i - run;
        if (escape) {
            if (s[i + 1] == 'N') {
                *p++ = '\r';
                *p++ = '\n';
            } else {
                *p++ = '\t';
            }
            ++i;
        } else if (c == 0x92) {
            *p++ = '\'';
        } else if (c == 0x96) {
            *p++ = '-';
        } else if (c == static_cast<unsigned char>(LoneCrMarker)) {
            *p++ = '\r';
        } else {
            *p++ = '\n';
        }
        run = i + 1;
    }
    memcpy(p, s + run, size_t(n - run));
    p += n - run;
    *p++ = '\0';
    const qsizetype written = p - (out.data() + start);
    out.resize(start + written);
    return int(written);
}

namespace {

// Windows-1252 byte -> game byte of the control-code table (0 where none).
constexpr std::array<unsigned char, 256> originalLetterTable() {
    std::array<unsigned char, 256> t{};
    for (unsigned game = 1; game < 0x20; ++game) {
        const unsigned char letter = ControlCodeTable[game];
        if (letter >= 0x80) t[letter] = static_cast<unsigned char>(game);
    }
    return t;
}
constexpr std::array<unsigned char, 256> OriginalLetters = originalLetterTable();

bool writableAsOriginal(unsigned char c) {
    return c < 0x80 || c == 0x92 || c == 0x96 || OriginalLetters[c] != 0;
}

} // namespace

int utf8SequenceLength(const unsigned char* s, qsizetype i, qsizetype end, char32_t* codePoint) {
    const unsigned char b = s[i];
    int length = 0;
    char32_t cp = 0;
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
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < Smallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    if (codePoint) *codePoint = cp;
    return length;
}

bool isUtf8Text(const char* bytes, qsizetype size) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    for (qsizetype i = 0; i < size;) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const int length = utf8SequenceLength(s, i, size, nullptr);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

namespace {

// The Utf8 writer: the escapes and markers as in Windows, ’ and – as ' and -,
// every other byte as it is (0x92 and 0x96 are continuation bytes here, as in
// Ò and Ö).
int writeUtf8GameString(QByteArray& out, const QByteArray& text) {
    const qsizetype start = out.size();
    const qsizetype n = text.size();
    const char* s = text.constData();
    out.reserve(start + n + 1);
    for (qsizetype i = 0; i < n; ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < n && (s[i + 1] == 'N' || s[i + 1] == 'T')) {
            out.append(s[i + 1] == 'N' ? "\r\n" : "\t");
            ++i;
        } else if (c == LoneCrMarker) {
            out.append('\r');
        } else if (c == LoneLfMarker) {
            out.append('\n');
        } else if (c == '\xE2' && i + 2 < n && s[i + 1] == '\x80' &&
                   (s[i + 2] == '\x99' || s[i + 2] == '\x93')) {
            out.append(s[i + 2] == '\x99' ? '\'' : '-');
            i += 2;
        } else {
            out.append(c);
        }
    }
    out.append('\0');
    return int(out.size() - start);
}

} // namespace

qsizetype firstUnwritableByte(const QByteArray& text, GameTextEncoding encoding) {
    if (encoding != GameTextEncoding::Original) return -1;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!writableAsOriginal(static_cast<unsigned char>(text[i]))) return i;
    return -1;
}

bool holdsOriginalLetters(const char* bytes, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i)
        if (OriginalLetters[static_cast<unsigned char>(bytes[i])]) return true;
    return false;
}

int WriteGameString(QByteArray& out, const QByteArray& text, GameTextEncoding encoding) {
    if (encoding == GameTextEncoding::Windows) return WriteGameString(out, text);
    if (encoding == GameTextEncoding::Utf8)
        return isUtf8Text(text) ? writeUtf8GameString(out, text) : WriteGameString(out, text);
    if (firstUnwritableByte(text, encoding) >= 0)
        throw Error(QStringLiteral("A text holds a letter the original game fonts do not have."));
    const qsizetype start = out.size();
    const int written = WriteGameString(out, text);
    // The letters are 1:1 bytes after the escapes are undone, so the game
    // bytes can be put in place in what was just written.
    char* p = out.data() + start;
    for (qsizetype i = 0; i + 1 < written; ++i) {
        const unsigned char game = OriginalLetters[static_cast<unsigned char>(p[i])];
        if (game) p[i] = char(game);
    }
    return written;
}

int StoredStringSize(const QByteArray& text) {
    // Every escape "\N" -> CR LF keeps its length; "\T" -> tab loses one byte.
    qsizetype size = text.size() + 1;
    const char* s = text.constData();
    const char* end = s + text.size();
    for (const char* p = s; p + 1 < end;) {
        p = static_cast<const char*>(memchr(p, '\\', size_t(end - 1 - p)));
        if (!p) break;
        if (p[1] == 'N' || p[1] == 'T') {
            if (p[1] == 'T') --size;
            p += 2;
        } else {
            ++p;
        }
    }
    return int(size);
}

} // namespace lexivo
