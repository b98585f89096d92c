// Quality checks of translated lines, the progress figures, and lexivo-cli qa.

#include "clicommands.h"
#include "gamebuilder/textarchive.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/qa.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;
using namespace lexivo::testing;

class TestQa : public QObject {
    Q_OBJECT

private slots:
    void lineChecks_data();
    void lineChecks();
    void sameOriginalTranslatedTwoWays();
    void messageLengthAndNotes();
    void progressFollowsSavedLines();
    void cliReportsEveryKind();
    void cliCleanWorkspace();
    void lineCountInQaAndCheck();
    void changesOnDiskForTheFastRebuild();
};

namespace {

QStringList checkNames(const QList<TranslationChecks::Problem>& problems) {
    QStringList names;
    for (const TranslationChecks::Problem& p : problems)
        names << QStringLiteral("%1:%2").arg(p.line + 1).arg(TranslationChecks::checkName(p.check));
    return names;
}

} // namespace

void TestQa::lineChecks_data() {
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("untranslated line, faults and all")
        << QByteArray(" a\\N* ") << QByteArray(" a\\N* ") << none;
    QTest::newRow("clean") << QByteArray("Good day.\\NHow are you?")
                           << QByteArray("Guten Tag.\\NWie geht es?") << none;
    QTest::newRow("line break lost")
        << QByteArray("One.\\NTwo.") << QByteArray("Eins. Zwei.") << QStringList{"1:linebreaks"};
    QTest::newRow("line break added")
        << QByteArray("One.") << QByteArray("Ei\\Nns.") << QStringList{"1:linebreaks"};
    QTest::newRow("page break") << QByteArray("Hi.*Bye.") << QByteArray("Hallo. Tschüss.")
                                << QStringList{"1:pagebreaks"};
    QTest::newRow("odd quotes") << QByteArray("He said @hi@.") << QByteArray("Er sagte @hallo.")
                                << QStringList{"1:quotes"};
    QTest::newRow("odd quotes as the original")
        << QByteArray("@hi") << QByteArray("@hallo") << none;
    QTest::newRow("even quotes, other count") << QByteArray("@a@") << QByteArray("@a@ @b@") << none;
    QTest::newRow("trailing space lost")
        << QByteArray("name ") << QByteArray("Name") << QStringList{"1:spaces"};
    QTest::newRow("leading space added")
        << QByteArray("name") << QByteArray(" Name") << QStringList{"1:spaces"};
    QTest::newRow("spaces kept") << QByteArray("  a ") << QByteArray("  b ") << none;
    QTest::newRow("empty says only empty")
        << QByteArray(" a\\N*@ ") << QByteArray() << QStringList{"1:empty"};
    QTest::newRow("empty original, text added") << QByteArray() << QByteArray("x") << none;
    QTest::newRow("byte without a character")
        << QByteArray("Hands") << QByteArray("H\x81nde") << QStringList{"1:codepage"};
    QTest::newRow("the original's own byte") << QByteArray("a\x0E") << QByteArray("b\x0E") << none;
    QTest::newRow("several at once")
        << QByteArray("a\\Nb*c") << QByteArray(" abc@")
        << QStringList{"1:linebreaks", "1:pagebreaks", "1:quotes", "1:spaces"};
}

void TestQa::lineChecks() {
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, translation);
    QFETCH(QStringList, expected);
    const Cp1252Codec codec;
    const TranslationChecks checks(codec);
    QCOMPARE(checkNames(checks.checkFunction({translation}, {original})), expected);
}

void TestQa::sameOriginalTranslatedTwoWays() {
    const Cp1252Codec codec;
    const TranslationChecks checks(codec);
    // Line 3 breaks the keyword; line 4 equals the original (never reported);
    // line 5 agrees with line 1.
    const Lines originals = {"name", "job", "name", "name", "name", "bye"};
    const Lines lines = {"Name", "Beruf", "Titel", "name", "Name", "Tschüss"};
    QCOMPARE(checkNames(checks.checkFunction(lines, originals)), QStringList{"3:inconsistent"});
    // The first line untranslated, a later one translated: the later differs.
    QCOMPARE(checkNames(checks.checkFunction({"job", "Beruf"}, {"job", "job"})),
             QStringList{"2:inconsistent"});
}

void TestQa::messageLengthAndNotes() {
    const Cp1252Codec codec;
    const Lines english = {"Hello.", "It is locked.", "Tab"};
    const Lines text = {"Hallo, mein Freund.", "Zu. # a long note about the door", "T\\Tb"};
    // Line 1: 19 bytes against 6. Line 3: \T is one game byte, 3 against 3.
    QCOMPARE(checkNames(TranslationChecks(codec).checkMessages(text, english, true)),
             QStringList{"1:length"});
    QCOMPARE(checkNames(TranslationChecks(codec, 400).checkMessages(text, english, true)),
             QStringList{});
    // Where the note reaches the game (textmsg.txt) it counts.
    QCOMPARE(checkNames(TranslationChecks(codec).checkMessages(text, english, false)),
             (QStringList{"1:length", "2:length"}));
    // Functions have no length limit.
    QCOMPARE(checkNames(TranslationChecks(codec).checkFunction(text, english)), QStringList{});
}

void TestQa::progressFollowsSavedLines() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", smallUsecode({{"a", "b", "a"}, {"c", "d"}, {"e"}}, true));
    writeIni(prog, game);
    Workspace ws(prog);
    ws.startWithoutWindow();
    writeFile(prog + "0401.TXT", "C\r\nd\r\nextra line beyond the strings\r\n");
    QCOMPARE(ws.projectProgress().translated, 1);
    QCOMPARE(ws.projectProgress().total, 6);
    QCOMPARE(ws.functionProgress(1).translated, 1);

    // The counts follow a saved function without reading the other files:
    // a change made on disk behind the workspace's back is not seen.
    writeFile(prog + "0402.TXT", "E\r\n");
    Lines lines = ws.openFunctionLines(0);
    lines[0] = "A";
    lines[2] = "A";
    ws.saveFunctionLines(0x400, lines);
    QCOMPARE(ws.functionProgress(0).translated, 2);
    QCOMPARE(ws.functionProgress(2).translated, 0);
    QCOMPARE(ws.projectProgress().translated, 3);
    lines[0] = "a";
    ws.saveFunctionLines(0x400, lines);
    QCOMPARE(ws.projectProgress().translated, 2);

    // A fresh count agrees with lexivo-cli status, which reads every file.
    Workspace fresh(prog);
    fresh.startWithoutWindow();
    cli::Output out;
    QCOMPARE(cli::status(prog, out), 0);
    QVERIFY(out.stdoutBytes.endsWith(
        "total\t" + QByteArray::number(fresh.projectProgress().translated) + "\t6\n"));
    QCOMPARE(fresh.projectProgress().translated, 3);
}

void TestQa::cliReportsEveryKind() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(
        game + "usecode",
        smallUsecode({{"Hi.\\NBye.", "*Next", "@Go@", "name", "x", "name", "job"}, {"untouched"}},
                     true));
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::init(prog, out), 0);
    writeFile(prog + "0400.TXT",
              "Hallo. Tschuss.\r\nWeiter\r\n@Geh\r\nName \r\n\r\nTitel\r\nBer\x81"
              "f\r\n");
    writeFile(prog + "text.eng", "Locked.\r\nOpen.\r\n");
    writeFile(prog + "text.txt", "Verschlossen und verriegelt.\r\nOpen.\r\n");
    const auto before = snapshot(root.path());
    out = {};
    QCOMPARE(cli::qa(prog, out), 1);
    QCOMPARE(out.stdoutText.split('\n', Qt::SkipEmptyParts)
                 .replaceInStrings(QRegularExpression("\t[^\t]*$"), QString()),
             (QStringList{"0400\t1\tlinebreaks", "0400\t2\tpagebreaks", "0400\t3\tquotes",
                          "0400\t4\tspaces", "0400\t5\tempty", "0400\t6\tinconsistent",
                          "0400\t7\tcodepage", "text\t1\tlength"}));
    QVERIFY(out.stdoutText.contains("0400\t6\tinconsistent\ttranslated unlike line 4"));
    QCOMPARE(snapshot(root.path()), before); // reads only
}

void TestQa::cliCleanWorkspace() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", smallUsecode({{"Hi.\\NBye.", "name "}, {"x"}}, true));
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::extract(prog, out), 0);
    writeFile(prog + "0400.TXT", "Hallo.\\NTschuss.\r\nName \r\n");
    out = {};
    QCOMPARE(cli::qa(prog, out), 0);
    QCOMPARE(out.stdoutText, QString());
    // A file that cannot be checked is said, not taken for clean silently.
    writeFile(prog + "0401.TXT", QByteArray("\xEF\xBB\xBFx\r\n"));
    out = {};
    QCOMPARE(cli::qa(prog, out), 0);
    QVERIFY2(out.stderrText.contains("0401.TXT"), qPrintable(out.stderrText));
}

// A file with a line more or less than its function's strings is kept out by
// the rebuild: qa names it as "lines" at the first unpaired line, and check
// names the same files.
void TestQa::lineCountInQaAndCheck() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", smallUsecode({{"Hi.", "Bye."}, {"x", "y"}, {"z"}}, true));
    writeIni(prog, game);
    cli::Output out;
    QCOMPARE(cli::extract(prog, out), 0);
    writeFile(prog + "0400.TXT", "Hallo.\r\nBye.\r\none too many\r\n");
    writeFile(prog + "0401.TXT", "X\r\n");
    out = {};
    QCOMPARE(cli::qa(prog, out), 1);
    QCOMPARE(out.stdoutText.split('\n', Qt::SkipEmptyParts),
             (QStringList{"0400\t3\tlines\t3 lines, but function 0400 has 2 strings; the "
                          "rebuild keeps the function untranslated",
                          "0401\t2\tlines\t1 lines, but function 0401 has 2 strings; the "
                          "rebuild keeps the function untranslated"}));
    // The per-line checks still look at the lines both have.
    writeFile(prog + "0401.TXT", "X\\N\r\n");
    out = {};
    QCOMPARE(cli::qa(prog, out), 1);
    QVERIFY2(out.stdoutText.contains("0401\t1\tlinebreaks\t") &&
                 out.stdoutText.contains("0401\t2\tlines\t"),
             qPrintable(out.stdoutText));

    out = {};
    QCOMPARE(cli::check(prog, out), 1);
    QCOMPARE(out.stdoutText.split('\n', Qt::SkipEmptyParts),
             (QStringList{prog + "0400.TXT: 3 lines, but function 0400 has 2 strings; the "
                                 "rebuild keeps the function untranslated",
                          prog + "0401.TXT: 1 lines, but function 0401 has 2 strings; the "
                                 "rebuild keeps the function untranslated"}));
}

// What the fast rebuild has to write is judged from the files, whoever wrote
// them: a translation file or text.txt that reads differently from the game
// file. Translations that could not go in still differ after the rebuild.
void TestQa::changesOnDiskForTheFastRebuild() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode", smallUsecode({{"a", "b"}, {"c"}, {"d"}}, true));
    writeFile(game + "text.flx", gamebuild::textArchive({"Locked.", "Open."}));
    writeIni(prog, game);
    const auto judged = [&] {
        auto ws = std::make_unique<Workspace>(prog);
        ws->startWithoutWindow();
        ws->judgeChangesOnDisk();
        return ws;
    };
    {
        const auto fresh = judged(); // the first start makes text.txt
        QVERIFY(!fresh->TranslationsChanged && !fresh->TextChanged);
    }
    // The same strings, or a note the archive never holds, are nothing to do.
    writeFile(prog + "0400.TXT", "a\r\nb\r\n");
    writeFile(prog + "text.txt", "Locked. # the door\r\nOpen.\r\n");
    QVERIFY(!judged()->TranslationsChanged && !judged()->TextChanged);

    writeFile(prog + "0401.TXT", "C\r\n");
    writeFile(prog + "0402.TXT", "d\r\none too many\r\n");
    writeFile(prog + "text.txt", "Zu.\r\nOpen.\r\n");
    auto ws = judged();
    QVERIFY(ws->TranslationsChanged && ws->TextChanged);
    const Workspace::RebuildReport report = ws->Rebuild(false);
    QCOMPARE(report.notApplied, QList<quint16>{0x402});
    QVERIFY(ws->TranslationsChanged && !ws->TextChanged);
    ws->saveFunctionLines(0x402, {"d"});
    QVERIFY(!ws->translationsDifferFromGame());
    QVERIFY(!judged()->TranslationsChanged && !judged()->TextChanged);

    // A colleague's file, seen when recounted.
    writeFile(prog + "0400.TXT", "A\r\nb\r\n");
    QVERIFY(ws->recountFunction(0));
    QVERIFY(ws->translationsDifferFromGame());
    QCOMPARE(ws->functionProgress(0).translated, 1);
    QVERIFY(!ws->recountFunction(0)); // nothing new
}

QTEST_GUILESS_MAIN(TestQa)
#include "tst_qa.moc"
