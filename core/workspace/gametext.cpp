#include "gametext.h"

#include "cp1252codec.h"
#include "errors.h"
#include "fileio.h"
#include "gamestring.h"
#include "paths.h"

#include <QFileInfo>
#include <QHash>
#include <QtEndian>

#include <limits>

namespace lexivo {

using namespace textarchive;

namespace {

const QString ArchiveName = QStringLiteral("text.flx");
const QString MessageFileName = QStringLiteral("textmsg.txt");
const QString PristineSuffix = QStringLiteral(".orig");

quint32 u32At(const QByteArray& bytes, qsizetype pos) {
    return qFromLittleEndian<quint32>(bytes.constData() + pos);
}

void putU32(QByteArray& bytes, qsizetype pos, quint32 value) {
    qToLittleEndian(value, bytes.data() + pos);
}

QString entryName(qsizetype index, qsizetype count) {
    return QStringLiteral("table entry %1 of %2").arg(index + 1).arg(count);
}

// The text as the pre-translation compares it: decoded, every character
// folded as a case-insensitive comparison folds it, so that equal keys are
// exactly the lines that compare equal without regard to case.
QString foldedKey(const QByteArray& line, const Cp1252Codec& codec) {
    QString text = codec.decode(line);
    for (QChar& c : text)
        c = c.toCaseFolded();
    return text;
}

void appendCountWarning(QStringList& warnings, qsizetype lines, qsizetype records,
                        const QString& fileLabel) {
    if (lines > records)
        warnings << QStringLiteral("Warning! Lines in Text.txt are more than those in %1")
                        .arg(fileLabel);
    else if (lines < records)
        warnings << QStringLiteral("Warning! Lines in Text.txt are less than those in %1")
                        .arg(fileLabel);
}

} // namespace

QList<TextArchiveEntry> readTextArchiveTable(const QByteArray& archive, const QString& fileName) {
    const qsizetype size = archive.size();
    if (size < HeaderSize)
        throw DataError(QStringLiteral("%1 is not a text archive: it has %2 bytes, fewer than its "
                                       "%3-byte header.")
                            .arg(fileName)
                            .arg(size)
                            .arg(HeaderSize));
    const quint32 count = u32At(archive, CountOffset);
    // The table must fit in the bytes present before anything is allocated
    // for it: a damaged count can claim four billion entries.
    const qint64 tableEnd = HeaderSize + qint64(count) * EntrySize;
    if (tableEnd > size)
        throw DataError(QStringLiteral("%1 is damaged: its record count %2 (at byte %3) needs a "
                                       "record table up to byte %4, but the file has only %5 "
                                       "bytes.")
                            .arg(fileName)
                            .arg(count)
                            .arg(CountOffset)
                            .arg(tableEnd)
                            .arg(size));
    QList<TextArchiveEntry> table;
    table.reserve(count);
    for (qsizetype i = 0; i < qsizetype(count); ++i) {
        const qsizetype at = HeaderSize + i * EntrySize;
        TextArchiveEntry entry;
        entry.offset = qint32(u32At(archive, at));
        entry.size = u32At(archive, at + 4);
        if (!entry.isEmptySlot()) {
            if (entry.offset < tableEnd)
                throw DataError(QStringLiteral("%1 is damaged: %2 points to byte %3, inside the "
                                               "header or the record table (which end at byte "
                                               "%4).")
                                    .arg(fileName, entryName(i, count))
                                    .arg(entry.offset)
                                    .arg(tableEnd));
            if (qint64(entry.offset) + entry.size > size)
                throw DataError(QStringLiteral("%1 is damaged: the record of %2 spans bytes %3 to "
                                               "%4, past the end of the file (%5 bytes).")
                                    .arg(fileName, entryName(i, count))
                                    .arg(entry.offset)
                                    .arg(qint64(entry.offset) + entry.size)
                                    .arg(size));
        }
        table.append(entry);
    }
    return table;
}

DecodedTextArchive decodeTextArchive(const QByteArray& archive, const QString& fileName) {
    const QList<TextArchiveEntry> table = readTextArchiveTable(archive, fileName);
    DecodedTextArchive out;
    out.lines.reserve(table.size());
    // Where the next record lies when the records follow the table one after
    // another in table order, as the rebuild writes them.
    qint64 expected = HeaderSize + qint64(table.size()) * EntrySize;
    qsizetype firstDiffering = -1;
    qint64 firstExpected = 0;
    qsizetype differing = 0;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const TextArchiveEntry& entry = table[i];
        if (entry.isEmptySlot()) continue;
        if (entry.offset != expected) {
            if (firstDiffering < 0) {
                firstDiffering = i;
                firstExpected = expected;
            }
            ++differing;
        }
        expected = qint64(entry.offset) + entry.size;
        // The record ends at its NUL, or at the end of its size.
        qsizetype pos = 0;
        out.lines.append(ReadGameString(archive.constData() + entry.offset, entry.size, pos));
    }
    if (firstDiffering >= 0)
        out.warnings << QStringLiteral("Warning! The records of %1 do not follow its table one "
                                       "after another (%2 entries differ, the first is %3: "
                                       "record at byte %4, expected at byte %5). Each line was "
                                       "read from its own entry; a rebuild writes the records "
                                       "in table order.")
                            .arg(fileName)
                            .arg(differing)
                            .arg(entryName(firstDiffering, table.size()))
                            .arg(table[firstDiffering].offset)
                            .arg(firstExpected);
    return out;
}

QByteArray withoutNote(const QByteArray& line) {
    const qsizetype note = line.indexOf(" # ");
    return note < 0 ? line : line.left(note);
}

QByteArray buildTextArchive(const QByteArray& oldArchive, const Lines& lines,
                            const QString& fileName, QStringList& warnings,
                            GameTextEncoding encoding) {
    const QList<TextArchiveEntry> table = readTextArchiveTable(oldArchive, fileName);
    const qsizetype tableEnd = HeaderSize + table.size() * EntrySize;
    QByteArray out = oldArchive.left(tableEnd);
    qsizetype k = 0;
    for (qsizetype i = 0; i < table.size(); ++i) {
        if (table[i].isEmptySlot()) continue; // keeps both numbers, takes no line
        const qsizetype offset = out.size();
        const QByteArray line = k < lines.size() ? withoutNote(lines[k]) : QByteArray();
        const qsizetype bad = firstUnwritableByte(line, encoding);
        if (bad >= 0) {
            // A message as the archive holds it already keeps its own bytes:
            // the game shows them now, whatever the fonts.
            const TextArchiveEntry& entry = table[i];
            qsizetype end = 0;
            if (ReadGameString(oldArchive.constData() + entry.offset, entry.size, end) == line) {
                QByteArray record(oldArchive.constData() + entry.offset, end);
                if (record.isEmpty() || record.back() != '\0') record.append('\0');
                out.append(record);
                putU32(out, HeaderSize + i * EntrySize, quint32(offset));
                putU32(out, HeaderSize + i * EntrySize + 4, quint32(record.size()));
                ++k;
                continue;
            }
            throw DataError(QStringLiteral("text.txt, line %1: the letter \"%2\" (0x%3) is not "
                                           "in the original game fonts (game-text encoding "
                                           "\"Original releases\"); %4 was not written.")
                                .arg(k + 1)
                                .arg(Cp1252Codec().decode(line.mid(bad, 1)))
                                .arg(QString::number(quint8(line[bad]), 16).toUpper())
                                .arg(fileName));
        }
        const int written = WriteGameString(out, line, encoding);
        if (out.size() > std::numeric_limits<qint32>::max())
            throw DataError(QStringLiteral("%1 would grow past 2 GiB at %2: the record offsets "
                                           "cannot hold that.")
                                .arg(fileName, entryName(i, table.size())));
        putU32(out, HeaderSize + i * EntrySize, quint32(offset));
        putU32(out, HeaderSize + i * EntrySize + 4, quint32(written));
        ++k;
    }
    appendCountWarning(warnings, lines.size(), k, QStringLiteral("Text.flx"));
    return out;
}

Lines messageFileLines(const QByteArray& content, const QString& fileName) {
    // The line rule of text files ends the content at a NUL byte; written
    // back, the message file would lose everything after it.
    const qsizetype nul = content.indexOf('\0');
    if (nul >= 0)
        throw DataError(QStringLiteral("%1 holds a NUL byte at byte %2: it is not a message file "
                                       "Lexivo can write back without losing the lines after "
                                       "it.")
                            .arg(fileName)
                            .arg(nul));
    return splitLines(content);
}

Lines messageTexts(const Lines& fileLines) {
    Lines texts;
    for (const QByteArray& line : fileLines) {
        const qsizetype colon = line.indexOf(':');
        if (colon >= 0) texts.append(line.mid(colon + 1));
    }
    return texts;
}

Lines rewriteMessageLines(const Lines& fileLines, const Lines& lines, QStringList& warnings) {
    Lines out = fileLines;
    qsizetype k = 0;
    for (QByteArray& line : out) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) continue;
        line = line.left(colon + 1) + (k < lines.size() ? lines[k] : QByteArray());
        ++k;
    }
    appendCountWarning(warnings, lines.size(), k, MessageFileName);
    return out;
}

void PretranslateTextLines(const Lines& referenceText, const Lines& referenceEnglish, Lines& lines,
                           const Cp1252Codec& codec) {
    // One pass over the English list instead of a scan per line: a few
    // thousand lines against a few thousand.
    QHash<QString, qsizetype> firstLine;
    firstLine.reserve(referenceEnglish.size());
    for (qsizetype k = 0; k < referenceEnglish.size(); ++k) {
        QString key = foldedKey(referenceEnglish[k], codec);
        if (!firstLine.contains(key)) firstLine.insert(std::move(key), k);
    }
    for (QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        const auto it = firstLine.constFind(foldedKey(line, codec));
        // An English line without its translation keeps the line as it is.
        if (it != firstLine.constEnd() && it.value() < referenceText.size())
            line = referenceText[it.value()];
    }
}

QStringList DecodeTextArchive(const QString& archivePath, const QString& textPath) {
    DecodedTextArchive decoded = decodeTextArchive(readWholeFile(archivePath), archivePath);
    saveTextLines(textPath, decoded.lines);
    return decoded.warnings;
}

void ExtractMessageTexts(const QString& messagePath, const QString& textPath) {
    saveTextLines(textPath,
                  messageTexts(messageFileLines(readWholeFile(messagePath), messagePath)));
}

void PretranslateTextLines(const QString& referenceDirectory, Lines& lines,
                           const Cp1252Codec& codec) {
    const Lines text = loadTextLines(resolvePath(referenceDirectory, QStringLiteral("text.txt")));
    const Lines english =
        loadTextLines(resolvePath(referenceDirectory, QStringLiteral("text.eng")));
    PretranslateTextLines(text, english, lines, codec);
}

QStringList WriteTextArchive(const Lines& lines, const QString& archivePath) {
    QStringList warnings;
    const QByteArray image =
        buildTextArchive(readWholeFile(archivePath), lines, archivePath, warnings);
    writeFileAtomically(archivePath, image);
    return warnings;
}

QStringList WriteMessageFile(const Lines& lines, const QString& messagePath) {
    QStringList warnings;
    const Lines fileLines = messageFileLines(readWholeFile(messagePath), messagePath);
    saveTextLines(messagePath, rewriteMessageLines(fileLines, lines, warnings));
    return warnings;
}

GameTextFile findGameTextFile(const QString& usecodeDirectory) {
    GameTextFile file;
    const QString message = findEntry(usecodeDirectory, MessageFileName);
    file.isMessageFile = !message.isEmpty() && QFileInfo(message).isFile();
    file.path = file.isMessageFile ? message : findEntry(usecodeDirectory, ArchiveName);
    if (!file.path.isEmpty() && !QFileInfo(file.path).isFile()) file.path.clear();
    return file;
}

// ---- GameText ----

GameText::Loaded GameText::load(const Folders& folders, const QString& textPath,
                                const QString& englishPath, const Cp1252Codec& codec,
                                QStringList& warnings) {
    m_usecodeDirectory = folders.usecodeDirectory;
    const GameTextFile game = findGameTextFile(m_usecodeDirectory);
    m_useMessageFile = game.isMessageFile;
    m_gamePath = game.path;
    m_hasGameFile = !m_gamePath.isEmpty();
    const QString& name = m_useMessageFile ? MessageFileName : ArchiveName;
    // Only stated, not read: with text.txt in place the game file is not read
    // at start-up, but the rebuild must still know the file it may replace.
    m_stamp = FileStamp();
    if (m_hasGameFile) m_stamp.take(m_gamePath);

    // After a rebuild the game file holds translations: the English messages
    // come from the copy the first start kept, whenever there is one.
    const QString pristine = resolvePath(folders.editorDirectory, name + PristineSuffix);
    const bool havePristine = QFileInfo(pristine).isFile();
    const auto decode = [&](const QString& path) {
        const QByteArray bytes = readWholeFile(path);
        if (m_useMessageFile) return messageTexts(messageFileLines(bytes, path));
        DecodedTextArchive decoded = decodeTextArchive(bytes, path);
        warnings += decoded.warnings;
        return decoded.lines;
    };

    Loaded out;
    bool created = false;
    if (QFileInfo(textPath).isFile()) {
        out.text = loadTextLines(textPath);
    } else {
        if (!havePristine && !m_hasGameFile) return out; // no game text: nothing to make
        out.text = decode(havePristine ? pristine : m_gamePath);
        saveTextLines(textPath, out.text);
        created = true;
    }

    if (QFileInfo(englishPath).isFile()) {
        out.english = loadTextLines(englishPath);
        return out;
    }
    // An existing text.txt may be translated already: it becomes text.eng
    // only when no pristine copy tells the English.
    out.english = (!created && havePristine) ? decode(pristine) : out.text;
    if (m_useMessageFile && !folders.referenceDirectory.isEmpty()) {
        // Read the reference first: when it is missing nothing is written,
        // and the next start tries again.
        Lines translated = out.text;
        PretranslateTextLines(folders.referenceDirectory, translated, codec);
        saveTextLines(englishPath, out.english);
        out.text = std::move(translated);
        saveTextLines(textPath, out.text);
    } else {
        saveTextLines(englishPath, out.english);
    }
    return out;
}

QString GameText::targetPath() const {
    return m_gamePath;
}

QStringList GameText::writeBack(const Lines& lines, GameTextEncoding encoding) {
    if (!m_hasGameFile) {
        if (lines.isEmpty()) return {};
        throw Error(QStringLiteral("%1 held neither text.flx nor textmsg.txt when Lexivo "
                                   "started: the lines of text.txt have no game file to go to.")
                        .arg(m_usecodeDirectory));
    }
    const QByteArray old = readWholeFile(m_gamePath);
    m_stamp.verifyUnchanged(old);
    QStringList warnings;
    QByteArray image;
    if (m_useMessageFile)
        image = joinLines(rewriteMessageLines(messageFileLines(old, m_gamePath), lines, warnings));
    else
        image = buildTextArchive(old, lines, m_gamePath, warnings, encoding);
    writeFileAtomically(m_gamePath, image);
    m_stamp.take(m_gamePath);
    return warnings;
}

bool GameText::readsDifferently(const Lines& lines) const {
    if (!m_hasGameFile) return false;
    try {
        const QByteArray bytes = readWholeFile(m_gamePath);
        if (m_useMessageFile) return messageTexts(messageFileLines(bytes, m_gamePath)) != lines;
        const Lines records = decodeTextArchive(bytes, m_gamePath).lines;
        if (records.size() != lines.size()) return true;
        for (qsizetype k = 0; k < lines.size(); ++k)
            if (withoutNote(lines[k]) != records[k]) return true;
        return false;
    } catch (const Error&) {
        return true;
    }
}

} // namespace lexivo
