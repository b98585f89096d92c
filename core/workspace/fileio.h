#pragma once

#include <QByteArray>
#include <QString>

namespace lexivo {

// Reads a whole file; throws FileError ("Cannot open file ...") when it cannot.
QByteArray readWholeFile(const QString& path);

// Reads a whole file into bytes; false when no file of that name exists.
// Any other failure (no permission, a folder, a read error) throws FileError
// as readWholeFile does. A rebuild reads a thousand translation files this
// way without listing their folder first.
bool readFileIfPresent(const QString& path, QByteArray& bytes);

// Replaces a file atomically: the bytes go to a temporary file in the same
// folder, which is flushed and then renamed over the target, so a crash or a
// full disk leaves either the old file or the new one, never half of one.
// Throws FileError ("Cannot create file ...") on failure; the old file stays.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace lexivo
