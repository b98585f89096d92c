#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace lexivo {

using Lines = QList<QByteArray>;

// The line-splitting rule of every workspace text file: a line ends at CR, at
// LF or at a CR LF pair; a NUL byte ends the content; a line break at the very
// end adds no empty line; an empty file yields no lines.
Lines splitLines(const QByteArray& content);

// Every line followed by CR LF, the last one included.
QByteArray joinLines(const Lines& lines);

// Reads and splits a text file; throws FileError when it cannot be opened.
Lines loadTextLines(const QString& path);

// Writes the lines (each ended by CR LF) atomically; throws FileError.
void saveTextLines(const QString& path, const Lines& lines);

} // namespace lexivo
