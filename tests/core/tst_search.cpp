// The usecode-tab search (through the originals and through the translation
// files) against a line-by-line search of the same text, its limits and its
// file handling; the workspace's search and hit rows; the three replacements.

#include "gamebuilder/usecodebuilder.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/errors.h"
#include "workspace/pack.h"
#include "workspace/search.h"
#include "workspace/textreplace.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace lexivo;
using namespace lexivo::testing;

using Hits = QList<std::array<int, 4>>; // function index, line, position, length

namespace {

Hits hitsOf(const SearchResult& result) {
    Hits hits;
    for (const SearchHit& h : result.hits)
        hits.append({h.funcIndex, h.lineIndex, h.position, h.length});
    return hits;
}

QByteArray foldAZ(QByteArray s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return s;
}

// The search as described, one line after the other, to compare with.
Hits lineByLine(const QList<Lines>& functions, const QByteArray& text) {
    Hits hits;
    for (int f = 0; f < functions.size(); ++f)
        for (int j = 0; j < functions[f].size(); ++j) {
            const qsizetype at = foldAZ(functions[f][j]).indexOf(foldAZ(text));
            if (at >= 0) hits.append({f, j, int(at) + 1, int(text.size())});
        }
    return hits;
}

Pack packOf(const QList<Lines>& blocks) {
    Pack pack;
    pack.setContent(Pack::buildContent(blocks), QStringLiteral("test.pak"));
    return pack;
}

QList<quint16> numbers(int count) {
    QList<quint16> n;
    for (int i = 0; i < count; ++i)
        n.append(quint16(0x400 + i));
    return n;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    void packSearchAgreesWithLineByLine();
    void packSearchRules_data();
    void packSearchRules();
    void hitListLimits();
    void translationFiles();
    void translationFileThatCannotBeRead();
    void workspaceSearchAndRows();
    void replacements_data();
    void replacements();
};

// Random blocks whose lines hold lone CR and LF bytes (a pack line may carry
// them, split as the line-splitting rule says), empty lines, letters of both
// cases and bytes above 0x7F; the in-place search must give what the lines
// cut one by one give.
void TestSearch::packSearchAgreesWithLineByLine() {
    QRandomGenerator random(8);
    const char alphabet[] = "aAbB \r\n\xE0\xC0z";
    QList<Lines> blocks;
    for (int f = 0; f < 60; ++f) {
        Lines block;
        const int lines = random.bounded(8);
        for (int j = 0; j < lines; ++j) {
            QByteArray line;
            const int length = random.bounded(12);
            for (int k = 0; k < length; ++k)
                line += alphabet[random.bounded(int(sizeof alphabet) - 1)];
            block << line;
        }
        blocks << block;
    }
    const Pack pack = packOf(blocks);
    QList<Lines> split;
    for (int f = 0; f < blocks.size(); ++f)
        split << pack.blockLines(f);
    for (const QByteArray text : {"a", "ab", "Ba", "a a", "\xE0", "b\xC0", "zz"}) {
        const SearchResult result = Search().inPack(text, pack, numbers(int(blocks.size())));
        QCOMPARE(hitsOf(result), lineByLine(split, text));
        QVERIFY(result.statusText.isEmpty());
    }
}

void TestSearch::packSearchRules_data() {
    QTest::addColumn<QList<Lines>>("blocks");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Hits>("hits");
    const QList<Lines> game = {{"A sword.", "Sword, sword and SWORD."}, {"No blade."}, {"swords"}};
    QTest::newRow("letters folded")
        << game << QByteArray("swOrd") << Hits{{0, 0, 3, 5}, {0, 1, 1, 5}, {2, 0, 1, 5}};
    QTest::newRow("accented letters exact")
        << QList<Lines>{{"caf\xC9", "caf\xE9"}} << QByteArray("CAF\xE9") << Hits{{0, 1, 1, 4}};
    QTest::newRow("escape is text")
        << QList<Lines>{{"One.\\NTwo."}} << QByteArray("\\ntwo") << Hits{{0, 0, 5, 5}};
    QTest::newRow("NUL ends a block")
        << QList<Lines>{{QByteArray("a\0sword", 7), "sword"}} << QByteArray("sword") << Hits{};
    QTest::newRow("line break in the text") << game << QByteArray("sword.\r\n") << Hits{};
    QTest::newRow("empty text") << game << QByteArray() << Hits{};
}

void TestSearch::packSearchRules() {
    QFETCH(QList<Lines>, blocks);
    QFETCH(QByteArray, text);
    QFETCH(Hits, hits);
    QCOMPARE(hitsOf(Search().inPack(text, packOf(blocks), numbers(int(blocks.size())))), hits);
}

// Hits that the 16-bit fields cannot hold are not listed, and a list full at
// 65535 hits stops the search; both are said.
void TestSearch::hitListLimits() {
    Lines full(Search::MaxHits + 1, "x");
    SearchResult result = Search().inPack("X", packOf({full, {"x"}}), numbers(2));
    QCOMPARE(result.hits.size(), Search::MaxHits);
    QCOMPARE(result.hits.last().lineIndex, quint16(Search::MaxHits - 1));
    QVERIFY2(result.statusText.contains("stopped at 65535 hits") &&
                 result.statusText.contains("line 65536 of the originals of function 0400"),
             qPrintable(result.statusText));

    Lines deep(0x10000, "");
    deep << "x";                                           // line index 65536
    const QByteArray wide = QByteArray(0xFFFF, ' ') + 'x'; // position 65536
    result = Search().inPack("x", packOf({deep, {wide, "-x"}}), numbers(2));
    QCOMPARE(hitsOf(result), (Hits{{1, 1, 2, 1}}));
    QVERIFY2(result.statusText.contains("2 hits are not listed") &&
                 result.statusText.contains("line 65537 of the originals of function 0400"),
             qPrintable(result.statusText));
}

// Every function's file in number order (0x1000 and above included), found
// whatever the case of its name (the upper-case name first, as the function
// view opens it); one search per number, for its first function; files of no
// function, folders and files that are not single-byte text are not
// searched, the last named in the status text.
void TestSearch::translationFiles() {
    QTemporaryDir dir;
    const QString ed = dir.path() + "/";
    writeFile(ed + "1000.tXt", "another sword\r\n");
    writeFile(ed + "1000.TXT", "Sword one\r\n");
    QVERIFY(QDir().mkpath(ed + "0403.TXT"));
    writeFile(ed + "0401.txt",
              "none\r\nthe SWORD \xE9\x85\r\n"); // not UTF-8, though it may look so
    writeFile(ed + "2000.TXT", QByteArray("s\0w\0o\0r\0d\0", 10));
    writeFile(ed + "abcd.Txt", "sword\r\n");
    writeFile(ed + "0402.TXT", "sword, in UTF-8: \xC3\xA9p\xC3\xA9\r\n");
    writeFile(ed + "0999.TXT", "sword of no function\r\n");
    writeFile(ed + "sword.txt", "sword\r\n");
    // Table order: 0xABCD, 0x1000, 0x0401, 0x0402, 0x0401 again, 0x0403 (a folder), 0x2000.
    const QList<quint16> table = {0xABCD, 0x1000, 0x0401, 0x0402, 0x0401, 0x0403, 0x2000};
    const SearchResult result = Search().inTranslationFiles("sword", table, ed);
    QCOMPARE(hitsOf(result), (Hits{{2, 1, 5, 5}, {1, 0, 1, 5}, {0, 0, 1, 5}}));
    // A function without a file is searched in the lines given for it, in
    // number order among the files; only those functions are asked for.
    QList<int> asked;
    const auto withoutFile = [&](int index) -> QByteArray {
        asked << index;
        return index == 7 ? "x\r\nno file, a Sword\r\n" : "";
    };
    const QList<quint16> more = table + QList<quint16>{0x0404};
    QCOMPARE(hitsOf(Search().inTranslationFiles("sword", more, ed, withoutFile)),
             (Hits{{2, 1, 5, 5}, {7, 1, 12, 5}, {1, 0, 1, 5}, {0, 0, 1, 5}}));
    QCOMPARE(asked, (QList<int>{5, 7})); // 0403.TXT is a folder, not a file
    QVERIFY2(result.statusText.contains("Not searched") &&
                 result.statusText.contains("0402.TXT (line 1 is UTF-8 text), 2000.TXT (it holds "
                                            "a NUL byte at byte offset 1"),
             qPrintable(result.statusText));
}

// A translation file that cannot be read (a link to nothing, a pipe) ends
// the search with the file error; so does a missing editor directory.
void TestSearch::translationFileThatCannotBeRead() {
    QTemporaryDir dir;
    const QString ed = dir.path() + "/";
    writeFile(ed + "0400.TXT", "sword\r\n");
    QVERIFY(QFile::link(ed + "gone", ed + "0401.txt"));
    QVERIFY(mkfifo(QFile::encodeName(ed + "0402.TXT").constData(), 0600) == 0);
    const auto fails = [&](const QList<quint16>& table, const QString& dir,
                           const QString& message) {
        try {
            Search().inTranslationFiles("sword", table, dir);
            QFAIL("no error");
        } catch (const FileError& e) {
            QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
        }
    };
    fails({0x400, 0x401}, ed, "Cannot open file \"" + ed + "0401.txt\". No such file");
    fails({0x400, 0x402}, ed, "Cannot open file \"" + ed + "0402.TXT\". It is not a regular");
    fails({0x400}, ed + "none/", "Cannot open file \"" + ed + "none/\". No such file");
    QCOMPARE(Search().inTranslationFiles("sword", {0x400}, ed).hits.size(), 1);
}

// Through the workspace: the translation files or orig.pak, and the Quick
// Search row "HexNum: Description (line + 1)".
void TestSearch::workspaceSearchAndRows() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    writeFile(game + "usecode",
              smallUsecode({{"a", "b", "c", "d", "The guard's sword."}, {"Sword!"}}));
    writeFile(prog + "funclist.txt", "0400=Guard\r\n");
    writeIni(prog, game);
    Workspace ws(prog);
    ws.startWithoutWindow();
    writeFile(prog + "0401.TXT", "Spada!\r\n");

    SearchResult result = ws.searchUsecode("SWORD", true);
    QCOMPARE(hitsOf(result), (Hits{{0, 4, 13, 5}, {1, 0, 1, 5}}));
    QCOMPARE(ws.hitRow(result.hits[0]), QByteArray("0400: Guard (5)"));
    QCOMPARE(ws.hitRow(result.hits[1]), QByteArray("0401:  (1)"));
    // 0400 has no translation file yet: its strings are its lines.
    QCOMPARE(hitsOf(ws.searchUsecode("SWORD", false)), (Hits{{0, 4, 13, 5}}));
    QCOMPARE(hitsOf(ws.searchUsecode("spada", false)), (Hits{{1, 0, 1, 5}}));
    QVERIFY(!QFileInfo::exists(prog + "0400.TXT")); // searching writes nothing
    QCOMPARE(ws.hitRow({7, 0, 1, 1}), QByteArray());
}

void TestSearch::replacements_data() {
    QTest::addColumn<char>("mode"); // e exact, i ignoring case, w whole words
    QTest::addColumn<QByteArray>("f");
    QTest::addColumn<QByteArray>("r");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* name, char mode, const QByteArray& f, const QByteArray& r,
                        const QByteArray& text, const QByteArray& expected) {
        QTest::newRow(name) << mode << f << r << text << expected;
    };
    const QByteArray lines = "Sword\r\nSWORDS\r\n";
    row("ignoring case", 'i', "sword", "spada", lines, "spada\r\nspadaS\r\n");
    row("match case", 'e', "sword", "spada", lines, lines);
    row("whole words", 'w', "sword", "spada", lines, "spada\r\nSWORDS\r\n");
    row("exact", 'e', "Sword", "spada", "Sword, sword", "spada, sword");
    row("accented letter is a boundary", 'w', "citt", "X", "citt\xE0", "X\xE0");
    row("whole words fold only A-Z", 'w', "CITT\xC0", "X", "citt\xE0", "citt\xE0");
    row("after \\N no word start", 'w', "sword", "spada", "Hi\\Nsword", "Hi\\Nsword");
    row("before \\N a word end", 'w', "sword", "spada", "sword\\Nhi", "spada\\Nhi");
    row("digit and underscore are word characters", 'w', "sword", "-", "sword1 _sword sword.",
        "sword1 _sword -.");
    row("escape letter matched", 'e', "N", "x", "a\\Nb", "a\\xb");
    row("escape letter matched ignoring case", 'i', "n", "x", "a\\Nb", "a\\xb");
    row("no overlap, no rescan", 'e', "aa", "a", "aaaa", "aa");
    row("no overlap ignoring case", 'i', "AA", "a", "aaaa", "aa");
    row("no overlap whole words", 'w', "aa", "b", "aa aaaa aa", "b aaaa b");
    row("replacement not rescanned", 'e', "a", "aa", "aa", "aaaa");
    row("1251: accented letters", 'i', "\xE0\xE9", "-", "\xC0\xC9 \xE0\xC9", "- -");
    row("1251: division and multiplication", 'i', "\xF7", "-", "\xD7\xF7", "--");
    row("1251: y diaeresis and sharp s", 'i', "\xFF", "-", "\xDF", "-");
    row("1251: pairs", 'i', "\x9A\x83\xB4\xBC", "-", "\x8A\x81\xA5\xA3", "-");
    row("1251: other bytes exact", 'i', "\xB5\xAD", "-", "\xB5\xAD \xA5\xAD", "- \xA5\xAD");
    for (const char mode : {'e', 'i', 'w'})
        QTest::newRow(qPrintable(QStringLiteral("empty f %1").arg(QChar(mode))))
            << mode << QByteArray() << QByteArray("x") << QByteArray("ab") << QByteArray("ab");
}

void TestSearch::replacements() {
    QFETCH(char, mode);
    QFETCH(QByteArray, f);
    QFETCH(QByteArray, r);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    const QByteArray result = mode == 'e'   ? ReplaceAllExact(f, r, text)
                              : mode == 'i' ? ReplaceAllIgnoreCase(f, r, text)
                                            : ReplaceWholeWords(f, r, text);
    QCOMPARE(result, expected);
}

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
