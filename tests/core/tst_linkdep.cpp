// The original DOS engine's index files LINKDEP1 and LINKDEP2, the limits of
// that engine, and the "Original releases" game-text encoding.

#include "clicommands.h"
#include "gamebuilder/samplegame.h"
#include "gamebuilder/textarchive.h"
#include "gamebuilder/usecodebuilder.h"
#include "testgame.h"
#include "usecode/linkdep.h"
#include "usecode/usecodefile.h"
#include "workspace/config.h"
#include "workspace/errors.h"
#include "workspace/textlines.h"
#include "workspace/translationfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <functional>
#include <map>
#include <set>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

quint16 u16At(const QByteArray& b, qint64 at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}

// Written from the description of the files alone, for standard records: the
// reference the engine's output is compared with.
struct Reference {
    QByteArray linkdep1, linkdep2;
};
Reference referenceLinkDep(const QByteArray& usecode) {
    struct Rec {
        quint32 offset;
        quint16 size;
        std::vector<quint16> externs;
    };
    std::map<quint16, Rec> recs;
    for (qint64 pos = 0; pos < usecode.size();) {
        const quint16 id = u16At(usecode, pos), size = u16At(usecode, pos + 2);
        const quint16 dataSize = u16At(usecode, pos + 4);
        const qint64 code = pos + 6 + dataSize;
        Rec r{quint32(pos), size, {}};
        for (int i = 0; i < u16At(usecode, code + 4); ++i)
            r.externs.push_back(u16At(usecode, code + 6 + 2 * i));
        recs[id] = r;
        pos += 4 + size;
    }
    const auto put16 = [](QByteArray& out, quint16 v) {
        out.append(char(v & 0xFF)).append(char(v >> 8));
    };
    Reference ref;
    quint16 written = 0;
    for (quint32 id = 0; id <= recs.rbegin()->first; ++id) {
        if (!recs.count(quint16(id))) {
            put16(ref.linkdep1, written);
            put16(ref.linkdep1, 0xFFFF);
            continue;
        }
        std::set<quint16> tree;
        std::function<void(quint16)> visit = [&](quint16 f) {
            if (!tree.insert(f).second) return;
            for (quint16 e : recs.at(f).externs)
                visit(e);
        };
        visit(quint16(id));
        quint32 sum = 0;
        for (quint16 f : tree) {
            sum += recs.at(f).size;
            const quint32 off = recs.at(f).offset;
            for (int k = 0; k < 4; ++k)
                ref.linkdep2.append(char((off >> (8 * k)) & 0xFF));
        }
        put16(ref.linkdep1, written);
        put16(ref.linkdep1, quint16(sum));
        written += quint16(tree.size());
    }
    put16(ref.linkdep1, written);
    put16(ref.linkdep1, 0);
    return ref;
}

// A standard record: one string of `bytes` bytes, the given extern table.
QByteArray externRecord(quint16 number, QList<quint16> externs, int bytes = 8) {
    gamebuild::FunctionSpec f;
    f.number = number;
    f.strings = {QByteArray(bytes, 'x')};
    f.code = gamebuild::CodeAssembler(0, 0, externs);
    f.code.stringRef(0x1D, 0).op(0x33).op(0x25);
    return gamebuild::functionRecord(f);
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

struct DosWorkspace {
    QTemporaryDir root;
    QString prog, game;
    explicit DosWorkspace(const QByteArray& extraIni = {}) {
        prog = root.path() + "/prog/";
        game = root.path() + "/game/";
        gamebuild::SampleGameOptions options;
        options.dos = true;
        gamebuild::writeSampleGame(game, options);
        writeIni(prog, game, {}, extraIni);
    }
};

} // namespace

class TestLinkDep : public QObject {
    Q_OBJECT

private slots:
    void rebuildsMatchIndependentGenerator_data();
    void rebuildsMatchIndependentGenerator();
    void checkFindsStaleFiles();
    void limitsRefuseTheRebuild_data();
    void limitsRefuseTheRebuild();
    void nothingIsReplacedWhenOneFileCannotBeWritten();
    void pendingJournalNamesOnlyItsOwnFolder();
    void translationNeedingWideFormsIsKept();
    void checkReportsLengthLimits();
    void originalReleasesEncoding_data();
    void originalReleasesEncoding();
    void gameTextSetting_data();
    void gameTextSetting();
};

void TestLinkDep::rebuildsMatchIndependentGenerator_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("untouched") << "";
    QTest::newRow("longer") << "longer";
    QTest::newRow("shorter") << "shorter";
    QTest::newRow("emptied") << "emptied";
}

void TestLinkDep::rebuildsMatchIndependentGenerator() {
    QFETCH(QString, change);
    DosWorkspace ws;
    const QByteArray before = readFile(ws.game + "USECODE");
    {
        const Reference ref = referenceLinkDep(before);
        QCOMPARE(readFile(ws.game + "LINKDEP1"), ref.linkdep1);
        QCOMPARE(readFile(ws.game + "LINKDEP2"), ref.linkdep2);
    }
    cli::Output out;
    QCOMPARE(cli::extract(ws.prog, out), 0);
    // Callees shared by several trees and functions in cycles.
    for (const char* name : {"0096.TXT", "0401.TXT", "0402.TXT", "0405.TXT", "0409.TXT"}) {
        Lines lines = loadTranslationFile(ws.prog + name);
        for (QByteArray& line : lines) {
            if (change == "longer") line += " - and a good deal more, said at length";
            if (change == "shorter") line = line.left(2);
            if (change == "emptied") line.clear();
        }
        saveTextLines(ws.prog + name, lines);
    }
    out = {};
    QCOMPARE(cli::rebuild(ws.prog, true, out), 0);
    // 0x0408 calls 0x0100 by number, but has no extern for it.
    QVERIFY2(out.stderrText.contains("function 0408 calls function 0100 directly"),
             qPrintable(out.stderrText));

    const QByteArray usecode = readFile(ws.game + "USECODE");
    QCOMPARE(usecode == before, change.isEmpty());
    const Reference ref = referenceLinkDep(usecode);
    const QByteArray l1 = readFile(ws.game + "LINKDEP1"), l2 = readFile(ws.game + "LINKDEP2");
    QCOMPARE(l1, ref.linkdep1);
    QCOMPARE(l2, ref.linkdep2);
    // Every entry points at a record of a function of the tree it belongs to.
    for (qint64 id = 0; id + 1 < l1.size() / 4; ++id) {
        const quint16 first = u16At(l1, 4 * id), size = u16At(l1, 4 * id + 2);
        const quint16 next = u16At(l1, 4 * id + 4);
        if (size == 0xFFFF) {
            QCOMPARE(next, first);
            continue;
        }
        bool own = false;
        quint32 sum = 0;
        for (quint16 e = first; e < next; ++e) {
            const quint32 offset = qFromLittleEndian<quint32>(l2.constData() + 4 * e);
            own = own || u16At(usecode, offset) == id;
            sum += u16At(usecode, offset + 2);
        }
        QVERIFY2(own, qPrintable(QString::number(id, 16)));
        QCOMPARE(sum, quint32(size));
    }
    QCOMPARE(filesIn(ws.game), QStringList({"LINKDEP1", "LINKDEP2", "TEXT.FLX", "USECODE"}));
    out = {};
    QCOMPARE(cli::check(ws.prog, out), 0);
}

void TestLinkDep::checkFindsStaleFiles() {
    DosWorkspace ws;
    const QByteArray old2 = readFile(ws.game + "LINKDEP2");
    cli::Output out;
    QCOMPARE(cli::extract(ws.prog, out), 0);
    Lines sign = loadTranslationFile(ws.prog + "0096.TXT");
    sign[0] = "A much longer signpost than the one before.";
    saveTextLines(ws.prog + "0096.TXT", sign);
    // The check reads only: it says nothing about a translation not yet built.
    QCOMPARE(cli::check(ws.prog, out), 0);
    QCOMPARE(cli::rebuild(ws.prog, false, out), 0);
    writeFile(ws.game + "LINKDEP2", old2); // as a tool that ignores them would leave it
    out = {};
    QCOMPARE(cli::check(ws.prog, out), 1);
    QVERIFY2(out.stdoutText.contains("LINKDEP2 does not describe"), qPrintable(out.stdoutText));
    QVERIFY(!out.stdoutText.contains("LINKDEP1"));
}

void TestLinkDep::limitsRefuseTheRebuild_data() {
    QTest::addColumn<QByteArray>("usecode");
    QTest::addColumn<QString>("message"); // empty: the rebuild goes through
    QTest::addColumn<int>("grow");        // bytes the translation of 0x0400 adds

    // A chain 0x0400 -> 0x0401 -> ... of n functions; the last one calls back.
    const auto chain = [](int n) {
        QByteArray image;
        for (int i = 0; i < n; ++i)
            image += externRecord(quint16(0x400 + i), {quint16(0x400 + (i + 1) % n)});
        return image;
    };
    QTest::newRow("35 in a tree") << chain(35) << QString() << 0;
    QTest::newRow("36 in a tree") << chain(36) << "function 0400 has more than 35 functions" << 0;

    // Two functions calling each other whose size fields sum to `total`.
    const auto pair = [](int total) {
        const int overhead = int(externRecord(0x400, {0x401}, 0).size()) - 4; // size field
        const int first = total / 2, second = total - first;
        return externRecord(0x400, {0x401}, first - overhead) +
               externRecord(0x401, {0x400}, second - overhead);
    };
    QTest::newRow("65,389 bytes") << pair(65389) << QString() << 0;
    QTest::newRow("65,390 bytes") << pair(65390) << "function 0400 needs 65390 bytes" << 0;
    QTest::newRow("65,389 bytes, a byte longer translated")
        << pair(65389) << "function 0400 needs 65390 bytes" << 1;
    QTest::newRow("missing callee")
        << externRecord(0x400, {0x401}) + externRecord(0x401, {0x0999})
        << "function 0401 names function 0999 in its extern table, but the file has no "
           "function 0999"
        << 0;
    QTest::newRow("symbol table") << gamebuild::symbolTableHeader({}) + externRecord(0x400, {})
                                  << "symbol table" << 0;
    gamebuild::FunctionSpec wide;
    wide.number = 0x400;
    wide.strings = {"x"};
    wide.code.stringRef(0x9D, 0).op(0x25);
    QTest::newRow("32-bit form") << gamebuild::functionRecord(wide) << "opcode 0x9D" << 0;
    wide.code = gamebuild::CodeAssembler();
    wide.code.stringRef(0x1D, 0).op(0x25);
    wide.extended = true;
    QTest::newRow("extended record") << gamebuild::functionRecord(wide) << "extended record" << 0;
}

void TestLinkDep::limitsRefuseTheRebuild() {
    QFETCH(QByteArray, usecode);
    QFETCH(QString, message);
    QFETCH(int, grow);
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", usecode);
    writeFile(game + "linkdep1", "old one"); // any letter case
    writeFile(game + "LinkDep2", "old two");
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::extract(prog, out), 0);
    // A translated line (of the same length unless the row grows it), so that
    // the rebuild has something to write.
    Lines lines = loadTranslationFile(prog + "0400.TXT");
    lines[0] = QByteArray(lines[0].size() + grow, 'y');
    saveTextLines(prog + "0400.TXT", lines);

    if (message.isEmpty()) {
        QCOMPARE(cli::rebuild(prog, true, out), 0);
        const QByteArray written = readFile(game + "usecode");
        QVERIFY(written != usecode);
        QCOMPARE(readFile(game + "linkdep1"), referenceLinkDep(written).linkdep1);
        QCOMPARE(readFile(game + "LinkDep2"), referenceLinkDep(written).linkdep2);
    } else {
        try {
            cli::rebuild(prog, true, out);
            QFAIL("the rebuild went through");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            QVERIFY(e.message().contains("nothing was written"));
        }
        QCOMPARE(readFile(game + "usecode"), usecode);
        QCOMPARE(readFile(game + "linkdep1"), QByteArray("old one"));
        QCOMPARE(readFile(game + "LinkDep2"), QByteArray("old two"));
    }
    QCOMPARE(filesIn(game), QStringList({"LinkDep2", "linkdep1", "usecode"}));
}

void TestLinkDep::nothingIsReplacedWhenOneFileCannotBeWritten() {
    DosWorkspace ws;
    const QByteArray usecode = readFile(ws.game + "USECODE");
    const QByteArray l1 = readFile(ws.game + "LINKDEP1");
    QFile::remove(ws.game + "LINKDEP2");
    QDir().mkpath(ws.game + "LINKDEP2"); // a folder where the file is to go
    cli::Output out;
    QCOMPARE(cli::extract(ws.prog, out), 0);
    saveTextLines(ws.prog + "0096.TXT", {"Shorter."});
    QVERIFY_THROWS_EXCEPTION(FileError, cli::rebuild(ws.prog, true, out));
    QCOMPARE(readFile(ws.game + "USECODE"), usecode);
    QCOMPARE(readFile(ws.game + "LINKDEP1"), l1);
    QCOMPARE(filesIn(ws.game), QStringList({"LINKDEP1", "TEXT.FLX", "USECODE"}));
}

// A journal left by a stopped rebuild puts in place only the waiting files
// of its own folder, whatever else it names.
void TestLinkDep::pendingJournalNamesOnlyItsOwnFolder() {
    QTemporaryDir root;
    const QString game = root.path() + "/game/";
    QDir().mkpath(game);
    writeFile(game + "USECODE", "old usecode");
    writeFile(game + "USECODE.lexivo-new", "new usecode");
    writeFile(root.path() + "/outside", "outside");
    writeFile(root.path() + "/outside.lexivo-new", "replaced");
    writeFile(game + "lexivo-rebuild.pending", "../outside\r\n" + QFile::encodeName(root.path()) +
                                                   "/outside\r\n\r\n..\r\nUSECODE\r\n"
                                                   "LINKDEP1\r\n");
    QCOMPARE(completePendingWrites(game),
             QString("A rebuild was stopped while it replaced the game files; its files are now "
                     "all in place (USECODE)."));
    QCOMPARE(readFile(game + "USECODE"), QByteArray("new usecode"));
    QCOMPARE(readFile(root.path() + "/outside"), QByteArray("outside"));
    QCOMPARE(filesIn(game), QStringList({"USECODE"}));
    QCOMPARE(completePendingWrites(game), QString()); // nothing pending any more
}

void TestLinkDep::translationNeedingWideFormsIsKept() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    const QByteArray usecode = externRecord(0x400, {0x401}) + externRecord(0x401, {});
    writeFile(game + "usecode", usecode);
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::extract(prog, out), 0);
    saveTextLines(prog + "0400.TXT", {QByteArray(70000, 'y')});
    saveTextLines(prog + "0401.TXT", {"short"});

    // Without the index files the open-source engine reads the extended form.
    QCOMPARE(cli::rebuild(prog, true, out), 0);
    QVERIFY(readFile(game + "usecode").startsWith("\xFF\xFF\x00\x04"));
    writeFile(game + "usecode", usecode);

    const Reference ref = referenceLinkDep(usecode);
    writeFile(game + "LINKDEP1", ref.linkdep1);
    writeFile(game + "LINKDEP2", ref.linkdep2);
    out = {};
    QCOMPARE(cli::check(prog, out), 1);
    QVERIFY2(out.stdoutText.contains("Function 0400: its translation would need the extended "
                                     "record form"),
             qPrintable(out.stdoutText));
    QVERIFY(out.stdoutText.contains("Shorten its translation."));
    out = {};
    QCOMPARE(cli::rebuild(prog, true, out), 1);
    QVERIFY(out.stderrText.contains("Function 0400: its translation would need the extended"));
    const QByteArray written = readFile(game + "usecode");
    QVERIFY(written.startsWith(externRecord(0x400, {0x401})));
    QVERIFY(written.contains("short"));
    QCOMPARE(readFile(game + "LINKDEP1"), referenceLinkDep(written).linkdep1);
    QCOMPARE(readFile(game + "LINKDEP2"), referenceLinkDep(written).linkdep2);
}

void TestLinkDep::checkReportsLengthLimits() {
    DosWorkspace ws;
    cli::Output out;
    QCOMPARE(cli::extract(ws.prog, out), 0);
    Lines lines = loadTranslationFile(ws.prog + "0096.TXT");
    lines[0] = QByteArray(999, 'a');
    saveTextLines(ws.prog + "0096.TXT", lines);
    Lines text = loadTextLines(ws.prog + "text.txt");
    text[1] = QByteArray(255, 'b') + " # a note does not count";
    saveTextLines(ws.prog + "text.txt", text);
    QCOMPARE(cli::check(ws.prog, out), 0);

    lines[0] = QByteArray(998, 'a') + "\\T\\N"; // 1,001 bytes in the game
    saveTextLines(ws.prog + "0096.TXT", lines);
    text[1] = QByteArray(256, 'b');
    saveTextLines(ws.prog + "text.txt", text);
    out = {};
    QCOMPARE(cli::check(ws.prog, out), 1);
    QVERIFY2(out.stdoutText.contains("0096.TXT, line 1: 1001 bytes"), qPrintable(out.stdoutText));
    QVERIFY(out.stdoutText.contains("text.txt, line 2: 257 bytes with its NUL"));
}

void TestLinkDep::originalReleasesEncoding_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("game"); // what "é ö ß" becomes
    QTest::newRow("default") << QByteArray() << QByteArray("\xE9 \xF6 \xDF");
    QTest::newRow("WINDOWS") << QByteArray("WINDOWS") << QByteArray("\xE9 \xF6 \xDF");
    QTest::newRow("ORIGINAL") << QByteArray("ORIGINAL") << QByteArray("\x03 \x14 \x1C");
}

void TestLinkDep::originalReleasesEncoding() {
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, game);
    const bool original = setting == "ORIGINAL";
    DosWorkspace ws(setting.isEmpty() ? QByteArray() : "[SETTING]\r\nGAMETEXT=" + setting + "\r\n");
    cli::Output out;
    QCOMPARE(cli::extract(ws.prog, out), 0);
    const QByteArray before = readFile(ws.game + "USECODE");
    Lines sign = loadTranslationFile(ws.prog + "0096.TXT");
    sign[0] = "\xE9 \xF6 \xDF \x92 \x96";
    saveTextLines(ws.prog + "0096.TXT", sign);
    Lines smith = loadTranslationFile(ws.prog + "0402.TXT");
    smith[1] = "Ten \x80 a nail";
    saveTextLines(ws.prog + "0402.TXT", smith);
    Lines text = loadTextLines(ws.prog + "text.txt");
    text[0] = "Tr\xE8s loin.";
    saveTextLines(ws.prog + "text.txt", text);

    QCOMPARE(cli::rebuild(ws.prog, true, out), original ? 1 : 0);
    const QByteArray usecode = readFile(ws.game + "USECODE");
    QVERIFY(usecode.contains(game + " ' -"));
    QCOMPARE(usecode.contains("Ten \x80 a nail"), !original);
    const QByteArray archive = readFile(ws.game + "TEXT.FLX");
    QVERIFY2(archive.contains(original ? "Tr\x0Cs loin." : "Tr\xE8s loin."),
             qPrintable(out.stderrText));
    if (original) {
        QVERIFY2(out.stderrText.contains("Function 0402, line 2: the letter \"\u20AC\" (0x80)"),
                 qPrintable(out.stderrText));
        // The smith is kept byte for byte.
        const auto smithRecord = [](const QByteArray& image) {
            const UsecodeFile file = parseUsecode(image, "USECODE");
            for (const tFunc& f : file.funcs)
                if (f.FuncNum == 0x0402) return recordBytes(image, f);
            return QByteArray();
        };
        QVERIFY(!smithRecord(before).isEmpty());
        QCOMPARE(smithRecord(usecode), smithRecord(before));

        // A line the archive holds already keeps its bytes, whatever they are.
        const QByteArray oldArchive = readFile(ws.game + "TEXT.FLX");
        writeFile(ws.game + "TEXT.FLX", gamebuild::textArchive({QByteArray("Tr\x0Cs \x85 loin.")}));
        writeFile(ws.prog + "text.txt", "Tr\xE8s \x85 loin.\r\n");
        out = {};
        QCOMPARE(cli::rebuild(ws.prog, true, out), 1); // the smith, as before
        QVERIFY(!out.stderrText.contains("text.txt"));
        QVERIFY(readFile(ws.game + "TEXT.FLX").contains("Tr\x0Cs \x85 loin."));
        writeFile(ws.game + "TEXT.FLX", oldArchive);

        // A text.txt line with such a letter keeps the whole archive as it is.
        text[0] = "\x80 no";
        saveTextLines(ws.prog + "text.txt", text);
        out = {};
        QCOMPARE(cli::rebuild(ws.prog, true, out), 1);
        QVERIFY2(out.stderrText.contains("text.txt, line 1: the letter \"\u20AC\""),
                 qPrintable(out.stderrText));
        QCOMPARE(readFile(ws.game + "TEXT.FLX"), archive);

        // Letters a rebuild wrote as Windows bytes go to game bytes when the
        // setting changes, though the line reads the same.
        smith[1] = "Ten a nail";
        saveTextLines(ws.prog + "0402.TXT", smith);
        writeIni(ws.prog, ws.game, {}, "[SETTING]\r\nGAMETEXT=WINDOWS\r\n");
        QCOMPARE(cli::rebuild(ws.prog, true, out), 0);
        QVERIFY(readFile(ws.game + "USECODE").contains("\xE9 \xF6 \xDF"));
        writeIni(ws.prog, ws.game, {}, "[SETTING]\r\nGAMETEXT=ORIGINAL\r\n");
        // The text line "\x80 no" is in the archive now: it keeps its bytes.
        QCOMPARE(cli::rebuild(ws.prog, true, out), 0);
        QVERIFY(readFile(ws.game + "USECODE").contains("\x03 \x14 \x1C"));
    }
}

void TestLinkDep::gameTextSetting_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("original");
    QTest::newRow("ORIGINAL") << QByteArray("ORIGINAL") << true;
    QTest::newRow("original") << QByteArray(" original ") << true;
    QTest::newRow("WINDOWS") << QByteArray("WINDOWS") << false;
    QTest::newRow("other") << QByteArray("DOS") << false;
}

void TestLinkDep::gameTextSetting() {
    QFETCH(QByteArray, value);
    QFETCH(bool, original);
    QTemporaryDir root;
    const QString path = root.path() + "/LEXIVO.INI";
    writeFile(path, "[SETTING]\r\nGAMETEXT=" + value + "\r\n");
    IniFile ini(path);
    QCOMPARE(readSettings(ini, "/").gameTextEncoding == GameTextEncoding::Original, original);
    writeGameTextEncoding(ini, original ? GameTextEncoding::Windows : GameTextEncoding::Original);
    QCOMPARE(readFile(path),
             QByteArray("[SETTING]\r\nGAMETEXT=") + (original ? "WINDOWS" : "ORIGINAL") + "\r\n");
}

QTEST_GUILESS_MAIN(TestLinkDep)
#include "tst_linkdep.moc"
