// LEXIVO.INI: reading, typed values, the start-up read, and writes that keep
// every other byte of the file.

#include "workspace/config.h"
#include "workspace/errors.h"
#include "workspace/inifile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;

namespace {

QString writeIni(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath("LEXIVO.INI");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class TestConfig : public QObject {
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void stringsTrimmedCaseInsensitiveFirstWins();
    void defaultsWithoutFile();
    void startupValues();
    void translatorNames_data();
    void translatorNames();
    void writeKeepsEverythingElse_data();
    void writeKeepsEverythingElse();
    void writeCreatesFileAndSection();
    void optionsWriteOrder();
    void damagedFilesDoNotCrash_data();
    void damagedFilesDoNotCrash();
    void unwritableFileReportsPath();
};

void TestConfig::integers_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("decimal") << QByteArray("255") << 255;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("0x") << QByteArray("0x0000FF") << 255;
    QTest::newRow("0X") << QByteArray("0X1f") << 31;
    QTest::newRow("$") << QByteArray("$0000FF") << 255;
    QTest::newRow("full hex") << QByteArray("0xFFFFFFFF") << -1;
    QTest::newRow("blanks") << QByteArray("  42  ") << 42;
    QTest::newRow("word reads default") << QByteArray("red") << 8960904;
    QTest::newRow("empty reads default") << QByteArray("") << 8960904;
    QTest::newRow("trailing junk reads default") << QByteArray("12abc") << 8960904;
    QTest::newRow("bare 0x reads default") << QByteArray("0x") << 8960904;
    QTest::newRow("overflow reads default") << QByteArray("99999999999") << 8960904;
}

void TestConfig::integers() {
    QFETCH(QByteArray, value);
    QFETCH(qint32, expected);
    QTemporaryDir dir;
    IniFile ini(writeIni(dir, "[COLORS]\r\nNORMALFORE=" + value + "\r\n"));
    QCOMPARE(ini.readInteger("COLORS", "NORMALFORE", 8960904), expected);
}

void TestConfig::stringsTrimmedCaseInsensitiveFirstWins() {
    QTemporaryDir dir;
    IniFile ini(writeIni(dir, "; comment\n[directory]\neditor =  /w/e/  \nEDITOR=/second/\n"
                              "[Directory]\nU7=/ignored/\n[USER]\nName=a=b\n"));
    QCOMPARE(ini.readString("DIRECTORY", "EDITOR"), QByteArray("/w/e/"));
    QCOMPARE(ini.readString("DIRECTORY", "U7", "dflt"), QByteArray("dflt"));
    QCOMPARE(ini.readString("user", "NAME"), QByteArray("a=b"));
}

void TestConfig::defaultsWithoutFile() {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("LEXIVO.INI"));
    QVERIFY(!ini.exists());
    const Settings s = readSettings(ini, "/prog/");
    QCOMPARE(s.editorDirectory, QByteArray("/prog/"));
    QCOMPARE(s.gameDirectory, QByteArray());
    QCOMPARE(s.translatorId, quint8(1));
    QCOMPARE(s.userName, QByteArray("Noname"));
    QCOMPARE(s.userColor, 0u);
    QVERIFY(s.translatorNames.isEmpty());
    QCOMPARE(s.colors, DefaultColors);
    QCOMPARE(s.colors[NormalFore], 8960904u);
    QCOMPARE(s.colors[OriginalBack], 1055760u);
}

void TestConfig::startupValues() {
    QTemporaryDir dir;
    IniFile ini(writeIni(dir, "[USER]\r\nID=257\r\nCOLOR=$FF\r\n[SETTING]\r\nLASTFUNC=-5\r\n"
                              "LASTFUNCLINE=7\r\n[COLORS]\r\nNORMALFORE=0x0000FF\r\n"
                              "ORIGINALBACK=red\r\n"));
    const Settings s = readSettings(ini, "/prog/");
    QCOMPARE(s.translatorId, quint8(1));
    QCOMPARE(s.lastFunc, 0);
    QCOMPARE(s.lastFuncLine, 7);
    QCOMPARE(s.userColor, 0xFFu);
    QCOMPARE(s.colors[NormalFore], 0x0000FFu);
    QCOMPARE(s.colors[OriginalBack], 1055760u);
}

void TestConfig::translatorNames_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<QByteArray>>("names");
    using L = QList<QByteArray>;
    QTest::newRow("as written") << QByteArray("A|B|") << L{"A", "B"};
    QTest::newRow("empty third of four")
        << QByteArray("Anna|Bruno||Carla") << L{"Anna", "Bruno", "", "Carla"};
    QTest::newRow("empty value") << QByteArray() << L{};
}

void TestConfig::translatorNames() {
    QFETCH(QByteArray, value);
    QFETCH(QList<QByteArray>, names);
    QCOMPARE(splitTranslatorNames(value), names);
    if (value.endsWith('|') || value.isEmpty()) QCOMPARE(joinTranslatorNames(names), value);
}

void TestConfig::writeKeepsEverythingElse_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("replace value, keep CR LF and comments")
        << QByteArray("; team file\r\n[SETTING]\r\nlastfunc = 3 \r\nX=1\r\n")
        << QByteArray("; team file\r\n[SETTING]\r\nlastfunc =12\r\nX=1\r\n");
    QTest::newRow("append at end of section, LF file")
        << QByteArray("[SETTING]\nX=1\n\n[OTHER]\nY=2\n")
        << QByteArray("[SETTING]\nX=1\nLASTFUNC=12\n\n[OTHER]\nY=2\n");
    QTest::newRow("no final newline")
        << QByteArray("[SETTING]\r\nX=1") << QByteArray("[SETTING]\r\nX=1\r\nLASTFUNC=12\r\n");
    QTest::newRow("CR-only lines") << QByteArray("[A]\rk=v\r[SETTING]\rLASTFUNC=1\r")
                                   << QByteArray("[A]\rk=v\r[SETTING]\rLASTFUNC=12\r");
    QTest::newRow("new section at end")
        << QByteArray("[A]\r\nk=v\r\n") << QByteArray("[A]\r\nk=v\r\n[SETTING]\r\nLASTFUNC=12\r\n");
}

void TestConfig::writeKeepsEverythingElse() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    IniFile ini(writeIni(dir, before));
    ini.writeInteger("SETTING", "LASTFUNC", 12);
    QCOMPARE(fileBytes(ini.path()), after);
    QCOMPARE(ini.readInteger("SETTING", "LASTFUNC", 0), 12);
}

void TestConfig::writeCreatesFileAndSection() {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("LEXIVO.INI"));
    ini.writeString("DIRECTORY", "U7", "/games/u7/");
    QCOMPARE(fileBytes(ini.path()), QByteArray("[DIRECTORY]\r\nU7=/games/u7/\r\n"));
    QCOMPARE(ini.readString("DIRECTORY", "U7"), QByteArray("/games/u7/"));
    // A value never breaks its line into keys of its own.
    ini.writeString("USER", "NAME", "Anna\r\nID=9");
    QCOMPARE(ini.readString("USER", "NAME"), QByteArray("Anna  ID=9"));
    QCOMPARE(ini.readInteger("USER", "ID", 1), 1);
}

void TestConfig::optionsWriteOrder() {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("LEXIVO.INI"));
    ColorSettings colors = DefaultColors;
    colors[NormalFore] = 255;
    writeOptions(ini, 3, "Anna", 0x00FF00, "", {"Anna", "Bruno"}, colors);
    QByteArray expected = "[USER]\r\nID=3\r\nNAME=Anna\r\nCOLOR=65280\r\n"
                          "[GROUP]\r\nTRANSLATORSNAMES=Anna|Bruno|\r\n[COLORS]\r\n";
    for (int i = 0; i < ColorCount; ++i)
        expected += QByteArray(ColorKeys[i]) + '=' + QByteArray::number(colors[i]) + "\r\n";
    QCOMPARE(fileBytes(ini.path()), expected);
    writeLastPosition(ini, -1, -1);
    QVERIFY(fileBytes(ini.path()).endsWith("[SETTING]\r\nLASTFUNC=-1\r\nLASTFUNCLINE=-1\r\n"));
    QCOMPARE(readSettings(ini, "/p/").lastFunc, 0);
}

void TestConfig::damagedFilesDoNotCrash_data() {
    QTest::addColumn<QByteArray>("content");
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919) & 0xFF));
    QTest::newRow("binary junk") << junk;
    QTest::newRow("10 MB value") << "[USER]\r\nNAME=" + QByteArray(10 * 1024 * 1024, 'x') + "\r\n";
    QTest::newRow("no final newline") << QByteArray("[USER]\r\nID=3");
    QTest::newRow("CR-only lines") << QByteArray("[USER]\rID=3\rNAME=Zoe\r");
    QTest::newRow("unclosed section") << QByteArray("[USER\r\nID=3\r\n");
    QTest::newRow("NUL bytes") << QByteArray("[USER]\0\r\nID=\0\r\n", 15);
}

void TestConfig::damagedFilesDoNotCrash() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    IniFile ini(writeIni(dir, content));
    const Settings s = readSettings(ini, "/p/");
    Q_UNUSED(s);
    ini.writeInteger("SETTING", "LASTFUNC", 4);
    QCOMPARE(ini.readInteger("SETTING", "LASTFUNC", 0), 4);
    // Everything that was there before is still there.
    QVERIFY(fileBytes(ini.path()).startsWith(content.left(content.size() - 1)));
}

void TestConfig::unwritableFileReportsPath() {
    QTemporaryDir dir;
    const QString path = dir.filePath("missing-folder/LEXIVO.INI");
    IniFile ini(path);
    try {
        ini.writeInteger("SETTING", "LASTFUNC", 1);
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to %1").arg(path));
    }
}

QTEST_APPLESS_MAIN(TestConfig)
#include "tst_config.moc"
