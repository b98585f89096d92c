// The display codec: every byte 0x01-0xFF survives decode and encode, the
// undefined bytes keep their own control characters, and characters the code
// page cannot hold are refused, never substituted.

#include "workspace/cp1252codec.h"

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
};

QTEST_APPLESS_MAIN(TestCp1252Codec)
#include "tst_cp1252codec.moc"
