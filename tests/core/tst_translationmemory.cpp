// The translation memory: similarity, the lookup and its messages, the scope,
// loading a reference through the workspace, and the fast lookup against the
// plain scan on many random texts.

#include "gamebuilder/samplegame.h"
#include "gamebuilder/samplereference.h"
#include "gamebuilder/usecodebuilder.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/errors.h"
#include "workspace/pack.h"
#include "workspace/translationmemory.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

const QString ExactText =
    "Exact translation found in reference file, using it. Please confirm with enter key.";
QString similarText(const char* percent) {
    return QStringLiteral("Found a translation %1% similar, using it. Please confirm with enter "
                          "key.")
        .arg(QLatin1String(percent));
}

// ---- the plain algorithm, step by step and nothing skipped, to compare with ----

QByteArray plainUpper(QByteArray s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return s;
}

// Positions from 1, ranges inclusive.
int plainMatchedChars(const QByteArray& a, int s1, int e1, const QByteArray& b, int s2, int e2) {
    if (s1 > e1 || s2 > e2 || s1 < 1 || s2 < 1) return 0;
    int bi = 0, bj = 0, bk = 0;
    for (int i = s1; i <= e1; ++i)
        for (int j = s2; j <= e2; ++j) {
            int k = 0;
            while (i + k <= e1 && j + k <= e2 && a[i + k - 1] == b[j + k - 1])
                ++k;
            if (k > bk) bi = i, bj = j, bk = k;
        }
    if (bk == 0) return 0;
    return bk + plainMatchedChars(a, bi + bk, e1, b, bj + bk, e2) +
           plainMatchedChars(a, s1, bi - 1, b, s2, bj - 1);
}

double plainSimilarity(const QByteArray& x, const QByteArray& y) {
    const QByteArray a = plainUpper(x), b = plainUpper(y);
    if (a == b) return 100;
    if (a.isEmpty() || b.isEmpty()) return 0;
    return 200.0 * plainMatchedChars(a, 1, int(a.size()), b, 1, int(b.size())) /
           double(a.size() + b.size());
}

qint64 roundHalfToEven(double s) {
    const double below = std::floor(s);
    if (s - below != 0.5) return qint64(std::floor(s + 0.5));
    return qint64(below) % 2 == 0 ? qint64(below) : qint64(below) + 1;
}

struct PlainAnswer {
    qsizetype line = -1;
    QString status;
};

PlainAnswer plainLookup(const Lines& originals, const QByteArray& o, const Cp1252Codec& codec) {
    PlainAnswer answer;
    const QString text = codec.decode(o);
    for (qsizetype k = 0; k < originals.size(); ++k)
        if (codec.decode(originals[k]).compare(text, Qt::CaseInsensitive) == 0) {
            answer.line = k;
            answer.status = ExactText;
            return answer;
        }
    for (qsizetype k = 0; k < originals.size(); ++k) {
        const double s = plainSimilarity(originals[k], o);
        if (s > 75) {
            answer.line = k;
            answer.status = "Found a translation " + QString::number(roundHalfToEven(s)) +
                            "% similar, using it. Please confirm with enter key.";
            return answer;
        }
    }
    return answer;
}

// ---- building references ----

struct RefFunction {
    quint16 number;
    Lines originals;    // the block of the reference pack
    Lines translations; // the strings of the reference usecode
};

// A memory from functions given as text, through a pack file written to dir.
QStringList loadMemory(TranslationMemory& memory, const QList<RefFunction>& functions,
                       const QString& dir, int packBlocks = -1) {
    QList<TranslationMemory::ReferenceFunction> reference;
    QList<Lines> blocks;
    for (const RefFunction& f : functions) {
        reference.append({f.number, f.translations});
        blocks.append(f.originals);
    }
    if (packBlocks >= 0) blocks = blocks.mid(0, packBlocks);
    const QString pack = dir + "/ref.pak";
    Pack::write(pack, Pack::buildContent(blocks));
    QStringList warnings;
    memory.load(dir + "/usecode", reference, true, pack, warnings);
    return warnings;
}

} // namespace

class TestTranslationMemory : public QObject {
    Q_OBJECT

private slots:
    void similarity_data();
    void similarity();
    void percentText_data();
    void percentText();
    void lookupMessages_data();
    void lookupMessages();
    void firstQualifyingCandidateWins();
    void scopeFollowsToggle();
    void unpairedLinesGiveNoProposal();
    void damagedPackNamesFile();
    void caseKeysMatchLocaleComparison();
    void workspaceReadsCompilerMadeReference();
    void workspaceWarnsOfDamagedReference();
    void sampleReference_data();
    void sampleReference();
    void fastLookupEqualsPlainScan_data();
    void fastLookupEqualsPlainScan();
};

void TestTranslationMemory::similarity_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<double>("expected");
    QTest::newRow("one letter differs") << QByteArray("ABCD") << QByteArray("ABXD") << 75.0;
    QTest::newRow("one letter more")
        << QByteArray("HELLO WORLD") << QByteArray("HELLO WORLDS") << 2200.0 / 23;
    QTest::newRow("a-z folded") << QByteArray("Hello, World") << QByteArray("HELLO, world")
                                << 100.0;
    // Only a-z are folded: é (0xE9) and É (0xC9) stay different.
    QTest::newRow("accents not folded") << QByteArray("caf\xE9") << QByteArray("CAF\xC9") << 75.0;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << 100.0;
    QTest::newRow("one empty") << QByteArray("A") << QByteArray() << 0.0;
    QTest::newRow("nothing shared") << QByteArray("abc") << QByteArray("xyz") << 0.0;
    // The reference's original comes first: swapped, these give 40 and 80.
    QTest::newRow("order a b") << QByteArray("BCBAB") << QByteArray("ABCAB") << 80.0;
    QTest::newRow("order b a") << QByteArray("ABAB") << QByteArray("ACBABA") << 60.0;
    // Of equal longest runs the first wins (taking the last one gives 54.5
    // and 72.7); the smallest i before the smallest j (50 otherwise 58.3);
    // for one i the smallest j (76.9 otherwise 61.5).
    QTest::newRow("first of equal runs")
        << QByteArray("ABBCABA") << QByteArray("BBAB") << 400.0 / 11;
    QTest::newRow("first of equal runs 2")
        << QByteArray("BBCB") << QByteArray("BCABACB") << 600.0 / 11;
    QTest::newRow("smallest i first") << QByteArray("ABBCCBC") << QByteArray("BBABC") << 50.0;
    QTest::newRow("then smallest j")
        << QByteArray("CCABBB") << QByteArray("CBCBBBC") << 1000.0 / 13;
}

void TestTranslationMemory::similarity() {
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(double, expected);
    QCOMPARE(plainSimilarity(a, b), expected); // the fixture itself is right
    QCOMPARE(Similarity(a, b), expected);
}

void TestTranslationMemory::percentText_data() {
    QTest::addColumn<double>("similarity");
    QTest::addColumn<QString>("text");
    QTest::newRow("75.5") << 75.5 << "76";
    QTest::newRow("76.5") << 76.5 << "76";
    QTest::newRow("95.65") << 2200.0 / 23 << "96";
    QTest::newRow("99.5") << 99.5 << "100";
    QTest::newRow("80.49") << 80.49 << "80";
}

void TestTranslationMemory::percentText() {
    QFETCH(double, similarity);
    QFETCH(QString, text);
    QCOMPARE(similarityPercentText(similarity), text);
}

void TestTranslationMemory::lookupMessages_data() {
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("status");
    QTest::newRow("case only") << QByteArray("Good day, traveller.")
                               << QByteArray("GOOD DAY, TRAVELLER.") << true << ExactText;
    // The exact match decodes through the code page: É and é are one letter.
    QTest::newRow("accented case")
        << QByteArray("Caf\xE9!") << QByteArray("CAF\xC9!") << true << ExactText;
    QTest::newRow("exactly 75") << QByteArray("ABCD") << QByteArray("ABXD") << false << QString();
    QTest::newRow("96 percent") << QByteArray("HELLO WORLD") << QByteArray("HELLO WORLDS") << true
                                << similarText("96");
    QTest::newRow("empty line") << QByteArray("Bye.") << QByteArray() << false << QString();
}

void TestTranslationMemory::lookupMessages() {
    QFETCH(QByteArray, reference);
    QFETCH(QByteArray, query);
    QFETCH(bool, found);
    QFETCH(QString, status);
    QTemporaryDir dir;
    TranslationMemory memory;
    QVERIFY(
        loadMemory(memory, {{0x400, {"Unrelated words here.", reference}, {"x", "T"}}}, dir.path())
            .isEmpty());
    memory.fillScope(0x400, false);
    const auto p = memory.FindReferenceTranslation(query, Cp1252Codec());
    QCOMPARE(p.found, found);
    QCOMPARE(p.statusText, status);
    QCOMPARE(p.translation, found ? QByteArray("T") : QByteArray());
}

void TestTranslationMemory::firstQualifyingCandidateWins() {
    QTemporaryDir dir;
    TranslationMemory memory;
    // 80 percent, then 95 percent, then an exact match in another function.
    loadMemory(memory,
               {{0x400, {"ABCDEFGHXY", "ABCDEFGHIJK"}, {"eighty", "ninety-five"}},
                {0x401, {"abcdefghij"}, {"exact"}}},
               dir.path());
    memory.fillScope(0x400, false);
    auto p = memory.FindReferenceTranslation("ABCDEFGHIJ", Cp1252Codec());
    QCOMPARE(p.translation, QByteArray("eighty"));
    QCOMPARE(p.statusText, similarText("80"));
    QCOMPARE(p.line, 0);
    // The whole reference: the exact match is looked for first.
    memory.fillScope(0x400, true);
    p = memory.FindReferenceTranslation("ABCDEFGHIJ", Cp1252Codec());
    QCOMPARE(p.translation, QByteArray("exact"));
    QCOMPARE(p.statusText, ExactText);
    QCOMPARE(p.line, 2);
}

void TestTranslationMemory::scopeFollowsToggle() {
    QTemporaryDir dir;
    TranslationMemory memory;
    loadMemory(memory,
               {{0x400, {"one"}, {"eins"}},
                {0x401, {"two", "three"}, {"zwei", "drei"}},
                {0x401, {"four"}, {"vier"}}},
               dir.path());
    QVERIFY(memory.scopeIsEmpty()); // nothing shown yet
    memory.fillScope(0x401, false); // the first function with the number
    QCOMPARE(memory.RefOriginals(), (Lines{"two", "three"}));
    QCOMPARE(memory.RefTranslations(), (Lines{"zwei", "drei"}));
    QVERIFY(!memory.FindReferenceTranslation("four", Cp1252Codec()).found);
    QCOMPARE(memory.FindReferenceTranslation("Three", Cp1252Codec()).translation, "drei");

    memory.fillScope(0x402, false); // no function of that number: nothing
    QVERIFY(memory.scopeIsEmpty());
    QVERIFY(memory.RefOriginals().isEmpty());
    const auto none = memory.FindReferenceTranslation("one", Cp1252Codec());
    QVERIFY(!none.found);
    QVERIFY(none.statusText.isEmpty());

    memory.fillScope(0x402, true);
    QCOMPARE(memory.RefOriginals(), (Lines{"one", "two", "three", "four"}));
    QCOMPARE(memory.FindReferenceTranslation("four", Cp1252Codec()).translation, "vier");
}

// Block and function line counts differ in both directions, and the pack
// lacks the last block: one warning; lines without a partner are not in
// scope, and the lines after them still pair correctly.
void TestTranslationMemory::unpairedLinesGiveNoProposal() {
    QTemporaryDir dir;
    TranslationMemory memory;
    const QStringList warnings =
        loadMemory(memory,
                   {{0x400, {"alpha", "beta"}, {"A"}},              // translation shorter
                    {0x401, {"gamma"}, {"G", "extra translation"}}, // block shorter
                    {0x402, {"delta"}, {"D"}}},                     // no block at all
                   dir.path(), 2);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].startsWith("Warning! " + dir.path() + "/ref.pak does not belong"),
             qPrintable(warnings[0]));
    memory.fillScope(0, true);
    QCOMPARE(memory.RefOriginals(), (Lines{"alpha", "gamma"}));
    QCOMPARE(memory.RefTranslations(), (Lines{"A", "G"}));
    QVERIFY(!memory.FindReferenceTranslation("beta", Cp1252Codec()).found);
    QCOMPARE(memory.FindReferenceTranslation("gamma", Cp1252Codec()).translation, "G");
    memory.fillScope(0x402, false);
    QVERIFY(memory.scopeIsEmpty());

    // Matching counts: no warning.
    TranslationMemory sound;
    QVERIFY(loadMemory(sound, {{0x400, {"a", "b"}, {"A", "B"}}}, dir.path()).isEmpty());
}

void TestTranslationMemory::damagedPackNamesFile() {
    QTemporaryDir dir;
    const QString pack = dir.path() + "/ref.pak";
    QByteArray bytes = Pack::compress(Pack::buildContent({{"a"}}));
    bytes.chop(5);
    writeFile(pack, bytes);
    TranslationMemory memory;
    QStringList warnings;
    try {
        memory.load("usecode", {{0x400, {"A"}}}, true, pack, warnings);
        QFAIL("no error");
    } catch (const DataError& e) {
        QVERIFY2(e.message().contains(pack) && e.message().contains("data corruption"),
                 qPrintable(e.message()));
    }
    QVERIFY(!memory.isLoaded());
    QVERIFY_THROWS_EXCEPTION(FileError,
                             memory.load("usecode", {}, true, dir.path() + "/none", warnings));
}

// The exact match hashes a key made per byte; it must agree with the decoded
// texts compared without regard to case, for every pair of bytes.
void TestTranslationMemory::caseKeysMatchLocaleComparison() {
    QTemporaryDir dir;
    Lines all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') all << QByteArray(1, char(b)); // no line of a text file
    TranslationMemory memory;
    loadMemory(memory, {{0x400, all, all}}, dir.path());
    memory.fillScope(0x400, false);
    const Cp1252Codec codec;
    for (const QByteArray& query : std::as_const(all)) {
        qsizetype expected = -1;
        for (qsizetype k = 0; k < all.size() && expected < 0; ++k)
            if (codec.decode(all[k]).compare(codec.decode(query), Qt::CaseInsensitive) == 0)
                expected = k;
        const auto p = memory.FindReferenceTranslation(query, codec);
        QVERIFY(p.exact);
        QCOMPARE(p.line, expected);
    }
}

// A reference made by a compiler: symbol table, a 0xFFFE record between two
// functions, a function without strings; relative paths from the program
// directory.
void TestTranslationMemory::workspaceReadsCompilerMadeReference() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/";
    QList<gamebuild::SymbolSpec> symbols(1);
    symbols[0].name = "greeter";
    symbols[0].value = 0x400;
    auto function = [](quint16 number, Lines strings) {
        gamebuild::FunctionSpec f;
        f.number = number;
        f.strings = strings;
        f.code = gamebuild::simpleConversation(int(strings.size()));
        return gamebuild::functionRecord(f);
    };
    const QByteArray usecode =
        gamebuild::symbolTableHeader(symbols) +
        function(0x400, {"Guten Tag.", "Auf Wiedersehen."}) +
        gamebuild::fffeRecord(0x12345, {"Lampe"}, gamebuild::simpleConversation(1)) +
        function(0x401, {}) + function(0x402, {"Ja."});
    writeFile(prog + "ref/usecode", usecode);
    Pack::write(prog + "ref/ref.pak", Pack::buildContent({{"Good day.", "Farewell."}, {"Yes."}}));
    writeIni(prog, root.path() + "/game/", {},
             "REF_USECODE=ref/usecode\r\nREF_PAK=ref/ref.pak\r\n");

    Workspace ws(prog);
    ws.openConfiguration();
    ws.readConfiguration();
    QVERIFY(ws.hasReference());
    ws.loadReference();
    QCOMPARE(ws.takeWarnings(), QStringList());
    const TranslationMemory& memory = ws.translationMemory();
    QVERIFY(memory.isLoaded());
    QCOMPARE(memory.functionCount(), 2);
    ws.translationMemory().fillScope(0x402, false);
    QCOMPARE(memory.RefOriginals(), Lines{"Yes."});
    QCOMPARE(memory.RefTranslations(), Lines{"Ja."});
    ws.translationMemory().fillScope(0, true);
    QCOMPARE(memory.FindReferenceTranslation("farewell.", Cp1252Codec()).translation,
             "Auf Wiedersehen.");
}

void TestTranslationMemory::workspaceWarnsOfDamagedReference() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/";
    QByteArray usecode = smallUsecode({{"Eins."}, {"Zwei."}});
    usecode.chop(3); // the second record runs past the end
    writeFile(prog + "usecode.ref", usecode);
    Pack::write(prog + "ref.pak", Pack::buildContent({{"One."}, {"Two."}}));
    writeIni(prog, root.path() + "/game/", {},
             "REF_USECODE=" + QFile::encodeName(prog) + "usecode.ref\r\nREF_PAK=ref.pak\r\n");
    Workspace ws(prog);
    ws.openConfiguration();
    ws.readConfiguration();
    ws.loadReference();
    const QStringList warnings = ws.takeWarnings();
    QCOMPARE(warnings.size(), 1); // the damage; two blocks for one function are expected
    QVERIFY2(warnings[0].startsWith("Warning! ") && warnings[0].contains(prog + "usecode.ref") &&
                 warnings[0].contains("runs past the end"),
             qPrintable(warnings[0]));
    ws.translationMemory().fillScope(0, true);
    QCOMPARE(ws.translationMemory().RefTranslations(), Lines{"Eins."});
}

void TestTranslationMemory::sampleReference_data() {
    QTest::addColumn<gamebuild::SampleScale>("scale");
    QTest::newRow("small") << gamebuild::SampleScale::Small;
    QTest::newRow("full") << gamebuild::SampleScale::Full;
}

// The sample game's reference loads cleanly, pairs every string, and the
// first function of the small game gets an exact and a similar proposal.
void TestTranslationMemory::sampleReference() {
    QFETCH(gamebuild::SampleScale, scale);
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/";
    gamebuild::writeSampleReference(prog + "reference", scale);
    writeIni(prog, root.path() + "/game/", {},
             "REF_USECODE=reference/usecode\r\nREF_PAK=reference/ref.pak\r\n");
    Workspace ws(prog);
    ws.openConfiguration();
    ws.readConfiguration();
    ws.loadReference();
    QCOMPARE(ws.takeWarnings(), QStringList());

    const UsecodeFile game = parseUsecode(gamebuild::sampleUsecode(scale), "game");
    qsizetype strings = 0;
    for (const tFunc& func : game.funcs)
        strings += extractStrings(game.image, func).size();
    TranslationMemory& memory = ws.translationMemory();
    QCOMPARE(memory.functionCount(), game.funcs.size());
    QCOMPARE(memory.lineCount(), strings);
    if (scale != gamebuild::SampleScale::Small) return;

    const Lines first = extractStrings(game.image, game.funcs[0]);
    memory.fillScope(game.funcs[0].FuncNum, false);
    QCOMPARE(memory.FindReferenceTranslation(first[0], Cp1252Codec()).statusText, ExactText);
    QVERIFY(memory.FindReferenceTranslation(first[1], Cp1252Codec())
                .statusText.startsWith("Found a translation 9"));
}

void TestTranslationMemory::fastLookupEqualsPlainScan_data() {
    QTest::addColumn<int>("maxWords");
    QTest::addColumn<int>("functionCount");
    QTest::addColumn<int>("queryCount");
    // Short texts: many functions and queries. Long ones (up to some 450
    // bytes) take the multi-word paths of the bounds.
    QTest::newRow("short") << 7 << 30 << 3000;
    QTest::newRow("long") << 90 << 8 << 150;
}

// Texts from few words and letters, so that exact, similar, tied and
// just-failing candidates are all common; queries are reference lines
// perturbed by edits on up to a third of their length, or fresh texts.
void TestTranslationMemory::fastLookupEqualsPlainScan() {
    QFETCH(int, maxWords);
    QFETCH(int, functionCount);
    QFETCH(int, queryCount);
    QRandomGenerator rng(20240611);
    const QList<QByteArray> words{"the", "mill", "goose",   "Bridge",  "a",
                                  "old", "is",   "RIVER",   "at",      "night",
                                  "ab",  "ba",   "caf\xE9", "CAF\xC9", "\\N"};
    auto text = [&](int wordCount) {
        QByteArray s;
        for (int w = 0; w < wordCount; ++w) {
            if (w) s += rng.bounded(8) == 0 ? "," : " ";
            s += words[rng.bounded(int(words.size()))];
        }
        return s;
    };
    auto perturb = [&](QByteArray s) {
        const int edits = rng.bounded(int(s.size()) / 3 + 2);
        for (int e = 0; e < edits; ++e) {
            const int pos = s.isEmpty() ? 0 : rng.bounded(int(s.size()));
            switch (rng.bounded(7)) {
            case 0:
            case 1:
                s.insert(pos, char('a' + rng.bounded(5)));
                break;
            case 2:
            case 3:
                if (!s.isEmpty()) s.remove(pos, 1);
                break;
            case 4:
            case 5:
                if (!s.isEmpty()) s[pos] = char('A' + rng.bounded(5));
                break;
            default:
                s = s.toUpper();
                break;
            }
        }
        return s;
    };

    QList<RefFunction> functions;
    for (int f = 0; f < functionCount; ++f) {
        RefFunction fn{quint16(0x400 + f % (functionCount - 5)), {}, {}};
        const int lines = 1 + rng.bounded(8);
        for (int l = 0; l < lines; ++l) {
            fn.originals << text(1 + rng.bounded(maxWords));
            fn.translations << "T" + QByteArray::number(f) + "." + QByteArray::number(l);
        }
        functions << fn;
    }
    QTemporaryDir dir;
    TranslationMemory memory;
    loadMemory(memory, functions, dir.path());
    const Cp1252Codec codec;

    int found = 0, similar = 0;
    for (int n = 0; n < queryCount; ++n) {
        const bool all = n % 3 != 0;
        const quint16 number = quint16(0x400 + rng.bounded(functionCount - 4));
        // The scope built the plain way: every function, or the first
        // with the number.
        Lines originals, translations;
        for (const RefFunction& f : std::as_const(functions)) {
            if (!all && f.number != number) continue;
            originals << f.originals;
            translations << f.translations;
            if (!all) break;
        }
        memory.fillScope(number, all);
        QCOMPARE(memory.RefOriginals(), originals);

        QByteArray query;
        if (rng.bounded(4) == 0 || originals.isEmpty()) {
            query = text(1 + rng.bounded(maxWords));
        } else {
            query = perturb(originals[rng.bounded(int(originals.size()))]);
        }
        const PlainAnswer expected = plainLookup(originals, query, codec);
        const auto p = memory.FindReferenceTranslation(query, codec);
        QCOMPARE(p.found, expected.line >= 0);
        QCOMPARE(p.line, expected.line);
        QCOMPARE(p.statusText, expected.status);
        if (p.found) {
            QCOMPARE(p.translation, translations[expected.line]);
            ++found;
            similar += !p.exact;
        }
        // The similarity itself, on the pair the scan ended with.
        const QByteArray other = originals.isEmpty() ? text(3) : originals.back();
        QCOMPARE(Similarity(other, query), plainSimilarity(other, query));
    }
    // The texts exercise every outcome.
    QVERIFY2(similar > queryCount / 10 && found > similar && found < queryCount * 9 / 10,
             qPrintable(QStringLiteral("%1 found, %2 similar").arg(found).arg(similar)));
}

QTEST_GUILESS_MAIN(TestTranslationMemory)
#include "tst_translationmemory.moc"
