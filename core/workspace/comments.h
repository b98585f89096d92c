#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace lexivo {

// One comment on one string line of a usecode function.
struct tCmtLine {
    // Local date and time of the comment as an OLE date: days since
    // 1899-12-30, the fraction being the time of day.
    double Date = 0;
    QByteArray Text; // text form, may be empty
    quint16 FuncNum = 0;
    quint16 Line = 0; // zero-based line index of the string
};

// One translator's comment set, as one comment file holds it.
struct tComment {
    QByteArray Name;       // text form
    qint32 Color = 0;      // 0x00BBGGRR
    qint32 Count = 0;      // entries in Lines
    QList<tCmtLine> Lines; // in the order they were added
};

// One line of the comment box.
struct tVisLine {
    double Date = 0;
    QByteArray Text; // the set's Name, ":" and the comment text
    qint32 Color = 0;
};

// OLE dates <-> local date and time, to the millisecond. Before 1899-12-30
// the day part counts backwards while the fraction still runs forwards
// (-1.25 is 1899-12-29 06:00). A date that is not finite or lies outside the
// years 100 to 9999 gives an invalid QDateTime.
double oleDateFromDateTime(const QDateTime& dateTime);
QDateTime dateTimeFromOleDate(double date);

// The comment file layout (little-endian, no header, no padding): name as a
// game string, colour (i32), count (i32), then count entries of date (IEEE
// double), text as a game string, function number (u16), line (u16).
//
// Parses a whole file. Throws DataError naming the file and the byte offset
// when the bytes are not one comment set: a count beyond what the bytes can
// hold (checked before anything is allocated), a negative count, an entry cut
// short, bytes after the last entry.
tComment parseCommentFile(const QByteArray& bytes, const QString& path);
// The file's bytes for a set: its first Count entries (at most all of Lines).
QByteArray commentFileBytes(const tComment& set);
// Throws FileError when the file cannot be read, DataError as above.
tComment ReadCommentFile(const QString& path);
// Replaces the file atomically; throws FileError.
void WriteCommentFile(const QString& path, const tComment& set);

// The comment sets of the session: entry 0 is the user's own, written back
// after every addition; the others were read from colleagues' files at
// start-up and never change. There may be any number of sets.
class Comments {
public:
    // Entry 0 from the configuration, until the own file is read.
    void startWith(const QByteArray& name, qint32 color);

    // The start-up step. Reads the own file ownPath (editor directory + ID +
    // ".cmt") into entry 0 when it exists, then every other "*.cmt" of the
    // editor directory (any letter case, in name order) whose name is a
    // decimal number whose low 8 bits differ from translatorId. Files whose
    // name is not a number, that cannot be read or that are damaged are
    // skipped, and one warning listing them with the reason is appended to
    // warnings. A damaged own file is not overwritten: the next write first
    // keeps its bytes as "<file>.damaged". Throws FileError only when the own
    // file exists but cannot be read.
    void LoadCommentSets(const QString& editorDirectory, const QString& ownPath,
                         quint8 translatorId, QStringList& warnings);
    bool loaded() const { return m_loaded; }

    const QList<tComment>& CommentSets() const { return m_sets; }
    int setCount() const { return int(m_sets.size()); }
    // Entry 0; the options dialog changes its Name and Color.
    tComment& own();

    // Appends a comment to entry 0 and writes the own file (writeOwnFile).
    // When the write fails the comment stays in entry 0 and goes with the
    // next write.
    void addComment(const QString& ownPath, const tCmtLine& comment);
    // Writes entry 0 whole to ownPath. When the file there is no longer what
    // this program read or last wrote (another program of the same translator
    // wrote it since), its comments are taken in first and those of entry 0
    // it lacks follow. A file that this program never read or wrote as its
    // own (the translator ID was changed to a colleague's) is not overwritten:
    // Error. Throws FileError when the file cannot be read or written.
    void writeOwnFile(const QString& ownPath);

    // One flag per line of function funcNum with lineCount lines: true when a
    // comment of any set addresses that line. Comments on lines beyond the
    // count mark nothing.
    QList<bool> MarkCommentedLines(quint16 funcNum, int lineCount) const;
    // The comment box of line `line` of function funcNum: every comment of
    // every set on that line, oldest first (equal dates keep set and entry
    // order).
    QList<tVisLine> ShowLineComments(quint16 funcNum, int line) const;
    // A row of the comments viewer: a comment and the name of its set's author.
    struct ViewerRow : tCmtLine {
        QByteArray Author; // text form
    };
    // The comments viewer's rows: the newest comment of each commented line;
    // later dates first, then the lower function number, then the lower line.
    QList<ViewerRow> viewerRows() const;

private:
    QList<tComment> m_sets;
    bool m_loaded = false;
    // The paths this program read or wrote as the own file (the translator
    // ID may change during the run), with their bytes as last read or written.
    QSet<QString> m_ownPaths;
    QHash<QString, QByteArray> m_knownBytes;
    // The own file found damaged at start-up, until it is first replaced.
    QString m_damagedPath;
};

} // namespace lexivo
