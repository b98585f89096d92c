#include "paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lexivo {

QString withTrailingSlash(const QString& dir) {
    if (dir.isEmpty() || dir.endsWith(QLatin1Char('/'))) return dir;
    return dir + QLatin1Char('/');
}

QString findEntry(const QString& dir, const QString& name) {
    const QString base = withTrailingSlash(dir.isEmpty() ? QStringLiteral("./") : dir);
    if (QFileInfo::exists(base + name)) return withTrailingSlash(dir) + name;
    QDir d(base);
    if (!d.exists()) return {};
    const QStringList entries =
        d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return withTrailingSlash(dir) + entry;
    }
    return {};
}

QString resolvePath(const QString& dir, const QString& name) {
    const QString found = findEntry(dir, name);
    return found.isEmpty() ? withTrailingSlash(dir) + name : found;
}

bool fileExistsNoCase(const QString& dir, const QString& name) {
    const QString found = findEntry(dir, name);
    return !found.isEmpty() && QFileInfo(found).isFile();
}

QString pathFromBytes(const QByteArray& bytes) {
    return QFile::decodeName(bytes);
}

QByteArray bytesFromPath(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace lexivo
