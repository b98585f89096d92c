#include "gamebuilder/usecodebuilder.h"
#include "usecode/instructions.h"
#include "usecode/relocate.h"
#include "usecode/verifier.h"
#include "usecodedisasm.h"

#include <QTest>

using namespace lexivo;
using namespace lexivo::gamebuild;
using lexivo::testsupport::compareFunctions;
using lexivo::testsupport::disassemble;
using lexivo::testsupport::DisRecord;

namespace {

constexpr quint16 FuncNum = 0x01A4;

QByteArray le16(quint16 v) {
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}

// Relocates code written against oldStrings for a data segment holding
// newStrings, from a standard record of function 0x01A4.
struct Run {
    QByteArray oldCode;
    qint64 codeStart = 0;
    QList<quint32> oldStarts;
    QList<quint32> newStarts;
    RelocateResult result;

    // The independent disassembler's verdict on the result ("" when sound).
    QString compare() const {
        DisRecord before;
        before.code = oldCode;
        before.starts = oldStarts;
        DisRecord after;
        after.code = result.code;
        after.starts = newStarts;
        return compareFunctions(before, after);
    }
};

Run relocate(const QList<QByteArray>& oldStrings, const QList<QByteArray>& newStrings,
             const CodeAssembler& code) {
    Run run;
    FunctionSpec spec;
    spec.number = FuncNum;
    spec.strings = oldStrings;
    spec.code = code;
    spec.extended = true;
    const QByteArray image = functionRecord(spec);
    const QByteArray data = dataSegment(oldStrings);
    run.codeStart = 12 + data.size();
    run.oldCode = image.mid(run.codeStart);
    run.oldStarts = stringOffsets(oldStrings);
    run.newStarts = stringOffsets(newStrings);
    OffsetMap map;
    for (int i = 0; i < oldStrings.size(); ++i)
        map.append({run.oldStarts[i], run.newStarts[i]});
    run.result = RelocateCode(image, run.codeStart, image.size(), map, FuncNum);
    return run;
}

// A string list whose string 1 starts at newOffset.
QList<QByteArray> withSecondAt(qint64 newOffset, int count = 3) {
    QList<QByteArray> s{QByteArray(newOffset - 1, 'p')};
    for (int i = 1; i < count; ++i)
        s.append("s" + QByteArray::number(i));
    return s;
}

QByteArray filler(int bytes) {
    return QByteArray(bytes, '\x0A'); // one-byte instructions
}

} // namespace

class TestRelocate : public QObject {
    Q_OBJECT
private slots:
    void sameLengthWhenNothingWidens();
    void everyKnownOpcodePassesUnchanged();
    void widening_data();
    void widening();
    void jumpsAcrossWidenedReferences();
    void jumpThatNoLongerFits_data();
    void jumpThatNoLongerFits();
    void wideningRepeatsUntilStable();
    void wideningCascade_data();
    void wideningCascade();
    void refused_data();
    void refused();
    void endOpcodeWarning_data();
    void endOpcodeWarning();
    void verifierCatchesPlausibleFaults_data();
    void verifierCatchesPlausibleFaults();
};

void TestRelocate::sameLengthWhenNothingWidens() {
    const QList<QByteArray> oldStrings{"a", "bb", "ccc", "dddd"};
    const QList<QByteArray> newStrings{"longer one", "", "x", "yy\r\nzz"};
    CodeAssembler code(3, 4, {7, 8});
    code.label("top")
        .debugFunc(0x4D, 0, 3)
        .stringRef(0x1D, 2)
        .stringRef(0x1C, 1)
        .stringRef(0x9D, 3)
        .stringRef(0x9C, 0)
        .debugFunc(0xCD, 1, 2)
        .stringRef(0x1D, 2) // the same string twice
        .jump(0x05, "out")
        .op(0x5C, QByteArray(8, '\x01'))
        .raw(le16(0))
        .jump(0x06, "top")
        .label("out")
        .op(0x25);
    const Run run = relocate(oldStrings, newStrings, code);
    QVERIFY2(run.result.ok, qPrintable(run.result.error));
    QCOMPARE(run.result.code.size(), run.oldCode.size());
    QVERIFY(run.result.warning.isEmpty());
    QCOMPARE(run.compare(), QString());

    // Outside the string operands not one byte changed.
    const auto dis = disassemble(run.oldCode);
    QByteArray masked = run.result.code;
    QByteArray original = run.oldCode;
    for (const auto& ins : dis.instructions) {
        const OpcodeInfo& info = opcodeInfo(ins.opcode);
        if (info.kind == OperandKind::String || info.kind == OperandKind::StringPair) {
            const int n = info.size() - 1;
            masked.replace(ins.start + 1, n, QByteArray(n, '\0'));
            original.replace(ins.start + 1, n, QByteArray(n, '\0'));
        }
    }
    QCOMPARE(masked, original);
    QVERIFY(run.result.code != run.oldCode);
}

void TestRelocate::everyKnownOpcodePassesUnchanged() {
    // Every opcode that is neither jump nor string reference, with operand
    // bytes that look like opcodes themselves: the code must come out as it
    // went in, which holds only if each operand size is right.
    CodeAssembler code(0, 0, {1, 2, 3});
    int count = 0;
    for (int op = 0; op < 256; ++op) {
        const OpcodeInfo& info = opcodeInfo(quint8(op));
        if (info.kind == OperandKind::None || info.kind == OperandKind::Plain) {
            code.op(quint8(op), QByteArray(info.leading, '\x1D'));
            ++count;
        }
    }
    code.op(0x25);
    QCOMPARE(count, 69);
    const Run run = relocate({"s"}, {"s"}, code);
    QVERIFY2(run.result.ok, qPrintable(run.result.error));
    QCOMPARE(run.result.code, run.oldCode);
    QCOMPARE(run.compare(), QString());
}

void TestRelocate::widening_data() {
    QTest::addColumn<quint8>("opcode");
    QTest::addColumn<qint64>("newOffset"); // of string 1
    QTest::addColumn<quint8>("expectedOpcode");
    QTest::addColumn<int>("growth");
    QTest::newRow("0x1D at 0xFFFE stays") << quint8(0x1D) << qint64(0xFFFE) << quint8(0x1D) << 0;
    QTest::newRow("0x1D at 0xFFFF widens") << quint8(0x1D) << qint64(0xFFFF) << quint8(0x9D) << 2;
    QTest::newRow("0x1C at 0x10000 widens") << quint8(0x1C) << qint64(0x10000) << quint8(0x9C) << 2;
    QTest::newRow("0x4D at 0xFFFE stays") << quint8(0x4D) << qint64(0xFFFE) << quint8(0x4D) << 0;
    QTest::newRow("0x4D at 0xFFFF widens") << quint8(0x4D) << qint64(0xFFFF) << quint8(0xCD) << 4;
    QTest::newRow("0x9D stays wide") << quint8(0x9D) << qint64(2) << quint8(0x9D) << 0;
}

void TestRelocate::widening() {
    QFETCH(quint8, opcode);
    QFETCH(qint64, newOffset);
    QFETCH(quint8, expectedOpcode);
    QFETCH(int, growth);
    CodeAssembler code;
    if (opcode == 0x4D)
        code.debugFunc(opcode, 0, 1);
    else
        code.stringRef(opcode, 1);
    code.op(0x25);
    const Run run = relocate({"a", "b", "c"}, withSecondAt(newOffset), code);
    QVERIFY2(run.result.ok, qPrintable(run.result.error));
    QCOMPARE(run.result.code.size(), run.oldCode.size() + growth);
    QCOMPARE(quint8(run.result.code[6]), expectedOpcode);
    QCOMPARE(run.compare(), QString());
}

void TestRelocate::jumpsAcrossWidenedReferences() {
    // Every kind of 16-bit jump, forward and backward, before, across and
    // after widened references; none needs widening itself.
    CodeAssembler code(1, 0);
    code.label("top")
        .stringRef(0x1D, 0)
        .jump(0x05, "mid")
        .stringRef(0x1D, 1) // widens
        .jump(0x07, "end", le16(3))
        .label("mid")
        .stringRef(0x1C, 2) // widens
        .jump(0x02, "top", QByteArray(8, '\x02'))
        .debugFunc(0x4D, 0, 3) // widens
        .jump(0x31, "mid", le16(9))
        .jump(0x04, "top")
        .jump(0x61, "end")
        .op(0x5F, QByteArray(8, '\x03'))
        .raw(le16(0))
        .jump(0x06, "top")
        .label("end")
        .op(0x32);
    QList<QByteArray> newStrings{QByteArray(0x10000, 'x'), "one", "two", "three"};
    const Run run = relocate({"a", "b", "c", "d"}, newStrings, code);
    QVERIFY2(run.result.ok, qPrintable(run.result.error));
    QCOMPARE(run.result.code.size(), run.oldCode.size() + 2 + 2 + 4);
    QCOMPARE(run.compare(), QString());
    // The jumps kept their 16-bit forms.
    for (const auto& ins : disassemble(run.result.code).instructions)
        if (ins.target >= 0) QVERIFY(ins.opcode < 0x80);
}

void TestRelocate::jumpThatNoLongerFits_data() {
    QTest::addColumn<quint8>("opcode");
    QTest::addColumn<int>("leading");
    QTest::addColumn<bool>("backward");
    // Every 16-bit jump has a 32-bit form (opcode + 0x80) that keeps its
    // leading operands; the compiler-only ones as well.
    const struct {
        quint8 op;
        int leading;
    } jumps[] = {{0x02, 8}, {0x04, 0}, {0x05, 0}, {0x06, 0}, {0x07, 2},
                 {0x31, 2}, {0x5C, 8}, {0x5F, 8}, {0x61, 0}};
    for (const auto& j : jumps)
        for (bool backward : {false, true})
            QTest::addRow("0x%02X %s", j.op, backward ? "backward" : "forward")
                << j.op << j.leading << backward;
}

void TestRelocate::jumpThatNoLongerFits() {
    QFETCH(quint8, opcode);
    QFETCH(int, leading);
    QFETCH(bool, backward);
    const int jumpSize = 3 + leading;
    // Two references in the span widen by 2 bytes each: the span grows past
    // what a 16-bit offset reaches.
    const int span = backward ? 32766 - jumpSize : 32766;
    CodeAssembler code;
    code.label("before");
    if (!backward) code.jump(opcode, "after", QByteArray(leading, '\x04'));
    code.stringRef(0x1D, 1).raw(filler(span - 6)).stringRef(0x1D, 2);
    if (backward) code.jump(opcode, "before", QByteArray(leading, '\x04'));
    code.label("after").op(0x25);

    const Run run = relocate({"a", "b", "c"}, withSecondAt(0x20000), code);
    QVERIFY2(run.result.ok, qPrintable(run.result.error));
    QCOMPARE(run.result.code.size(), run.oldCode.size() + 4 + 2);
    QCOMPARE(run.compare(), QString());
    const auto dis = disassemble(run.result.code);
    QCOMPARE(dis.instructions[backward ? dis.instructions.size() - 2 : 0].opcode,
             quint8(opcode + 0x80));
}

void TestRelocate::wideningRepeatsUntilStable() {
    // Jump A only overflows through the widened references; jump B only
    // through A's widening.
    CodeAssembler code;
    code.label("t")
        .raw(filler(32768 - 6))
        .jump(0x05, "a")
        .jump(0x06, "t") // distance -32768: fits until A grows
        .stringRef(0x1D, 1)
        .raw(filler(32766 - 3 - 6))
        .stringRef(0x1D, 2)
        .label("a")
        .op(0x25);
    const Run run = relocate({"a", "b", "c"}, withSecondAt(0x10000), code);
    QVERIFY2(run.result.ok, qPrintable(run.result.error));
    QCOMPARE(run.compare(), QString());
    const auto dis = disassemble(run.result.code);
    const int a = dis.indexAt(32768);
    QVERIFY(a >= 0);
    QCOMPARE(dis.instructions[a].opcode, quint8(0x85));
    QCOMPARE(dis.instructions[a + 1].opcode, quint8(0x86));
}

// k nested forward jumps, each exactly at the edge of its reach, so that every
// widening pushes one more jump out of reach: k rounds of widening. A short
// cascade is followed to the end; a long one (only ever seen in crafted files,
// where it costs a round over the whole function per jump) refuses the function.
QByteArray cascade(int k) {
    QByteArray c(6, '\0');
    QList<qint64> at(k + 1);
    for (int i = k; i >= 1; --i) {
        at[i] = c.size();
        c.append('\x05');
        c.append(le16(quint16(32768 - 2 * i)));
    }
    c.append("\x1D\x02\x00", 3); // names the string at old offset 2
    qint64 last = 0;
    for (int i = 1; i <= k; ++i)
        last = qMax(last, at[i] + 3 + 32768 - 2 * i);
    c.append(QByteArray(last + 11 - c.size(), '\x33'));
    c.append('\x25');
    return c;
}

void TestRelocate::wideningCascade_data() {
    QTest::addColumn<int>("jumps");
    QTest::addColumn<bool>("settles");
    QTest::newRow("10 rounds") << 10 << true;
    QTest::newRow("200 rounds") << 200 << false;
}

void TestRelocate::wideningCascade() {
    QFETCH(int, jumps);
    QFETCH(bool, settles);
    const QByteArray code = cascade(jumps);
    const RelocateResult result = RelocateCode(code, 0, code.size(), {{0, 0}, {2, 0x10000}}, 0x123);
    QCOMPARE(result.ok, settles);
    if (settles) {
        QCOMPARE(result.code.size(), code.size() + 2 + 2 * jumps);
        QVERIFY(verifyCode(result.code, {0, 0x10000}).isEmpty());
    } else {
        QVERIFY2(result.error.contains("do not settle"), qPrintable(result.error));
    }
}

void TestRelocate::refused_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("offset"); // in the code segment
    const QByteArray header("\0\0\0\0\0\0", 6);
    QTest::newRow("unknown opcode")
        << header + QByteArray("\x1D\x00\x00\x01\x25", 5) << "unknown opcode 0x1" << 9;
    QTest::newRow("string operand inside a string")
        << header + QByteArray("\x1D\x01\x00\x25", 4) << "string operand 0x1 names no string start"
        << 6;
    QTest::newRow("string operand after the data")
        << header + QByteArray("\x9D\x00\x01\x00\x00\x25", 6)
        << "string operand 0x100 names no string start" << 6;
    QTest::newRow("instruction past the record")
        << header + QByteArray("\x25\x1D\x00", 3) << "instruction 0x1D runs past the end" << 7;
    QTest::newRow("jump into an instruction")
        << header + QByteArray("\x06\x01\x00\x1F\x00\x00\x25", 7)
        << "jump 0x6 lands on no instruction start" << 6;
    QTest::newRow("jump to the end of the code") << header + QByteArray("\x06\x01\x00\x25", 4)
                                                 << "jump 0x6 lands on no instruction start" << 6;
    QTest::newRow("jump before the code") << header + QByteArray("\x06\xF0\xFF\x25", 4)
                                          << "jump 0x6 lands on no instruction start" << 6;
    QTest::newRow("code header too short")
        << QByteArray("\0\0\0\0", 4) << "the code header runs past the end" << 0;
    QTest::newRow("code header count too large")
        << QByteArray("\0\0\0\0\x09\0\0\0", 8) << "the code header runs past the end" << 0;
}

void TestRelocate::refused() {
    QFETCH(QByteArray, code);
    QFETCH(QString, reason);
    QFETCH(int, offset);
    const QByteArray data("ab\0cd\0", 6);
    QByteArray image = QByteArray("\xA4\x01", 2) + le16(quint16(2 + data.size() + code.size())) +
                       le16(quint16(data.size())) + data + code;
    const OffsetMap map{{0, 0}, {3, 10}};
    const RelocateResult result = RelocateCode(image, 12, image.size(), map, FuncNum);
    QVERIFY(!result.ok);
    QVERIFY(result.code.isEmpty());
    QVERIFY2(result.error.startsWith("Function 01A4 cannot be relocated safely: "),
             qPrintable(result.error));
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
    QVERIFY2(result.error.contains(QString("at byte offset %1;").arg(12 + offset)),
             qPrintable(result.error));
    // The verifier sees the same fault.
    QVERIFY(!verifyCode(code, {0, 3}).isEmpty());
}

void TestRelocate::endOpcodeWarning_data() {
    QTest::addColumn<quint8>("last");
    QTest::addColumn<QString>("warning");
    for (quint8 op : {0x25, 0x32, 0x2C, 0x2D})
        QTest::addRow("0x%02X", op) << op << QString();
    QTest::newRow("0x33") << quint8(0x33)
                          << "Warning! There is something wrong with decompilation!\r\n"
                             "Found end opcode: 0x33 - expected 0x25 or 0x32";
    QTest::newRow("0x0A") << quint8(0x0A)
                          << "Warning! There is something wrong with decompilation!\r\n"
                             "Found end opcode: 0xA - expected 0x25 or 0x32";
}

void TestRelocate::endOpcodeWarning() {
    QFETCH(quint8, last);
    QFETCH(QString, warning);
    CodeAssembler code;
    code.stringRef(0x1D, 0).op(last);
    const Run run = relocate({"a"}, {"b"}, code);
    QVERIFY(run.result.ok);
    QCOMPARE(run.result.warning, warning);
}

void TestRelocate::verifierCatchesPlausibleFaults_data() {
    // Faults an encoder could make that still decode: each must be reported.
    QTest::addColumn<int>("at");    // byte of the new code to change
    QTest::addColumn<int>("delta"); // added to that byte; 0 removes the last byte
    QTest::addColumn<QString>("problem");
    // New code: header 6, 0x1D s0 @6, 0x1D s1 @9, 0x0A @12, 0x05 jump @13, 0x0A @16, 0x25 @17.
    QTest::newRow("jump on another instruction") << 14 << -1 << "lands on another instruction";
    QTest::newRow("jump into an instruction") << 14 << -3 << "lands on no instruction start";
    QTest::newRow("string operand names another string") << 7 << 3 << "names another string";
    QTest::newRow("string operand inside a string") << 10 << 1 << "names no string start";
    QTest::newRow("header changed") << 0 << 1 << "the code header changed";
    QTest::newRow("opcode changed") << 12 << 1 << "opcode 0xA became 0xB";
    QTest::newRow("stream cut short") << 0 << 0 << "lands on no instruction start";
    QTest::newRow("stream runs past the end") << 17 << -8 << "runs past the end";
}

void TestRelocate::verifierCatchesPlausibleFaults() {
    QFETCH(int, at);
    QFETCH(int, delta);
    QFETCH(QString, problem);
    CodeAssembler code;
    code.stringRef(0x1D, 0)
        .stringRef(0x1D, 1)
        .op(0x0A)
        .jump(0x05, "end")
        .op(0x0A)
        .label("end")
        .op(0x25);
    const Run run = relocate({"a", "b"}, {"aa", "bb"}, code);
    QVERIFY(run.result.ok);
    const QList<qint64> oldStarts{0, 2};
    const QList<qint64> newStarts{0, 3};
    QVERIFY(compareRelocatedCode(run.oldCode, oldStarts, run.result.code, newStarts).isEmpty());
    QByteArray bad = run.result.code;
    if (delta == 0)
        bad.chop(1);
    else
        bad[at] = char(bad[at] + delta);
    const QStringList problems = compareRelocatedCode(run.oldCode, oldStarts, bad, newStarts);
    QVERIFY2(!problems.isEmpty() && problems.join(' ').contains(problem),
             qPrintable(problems.join('\n')));
}

QTEST_APPLESS_MAIN(TestRelocate)
#include "tst_relocate.moc"
