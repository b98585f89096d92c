#pragma once

#include <QByteArray>

namespace lexivo {

// The game-string codec: the only way game strings are read or written.
//
// A game string is a run of bytes 0x01..0xFF ended by one NUL byte. Its text
// form is one line of Windows-1252 text:
//   - game bytes 0x01..0x1F are read as accented letters (control-code table),
//     except tab, LF, CR, 0x1A and 0x1B, which stand for themselves;
//   - a CR LF pair is written "\N", a tab "\T" (upper-case letters only; a
//     backslash is not itself escaped);
//   - a lone CR (not followed by LF) is carried as the byte 0x0E and a lone LF
//     (not preceded by CR) as the byte 0x0F. Neither byte can come out of the
//     control-code table (game bytes 0x0E and 0x0F read as letters), so the
//     marker is unambiguous and the game string survives read -> text form ->
//     file -> read -> write unchanged. Writing turns 0x0E back into CR and 0x0F
//     into LF. A CR or LF byte found in a text form (it cannot come from a file
//     line) is written as itself.
// Writing also maps 0x92 (typographic apostrophe) to 0x27 and 0x96 (en dash)
// to 0x2D. The control-code table is not applied backwards.
inline constexpr char LoneCrMarker = '\x0E';
inline constexpr char LoneLfMarker = '\x0F';

// Reads one game string from data at pos; pos ends just after the NUL byte, or
// at the end of data when the string has no NUL.
QByteArray ReadGameString(const QByteArray& data, qsizetype& pos);
QByteArray ReadGameString(const char* data, qsizetype size, qsizetype& pos);

// Appends the text form as a game string (with its NUL); returns bytes written.
int WriteGameString(QByteArray& out, const QByteArray& text);

// Number of bytes WriteGameString writes for text.
int StoredStringSize(const QByteArray& text);

// How accented letters reach the game (SETTING/GAMETEXT).
enum class GameTextEncoding {
    // The letters stay Windows-1252 bytes: é is written as 0xE9.
    Windows,
    // For teams that keep the original game fonts: the letters of the
    // control-code table are written back as their game bytes 0x01-0x1F (é as
    // 0x03). Every other byte above 0x7F has no place in those fonts.
    Original,
    // For the engine that reads game text as UTF-8 and draws it through its
    // font map: a line is written as its UTF-8 bytes, with ’ (U+2019) as '
    // and – (U+2013) as -, the marks the game fonts lack. A line that is not
    // valid UTF-8 (code-page text kept from the game) is written as in
    // Windows.
    Utf8,
};

// True when bytes are well-formed UTF-8 throughout (no overlong forms, no
// surrogates, nothing above U+10FFFF). ASCII is UTF-8.
bool isUtf8Text(const char* bytes, qsizetype size);
inline bool isUtf8Text(const QByteArray& bytes) {
    return isUtf8Text(bytes.constData(), bytes.size());
}

// Length of the well-formed multi-byte UTF-8 sequence at s[i] (2 to 4), or 0;
// codePoint gets its value.
int utf8SequenceLength(const unsigned char* s, qsizetype i, qsizetype end, char32_t* codePoint);

// The first byte of text that the encoding cannot write (after the 0x92 and
// 0x96 replacements), or -1 when every byte can be written.
qsizetype firstUnwritableByte(const QByteArray& text, GameTextEncoding encoding);

// Whether bytes hold a Windows-1252 letter that GameTextEncoding::Original
// writes as a game byte 0x01-0x1F.
bool holdsOriginalLetters(const char* bytes, qsizetype size);

// WriteGameString in the given encoding. With Original, a text holding a byte
// firstUnwritableByte names is a caller's fault: throws Error.
int WriteGameString(QByteArray& out, const QByteArray& text, GameTextEncoding encoding);

} // namespace lexivo
