// The game's message table: the text archive and the message file, text.txt
// and text.eng, the pre-translation and the rebuild's text step.

#include "clicommands.h"
#include "gamebuilder/textarchive.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/gametext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <optional>

using namespace lexivo;
using namespace lexivo::testing;

using Messages = QList<std::optional<QByteArray>>;
Q_DECLARE_METATYPE(Messages)

namespace {

void setEntry(QByteArray& archive, int index, qint32 offset, quint32 size) {
    qToLittleEndian(quint32(offset), archive.data() + 128 + 8 * index);
    qToLittleEndian(size, archive.data() + 128 + 8 * index + 4);
}

void setCount(QByteArray& archive, quint32 count) {
    qToLittleEndian(count, archive.data() + 84);
}

// A reader of its own, from the layout alone: count at 84, the table at 128,
// a record wherever an entry with a positive offset says.
struct ArchiveReader {
    QByteArray bytes;
    quint32 count = 0;
    QList<std::pair<qint32, quint32>> table;

    explicit ArchiveReader(const QByteArray& archive) : bytes(archive) {
        count = qFromLittleEndian<quint32>(archive.constData() + 84);
        for (quint32 i = 0; i < count; ++i)
            table.append({qFromLittleEndian<qint32>(archive.constData() + 128 + 8 * i),
                          qFromLittleEndian<quint32>(archive.constData() + 132 + 8 * i)});
    }
    // The records of the non-empty entries, without their NUL.
    QList<QByteArray> records() const {
        QList<QByteArray> out;
        for (const auto& [offset, size] : table)
            if (offset > 0) out.append(bytes.mid(offset, size).chopped(1));
        return out;
    }
    // Empty when the records lie one after another in table order right
    // after the table, each ended by its only NUL, and the file ends there.
    QString layoutProblem() const {
        qint64 next = 128 + 8 * qint64(count);
        for (qsizetype i = 0; i < table.size(); ++i) {
            const auto [offset, size] = table[i];
            if (offset <= 0) continue;
            if (offset != next)
                return QStringLiteral("entry %1 at %2, not %3").arg(i).arg(offset).arg(next);
            const QByteArray record = bytes.mid(offset, size);
            if (record.size() != qsizetype(size) || record.indexOf('\0') != record.size() - 1)
                return QStringLiteral("entry %1: no single final NUL").arg(i);
            next += size;
        }
        return next == bytes.size() ? QString() : QStringLiteral("bytes after the last record");
    }
};

// A game folder with a small usecode file and LEXIVO.INI pointing at it.
struct Game {
    QTemporaryDir root;
    QString prog() const { return root.path() + "/prog/"; }
    QString game() const { return root.path() + "/game/"; }
    explicit Game(const QByteArray& iniExtra = {}) {
        writeFile(game() + "usecode", smallUsecode({{"Hi."}}));
        writeIni(prog(), game(), {}, iniExtra);
    }
};

QByteArray crlf(const Lines& lines) {
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

} // namespace

class TestGameText : public QObject {
    Q_OBJECT

private slots:
    void archiveRoundTrip_data();
    void archiveRoundTrip();
    void writeBackChangedLines();
    void lineCountWarnings_data();
    void lineCountWarnings();
    void damagedArchives_data();
    void damagedArchives();
    void layoutThatDisagreesWithTable();
    void messageFile();
    void pretranslation_data();
    void pretranslation();
    void workingFilesCreatedOnce();
    void rebuildReplacesTheGameFile();
    void gameFileChangedOrDamagedIsNotWritten();
    void gameFolderWithoutText();
};

// Through lexivo-cli: init decodes text.txt and text.eng, a complete rebuild
// with the lines unchanged writes an archive the independent reader accepts,
// equal to the original wherever the codec keeps the bytes.
void TestGameText::archiveRoundTrip_data() {
    QTest::addColumn<Messages>("messages");
    QTest::addColumn<Lines>("textForms");
    QTest::addColumn<Messages>("written"); // empty: the original itself

    QTest::newRow("empty slots") << Messages{"First.",     std::nullopt, "Third.",
                                             std::nullopt, std::nullopt, "Sixth."}
                                 << Lines{"First.", "Third.", "Sixth."} << Messages{};
    QTest::newRow("lone CR and LF") << Messages{"a\rb", "c\nd", "\r\n", "\n\r", "end\r"}
                                    << Lines{"a\x0E"
                                             "b",
                                             "c\x0F"
                                             "d",
                                             "\\N", "\x0F\x0E", "end\x0E"}
                                    << Messages{};
    QByteArray control;
    for (char c = 0x01; c < 0x20; ++c)
        control += c;
    QTest::newRow("game bytes 0x01-0x1F")
        << Messages{control, "\x03t\x03"}
        << Lines{"\xC7\xFC\xE9\xE2\xE4\xE0\xE7\xEA\\T\x0F\xEB\xE8\x0E\xEF\xEE\xEC\xC4\xC9\xF4\xF6"
                 "\xFB\xF9\xD6\xDC\xE1\x1A\x1B\xDF\xED\xF2\xFA",
                 "\xE9t\xE9"}
        << Messages{"\xC7\xFC\xE9\xE2\xE4\xE0\xE7\xEA\t\n\xEB\xE8\r\xEF\xEE\xEC\xC4\xC9\xF4\xF6"
                    "\xFB\xF9\xD6\xDC\xE1\x1A\x1B\xDF\xED\xF2\xFA",
                    "\xE9t\xE9"};

    Messages many;
    Lines manyForms;
    for (int i = 0; i < 2400; ++i) {
        if (i % 97 == 0) {
            many << std::nullopt;
            continue;
        }
        QByteArray game = "Message " + QByteArray::number(i), text = game;
        if (i % 10 == 3) game += "\r\nsecond line", text += "\\Nsecond line";
        if (i % 50 == 7) game += "\rlone", text += "\x0Elone";
        many << game;
        manyForms << text;
    }
    QTest::newRow("2,400 records") << many << manyForms << Messages{};
}

void TestGameText::archiveRoundTrip() {
    QFETCH(Messages, messages);
    QFETCH(Lines, textForms);
    QFETCH(Messages, written);
    Game g;
    const QByteArray archive = gamebuild::textArchive(messages);
    writeFile(g.game() + "text.flx", archive);
    cli::Output out;
    QCOMPARE(cli::init(g.prog(), out), 0);
    QCOMPARE(out.stderrText, QString());
    QCOMPARE(readFile(g.prog() + "text.txt"), crlf(textForms));
    QCOMPARE(readFile(g.prog() + "text.eng"), crlf(textForms));
    QCOMPARE(cli::check(g.prog(), out), 0);

    out = {};
    QCOMPARE(cli::rebuild(g.prog(), true, out), 0);
    QCOMPARE(out.stderrText, QString());
    const QByteArray rebuilt = readFile(g.game() + "text.flx");
    QCOMPARE(rebuilt, written.isEmpty() ? archive : gamebuild::textArchive(written));
    QCOMPARE(ArchiveReader(rebuilt).layoutProblem(), QString());
}

// Changed lines go into their records: header and empty slots kept (both
// numbers, whatever they are), records in table order right after the table,
// notes dropped, escapes written as bytes; a fast rebuild after only this
// change saves text.txt and leaves the usecode file untouched.
void TestGameText::writeBackChangedLines() {
    Game g;
    QByteArray archive =
        gamebuild::textArchive({"one", std::nullopt, "two", std::nullopt, "three", "four", "five"});
    setEntry(archive, 1, 0, 7);
    setEntry(archive, 3, -1, 3);
    writeFile(g.game() + "text.flx", archive);
    Workspace ws(g.prog());
    ws.startWithoutWindow();
    QVERIFY(!ws.UseMessageFile);
    QCOMPARE(ws.textLines(), (Lines{"one", "two", "three", "four", "five"}));
    QCOMPARE(ws.englishLines(), ws.textLines());

    const QString usecode = g.game() + "usecode";
    const QByteArray usecodeBefore = readFile(usecode);
    const QDateTime usecodeTime = QFileInfo(usecode).lastModified();
    const Lines lines{"A much longer first line than before", "", "Hello # note", "a\\Nb\\Tc #x",
                      "x#y # z # w"};
    ws.TextChanged = true;
    const Workspace::RebuildReport report = ws.Rebuild(false, {}, &lines);
    QVERIFY(report.textWritten);
    QVERIFY(!report.usecodeWritten);
    QCOMPARE(report.warnings, QStringList());
    QVERIFY(!ws.TextChanged);
    QCOMPARE(readFile(usecode), usecodeBefore);
    QCOMPARE(QFileInfo(usecode).lastModified(), usecodeTime);
    QCOMPARE(readFile(g.prog() + "text.txt"), crlf(lines));
    QCOMPARE(ws.textLines(), lines);

    const ArchiveReader reader(readFile(g.game() + "text.flx"));
    QCOMPARE(reader.bytes.left(128), archive.left(128));
    QCOMPARE(reader.count, 7u);
    QCOMPARE(reader.table[1], (std::pair<qint32, quint32>(0, 7)));
    QCOMPARE(reader.table[3], (std::pair<qint32, quint32>(-1, 3)));
    QCOMPARE(reader.table[0].first, 128 + 7 * 8);
    QCOMPARE(reader.records(), (QList<QByteArray>{"A much longer first line than before", "",
                                                  "Hello", "a\r\nb\tc #x", "x#y"}));
    QCOMPARE(reader.table[2].second, 1u); // an empty line: one NUL
    QCOMPARE(reader.table[4].second, 6u); // "Hello" and its NUL
    QCOMPARE(reader.layoutProblem(), QString());
}

void TestGameText::lineCountWarnings_data() {
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("more lines")
        << 12 << QStringList{"Warning! Lines in Text.txt are more than those in Text.flx"};
    QTest::newRow("fewer lines")
        << 8 << QStringList{"Warning! Lines in Text.txt are less than those in Text.flx"};
    QTest::newRow("as many") << 10 << QStringList{};
}

// 10 records: extra lines go nowhere, missing ones become empty records.
void TestGameText::lineCountWarnings() {
    QFETCH(int, lineCount);
    QFETCH(QStringList, warnings);
    Messages messages;
    Lines lines;
    for (int i = 1; i <= 10; ++i)
        messages << "record " + QByteArray::number(i);
    for (int i = 1; i <= lineCount; ++i)
        lines << "line " + QByteArray::number(i);
    QTemporaryDir dir;
    const QString path = dir.path() + "/text.flx";
    writeFile(path, gamebuild::textArchive(messages));
    QCOMPARE(WriteTextArchive(lines, path), warnings);
    const ArchiveReader reader(readFile(path));
    QCOMPARE(reader.layoutProblem(), QString());
    const QList<QByteArray> records = reader.records();
    QCOMPARE(records.size(), 10);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(records[i], i < lineCount ? lines[i] : QByteArray());
}

void TestGameText::damagedArchives_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("problem");
    const QByteArray good = gamebuild::textArchive({"one", "two", "three"});
    QTest::newRow("shorter than its header")
        << QByteArray(100, '\0') << "100 bytes, fewer than its 128-byte header";
    QByteArray a = good;
    setCount(a, 0xFFFFFFFF);
    QTest::newRow("count whose table cannot fit") << a << "record count 4294967295 (at byte 84)";
    a = good;
    setCount(a, 4);
    QTest::newRow("count larger than the records present")
        << a << "table entry 1 of 4 points to byte 152, inside the header";
    a = good;
    setEntry(a, 1, qint32(good.size() + 10), 4);
    QTest::newRow("table points outside the file") << a << "table entry 2 of 3 spans bytes";
    QTest::newRow("truncated last record") << good.chopped(2) << "table entry 3 of 3 spans bytes";
}

// Named with the file and the entry, never a crash: at start-up nothing is
// made from such a file, and it is never written over.
void TestGameText::damagedArchives() {
    QFETCH(QByteArray, archive);
    QFETCH(QString, problem);
    const QString name = QStringLiteral("some/TEXT.FLX");
    try {
        decodeTextArchive(archive, name);
        QFAIL("decoded");
    } catch (const DataError& e) {
        QVERIFY2(e.message().startsWith(name) && e.message().contains(problem),
                 qPrintable(e.message()));
    }
    QStringList warnings;
    QVERIFY_THROWS_EXCEPTION(DataError, buildTextArchive(archive, {"x"}, name, warnings));

    Game g;
    writeFile(g.game() + "text.flx", archive);
    Workspace ws(g.prog());
    try {
        ws.startWithoutWindow();
        QFAIL("started");
    } catch (const DataError& e) {
        QVERIFY2(e.message().contains(g.game() + "text.flx") && e.message().contains(problem),
                 qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(g.prog() + "text.txt"));
    QVERIFY(!QFileInfo::exists(g.prog() + "text.eng"));
}

// Records laid out otherwise than the table order (one padded after its NUL)
// are read through the table: every line stays with its own entry, and the
// layout is said once, naming the first entry that differs.
void TestGameText::layoutThatDisagreesWithTable() {
    QByteArray archive = gamebuild::textArchive({std::nullopt, std::nullopt, std::nullopt});
    const qint32 third = qint32(archive.size());
    archive += QByteArray("third\0", 6);
    const qint32 second = qint32(archive.size());
    archive += QByteArray("second\0pad", 10);
    const qint32 first = qint32(archive.size());
    archive += QByteArray("first\0", 6);
    setEntry(archive, 0, first, 6);
    setEntry(archive, 1, second, 10);
    setEntry(archive, 2, third, 6);

    const DecodedTextArchive decoded = decodeTextArchive(archive, "x/text.flx");
    QCOMPARE(decoded.lines, (Lines{"first", "second", "third"}));
    QCOMPARE(decoded.warnings.size(), 1);
    QVERIFY2(decoded.warnings[0].contains("x/text.flx") &&
                 decoded.warnings[0].contains("table entry 1 of 3"),
             qPrintable(decoded.warnings[0]));

    QStringList warnings;
    const ArchiveReader reader(buildTextArchive(archive, decoded.lines, "x/text.flx", warnings));
    QCOMPARE(warnings, QStringList());
    QCOMPARE(reader.layoutProblem(), QString());
    QCOMPARE(reader.records(), (QList<QByteArray>{"first", "second", "third"}));
}

// textmsg.txt (found whatever its case) wins over text.flx: its message
// lines are extracted after their first colon and written back after their
// key, notes included; lines without a colon are kept as they are.
void TestGameText::messageFile() {
    Game g;
    const QByteArray flx = gamebuild::textArchive({"archive"});
    writeFile(g.game() + "text.flx", flx);
    const QString message = g.game() + "TEXTMSG.TXT";
    writeFile(message, gamebuild::messageFile({"# header", "0x010:Hello", "a:b:c", "no colon here",
                                               "0x011:", "0x012:Bye # keep"}));
    Workspace ws(g.prog());
    ws.startWithoutWindow();
    QVERIFY(ws.UseMessageFile);
    QCOMPARE(ws.textLines(), (Lines{"Hello", "b:c", "", "Bye # keep"}));
    QCOMPARE(readFile(g.prog() + "text.eng"), crlf(ws.textLines()));

    const Lines lines{"Ciao", "x:y", "new # note"};
    ws.TextChanged = true;
    const Workspace::RebuildReport report = ws.Rebuild(false, {}, &lines);
    QVERIFY(report.textWritten);
    QCOMPARE(report.warnings,
             QStringList{"Warning! Lines in Text.txt are less than those in textmsg.txt"});
    QCOMPARE(readFile(message), crlf({"# header", "0x010:Ciao", "a:x:y", "no colon here",
                                      "0x011:new # note", "0x012:"}));
    QCOMPARE(readFile(g.game() + "text.flx"), flx);
    QStringList files = QDir(g.game()).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, (QStringList{"TEXTMSG.TXT", "text.flx", "usecode"}));

    QStringList warnings;
    QCOMPARE(rewriteMessageLines({"k:v"}, {"a", "b"}, warnings), Lines{"k:a"});
    QCOMPARE(warnings,
             QStringList{"Warning! Lines in Text.txt are more than those in textmsg.txt"});
    // Written back, a file cut at a NUL byte would lose the lines after it.
    try {
        messageFileLines(QByteArray("0x1:a\r\n\0"
                                    "0x2:b\r\n",
                                    15),
                         "g/textmsg.txt");
        QFAIL("read");
    } catch (const DataError& e) {
        QVERIFY2(e.message().startsWith("g/textmsg.txt holds a NUL byte at byte 7"),
                 qPrintable(e.message()));
    }
}

void TestGameText::pretranslation_data() {
    QTest::addColumn<QString>("refPak"); // relative to the temporary root; "" = no REF_PAK
    QTest::addColumn<bool>("relative");  // written relative to the program directory
    QTest::addColumn<bool>("messageFile");
    QTest::addColumn<QString>("missing"); // a reference file removed first
    QTest::addColumn<bool>("translated");
    QTest::newRow("relative REF_PAK") << "prog/ref/ref.pak" << true << true << "" << true;
    QTest::newRow("absolute REF_PAK") << "elsewhere/REF.PAK" << false << true << "" << true;
    QTest::newRow("no REF_PAK: the working folder is not searched")
        << "" << false << true << "" << false;
    QTest::newRow("archive game: no pre-translation")
        << "prog/ref/ref.pak" << true << false << "" << false;
    QTest::newRow("reference text.eng missing")
        << "prog/ref/ref.pak" << true << true << "text.eng" << false;
}

// With a message file and no text.eng yet, lines whose English the reference
// pair translated (letter case ignored, accented letters too) take the
// translation; the first English match wins; one beyond the end of the
// reference text.txt keeps the English line; empty lines stay empty.
void TestGameText::pretranslation() {
    QFETCH(QString, refPak);
    QFETCH(bool, relative);
    QFETCH(bool, messageFile);
    QFETCH(QString, missing);
    QFETCH(bool, translated);
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    const Lines english{"Welcome", "WELCOME", "", "\xC9lan", "Unknown words", "Farewell"};
    writeFile(game + "usecode", smallUsecode({{"Hi."}}));
    if (messageFile) {
        Lines file;
        for (int i = 0; i < english.size(); ++i)
            file << "0x00" + QByteArray::number(i) + ":" + english[i];
        writeFile(game + "textmsg.txt", crlf(file));
    } else {
        writeFile(game + "text.flx", gamebuild::textArchive({"Welcome", "Farewell"}));
    }
    const Lines refEnglish{"a", "b",       "c",       "d",       "e",
                           "f", "welcome", "\xE9lan", "Welcome", "farewell"};
    const Lines refText{"A", "B", "C", "D", "E", "F", "Benvenuto", "Slancio", "Second choice"};
    // A pair in the working folder that must never be taken.
    const QString cwd = root.path() + "/cwd/";
    writeFile(cwd + "text.eng", crlf(refEnglish));
    writeFile(cwd + "text.txt", crlf({"A", "B", "C", "D", "E", "F", "Wrong"}));
    QByteArray extra;
    if (!refPak.isEmpty()) {
        const QString refDir = QFileInfo(root.path() + "/" + refPak).path() + "/";
        writeFile(refDir + "text.eng", crlf(refEnglish));
        writeFile(refDir + "text.txt", crlf(refText));
        if (!missing.isEmpty()) QVERIFY(QFile::remove(refDir + missing));
        extra = "REF_PAK=" +
                QFile::encodeName(relative ? QDir(prog).relativeFilePath(root.path() + "/" + refPak)
                                           : root.path() + "/" + refPak) +
                "\r\n";
    }
    writeIni(prog, game, {}, extra);
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd));
    struct Restore {
        QString dir;
        ~Restore() { QDir::setCurrent(dir); }
    } restore{before};

    Workspace ws(prog);
    if (!missing.isEmpty()) {
        try {
            ws.startWithoutWindow();
            QFAIL("started");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains("ref/" + missing), qPrintable(e.message()));
        }
        // Nothing is taken for good: the next start tries again.
        QVERIFY(!QFileInfo::exists(prog + "text.eng"));
        return;
    }
    ws.startWithoutWindow();
    const Lines expected =
        !translated ? (messageFile ? english : Lines{"Welcome", "Farewell"})
                    : Lines{"Benvenuto", "Benvenuto", "", "Slancio", "Unknown words", "Farewell"};
    QCOMPARE(ws.textLines(), expected);
    QCOMPARE(readFile(prog + "text.txt"), crlf(expected));
    QCOMPARE(readFile(prog + "text.eng"), crlf(messageFile ? english : expected));
}

// text.txt and text.eng are made once. With both in place neither game file
// is read; made again, they come from the pristine copy the first start kept,
// not from the game file that a rebuild filled with translations.
void TestGameText::workingFilesCreatedOnce() {
    Game g;
    const QByteArray archive = gamebuild::textArchive({"Hello.", "Bye."});
    writeFile(g.game() + "text.flx", archive);
    const Lines english{"Hello.", "Bye."}, translated{"Hallo.", "Tsch\xFC\x73s."};
    {
        Workspace ws(g.prog());
        ws.startWithoutWindow();
        QCOMPARE(readFile(g.prog() + "text.flx.orig"), archive);
        ws.TextChanged = true;
        QVERIFY(ws.Rebuild(false, {}, &translated).textWritten);
    }
    QCOMPARE(ArchiveReader(readFile(g.game() + "text.flx")).records(), translated);

    QVERIFY(QFile::remove(g.prog() + "text.txt") && QFile::remove(g.prog() + "text.eng"));
    {
        Workspace ws(g.prog());
        ws.startWithoutWindow();
        QCOMPARE(ws.textLines(), english);
        QCOMPARE(ws.englishLines(), english);
        ws.saveTextTab(translated);
    }
    QVERIFY(QFile::remove(g.prog() + "text.eng"));
    {
        Workspace ws(g.prog());
        ws.startWithoutWindow();
        QCOMPARE(ws.textLines(), translated);
        QCOMPARE(ws.englishLines(), english);
    }
    // A game file that cannot be decoded is not read at all now.
    writeFile(g.game() + "text.flx", "damaged");
    Workspace ws(g.prog());
    ws.startWithoutWindow();
    QCOMPARE(ws.textLines(), translated);
    QCOMPARE(readFile(g.prog() + "text.eng"), crlf(english));
}

// STATIC/TEXT.FLX is replaced, never joined by a second Text.flx; the
// complete rebuild of lexivo-cli takes text.txt from disk.
void TestGameText::rebuildReplacesTheGameFile() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", staticDir = root.path() + "/game/STATIC/";
    writeFile(staticDir + "USECODE", smallUsecode({{"Hi."}}));
    writeFile(staticDir + "TEXT.FLX", gamebuild::textArchive({"Hello.", std::nullopt, "Bye."}));
    writeIni(prog, root.path() + "/game/");
    cli::Output out;
    QCOMPARE(cli::init(prog, out), 0);
    writeFile(prog + "text.txt", "Hallo. # greeting\r\nAuf Wiedersehen.\r\n");
    QCOMPARE(cli::rebuild(prog, true, out), 0);
    QCOMPARE(QDir(staticDir).entryList(QDir::Files), (QStringList{"TEXT.FLX", "USECODE"}));
    const ArchiveReader reader(readFile(staticDir + "TEXT.FLX"));
    QCOMPARE(reader.records(), (QList<QByteArray>{"Hallo.", "Auf Wiedersehen."}));
    QCOMPARE(reader.table[1], (std::pair<qint32, quint32>(0, 0)));
}

// Only the file found at start-up, as it was then (or last written), is
// replaced: a change by another program, or damage, leaves it as it is, the
// usecode is still written, and the text stays to be written.
void TestGameText::gameFileChangedOrDamagedIsNotWritten() {
    Game g;
    writeFile(g.game() + "text.flx", gamebuild::textArchive({"Hello."}));
    Workspace ws(g.prog());
    ws.startWithoutWindow();
    const QByteArray other = gamebuild::textArchive({"Changed elsewhere.", "Two."});
    writeFile(g.game() + "text.flx", other);
    const Lines lines{"Hallo."};
    ws.TextChanged = true;
    Workspace::RebuildReport report = ws.Rebuild(true, {}, &lines);
    QVERIFY(report.usecodeWritten);
    QVERIFY(!report.textWritten);
    QCOMPARE(report.warnings.size(), 1);
    QVERIFY2(report.warnings[0].startsWith("The game text was not written: " + g.game() +
                                           "text.flx was changed by another program"),
             qPrintable(report.warnings[0]));
    QVERIFY(ws.TextChanged);
    QCOMPARE(readFile(g.game() + "text.flx"), other);

    // A damaged file is not read at start-up (text.txt is there), nor written.
    writeFile(g.game() + "text.flx", "damaged");
    Workspace again(g.prog());
    again.startWithoutWindow();
    again.TextChanged = true;
    report = again.Rebuild(false);
    QCOMPARE(report.warnings.size(), 1);
    QVERIFY2(report.warnings[0].contains("fewer than its 128-byte header"),
             qPrintable(report.warnings[0]));
    QCOMPARE(readFile(g.game() + "text.flx"), QByteArray("damaged"));
}

// A game folder without text.flx or textmsg.txt has no game text: nothing
// is made, and the rebuild writes no text file. Lines without a game file to
// go to are said, not dropped silently.
void TestGameText::gameFolderWithoutText() {
    Game g;
    Workspace ws(g.prog());
    ws.startWithoutWindow();
    QVERIFY(ws.gameTextLoaded());
    QVERIFY(ws.textLines().isEmpty());
    QVERIFY(ws.takeWarnings().isEmpty());
    Workspace::RebuildReport report = ws.Rebuild(true);
    QVERIFY(!report.textWritten);
    QCOMPARE(report.warnings, QStringList());
    QCOMPARE(QDir(g.game()).entryList(QDir::Files), QStringList{"usecode"});
    QVERIFY(!QFileInfo::exists(g.prog() + "text.txt"));

    const Lines lines{"Orphan."};
    ws.TextChanged = true;
    report = ws.Rebuild(false, {}, &lines);
    QCOMPARE(report.warnings.size(), 1);
    QVERIFY2(report.warnings[0].contains("held neither text.flx nor textmsg.txt"),
             qPrintable(report.warnings[0]));
    QVERIFY(ws.TextChanged);
    QCOMPARE(QDir(g.game()).entryList(QDir::Files), QStringList{"usecode"});
}

QTEST_GUILESS_MAIN(TestGameText)
#include "tst_gametext.moc"
