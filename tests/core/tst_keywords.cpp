#include "clicommands.h"
#include "gamebuilder/samplegame.h"
#include "gamebuilder/usecodebuilder.h"
#include "testgame.h"
#include "usecode/keywordindex.h"
#include "workspace.h"
#include "workspace/translationfile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace lexivo;
using namespace lexivo::gamebuild;

namespace {

QByteArray le16(quint16 v) {
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}
// An intrinsic call: number, one argument.
QByteArray call(quint16 intrinsic) {
    return le16(intrinsic) + '\x01';
}

const QList<QByteArray> Strings{"Hello", "name", "job", "bye", "What happened here?", "spoken"};

UsecodeFile fileOf(const QList<CodeAssembler>& functions) {
    QByteArray image;
    for (qsizetype i = 0; i < functions.size(); ++i) {
        FunctionSpec spec;
        spec.number = quint16(0x0400 + i);
        spec.strings = Strings;
        spec.code = functions[i];
        image += functionRecord(spec);
    }
    return parseUsecode(image, "usecode");
}

QString kinds(const KeywordIndex& index, int function) {
    QStringList out;
    for (const KeywordIndex::Line& l : index.linesOf(function))
        out << QStringLiteral("%1:%2").arg(l.line).arg(KeywordIndex::kindName(l.kind));
    return out.join(' ');
}

// The sample game in a workspace of its own.
struct SampleWorkspace {
    QTemporaryDir root;
    QString prog, game;
    SampleWorkspace() {
        prog = root.path() + "/prog/";
        game = root.path() + "/game/";
        writeSampleGame(game);
        lexivo::testing::writeIni(prog, game);
    }
};

// The line of function index f whose original is `original`, among its keyword lines.
int keywordLine(const Workspace& ws, int f, const QByteArray& original) {
    for (const KeywordIndex::Line& l : ws.keywords().linesOf(f))
        if (ws.originalLines(f).value(l.line) == original) return l.line;
    return -1;
}

} // namespace

class TestKeywords : public QObject {
    Q_OBJECT
private slots:
    void linesFromTheCode_data();
    void linesFromTheCode();
    void numbering_data();
    void numbering();
    void groupsByOriginal();
    void sampleGame();
    void keywordsCommand();
    void propagation();
    void qaFindsDeviatingLines();
};

void TestKeywords::linesFromTheCode_data() {
    QTest::addColumn<CodeAssembler>("code");
    QTest::addColumn<QString>("expected");

    CodeAssembler single;
    single.stringRef(0x1D, 1).op(0x39, call(0x05)).op(0x25);
    QTest::newRow("add_answer with one string") << single << "1:offered";

    CodeAssembler array;
    array.stringRef(0x1D, 1).stringRef(0x9D, 2).op(0x1E, le16(2)).op(0x38, call(0x05)).op(0x25);
    QTest::newRow("add_answer with an array, 0x38 and 0x9D") << array << "1:offered 2:offered";

    CodeAssembler partArray;
    partArray.stringRef(0x1D, 1)
        .stringRef(0x1D, 2)
        .op(0x21, le16(0))
        .op(0x1E, le16(2))
        .op(0x39, call(0x05))
        .op(0x25);
    QTest::newRow("array with an element from a variable") << partArray << "2:offered";

    CodeAssembler remove;
    remove.stringRef(0x1D, 3).op(0x39, call(0x06)).op(0x25);
    QTest::newRow("remove_answer") << remove << "3:offered";

    CodeAssembler throughVariable;
    throughVariable.stringRef(0x1D, 1).op(0x12, le16(0)).op(0x21, le16(0)).op(0x39, call(0x05));
    throughVariable.op(0x25);
    QTest::newRow("offer through a variable is not found") << throughVariable << "";

    CodeAssembler otherIntrinsic;
    otherIntrinsic.stringRef(0x1D, 5).op(0x39, call(0x07)).stringRef(0x1D, 0).op(0x33).op(0x25);
    QTest::newRow("other calls and said lines") << otherIntrinsic << "";

    CodeAssembler cases;
    cases.label("top")
        .stringRef(0x1D, 1)
        .jump(0x07, "a", le16(1))
        .label("a")
        .stringRef(0x1D, 2)
        .stringRef(0x9D, 4)
        .jump(0x87, "b", le16(2))
        .label("b")
        .stringRef(0x1D, 0)
        .op(0x21, le16(0))
        .jump(0x07, "top", le16(2))
        .op(0x25);
    QTest::newRow("cases: 0x07, 0x87, a count beyond the pushed strings")
        << cases << "0:compared 1:compared 2:compared 4:compared";

    CodeAssembler both;
    both.stringRef(0x1D, 1)
        .op(0x39, call(0x05))
        .label("top")
        .stringRef(0x1D, 1)
        .jump(0x07, "top", le16(1))
        .op(0x25);
    QTest::newRow("offered and compared") << both << "1:both";
}

void TestKeywords::linesFromTheCode() {
    QFETCH(CodeAssembler, code);
    QFETCH(QString, expected);
    KeywordIndex index;
    index.build(fileOf({code}), ConversationGame::Auto);
    QCOMPARE(kinds(index, 0), expected);
}

void TestKeywords::numbering_data() {
    QTest::addColumn<QList<quint16>>("calls"); // one string argument each
    QTest::addColumn<int>("setting");
    QTest::addColumn<QString>("numbering");
    QTest::addColumn<bool>("detected");
    QTest::addColumn<QString>("offered"); // lines of function 0 found offered

    const int autoGame = int(ConversationGame::Auto);
    const QList<quint16> blackGate{0x05, 0x05, 0x06}, serpentIsle{0x0C, 0x0D, 0x0C, 0x05};
    QTest::newRow("Black Gate calls") << blackGate << autoGame << "BG" << true << "1 2 3";
    QTest::newRow("Serpent Isle calls") << serpentIsle << autoGame << "SI" << true << "1 2 3";
    QTest::newRow("no calls: Black Gate") << QList<quint16>{} << autoGame << "BG" << true << "";
    QTest::newRow("SETTING/GAME SI")
        << blackGate << int(ConversationGame::SerpentIsle) << "SI" << false << "";
    QTest::newRow("SETTING/GAME BG")
        << serpentIsle << int(ConversationGame::BlackGate) << "BG" << false << "4";
}

void TestKeywords::numbering() {
    QFETCH(QList<quint16>, calls);
    QFETCH(int, setting);
    QFETCH(QString, numbering);
    QFETCH(bool, detected);
    QFETCH(QString, offered);
    CodeAssembler code;
    for (int i = 0; i < calls.size(); ++i)
        code.stringRef(0x1D, 1 + i).op(0x39, call(calls[i]));
    // A compare is found whatever the numbering.
    code.label("top").stringRef(0x1D, 5).jump(0x07, "top", le16(1)).op(0x25);
    KeywordIndex index;
    index.build(fileOf({code}), ConversationGame(setting));
    QCOMPARE(KeywordIndex::numberingName(index.numbering()), numbering);
    QCOMPARE(index.detected(), detected);
    QStringList lines;
    for (const KeywordIndex::Line& l : index.linesOf(0)) {
        if (l.line == 5)
            QCOMPARE(l.kind, KeywordIndex::Compared);
        else if (l.kind & KeywordIndex::Offered)
            lines << QString::number(l.line);
    }
    QCOMPARE(lines.join(' '), offered);
}

void TestKeywords::groupsByOriginal() {
    CodeAssembler offers;
    offers.stringRef(0x1D, 4).op(0x39, call(0x05)).stringRef(0x1D, 1).op(0x39, call(0x05));
    offers.op(0x25);
    CodeAssembler compares;
    compares.label("top").stringRef(0x1D, 4).jump(0x07, "top", le16(1)).op(0x25);
    const UsecodeFile file = fileOf({offers, CodeAssembler(compares), compares});
    KeywordIndex index;
    index.build(file, ConversationGame::Auto);
    QVERIFY(index.sameOriginal(1, 4).isEmpty()); // not grouped before the originals are known
    // The originals, not the strings of the file (which may hold translations).
    index.setOriginals([&](int function, int line) {
        return function == 2 && line == 4 ? QByteArray("other") : Strings[line];
    });
    const QList<KeywordIndex::Line> same = index.sameOriginal(1, 4);
    QCOMPARE(same.size(), 2);
    QCOMPARE(same[0].function, 0);
    QCOMPARE(same[0].kind, KeywordIndex::Offered);
    QCOMPARE(same[1].function, 1);
    QCOMPARE(index.sameOriginal(2, 4).size(), 1);
    QVERIFY(index.sameOriginal(0, 0).isEmpty()); // no keyword line
    QCOMPARE(index.kindOf(0, 1), KeywordIndex::Offered);
    QCOMPARE(index.kindOf(0, 2), KeywordIndex::None);
    QCOMPARE(index.kindOf(7, 0), KeywordIndex::None);
    QCOMPARE(index.groups().size(), 3);
}

// The demo: the guard offers "goose thief", Tobin compares it; every
// villager offers and compares "name".
void TestKeywords::sampleGame() {
    const UsecodeFile file = parseUsecode(sampleUsecode(), "usecode");
    KeywordIndex index;
    index.build(file, ConversationGame::Auto);
    QCOMPARE(index.numbering(), ConversationGame::BlackGate);
    index.setOriginals([&](int function, int line) {
        return extractStrings(file.image, file.funcs[function]).value(line);
    });
    const auto functionOf = [&](quint16 number) {
        for (int i = 0; i < file.funcs.size(); ++i)
            if (file.funcs[i].FuncNum == number) return i;
        return -1;
    };
    const int guard = functionOf(0x0403), child = functionOf(0x0409);
    QString kindsSeen;
    int names = 0;
    for (const KeywordIndex::Group& group : index.groups()) {
        if (group.original == "name") names = int(group.members.size());
        if (group.original != "goose thief") continue;
        for (qsizetype k : group.members) {
            const KeywordIndex::Line& l = index.lines()[k];
            QVERIFY(l.function == guard || l.function == child);
            kindsSeen += KeywordIndex::kindName(l.kind) + ' ';
        }
    }
    QCOMPARE(kindsSeen, QString("offered compared "));
    QVERIFY(names >= 10);
}

void TestKeywords::keywordsCommand() {
    SampleWorkspace w;
    cli::Output out;
    QCOMPARE(cli::keywords(w.prog, out), 0);
    const QList<QByteArray> rows = out.stdoutBytes.split('\n');
    QVERIFY(rows.contains("0403\t5\toffered\tgoose thief"));
    QVERIFY(rows.contains("0409\t8\tcompared\tgoose thief"));
    QVERIFY(rows.contains("0401\t5\tboth\tname"));
    // By function number, then line; the signpost (0x0096) says no answers.
    QVERIFY(rows.first().startsWith("0401\t"));
    QByteArray last;
    for (const QByteArray& row : rows.mid(0, rows.size() - 1)) {
        const QList<QByteArray> fields = row.split('\t');
        QCOMPARE(fields.size(), 4);
        const QByteArray key = fields[0] + fields[1].rightJustified(4, '0');
        QVERIFY2(last < key, row.constData());
        last = key;
    }
    QVERIFY(lexivo::testing::snapshot(w.prog).keys() == QStringList{"LEXIVO.INI"});

    // The check names the numbering.
    out = {};
    QCOMPARE(cli::check(w.prog, out), 0);
    QVERIFY2(out.stderrText.contains("Conversation keywords: BG numbering (add_answer 0x05, "
                                     "remove_answer 0x06), detected"),
             qPrintable(out.stderrText));
    lexivo::testing::writeIni(w.prog, w.game, {}, "[SETTING]\r\nGAME=si\r\n");
    out = {};
    QCOMPARE(cli::check(w.prog, out), 0);
    QVERIFY(out.stderrText.contains("SI numbering (add_answer 0x0C, remove_answer 0x0D), set by "
                                    "SETTING/GAME"));
    out = {};
    QCOMPARE(cli::keywords(w.prog, out), 0);
    QVERIFY(!out.stdoutBytes.contains("offered")); // the calls are not Serpent Isle's

    QFile::remove(w.game + "usecode");
    out = {};
    QVERIFY_THROWS_EXCEPTION(Error, cli::keywords(w.prog, out));
}

// Accepting "name" in the inn gives it to every villager's untranslated
// "name"; the smith's own translation stays, as does the file a colleague
// saved after this workspace read it.
void TestKeywords::propagation() {
    SampleWorkspace w;
    Workspace ws(w.prog);
    ws.startWithoutWindow();
    const int inn = ws.FindFuncIndex(0x0401), smith = ws.FindFuncIndex(0x0402),
              sage = ws.FindFuncIndex(0x0404);
    Lines smithLines = ws.openFunctionLines(smith);
    smithLines[keywordLine(ws, smith, "name")] = "Namen";
    ws.saveFunctionLines(0x0402, smithLines);
    ws.openFunctionLines(sage);
    const QByteArray colleague = "saved by a colleague\r\n";
    lexivo::testing::writeFile(ws.TranslationFilePath(0x0404), colleague);
    const qsizetype translatedBefore = ws.projectProgress().translated;

    const int line = keywordLine(ws, inn, "name");
    const Workspace::KeywordPropagation p = ws.giveKeywordTranslation(inn, line, "Name");
    QList<int> expected;
    for (int f = 0; f < ws.functionCount(); ++f)
        if (f != inn && f != smith && f != sage && keywordLine(ws, f, "name") >= 0) expected << f;
    QVERIFY(expected.size() >= 6);
    QCOMPARE(p.functions, expected);
    QCOMPARE(p.lines, expected.size());
    QCOMPARE(ws.projectProgress().translated, translatedBefore + expected.size());
    for (int f : expected) {
        const Lines lines = loadTranslationFile(ws.TranslationFilePath(ws.funcs()[f].FuncNum));
        Lines want = ws.originalLines(f);
        want[keywordLine(ws, f, "name")] = "Name";
        QCOMPARE(lines, want);
    }
    QCOMPARE(p.differing.size(), 1);
    QCOMPARE(p.differing[0].function, smith);
    QCOMPARE(p.notWritten.size(), 1);
    QVERIFY(p.notWritten[0].contains("0404.TXT"));
    QCOMPARE(lexivo::testing::readFile(ws.TranslationFilePath(0x0404)), colleague);
    QCOMPARE(p.statusText(ws),
             QStringLiteral("Conversation answer given to %1 lines in %1 functions. Translated "
                            "otherwise, not changed: 0402 line %2.")
                 .arg(expected.size())
                 .arg(keywordLine(ws, smith, "name") + 1));
    // Given again, nothing is left to change.
    const Workspace::KeywordPropagation again = ws.giveKeywordTranslation(inn, line, "Name");
    QCOMPARE(again.lines, 0);
    QCOMPARE(ws.giveKeywordTranslation(inn, 0, "no keyword").statusText(ws), QString());
}

void TestKeywords::qaFindsDeviatingLines() {
    SampleWorkspace w;
    {
        Workspace ws(w.prog);
        ws.startWithoutWindow();
        const int inn = ws.FindFuncIndex(0x0401), guard = ws.FindFuncIndex(0x0403);
        ws.openFunctionLines(inn);
        ws.giveKeywordTranslation(inn, keywordLine(ws, inn, "name"), "Name");
        Lines innLines = ws.openFunctionLines(inn);
        innLines[keywordLine(ws, inn, "name")] = "Name";
        ws.saveFunctionLines(0x0401, innLines);
        // Planted: the smith says "Namen"; the miller's stays untranslated.
        for (quint16 number : {0x0402, 0x0408}) {
            const int f = ws.FindFuncIndex(number);
            Lines lines = ws.openFunctionLines(f);
            lines[keywordLine(ws, f, "name")] = number == 0x0402 ? "Namen" : "name";
            ws.saveFunctionLines(number, lines);
        }
        // One place each: neither reading has most lines, both are found.
        Lines guardLines = ws.openFunctionLines(guard);
        guardLines[keywordLine(ws, guard, "goose thief")] = "G\xE4nsedieb";
        ws.saveFunctionLines(0x0403, guardLines);
    }
    cli::Output out;
    QCOMPARE(cli::qa(w.prog, out), 1);
    QStringList keyword;
    for (const QString& row : out.stdoutText.split('\n'))
        if (row.section('\t', 2, 2) == "keyword") keyword << row;
    QCOMPARE(keyword.size(), 4);
    QVERIFY2(keyword[0].startsWith("0402\t2\tkeyword\tconversation answer \"name\": \"Namen\" "
                                   "here, \"Name\" in 8 of its 10 lines"),
             qPrintable(keyword.join('\n')));
    QVERIFY(keyword[1].startsWith("0403\t5\tkeyword\tconversation answer \"goose thief\": "
                                  "\"Gänsedieb\" here, untranslated in 1 of its 2 lines"));
    QVERIFY(keyword[2].startsWith("0408\t2\tkeyword\tconversation answer \"name\": "
                                  "untranslated here, \"Name\" in 8 of its 10 lines"));
    QVERIFY(keyword[3].startsWith("0409\t8\tkeyword\tconversation answer \"goose thief\": "
                                  "untranslated here, \"Gänsedieb\" in 1 of its 2 lines"));
}

QTEST_GUILESS_MAIN(TestKeywords)
#include "tst_keywords.moc"
