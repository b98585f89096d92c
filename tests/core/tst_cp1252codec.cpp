// The display codec: every byte 0x01-0xFF survives decode and encode, the
// undefined bytes keep their own control characters, and characters the code
// page cannot hold are refused, never substituted. The same for every
// selectable code page, and its setting in LEXIVO.INI.

#include "testgame.h"
#include "workspace/config.h"
#include "workspace/cp1252codec.h"

#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using lexivo::Cp1252Codec;

class TestCp1252Codec : public QObject {
    Q_OBJECT

private slots:
    void everyByteRoundTrips() {
        Cp1252Codec codec;
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            all.append(char(b));
        const QString text = codec.decode(all);
        QCOMPARE(text.size(), all.size());
        QByteArray back;
        QVERIFY(codec.encode(text, back));
        QCOMPARE(back, all);
        // No two bytes share a character.
        QSet<QChar> seen;
        for (QChar ch : text)
            seen.insert(ch);
        QCOMPARE(seen.size(), 255);
    }

    void knownCharacters_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("unicode");
        QTest::newRow("euro") << 0x80 << 0x20AC;
        QTest::newRow("undefined 81") << 0x81 << 0x0081;
        QTest::newRow("undefined 8D") << 0x8D << 0x008D;
        QTest::newRow("undefined 8F") << 0x8F << 0x008F;
        QTest::newRow("undefined 90") << 0x90 << 0x0090;
        QTest::newRow("undefined 9D") << 0x9D << 0x009D;
        QTest::newRow("right quote") << 0x92 << 0x2019;
        QTest::newRow("en dash") << 0x96 << 0x2013;
        QTest::newRow("y diaeresis 9F") << 0x9F << 0x0178;
        QTest::newRow("e acute") << 0xE9 << 0x00E9;
        QTest::newRow("nbsp") << 0xA0 << 0x00A0;
        QTest::newRow("ascii") << 0x41 << 0x0041;
    }
    void knownCharacters() {
        QFETCH(int, byte);
        QFETCH(int, unicode);
        Cp1252Codec codec;
        QCOMPARE(codec.decode(QByteArray(1, char(byte))), QString(QChar(unicode)));
        QByteArray back;
        QVERIFY(codec.encode(QString(QChar(unicode)), back));
        QCOMPARE(back, QByteArray(1, char(byte)));
    }

    void refusesWhatTheCodePageCannotHold_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("badPosition");
        QTest::newRow("cyrillic") << QStringLiteral("ab\u0416c") << 2;
        QTest::newRow("C1 control given to another byte") << QStringLiteral("\u0080") << 0;
        QTest::newRow("C1 0x92 as a character") << QStringLiteral("x\u0092") << 1;
        QTest::newRow("emoji surrogate") << QString::fromUtf8("ok \xF0\x9F\x98\x80") << 3;
        QTest::newRow("greek") << QStringLiteral("\u03A9") << 0;
    }
    void refusesWhatTheCodePageCannotHold() {
        QFETCH(QString, text);
        QFETCH(int, badPosition);
        Cp1252Codec codec;
        QByteArray bytes = "unchanged";
        qsizetype bad = -1;
        QVERIFY(!codec.encode(text, bytes, &bad));
        QCOMPARE(bad, qsizetype(badPosition));
        QCOMPARE(bytes, QByteArray("unchanged"));
        QVERIFY(!codec.canEncode(text));
    }

    void everyPageIsLossless_data() {
        QTest::addColumn<int>("codePage");
        for (int page : Cp1252Codec::supportedCodePages())
            QTest::newRow(qPrintable(Cp1252Codec::nameOf(page))) << page;
    }
    void everyPageIsLossless() {
        QFETCH(int, codePage);
        Cp1252Codec codec;
        QVERIFY(codec.setCodePage(codePage));
        QCOMPARE(codec.codePage(), codePage);
        QCOMPARE(codec.name(), QStringLiteral("Windows-%1").arg(codePage));
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = codec.decode(all);
        QSet<QChar> seen(text.begin(), text.end());
        QCOMPARE(seen.size(), 256);
        QByteArray back;
        QVERIFY(codec.encode(text, back));
        QCOMPARE(back, all);
        for (int b = 0; b < 0x80; ++b)
            QCOMPARE(text[b], QChar(b));
    }

    void otherPages_data() {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("unicode");
        QTest::newRow("1251 capital A") << 1251 << 0xC0 << 0x0410;
        QTest::newRow("1251 small ya") << 1251 << 0xFF << 0x044F;
        QTest::newRow("1251 yo") << 1251 << 0xA8 << 0x0401;
        QTest::newRow("1251 undefined 98") << 1251 << 0x98 << 0x0098;
        QTest::newRow("1250 L stroke") << 1250 << 0xA3 << 0x0141;
        QTest::newRow("1250 z dot") << 1250 << 0xBF << 0x017C;
        QTest::newRow("1257 S caron") << 1257 << 0xD0 << 0x0160;
        QTest::newRow("1257 undefined A1") << 1257 << 0xA1 << 0x00A1;
    }
    void otherPages() {
        QFETCH(int, codePage);
        QFETCH(int, byte);
        QFETCH(int, unicode);
        Cp1252Codec codec;
        QVERIFY(codec.setCodePage(codePage));
        QCOMPARE(codec.toUnicode(uchar(byte)), QChar(unicode));
        uchar b = 0;
        QVERIFY(codec.fromUnicode(char16_t(unicode), b));
        QCOMPARE(int(b), byte);
    }

    // The tables against the platform's converters, where Qt has them.
    void pagesMatchTheConverters_data() { everyPageIsLossless_data(); }
    void pagesMatchTheConverters() {
        QFETCH(int, codePage);
        QStringDecoder decoder(qPrintable(QStringLiteral("windows-%1").arg(codePage)));
        if (!decoder.isValid()) QSKIP("no converter for this code page in this Qt build");
        Cp1252Codec codec;
        codec.setCodePage(codePage);
        for (int b = 0x80; b < 0x100; ++b) {
            const QString converted = decoder.decode(QByteArray(1, char(b)));
            if (converted == QString(QChar(0xFFFD))) continue; // undefined there
            QCOMPARE(QString(codec.toUnicode(uchar(b))), converted);
        }
    }

    void switchingPages() {
        Cp1252Codec codec;
        QCOMPARE(codec.codePage(), 1252);
        QVERIFY(codec.setCodePage(1251));
        QVERIFY(!codec.canEncode(QStringLiteral("caf\u00E9"))); // no e acute in 1251
        QByteArray bytes;
        QVERIFY(codec.encode(QStringLiteral("\u0414\u0430"), bytes));
        QCOMPARE(bytes, QByteArray("\xC4\xE0"));
        QVERIFY(!codec.setCodePage(1253));
        QCOMPARE(codec.codePage(), 1251); // unchanged
        QVERIFY(codec.setCodePage(1252));
        QCOMPARE(codec.decode("\xC0"), QStringLiteral("\u00C0"));
    }

    void codePageSetting_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("codePage");
        QTest::newRow("missing") << QByteArray() << 1252;
        QTest::newRow("1251") << QByteArray("CODEPAGE=1251") << 1251;
        QTest::newRow("hexadecimal") << QByteArray("CODEPAGE=$4E9") << 1257;
        QTest::newRow("unsupported") << QByteArray("CODEPAGE=1253") << 1252;
        QTest::newRow("junk") << QByteArray("CODEPAGE=cyrillic") << 1252;
    }
    void codePageSetting() {
        QFETCH(QByteArray, value);
        QFETCH(int, codePage);
        QTemporaryDir dir;
        const QString path = dir.path() + "/LEXIVO.INI";
        lexivo::testing::writeFile(path, "[SETTING]\r\n" + value + "\r\n");
        lexivo::IniFile ini(path);
        QCOMPARE(lexivo::readSettings(ini, {}).codePage, codePage);
        lexivo::writeCodePage(ini, 1250);
        QCOMPARE(lexivo::readSettings(ini, {}).codePage, 1250);
    }
};

QTEST_APPLESS_MAIN(TestCp1252Codec)
#include "tst_cp1252codec.moc"
