#pragma once

#include "errors.h"
#include "textlines.h"

#include <QByteArray>
#include <QString>

namespace lexivo {

// A translation file whose bytes are not single-byte text: a UTF-16 file (its
// NUL bytes would end the content after the first letter) or a UTF-8 one
// (every accented letter would reach the game as two wrong bytes). Such a file
// is never compiled nor shown as if it were text; the message names the file.
class NotSingleByteText : public DataError {
public:
    using DataError::DataError;
};

// Why content cannot be a Windows-1252 text file, or an empty string when it
// can: a NUL byte, a UTF-8 byte-order mark, or a line whose bytes above 0x7F
// are all valid multi-byte UTF-8 sequences.
QString singleByteTextProblem(const QByteArray& content);

// The lines of a translation file (the line-splitting rule). Throws FileError
// when it cannot be read and NotSingleByteText when it is not single-byte text.
Lines loadTranslationFile(const QString& path);
// The same for content already read from path.
Lines translationFileLines(const QByteArray& content, const QString& path);

} // namespace lexivo
