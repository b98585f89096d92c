#pragma once

#include <QByteArray>

namespace lexivo {

// The replacements of the replace command. Each scans the text from the left
// and replaces every occurrence of f by r: occurrences never overlap, and the
// text that r puts in is not scanned again ("aa" by "a" in "aaaa" gives "aa").
// r is inserted exactly as given. An empty f replaces nothing and returns the
// text unchanged. The window applies them line by line.

// Byte for byte.
QByteArray ReplaceAllExact(const QByteArray& f, const QByteArray& r, const QByteArray& text);

// Bytes compared after the upper-case mapping of code page Windows-1251:
// a-z onto A-Z, 0xE0-0xFF onto 0xC0-0xDF, and fifteen more pairs of that
// code page (see Windows1251Upper). For Windows-1252 text this folds the
// accented letters 0xE0-0xFE with 0xC0-0xDE, and also 0xF7 with 0xD7 and 0xFF
// with 0xDF.
QByteArray ReplaceAllIgnoreCase(const QByteArray& f, const QByteArray& r, const QByteArray& text);

// Only whole-word occurrences: the byte before the occurrence and the byte
// after it are not word characters (0-9, A-Z, a-z, _), or are outside the
// text. Accented letters, spaces, punctuation, CR and LF are boundaries.
// Letters A to Z compare without regard to case, every other byte exactly.
QByteArray ReplaceWholeWords(const QByteArray& f, const QByteArray& r, const QByteArray& text);

// The upper-case form of a byte under code page Windows-1251.
uchar Windows1251Upper(uchar byte);

// The case rule of the usecode-tab search and of whole-word replace: letters
// A to Z become a to z, every other byte stays. Folds size bytes in place.
void foldLettersAZ(char* data, qsizetype size);
inline bool isWordCharacter(uchar c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

} // namespace lexivo
