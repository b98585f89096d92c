// UTF-8 game text: the codec's UTF-8 mode, the rebuild writing each line's
// UTF-8 bytes, the glyph check against the font map, and the refusal for a
// game of the DOS engine.

#include "testgame.h"
#include "usecode/usecodefile.h"
#include "workspace.h"
#include "workspace/cp1252codec.h"
#include "workspace/errors.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

struct Game {
    QTemporaryDir root;
    QString prog() const { return root.path() + "/prog/"; }
    QString game() const { return root.path() + "/game/"; }
    Game(const QList<QList<QByteArray>>& strings, const QByteArray& extra) {
        QDir().mkpath(prog());
        QDir().mkpath(game());
        writeFile(game() + "usecode", smallUsecode(strings));
        writeIni(prog(), game(), {}, extra);
    }
    std::unique_ptr<Workspace> start() const {
        auto ws = std::make_unique<Workspace>(prog());
        ws->startWithoutWindow();
        return ws;
    }
    QList<QByteArray> gameStrings(int index) const {
        const QByteArray image = readFile(game() + "usecode");
        return extractStrings(image, parseUsecode(image, "usecode").funcs[index]);
    }
};

const QByteArray Utf8Ini = "[SETTING]\r\nGAMETEXT=UTF8\r\n";

} // namespace

class TestUnicode : public QObject {
    Q_OBJECT
private slots:
    void codecInUtf8Mode();
    void rebuildWritesUtf8Bytes();
    void glyphFindings_data();
    void glyphFindings();
    void refusedBesideLinkDep();
};

void TestUnicode::codecInUtf8Mode() {
    Cp1252Codec codec;
    codec.setCodePage(1251);
    codec.setUtf8(true);
    QCOMPARE(codec.decode("\xD0\x96\xC3\xBC"), QString::fromUtf8("Жü"));
    // Not UTF-8: the display code page shows it, and it stays those bytes.
    QCOMPARE(codec.decode("\xC6\xE8"), QString::fromUtf8("Жи"));
    QByteArray bytes;
    QVERIFY(codec.encode(QString::fromUtf8("日本 ł"), bytes));
    QCOMPARE(bytes, QByteArray("\xE6\x97\xA5\xE6\x9C\xAC \xC5\x82"));
    qsizetype bad = -1;
    QVERIFY(!codec.encode(QString(QChar(0xD800)) + "x", bytes, &bad));
    QCOMPARE(bad, 0);
    QCOMPARE(codec.name(), QStringLiteral("UTF-8"));
    codec.setUtf8(false);
    QCOMPARE(codec.decode("\xD0\x96"), QString::fromUtf8("Р–"));
}

// Every alphabet reaches the game as the UTF-8 bytes of its line; ’ and – as
// ' and -; a translation file with a byte-order mark is taken without it.
void TestUnicode::rebuildWritesUtf8Bytes() {
    Game g({{"Hello", "Bye", "Name", "Ring", "Sea", "Ok"}}, Utf8Ini);
    auto ws = g.start();
    const QList<QByteArray> lines = {
        "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", // Привет
        "\xCE\x91\xCE\xBD\xCF\x84\xCE\xAF\xCE\xBF",         // Αντίο
        "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87",               // Zażółć
        "Gr\xC3\xB6\xC3\x9F"
        "e \xC3\x96l", // Größe Öl (Ö is C3 96)
        "\xE6\xB5\xB7\\N\xE2\x80\x9C"
        "x\xE2\x80\x9D",                   // 海\N“x”
        "It\xE2\x80\x99s \xE2\x80\x93 ok", // It’s – ok
    };
    writeFile(g.prog() + "0400.TXT", "\xEF\xBB\xBF" + joinLines(lines));
    QCOMPARE(ws->openFunctionLines(0), lines);
    const Workspace::RebuildReport report = ws->Rebuild(true);
    QVERIFY2(report.notApplied.isEmpty(), qPrintable(report.warnings.join('\n')));
    QList<QByteArray> expected = lines;
    expected[4] = "\xE6\xB5\xB7\\N\xE2\x80\x9C"
                  "x\xE2\x80\x9D";
    expected[5] = "It's - ok";
    QCOMPARE(g.gameStrings(0), expected);
    // The raw string bytes: \N is CR LF.
    QVERIFY(readFile(g.game() + "usecode").contains("\xE6\xB5\xB7\r\n\xE2\x80\x9C"));
}

void TestUnicode::glyphFindings_data() {
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("mapped letters draw") << Utf8Ini
                                         << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                       "e")
                                         << QStringList();
    QTest::newRow("Cyrillic and CJK")
        << Utf8Ini << QByteArray("\xD0\x96 \xE6\xB5\xB7")
        << QStringList{QString::fromUtf8("the character \"Ж\" (U+0416) has "
                                         "no glyph in the font"),
                       QString::fromUtf8("the character \"海\" (U+6D77) "
                                         "has no glyph in the font")};
    QTest::newRow("game's own fonts")
        << Utf8Ini + "GAMEFONT=ORIGINAL\r\n"
        << QByteArray("\xC3\xBC")
        << QStringList{QString::fromUtf8("the character \"ü\" (U+00FC) is drawn as ue")};
    // Code-page text without a font map of the team: not checked.
    QTest::newRow("code page, no map") << QByteArray() << QByteArray("\xE5") << QStringList();
}

void TestUnicode::glyphFindings() {
    QFETCH(QByteArray, extra);
    QFETCH(QByteArray, line);
    QFETCH(QStringList, messages);
    Game g({{"Hello"}}, extra);
    auto ws = g.start();
    writeFile(g.prog() + "0400.TXT", line + "\r\n");
    Cp1252Codec codec;
    codec.setUtf8(ws->settings().gameTextEncoding == GameTextEncoding::Utf8);
    QStringList found;
    for (const Workspace::Finding& f : ws->checkTranslations(codec))
        if (f.problem.check == "glyph") found << f.problem.message;
    QCOMPARE(found, messages);
}

void TestUnicode::refusedBesideLinkDep() {
    Game g({{"Hello"}}, {});
    writeFile(g.game() + "LINKDEP1", "x");
    writeFile(g.game() + "linkdep2", "x");
    auto ws = g.start();
    QVERIFY(ws->utf8Refusal().contains("original DOS engine"));
    QVERIFY_THROWS_EXCEPTION(Error, ws->setGameTextEncoding(GameTextEncoding::Utf8));
    QVERIFY(ws->settings().gameTextEncoding == GameTextEncoding::Windows);
    QVERIFY(!readFile(g.prog() + "LEXIVO.INI").contains("UTF8"));
}

QTEST_GUILESS_MAIN(TestUnicode)
#include "tst_unicode.moc"
