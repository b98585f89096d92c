// lexivo-cli commands on a small game.

#include "clicommands.h"
#include "gamebuilder/samplegame.h"
#include "gamebuilder/textarchive.h"
#include "testgame.h"
#include "workspace/errors.h"
#include "workspace/pack.h"
#include "workspace/translationfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
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
    void suggestProposals();
    void suggestWritesNothing();
    void suggestFailures();
    void suggestProgram();
    void checkReportsTextLineCount_data();
    void checkReportsTextLineCount();
    void rebuildFailsWhenTextIsNotWritten();
    void findAgreesWithIndependentSearch();
    void findProgram();
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

namespace {

// A game of three functions and a reference for the first two: its usecode
// holds the translations, its pack the originals they were made from (one
// differs in letter case, one by a letter, one is unrelated).
QString writeReferenceGame(const QTemporaryDir& root, bool withReference = true) {
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode",
              smallUsecode({{"Good day, traveller.", "Farewell, my friend!", "A new line."},
                            {"Hm."},
                            {"Good day, traveller."}}));
    writeFile(prog + "ref/usecode",
              smallUsecode({{"Guten Tag, Reisender.", "Leb wohl, mein Freund!", "Unsinn."},
                            {"Hm-hm, caf\xE9."}}));
    Pack::write(prog + "ref/ref.pak",
                Pack::buildContent(
                    {{"GOOD DAY, TRAVELLER.", "Farewell, my friends!", "Something else entirely."},
                     {"Hm."}}));
    writeIni(prog, game, {},
             withReference ? QByteArray("REF_USECODE=ref/usecode\r\nREF_PAK=ref/ref.pak\r\n")
                           : QByteArray());
    return prog;
}

} // namespace

void TestCli::suggestProposals() {
    QTemporaryDir root;
    const QString prog = writeReferenceGame(root);
    cli::Output out;
    QCOMPARE(cli::suggest(prog, 0x400, false, out), 0);
    // 200 * 20 / 41 = 97.6
    QCOMPARE(out.stdoutBytes,
             QByteArray("0\texact\tGuten Tag, Reisender.\n1\t98\tLeb wohl, mein Freund!\n"));

    // A translated line gets no proposal; the translation file is read as the
    // window reads it.
    writeFile(prog + "0400.TXT", "Guten Tag!\r\nFarewell, my friend!\r\nA new line.\r\n");
    out = {};
    QCOMPARE(cli::suggest(prog, 0x400, false, out), 0);
    QCOMPARE(out.stdoutBytes, QByteArray("1\t98\tLeb wohl, mein Freund!\n"));

    // Function 0402 has no reference function of its own: only the whole
    // reference proposes, and the first match in it wins.
    out = {};
    QCOMPARE(cli::suggest(prog, 0x402, false, out), 1);
    QVERIFY2(out.stderrText.contains("No proposal for function 0402"), qPrintable(out.stderrText));
    out = {};
    QCOMPARE(cli::suggest(prog, 0x402, true, out), 0);
    QCOMPARE(out.stdoutBytes, QByteArray("0\texact\tGuten Tag, Reisender.\n"));

    // With orig.pak in place (after init) the originals come from it: the
    // game's strings may have been rebuilt with translations by then.
    QCOMPARE(cli::init(prog, out), 0);
    writeFile(prog + "0401.TXT", "Hmm!\r\n");
    QCOMPARE(cli::rebuild(prog, false, out), 0);
    QFile::remove(prog + "0401.TXT");
    out = {};
    QCOMPARE(cli::suggest(prog, 0x401, false, out), 1); // "Hmm!" is not its original "Hm."
    writeFile(prog + "0401.TXT", "Hm.\r\n");
    out = {};
    QCOMPARE(cli::suggest(prog, 0x401, false, out), 0);
    QCOMPARE(out.stdoutBytes, QByteArray("0\texact\tHm-hm, caf\xE9.\n"));
}

// No translation file, no orig.pak, no funclist.txt, no pristine copy.
void TestCli::suggestWritesNothing() {
    QTemporaryDir root;
    const QString prog = writeReferenceGame(root);
    const QMap<QString, QByteArray> before = snapshot(root.path());
    cli::Output out;
    QCOMPARE(cli::suggest(prog, 0x400, true, out), 0);
    QCOMPARE(cli::suggest(prog, 0x401, false, out), 0);
    QCOMPARE(snapshot(root.path()), before);
}

void TestCli::suggestFailures() {
    QTemporaryDir root;
    const QString prog = writeReferenceGame(root);
    cli::Output out;
    QCOMPARE(cli::suggest(prog, 0x4FF, true, out), 1);
    QVERIFY2(out.stderrText.contains("No function 04FF"), qPrintable(out.stderrText));

    writeFile(prog + "0400.TXT", "\xEF\xBB\xBFGuten Tag!\r\n");
    QVERIFY_THROWS_EXCEPTION(NotSingleByteText, cli::suggest(prog, 0x400, false, out));

    // A damaged reference pack ends the command with a message naming it.
    writeFile(prog + "ref/ref.pak", "BZh9 not a stream");
    try {
        cli::suggest(prog, 0x401, false, out);
        QFAIL("no error");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(prog + "ref/ref.pak"), qPrintable(e.message()));
    }

    QTemporaryDir plain;
    const QString noReference = writeReferenceGame(plain, false);
    out = {};
    QCOMPARE(cli::suggest(noReference, 0x400, true, out), 1);
    QVERIFY2(out.stderrText.contains("No reference translation"), qPrintable(out.stderrText));
}

void TestCli::suggestProgram() {
    const QString exe = QCoreApplication::applicationDirPath() + "/../cli/lexivo-cli";
    if (!QFileInfo::exists(exe)) QSKIP("lexivo-cli not built beside the tests");
    QTemporaryDir root;
    const QString ini = writeReferenceGame(root) + "LEXIVO.INI";
    const auto run = [&](const QStringList& args, QByteArray* output = nullptr) {
        QProcess p;
        p.start(exe, QStringList{"--ini", ini, "suggest"} + args);
        p.waitForFinished();
        if (output) *output = p.readAllStandardOutput();
        return p.exitCode();
    };
    QByteArray output;
    QCOMPARE(run({"--all", "401"}, &output), 0); // case and leading zeros do not matter
    QCOMPARE(output, QByteArray("0\texact\tHm-hm, caf\xE9.\n"));
    QCOMPARE(run({"0401", "--all"}, &output), 0);
    QCOMPARE(run({"4fF"}), 1);
    for (const QStringList& bad :
         {QStringList{}, {"40G"}, {"10000"}, {"0x401"}, {"401", "402"}, {"--every", "401"}})
        QCOMPARE(run(bad), 2);
}

void TestCli::checkReportsTextLineCount_data() {
    QTest::addColumn<QString>("gameFile");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("counted");
    QTest::newRow("archive") << "text.flx" << gamebuild::textArchive({"One.", std::nullopt, "Two."})
                             << "has 2 records";
    QTest::newRow("message file") << "textmsg.txt"
                                  << gamebuild::messageFile({"# messages", "0x1:One.", "0x2:Two."})
                                  << "has 2 message lines";
}

// text.txt with a line more than the game file has messages fails the check;
// so does a damaged archive, named with its entry.
void TestCli::checkReportsTextLineCount() {
    QFETCH(QString, gameFile);
    QFETCH(QByteArray, content);
    QFETCH(QString, counted);
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", smallUsecode(Game));
    writeFile(game + gameFile, content);
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::init(prog, out), 0);
    QCOMPARE(readFile(prog + "text.txt"), QByteArray("One.\r\nTwo.\r\n"));
    QCOMPARE(cli::check(prog, out), 0);
    writeFile(prog + "text.txt", "One.\r\nTwo.\r\nThree.\r\n");
    out = {};
    QCOMPARE(cli::check(prog, out), 1);
    QCOMPARE(out.stdoutText, QStringLiteral("%1: 3 lines, but %2 %3\n")
                                 .arg(prog + "text.txt", game + gameFile, counted));

    if (gameFile != "text.flx") return;
    writeFile(game + gameFile, content.chopped(1));
    out = {};
    QCOMPARE(cli::check(prog, out), 1);
    QVERIFY2(out.stdoutText.contains(game + gameFile) &&
                 out.stdoutText.contains("table entry 3 of 3"),
             qPrintable(out.stdoutText));
}

// A text step that cannot write its file fails the command, after the
// usecode file was written; the warnings say what happened.
void TestCli::rebuildFailsWhenTextIsNotWritten() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", smallUsecode(Game));
    writeFile(game + "TEXT.FLX", gamebuild::textArchive({"One.", "Two."}));
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::init(prog, out), 0);
    QVERIFY(QFile::remove(game + "TEXT.FLX"));
    out = {};
    QCOMPARE(cli::rebuild(prog, true, out), 1);
    QVERIFY(out.stdoutText.startsWith("Usecode compiled in "));
    QVERIFY2(out.stderrText.startsWith("The game text was not written: ") &&
                 out.stderrText.contains("held neither text.flx nor textmsg.txt"),
             qPrintable(out.stderrText));
    QVERIFY(!QFileInfo::exists(game + "TEXT.FLX") && !QFileInfo::exists(game + "Text.flx"));
}

namespace {

// A game whose function numbers go beyond 0x0FFF, in no order, one number
// carried twice, named by a symbol table (no funclist.txt).
struct FindGame {
    QList<quint16> numbers = {0x2A3F, 0x0401, 0x1000, 0x0401, 0x0096};
    QList<Lines> strings = {{"The sword."},
                            {"Hm.", "A SWORD!"},
                            {"swordfish", "Sword, sword"},
                            {"Second sword."},
                            {"caf\xE9 sword"}};
};

QString writeFindGame(const QTemporaryDir& root, const FindGame& g) {
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    QList<gamebuild::SymbolSpec> symbols;
    QByteArray records;
    for (int i = 0; i < g.numbers.size(); ++i) {
        gamebuild::SymbolSpec s;
        s.name = "Person " + QByteArray::number(i);
        s.value = g.numbers[i];
        if (i != 3) symbols << s;
        gamebuild::FunctionSpec f;
        f.number = g.numbers[i];
        f.strings = g.strings[i];
        f.code = gamebuild::simpleConversation(int(f.strings.size()));
        records += gamebuild::functionRecord(f);
    }
    writeFile(game + "usecode", gamebuild::symbolTableHeader(symbols) + records);
    writeIni(prog, game);
    return prog;
}

// The rows an independent search gives: every file of the editor directory
// named as a translation file (any case), by number, searched for the first
// function of its number; letters A-Z folded.
QByteArray independentRows(const QString& prog, const FindGame& g, const QByteArray& text) {
    QMap<uint, QString> files;
    static const QRegularExpression name(QStringLiteral("^[0-9A-F]{4}\\.TXT$"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const QString& file : QDir(prog).entryList(QDir::Files))
        if (name.match(file).hasMatch()) files.insert(file.left(4).toUInt(nullptr, 16), file);
    QByteArray rows;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const int index = int(g.numbers.indexOf(quint16(it.key())));
        if (index < 0) continue;
        const Lines lines = loadTranslationFile(prog + it.value());
        for (int j = 0; j < lines.size(); ++j)
            if (lines[j].toLower().contains(text.toLower()))
                rows += QByteArray::number(it.key(), 16).toUpper().rightJustified(4, '0') +
                        ": Person " + QByteArray::number(index) + " (" + QByteArray::number(j + 1) +
                        ")\n";
    }
    return rows;
}

} // namespace

// Through the translation files, numbers above 0x0FFF included, and through
// the originals (with and without orig.pak); nothing is written.
void TestCli::findAgreesWithIndependentSearch() {
    QTemporaryDir root;
    const FindGame g;
    const QString prog = writeFindGame(root, g);
    writeFile(prog + "2A3F.TXT", "La spada.\r\n");
    writeFile(prog + "0401.TXT", "Hm.\r\nUNA SPADA!\r\n");
    writeFile(prog + "1000.txt", "pesce spada\r\nSpada, spada\r\n");
    writeFile(prog + "0096.TXT", "spada?\r\n");
    writeFile(prog + "0999.TXT", "spada of no function\r\n");
    const QMap<QString, QByteArray> before = snapshot(root.path());

    cli::Output out;
    QCOMPARE(cli::find(prog, "Spada", false, out), 0);
    const QByteArray expected = independentRows(prog, g, "Spada");
    QCOMPARE(out.stdoutBytes, expected);
    QCOMPARE(expected.count('\n'), 5);
    QVERIFY(expected.startsWith("0096: Person 4 (1)\n0401: Person 1 (2)\n1000: Person 2 (1)"));

    out = {};
    QCOMPARE(cli::find(prog, "SWORD", true, out), 0);
    QCOMPARE(out.stdoutBytes, QByteArray("2A3F: Person 0 (1)\n0401: Person 1 (2)\n"
                                         "1000: Person 2 (1)\n1000: Person 2 (2)\n"
                                         "0401: Person 1 (1)\n0096: Person 4 (1)\n"));
    out = {};
    QCOMPARE(cli::find(prog, "sword", false, out), 1);
    QVERIFY2(out.stderrText.endsWith("No line of the translation files contains the text\n"),
             qPrintable(out.stderrText));
    QCOMPARE(snapshot(root.path()), before);
    // A function never shown has no file: its strings are searched.
    QVERIFY(QFile::remove(prog + "0096.TXT"));
    out = {};
    QCOMPARE(cli::find(prog, "sword", false, out), 0);
    QCOMPARE(out.stdoutBytes, QByteArray("0096: Person 4 (1)\n"));
    QVERIFY(!QFileInfo::exists(prog + "0096.TXT"));

    // With orig.pak the originals come from it, not from the usecode file
    // (which now holds the translations).
    QCOMPARE(cli::init(prog, out), 0);
    out = {};
    QCOMPARE(cli::rebuild(prog, true, out), 1); // the shared 0401 is kept, the others go in
    QVERIFY(out.stdoutText.startsWith("Usecode compiled"));
    QVERIFY(QFile::remove(prog + "usecode.orig"));
    out = {};
    QCOMPARE(cli::find(prog, "spada", true, out), 1);
    QCOMPARE(cli::find(prog, "sword", true, out), 0);
}

void TestCli::findProgram() {
    const QString exe = QCoreApplication::applicationDirPath() + "/../cli/lexivo-cli";
    if (!QFileInfo::exists(exe)) QSKIP("lexivo-cli not built beside the tests");
    QTemporaryDir root;
    const QString ini = writeFindGame(root, FindGame()) + "LEXIVO.INI";
    const auto run = [&](const QStringList& args, QByteArray* output = nullptr,
                         QByteArray* errors = nullptr) {
        QProcess p;
        p.start(exe, QStringList{"--ini", ini, "find"} + args);
        p.waitForFinished();
        if (output) *output = p.readAllStandardOutput();
        if (errors) *errors = p.readAllStandardError();
        return p.exitCode();
    };
    QByteArray output, errors;
    // The command line is UTF-8; the rows are the game's bytes.
    QCOMPARE(run({"--original", "CAF\u00C9"}, &output), 1); // \xC9 is not \xE9
    QCOMPARE(run({QString::fromUtf8("caf\u00E9 "), "--original"}, &output), 0);
    QCOMPARE(output, QByteArray("0096: Person 4 (1)\n"));
    QCOMPARE(run({"--", "--original"}), 1);
    QCOMPARE(run({"\u65E5"}, &output, &errors), 2);
    QVERIFY2(errors.contains("U+65E5") && output.isEmpty(), errors.constData());
    for (const QStringList& bad : {QStringList{}, {""}, {"a", "b"}, {"--original"}})
        QCOMPARE(run(bad), 2);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
