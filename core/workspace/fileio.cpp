#include "fileio.h"

#include "errors.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lexivo {

QByteArray readWholeFile(const QString& path) {
    QByteArray bytes;
    if (!readFileIfPresent(path, bytes))
        throw FileError::cannotOpen(path, QString::fromLocal8Bit(strerror(ENOENT)));
    return bytes;
}

bool readFileIfPresent(const QString& path, QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a named pipe in place of a file cannot hang the
    // open; it is refused below like every other file that is not a file.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        throw FileError::cannotOpen(path, QString::fromLocal8Bit(strerror(errno)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info;
    if (fstat(fd, &info) != 0)
        throw FileError::cannotOpen(path, QString::fromLocal8Bit(strerror(errno)));
    if (S_ISDIR(info.st_mode))
        throw FileError::cannotOpen(path, QString::fromLocal8Bit(strerror(EISDIR)));
    if (!S_ISREG(info.st_mode))
        throw FileError::cannotOpen(path, QStringLiteral("It is not a regular file."));
    // The size is a hint: a file that grows or shrinks while it is read is
    // read to its end all the same. One byte more lets the read that finds
    // the end need no room of its own.
    QByteArray out(qsizetype(std::max<off_t>(info.st_size, 0)) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == out.size()) out.resize(out.size() + out.size() / 2 + 4096);
        const ssize_t got = ::read(fd, out.data() + filled, size_t(out.size() - filled));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError::cannotOpen(path, QString::fromLocal8Bit(strerror(errno)));
        }
        if (got == 0) break;
        filled += got;
    }
    out.resize(filled);
    bytes = std::move(out);
    return true;
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
