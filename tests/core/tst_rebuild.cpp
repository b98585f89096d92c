#include "gamebuilder/usecodebuilder.h"
#include "usecode/rebuild.h"
#include "usecode/verifier.h"
#include "usecodedisasm.h"
#include "workspace/errors.h"
#include "workspace/gamestring.h"

#include <QHash>
#include <QRandomGenerator>
#include <QTest>

using namespace lexivo;
using namespace lexivo::gamebuild;
using lexivo::testsupport::compareFunctions;
using lexivo::testsupport::disassemble;
using lexivo::testsupport::DisRecord;
using lexivo::testsupport::splitRecords;

namespace {

QByteArray le16(quint16 v) {
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}

FunctionSpec function(quint16 number, const QList<QByteArray>& strings, const CodeAssembler& code,
                      bool extended = false) {
    FunctionSpec f;
    f.number = number;
    f.strings = strings;
    f.code = code;
    f.extended = extended;
    return f;
}

// Code that uses the compiler-only opcodes and every string reference form.
CodeAssembler compilerCode(int strings) {
    CodeAssembler code(2, 1, {5});
    code.debugFunc(0x4D, 0, strings - 1).label("loop");
    for (int i = 0; i < strings; ++i)
        code.stringRef(i % 2 ? 0x1C : 0x9D, i).op(0x50, le16(i)).op(0x53);
    code.op(0x57, QByteArray(4, '\x01'))
        .jump(0x5C, "out", QByteArray(8, '\x02'))
        .op(0xA4, QByteArray(4, '\x03'))
        .jump(0xB1, "loop", le16(4))
        .jump(0xE1, "loop")
        .op(0xD4, "\x05")
        .jump(0x61, "loop")
        .label("out")
        .op(0x2C);
    return code;
}

// A function with many strings whose code jumps over and back across them.
CodeAssembler loopingCode(int strings) {
    CodeAssembler code(1, 0, {});
    code.label("top").jump(0x05, "end");
    for (int i = 0; i < strings; ++i) {
        code.stringRef(0x1D, i).op(0x33);
        if (i % 7 == 3) code.jump(0x06, "top");
        if (i % 11 == 5) code.jump(0x07, "end", le16(2));
    }
    code.jump(0x02, "top", QByteArray(8, '\x07')).label("end").op(0x25);
    return code;
}

struct Game {
    QByteArray image;
    QList<quint16> withStrings; // function numbers with a data segment, in file order
};

constexpr quint16 BigFunc = 0x0103;
constexpr quint16 UnknownOpFunc = 0x0104;

Game buildGame() {
    QList<SymbolSpec> symbols(2);
    symbols[0].name = "Smith";
    symbols[0].value = 0x100;
    symbols[1].name = "Other";
    symbols[1].kind = 6;
    symbols[1].value = 0x102;
    symbols[1].extra = 7;

    QList<QByteArray> big;
    for (int i = 0; i < 60; ++i)
        big.append(QByteArray(900, char('a' + i % 26)) + QByteArray::number(i));

    CodeAssembler unknown;
    unknown.stringRef(0x1D, 0).op(0x01).op(0x25);

    Game g;
    g.image =
        symbolTableHeader(symbols) +
        functionRecord(function(
            0x0100, {"Hello, stranger.", "Line\r\none\tand tab", "", "lone\rcr and lone\nlf"},
            simpleConversation(4))) +
        functionRecord(function(0x0101, {}, simpleConversation(0))) +
        fffeRecord(0x12345, {"compiler", "record"}, simpleConversation(2)) +
        functionRecord(function(0x0102, {"name", "a", "bb", "params"}, compilerCode(4), true)) +
        functionRecord(function(BigFunc, big, loopingCode(int(big.size())))) +
        functionRecord(function(UnknownOpFunc, {"x"}, unknown)) +
        functionRecord(function(0x0105, {"untouched", "too"}, simpleConversation(2)));
    g.withStrings = {0x0100, 0x0102, BigFunc, UnknownOpFunc, 0x0105};
    return g;
}

QList<QByteArray> stringsOf(const UsecodeFile& file, quint16 number) {
    for (const tFunc& f : file.funcs)
        if (f.FuncNum == number) return extractStrings(file.image, f);
    return {};
}

// The game bytes a translation line becomes.
QByteArray gameBytes(const QByteArray& line) {
    QByteArray out;
    WriteGameString(out, line);
    out.chop(1);
    return out;
}

QByteArray translate(const QByteArray& s, int i) {
    switch (i % 5) {
    case 0:
        return s + s + " (longer)";
    case 1:
        return s.left(s.size() / 3);
    case 2:
        return {};
    case 3:
        return "Zeile\\Neins\\Tmit \x92 und \x96";
    default:
        return s;
    }
}

} // namespace

class TestRebuild : public QObject {
    Q_OBJECT
private slots:
    void identicalWhenLinesEqualTheStrings();
    void identicalWithoutTranslations();
    void everyStringTranslated();
    void standardGoesExtendedPastFFFE_data();
    void standardGoesExtendedPastFFFE();
    void compilerLoopJumpWidens();
    void linesThatCannotBeUsed();
    void untouchedLinesKeepTheirBytes();
    void sharedNumbersAreKept();
    void recordEndingEarlyThrows();
    void failingTranslationThrows();
    void damagedSymbolTableThrows();
    void damagedCodeNeverGivesABadFile();
};

void TestRebuild::identicalWhenLinesEqualTheStrings() {
    const Game game = buildGame();
    const UsecodeFile file = parseUsecode(game.image, "usecode");
    QVERIFY(file.problems.isEmpty());
    QList<quint16> asked;
    QList<qint64> positions;
    RebuildOptions options;
    options.translationFor = [&](quint16 number, QList<QByteArray>& lines) {
        asked.append(number);
        lines = stringsOf(file, number);
        return true;
    };
    options.progress = [&](quint32, qint64 position, qint64 total) {
        QCOMPARE(total, qint64(game.image.size()));
        positions.append(position);
    };
    const RebuildOutput out = rebuildUsecode(file, options);
    QCOMPARE(out.image, game.image);
    QCOMPARE(asked, game.withStrings);
    QCOMPARE(out.reencoded, (QList<quint16>{0x0100, 0x0102, BigFunc, 0x0105}));
    QCOMPARE(positions.size(), 7);
    QCOMPARE(positions.first(), qint64(file.symbols.FuncStart));
    // The function with an unknown opcode is kept, with a message naming it.
    QCOMPARE(out.warnings.size(), 1);
    QVERIFY2(out.warnings[0].startsWith("Function 0104 cannot be relocated safely: unknown "
                                        "opcode 0x1 at byte offset "),
             qPrintable(out.warnings[0]));
}

void TestRebuild::identicalWithoutTranslations() {
    const Game game = buildGame();
    const RebuildOutput out = rebuildUsecode(parseUsecode(game.image, "usecode"), {});
    QCOMPARE(out.image, game.image);
    QVERIFY(out.reencoded.isEmpty());
    QVERIFY(out.warnings.isEmpty());
}

void TestRebuild::everyStringTranslated() {
    const Game game = buildGame();
    const UsecodeFile file = parseUsecode(game.image, "usecode");
    QHash<quint16, QList<QByteArray>> given;
    RebuildOptions options;
    options.translationFor = [&](quint16 number, QList<QByteArray>& lines) {
        if (number == 0x0105) return false; // no translation file
        const QList<QByteArray> strings = stringsOf(file, number);
        for (int i = 0; i < strings.size(); ++i)
            lines.append(number == BigFunc ? strings[i] + strings[i] : translate(strings[i], i));
        given.insert(number, lines);
        return true;
    };
    const RebuildOutput out = rebuildUsecode(file, options);
    QCOMPARE(out.reencoded, (QList<quint16>{0x0100, 0x0102, BigFunc}));

    const UsecodeFile rebuilt = parseUsecode(out.image, "usecode");
    QVERIFY(rebuilt.problems.isEmpty());
    QCOMPARE(out.image.left(file.symbols.FuncStart), game.image.left(file.symbols.FuncStart));

    QString error;
    const QList<DisRecord> before = splitRecords(game.image, file.symbols.FuncStart, &error);
    const QList<DisRecord> after = splitRecords(out.image, file.symbols.FuncStart, &error);
    QVERIFY(error.isEmpty());
    QCOMPARE(after.size(), before.size());
    for (int r = 0; r < before.size(); ++r) {
        const DisRecord& b = before[r];
        const DisRecord& a = after[r];
        QCOMPARE(a.number, b.number);
        const quint16 number = quint16(b.number);
        if (b.form == 2 || !given.contains(number) || number == UnknownOpFunc) {
            QCOMPARE(a.bytes, b.bytes);
            continue;
        }
        QVERIFY2(compareFunctions(b, a).isEmpty(), qPrintable(compareFunctions(b, a)));
        const QList<QByteArray>& lines = given[number];
        QCOMPARE(a.strings.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(a.strings[i], gameBytes(lines[i]));
    }

    // The large function crossed 64 KiB: extended form, 32-bit references.
    const DisRecord& big = after[4];
    QCOMPARE(big.number, quint32(BigFunc));
    QCOMPARE(big.form, 1);
    QVERIFY(big.data.size() > 0x10000);
    int wide = 0;
    for (const auto& ins : disassemble(big.code).instructions)
        wide += ins.opcode == 0x9D;
    QVERIFY(wide > 0);
    QVERIFY(big.starts.last() > 0xFFFF);

    // The function table of the new image follows the new sizes.
    QCOMPARE(rebuilt.funcs.size(), file.funcs.size());
    for (int i = 0; i < rebuilt.funcs.size(); ++i)
        QCOMPARE(rebuilt.funcs[i].Offset, qint32(after[i < 1 ? 0 : i + 2].offset));
}

void TestRebuild::standardGoesExtendedPastFFFE_data() {
    QTest::addColumn<int>("newSize"); // size field of the re-encoded record in standard form
    QTest::addColumn<bool>("extended");
    QTest::newRow("0xFFFE stays standard") << 0xFFFE << false;
    QTest::newRow("0xFFFF goes extended") << 0xFFFF << true;
}

void TestRebuild::standardGoesExtendedPastFFFE() {
    QFETCH(int, newSize);
    QFETCH(bool, extended);
    CodeAssembler code;
    code.stringRef(0x1D, 0).op(0x33).op(0x25);
    const QByteArray image = functionRecord(function(0x0200, {"short"}, code)) +
                             functionRecord(function(0x0201, {"next"}, code));
    const UsecodeFile file = parseUsecode(image, "usecode");
    const int codeSize = 6 + 5;
    const QByteArray line(newSize - 2 - codeSize - 1, 'L');
    RebuildOptions options;
    options.translationFor = [&](quint16 number, QList<QByteArray>& lines) {
        lines = {line};
        return number == 0x0200;
    };
    const RebuildOutput out = rebuildUsecode(file, options);
    const UsecodeFile rebuilt = parseUsecode(out.image, "usecode");
    QVERIFY(rebuilt.problems.isEmpty());
    QCOMPARE(rebuilt.funcs.size(), 2);
    QCOMPARE(rebuilt.funcs[0].Extended, extended);
    QCOMPARE(rebuilt.funcs[0].Size, qint32(extended ? newSize + 2 : newSize));
    QCOMPARE(rebuilt.funcs[1].Offset,
             qint32(out.image.size() - (image.size() - file.funcs[1].Offset)));
    QCOMPARE(extractStrings(out.image, rebuilt.funcs[0]), QList<QByteArray>{line});
    QCOMPARE(out.image.mid(rebuilt.funcs[1].Offset), image.mid(file.funcs[1].Offset));
}

// A compiler-made loop whose 0x5F jump back reaches just far enough: a
// longer first string moves the strings the loop pushes past 64 KiB, their
// references widen, and the jump takes its 32-bit form 0xDF; the short
// forward 0x5C and 0x61 jumps beside it stay 16-bit.
void TestRebuild::compilerLoopJumpWidens() {
    CodeAssembler code(1, 0, {});
    code.label("loop")
        .stringRef(0x1D, 1)
        .raw(QByteArray(32738, '\x0A')) // the 0x5F jump ends 32,766 bytes after "loop"
        .stringRef(0x1D, 2)
        .jump(0x5C, "out", QByteArray(8, '\x01'))
        .jump(0x5F, "loop", QByteArray(8, '\x02'))
        .jump(0x61, "out")
        .label("out")
        .op(0x2C);
    const QList<QByteArray> strings{"short", "What happened here?", "Bye"};
    const QByteArray image = functionRecord(function(0x0400, strings, code));
    const UsecodeFile file = parseUsecode(image, "usecode");
    QVERIFY(file.problems.isEmpty());
    RebuildOptions options;
    options.translationFor = [&](quint16, QList<QByteArray>& lines) {
        lines = {QByteArray(0x10000, 'L'), "Was ist hier passiert?", "Tschüss"};
        return true;
    };
    const RebuildOutput out = rebuildUsecode(file, options);
    QVERIFY2(out.warnings.isEmpty(), qPrintable(out.warnings.join('\n')));
    QCOMPARE(out.reencoded, QList<quint16>{0x0400});

    QString error;
    const QList<DisRecord> before = splitRecords(image, 0, &error);
    const QList<DisRecord> after = splitRecords(out.image, 0, &error);
    QVERIFY(error.isEmpty());
    QCOMPARE(after.size(), 1);
    QCOMPARE(compareFunctions(before[0], after[0]), QString());
    QVERIFY(verifyFunctionRecord(out.image).isEmpty());
    QList<quint8> jumps;
    for (const auto& ins : disassemble(after[0].code).instructions)
        if (ins.target >= 0) jumps.append(ins.opcode);
    QCOMPARE(jumps, (QList<quint8>{0x5C, 0xDF, 0x61}));
}

void TestRebuild::linesThatCannotBeUsed() {
    const Game game = buildGame();
    const UsecodeFile file = parseUsecode(game.image, "usecode");
    RebuildOptions options;
    options.translationFor = [&](quint16 number, QList<QByteArray>& lines) {
        lines = stringsOf(file, number);
        if (number == 0x0100)
            lines.append("one too many");
        else if (number == 0x0102)
            lines.removeLast();
        else if (number == 0x0105)
            lines[1] = QByteArray("nul\0inside", 10);
        else
            return false;
        return true;
    };
    const RebuildOutput out = rebuildUsecode(file, options);
    QCOMPARE(out.image, game.image);
    QVERIFY(out.reencoded.isEmpty());
    QCOMPARE(out.warnings.size(), 2);
    QVERIFY(out.warnings[0].startsWith("Function 0105:"));
    QCOMPARE(out.warnings[1], QString("Warning! These functions were kept as they were, because "
                                      "their translation file does not have one line per "
                                      "string:\r\n0100.TXT: 5 lines, 4 strings\r\n"
                                      "0102.TXT: 3 lines, 4 strings"));
    QCOMPARE(out.notApplied, (QList<quint16>{0x0100, 0x0102, 0x0105}));
}

// A line equal to the old string as read keeps the old bytes (control letters,
// 0x92, 0x96 and a literal backslash-N of the game text included); a changed
// line goes through the codec.
void TestRebuild::untouchedLinesKeepTheirBytes() {
    const QList<QByteArray> strings{"caf\x03 \x92quoted\x92 \x96 a\\Nb", "Sch\x14n", "plain"};
    const QByteArray image = functionRecord(function(0x0200, strings, simpleConversation(3)));
    const UsecodeFile file = parseUsecode(image, "usecode");
    RebuildOptions options;
    options.translationFor = [&](quint16, QList<QByteArray>& lines) {
        lines = extractStrings(file.image, file.funcs[0]);
        lines[1] = "Sch\xF6n \x92neu\x92";
        return true;
    };
    const RebuildOutput out = rebuildUsecode(file, options);
    QCOMPARE(out.reencoded, QList<quint16>{0x0200});
    const UsecodeFile rebuilt = parseUsecode(out.image, "rebuilt");
    const DataSegment data = dataSegmentOf(rebuilt.image, rebuilt.funcs[0]);
    QCOMPARE(rebuilt.image.mid(data.start, data.size),
             QByteArray("caf\x03 \x92quoted\x92 \x96 a\\Nb") + '\0' + "Sch\xF6n 'neu'" + '\0' +
                 "plain" + '\0');
}

// Two records carrying one number share one translation file: neither is
// re-encoded, and both the loader (a notice, not damage) and the rebuild say
// so; a translation that differs from the first of them did not go in.
void TestRebuild::sharedNumbersAreKept() {
    const QByteArray image =
        functionRecord(function(0x0200, {"Hello from A"}, simpleConversation(1))) +
        functionRecord(function(0x0201, {"Other"}, simpleConversation(1))) +
        functionRecord(function(0x0200, {"Bye from B"}, simpleConversation(1)));
    const UsecodeFile file = parseUsecode(image, "usecode");
    QVERIFY(file.problems.isEmpty());
    QCOMPARE(file.notices.size(), 1);
    QVERIFY2(file.notices[0].contains("0200") && file.notices[0].contains("already used"),
             qPrintable(file.notices[0]));
    RebuildOptions options;
    options.translationFor = [](quint16, QList<QByteArray>& lines) {
        lines = {"Translated"};
        return true;
    };
    const RebuildOutput out = rebuildUsecode(file, options);
    QCOMPARE(out.reencoded, QList<quint16>{0x0201});
    const UsecodeFile rebuilt = parseUsecode(out.image, "rebuilt");
    QCOMPARE(extractStrings(rebuilt.image, rebuilt.funcs[0]), QList<QByteArray>{"Hello from A"});
    QCOMPARE(extractStrings(rebuilt.image, rebuilt.funcs[2]), QList<QByteArray>{"Bye from B"});
    QCOMPARE(out.warnings.size(), 1);
    QVERIFY(out.warnings[0].endsWith("they were kept as they were: 0200"));
    QCOMPARE(out.notApplied, QList<quint16>{0x0200});

    // The file as the first record has it loses nothing.
    options.translationFor = [](quint16 n, QList<QByteArray>& lines) {
        lines = {n == 0x0200 ? "Hello from A" : "Translated"};
        return true;
    };
    QVERIFY(rebuildUsecode(file, options).notApplied.isEmpty());
}

void TestRebuild::recordEndingEarlyThrows() {
    const QByteArray good = functionRecord(function(0x0001, {"a"}, simpleConversation(1)));
    const QByteArray bad = functionRecord(function(0x01A4, {"b"}, simpleConversation(1)));
    const QByteArray image = good + bad.chopped(1);
    const UsecodeFile file = parseUsecode(image, "usecode");
    QCOMPARE(file.problems.size(), 1);
    RebuildOptions options;
    options.translationFor = [](quint16, QList<QByteArray>& lines) {
        lines = {"x"};
        return true;
    };
    try {
        rebuildUsecode(file, options);
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.message(), QString("Error compiling function: 1A4"));
    }
}

void TestRebuild::failingTranslationThrows() {
    const Game game = buildGame();
    RebuildOptions options;
    options.translationFor = [](quint16 number, QList<QByteArray>&) -> bool {
        if (number == 0x0102) throw FileError::cannotOpen("0102.TXT", "gone");
        return false;
    };
    try {
        rebuildUsecode(parseUsecode(game.image, "usecode"), options);
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.message(),
                 QString("Error compiling function: 102\nCannot open file \"0102.TXT\". gone"));
    }
}

void TestRebuild::damagedSymbolTableThrows() {
    QByteArray image = symbolTableHeader({});
    image[11] = 0x10; // a symbol count the file cannot hold
    image += functionRecord(function(1, {"a"}, simpleConversation(1)));
    RebuildOptions options;
    options.fileName = "usecode";
    QVERIFY_THROWS_EXCEPTION(DataError, rebuildUsecode(parseUsecode(image, "usecode"), options));
}

void TestRebuild::damagedCodeNeverGivesABadFile() {
    // Random bytes changed anywhere: the rebuild throws, or every function it
    // re-encoded does what the damaged original did, and all others are copied.
    CodeAssembler small(1, 0, {3});
    small.label("top").stringRef(0x1D, 0).jump(0x05, "end").debugFunc(0x4D, 1, 0).jump(0x06, "top");
    small.label("end").op(0x25);
    const QByteArray base =
        functionRecord(function(1, {"alpha", "beta"}, small)) +
        functionRecord(function(2, {"x", "yy", "zzz"}, loopingCode(3))) +
        functionRecord(function(3, {"p", "q", "r", "s"}, compilerCode(4), true));
    QRandomGenerator rng(99);
    int rebuilt = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray image = base;
        for (int i = 0, n = 1 + int(rng.bounded(3)); i < n; ++i)
            image[int(rng.bounded(image.size()))] = char(rng.bounded(256));
        const UsecodeFile file = parseUsecode(image, "usecode");
        RebuildOptions options;
        options.translationFor = [&](quint16 number, QList<QByteArray>& lines) {
            for (const QByteArray& s : stringsOf(file, number))
                lines.append(s + QByteArray(int(rng.bounded(3)) * 40000, '+'));
            return true;
        };
        RebuildOutput out;
        try {
            out = rebuildUsecode(file, options);
        } catch (const Error&) {
            QVERIFY(!file.problems.isEmpty());
            continue;
        }
        rebuilt += out.reencoded.size();
        QString error;
        const QList<DisRecord> before = splitRecords(image, 0, &error);
        const QList<DisRecord> after = splitRecords(out.image, 0, &error);
        QVERIFY(error.isEmpty());
        QCOMPARE(after.size(), before.size());
        for (int r = 0; r < before.size(); ++r) {
            if (after[r].bytes == before[r].bytes) continue;
            QVERIFY(out.reencoded.contains(quint16(before[r].number)));
            QVERIFY2(compareFunctions(before[r], after[r]).isEmpty(),
                     qPrintable(compareFunctions(before[r], after[r])));
        }
    }
    QVERIFY(rebuilt > 1000); // functions re-encoded over all rounds
}

QTEST_APPLESS_MAIN(TestRebuild)
#include "tst_rebuild.moc"
