// The game builders make every game file the other tests use, so their byte
// layouts are checked here against hand-computed bytes.

#include "gamebuilder/textarchive.h"
#include "gamebuilder/usecodebuilder.h"

#include <QTest>
#include <QtEndian>

using namespace lexivo::gamebuild;

namespace {

quint16 u16At(const QByteArray& bytes, qsizetype pos) {
    return qFromLittleEndian<quint16>(bytes.constData() + pos);
}
qint16 i16At(const QByteArray& bytes, qsizetype pos) {
    return qFromLittleEndian<qint16>(bytes.constData() + pos);
}
quint32 u32At(const QByteArray& bytes, qsizetype pos) {
    return qFromLittleEndian<quint32>(bytes.constData() + pos);
}
qint32 i32At(const QByteArray& bytes, qsizetype pos) {
    return qFromLittleEndian<qint32>(bytes.constData() + pos);
}

} // namespace

class TestGameBuilder : public QObject {
    Q_OBJECT

private slots:
    void jumpOffsetsAreRelativeToInstructionEnd_data();
    void jumpOffsetsAreRelativeToInstructionEnd();
    void stringOperandsHoldDataOffsets();
    void codeHeaderCarriesExtraWords();
    void recordSizes();
    void standardRecordRefusesOversizeAndMarkerNumber();
    void symbolTableLayout();
    void simpleConversationIsWellFormed();
    void textArchiveLayout();
};

// Each row: a jump at code position 6 (after the 6-byte header), a label either
// before it (backward) or after a 3-byte filler instruction (forward).
void TestGameBuilder::jumpOffsetsAreRelativeToInstructionEnd_data() {
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("leading");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("expected");

    // instruction length = 1 + leading + width; forward target = end + 3;
    // backward target = 6 (label right before the jump) = -(instruction length).
    QTest::newRow("0x06 forward") << 0x06 << 0 << true << 3;
    QTest::newRow("0x06 backward") << 0x06 << 0 << false << -3;
    QTest::newRow("0x05 backward") << 0x05 << 0 << false << -3;
    QTest::newRow("0x02 forward") << 0x02 << 8 << true << 3;
    QTest::newRow("0x02 backward") << 0x02 << 8 << false << -11;
    QTest::newRow("0x31 backward") << 0x31 << 2 << false << -5;
    QTest::newRow("0x86 forward") << 0x86 << 0 << true << 3;
    QTest::newRow("0x86 backward") << 0x86 << 0 << false << -5;
    QTest::newRow("0x87 backward") << 0x87 << 2 << false << -7;
    QTest::newRow("0xDC backward") << 0xDC << 8 << false << -13;
}

void TestGameBuilder::jumpOffsetsAreRelativeToInstructionEnd() {
    QFETCH(int, opcode);
    QFETCH(int, leading);
    QFETCH(bool, forward);
    QFETCH(int, expected);

    const QByteArray lead(leading, '\x7A');
    CodeAssembler code;
    if (!forward) code.label("target");
    code.jump(quint8(opcode), "target", lead);
    code.op(0x12, QByteArray("\x01\x02", 2));
    if (forward) code.label("target");
    code.op(0x25);
    const QByteArray bytes = code.assemble({});

    const bool wide = opcode & 0x80;
    QCOMPARE(quint8(bytes.at(6)), quint8(opcode));
    QCOMPARE(bytes.mid(7, leading), lead);
    const int operandPos = 7 + leading;
    const int offset = wide ? i32At(bytes, operandPos) : i16At(bytes, operandPos);
    QCOMPARE(offset, expected);
    // The target is an instruction start: the filler (forward) or the jump itself.
    const int end = operandPos + (wide ? 4 : 2);
    QCOMPARE(end + offset, forward ? end + 3 : 6);
    QCOMPARE(bytes.size(), end + 3 + 1);
}

void TestGameBuilder::stringOperandsHoldDataOffsets() {
    const QList<QByteArray> strings{"Hello", "", "Farewell"};
    QCOMPARE(stringOffsets(strings), (QList<quint32>{0, 6, 7}));
    QCOMPARE(dataSegment(strings), QByteArray("Hello\0\0Farewell\0", 16));

    CodeAssembler code;
    code.stringRef(0x1D, 2).stringRef(0x9C, 1).debugFunc(0x4D, 0, 2).debugFunc(0xCD, 2, 0);
    code.rawStringOffset(0x1C, 0x1234).op(0x25);
    const QByteArray bytes = code.assemble(stringOffsets(strings));
    QCOMPARE(bytes.mid(6), QByteArray("\x1D\x07\x00"
                                      "\x9C\x06\x00\x00\x00"
                                      "\x4D\x00\x00\x07\x00"
                                      "\xCD\x07\x00\x00\x00\x00\x00\x00\x00"
                                      "\x1C\x34\x12"
                                      "\x25",
                                      3 + 5 + 5 + 9 + 3 + 1));
}

void TestGameBuilder::codeHeaderCarriesExtraWords() {
    CodeAssembler code(0x0102, 0x0304, {0xAAAA, 0xBBBB});
    code.label("top").jump(0x06, "top");
    const QByteArray bytes = code.assemble({});
    QCOMPARE(bytes.left(10), QByteArray("\x02\x01\x04\x03\x02\x00\xAA\xAA\xBB\xBB", 10));
    // The label after the header counts the extra words.
    QCOMPARE(i16At(bytes, 11), qint16(-3));
}

void TestGameBuilder::recordSizes() {
    FunctionSpec f;
    f.number = 0x01A4;
    f.strings = {"Ale?", "Aye."};
    f.code.stringRef(0x1D, 1).op(0x25);
    const QByteArray standard = functionRecord(f);
    // 6 header bytes + 10 data + (6 header + 3 + 1) code.
    QCOMPARE(standard.size(), 6 + 10 + 10);
    QCOMPARE(u16At(standard, 0), quint16(0x01A4));
    QCOMPARE(u16At(standard, 2), quint16(2 + 10 + 10)); // bytes after the size field
    QCOMPARE(u16At(standard, 4), quint16(10));
    QCOMPARE(standard.mid(6, 10), QByteArray("Ale?\0Aye.\0", 10));
    QCOMPARE(standard.mid(16 + 6), QByteArray("\x1D\x05\x00\x25", 4));

    f.extended = true;
    const QByteArray extended = functionRecord(f);
    QCOMPARE(extended.size(), 12 + 10 + 10);
    QCOMPARE(u16At(extended, 0), quint16(0xFFFF));
    QCOMPARE(u16At(extended, 2), quint16(0x01A4));
    QCOMPARE(u32At(extended, 4), quint32(4 + 10 + 10));
    QCOMPARE(u32At(extended, 8), quint32(10));
    QCOMPARE(extended.mid(12), standard.mid(6));

    const QByteArray fffe = fffeRecord(0x12345, f.strings, f.code);
    QCOMPARE(fffe.size(), 14 + 10 + 10);
    QCOMPARE(u16At(fffe, 0), quint16(0xFFFE));
    QCOMPARE(u32At(fffe, 2), quint32(0x12345));
    QCOMPARE(u32At(fffe, 6), quint32(4 + 10 + 10));
    QCOMPARE(u32At(fffe, 10), quint32(10));
    QCOMPARE(fffe.mid(14), standard.mid(6));

    // A function without strings: data size 0, code follows at once.
    FunctionSpec empty;
    empty.number = 7;
    empty.code.op(0x32);
    const QByteArray e = functionRecord(empty);
    QCOMPARE(e, QByteArray("\x07\x00\x09\x00\x00\x00"
                           "\x00\x00\x00\x00\x00\x00\x32",
                           13));
}

void TestGameBuilder::standardRecordRefusesOversizeAndMarkerNumber() {
    FunctionSpec big;
    big.number = 1;
    big.strings = {QByteArray(0xFFF8, 'x')};
    big.code.stringRef(0x1D, 0).op(0x25);
    QVERIFY_THROWS_EXCEPTION(std::logic_error, functionRecord(big));
    big.extended = true;
    QCOMPARE(u32At(functionRecord(big), 4), quint32(4 + 0xFFF9 + 6 + 4));

    FunctionSpec marker;
    marker.number = 0xFFFF;
    QVERIFY_THROWS_EXCEPTION(std::logic_error, functionRecord(marker));
}

void TestGameBuilder::symbolTableLayout() {
    SymbolSpec plain{"Smith", 1, 0x1A4, 0, {}, {}};
    SymbolSpec withExtra{"Gate", 6, 0x10000, 0xCAFE, {}, {}};
    SymbolSpec member6{"m6", 6, 5, 0x77, {}, {}};
    SymbolSpec member1{"m1", 3, 6, 0x99, {}, {}};
    SymbolSpec group{"Town", 4, 0, 0, {member6, member1}, {0x11, 0x22}};
    const QByteArray bytes = symbolTableHeader({plain, withExtra, group}, 0x55);

    QByteArray expected("\xFF\xFF\xFF\xFFYSCU\x03\x00\x00\x00\x55\x00\x00\x00", 16);
    expected += QByteArray("Smith\0\x01\x00\xA4\x01\x00\x00", 12);
    expected += QByteArray("Gate\0\x06\x00\x00\x00\x01\x00\xFE\xCA\x00\x00", 15);
    expected += QByteArray("Town\0\x04\x00\x00\x00\x00\x00", 11);
    expected += QByteArray("\x02\x00\x00\x00\x00\x00\x00\x00", 8); // M, skipped
    expected += QByteArray("m6\0\x06\x00\x05\x00\x00\x00\x77\x00\x00\x00", 13);
    expected += QByteArray("m1\0\x03\x00\x06\x00\x00\x00", 9); // no extra for kind 3
    expected += QByteArray("\x02\x00\x11\x00\x22\x00\x00\x00", 8);
    QCOMPARE(bytes, expected);
}

// Walks the conversation's code with the operand widths of the instruction set
// and checks every jump lands on an instruction start.
void TestGameBuilder::simpleConversationIsWellFormed() {
    const QList<QByteArray> strings{"One", "Two", "Three"};
    const QByteArray code = simpleConversation(3).assemble(stringOffsets(strings));
    const int header = 6 + 2 * u16At(code, 4);
    QList<int> starts;
    QList<int> targets;
    QList<quint16> strOperands;
    int pos = header;
    int last = -1;
    while (pos < code.size()) {
        starts << pos;
        const quint8 opcode = quint8(code.at(pos));
        last = opcode;
        ++pos;
        switch (opcode) {
        case 0x04:
        case 0x05:
        case 0x06:
            pos += 2;
            targets << pos + i16At(code, pos - 2);
            break;
        case 0x1D:
            strOperands << u16At(code, pos);
            pos += 2;
            break;
        case 0x12:
        case 0x1F:
        case 0x21:
            pos += 2;
            break;
        case 0x0A:
        case 0x25:
        case 0x33:
            break;
        default:
            QFAIL(qPrintable(QString("unexpected opcode 0x%1").arg(opcode, 0, 16)));
        }
    }
    QCOMPARE(pos, code.size());
    QCOMPARE(last, 0x25);
    QCOMPARE(strOperands, (QList<quint16>{0, 4, 8}));
    QVERIFY(!targets.isEmpty());
    bool backward = false;
    bool forwardJump = false;
    for (int i = 0; i < targets.size(); ++i) {
        QVERIFY(starts.contains(targets[i]));
    }
    // One jump leads back (the loop) and one forward (its exit).
    for (int t : targets) {
        backward = backward || t <= starts.at(starts.size() - 3);
        forwardJump = forwardJump || t == starts.last();
    }
    QVERIFY(backward);
    QVERIFY(forwardJump);
}

// Records follow the table directly in table order; an empty slot has offset 0
// and takes no bytes.
void TestGameBuilder::textArchiveLayout() {
    const QByteArray bytes = textArchive({QByteArray("Hi"), std::nullopt, QByteArray("")}, "c");
    QCOMPARE(bytes.size(), 128 + 3 * 8 + 3 + 1);
    QCOMPARE(bytes.left(2), QByteArray("c\0", 2));
    QCOMPARE(u32At(bytes, 84), quint32(3));
    QCOMPARE(i32At(bytes, 128), 152);
    QCOMPARE(u32At(bytes, 132), quint32(3));
    QCOMPARE(i32At(bytes, 136), 0);
    QCOMPARE(u32At(bytes, 140), quint32(0));
    QCOMPARE(i32At(bytes, 144), 155);
    QCOMPARE(u32At(bytes, 148), quint32(1));
    QCOMPARE(bytes.mid(152), QByteArray("Hi\0\0", 4));
}

QTEST_GUILESS_MAIN(TestGameBuilder)
#include "tst_gamebuilder.moc"
