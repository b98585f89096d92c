// Damaged and absurd input files, one table: each gives a clear message that
// names the file, start-up goes on where it should (and stops where it must),
// and not one byte already on disk changes.

#include "gamebuilder/textarchive.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/comments.h"
#include "workspace/errors.h"
#include "workspace/pack.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

const QList<QList<QByteArray>> Functions = {
    {"Hello, traveller.", "Farewell."}, {"Only one."}, {"Name?", "Avatar", "Bye."}};
const QList<QList<QByteArray>> Translated = {
    {"Salut, voyageur.", "Adieu."}, {"Un seul."}, {"Nom?", "Avatar", "Salut."}};

QByteArray gameUsecode() {
    return smallUsecode(Functions, true);
}

QByteArray gameText() {
    return gamebuild::textArchive(
        {QByteArray("Dawn"), QByteArray("Dusk"), std::nullopt, QByteArray("Avatar")});
}

// The symbol-table header of gameUsecode(): everything before the first record.
qsizetype symbolTableSize() {
    return gameUsecode().size() - smallUsecode(Functions).size();
}

QByteArray withU16(QByteArray bytes, qsizetype pos, quint16 value) {
    qToLittleEndian(value, bytes.data() + pos);
    return bytes;
}
QByteArray withU32(QByteArray bytes, qsizetype pos, quint32 value) {
    qToLittleEndian(value, bytes.data() + pos);
    return bytes;
}

QByteArray packContent(const QList<QList<QByteArray>>& blocks) {
    return Pack::buildContent(QList<Lines>(blocks.begin(), blocks.end()));
}

QByteArray commentFile(qint32 count) {
    tComment set;
    set.Name = "Colleague";
    set.Color = 255;
    set.Lines.append({45000.5, "Check this", 0x400, 1});
    set.Count = 1;
    return withU32(commentFileBytes(set), qsizetype(sizeof("Colleague")) + 4, quint32(count));
}

QByteArray lines(int count, const QByteArray& line) {
    QByteArray out;
    out.reserve(count * (line.size() + 2));
    for (int i = 0; i < count; ++i)
        out += line + "\r\n";
    return out;
}

struct Fixture {
    QTemporaryDir root;
    QString program() const { return root.path() + "/prog/"; }
    QString game() const { return root.path() + "/game/"; }
    QString reference() const { return root.path() + "/ref/"; }

    // A game, a reference and a configuration; start() then makes the
    // workspace files as a first start does.
    void writeGame() {
        writeFile(game() + "usecode", gameUsecode());
        writeFile(game() + "text.flx", gameText());
        writeFile(reference() + "usecode", smallUsecode(Translated));
        Pack::write(reference() + "ref.pak", packContent(Functions));
        writeIni(program(), game(), {},
                 "REF_USECODE=" + QFile::encodeName(reference()) + "usecode\r\nREF_PAK=" +
                     QFile::encodeName(reference()) + "ref.pak\r\n[USER]\r\nID=1\r\n");
    }
    // Every workspace file a session of work leaves: translation files, text.txt,
    // an own and a colleague's comment file, FuncStatus.dat and u7.dic.
    void work() {
        Workspace ws(program());
        ws.startWithoutWindow();
        QVERIFY(ws.takeWarnings().isEmpty());
        QCOMPARE(ws.createMissingTranslationFiles(), 3);
        Lines text = ws.textLines();
        text[0] = "Aube";
        ws.saveTextTab(text);
        ws.addComment(0x400, 0, "Is this right?");
        writeFile(program() + "2.cmt", commentFile(1));
        ws.setFunctionStatus({0, 2}, 1);
        ws.addDictionaryEntry({"Avatar", "Avatar"});
        ws.saveLastPosition(1, 0);
    }

    Snapshot snapshot() const { return testing::snapshot(root.path()); }
};

// The start-up sequence as the window runs it: configuration and reference,
// then the game and every workspace file. Returns the step that failed
// ("reference", "workspace") or an empty string, with its message.
struct StartUp {
    QString stoppedAt;
    QString error;
    QString warnings;
};

StartUp startUp(Workspace& ws) {
    StartUp result;
    try {
        ws.openConfiguration();
        ws.readConfiguration();
        if (ws.hasReference()) ws.loadReference();
    } catch (const Error& e) {
        result.stoppedAt = "reference";
        result.error = e.message();
    }
    if (result.stoppedAt.isEmpty()) {
        try {
            if (!ws.locateUsecode()) throw Error("no usecode");
            ws.loadWorkspaceFiles();
        } catch (const Error& e) {
            result.stoppedAt = "workspace";
            result.error = e.message();
        }
    }
    result.warnings = ws.takeWarnings().join('\n');
    return result;
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private slots:
    void damagedFile_data();
    void damagedFile();
    void hugeTranslationFiles_data();
    void hugeTranslationFiles();
    void translationFileNotAFile_data();
    void translationFileNotAFile();
};

void TestBadInput::damagedFile_data() {
    QTest::addColumn<QString>("file"); // relative to the fixture's root
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("firstStart"); // damaged before the workspace exists
    QTest::addColumn<QString>("stoppedAt");
    QTest::addColumn<QString>("message"); // in the error, else in the warnings
    QTest::addColumn<bool>("textLoaded"); // the steps after the damaged one ran
    QTest::addColumn<int>("dictionaryEntries");

    const QByteArray usecode = gameUsecode();
    const qsizetype firstRecord = symbolTableSize();
    const qsizetype lastRecord = usecode.size() - (smallUsecode(Functions).size() -
                                                   smallUsecode(Functions.mid(0, 2)).size());
    // Damaged game usecode after the first start: the sound functions load,
    // start-up goes on and says where the damage is.
    QTest::newRow("usecode: last record truncated")
        << "game/usecode" << usecode.left(usecode.size() - 3) << false << ""
        << "game/usecode" << true << 1;
    QTest::newRow("usecode: record size beyond the file")
        << "game/usecode" << withU16(usecode, lastRecord + 2, 0xFFF0) << false << ""
        << "game/usecode" << true << 1;
    QTest::newRow("usecode: data size beyond the record")
        << "game/usecode" << withU16(usecode, firstRecord + 4, 0xFFF0) << false << ""
        << "game/usecode" << true << 1;
    QTest::newRow("usecode: symbol table ends inside the first function")
        << "game/usecode" << withU32(usecode, 8, 4) << false << ""
        << "game/usecode" << true << 1;
    QTest::newRow("usecode: symbol count beyond the file")
        << "game/usecode" << withU32(usecode, 8, 0x7FFFFFFF) << false << ""
        << "game/usecode" << true << 1;
    // Before the first start the originals would be unknown: nothing is made.
    QTest::newRow("usecode: truncated on the first start")
        << "game/usecode" << usecode.left(usecode.size() - 3) << true << "workspace"
        << "orig.pak was not built" << true << 0;

    const QByteArray content = packContent(Functions);
    QTest::newRow("orig.pak: index beyond the content")
        << "prog/orig.pak" << Pack::compress(withU32(content, 2, 0x7FFFFFF0)) << false
        << "workspace"
        << "orig.pak" << true << 0;
    QTest::newRow("orig.pak: index entry beyond the content")
        << "prog/orig.pak" << Pack::compress(withU32(content, content.size() - 4, 0x7FFFFFF0))
        << false << "workspace"
        << "orig.pak" << true << 0;
    QTest::newRow("orig.pak: block count larger than the index")
        << "prog/orig.pak" << Pack::compress(withU16(content, 0, 0xFFFF)) << false << "workspace"
        << "orig.pak" << true << 0;
    const QByteArray compressed = Pack::compress(content);
    QTest::newRow("orig.pak: truncated bz2 stream")
        << "prog/orig.pak" << compressed.left(compressed.size() - 10) << false << "workspace"
        << "orig.pak: The bz2 engine signals a data corruption" << true << 0;
    QTest::newRow("orig.pak: trailing data")
        << "prog/orig.pak" << compressed + "junk" << false << "workspace"
        << "orig.pak: The bz2 engine signals a data corruption" << true << 0;
    QTest::newRow("orig.pak: another usecode's")
        << "prog/orig.pak" << Pack::compress(packContent(Functions.mid(0, 2))) << false << ""
        << "does not belong" << true << 1;

    // The reference is loaded before anything else: its pack stops start-up,
    // its usecode's damage is said and the functions before it are used.
    const QByteArray refPak = Pack::compress(content);
    QTest::newRow("ref.pak: truncated bz2 stream")
        << "ref/ref.pak" << refPak.left(refPak.size() / 2) << false << "reference"
        << "ref.pak" << false << 0;
    QTest::newRow("ref.pak: wrong index")
        << "ref/ref.pak" << Pack::compress(withU32(content, 2, 3)) << false << "reference"
        << "ref.pak" << false << 0;
    const QByteArray refUsecode = smallUsecode(Translated);
    QTest::newRow("reference usecode truncated")
        << "ref/usecode" << refUsecode.left(refUsecode.size() - 5) << false << ""
        << "reference usecode is damaged" << true << 1;

    // The game text: text.flx is read on the first start, into text.txt; its
    // damage ends start-up there, before any workspace file is made from it.
    const QByteArray text = gameText();
    QTest::newRow("text.flx: entry points outside the file")
        << "game/text.flx" << withU32(text, 128 + 8, 0x7FFFFF00) << true << "workspace"
        << "text.flx is damaged: the record of table entry 2" << false << 0;
    QTest::newRow("text.flx: entry size beyond the file")
        << "game/text.flx" << withU32(text, 128 + 12, 0x7FFFFF00) << true << "workspace"
        << "text.flx is damaged: the record of table entry 2" << false << 0;
    QTest::newRow("text.flx: count beyond the file")
        << "game/text.flx" << withU32(text, 84, 0x10000000) << true << "workspace"
        << "text.flx" << false << 0;
    QTest::newRow("text.flx: header cut short")
        << "game/text.flx" << text.left(60) << true << "workspace"
        << "text.flx" << false << 0;

    // Colleagues' comment files are skipped with one warning; the own one is
    // never overwritten (kept aside on the next write).
    QTest::newRow("comments: count beyond the bytes")
        << "prog/2.cmt" << commentFile(0x7FFFFFFF) << false << ""
        << "2.cmt" << true << 1;
    QTest::newRow("comments: negative count") << "prog/2.cmt" << commentFile(-1) << false << ""
                                              << "2.cmt" << true << 1;
    QTest::newRow("comments: own file cut short")
        << "prog/1.cmt" << commentFile(1).chopped(3) << false << ""
        << "1.cmt" << true << 1;
    QTest::newRow("comments: name not a number")
        << "prog/notes.cmt" << commentFile(1) << false << ""
        << "notes.cmt" << true << 1;

    QTest::newRow("FuncStatus.dat: too short")
        << "prog/FuncStatus.dat" << QByteArray("\x01", 1) << false << ""
        << "FuncStatus.dat" << true << 1;
    QTest::newRow("FuncStatus.dat: too long")
        << "prog/FuncStatus.dat" << QByteArray(5000, '\x05') << false << ""
        << "FuncStatus.dat" << true << 1;

    // u7.dic: an unpaired last line is dropped without a word.
    QTest::newRow("u7.dic: odd number of lines")
        << "prog/u7.dic" << QByteArray("Avatar\r\nAvatar\r\nBritain\r\n") << false << ""
        << "" << true << 1;
    QTest::newRow("u7.dic: binary junk")
        << "prog/u7.dic" << QByteArray("\xff\xfe\x01\x02\r\r\n\x7f\x80\x81 a\0junk", 17) << false
        << ""
        << "" << true << 1;

    // LEXIVO.INI: junk reads as defaults, huge values are kept or refused by name.
    QTest::newRow("LEXIVO.INI: 10 MB translators list and name")
        << "" << QByteArray() << false << ""
        << "" << true << 1;
    QTest::newRow("LEXIVO.INI: 10 MB editor folder")
        << "" << QByteArray("EDITOR") << false << "reference"
        << "DIRECTORY/EDITOR" << false << 0;
    QTest::newRow("LEXIVO.INI: binary junk") << "" << QByteArray("junk") << false << ""
                                             << "" << true << 1;
}

void TestBadInput::damagedFile() {
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, firstStart);
    QFETCH(QString, stoppedAt);
    QFETCH(QString, message);
    QFETCH(bool, textLoaded);
    QFETCH(int, dictionaryEntries);

    Fixture fx;
    fx.writeGame();
    if (!firstStart) fx.work();
    if (QTest::currentTestFailed()) return;

    if (file.isEmpty()) {
        // The configuration, damaged around the keys start-up needs.
        QByteArray ini = readFile(fx.program() + "LEXIVO.INI");
        if (bytes == "EDITOR") {
            ini.replace("[DIRECTORY]\r\n",
                        "[DIRECTORY]\r\nEDITOR=" + QByteArray(10 << 20, 'e') + "\r\n");
        } else if (bytes == "junk") {
            QByteArray junk;
            for (int i = 0; i < 4096; ++i)
                junk.append(char((i * 7919) % 256));
            ini = junk + "\r\n" + ini + "\r\n[SETTING]\r\nLASTFUNC=\x01\xff\r\n" + junk;
        } else {
            ini += "[GROUP]\r\nTRANSLATORSNAMES=" + QByteArray(10 << 20, 'n') +
                   "\r\n[USER]\r\nNAME=" + QByteArray(10 << 20, 'u') + "\r\n";
        }
        file = "prog/LEXIVO.INI";
        bytes = ini;
    }
    writeFile(fx.root.path() + "/" + file, bytes);
    const Snapshot before = fx.snapshot();

    Workspace ws(fx.program());
    const StartUp result = startUp(ws);
    QCOMPARE(result.stoppedAt, stoppedAt);
    if (!stoppedAt.isEmpty()) {
        QVERIFY2(result.error.contains(message), qPrintable(result.error));
        QVERIFY2(result.error.size() < 400, qPrintable(result.error.left(400)));
    } else if (!message.isEmpty()) {
        QVERIFY2(result.warnings.contains(message), qPrintable(result.warnings));
        QVERIFY2(result.warnings.size() < 1000, qPrintable(result.warnings.left(400)));
    }
    QCOMPARE(ws.gameTextLoaded(), textLoaded);
    QCOMPARE(ws.dictionary().entries().size(), qsizetype(dictionaryEntries));

    // Nothing already on disk changed; only a first start makes new files.
    const Snapshot after = fx.snapshot();
    for (auto it = before.begin(); it != before.end(); ++it) {
        QVERIFY2(after.contains(it.key()), qPrintable(it.key()));
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + " changed"));
    }
    if (!firstStart) QCOMPARE(after.size(), before.size());
}

void TestBadInput::hugeTranslationFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("applied");
    QTest::newRow("100,000 lines") << lines(100000, "line") << false;
    QTest::newRow("one 1 MB line") << lines(1, QByteArray(1 << 20, 'w')) + "Adieu.\r\n" << true;
    QTest::newRow("1 MB without a line break") << QByteArray(1 << 20, 'w') << false;
}

// A translation file far beyond anything a translator types: shown, checked
// and rebuilt without a hang; a line count that does not fit keeps the
// function as it is, and what goes in comes out whole.
void TestBadInput::hugeTranslationFiles() {
    QFETCH(QByteArray, content);
    QFETCH(bool, applied);
    Fixture fx;
    fx.writeGame();
    fx.work();
    if (QTest::currentTestFailed()) return;
    writeFile(fx.program() + "0400.TXT", content);

    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QCOMPARE(ws.openFunctionLines(0).size(), splitLines(content).size());
    const Workspace::RebuildReport report = ws.Rebuild(true);
    const UsecodeFile rebuilt =
        parseUsecode(readFile(fx.game() + "usecode"), QStringLiteral("usecode"));
    QVERIFY2(rebuilt.problems.isEmpty(), qPrintable(rebuilt.problems.join('\n')));
    QCOMPARE(rebuilt.funcs.size(), 3);
    if (applied) {
        QVERIFY2(report.notApplied.isEmpty(), qPrintable(report.warnings.join('\n')));
        QCOMPARE(extractStrings(rebuilt.image, rebuilt.funcs[0]), splitLines(content));
    } else {
        QCOMPARE(report.notApplied, QList<quint16>{0x400});
        QVERIFY2(report.warnings.join('\n').contains("0400"),
                 qPrintable(report.warnings.join('\n')));
        QCOMPARE(extractStrings(rebuilt.image, rebuilt.funcs[0]), Functions[0]);
    }
    QCOMPARE(extractStrings(rebuilt.image, rebuilt.funcs[2]), Functions[2]);
}

void TestBadInput::translationFileNotAFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "pipe";
    QTest::newRow("folder") << "folder";
}

// Something other than a file under a translation file's name: the rebuild
// neither hangs on it nor writes anything, and says which file and why.
void TestBadInput::translationFileNotAFile() {
    QFETCH(QString, kind);
    Fixture fx;
    fx.writeGame();
    fx.work();
    if (QTest::currentTestFailed()) return;
    const QString path = fx.program() + "0401.TXT";
    QFile::remove(path);
    if (kind == "pipe")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QDir().mkdir(path));
    const QByteArray before = readFile(fx.game() + "usecode");

    Workspace ws(fx.program());
    ws.startWithoutWindow();
    try {
        ws.Rebuild(true);
        QFAIL("the rebuild went on");
    } catch (const Error& e) {
        QVERIFY2(e.message().startsWith("Error compiling function: 401\nCannot open file \"" +
                                        path + "\"."),
                 qPrintable(e.message()));
    }
    QCOMPARE(readFile(fx.game() + "usecode"), before);
}

QTEST_APPLESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
