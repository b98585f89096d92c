#include "gamebuilder/usecodebuilder.h"
#include "usecode/usecodefile.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

using namespace lexivo;
using namespace lexivo::gamebuild;

namespace {

QByteArray u16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray u32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

SymbolSpec sym(const QByteArray& name, quint16 kind, quint32 value, quint32 extra = 0,
               const QList<SymbolSpec>& members = {}) {
    SymbolSpec s;
    s.name = name;
    s.kind = kind;
    s.value = value;
    s.extra = extra;
    s.members = members;
    return s;
}

QByteArray record(quint16 number, const QList<QByteArray>& strings, bool extended = false) {
    FunctionSpec f;
    f.number = number;
    f.strings = strings;
    f.code = simpleConversation(int(strings.size()));
    f.extended = extended;
    return functionRecord(f);
}

} // namespace

class TestUsecodeFile : public QObject {
    Q_OBJECT
private slots:
    void hexNumIsFourUpperCaseDigits();
    void functionTableFromRecords();
    void symbolTableAndDescriptionLines();
    void notASymbolTableWhenMagicDiffers();
    void extractStringsStaysInsideTheSegment();
    void descriptions_data();
    void descriptions();
    void damagedFiles_data();
    void damagedFiles();
    void garbageNeverCrashes();
};

void TestUsecodeFile::hexNumIsFourUpperCaseDigits() {
    QCOMPARE(hexNum(0x1A4), QByteArray("01A4"));
    QCOMPARE(hexNum(0), QByteArray("0000"));
    QCOMPARE(hexNum(0xFFFF), QByteArray("FFFF"));
}

void TestUsecodeFile::functionTableFromRecords() {
    const QByteArray a = record(0x1A4, {"Hello", "World"});
    const QByteArray empty = record(0x0010, {});
    const QByteArray fffe = fffeRecord(0x12345, {"hidden"}, simpleConversation(1));
    const QByteArray ext = record(0x0BCD, {"x", "", "yz"}, true);
    const QByteArray image = a + empty + fffe + ext;

    const UsecodeFile file = parseUsecode(image, "usecode");
    QVERIFY2(file.problems.isEmpty(), qPrintable(file.problems.join('\n')));
    QVERIFY(!file.hasSymbolTable);
    QCOMPARE(file.funcs.size(), 2);

    const tFunc& f0 = file.funcs[0];
    QCOMPARE(f0.FuncNum, quint16(0x1A4));
    QCOMPARE(f0.HexNum, QByteArray("01A4"));
    QCOMPARE(f0.Offset, 0);
    QCOMPARE(f0.Size, qint32(a.size() - 4));
    QVERIFY(!f0.Extended);
    QCOMPARE(extractStrings(image, f0), (QList<QByteArray>{"Hello", "World"}));

    const tFunc& f1 = file.funcs[1];
    QCOMPARE(f1.FuncNum, quint16(0x0BCD));
    QCOMPARE(f1.Offset, qint32(a.size() + empty.size() + fffe.size()));
    QCOMPARE(f1.Size, qint32(ext.size() - 8));
    QVERIFY(f1.Extended);
    QCOMPARE(extractStrings(image, f1), (QList<QByteArray>{"x", "", "yz"}));
    const DataSegment seg = dataSegmentOf(image, f1);
    QCOMPARE(seg.start, qint64(f1.Offset + 12));
    QCOMPARE(seg.size, qint64(6));
}

void TestUsecodeFile::symbolTableAndDescriptionLines() {
    SymbolSpec smith = sym("Blacksmith", 1, 0x1A4);
    SymbolSpec cls = sym("Npc", 4, 0x77);
    cls.members = {sym("talk", 1, 0x400), sym("walk", 6, 0x401, 9)};
    cls.list = {1, 2, 3};
    SymbolSpec six = sym("Six", 6, 0x20, 0xABCDEF);
    SymbolSpec big = sym("Huge", 2, 0x12345);
    const QByteArray header = symbolTableHeader({smith, cls, six, big}, 0x55);
    const QByteArray image = header + record(0x1A4, {"Hi"});

    const UsecodeFile file = parseUsecode(image, "usecode");
    QVERIFY2(file.problems.isEmpty(), qPrintable(file.problems.join('\n')));
    QVERIFY(file.hasSymbolTable);
    QCOMPARE(file.symbols.Count, 4u);
    QCOMPARE(file.symbols.Reserved, 0x55u);
    QCOMPARE(file.symbols.FuncStart, qint32(header.size()));
    QCOMPARE(file.symbols.Symbols.size(), 4);
    QCOMPARE(file.symbols.Symbols[2].Extra, 0xABCDEFu);
    QCOMPARE(file.symbols.Symbols[1].Kind, quint16(4));
    QCOMPARE(
        file.symbolDescriptionLines,
        (QList<QByteArray>{"01A4=Blacksmith", "0400=talk", "0401=walk", "0020=Six", "12345=Huge"}));
    QCOMPARE(file.funcs.size(), 1);
    QCOMPARE(file.funcs[0].Offset, qint32(header.size()));
}

void TestUsecodeFile::notASymbolTableWhenMagicDiffers() {
    // A standard record whose first bytes happen to be 0xFFFF... is extended,
    // not a symbol table, when "YSCU" does not follow.
    const QByteArray image = record(0x1234, {"A"}, true) + record(0x0002, {"B"});
    const UsecodeFile file = parseUsecode(image, "usecode");
    QVERIFY(file.problems.isEmpty());
    QVERIFY(!file.hasSymbolTable);
    QCOMPARE(file.funcs.size(), 2);
    QCOMPARE(file.funcs[0].Offset, 0);
}

void TestUsecodeFile::extractStringsStaysInsideTheSegment() {
    // The last string lacks its NUL: it ends with the segment, not in the code.
    QByteArray code = simpleConversation(0).assemble({});
    QByteArray image = u16(7) + u16(quint16(2 + 3 + code.size())) + u16(3) + "abc" + code;
    const UsecodeFile file = parseUsecode(image, "usecode");
    QVERIFY(file.problems.isEmpty());
    QCOMPARE(file.funcs.size(), 1);
    QCOMPARE(extractStrings(image, file.funcs[0]), (QList<QByteArray>{"abc"}));
    QCOMPARE(stringStarts("ab\0\0c", 5), (QList<qint64>{0, 3, 4}));
}

void TestUsecodeFile::descriptions_data() {
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("found");
    QTest::addColumn<QList<QByteArray>>("afterSet"); // after setDescription(key, "New")

    QTest::newRow("case ignored, first wins")
        << QList<QByteArray>{"01a4=Smith", "01A4=Other"} << QByteArray("01A4")
        << QByteArray("Smith") << QList<QByteArray>{"01A4=New", "01A4=Other"};
    QTest::newRow("equals sign in the text") << QList<QByteArray>{"01A4=a=b"} << QByteArray("01A4")
                                             << QByteArray("a=b") << QList<QByteArray>{"01A4=New"};
    QTest::newRow("lines without = ignored")
        << QList<QByteArray>{"01A4", "0002=x"} << QByteArray("01A4") << QByteArray()
        << QList<QByteArray>{"01A4", "0002=x", "01A4=New"};
    QTest::newRow("empty list") << QList<QByteArray>{} << QByteArray("0001") << QByteArray()
                                << QList<QByteArray>{"0001=New"};
}

void TestUsecodeFile::descriptions() {
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, found);
    QFETCH(QList<QByteArray>, afterSet);
    QCOMPARE(lookupDescription(lines, key), found);
    setDescription(lines, key, "New");
    QCOMPARE(lines, afterSet);
}

void TestUsecodeFile::damagedFiles_data() {
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("soundFunctions");
    QTest::addColumn<QString>("problem");

    const QByteArray good = record(0x0001, {"one"});
    const QString at = QString::number(good.size());
    const QByteArray magic = u32(0xFFFFFFFF) + "YSCU";

    QTest::newRow("record runs past the end")
        << good + record(0x0002, {"two"}).chopped(3) << 1
        << "usecode: record at byte offset " + at + " runs past the end of the file";
    QTest::newRow("truncated record header")
        << good + u16(3) + u16(10) << 1
        << "usecode: record at byte offset " + at + " runs past the end of the file";
    QTest::newRow("one byte left")
        << good + QByteArray(1, 'x') << 1
        << "usecode: record at byte offset " + at + " runs past the end of the file";
    QTest::newRow("standard size smaller than its fields")
        << good + u16(2) + u16(1) + u16(0) + "junk" << 1
        << "usecode: record at byte offset " + at + " has a size field smaller than its own fields";
    QTest::newRow("extended size smaller than its fields")
        << good + u16(0xFFFF) + u16(2) + u32(3) + u32(0) << 1
        << "usecode: record at byte offset " + at + " has a size field smaller than its own fields";
    QTest::newRow("data segment larger than the record")
        << good + u16(2) + u16(4) + u16(3) + "ab" << 1
        << "usecode: record at byte offset " + at + " has a data segment larger than the record";
    QTest::newRow("huge extended size")
        << good + u16(0xFFFF) + u16(2) + u32(0xFFFFFFF0) + u32(0xFFFFFF00) << 1
        << "usecode: record at byte offset " + at + " runs past the end of the file";
    QTest::newRow("truncated symbol-table header")
        << magic + u16(1) << 0 << "usecode: the symbol-table header at byte offset 0 is truncated";
    QTest::newRow("symbol count larger than the file")
        << magic + u32(0x40000000) + u32(0) + "a" << 0
        << "usecode: the symbol count 1073741824 at byte offset 8 is larger than the file can hold";
    QTest::newRow("symbol runs past the end")
        << magic + u32(2) + u32(0) + QByteArray("abc\0", 4) + u16(1) + u32(5) +
               QByteArray("unterminated name....")
        << 0 << "usecode: symbol 1 at byte offset 26 runs past the end of the file";
    QTest::newRow("member count larger than the file")
        << magic + u32(1) + u32(0) + QByteArray("c\0", 2) + u16(4) + u32(5) + u32(0x7FFFFFFF) +
               u32(0) + QByteArray(20, 'm')
        << 0
        << "usecode: symbol 0 at byte offset 16 has a member count 2147483647 larger than the "
           "file can hold";
}

void TestUsecodeFile::damagedFiles() {
    QFETCH(QByteArray, image);
    QFETCH(int, soundFunctions);
    QFETCH(QString, problem);
    const UsecodeFile file = parseUsecode(image, "usecode");
    QCOMPARE(file.problems, QStringList{problem});
    QCOMPARE(file.funcs.size(), soundFunctions);
    for (const tFunc& f : file.funcs)
        extractStrings(file.image, f);
}

void TestUsecodeFile::garbageNeverCrashes() {
    QRandomGenerator rng(1234);
    const QByteArray base = symbolTableHeader({sym("a", 4, 1, 0, {sym("b", 6, 2, 3)})}) +
                            record(1, {"x", "yy"}) + record(2, {"z"}, true);
    for (int round = 0; round < 2000; ++round) {
        QByteArray image = base;
        const int flips = 1 + int(rng.bounded(6));
        for (int i = 0; i < flips; ++i)
            image[int(rng.bounded(image.size()))] = char(rng.bounded(256));
        if (round % 3 == 0) image.truncate(int(rng.bounded(image.size())));
        const UsecodeFile file = parseUsecode(image, "usecode");
        for (const tFunc& f : file.funcs) {
            const DataSegment seg = dataSegmentOf(file.image, f);
            QVERIFY(seg.start + seg.size <= file.image.size());
            extractStrings(file.image, f);
        }
    }
}

QTEST_APPLESS_MAIN(TestUsecodeFile)
#include "tst_usecodefile.moc"
