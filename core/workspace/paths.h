#pragma once

#include <QString>

namespace lexivo {

// Directory strings end with "/"; a file path is the directory string followed
// directly by the file name. Adds the separator when it is missing (an empty
// string stays empty).
QString withTrailingSlash(const QString& dir);

// Game and workspace files come from a platform whose file names ignore
// letter case. Finds the entry of dir whose name equals name without regard
// to case and returns its path (dir + real name); an exact match wins over a
// folded one. Returns an empty string when there is none.
QString findEntry(const QString& dir, const QString& name);

// The path to read or write name in dir: the existing entry's real name when
// one matches without regard to case, else dir + name as given. Writing
// "Text.flx" beside an existing TEXT.FLX therefore replaces TEXT.FLX.
QString resolvePath(const QString& dir, const QString& name);

bool fileExistsNoCase(const QString& dir, const QString& name);

// Converts between configuration bytes and file-system paths (the file system
// speaks the local 8-bit encoding, UTF-8 here).
QString pathFromBytes(const QByteArray& bytes);
QByteArray bytesFromPath(const QString& path);

} // namespace lexivo
