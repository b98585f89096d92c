#include "fileio.h"

#include "errors.h"

#include <QFile>
#include <QSaveFile>

namespace lexivo {

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw FileError::cannotOpen(path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw FileError::cannotOpen(path, file.errorString());
    // readAll() may leave room for more; usecode images are kept for the session.
    bytes.squeeze();
    return bytes;
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    // QSaveFile writes to a temporary file beside the target and renames it
    // over the target on commit(). Unbuffered: a buffered QSaveFile writes its last bytes only
    // while committing and, on a full disk, renames an empty or partial file over the target
    // without an error. Written at once, a failed write is seen here and the target stays as it
    // was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError::cannotCreate(path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw FileError::cannotCreate(path, reason);
    }
    if (!file.commit()) throw FileError::cannotCreate(path, file.errorString());
}

} // namespace lexivo
