// Translating a function through the real widgets: choosing a function, the
// string list and its drawing, the keyboard loop of accepting lines,
// Auto-Replace, refused characters, line breaks, the dictionary colouring and
// the right-click lookup.

#include "colorsetting.h"
#include "mainwindow.h"
#include "testgame.h"
#include "widgets/stringlistdelegate.h"
#include "windowtest.h"
#include "workspace/pack.h"
#include "workspace/textlines.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>

using lexivo::MainWindow;
using namespace lexivo::testing;

namespace {

// Function 0x400: a greeting; 0x401: a line that repeats; 0x402: a long line.
const QList<QList<QByteArray>> Game = {
    {"Good day.", "Bye."},
    {"Yes.", "No.", "Yes.", "Maybe.", "Yes."},
    {QByteArray(200, 'w'), "sword, shield", "short"},
};

struct Workspace {
    QTemporaryDir temp;
    QString program, game;
    explicit Workspace(const QByteArray& dictionary = {}) {
        program = temp.path() + "/program/";
        game = temp.path() + "/game/";
        writeFile(game + "usecode", smallUsecode(Game));
        writeIni(program, game);
        if (!dictionary.isEmpty()) writeFile(program + "u7.dic", dictionary);
    }
    QByteArray file(const char* name) const { return readFile(program + name); }
};

QListWidget* strings(MainWindow& w) {
    return child<QListWidget>(&w, "lbStrings");
}
QPlainTextEdit* editor(MainWindow& w) {
    return child<QPlainTextEdit>(&w, "memoStr");
}
QPlainTextEdit* original(MainWindow& w) {
    return child<QPlainTextEdit>(&w, "memoEng");
}

// Chooses function index f in the function list as a user does, with the
// keyboard on the closed list.
void chooseFunction(MainWindow& w, int f) {
    auto* list = child<QComboBox>(&w, "comboFuncList");
    list->setFocus();
    while (list->currentIndex() > f)
        QTest::keyClick(list, Qt::Key_Up);
    while (list->currentIndex() < f)
        QTest::keyClick(list, Qt::Key_Down);
}

void clickRow(MainWindow& w, int row) {
    QListWidget* list = strings(w);
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

// Replaces the editor's text by typing.
void typeText(MainWindow& w, const QString& text) {
    QPlainTextEdit* e = editor(w);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    // Key by key, as typed; letters beyond ASCII come with their text.
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80)
            QTest::keyClick(e, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

QColor setting(MainWindow& w, lexivo::ColorIndex i) {
    return lexivo::colorFromSetting(w.workspace().settings().colors[i]);
}

} // namespace

class TestTranslate : public QObject {
    Q_OBJECT

private slots:
    void choosingAFunctionCreatesThenLoadsItsFile() {
        Workspace ws;
        ModalAnswerer answerer;
        {
            MainWindow w(ws.program);
            showAndActivate(w);
            // The first start reopens function 0 at row 0.
            QCOMPARE(strings(w)->currentRow(), 0);
            QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Good day."));
            QVERIFY(!QFileInfo::exists(ws.program + "0401.TXT"));
            chooseFunction(w, 1);
            QCOMPARE(ws.file("0401.TXT"), QByteArray("Yes.\r\nNo.\r\nYes.\r\nMaybe.\r\nYes.\r\n"));
            QCOMPARE(strings(w)->count(), 5);
            QCOMPARE(strings(w)->currentRow(), -1);
            QVERIFY(editor(w)->toPlainText().isEmpty());
            QVERIFY(original(w)->toPlainText().isEmpty());
            QVERIFY(!child<QPushButton>(&w, "btnAddCmt")->isEnabled());
            QCOMPARE(strings(w)->visualItemRect(strings(w)->item(0)).height(), 14);
        }
        // Shown again, the function's lines come from its file.
        writeFile(ws.program + "0401.TXT", "Ja.\r\nNo.\r\nYes.\r\nMaybe.\r\nYes.\r\n");
        MainWindow w(ws.program);
        showAndActivate(w);
        chooseFunction(w, 1);
        QCOMPARE(strings(w)->item(0)->text(), QStringLiteral("Ja."));
        clickRow(w, 0);
        QCOMPARE(original(w)->toPlainText(), QStringLiteral("Yes."));
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Ja."));
        QVERIFY(child<QPushButton>(&w, "btnAddCmt")->isEnabled());
        QCOMPARE(answerer.log, QStringList());
    }

    // The translator's loop: Enter accepts, saves at once and moves on; the
    // last line stays selected with its text.
    void enterAcceptsAndAdvances() {
        Workspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        QVERIFY(!child<QToolButton>(&w, "btnRebuildFast")->isEnabled());
        typeText(w, "Guten Tag.");
        QTest::keyClick(editor(w), Qt::Key_Return);
        QCOMPARE(ws.file("0400.TXT"), QByteArray("Guten Tag.\r\nBye.\r\n"));
        QCOMPARE(strings(w)->item(0)->text(), QStringLiteral("Guten Tag."));
        QCOMPARE(strings(w)->currentRow(), 1);
        QCOMPARE(original(w)->toPlainText(), QStringLiteral("Bye."));
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Bye."));
        QVERIFY(w.workspace().TranslationsChanged);
        QVERIFY(child<QToolButton>(&w, "btnRebuildFast")->isEnabled());
        QVERIFY(child<QAction>(&w, "Rebuildusecode1")->isEnabled());

        typeText(w, "Tsch\u00fcss.");
        QTest::keyClick(editor(w), Qt::Key_Enter);
        QCOMPARE(ws.file("0400.TXT"), QByteArray("Guten Tag.\r\nTsch\xFCss.\r\n"));
        QCOMPARE(strings(w)->currentRow(), 1);
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Tsch\u00fcss."));
        QCOMPARE(answerer.log, QStringList());
    }

    void autoReplaceGivesIdenticalOriginalsTheTranslation() {
        Workspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        chooseFunction(w, 1);
        clickRow(w, 2);
        typeText(w, "Ja.");
        QTest::mouseClick(child<QPushButton>(&w, "btnOK"), Qt::LeftButton);
        QCOMPARE(ws.file("0401.TXT"), QByteArray("Ja.\r\nNo.\r\nJa.\r\nMaybe.\r\nJa.\r\n"));
        QCOMPARE(w.statusText(), QStringLiteral("2 identical phrases automatic translated."));
        QCOMPARE(strings(w)->item(4)->text(), QStringLiteral("Ja."));

        // With the toggle up only the accepted line changes, and the status
        // bar is cleared.
        QTest::mouseClick(child<QToolButton>(&w, "btnAutoReplace"), Qt::LeftButton);
        QVERIFY(!child<QToolButton>(&w, "btnAutoReplace")->isChecked());
        clickRow(w, 0);
        typeText(w, "Jawohl.");
        QTest::keyClick(editor(w), Qt::Key_Return);
        QCOMPARE(ws.file("0401.TXT"), QByteArray("Jawohl.\r\nNo.\r\nJa.\r\nMaybe.\r\nJa.\r\n"));
        QCOMPARE(w.statusText(), QString());
        QCOMPARE(answerer.log, QStringList());
    }

    // A character the code page cannot hold is refused, never stored as a
    // stand-in; line breaks typed or pasted become \N.
    void refusedCharactersAndLineBreaks() {
        Workspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        typeText(w, QStringLiteral("\u0414\u043e\u0431\u0440\u044b\u0439"));
        QTest::keyClick(editor(w), Qt::Key_Return);
        QCOMPARE(answerer.log,
                 QStringList{QStringLiteral("message: The character \"\u0414\" cannot be stored "
                                            "in the Windows-1252 code page.")});
        QCOMPARE(ws.file("0400.TXT"), QByteArray("Good day.\r\nBye.\r\n"));
        QCOMPARE(strings(w)->currentRow(), 0);

        typeText(w, "One");
        QTest::keyClick(editor(w), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(editor(w), "two");
        QGuiApplication::clipboard()->setText("\r\nthree\nfour");
        editor(w)->paste();
        QCOMPARE(editor(w)->document()->blockCount(), 1);
        QTest::keyClick(editor(w), Qt::Key_Return);
        QCOMPARE(ws.file("0400.TXT"), QByteArray("One\\Ntwo\\Nthree\\Nfour\r\nBye.\r\n"));
    }

    void translationFileThatIsNotTextIsRefused() {
        Workspace ws;
        writeFile(ws.program + "0401.TXT", "\xEF\xBB\xBFJa.\r\n");
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        chooseFunction(w, 1);
        QCOMPARE(answerer.log.size(), 1);
        QVERIFY2(answerer.log[0].contains("0401.TXT is not a Windows-1252 text file"),
                 qPrintable(answerer.log[0]));
        QCOMPARE(strings(w)->count(), 0);
    }

    void longLinesAreCutToTheirRoom() {
        QFont font;
        const QFontMetrics metrics(font);
        const QString line(150, QLatin1Char('w'));
        const int room = metrics.horizontalAdvance(line) + metrics.horizontalAdvance("...") + 30;
        // Exactly the room: as it is; one pixel less: cut and "...".
        QCOMPARE(lexivo::StringListDelegate::fitText(line, metrics, room), line);
        const QString cut = lexivo::StringListDelegate::fitText(line, metrics, room - 1);
        QCOMPARE(cut, QString(149, QLatin1Char('w')) + "...");

        Workspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        chooseFunction(w, 2);
        // The row holds the first 150 of the 200 characters.
        QCOMPARE(strings(w)->item(0)->text(), line);
        clickRow(w, 0);
        QCOMPARE(editor(w)->toPlainText().size(), 200);
    }

    // Row colours by pixel: plain, selected (highlight), commented (comment
    // colours, bold), selected and commented (highlight).
    void rowColours() {
        Workspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        chooseFunction(w, 1);
        w.LineHasComment[1] = true;
        w.LineHasComment[3] = true;
        clickRow(w, 3);
        QListWidget* list = strings(w);
        list->viewport()->update();
        const QImage image = list->viewport()->grab().toImage();
        const auto backAt = [&](int row) {
            const QRect rect = list->visualItemRect(list->item(row));
            return image.pixelColor(rect.right() - 2, rect.center().y());
        };
        QCOMPARE(backAt(0), setting(w, lexivo::NormalBack));
        QCOMPARE(backAt(1), setting(w, lexivo::CommentBack));
        QCOMPARE(backAt(3), setting(w, lexivo::HighlightBack));
        clickRow(w, 2);
        const QImage after = list->viewport()->grab().toImage();
        const QRect rect2 = list->visualItemRect(list->item(2));
        QCOMPARE(after.pixelColor(rect2.right() - 2, rect2.center().y()),
                 setting(w, lexivo::HighlightBack));
        const QRect rect3 = list->visualItemRect(list->item(3));
        QCOMPARE(after.pixelColor(rect3.right() - 2, rect3.center().y()),
                 setting(w, lexivo::CommentBack));
    }

    // Dictionary terms (A-Z folded) and the note after " # " as the editor
    // paints them.
    void editorColouring() {
        Workspace ws("sword\r\nSchwert\r\nlong sword\r\nLangschwert\r\n");
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        typeText(w, "Sword and sword # note");
        const QTextBlock block = editor(w)->document()->firstBlock();
        QStringList spans;
        for (const QTextLayout::FormatRange& r : block.layout()->formats())
            spans << QStringLiteral("%1+%2%3").arg(r.start).arg(r.length).arg(
                r.format.fontItalic() ? " italic" : "");
        QCOMPARE(spans, QStringList({"0+5", "10+5", "15+7 italic"}));

        // The term's background by pixel, inside the first letter's cell.
        editor(w)->moveCursor(QTextCursor::End);
        editor(w)->viewport()->update();
        const QImage image = editor(w)->viewport()->grab().toImage();
        // The top pixel row of a character cell is background, not ink.
        const auto backOf = [&](int position) {
            QTextCursor c(editor(w)->document());
            c.setPosition(position);
            const int left = editor(w)->cursorRect(c).left();
            c.setPosition(position + 1);
            const QRect next = editor(w)->cursorRect(c);
            return image.pixelColor((left + next.left()) / 2, next.top() + 1);
        };
        QCOMPARE(backOf(0), setting(w, lexivo::DictionaryBack));
        QCOMPARE(backOf(6), setting(w, lexivo::NormalBack));
        QCOMPARE(backOf(18), setting(w, lexivo::OriginalBack));
    }

    // A line still equal to its original gets the reference's translation as
    // a proposal, with its message; nothing is stored until Enter.
    void referenceProposals() {
        Workspace ws;
        // The reference: its originals (an earlier edition) and their translations.
        writeFile(ws.temp.path() + "/ref/usecode",
                  smallUsecode({{"Guten Tag.", "Lebt wohl, Reisender."}, {"Ja."}}));
        lexivo::Pack::write(
            ws.temp.path() + "/ref/ref.pak",
            lexivo::Pack::buildContent({{"GOOD DAY.", "Farewell, traveller."}, {"Yes."}}));
        writeIni(ws.program, ws.game, {},
                 "REF_USECODE=" + QFile::encodeName(ws.temp.path()) + "/ref/usecode\r\nREF_PAK=" +
                     QFile::encodeName(ws.temp.path()) + "/ref/ref.pak\r\n");
        writeFile(ws.game + "usecode",
                  smallUsecode({{"Good day.", "Farewell, traveler."}, {"Yes.", "No."}}));
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        QCOMPARE(answerer.log, QStringList());
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Guten Tag."));
        QCOMPARE(w.statusText(), QStringLiteral("Exact translation found in reference file, "
                                                "using it. Please confirm with enter key."));
        QCOMPARE(ws.file("0400.TXT"), QByteArray("Good day.\r\nFarewell, traveler.\r\n"));
        // Enter accepts the proposal; the next line brings a similar one.
        QTest::keyClick(editor(w), Qt::Key_Return);
        QCOMPARE(ws.file("0400.TXT"), QByteArray("Guten Tag.\r\nFarewell, traveler.\r\n"));
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Lebt wohl, Reisender."));
        QCOMPARE(w.statusText(), QStringLiteral("Found a translation 97% similar, using it. "
                                                "Please confirm with enter key."));
        // A translated line gets no proposal.
        clickRow(w, 0);
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Guten Tag."));
        QCOMPARE(w.statusText(), QString());
        // With SearchInAllFunc up only the reference function of the same
        // number is searched: "No." has nothing, "Yes." finds "Ja.".
        chooseFunction(w, 1);
        clickRow(w, 1);
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("No."));
        clickRow(w, 0);
        QCOMPARE(editor(w)->toPlainText(), QStringLiteral("Ja."));
    }

    void rightClickLooksTheWordUp() {
        Workspace ws("sword\r\nSchwert\r\n");
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        chooseFunction(w, 2);
        clickRow(w, 1);
        QPlainTextEdit* e = editor(w);
        QCOMPARE(e->toPlainText(), QStringLiteral("sword, shield"));
        auto* menu = child<QMenu>(&w, "PopupMenu1");
        auto* item = child<QAction>(&w, "select");

        QTextCursor c(e->document());
        c.setPosition(2); // inside "sword"
        const QPoint inWord = e->cursorRect(c).center();
        QTest::mouseClick(e->viewport(), Qt::RightButton, {}, inWord);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(item->text(), QStringLiteral("Schwert"));
        QCOMPARE(e->textCursor().selectedText(), QStringLiteral("sword"));
        const QPoint expected = e->viewport()->mapToGlobal(inWord + QPoint(8, 0));
        QVERIFY2((menu->pos() - expected).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(menu->pos().x()).arg(menu->pos().y())));
        item->trigger();
        menu->hide();
        QCOMPARE(e->toPlainText(), QStringLiteral("Schwert, shield"));
        QVERIFY(!e->textCursor().hasSelection());

        // Just after the comma the word is the comma: only "Cancel".
        c.setPosition(8);
        QTest::mouseClick(e->viewport(), Qt::RightButton, {}, e->cursorRect(c).center());
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(item->text(), QStringLiteral("Cancel"));
        item->trigger();
        menu->hide();
        QCOMPARE(e->toPlainText(), QStringLiteral("Schwert, shield"));
        QCOMPARE(answerer.log, QStringList());
    }
};

QTEST_MAIN(TestTranslate)
#include "tst_translate.moc"
