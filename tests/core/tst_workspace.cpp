// The workspace: paths, locating the game, the loading steps, translation
// files, descriptions, the original-strings pack and the rebuild driver.

#include "gamebuilder/textarchive.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/errors.h"
#include "workspace/filestamp.h"
#include "workspace/pack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

const QList<QList<QByteArray>> ThreeFunctions = {
    {"Hello, traveller.", "Farewell."}, {"Only one."}, {"a", "", "c\r\nd"}};

struct Fixture {
    QTemporaryDir root;
    QString program() const { return root.path() + "/prog/"; }
    QString game() const { return root.path() + "/game/"; }
};

} // namespace

class TestWorkspace : public QObject {
    Q_OBJECT

private slots:
    void locatesUsecode_data();
    void locatesUsecode();
    void firstRunCreatesWorkspaceFiles();
    void editorDirectoryFromConfiguration();
    void translationFiles();
    void descriptions();
    void existingPackIsKept();
    void packFromOtherUsecodeWarns();
    void damagedPackStopsLoading();
    void rebuildWithoutTranslationsIsIdentical();
    void fastRebuildChoosesByContent();
    void rebuildRefusesChangedGameFile();
    void pristineCopiesFeedThePack();
    void textFilesThatAreNotSingleByte_data();
    void textFilesThatAreNotSingleByte();
    void whatCountsAsUtf8_data();
    void whatCountsAsUtf8();
    void extractedLinesThatLookLikeUtf8();
    void sharedNumberStartsUp();
    void failedRebuildLeavesGameFile();
    void damagedUsecodeMakesNoWorkspaceFiles();
    void unusableDirectoryValues_data();
    void unusableDirectoryValues();
};

void TestWorkspace::locatesUsecode_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expectedDir"); // relative to the game folder; "-" = not found
    QTest::newRow("game folder") << QStringList{"usecode"} << "";
    QTest::newRow("static") << QStringList{"static/usecode"} << "static/";
    QTest::newRow("upper-case STATIC/USECODE") << QStringList{"STATIC/USECODE"} << "STATIC/";
    QTest::newRow("both: game folder wins") << QStringList{"usecode", "static/usecode"} << "";
    QTest::newRow("none") << QStringList{"static/text.flx"} << "-";
}

void TestWorkspace::locatesUsecode() {
    QFETCH(QStringList, files);
    QFETCH(QString, expectedDir);
    Fixture fx;
    for (const QString& f : files)
        writeFile(fx.game() + f, smallUsecode(ThreeFunctions));
    // The configured folder lacks its final separator.
    writeIni(fx.program(), fx.root.path() + "/game");
    Workspace ws(fx.program());
    ws.openConfiguration();
    ws.readConfiguration();
    QCOMPARE(ws.gameDirectory(), fx.game());
    QCOMPARE(ws.locateUsecode(), expectedDir != "-");
    if (expectedDir != "-") {
        QCOMPARE(ws.usecodeDirectory(), fx.game() + expectedDir);
        ws.loadUsecode();
        QCOMPARE(ws.functionCount(), 3);
    }
}

void TestWorkspace::firstRunCreatesWorkspaceFiles() {
    Fixture fx;
    writeFile(fx.game() + "USECODE", smallUsecode(ThreeFunctions, true));
    QDir().mkpath(fx.program());
    Workspace ws(fx.program());
    ws.openConfiguration();
    QVERIFY(ws.firstRun());
    ws.readConfiguration();
    QVERIFY(!ws.hasGameDirectory());
    QCOMPARE(ws.editorDirectory(), fx.program());
    ws.chooseGameDirectory(fx.root.path() + "/game");
    QCOMPARE(readFile(fx.program() + "LEXIVO.INI"),
             "[DIRECTORY]\r\nU7=" + QFile::encodeName(fx.game()) + "\r\n");
    QVERIFY(ws.locateUsecode());
    ws.loadWorkspaceFiles();
    QVERIFY(ws.takeWarnings().isEmpty());
    QCOMPARE(readFile(fx.program() + "funclist.txt"),
             QByteArray("0400=func_400\r\n0401=func_401\r\n0402=func_402\r\n"));
    QCOMPARE(ws.functionListItem(1), QByteArray("0401: func_401"));
    QVERIFY(QFileInfo::exists(fx.program() + "orig.pak"));
    QCOMPARE(ws.originalLines(2), (Lines{"a", "", "c\\Nd"}));

    ws.saveLastPosition(2, -1);
    Workspace again(fx.program());
    again.openConfiguration();
    QVERIFY(!again.firstRun());
    again.readConfiguration();
    QCOMPARE(again.settings().lastFunc, 2);
    QCOMPARE(again.settings().lastFuncLine, 0);
}

void TestWorkspace::editorDirectoryFromConfiguration() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    QDir().mkpath(fx.root.path() + "/work");
    writeIni(fx.program(), fx.game(), fx.root.path() + "/work"); // no final separator
    Workspace ws(fx.program());
    ws.openConfiguration();
    ws.readConfiguration();
    QCOMPARE(ws.editorDirectory(), fx.root.path() + "/work/");
    QVERIFY(ws.locateUsecode());
    ws.loadWorkspaceFiles();
    QVERIFY(QFileInfo::exists(fx.root.path() + "/work/orig.pak"));
    QVERIFY(!QFileInfo::exists(fx.program() + "orig.pak"));
    // Without a symbol table no funclist.txt is made.
    QVERIFY(!QFileInfo::exists(fx.root.path() + "/work/funclist.txt"));
}

void TestWorkspace::translationFiles() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    // A translation file written by a colleague in lower case is found.
    writeFile(fx.program() + "0401.txt", "Nur eins.\r\n");
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QCOMPARE(ws.TranslationFilePath(0x401), fx.program() + "0401.txt");
    QCOMPARE(ws.openFunctionLines(1), Lines{"Nur eins."});

    QCOMPARE(ws.TranslationFilePath(0x402), fx.program() + "0402.TXT");
    QCOMPARE(ws.openFunctionLines(2), (Lines{"a", "", "c\\Nd"}));
    QCOMPARE(readFile(fx.program() + "0402.TXT"), QByteArray("a\r\n\r\nc\\Nd\r\n"));
    writeFile(fx.program() + "0402.TXT", "x\r\ny\r\nz");
    QCOMPARE(ws.openFunctionLines(2), (Lines{"x", "y", "z"}));
}

void TestWorkspace::descriptions() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QCOMPARE(ws.functionListItem(0), QByteArray("0400: "));
    ws.setFunctionDescription(1, "Smith");
    QCOMPARE(readFile(fx.program() + "funclist.txt"), QByteArray("0401=Smith\r\n"));
    ws.setFunctionDescription(0, "Inn=keeper");
    ws.setFunctionDescription(1, "Blacksmith");
    QCOMPARE(readFile(fx.program() + "funclist.txt"),
             QByteArray("0401=Blacksmith\r\n0400=Inn=keeper\r\n"));
    Workspace again(fx.program());
    again.startWithoutWindow();
    QCOMPARE(again.functionListItem(0), QByteArray("0400: Inn=keeper"));
}

void TestWorkspace::existingPackIsKept() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    {
        Workspace ws(fx.program());
        ws.startWithoutWindow();
    }
    const QByteArray pack = readFile(fx.program() + "orig.pak");
    QList<QList<QByteArray>> changed = ThreeFunctions;
    changed[0][0] = "Translated already.";
    writeFile(fx.game() + "usecode", smallUsecode(changed));
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QCOMPARE(readFile(fx.program() + "orig.pak"), pack);
    QCOMPARE(ws.originalLines(0).first(), QByteArray("Hello, traveller."));
}

void TestWorkspace::packFromOtherUsecodeWarns() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    Pack::write(fx.program() + "orig.pak", Pack::buildContent({{"x", "y"}}));
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    const QStringList warnings = ws.takeWarnings();
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings[0].contains("orig.pak does not belong to this usecode"));
    QVERIFY(ws.originalLines(2).isEmpty());
}

void TestWorkspace::damagedPackStopsLoading() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    writeFile(fx.program() + "orig.pak", "BZh9 not really");
    Workspace ws(fx.program());
    ws.openConfiguration();
    ws.readConfiguration();
    QVERIFY(ws.locateUsecode());
    try {
        ws.loadWorkspaceFiles();
        QFAIL("damaged pack accepted");
    } catch (const Error& e) {
        QCOMPARE(e.message(),
                 fx.program() +
                     QStringLiteral("orig.pak: The bz2 engine signals a data corruption"));
    }
    QVERIFY(ws.usecodeLoaded());
    QVERIFY(!ws.packLoaded());
}

void TestWorkspace::rebuildWithoutTranslationsIsIdentical() {
    Fixture fx;
    const QByteArray image = smallUsecode(ThreeFunctions, true);
    writeFile(fx.game() + "usecode", image);
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    const Workspace::RebuildReport report = ws.Rebuild(true);
    QVERIFY(report.usecodeWritten);
    QCOMPARE(readFile(fx.game() + "usecode"), image);
    QVERIFY(!ws.TranslationsChanged);
    QVERIFY(!ws.CompleteRebuild);
}

namespace {
void setModified(const QString& path, const QDateTime& time) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}
} // namespace

// The fast rebuild compiles what reads differently from the game file,
// whatever the translation file's date says.
void TestWorkspace::fastRebuildChoosesByContent() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    const QDateTime usecodeTime = QFileInfo(fx.game() + "usecode").lastModified();

    // Edited, then dated an hour back (an unzip, cp -p, a slow clock).
    writeFile(fx.program() + "0401.TXT", "Nur eins.\r\n");
    setModified(fx.program() + "0401.TXT", usecodeTime.addSecs(-3600));
    // Stamped a moment after the usecode file.
    writeFile(fx.program() + "0400.TXT", "Hallo, Reisender.\r\nLebewohl.\r\n");
    setModified(fx.program() + "0400.TXT", usecodeTime.addMSecs(300));
    // Newer, but as the game file has it: changes nothing.
    writeFile(fx.program() + "0402.TXT", "a\r\n\r\nc\\Nd\r\n");

    ws.TranslationsChanged = true;
    const Workspace::RebuildReport report = ws.Rebuild(false);
    QVERIFY(report.notApplied.isEmpty());
    QCOMPARE(ws.functionStrings(0), (QList<QByteArray>{"Hallo, Reisender.", "Lebewohl."}));
    QCOMPARE(ws.functionStrings(1), QList<QByteArray>{"Nur eins."});
    QCOMPARE(ws.functionStrings(2), (QList<QByteArray>{"a", "", "c\\Nd"}));

    // A second fast rebuild finds nothing new and writes the same file.
    const QByteArray once = readFile(fx.game() + "usecode");
    ws.TranslationsChanged = true;
    ws.Rebuild(false);
    QCOMPARE(readFile(fx.game() + "usecode"), once);
}

// Another program (or a colleague) replaced usecode after it was loaded: the
// rebuild writes nothing; after a reload it goes ahead.
void TestWorkspace::rebuildRefusesChangedGameFile() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    writeFile(fx.program() + "0401.TXT", "Nur eins.\r\n");

    // Same size and date, other bytes: only the content tells.
    QByteArray other = smallUsecode(ThreeFunctions);
    other.replace("Only one.", "Only two.");
    const QDateTime time = QFileInfo(fx.game() + "usecode").lastModified();
    writeFile(fx.game() + "usecode", other);
    setModified(fx.game() + "usecode", time);
    try {
        ws.Rebuild(true);
        QFAIL("no error");
    } catch (const GameFileChanged& e) {
        QVERIFY2(e.message().contains(fx.game() + "usecode"), qPrintable(e.message()));
    }
    QCOMPARE(readFile(fx.game() + "usecode"), other);

    ws.reloadUsecode();
    QCOMPARE(ws.functionStrings(1), QList<QByteArray>{"Only two."});
    ws.Rebuild(true);
    QCOMPARE(ws.functionStrings(1), QList<QByteArray>{"Nur eins."});
    // What it wrote itself it may write again.
    writeFile(fx.program() + "0401.TXT", "Nur zwei.\r\n");
    ws.Rebuild(true);
    QCOMPARE(ws.functionStrings(1), QList<QByteArray>{"Nur zwei."});
}

// The first start keeps the game files as they were; orig.pak comes from that
// copy even after rebuilds changed the game file.
void TestWorkspace::pristineCopiesFeedThePack() {
    Fixture fx;
    const QByteArray image = smallUsecode(ThreeFunctions);
    writeFile(fx.game() + "usecode", image);
    const QByteArray archive = gamebuild::textArchive({QByteArray("Hello.")});
    writeFile(fx.game() + "TEXT.FLX", archive);
    writeIni(fx.program(), fx.game());
    {
        Workspace ws(fx.program());
        ws.startWithoutWindow();
        writeFile(fx.program() + "0400.TXT", "Hallo.\r\nTschuess.\r\n");
        ws.Rebuild(true);
    }
    QCOMPARE(readFile(fx.program() + "usecode.orig"), image);
    QCOMPARE(readFile(fx.program() + "text.flx.orig"), archive);
    QVERIFY(readFile(fx.game() + "usecode") != image);

    QVERIFY(QFile::remove(fx.program() + "orig.pak"));
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QCOMPARE(ws.originalLines(0), (Lines{"Hello, traveller.", "Farewell."}));
    // Never overwritten afterwards.
    QCOMPARE(readFile(fx.program() + "usecode.orig"), image);
}

void TestWorkspace::textFilesThatAreNotSingleByte_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("UTF-8 with byte-order mark")
        << QByteArray("\xEF\xBB\xBFGuten Tag.\r\nTsch\xC3\xBCss.\r\n") << "byte-order mark";
    QTest::newRow("UTF-8 without one")
        << QByteArray("Guten Tag.\r\nTsch\xC3\xBCss.\r\n") << "line 2 is UTF-8";
    QTest::newRow("UTF-16") << QByteArray("G\0u\0t\0\r\0\n\0T\0\r\0\n\0", 16) << "NUL byte";
}

// UTF-16 and UTF-8 files never reach the game; the function stays as it was
// and the function view refuses to show the file as text.
void TestWorkspace::textFilesThatAreNotSingleByte() {
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    Fixture fx;
    const QByteArray image = smallUsecode(ThreeFunctions);
    writeFile(fx.game() + "usecode", image);
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    writeFile(fx.program() + "0400.TXT", content);

    ws.TranslationsChanged = true;
    const Workspace::RebuildReport report = ws.Rebuild(false);
    QCOMPARE(report.notApplied, QList<quint16>{0x0400});
    QVERIFY(report.warnings.join(' ').contains(fx.program() + "0400.TXT"));
    QVERIFY(report.warnings.join(' ').contains("not a Windows-1252 text file"));
    QCOMPARE(readFile(fx.game() + "usecode"), image);
    try {
        ws.openFunctionLines(0);
        QFAIL("no error");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }

    // Windows-1252 text that merely has high bytes is text.
    writeFile(fx.program() + "0400.TXT", "Gr\xFC\xDF Gott. \xC0 bient\xF4t.\r\nCaf\xC3\r\n");
    QCOMPARE(ws.openFunctionLines(0).size(), 2);
}

void TestWorkspace::whatCountsAsUtf8_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Lines>("extracted");
    QTest::addColumn<bool>("utf8Mode");
    QTest::addColumn<QString>("problem");
    const Lines none;
    QTest::newRow("pair as extracted")
        << QByteArray("Der Ring \xDC\xBF\r\n") << Lines{"Der Ring \xDC\xBF"} << false << QString();
    // "Ü¿" reads as the Syriac letter U+073F: code-page text, not typed.
    QTest::newRow("pair translated")
        << QByteArray("Mein Ring \xDC\xBF\r\n") << none << false << QString();
    QTest::newRow("Cyrillic pair translated")
        << QByteArray("\xD0\x96\r\n") << none << false << "line 1 is UTF-8 text";
    QTest::newRow("typed letter after extracted ones")
        << QByteArray("Orig \xC3\xA4\r\nTsch\xC3\xBCss\r\n") << Lines{"Orig \xC3\xA4", "Bye"}
        << false << "line 2 is UTF-8 text";
    QTest::newRow("only extracted letters") << QByteArray("Orig \xC3\xA4\r\nBye\r\n")
                                            << Lines{"Orig \xC3\xA4", "Hi"} << false << QString();
    // One byte that stands alone makes the whole file code-page text.
    QTest::newRow("lone byte elsewhere")
        << QByteArray("Gr\xFC\xDF\r\nTsch\xC3\xBCss\r\n") << none << false << QString();
    QTest::newRow("three bytes") << QByteArray("It\xE2\x80\x99s\r\n") << none << false
                                 << "line 1 is UTF-8 text";
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFHi\r\n") << none << false
                                     << "it begins with a UTF-8 byte-order mark";
    QTest::newRow("UTF-8 mode, mark")
        << QByteArray("\xEF\xBB\xBFHi\r\n") << none << true << QString();
    QTest::newRow("UTF-8 mode, code-page line")
        << QByteArray("Gr\xFC\xDF\r\n") << none << true << QString();
    QTest::newRow("UTF-8 mode, UTF-16") << QByteArray("H\0i\0", 4) << none << true
                                        << "it holds a NUL byte at byte offset 1, as UTF-16 "
                                           "text does";
}

// The rule by which a translation file is taken as an editor's UTF-8 file
// (and refused in a code-page workspace).
void TestWorkspace::whatCountsAsUtf8() {
    QFETCH(QByteArray, content);
    QFETCH(Lines, extracted);
    QFETCH(bool, utf8Mode);
    QFETCH(QString, problem);
    TranslationFileReading reading;
    reading.encoding = utf8Mode ? GameTextEncoding::Utf8 : GameTextEncoding::Windows;
    reading.extracted = [&] { return QList<Lines>{extracted}; };
    QCOMPARE(singleByteTextProblem(content, reading), problem);
    if (utf8Mode && problem.isEmpty())
        QVERIFY(!translationFileLines(content, "x.TXT", reading).first().startsWith("\xEF"));
}

// A game line that happens to form UTF-8 (the bytes "Ü¿") is shown, checked
// and rebuilt like any other, as extracted and once translated.
void TestWorkspace::extractedLinesThatLookLikeUtf8() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode({{"Ring \xDC\xBF", "Ask \xC3\xA4"}, {"Bye"}}));
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QCOMPARE(ws.openFunctionLines(0), (Lines{"Ring \xDC\xBF", "Ask \xC3\xA4"}));
    QVERIFY(ws.checkTranslations(Cp1252Codec()).isEmpty());
    ws.saveFunctionLines(0x400, {"Anneau \xDC\xBF", "Ask \xC3\xA4"});
    const Workspace::RebuildReport report = ws.Rebuild(true);
    QVERIFY2(report.notApplied.isEmpty(), qPrintable(report.warnings.join('\n')));
    QCOMPARE(extractStrings(readFile(fx.game() + "usecode"),
                            parseUsecode(readFile(fx.game() + "usecode"), "u").funcs[0]),
             (Lines{"Anneau \xDC\xBF", "Ask \xC3\xA4"}));
}

// Two records sharing one number: a notice, and the workspace starts.
void TestWorkspace::sharedNumberStartsUp() {
    Fixture fx;
    gamebuild::FunctionSpec a, b;
    a.number = b.number = 0x0401;
    a.strings = {"first"};
    b.strings = {"second"};
    a.code = b.code = gamebuild::simpleConversation(1);
    writeFile(fx.game() + "usecode", gamebuild::functionRecord(a) + gamebuild::functionRecord(b));
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QVERIFY(ws.packLoaded());
    const QStringList warnings = ws.takeWarnings();
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings[0].contains("already used"));
    QCOMPARE(ws.createMissingTranslationFiles(), 1);
    QCOMPARE(readFile(fx.program() + "0401.TXT"), QByteArray("first\r\n"));
}

void TestWorkspace::failedRebuildLeavesGameFile() {
    Fixture fx;
    writeFile(fx.game() + "usecode", smallUsecode(ThreeFunctions));
    writeIni(fx.program(), fx.game());
    Workspace(fx.program()).startWithoutWindow(); // the first start makes orig.pak
    // Later the last record claims more bytes than the file holds.
    QByteArray image = smallUsecode(ThreeFunctions);
    image.chop(3);
    writeFile(fx.game() + "usecode", image);
    Workspace ws(fx.program());
    ws.startWithoutWindow();
    QVERIFY(!ws.takeWarnings().isEmpty());
    QVERIFY_THROWS_EXCEPTION(Error, ws.Rebuild(true));
    QCOMPARE(readFile(fx.game() + "usecode"), image);
    QVERIFY(ws.TranslationsChanged);
    QVERIFY(!ws.CompleteRebuild);
}

// orig.pak and funclist.txt are made once and kept for good: a damaged usecode
// file on the first start must not leave partial ones behind.
void TestWorkspace::damagedUsecodeMakesNoWorkspaceFiles() {
    Fixture fx;
    QByteArray image = smallUsecode(ThreeFunctions, true);
    image.chop(3);
    writeFile(fx.game() + "usecode", image);
    writeIni(fx.program(), fx.game());
    Workspace ws(fx.program());
    try {
        ws.startWithoutWindow();
        QFAIL("no error");
    } catch (const DataError& e) {
        QVERIFY2(e.message().contains("orig.pak was not built"), qPrintable(e.message()));
    }
    QVERIFY(ws.usecodeLoaded());
    QCOMPARE(ws.functionListItem(0), QByteArray("0400: func_400"));
    QVERIFY(!QFileInfo::exists(fx.program() + "orig.pak"));
    QVERIFY(!QFileInfo::exists(fx.program() + "funclist.txt"));
    QVERIFY(!QFileInfo::exists(fx.program() + "usecode.orig"));
}

void TestWorkspace::unusableDirectoryValues_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("10 MB editor folder") << QByteArray("EDITOR") << QByteArray(10 << 20, 'x');
    QTest::newRow("control bytes in game folder") << QByteArray("U7") << QByteArray("/ga\x01me/");
}

void TestWorkspace::unusableDirectoryValues() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    Fixture fx;
    writeFile(fx.program() + "LEXIVO.INI", "[DIRECTORY]\r\n" + key + "=" + value + "\r\n");
    Workspace ws(fx.program());
    ws.openConfiguration();
    try {
        ws.readConfiguration();
        QFAIL("no error");
    } catch (const Error& e) {
        QVERIFY(e.message().startsWith("DIRECTORY/" + key + " in " + fx.program() + "LEXIVO.INI"));
        QVERIFY(e.message().size() < 300);
    }
}

QTEST_APPLESS_MAIN(TestWorkspace)
#include "tst_workspace.moc"
