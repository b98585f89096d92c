// Function status: the status byte, FuncStatus.dat loading and its changes,
// translator names, and lexivo-cli status against a count made by hand.

#include "clicommands.h"
#include "testgame.h"
#include "workspace/errors.h"
#include "workspace/funcstatus.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;
using namespace lexivo::testing;

namespace {} // namespace

class TestFuncStatus : public QObject {
    Q_OBJECT

private slots:
    void statusByte();
    void translatorNames_data();
    void translatorNames();
    void load_data();
    void load();
    void changesWriteTheFile();
    void failedWriteKeepsTheValues();
    void bytesBeyondTheTableAreKept();
    void statusCommand();
};

void TestFuncStatus::statusByte() {
    quint8 b = 0x1B;
    QCOMPARE(FuncStatus::GetStatus(b), int(FuncStatus::NotAssigned));
    QCOMPARE(FuncStatus::GetTranslator(b), 6);
    b = FuncStatus::SetStatus(b, FuncStatus::Complete);
    QCOMPARE(b, quint8(0x18));
    b = FuncStatus::SetTranslator(b, 0);
    QCOMPARE(b, quint8(0x00));
    QCOMPARE(FuncStatus::SetTranslator(0x02, 63), quint8(0xFE));
    QCOMPARE(FuncStatus::SetTranslator(0x01, 64), quint8(0x01)); // cut to 8 bits
    QCOMPARE(FuncStatus::SetStatus(0xFC, 7), quint8(0xFF));      // code cut to 2 bits
}

void TestFuncStatus::translatorNames_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("none") << 0 << QByteArray("Not assigned");
    QTest::newRow("first") << 1 << QByteArray("Ann");
    QTest::newRow("last") << 2 << QByteArray("Bo");
    QTest::newRow("beyond the roster") << 3 << QByteArray("Translator 3");
    QTest::newRow("highest") << 63 << QByteArray("Translator 63");
}

void TestFuncStatus::translatorNames() {
    QFETCH(int, number);
    QFETCH(QByteArray, shown);
    QCOMPARE(FuncStatus::shownTranslatorName({"Ann", "Bo"}, number), shown);
}

void TestFuncStatus::load_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("warns");
    QTest::newRow("missing: not assigned") << false << QByteArray() << QByteArray(4, 3) << false;
    QTest::newRow("exact") << true << QByteArray("\x1B\x02\x00\x05", 4)
                           << QByteArray("\x1B\x02\x00\x05", 4) << false;
    QTest::newRow("two short: complete, nobody")
        << true << QByteArray("\x0A\x0B") << QByteArray("\x0A\x0B\x00\x00", 4) << true;
    QTest::newRow("empty file") << true << QByteArray() << QByteArray(4, 0) << true;
    QTest::newRow("longer: the rest ignored")
        << true << QByteArray("\x01\x02\x03\x01\x02") << QByteArray("\x01\x02\x03\x01") << true;
}

void TestFuncStatus::load() {
    QFETCH(bool, exists);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    QFETCH(bool, warns);
    QTemporaryDir dir;
    const QString path = dir.path() + "/FuncStatus.dat";
    if (exists) writeFile(path, file);
    FuncStatus status;
    QStringList warnings;
    status.LoadFuncStatus(path, 4, warnings);
    QCOMPARE(status.bytes(), expected);
    QCOMPARE(warnings.size(), warns ? 1 : 0);
    if (warns) QVERIFY2(warnings[0].contains(path), qPrintable(warnings[0]));
    QCOMPARE(QFileInfo::exists(path), exists); // loading creates nothing
}

void TestFuncStatus::changesWriteTheFile() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/FuncStatus.dat";
    FuncStatus status;
    QStringList warnings;
    status.LoadFuncStatus(path, 3, warnings);

    // Also an empty selection writes the file.
    QCOMPARE(status.setStatus(path, {}, FuncStatus::Working), QList<int>());
    QCOMPARE(readFile(path), QByteArray("\x03\x03\x03"));

    QCOMPARE(status.setStatus(path, {1}, FuncStatus::Working), QList<int>{1});
    QCOMPARE(readFile(path), QByteArray("\x03\x02\x03"));
    QCOMPARE(status.setTranslator(path, {1, 2}, 4), (QList<int>{1, 2}));
    QCOMPARE(readFile(path), QByteArray("\x03\x12\x13"));
    QCOMPARE(status.statusOf(1), int(FuncStatus::Working));
    QCOMPARE(status.translatorOf(2), 4);
    // "None" clears the translator and keeps the status.
    status.setTranslator(path, {1}, 0);
    QCOMPARE(readFile(path), QByteArray("\x03\x02\x13"));
}

void TestFuncStatus::failedWriteKeepsTheValues() {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/editor/";
    const QString path = folder + "FuncStatus.dat";
    FuncStatus status;
    QStringList warnings;
    status.LoadFuncStatus(path, 3, warnings);
    QVERIFY_THROWS_EXCEPTION(FileError, status.setStatus(path, {0}, FuncStatus::Complete));
    QCOMPARE(status.statusOf(0), int(FuncStatus::Complete));
    QVERIFY(QDir().mkpath(folder));
    status.setStatus(path, {2}, FuncStatus::NeedRevision);
    QCOMPARE(readFile(path), QByteArray("\x00\x03\x01", 3));
}

void TestFuncStatus::bytesBeyondTheTableAreKept() {
    // A colleague's usecode with more functions wrote the file: their last
    // statuses are neither shown here nor destroyed.
    QTemporaryDir dir;
    const QString path = dir.path() + "/FuncStatus.dat";
    writeFile(path, "\x01\x01\x01\x02\x02");
    FuncStatus status;
    QStringList warnings;
    status.LoadFuncStatus(path, 3, warnings);
    status.setStatus(path, {0}, FuncStatus::Working);
    QCOMPARE(readFile(path), QByteArray("\x02\x01\x01\x02\x02"));
}

void TestFuncStatus::statusCommand() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode",
              smallUsecode({{"Good day.", "Bye.", "Good day."}, {"Hm."}, {"One", "Two"}}));
    writeIni(prog, game, {}, "[GROUP]\r\nTRANSLATORSNAMES=Ann|Bo|\r\n");
    writeFile(prog + "funclist.txt", "0400=Smith\r\n0401=Guard\r\n");
    // 0400: lines 0 and 2 translated; 0401: no file; 0402: line 1 translated,
    // and a line beyond the function's strings that does not count.
    writeFile(prog + "0400.TXT", "Guten Tag.\r\nBye.\r\nGuten Tag.\r\n");
    writeFile(prog + "0402.txt", "One\r\nZwei\r\nExtra\r\n");
    // working + Bo; unassigned; complete + a number beyond the roster.
    writeFile(prog + "FuncStatus.dat", QByteArray("\x0A\x03\x14"));
    const QByteArray expected = "0400\tSmith\tworking\tBo\t2\t3\n"
                                "0401\tGuard\tunassigned\t\t0\t1\n"
                                "0402\t\tcomplete\tTranslator 5\t1\t2\n"
                                "total\t3\t6\n";

    // Without orig.pak (never started): the originals as the first start
    // would pack them, and nothing is written.
    const QMap<QString, QByteArray> before = snapshot(root.path());
    cli::Output out;
    QCOMPARE(cli::status(prog, out), 0);
    QCOMPARE(out.stdoutBytes, expected);
    QCOMPARE(out.stderrText, QString());
    QCOMPARE(snapshot(root.path()), before);

    // With orig.pak, and a status file one byte short (said on stderr).
    QCOMPARE(cli::init(prog, out), 0);
    writeFile(prog + "FuncStatus.dat", QByteArray("\x0A\x03"));
    out = {};
    QCOMPARE(cli::status(prog, out), 0);
    QCOMPARE(out.stdoutBytes, QByteArray(expected).replace("complete\tTranslator 5", "complete\t"));
    QVERIFY2(out.stderrText.contains("FuncStatus.dat holds 2 status bytes"),
             qPrintable(out.stderrText));
}

QTEST_APPLESS_MAIN(TestFuncStatus)
#include "tst_funcstatus.moc"
