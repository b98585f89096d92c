#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace lexivo {

// The display code page of game and workspace text: Windows-1252 by a fixed
// table of 256 entries. Decoding is lossless for every byte 0x01 to 0xFF: the
// five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) show
// as the control characters of the same number and encode back to their byte.
// A character the code page cannot hold is refused, never replaced by a
// substitute byte, so nothing a translator typed is silently changed.
//
// The window holds one codec object and passes it on; the display code page
// may become a setting for teams whose game font maps other alphabets onto
// these bytes.
class Cp1252Codec {
public:
    Cp1252Codec();

    QString name() const { return QStringLiteral("Windows-1252"); }

    QChar toUnicode(uchar byte) const { return QChar(m_toUnicode[byte]); }
    QString decode(const QByteArray& bytes) const;

    // Encodes text into bytes. Returns false and leaves bytes unchanged when
    // text holds a character the code page cannot hold; badPosition then gets
    // the index of the first such character.
    bool encode(const QString& text, QByteArray& bytes, qsizetype* badPosition = nullptr) const;
    bool canEncode(const QString& text) const;
    // The byte for one character; false when there is none.
    bool fromUnicode(char16_t ch, uchar& byte) const;

private:
    std::array<char16_t, 256> m_toUnicode;
    // Reverse map for the characters above 0xFF (the 0x80-0x9F row); every
    // character 0x00-0xFF outside that row maps to the byte of the same value.
    std::array<char16_t, 32> m_row80;
};

} // namespace lexivo
