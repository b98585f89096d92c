#pragma once

#include "errors.h"
#include "gamestring.h"
#include "textlines.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace lexivo {

// A translation file whose bytes are not single-byte text: a UTF-16 file (its
// NUL bytes would end the content after the first letter) or a UTF-8 one
// (every accented letter would reach the game as two wrong bytes). Such a file
// is never compiled nor shown as if it were text; the message names the file.
class NotSingleByteText : public DataError {
public:
    using DataError::DataError;
};

// How a translation file is read: in the workspace's game-text encoding, and
// with the lines it was extracted from, which are the game's own bytes and so
// never a sign that an editor saved the file as UTF-8.
struct TranslationFileReading {
    GameTextEncoding encoding = GameTextEncoding::Windows;
    // The lists a line i equal to line i of is as extracted (the originals
    // of orig.pak, the strings of the game file); asked only for a file that
    // reads as UTF-8 throughout.
    std::function<QList<Lines>()> extracted;
};

// Why content cannot be a code-page text file, or an empty string when it
// can. A translator's editor that saves UTF-8 gives one of two signs, and
// only these are taken as UTF-8:
//   - the file begins with a UTF-8 byte-order mark;
//   - the file reads as UTF-8 throughout (every byte above 0x7F belongs to a
//     well-formed multi-byte sequence), and a line that is not as extracted
//     holds a sequence of three or four bytes, or a two-byte one standing
//     for a letter of the alphabets the code pages carry (U+00A0-U+052F:
//     Latin, Greek, Cyrillic, combining accents).
// A code-page line that merely happens to form a sequence ("Ü¿", read as the
// Syriac letter U+073F) is not refused, nor is a file in which any byte
// above 0x7F stands alone (every accented letter of a code page does), nor a
// line equal to the one it was extracted from. A NUL byte (UTF-16 text) is a
// problem in every encoding.
QString singleByteTextProblem(const QByteArray& content,
                              const TranslationFileReading& reading = {});

// The lines of a translation file (the line-splitting rule). Throws FileError
// when it cannot be read and NotSingleByteText when it is not text of the
// encoding. With GameTextEncoding::Utf8 a byte-order mark is dropped and the
// lines are kept as they are (a line that is not valid UTF-8 is code-page
// text, shown through the display code page).
Lines loadTranslationFile(const QString& path, const TranslationFileReading& reading = {});
// The same for content already read from path.
Lines translationFileLines(const QByteArray& content, const QString& path,
                           const TranslationFileReading& reading = {});

// Content without a leading UTF-8 byte-order mark.
QByteArray withoutByteOrderMark(const QByteArray& content);

} // namespace lexivo
