#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <utility>

namespace lexivo {

// The display code page of game and workspace text: a fixed table of 256
// entries, Windows-1252 unless another page is chosen (Windows-1250, 1251 or
// 1257, for teams whose game font maps another alphabet onto the bytes
// 0x80-0xFF). Files never change with the choice: core keeps text as bytes,
// and only what the views show and what the editors store goes through here.
//
// Every table is lossless for every byte 0x01 to 0xFF: a byte the code page
// leaves undefined shows as the character of its own number (the C1 control
// 0x81 for byte 0x81, and so on) and encodes back to that byte. A character
// the code page cannot hold is refused, never replaced by a substitute byte,
// so nothing a translator typed is silently changed.
//
// With the game-text encoding UTF8 the codec reads and writes UTF-8: a text
// that is valid UTF-8 decodes as such, any other (code-page text kept from
// the game) through the display code page, losslessly as before; every
// character encodes, as its UTF-8 bytes.
//
// The window holds one codec object and passes it on.
class Cp1252Codec {
public:
    static constexpr int DefaultCodePage = 1252;

    Cp1252Codec();

    // 1252, 1250, 1251, 1257: the pages setCodePage accepts.
    static QList<int> supportedCodePages();
    static bool isSupported(int codePage);
    // "Windows-1251" for 1251.
    static QString nameOf(int codePage);

    // Switches the tables; false (and nothing changed) for a page not supported.
    bool setCodePage(int codePage);
    int codePage() const { return m_codePage; }
    // "UTF-8" in UTF-8 mode, else the code page's name.
    QString name() const;

    void setUtf8(bool utf8) { m_utf8 = utf8; }
    bool isUtf8() const { return m_utf8; }

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
    int m_codePage = DefaultCodePage;
    bool m_utf8 = false;
    std::array<char16_t, 256> m_toUnicode;
    // The upper half reversed: (character, byte) sorted by character. Bytes
    // 0x00-0x7F are ASCII in every supported page.
    std::array<std::pair<char16_t, uchar>, 128> m_upper;
};

} // namespace lexivo
