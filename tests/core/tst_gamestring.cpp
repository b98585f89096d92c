// The game-string codec and the line-splitting rule of translation files.

#include "workspace/gamestring.h"
#include "workspace/textlines.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lexivo;

class TestGameString : public QObject {
    Q_OBJECT

private slots:
    void readsAndWritesBack_data();
    void readsAndWritesBack();
    void controlCodeTable();
    void everyByteSurvivesTheTextForm();
    void storedStringSize_data();
    void storedStringSize();
    void escapesOnlyUpperCase();
    void readStopsAtEndWithoutNul();
    void splitLines_data();
    void splitLines();
    void translationFileRoundTrip();
};

// game bytes (without NUL) -> text form -> game bytes written back
void TestGameString::readsAndWritesBack_data() {
    QTest::addColumn<QByteArray>("game");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("line break, tab, e acute")
        << QByteArray("Hi\r\n\t\x03") << QByteArray("Hi\\N\\T\xE9") << QByteArray("Hi\r\n\t\xE9");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("lone CR") << QByteArray("a\rb")
                             << QByteArray("a\x0E"
                                           "b")
                             << QByteArray("a\rb");
    QTest::newRow("lone LF") << QByteArray("a\nb")
                             << QByteArray("a\x0F"
                                           "b")
                             << QByteArray("a\nb");
    QTest::newRow("CR CR LF") << QByteArray("\r\r\n") << QByteArray("\x0E\\N")
                              << QByteArray("\r\r\n");
    QTest::newRow("LF CR") << QByteArray("\n\r") << QByteArray("\x0F\x0E") << QByteArray("\n\r");
    QTest::newRow("0x92 and 0x96 written plain")
        << QByteArray("it\x92s \x96") << QByteArray("it\x92s \x96") << QByteArray("it's -");
    QTest::newRow("backslash N in game text becomes a break")
        << QByteArray("a\\Nb") << QByteArray("a\\Nb") << QByteArray("a\r\nb");
    QTest::newRow("other backslashes kept")
        << QByteArray("a\\n\\x\\") << QByteArray("a\\n\\x\\") << QByteArray("a\\n\\x\\");
    QTest::newRow("0x1A 0x1B stand for themselves")
        << QByteArray("\x1A\x1B") << QByteArray("\x1A\x1B") << QByteArray("\x1A\x1B");
}

void TestGameString::readsAndWritesBack() {
    QFETCH(QByteArray, game);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, written);
    const QByteArray stored = game + '\0' + "next";
    qsizetype pos = 0;
    QCOMPARE(ReadGameString(stored, pos), text);
    QCOMPARE(pos, game.size() + 1);
    QByteArray out = "x";
    QCOMPARE(WriteGameString(out, text), int(written.size() + 1));
    QCOMPARE(out, "x" + written + '\0');
    QCOMPARE(StoredStringSize(text), int(written.size() + 1));
}

void TestGameString::controlCodeTable() {
    const QByteArray expected = "\xC7\xFC\xE9\xE2\xE4\xE0\xE7\xEA"                 // 01-08
                                "\\T"                                              // 09
                                "\x0F"                                             // 0A (lone LF)
                                "\xEB\xE8"                                         // 0B 0C
                                "\x0E"                                             // 0D (lone CR)
                                "\xEF\xEE\xEC\xC4\xC9\xF4\xF6\xFB\xF9\xD6\xDC\xE1" // 0E-19
                                "\x1A\x1B\xDF\xED\xF2\xFA";                        // 1A-1F
    QByteArray game;
    for (int b = 1; b < 0x20; ++b)
        game.append(char(b));
    game.append('\0');
    qsizetype pos = 0;
    QCOMPARE(ReadGameString(game, pos), expected);
}

// Every byte 0x01..0xFF read, saved in a translation file, loaded and written
// comes back as the codec describes: control letters as their Windows-1252
// letter, 0x92/0x96 as apostrophe/hyphen, everything else unchanged.
void TestGameString::everyByteSurvivesTheTextForm() {
    QByteArray game;
    for (int b = 1; b < 256; ++b) {
        game.append(char(b));
        game.append('.');
    }
    QByteArray stored = game + '\0';
    qsizetype pos = 0;
    const QByteArray text = ReadGameString(stored, pos);
    const Lines lines = lexivo::splitLines(joinLines({text, "second"}));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], text);
    QByteArray out;
    WriteGameString(out, lines[0]);
    QCOMPARE(out.size(), stored.size());
    for (int b = 1; b < 256; ++b) {
        const auto got = quint8(out[(b - 1) * 2]);
        int want = b;
        if (b < 0x20 && b != 0x09 && b != 0x0A && b != 0x0D && b != 0x1A && b != 0x1B) {
            qsizetype p = 0;
            const QByteArray single(1, char(b));
            want = quint8(ReadGameString(single, p)[0]);
        } else if (b == 0x92) {
            want = 0x27;
        } else if (b == 0x96) {
            want = 0x2D;
        }
        QVERIFY2(got == want, qPrintable(QString::asprintf("byte %02X wrote %02X", b, got)));
    }
}

void TestGameString::storedStringSize_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << QByteArray() << 1;
    QTest::newRow("a\\Tb") << QByteArray("a\\Tb") << 4;
    QTest::newRow("a\\Nb") << QByteArray("a\\Nb") << 5;
    QTest::newRow("\\\\T") << QByteArray("\\\\T") << 3;
    QTest::newRow("trailing backslash") << QByteArray("ab\\") << 4;
}

void TestGameString::storedStringSize() {
    QFETCH(QByteArray, text);
    QFETCH(int, size);
    QCOMPARE(StoredStringSize(text), size);
    QByteArray out;
    QCOMPARE(WriteGameString(out, text), size);
}

void TestGameString::escapesOnlyUpperCase() {
    QByteArray out;
    WriteGameString(out, "\\n\\t\\N\\T");
    QCOMPARE(out, QByteArray("\\n\\t\r\n\t", 7) + '\0');
}

void TestGameString::readStopsAtEndWithoutNul() {
    const QByteArray data = "abc";
    qsizetype pos = 1;
    QCOMPARE(ReadGameString(data, pos), QByteArray("bc"));
    QCOMPARE(pos, 3);
    QCOMPARE(ReadGameString(data, pos), QByteArray());
    QCOMPARE(pos, 3);
}

void TestGameString::splitLines_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");
    using L = QList<QByteArray>;
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << L{"a", "b"};
    QTest::newRow("no final break") << QByteArray("a\r\nb") << L{"a", "b"};
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc") << L{"a", "b", "c"};
    QTest::newRow("empty middle line") << QByteArray("a\r\n\r\nc\r\n") << L{"a", "", "c"};
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << L{"a", "", "b"};
    QTest::newRow("empty file") << QByteArray() << L{};
    QTest::newRow("single break") << QByteArray("\r\n") << L{""};
    QTest::newRow("NUL ends content") << QByteArray("a\r\nb\0c\r\n", 8) << L{"a", "b"};
}

void TestGameString::splitLines() {
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);
    QCOMPARE(lexivo::splitLines(content), lines);
}

void TestGameString::translationFileRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath("01A4.TXT");
    const Lines lines{"one", "",
                      "th\xE9"
                      "e\\N"};
    saveTextLines(path, lines);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("one\r\n\r\nth\xE9"
                                        "e\\N\r\n"));
    QCOMPARE(loadTextLines(path), lines);
}

QTEST_APPLESS_MAIN(TestGameString)
#include "tst_gamestring.moc"
