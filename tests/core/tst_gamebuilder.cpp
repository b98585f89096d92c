// The game builders make every game file the other tests use, so their byte
// layouts are checked here against hand-computed bytes.

#include "gamebuilder/samplegame.h"
#include "gamebuilder/textarchive.h"
#include "gamebuilder/usecodebuilder.h"

#include "usecodedisasm.h"

#include "workspace/fileio.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
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

// Steps over the symbol-table header; returns the position of the first
// record and the (value, name) pair of every symbol that is not a group, and
// of every group member.
qint64 skipSymbols(const QByteArray& image, QList<QPair<quint32, QByteArray>>* names) {
    if (!image.startsWith(QByteArray("\xFF\xFF\xFF\xFFYSCU", 8))) return 0;
    qint64 pos = 16;
    auto name = [&] {
        const qint64 end = image.indexOf('\0', pos);
        const QByteArray n = image.mid(pos, end - pos);
        pos = end + 1;
        return n;
    };
    const quint32 count = u32At(image, 8);
    for (quint32 i = 0; i < count; ++i) {
        const QByteArray n = name();
        const quint16 kind = u16At(image, pos);
        const quint32 value = u32At(image, pos + 2);
        pos += 6;
        if (kind == 4) {
            const quint32 members = u32At(image, pos);
            pos += 8;
            for (quint32 m = 0; m < members; ++m) {
                const QByteArray mn = name();
                const quint16 mkind = u16At(image, pos);
                names->append({u32At(image, pos + 2), mn});
                pos += mkind == 6 ? 10 : 6;
            }
            pos += 2 + 2 * u16At(image, pos) + 2;
        } else {
            names->append({value, n});
            if (kind == 6) pos += 4;
        }
    }
    return pos;
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
    void sampleGameIsWellFormed_data();
    void sampleGameIsWellFormed();
    void writeSampleGameFolders();
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

void TestGameBuilder::sampleGameIsWellFormed_data() {
    QTest::addColumn<int>("scale");
    QTest::newRow("small") << int(SampleScale::Small);
    QTest::newRow("full") << int(SampleScale::Full);
}

// Every record chains to the end of the file, every code segment decodes with
// jumps on instruction starts and string operands on string starts, and the
// game has the variety the other tests and the benchmarks rely on.
void TestGameBuilder::sampleGameIsWellFormed() {
    QFETCH(int, scale);
    const bool full = scale == int(SampleScale::Full);
    const QByteArray image = sampleUsecode(SampleScale(scale));

    QList<QPair<quint32, QByteArray>> names;
    const qint64 start = skipSymbols(image, &names);
    QVERIFY(start > 0);
    QString error;
    const auto records = lexivo::testsupport::splitRecords(image, start, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(records.last().offset + records.last().bytes.size(), image.size());

    int forms[3] = {0, 0, 0};
    int withStrings = 0, strings = 0, withoutStrings = 0, unnamed = 0;
    qsizetype largestData = 0;
    bool backward = false, forward = false, unreferenced = false, wideString = false;
    QSet<int> opcodes, ends;
    QByteArray allText;
    for (const auto& record : records) {
        ++forms[record.form];
        const auto dis = lexivo::testsupport::disassemble(record.code);
        QVERIFY2(dis.error.isEmpty(),
                 qPrintable(QString("function %1: %2").arg(record.number, 0, 16).arg(dis.error)));
        QSet<quint32> named;
        for (const auto& ins : dis.instructions) {
            opcodes << ins.opcode;
            backward = backward || (ins.target >= 0 && ins.target <= ins.start);
            forward = forward || ins.target > ins.start;
            wideString = wideString || ins.opcode == 0x9D;
            for (quint32 s : ins.strings) {
                QVERIFY(record.starts.contains(s));
                named << s;
            }
        }
        ends << dis.instructions.last().opcode;
        unreferenced = unreferenced || named.size() < record.starts.size();
        if (record.strings.isEmpty()) {
            ++withoutStrings;
            continue;
        }
        if (record.form != 2) {
            ++withStrings;
            bool hasName = false;
            for (const auto& n : names)
                hasName = hasName || n.first == record.number;
            unnamed += hasName ? 0 : 1;
        }
        strings += record.strings.size();
        largestData = qMax(largestData, record.data.size());
        for (const auto& s : record.strings)
            allText += s;
    }
    QCOMPARE(forms[2], 1);
    QVERIFY(forms[1] >= 1);
    QVERIFY(withoutStrings >= 1);
    QCOMPARE(unnamed, 0);
    QVERIFY(backward && forward);
    QVERIFY(ends.contains(0x25) && ends.contains(0x32) && ends.contains(0x2D));
    for (int op : {0x1C, 0x1D, 0x4D, 0x02, 0x07})
        QVERIFY2(opcodes.contains(op), qPrintable(QString::number(op, 16)));
    QVERIFY(allText.contains("\r\n") && allText.contains('\t') && allText.contains('\x03'));

    if (full) {
        QVERIFY(withStrings >= 1400);
        QVERIFY(strings >= 14000);
        QVERIFY(image.size() >= 1300 * 1000);
        QVERIFY(largestData > 0xFFFF);
        QVERIFY(wideString);
        QCOMPARE(sampleUsecode(SampleScale::Full), image); // fixed seed
    } else {
        QVERIFY(withStrings >= 8 && withStrings <= 16);
        QVERIFY(unreferenced);
        QVERIFY(opcodes.contains(0x86));
    }

    // The text archive: one empty slot, every other entry a record with its NUL.
    const auto messages = sampleMessages(SampleScale(scale));
    QCOMPARE(messages.count(std::nullopt), 1);
    QVERIFY(messages.size() >= (full ? 500 : 25));
}

void TestGameBuilder::writeSampleGameFolders() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString root = tmp.path() + "/";

    const auto plain = writeSampleGame(root + "plain");
    QCOMPARE(plain, (QList<QString>{root + "plain/usecode", root + "plain/text.flx"}));
    QCOMPARE(lexivo::readWholeFile(plain.at(0)), sampleUsecode());
    QCOMPARE(lexivo::readWholeFile(plain.at(1)), textArchive(sampleMessages()));

    SampleGameOptions options;
    options.staticFolder = true;
    const auto upper = writeSampleGame(root + "upper", options);
    QCOMPARE(upper,
             (QList<QString>{root + "upper/STATIC/USECODE", root + "upper/STATIC/TEXT.FLX"}));

    // Existing entries are replaced whatever the case of their names.
    QVERIFY(QDir().mkpath(root + "lower/static"));
    lexivo::writeFileAtomically(root + "lower/static/usecode", "old");
    lexivo::writeFileAtomically(root + "lower/static/Text.flx", "old");
    const auto lower = writeSampleGame(root + "lower", options);
    QCOMPARE(lower,
             (QList<QString>{root + "lower/static/usecode", root + "lower/static/Text.flx"}));
    QCOMPARE(QDir(root + "lower").entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"static"});
    QCOMPARE(QDir(root + "lower/static").entryList(QDir::Files).size(), 2);
    QCOMPARE(lexivo::readWholeFile(lower.at(0)), sampleUsecode());
}

QTEST_GUILESS_MAIN(TestGameBuilder)
#include "tst_gamebuilder.moc"
