// PO interchange: lexivo-cli export-po and import-po, through libgettextpo.

#include "clicommands.h"
#include "testgame.h"
#include "workspace/comments.h"
#include "workspace/errors.h"
#include "workspace/po.h"

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;
using namespace lexivo::testing;

class TestPo : public QObject {
    Q_OBJECT

private slots:
    void exportWritesCheckedCatalogues();
    void roundTripChangesNothing();
    void importTakesOnlyTheEditedLines();
    void badPoFiles();
};

namespace {

// A started workspace: two functions with strings (one translated, with a
// description and comments from two translators), text.txt beside text.eng.
struct PoWorkspace {
    QTemporaryDir root;
    QString prog, game, out;
    PoWorkspace() {
        prog = root.path() + "/prog/";
        game = root.path() + "/game/";
        out = root.path() + "/po/";
        writeFile(
            game + "usecode",
            smallUsecode({{"Hello, caf\xE9.", "name", "", "Bye.\\NSee you."}, {"job"}}, true));
        writeIni(prog, game, {}, "[USER]\r\nID=1\r\nNAME=Anna\r\n[GROUP]\r\nLANGUAGE=de\r\n");
        cli::Output o;
        if (cli::init(prog, o) != 0) qFatal("init failed");
        writeFile(prog + "funclist.txt", "0400=Innkeeper\r\n");
        writeFile(prog + "0400.TXT", "Hallo, Caf\xE9.\r\nname\r\n\r\nTsch\xFC\x73s.\r\n");
        writeFile(prog + "text.eng", "Locked.\r\nOpen.\r\n");
        writeFile(prog + "text.txt", "Zu. # the door\r\nOpen.\r\n");
        tComment own{"Anna", 0, 1, {{45000.5, "Keep it short.", 0x400, 1}}};
        tComment other{"Bert", 0, 2, {{45001.25, "Or not.", 0x400, 1}, {45002, "x", 0x401, 0}}};
        WriteCommentFile(prog + "1.cmt", own);
        WriteCommentFile(prog + "2.cmt", other);
    }
};

const PoEntry* entry(const PoCatalog& catalog, const QString& context) {
    for (const PoEntry& e : catalog.entries)
        if (e.context == context) return &e;
    return nullptr;
}

void msgfmtCheck(const QString& path) {
    const QString msgfmt = QStandardPaths::findExecutable("msgfmt");
    if (msgfmt.isEmpty()) QFAIL("msgfmt (GNU gettext) is not installed: scripts/install-deps.sh");
    QProcess p;
    p.start(msgfmt, {"--check", "-o", "/dev/null", path});
    QVERIFY(p.waitForFinished());
    QVERIFY2(p.exitCode() == 0, qPrintable(path + ": " + p.readAllStandardError()));
}

} // namespace

void TestPo::exportWritesCheckedCatalogues() {
    PoWorkspace ws;
    const Snapshot before = snapshot(ws.prog);
    cli::Output out;
    QCOMPARE(cli::exportPo(ws.prog, ws.out, out), 0);
    QCOMPARE(snapshot(ws.prog), before); // the workspace is only read
    QCOMPARE(QDir(ws.out).entryList(QDir::Files), (QStringList{"0400.po", "0401.po", "text.po"}));
    for (const QString& name : QDir(ws.out).entryList(QDir::Files))
        msgfmtCheck(ws.out + name);

    const PoCatalog po = readPoFile(ws.out + "0400.po");
    QCOMPARE(po.headerField("Language"), QString("de"));
    QCOMPARE(po.headerField("X-Lexivo-Code-Page"), QString("Windows-1252"));
    QCOMPARE(po.headerField("Content-Type"), QString("text/plain; charset=UTF-8"));
    QCOMPARE(po.entries.size(), 3);
    const PoEntry* first = entry(po, "0400:1");
    QVERIFY(first);
    QCOMPARE(first->source, QString::fromUtf8("Hello, café."));
    QCOMPARE(first->translation, QString::fromUtf8("Hallo, Café."));
    QCOMPARE(first->translatorComment, QString("Innkeeper"));
    QCOMPARE(entry(po, "0400:2")->translation, QString()); // equals its original
    QCOMPARE(
        entry(po, "0400:2")->extractedComments,
        (QStringList{"Anna, " +
                         QDateTime(QDate(2023, 3, 15), QTime(12, 0)).toString("yyyy-MM-dd HH:mm") +
                         ": Keep it short.",
                     "Bert, 2023-03-16 06:00: Or not."}));
    QVERIFY(!entry(po, "0400:3")); // an empty original: nothing to translate
    QCOMPARE(entry(po, "0400:4")->source, QString("Bye.\\NSee you."));
    QCOMPARE(entry(po, "0400:4")->translation, QString::fromUtf8("Tschüss."));

    const PoCatalog text = readPoFile(ws.out + "text.po");
    QCOMPARE(text.entries.size(), 2);
    QCOMPARE(entry(text, "text:1")->translation, QString("Zu. # the door"));
    QCOMPARE(entry(text, "text:2")->translation, QString());
}

void TestPo::roundTripChangesNothing() {
    PoWorkspace ws;
    cli::Output out;
    QCOMPARE(cli::exportPo(ws.prog, ws.out, out), 0);
    const Snapshot before = snapshot(ws.prog);
    QStringList files;
    for (const QString& name : QDir(ws.out).entryList(QDir::Files))
        files << ws.out + name;
    out = {};
    QCOMPARE(cli::importPo(ws.prog, files, out), 0);
    QCOMPARE(out.stdoutText, QString("0 lines changed in 0 files\n"));
    QCOMPARE(snapshot(ws.prog), before);
}

void TestPo::importTakesOnlyTheEditedLines() {
    PoWorkspace ws;
    cli::Output out;
    QCOMPARE(cli::exportPo(ws.prog, ws.out, out), 0);
    // Edits as a translation server makes them, written with libgettextpo.
    PoCatalog po = readPoFile(ws.out + "0400.po");
    for (PoEntry& e : po.entries) {
        if (e.context == "0400:2") e.translation = "Name\nzweite Zeile\tmit Tab"; // typed breaks
        if (e.context == "0400:4") {
            e.translation = "Ciao.";
            e.fuzzy = true;
        }
    }
    PoEntry moved = po.entries[0];
    moved.source = "Hello, stranger."; // the game changed under this line
    moved.translation = "Hallo, Fremder.";
    PoEntry beyond = po.entries[0];
    beyond.context = "0400:9";
    beyond.translation = "x";
    po.entries << moved << beyond;
    writePoFile(ws.out + "0400.po", po);
    PoCatalog p401 = readPoFile(ws.out + "0401.po");
    p401.entries[0].translation = QString::fromUtf8("Beruf ü");
    writePoFile(ws.out + "0401.po", p401);
    PoCatalog text = readPoFile(ws.out + "text.po");
    text.entries[0].translation = QString::fromUtf8("Привет"); // not in 1252
    text.entries[1].translation = "Offen.";
    writePoFile(ws.out + "text.po", text);
    msgfmtCheck(ws.out + "0400.po");

    Snapshot expected = snapshot(ws.prog);
    expected["0400.TXT"] =
        "Hallo, Caf\xE9.\r\nName\\Nzweite Zeile\\Tmit Tab\r\n\r\nTsch\xFC\x73s.\r\n";
    expected["0401.TXT"] = "Beruf \xFC\r\n"; // made as showing the function would
    expected["text.txt"] = "Zu. # the door\r\nOffen.\r\n";
    out = {};
    QCOMPARE(
        cli::importPo(ws.prog, {ws.out + "0400.po", ws.out + "0401.po", ws.out + "text.po"}, out),
        1);
    QCOMPARE(out.stdoutText, QString("3 lines changed in 3 files\n"));
    QCOMPARE(snapshot(ws.prog), expected);
    for (const char* said :
         {"\"text:1\": \"\xD0\x9F\" (U+041F) cannot be stored in the Windows-1252",
          "\"0400:4\": marked fuzzy", "\"0400:1\": the msgid is no longer the original",
          "\"0400:9\": function 0400 has 4 strings", "4 entries skipped"})
        QVERIFY2(out.stderrText.contains(QString::fromUtf8(said)), qPrintable(out.stderrText));
}

void TestPo::badPoFiles() {
    PoWorkspace ws;
    const Snapshot before = snapshot(ws.prog);
    QDir().mkpath(ws.out);
    writeFile(ws.out + "broken.po", "msgid \"a\"\nmsgstr \"b\nmsgid\n");
    writeFile(ws.out + "latin1.po",
              "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n");
    writeFile(ws.out + "other.po",
              "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\nX-Lexivo-Code-Page: "
              "Windows-1251\\n\"\n\nmsgctxt \"0401:1\"\nmsgid \"job\"\nmsgstr \"Beruf\"\n");
    writeFile(ws.out + "foreign.po",
              "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\nmsgid \"job\"\n"
              "msgstr \"Beruf\"\n\nmsgctxt \"0401:0\"\nmsgid \"job\"\nmsgstr \"Beruf\"\n");
    cli::Output out;
    QCOMPARE(cli::importPo(ws.prog,
                           {ws.out + "broken.po", ws.out + "latin1.po", ws.out + "other.po",
                            ws.out + "foreign.po", ws.out + "missing.po"},
                           out),
             1);
    QCOMPARE(snapshot(ws.prog), before);
    for (const QString& said : {ws.out + "broken.po is not a valid PO file",
                                ws.out + "latin1.po: the PO file is in ISO-8859-1",
                                ws.out + "other.po: written for the Windows-1251 code page",
                                ws.out + "foreign.po: msgctxt \"\": no line of this workspace",
                                ws.out + "foreign.po: msgctxt \"0401:0\": no line",
                                "Cannot open file \"" + ws.out + "missing.po\""})
        QVERIFY2(out.stderrText.contains(said), qPrintable(out.stderrText));
}

QTEST_GUILESS_MAIN(TestPo)
#include "tst_po.moc"
