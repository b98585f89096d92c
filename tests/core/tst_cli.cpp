// lexivo-cli commands on a small game.

#include "clicommands.h"
#include "gamebuilder/samplegame.h"
#include "testgame.h"
#include "workspace/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;
using namespace lexivo::testing;

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initExtractRebuildCheck();
    void checkReportsWrongLineCount();
    void textFilesThatAreNotSingleByte();
    void initOnUnusualUsecode();
    void missingGameIsAnError();
    void checkReportsDamagedUsecode();
    void sampleGameRebuildsIdentically_data();
    void sampleGameRebuildsIdentically();
};

namespace {
const QList<QList<QByteArray>> Game = {{"Good day.", "Bye."}, {"Hm."}};
}

void TestCli::initExtractRebuildCheck() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    const QByteArray image = smallUsecode(Game, true);
    writeFile(game + "usecode", image);
    writeIni(prog, game);

    cli::Output out;
    QCOMPARE(cli::init(prog, out), 0);
    QVERIFY(QFileInfo::exists(prog + "orig.pak"));
    QVERIFY(QFileInfo::exists(prog + "funclist.txt"));
    QVERIFY(!QFileInfo::exists(prog + "0400.TXT"));

    QCOMPARE(cli::extract(prog, out), 0);
    QCOMPARE(readFile(prog + "0400.TXT"), QByteArray("Good day.\r\nBye.\r\n"));
    QCOMPARE(readFile(prog + "0401.TXT"), QByteArray("Hm.\r\n"));

    out = {};
    QCOMPARE(cli::rebuild(prog, true, out), 0);
    QCOMPARE(readFile(game + "usecode"), image);
    QVERIFY(out.stdoutText.startsWith("Usecode compiled in "));

    writeFile(prog + "0401.TXT", "Hmm, a longer answer this time.\r\n");
    out = {};
    QCOMPARE(cli::rebuild(prog, false, out), 0);
    QVERIFY(readFile(game + "usecode").contains("Hmm, a longer answer this time."));
    QCOMPARE(cli::check(prog, out), 0);
}

void TestCli::checkReportsWrongLineCount() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", smallUsecode(Game));
    writeIni(prog, game);
    writeFile(prog + "0400.TXT", "only one line\r\n");
    cli::Output out;
    QCOMPARE(cli::check(prog, out), 1);
    QCOMPARE(out.stdoutText.count('\n'), 1);
    QVERIFY(out.stdoutText.contains("0400.TXT: 1 lines, but function 0400 has 2 strings"));

    // The rebuild keeps that function as it is, says so, and fails.
    const QByteArray before = readFile(game + "usecode");
    out = {};
    QCOMPARE(cli::rebuild(prog, true, out), 1);
    QCOMPARE(readFile(game + "usecode"), before);
    QVERIFY(out.stderrText.contains("0400"));
    QVERIFY2(out.stderrText.contains("1 translations were not applied (0400)") &&
                 out.stderrText.contains("was written with the others"),
             qPrintable(out.stderrText));
}

// UTF-8 (with a byte-order mark) and UTF-16 translation files are named by the
// check and never compiled.
void TestCli::textFilesThatAreNotSingleByte() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    const QByteArray image = smallUsecode(Game);
    writeFile(game + "usecode", image);
    writeIni(prog, game);
    const QByteArray utf8 = "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F dich.\r\nTsch\xC3\xBCss.\r\n";
    const QByteArray utf16("H\0m\0!\0\r\0\n\0", 10);
    writeFile(prog + "0400.TXT", utf8);
    writeFile(prog + "0401.TXT", utf16);
    cli::Output out;
    QCOMPARE(cli::check(prog, out), 1);
    QCOMPARE(out.stdoutText.count("not a Windows-1252 text file"), 2);
    QVERIFY(out.stdoutText.contains(prog + "0400.TXT") &&
            out.stdoutText.contains(prog + "0401.TXT"));
    out = {};
    QCOMPARE(cli::rebuild(prog, true, out), 1);
    QCOMPARE(readFile(game + "usecode"), image);
    QVERIFY2(out.stderrText.contains("2 translations were not applied (0400, 0401)"),
             qPrintable(out.stderrText));
}

// A repeated function number is a notice: init builds the workspace; an empty
// usecode file is damage and leaves no orig.pak behind.
void TestCli::initOnUnusualUsecode() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    gamebuild::FunctionSpec a, b;
    a.number = b.number = 0x0401;
    a.strings = {"first"};
    b.strings = {"second"};
    a.code = b.code = gamebuild::simpleConversation(1);
    writeFile(game + "usecode", gamebuild::functionRecord(a) + gamebuild::functionRecord(b));
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::init(prog, out), 0);
    QVERIFY(QFileInfo::exists(prog + "orig.pak"));
    QVERIFY(out.stderrText.contains("already used"));
    QCOMPARE(cli::check(prog, out), 0);

    QVERIFY(QFile::remove(prog + "orig.pak"));
    QVERIFY(QFile::remove(prog + "usecode.orig"));
    writeFile(game + "usecode", QByteArray());
    QVERIFY_THROWS_EXCEPTION(Error, cli::init(prog, out));
    QVERIFY(!QFileInfo::exists(prog + "orig.pak"));
    QVERIFY(!QFileInfo::exists(prog + "usecode.orig"));

    // The program prints what the loader found before the failure.
    const QString exe = QCoreApplication::applicationDirPath() + "/../cli/lexivo-cli";
    if (!QFileInfo::exists(exe)) QSKIP("lexivo-cli not built beside the tests");
    QByteArray damaged = smallUsecode(Game);
    damaged.chop(2);
    writeFile(game + "usecode", damaged);
    QProcess p;
    p.start(exe, {"--ini", prog + "LEXIVO.INI", "init"});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 1);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("record at byte offset") && err.contains("runs past the end") &&
                 err.contains("orig.pak was not built"),
             err.constData());
}

void TestCli::missingGameIsAnError() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/";
    writeIni(prog, root.path() + "/nowhere/");
    cli::Output out;
    try {
        cli::init(prog, out);
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("Warning! Cannot find \"usecode\" file! Check path and file."));
    }

    // The program itself: message on standard error, exit 1; usage errors 2.
    const QString exe = QCoreApplication::applicationDirPath() + "/../cli/lexivo-cli";
    if (!QFileInfo::exists(exe)) QSKIP("lexivo-cli not built beside the tests");
    QProcess p;
    p.start(exe, {"--ini", prog + "LEXIVO.INI", "init"});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardError().contains("Cannot find \"usecode\""));
    p.start(exe, {"frobnicate"});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 2);
}

void TestCli::checkReportsDamagedUsecode() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    QByteArray image = smallUsecode(Game);
    image.chop(2); // the last record runs past the end of the file
    writeFile(game + "usecode", image);
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::check(prog, out), 1);
    QVERIFY2(out.stdoutText.contains(game + "usecode"), qPrintable(out.stdoutText));
    QVERIFY(out.stdoutText.contains("runs past the end"));
    // A rebuild refuses such a file and leaves it as it was.
    QVERIFY_THROWS_EXCEPTION(Error, cli::rebuild(prog, true, out));
    QCOMPARE(readFile(game + "usecode"), image);
}

void TestCli::sampleGameRebuildsIdentically_data() {
    QTest::addColumn<bool>("staticFolder");
    QTest::newRow("game folder") << false;
    QTest::newRow("STATIC folder") << true;
}

// The sample game holds accented control letters, 0x92 and 0x96 on purpose:
// with every translation file as extracted, the complete rebuild gives back
// the very same file, and the check finds nothing.
void TestCli::sampleGameRebuildsIdentically() {
    QFETCH(bool, staticFolder);
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    gamebuild::SampleGameOptions options;
    options.staticFolder = staticFolder;
    gamebuild::writeSampleGame(game, options);
    const QString usecode = game + (staticFolder ? "STATIC/USECODE" : "usecode");
    const QByteArray image = readFile(usecode);
    QVERIFY(!image.isEmpty());
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::check(prog, out), 0);
    QVERIFY(!QFileInfo::exists(prog + "orig.pak")); // the check writes nothing
    QCOMPARE(cli::extract(prog, out), 0);
    out = {};
    QCOMPARE(cli::rebuild(prog, true, out), 0);
    QCOMPARE(out.stderrText, QString());
    QCOMPARE(readFile(usecode), image);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
