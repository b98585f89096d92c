#include "filestamp.h"

#include "fileio.h"

#include <QFileInfo>

namespace lexivo {

void FileStamp::take(const QString& path) {
    const QFileInfo info(path);
    m_path = path;
    m_size = info.exists() ? info.size() : -1;
    m_modified = info.lastModified();
}

void FileStamp::verifyUnchanged(const QByteArray& content) const {
    if (m_path.isEmpty()) return;
    const QFileInfo info(m_path);
    const auto changed = [&] {
        return GameFileChanged(
            QStringLiteral("%1 was changed by another program after Lexivo loaded it; nothing "
                           "was written, so that change is not lost. Reload the game files and "
                           "rebuild again.")
                .arg(m_path));
    };
    if (!info.exists() || info.size() != m_size || info.lastModified() != m_modified)
        throw changed();
    // Same size and time can still hide a change (a copy that kept its date):
    // the bytes themselves decide. Comparing them with what is in memory is
    // exact where a hash would be only very likely.
    if (readWholeFile(m_path) != content) throw changed();
}

} // namespace lexivo
