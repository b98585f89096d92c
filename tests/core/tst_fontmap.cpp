// The engine's font map: its own table, what it draws for a UTF-8 string,
// and font_map.txt files merged over it.

#include "gamedata/fontmap.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/errors.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;
using namespace lexivo::testing;
using Section = FontMap::Section;
Q_DECLARE_METATYPE(FontMap::Section)

class TestFontMap : public QObject {
    Q_OBJECT
private slots:
    void engineTable();
    void apply_data();
    void apply();
    void mergeReplacesAndAdds();
    void damagedFile_data();
    void damagedFile();
    void workspaceLoadsTheConfiguredMap();
};

void TestFontMap::engineTable() {
    const FontMap map = FontMap::engineDefault();
    QCOMPARE(map.size(Section::Builtin), 37);
    QCOMPARE(map.size(Section::Original), 35);
    QCOMPARE(map.lookup(0xC3, 0xBC, Section::Builtin), QByteArray("\x02")); // ü
    QCOMPARE(map.lookup(0xC3, 0xBC, Section::Original), QByteArray("ue"));
    QCOMPARE(map.lookup(0xC3, 0x9F, Section::Original), QByteArray("ss"));  // ß
    QCOMPARE(map.lookup(0xC3, 0x91, Section::Builtin), QByteArray("\x81")); // Ñ
    QCOMPARE(map.lookup(0xC2, 0xA1, Section::Builtin), QByteArray("\x86")); // ¡
    QCOMPARE(map.lookup(0xC2, 0xA1, Section::Original), std::nullopt);
    QCOMPARE(map.lookup(0xC2, 0xBF, Section::Builtin), std::nullopt); // ¿
    QCOMPARE(map.lookup(0xC3, 0xA5, Section::Builtin), std::nullopt); // å
}

void TestFontMap::apply_data() {
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<Section>("section");
    QTest::addColumn<QByteArray>("drawn");
    QTest::newRow("ascii") << QByteArray("Hello~you") << Section::Builtin
                           << QByteArray("Hello~you");
    QTest::newRow("builtin frames") << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                  "e")
                                    << Section::Builtin
                                    << QByteArray("Gr\x02\x1C"
                                                  "e");
    QTest::newRow("original text") << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                 "e")
                                   << Section::Original << QByteArray("Gruesse");
    // A three-byte character and an unmapped pair pass through as bytes.
    QTest::newRow("three bytes") << QByteArray("a\xE2\x80\x99") << Section::Builtin
                                 << QByteArray("a\xE2\x80\x99");
    QTest::newRow("unmapped pair")
        << QByteArray("\xC2\xAB") << Section::Builtin << QByteArray("\xC2\xAB");
    QTest::newRow("lead at the end")
        << QByteArray("x\xC3") << Section::Builtin << QByteArray("x\xC3");
    // An unmapped pair moves on by one byte: its second byte may lead a pair.
    QTest::newRow("overlapping") << QByteArray("\xC3\xC3\xBC") << Section::Builtin
                                 << QByteArray("\xC3\x02");
    QTest::newRow("not in original")
        << QByteArray("\xC2\xA1") << Section::Original << QByteArray("\xC2\xA1");
}

void TestFontMap::apply() {
    QFETCH(QByteArray, utf8);
    QFETCH(Section, section);
    QFETCH(QByteArray, drawn);
    QCOMPARE(FontMap::engineDefault().apply(utf8, section), drawn);
}

void TestFontMap::mergeReplacesAndAdds() {
    FontMap map = FontMap::engineDefault();
    map.merge("\xEF\xBB\xBF# Team map\r\n"
              "%%section version\r\n:1\r\n%%endsection\r\n"
              "\r\n"
              "%%section builtin\n"
              "  :C2A1/85\n"   // ¡ to the frame that holds it
              "\t5:C2BF/86\n"  // ¿ added, numbered entry
              "0x10:d0b0/a0\n" // Cyrillic а, lower-case hex
              ":E282AC/90\n"   // € is three bytes: never looked up
              "no colon here\n"
              "%%endsection\n"
              "%%section original\r"
              ":C3BC/u \r" // the value keeps its trailing blank
              ":D0B0/a\r"
              "%%endsection",
              QStringLiteral("font_map.txt"));
    QCOMPARE(map.lookup(0xC2, 0xA1, Section::Builtin), QByteArray("\x85"));
    QCOMPARE(map.lookup(0xC2, 0xBF, Section::Builtin), QByteArray("\x86"));
    QCOMPARE(map.lookup(0xD0, 0xB0, Section::Builtin), QByteArray("\xA0"));
    QCOMPARE(map.lookup(0xC3, 0xBC, Section::Builtin), QByteArray("\x02")); // kept
    QCOMPARE(map.lookup(0xC3, 0xBC, Section::Original), QByteArray("u "));
    QCOMPARE(map.lookup(0xD0, 0xB0, Section::Original), QByteArray("a"));
    QCOMPARE(map.size(Section::Builtin), 39);
    QCOMPARE(map.apply("\xE2\x82\xAC", Section::Builtin), QByteArray("\xE2\x82\xAC"));
}

void TestFontMap::damagedFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    // A good entry before the damage must not stay behind.
    const QByteArray open = "# x\n%%section builtin\n:C2BF/86\n";
    QTest::newRow("bad hex") << open + ":C3BZ/02\n%%endsection\n"
                             << "team.txt, line 4: \"C3BZ/02\" is not an entry of the form "
                                "HEX/FRAME (HEX: the UTF-8 bytes in hexadecimal)";
    QTest::newRow("no slash") << QByteArray("%%section original\n:C3BC\n%%endsection\n")
                              << "team.txt, line 2: \"C3BC\" is not an entry of the form "
                                 "HEX/TEXT (HEX: the UTF-8 bytes in hexadecimal)";
    QTest::newRow("odd hex") << open + ":C3B/02\n%%endsection\n"
                             << "team.txt, line 4: \"C3B/02\" is not an entry of the form "
                                "HEX/FRAME (HEX: the UTF-8 bytes in hexadecimal)";
    QTest::newRow("frame too big")
        << open + ":C3BC/100\n%%endsection\n"
        << "team.txt, line 4: \"C3BC/100\": the frame must be a hexadecimal number from 01 to FF";
    QTest::newRow("frame 00") << open + ":C3BC/00\n%%endsection\n"
                              << "team.txt, line 4: \"C3BC/00\": frame 00 would end the text "
                                 "where the character stands";
    QTest::newRow("entry number") << open + "x1:C3BC/02\n%%endsection\n"
                                  << "team.txt, line 4: \"x1\" is not an entry number";
    QTest::newRow("unclosed") << open + ":C3BC/02\n"
                              << "team.txt, line 2: the section opened here has no %%endsection";
    QTest::newRow("nested") << open + "%%section original\n"
                            << "team.txt, line 4: a section opens inside the section opened at "
                               "line 2";
    QTest::newRow("twice") << open + "%%endsection\n%%section builtin\n%%endsection\n"
                           << "team.txt, line 5: the section \"builtin\" appears a second time";
    QTest::newRow("stray end") << QByteArray("%%endsection\n")
                               << "team.txt, line 1: %%endsection without an open section";
}

void TestFontMap::damagedFile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    FontMap map = FontMap::engineDefault();
    try {
        map.merge(content, QStringLiteral("team.txt"));
        QFAIL("no error");
    } catch (const DataError& e) {
        QCOMPARE(e.message(), message);
    }
    QCOMPARE(map, FontMap::engineDefault());
}

void TestFontMap::workspaceLoadsTheConfiguredMap() {
    QTemporaryDir root;
    const QString prog = root.path() + "/prog/", game = root.path() + "/game/";
    QDir().mkpath(prog + "ed");
    QDir().mkpath(game + "patch");
    writeFile(game + "usecode", smallUsecode({{"Hello"}}));
    const QByteArray patchMap = "%%section builtin\n:C3BC/41\n%%endsection\n";
    writeFile(game + "patch/FONT_MAP.TXT", patchMap);
    const auto start = [&](const QByteArray& extra) {
        writeIni(prog, game, prog + "ed", "PATCH=" + game.toUtf8() + "patch\r\n" + extra);
        auto ws = std::make_unique<Workspace>(prog);
        ws->startWithoutWindow();
        return ws;
    };

    // The patch folder's map (found whatever its case) over the engine's.
    auto ws = start({});
    QCOMPARE(ws->fontMapFile(), game + "patch/FONT_MAP.TXT");
    QCOMPARE(ws->fontMap().lookup(0xC3, 0xBC, Section::Builtin), QByteArray("A"));
    QCOMPARE(ws->fontMap().lookup(0xC3, 0x9F, Section::Builtin), QByteArray("\x1C"));
    QCOMPARE(ws->fontMapSection(), Section::Builtin);

    // DIRECTORY/FONTMAP wins, relative to the program directory; GAMEFONT.
    writeFile(prog + "team.txt", "%%section original\n:C3BC/u\n%%endsection\n");
    ws = start("FONTMAP=team.txt\n[SETTING]\nGAMEFONT=original\n");
    QCOMPARE(ws->fontMapFile(), prog + "team.txt");
    QCOMPARE(ws->fontMap().lookup(0xC3, 0xBC, Section::Builtin), QByteArray("\x02"));
    QCOMPARE(ws->fontMap().lookup(0xC3, 0xBC, Section::Original), QByteArray("u"));
    QCOMPARE(ws->fontMapSection(), Section::Original);

    // A damaged map is a warning; the engine's table is used.
    writeFile(prog + "team.txt", "%%section builtin\n:C3BC/zz\n%%endsection\n");
    ws = start("FONTMAP=team.txt\n");
    const QStringList warnings = ws->takeWarnings();
    QVERIFY2(warnings.join('\n').contains(prog + "team.txt, line 2: "),
             qPrintable(warnings.join('\n')));
    QCOMPARE(ws->fontMap(), FontMap::engineDefault());
}

QTEST_GUILESS_MAIN(TestFontMap)
#include "tst_fontmap.moc"
