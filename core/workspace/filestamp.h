#pragma once

#include "errors.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace lexivo {

// Another program (or a colleague's rebuild on the shared folder) changed a
// game file after it was loaded: writing over it would lose that change.
class GameFileChanged : public Error {
public:
    using Error::Error;
};

// What a game file was when it was loaded or last written: size, modification
// time, and the content itself (held by the caller, who keeps it in memory
// anyway), so that a rebuild only ever replaces the file it read.
class FileStamp {
public:
    // Notes the file's size and time as they are on disk now. Take it before
    // reading the file: a change in between then shows as a changed time.
    void take(const QString& path);
    bool isSet() const { return !m_path.isEmpty(); }
    // Throws GameFileChanged naming the file when it no longer has the size,
    // time or content it had; content is what the caller loaded or wrote last.
    void verifyUnchanged(const QByteArray& content) const;

private:
    QString m_path;
    qint64 m_size = -1;
    QDateTime m_modified;
};

} // namespace lexivo
