#include "cp1252codec.h"

namespace lexivo {

namespace {

// Bytes 0x80-0x9F of Windows-1252. The five bytes the code page leaves
// undefined keep the C1 control character of their own number, so every byte
// survives a round trip through the editors.
constexpr std::array<char16_t, 32> Row80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

} // namespace

Cp1252Codec::Cp1252Codec() : m_row80(Row80) {
    for (int b = 0; b < 256; ++b)
        m_toUnicode[b] = char16_t(b);
    for (int i = 0; i < 32; ++i)
        m_toUnicode[0x80 + i] = Row80[i];
}

QString Cp1252Codec::decode(const QByteArray& bytes) const {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(m_toUnicode[uchar(bytes[i])]);
    return text;
}

bool Cp1252Codec::fromUnicode(char16_t ch, uchar& byte) const {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
        byte = uchar(ch);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (m_row80[i] == ch) {
            byte = uchar(0x80 + i);
            return true;
        }
    }
    // 0x80-0x9F as characters that the row gives to other bytes (U+0080,
    // U+0082 ...) have no byte of their own: refused.
    return false;
}

bool Cp1252Codec::encode(const QString& text, QByteArray& bytes, qsizetype* badPosition) const {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        uchar b = 0;
        if (!fromUnicode(text[i].unicode(), b)) {
            if (badPosition) *badPosition = i;
            return false;
        }
        out[i] = char(b);
    }
    bytes = out;
    return true;
}

bool Cp1252Codec::canEncode(const QString& text) const {
    QByteArray ignored;
    return encode(text, ignored);
}

} // namespace lexivo
