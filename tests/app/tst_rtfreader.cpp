// The notes reader: formatting of typical word-processor RTF, character
// escapes and code pages, skipped destinations, and robustness on junk, deep
// nesting and truncated input.

#include "notes/rtfreader.h"
#include "workspace/cp1252codec.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using lexivo::Cp1252Codec;
using lexivo::RtfReader;

namespace {

QString plainText(const QByteArray& rtf) {
    Cp1252Codec codec;
    QTextDocument document;
    RtfReader(codec).read(rtf, &document);
    return document.toPlainText();
}

// The format of the text fragment that holds word.
QTextCharFormat formatOf(const QTextDocument& document, const QString& word) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(word)) return it.fragment().charFormat();
        }
    }
    return {};
}

const QByteArray WordPadSample =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1033"
    "{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
    "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
    "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang9 Team \\b notes\\b0  for \\i everyone\\i0 "
    ".\\par\r\n"
    "\\cf1 Red\\cf2  blue\\cf0  plain \\ul under\\ulnone  over \\f1\\fs40 Big\\plain  "
    "small\\par\r\n"
    "caf\\'e9 \\u8364? \\{x\\} \\\\ tab\\tab end\\line next\\par\r\n"
    "}\r\n";

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT

private slots:
    void textOfAWordPadDocument() {
        QCOMPARE(plainText(WordPadSample),
                 QStringLiteral("Team notes for everyone.\n"
                                "Red blue plain under over Big small\n"
                                "caf\u00e9 \u20ac {x} \\ tab\tend\nnext\n"));
    }

    void formatting() {
        Cp1252Codec codec;
        QTextDocument document;
        QVERIFY(RtfReader(codec).read(WordPadSample, &document));
        QCOMPARE(formatOf(document, "notes").fontWeight(), int(QFont::Bold));
        QCOMPARE(formatOf(document, "Team").fontWeight(), int(QFont::Normal));
        QVERIFY(formatOf(document, "everyone").fontItalic());
        QVERIFY(!formatOf(document, "Team").fontItalic());
        QCOMPARE(formatOf(document, "Red").foreground().color(), QColor(255, 0, 0));
        QCOMPARE(formatOf(document, "blue").foreground().color(), QColor(0, 0, 255));
        QVERIFY(!formatOf(document, "plain").hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(formatOf(document, "under").fontUnderline());
        QVERIFY(!formatOf(document, "over").fontUnderline());
        QCOMPARE(formatOf(document, "Team").fontPointSize(), 11.0);
        QCOMPARE(formatOf(document, "Big").fontPointSize(), 20.0);
        QCOMPARE(formatOf(document, "Big").fontFamilies().toStringList(), QStringList{"Arial"});
        QCOMPARE(formatOf(document, "Team").fontFamilies().toStringList(), QStringList{"Calibri"});
        // \plain: back to the default font and size.
        QCOMPARE(formatOf(document, "small").fontPointSize(), 12.0);
        QCOMPARE(formatOf(document, "small").fontFamilies().toStringList(), QStringList{"Calibri"});
    }

    void escapesAndDestinations_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("hex escape")
            << QByteArray("{\\rtf1 caf\\'e9}") << QStringLiteral("caf\u00e9");
        QTest::newRow("undefined byte keeps its character")
            << QByteArray("{\\rtf1 a\\'81b}") << QStringLiteral("a\u0081b");
        QTest::newRow("unicode with fallback")
            << QByteArray("{\\rtf1 \\u1046?z}") << QStringLiteral("\u0416z");
        QTest::newRow("uc2 skips two escapes")
            << QByteArray("{\\rtf1\\uc2 \\u1046\\'3f\\'3fz}") << QStringLiteral("\u0416z");
        QTest::newRow("uc0 skips nothing")
            << QByteArray("{\\rtf1\\uc0 \\u1046 z}") << QStringLiteral("\u0416z");
        QTest::newRow("negative unicode")
            << QByteArray("{\\rtf1 \\u-4064?}") << QStringLiteral("\uf020");
        QTest::newRow("uc scoped to its group")
            << QByteArray("{\\rtf1 {\\uc3 a}\\u1046?b}") << QStringLiteral("a\u0416b");
        QTest::newRow("star destination skipped")
            << QByteArray("{\\rtf1 a{\\*\\unknown hidden {nested} text}b}") << QStringLiteral("ab");
        QTest::newRow("info skipped")
            << QByteArray("{\\rtf1 {\\info{\\title T}{\\author A}}x}") << QStringLiteral("x");
        QTest::newRow("field shows its result")
            << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt link}}}")
            << QStringLiteral("link");
        QTest::newRow("stylesheet skipped")
            << QByteArray("{\\rtf1{\\stylesheet{\\s0 Normal;}}x}") << QStringLiteral("x");
        QTest::newRow("binary data stepped over")
            << QByteArray("{\\rtf1 a{\\*\\pict\\bin4 {}\\x}b}") << QStringLiteral("ab");
        QTest::newRow("file line breaks are not text")
            << QByteArray("{\\rtf1 a\r\nb\\\r\nc}") << QStringLiteral("ab\nc");
        QTest::newRow("control symbols")
            << QByteArray("{\\rtf1 a\\~b\\-c\\_d}") << QStringLiteral("a\u00a0bc\u2011d");
        QTest::newRow("hidden text") << QByteArray("{\\rtf1 a{\\v b}c}") << QStringLiteral("ac");
        QTest::newRow("text after the document is ignored")
            << QByteArray("{\\rtf1 a}tail") << QStringLiteral("a");
    }
    void escapesAndDestinations() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        Cp1252Codec codec;
        QTextDocument document;
        QVERIFY(RtfReader(codec).read(rtf, &document));
        // toRawText keeps the special spaces that toPlainText would flatten.
        QString raw = document.toRawText();
        raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        QCOMPARE(raw, text);
    }

    void fontCharsetChoosesTheCodePage() {
        if (!QStringDecoder("windows-1251").isValid())
            QSKIP("no windows-1251 decoder in this Qt build");
        const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset204 "
                               "Arial Cyr;}}\\f1 \\'c6\\'e0\\f0  \\'c6}";
        QCOMPARE(plainText(rtf), QStringLiteral("\u0416\u0430 \u00c6"));
    }

    void notRtf() {
        Cp1252Codec codec;
        QTextDocument document;
        document.setPlainText("old");
        QVERIFY(!RtfReader(codec).read("just some text", &document));
        QVERIFY(document.isEmpty());
        QVERIFY(!RtfReader(codec).read({}, &document));
    }

    // None of these may crash or hang; what they show is whatever was read.
    void junk_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("deep nesting")
            << QByteArray("{\\rtf1 ") + QByteArray(300000, '{') + "x" + QByteArray(300000, '}');
        QTest::newRow("unclosed nesting") << QByteArray("{\\rtf1 ") + QByteArray(300000, '{') + "x";
        QTest::newRow("too many closes") << QByteArray("{\\rtf1 a}}}}}}b");
        QTest::newRow("huge numbers")
            << QByteArray("{\\rtf1\\fs99999999999999999999 a\\cf-5 b\\u99999999999 c\\uc999999999 "
                          "\\u65 d\\f-2147483648 e\\highlight88888 f}");
        QTest::newRow("huge binary length") << QByteArray("{\\rtf1 a\\bin999999999999 bcd");
        QTest::newRow("negative binary length") << QByteArray("{\\rtf1 a\\bin-5 bcd}");
        QTest::newRow("lone backslash at end") << QByteArray("{\\rtf1 a\\");
        QTest::newRow("half hex escape at end") << QByteArray("{\\rtf1 a\\'e");
        QTest::newRow("bad hex escape") << QByteArray("{\\rtf1 a\\'zz}");
        QTest::newRow("overlong control word")
            << QByteArray("{\\rtf1 \\") + QByteArray(100000, 'a') + " x}";
        QTest::newRow("endless digits")
            << QByteArray("{\\rtf1 \\fs") + QByteArray(100000, '9') + " x}";
        QTest::newRow("colour table junk")
            << QByteArray("{\\rtf1{\\colortbl \\red999\\green-1;;;\\blue}\\cf2 x\\cf9999 y}");
        QTest::newRow("font table junk") << QByteArray(
            "{\\rtf1{\\fonttbl \\fcharset204 ;{\\f;}\\f2\\fcharset128}\\f2 \\'82\\'a0}");
        QTest::newRow("nul bytes") << QByteArray("{\\rtf1 a\0b\\'00c}", 17);
    }
    void junk() {
        QFETCH(QByteArray, rtf);
        Cp1252Codec codec;
        QTextDocument document;
        QVERIFY(RtfReader(codec).read(rtf, &document));
    }

    void everyTruncationOfASample() {
        Cp1252Codec codec;
        RtfReader reader(codec);
        for (qsizetype n = 0; n <= WordPadSample.size(); ++n) {
            QTextDocument document;
            reader.read(WordPadSample.left(n), &document);
        }
    }

    void randomJunk() {
        Cp1252Codec codec;
        RtfReader reader(codec);
        QRandomGenerator random(20261210);
        const QByteArray alphabet =
            "{}\\\\\\'*;0123456789-abcdefghijklmnopqrstuvwxyz ubfsi\r\n\xe9";
        for (int round = 0; round < 3000; ++round) {
            QByteArray rtf = "{\\rtf1 ";
            const int length = random.bounded(400);
            for (int i = 0; i < length; ++i)
                rtf.append(alphabet[random.bounded(int(alphabet.size()))]);
            QTextDocument document;
            QVERIFY(reader.read(rtf, &document));
        }
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
