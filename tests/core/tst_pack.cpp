// orig.pak: layout, compression, and damaged packs.

#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/pack.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;

class TestPack : public QObject {
    Q_OBJECT

private slots:
    void layout();
    void roundTripThroughFile();
    void damagedPacks_data();
    void damagedPacks();
    void missingFileIsFileError();
};

void TestPack::layout() {
    const QList<Lines> blocks{{"ab", "c"}, {""}, {"d", "", "efg"}};
    const QByteArray content = Pack::buildContent(blocks);
    QCOMPARE(quint8(content[0]) | quint8(content[1]) << 8, 3);
    const qint32 x = 6 + (4 + 3) + 2 + (3 + 2 + 5);
    QCOMPARE(qFromLittleEndian<qint32>(content.constData() + 2), x);
    QCOMPARE(content.size(), x + 12);
    QCOMPARE(qFromLittleEndian<qint32>(content.constData() + x), 6);
    QCOMPARE(qFromLittleEndian<qint32>(content.constData() + x + 4), 13);
    QCOMPARE(qFromLittleEndian<qint32>(content.constData() + x + 8), 15);
    Pack pack;
    pack.setContent(content, "orig.pak");
    QCOMPARE(pack.blockCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(pack.blockLines(i), blocks[i]);
    QCOMPARE(pack.blockBytes(1), QByteArray("\r\n"));
    QVERIFY(pack.blockLines(3).isEmpty());
}

void TestPack::roundTripThroughFile() {
    QTemporaryDir dir;
    QList<Lines> blocks;
    for (int f = 0; f < 300; ++f) {
        Lines lines;
        for (int s = 0; s < 10; ++s)
            lines << QByteArray("Function %1 line %2 \xE9\\N")
                         .replace("%1", QByteArray::number(f))
                         .replace("%2", QByteArray::number(s));
        blocks << lines;
    }
    const QString path = dir.filePath("orig.pak");
    Pack::write(path, Pack::buildContent(blocks));
    QVERIFY(readWholeFile(path).startsWith("BZh9"));
    Pack pack;
    pack.load(path);
    QCOMPARE(pack.blockCount(), 300);
    QCOMPARE(pack.blockLines(299), blocks[299]);
}

void TestPack::damagedPacks_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    const QByteArray good = Pack::compress(Pack::buildContent({{"a", "b"}, {"c"}}));
    const QString corrupt = "The bz2 engine signals a data corruption";
    QByteArray flipped = good;
    flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 0x55);
    QTest::newRow("flipped byte") << flipped << corrupt;
    QTest::newRow("truncated stream") << good.left(good.size() - 8) << corrupt;
    QTest::newRow("trailing data") << good + "junk" << corrupt;
    QTest::newRow("not bzip2") << QByteArray("hello, world") << corrupt;
    QTest::newRow("empty file") << QByteArray() << corrupt;
    QTest::newRow("header only") << Pack::compress("\x01\x00") << "too short";
    QByteArray badIndex = Pack::buildContent({{"a"}});
    badIndex[2] = char(0x7F);
    QTest::newRow("index beyond content") << Pack::compress(badIndex) << "does not fit";
    QByteArray badStart = Pack::buildContent({{"a"}, {"b"}});
    badStart[badStart.size() - 4] = char(0x70);
    QTest::newRow("block start outside") << Pack::compress(badStart) << "outside the content";
}

void TestPack::damagedPacks() {
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath("orig.pak");
    writeFileAtomically(path, file);
    Pack pack;
    try {
        pack.load(path);
        QFAIL("damaged pack loaded");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        if (message.startsWith("too") || message.startsWith("does") || message.startsWith("out"))
            QVERIFY(e.message().contains(path));
    }
}

void TestPack::missingFileIsFileError() {
    QTemporaryDir dir;
    Pack pack;
    const QString path = dir.filePath("orig.pak");
    QVERIFY_THROWS_EXCEPTION(FileError, pack.load(path));
    try {
        pack.load(path);
    } catch (const FileError& e) {
        QVERIFY(e.message().startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(path)));
    }
}

QTEST_APPLESS_MAIN(TestPack)
#include "tst_pack.moc"
