#pragma once

// The game's table of general messages: the text archive text.flx, or the
// message file textmsg.txt where the game has one, and the two working files
// of the editor directory, text.txt (the messages being translated) and
// text.eng (the English messages), one text form per line, line for line
// beside each other and beside the archive's non-empty records (or the
// message file's message lines).

#include "filestamp.h"
#include "gamestring.h"
#include "textlines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lexivo {

class Cp1252Codec;

// ---- text archive (text.flx) ----
//
// Little-endian: an 84-byte header start, the record count n (u32) at 84, 40
// more header bytes, the record table at 128 (n entries: offset i32 from the
// start of the file, size u32 of the record with its NUL), then the records,
// one game string each. An entry whose offset is 0 or negative is an empty
// slot: it has no record and no line.
namespace textarchive {
inline constexpr qsizetype HeaderSize = 128;
inline constexpr qsizetype CountOffset = 84;
inline constexpr qsizetype EntrySize = 8;
} // namespace textarchive

struct TextArchiveEntry {
    qint32 offset = 0;
    quint32 size = 0;
    bool isEmptySlot() const { return offset <= 0; }
};

// Reads and checks the header and the record table. Throws DataError naming
// fileName (and the table entry) when the file is shorter than its header,
// the table does not fit in the file, or a non-empty entry's record lies in
// the header or table or runs past the end of the file.
QList<TextArchiveEntry> readTextArchiveTable(const QByteArray& archive, const QString& fileName);

struct DecodedTextArchive {
    Lines lines;          // one text form per non-empty slot, in table order
    QStringList warnings; // the layout does not follow the table (see below)
};

// The records of an archive as lines. Each record is read where its table
// entry says, so line k always belongs to the k-th non-empty entry, whatever
// the layout; an archive whose records do not follow the table one after
// another in table order gets one warning naming the first entry that
// differs. Throws DataError as readTextArchiveTable does.
DecodedTextArchive decodeTextArchive(const QByteArray& archive, const QString& fileName);

// The new archive from the old one and the lines: header and old table copied,
// then the records in table order right after the table. Line k goes to the
// k-th non-empty entry without its note (from the first " # " on); entries
// without a line get an empty record (one NUL, size 1); empty slots keep both
// numbers and take no line. A line-count mismatch appends one of the two
// warnings "Warning! Lines in Text.txt are more than those in Text.flx" /
// "... less than ...". Throws DataError for a damaged old archive.
// With GameTextEncoding::Original, a line holding a letter the original fonts
// lack throws DataError naming the line and the letter.
QByteArray buildTextArchive(const QByteArray& oldArchive, const Lines& lines,
                            const QString& fileName, QStringList& warnings,
                            GameTextEncoding encoding = GameTextEncoding::Windows);

// The line of text.txt as the archive record takes it: without its note.
QByteArray withoutNote(const QByteArray& line);

// ---- message file (textmsg.txt) ----
//
// Plain text lines; a line with a colon is a message line, its key everything
// up to and including the first colon, its text the rest. Lines without a
// colon are neither extracted nor changed.

// Splits a message file into its lines. Throws DataError naming fileName for
// a NUL byte: the lines after it would be lost when the file is written back.
Lines messageFileLines(const QByteArray& content, const QString& fileName);
// The texts of the message lines, in file order.
Lines messageTexts(const Lines& fileLines);
// The message file with line k of lines after the key of the k-th message
// line (empty when there is none), notes included; other lines unchanged. A
// line-count mismatch appends "Warning! Lines in Text.txt are more than
// those in textmsg.txt" / "... less than ...".
Lines rewriteMessageLines(const Lines& fileLines, const Lines& lines, QStringList& warnings);

// ---- pre-translation ----

// Replaces every non-empty line whose text equals an English line of the
// reference pair (letter case ignored, compared as decoded by codec) by that
// line's translation. The first matching English line wins; one beyond the
// end of the reference translations keeps the line as it is.
void PretranslateTextLines(const Lines& referenceText, const Lines& referenceEnglish, Lines& lines,
                           const Cp1252Codec& codec);

// ---- file-level operations ----

// Writes the archive's records as the lines of textPath; returns the
// warnings of decoding.
QStringList DecodeTextArchive(const QString& archivePath, const QString& textPath);
// Writes the texts of the message lines as the lines of textPath.
void ExtractMessageTexts(const QString& messagePath, const QString& textPath);
// The pre-translation from text.txt and text.eng of referenceDirectory (names
// matched without regard to case). Throws FileError when either is missing.
void PretranslateTextLines(const QString& referenceDirectory, Lines& lines,
                           const Cp1252Codec& codec);
// Rewrites the archive with the lines, whole in memory, replaced atomically.
QStringList WriteTextArchive(const Lines& lines, const QString& archivePath);
// Rewrites the message file with the lines, replaced atomically.
QStringList WriteMessageFile(const Lines& lines, const QString& messagePath);

// The game text file of a usecode directory: textmsg.txt when there is one,
// else text.flx (names matched without regard to case); path is empty when
// there is neither.
struct GameTextFile {
    QString path;
    bool isMessageFile = false;
};
GameTextFile findGameTextFile(const QString& usecodeDirectory);

// The game text of one working session: which game file is the source and
// the target, the working files of the editor directory, and the write-back.
class GameText {
public:
    struct Folders {
        QString usecodeDirectory;
        QString editorDirectory;
        // The folder of the reference pack; empty when there is no reference.
        QString referenceDirectory;
    };
    struct Loaded {
        Lines text;    // text.txt
        Lines english; // text.eng
    };

    // The start-up step. Chooses textmsg.txt over text.flx, notes the game
    // file's size and time (without reading it), creates text.txt on the first
    // start (from the pristine copy textmsg.txt.orig / text.flx.orig of the
    // editor directory when there is one, else from the game file, which is
    // then kept as that copy) and text.eng when it is missing, pre-translates
    // with a message file, and loads both. A game folder with neither file has
    // no game text: nothing is created and the lines stay empty.
    Loaded load(const Folders& folders, const QString& textPath, const QString& englishPath,
                const Cp1252Codec& codec, QStringList& warnings);

    bool usesMessageFile() const { return m_useMessageFile; }
    // A game text file was found at start-up.
    bool hasGameFile() const { return m_hasGameFile; }
    // The file a write-back replaces: the entry of the usecode directory found
    // at start-up, whatever the case of its name (TEXT.FLX stays TEXT.FLX);
    // empty without a game file.
    QString targetPath() const;

    // Writes the game file from the lines and returns the line-count warnings.
    // Only the file noted at start-up (or last written) is replaced: throws
    // GameFileChanged when it was changed since, DataError when it is damaged,
    // FileError when it cannot be read or written, and Error when the lines
    // have no game file to go to. Without a game file and without lines there
    // is nothing to write and nothing happens.
    QStringList writeBack(const Lines& lines,
                          GameTextEncoding encoding = GameTextEncoding::Windows);
    // The lines read differently from the game file as it is on disk: from
    // the records of text.flx (the note after " # " left out, as the archive
    // never holds it), or from the message lines of textmsg.txt; another
    // number of lines differs too. A game file that cannot be read counts as
    // different: the write-back then says what is wrong. False without a
    // game file.
    bool readsDifferently(const Lines& lines) const;

private:
    QString m_usecodeDirectory;
    QString m_gamePath; // the game file found at start-up, or empty
    bool m_useMessageFile = false;
    bool m_hasGameFile = false;
    FileStamp m_stamp;
};

} // namespace lexivo
