#include "textreplace.h"

#include <array>
#include <cstring>
#include <string.h>

namespace lexivo {

namespace {

constexpr std::array<uchar, 256> makeWindows1251Upper() {
    std::array<uchar, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = uchar(c);
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = uchar(c - 0x20);
    for (int c = 0xE0; c <= 0xFF; ++c)
        table[c] = uchar(c - 0x20);
    // (lower, upper) pairs of the Cyrillic and other letters of the code page.
    constexpr uchar pairs[][2] = {{0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C},
                                  {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1},
                                  {0xB3, 0xB2}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA},
                                  {0xBC, 0xA3}, {0xBE, 0xBD}, {0xBF, 0xAF}};
    for (const auto& pair : pairs)
        table[pair[0]] = pair[1];
    return table;
}

constexpr std::array<uchar, 256> Upper1251 = makeWindows1251Upper();

QByteArray folded1251(const QByteArray& bytes) {
    QByteArray out(bytes.size(), Qt::Uninitialized);
    const auto* in = reinterpret_cast<const uchar*>(bytes.constData());
    auto* o = reinterpret_cast<uchar*>(out.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        o[i] = Upper1251[in[i]];
    return out;
}

QByteArray foldedAZ(const QByteArray& bytes) {
    QByteArray out = bytes;
    foldLettersAZ(out.data(), out.size());
    return out;
}

// Replaces every occurrence of needle in haystack, both already brought to the
// compared form; the bytes emitted come from text, which haystack mirrors
// byte for byte. accept decides whether an occurrence at a position counts.
template <typename Accept>
QByteArray replaceOccurrences(const QByteArray& text, const QByteArray& haystack,
                              const QByteArray& needle, const QByteArray& r, Accept accept) {
    const qsizetype m = needle.size();
    if (m == 0 || m > text.size()) return text;
    const char* h = haystack.constData();
    const qsizetype n = haystack.size();
    QByteArray out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < n) {
        const void* found = memmem(h + i, size_t(n - i), needle.constData(), size_t(m));
        if (!found) break;
        const qsizetype at = static_cast<const char*>(found) - h;
        out.append(text.constData() + i, at - i);
        if (accept(at)) {
            out.append(r);
            i = at + m;
        } else {
            out.append(text.at(at));
            i = at + 1;
        }
    }
    out.append(text.constData() + i, n - i);
    return out;
}

} // namespace

uchar Windows1251Upper(uchar byte) {
    return Upper1251[byte];
}

void foldLettersAZ(char* data, qsizetype size) {
    // Eight bytes at a time: a byte gets 0x20 added when it lies in 'A'..'Z'.
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 high = 0x8080808080808080ULL;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 x;
        std::memcpy(&x, data + i, 8);
        const quint64 low7 = x & ~high;
        const quint64 atLeastA = low7 + (0x80 - 'A') * ones;
        const quint64 aboveZ = low7 + (0x80 - 'Z' - 1) * ones;
        const quint64 letters = atLeastA & ~aboveZ & ~x & high;
        x |= letters >> 2;
        std::memcpy(data + i, &x, 8);
    }
    for (; i < size; ++i) {
        const auto c = uchar(data[i]);
        if (c >= 'A' && c <= 'Z') data[i] = char(c + 0x20);
    }
}

QByteArray ReplaceAllExact(const QByteArray& f, const QByteArray& r, const QByteArray& text) {
    return replaceOccurrences(text, text, f, r, [](qsizetype) { return true; });
}

QByteArray ReplaceAllIgnoreCase(const QByteArray& f, const QByteArray& r, const QByteArray& text) {
    if (f.isEmpty()) return text;
    return replaceOccurrences(text, folded1251(text), folded1251(f), r,
                              [](qsizetype) { return true; });
}

QByteArray ReplaceWholeWords(const QByteArray& f, const QByteArray& r, const QByteArray& text) {
    if (f.isEmpty()) return text;
    const qsizetype m = f.size();
    const auto* s = reinterpret_cast<const uchar*>(text.constData());
    const qsizetype n = text.size();
    return replaceOccurrences(text, foldedAZ(text), foldedAZ(f), r, [&](qsizetype at) {
        const bool startsWord = at == 0 || !isWordCharacter(s[at - 1]);
        const bool endsWord = at + m >= n || !isWordCharacter(s[at + m]);
        return startsWord && endsWord;
    });
}

} // namespace lexivo
