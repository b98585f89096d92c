// The text tab through the real widgets: Enter moves down, the line count
// never changes, the gutter's numbers, change tracking with the autosave, the
// list and bar following the caret, the dictionary menu, and saving on close.

#include "colorsetting.h"
#include "mainwindow.h"
#include "testgame.h"
#include "widgets/linenumbergutter.h"
#include "windowtest.h"
#include "workspace/textlines.h"

#include <QClipboard>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>

using lexivo::MainWindow;
using namespace lexivo::testing;

namespace {

struct TextWorkspace {
    QTemporaryDir temp;
    QString program, game;
    QByteArray text, english;
    explicit TextWorkspace(const QByteArray& dictionary = {}) {
        program = temp.path() + "/program/";
        game = temp.path() + "/game/";
        writeFile(game + "usecode", smallUsecode({{"Hello."}}));
        writeIni(program, game);
        for (int i = 1; i <= 12; ++i) {
            text += "Zeile " + QByteArray::number(i) + "\r\n";
            english += "Line " + QByteArray::number(i) + "\r\n";
        }
        text.replace("Zeile 3\r\n", "the sword is here\r\n");
        writeFile(program + "text.txt", text);
        writeFile(program + "text.eng", english);
        if (!dictionary.isEmpty()) writeFile(program + "u7.dic", dictionary);
    }
    QByteArray savedText() const { return readFile(program + "text.txt"); }
};

QPlainTextEdit* flx(MainWindow& w) {
    return child<QPlainTextEdit>(&w, "MemoFLX");
}

void openTextTab(MainWindow& w) {
    child<QTabWidget>(&w, "PageControl1")->setCurrentIndex(1);
    flx(w)->setFocus();
}

void caretTo(MainWindow& w, int row, int column) {
    QTextCursor c(flx(w)->document()->findBlockByNumber(row));
    c.setPosition(c.position() + column);
    flx(w)->setTextCursor(c);
}

QString rowText(MainWindow& w, int row) {
    return flx(w)->document()->findBlockByNumber(row).text();
}

} // namespace

class TestTextTab : public QObject {
    Q_OBJECT

private slots:
    void linesStayLines() {
        TextWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        openTextTab(w);
        QPlainTextEdit* e = flx(w);
        QCOMPARE(e->document()->blockCount(), 12);
        QCOMPARE(child<QListWidget>(&w, "ListBox1")->count(), 12);

        // Enter in the middle of a line moves down, splitting nothing.
        caretTo(w, 0, 3);
        QTest::keyClick(e, Qt::Key_Return);
        QCOMPARE(e->textCursor().blockNumber(), 1);
        QCOMPARE(rowText(w, 0), QStringLiteral("Zeile 1"));

        // A paste of three lines arrives as one line with \N.
        caretTo(w, 1, 7);
        QGuiApplication::clipboard()->setText("a\r\nb\nc");
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rowText(w, 1), QStringLiteral("Zeile 2a\\Nb\\Nc"));

        // Backspace at a line's start and Delete at its end join nothing; a
        // selection across lines is neither cut nor typed over.
        caretTo(w, 4, 0);
        QTest::keyClick(e, Qt::Key_Backspace);
        caretTo(w, 4, 7);
        QTest::keyClick(e, Qt::Key_Delete);
        QTextCursor across(e->document()->findBlockByNumber(5));
        across.setPosition(e->document()->findBlockByNumber(7).position() + 2,
                           QTextCursor::KeepAnchor);
        e->setTextCursor(across);
        QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_Z);
        QTest::keyClick(e, Qt::Key_Delete);
        QCOMPARE(e->document()->blockCount(), 12);

        // Undo takes back the paste; still twelve lines.
        e->undo();
        QCOMPARE(e->document()->blockCount(), 12);
        QCOMPARE(rowText(w, 1), QStringLiteral("Zeile 2"));
        QCOMPARE(answerer.log, QStringList());
    }

    void gutterNumbersTheRows() {
        TextWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        openTextTab(w);
        auto* gutter = child<lexivo::LineNumberGutter>(&w, "MemoFLXGutter");
        QCOMPARE(gutter->width(), 40);
        gutter->repaint();
        const auto& painted = gutter->lastPainted();
        QVERIFY(painted.size() >= 10);
        QCOMPARE(painted[0].row, 0);
        QCOMPARE(painted[9].row, 9);
        // Row 10's band lies level with the editor's tenth line.
        QTextCursor tenth(flx(w)->document()->findBlockByNumber(9));
        const int lineTop = flx(w)->viewport()->mapTo(&w, flx(w)->cursorRect(tenth).topLeft()).y();
        QCOMPARE(gutter->mapTo(&w, painted[9].rect.topLeft()).y(), lineTop);
        // Its number is drawn in the gutter's colour, background elsewhere.
        const QImage image = gutter->grab().toImage();
        bool ink = false;
        for (int x = 2; x < 30 && !ink; ++x)
            for (int y = painted[9].rect.top(); y < painted[9].rect.bottom() && !ink; ++y)
                ink = image.pixelColor(x, y) != QColor(244, 244, 244);
        QVERIFY(ink);
        QCOMPARE(image.pixelColor(38, painted[0].rect.top() + 1), QColor(244, 244, 244));
    }

    // The first change enables the fast rebuild; every 100th change saves.
    void changesAndTheAutosave() {
        TextWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        openTextTab(w);
        QVERIFY(!child<QToolButton>(&w, "btnRebuildFast")->isEnabled());
        caretTo(w, 0, 7);
        QTest::keyClick(flx(w), Qt::Key_A);
        QVERIFY(w.workspace().TextChanged);
        QVERIFY(child<QToolButton>(&w, "btnRebuildFast")->isEnabled());
        for (int i = 2; i <= 99; ++i)
            QTest::keyClick(flx(w), Qt::Key_B);
        QCOMPARE(ws.savedText(), ws.text);
        QTest::keyClick(flx(w), Qt::Key_C);
        const QByteArray saved = ws.savedText();
        QVERIFY(saved.startsWith("Zeile 1a" + QByteArray(98, 'b') + "c\r\nZeile 2\r\n"));
        QCOMPARE(lexivo::splitLines(saved).size(), 12);
        QCOMPARE(w.ChangeCount, 0);

        // Closing saves what the autosave has not.
        QTest::keyClick(flx(w), Qt::Key_D);
        QVERIFY(w.close());
        QVERIFY(ws.savedText().startsWith("Zeile 1a" + QByteArray(98, 'b') + "cd\r\n"));
        QCOMPARE(answerer.log, QStringList());
    }

    void listBarAndCaretFollowEachOther() {
        TextWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        openTextTab(w);
        auto* list = child<QListWidget>(&w, "ListBox1");
        auto* bar = child<QLabel>(&w, "OrigTextPanel");
        QVERIFY(bar->text().isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(5)).center());
        QCOMPARE(flx(w)->textCursor().blockNumber(), 5);
        QCOMPARE(bar->text(), QStringLiteral("Line 6"));
        QCOMPARE(list->visualItemRect(list->item(0)).height(), 16);

        flx(w)->setFocus();
        QTest::keyClick(flx(w), Qt::Key_Down);
        QCOMPARE(list->currentRow(), 6);
        QCOMPARE(bar->text(), QStringLiteral("Line 7"));
        // A click in the editor brings them along on release.
        QTextCursor c(flx(w)->document()->findBlockByNumber(2));
        QTest::mouseClick(flx(w)->viewport(), Qt::LeftButton, {},
                          flx(w)->cursorRect(c).center() + QPoint(3, 0));
        QCOMPARE(list->currentRow(), 2);
        QCOMPARE(bar->text(), QStringLiteral("Line 3"));
    }

    void dictionaryMenu() {
        TextWorkspace ws("sword\r\nSchwert\r\nsword\r\nKlinge\r\n");
        ModalAnswerer answerer;
        answerer.handler = [](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            if (!dialog || dialog->objectName() != "NewTermDialog") return false;
            if (dialog->windowTitle() != "New term" || dialog->labelText() != "Translation for is")
                return false;
            dialog->setTextValue("ist");
            dialog->accept();
            return true;
        };
        MainWindow w(ws.program);
        showAndActivate(w);
        openTextTab(w);
        QPlainTextEdit* e = flx(w);
        auto* menu = child<QMenu>(&w, "PopupMenu2");
        auto* found = child<QAction>(&w, "Cancel1");
        auto* add = child<QAction>(&w, "Addterm1");
        auto* remove = child<QAction>(&w, "Removeterm1");
        const auto rightClick = [&](int row, int column) {
            QTextCursor c(e->document()->findBlockByNumber(row));
            c.setPosition(c.position() + column);
            QTest::mouseClick(e->viewport(), Qt::RightButton, {}, e->cursorRect(c).center());
            QTRY_VERIFY(menu->isVisible());
        };
        const auto coloured = [&](int row) {
            QStringList spans;
            for (const auto& r : e->document()->findBlockByNumber(row).layout()->formats())
                spans << QStringLiteral("%1+%2").arg(r.start).arg(r.length);
            return spans;
        };
        QCOMPARE(coloured(2), QStringList{"4+5"});

        // The later of two entries wins; choosing it replaces the word.
        rightClick(2, 6);
        QCOMPARE(found->text(), QStringLiteral("Klinge"));
        QVERIFY(found->isEnabled() && remove->isEnabled() && !add->isEnabled());
        found->trigger();
        menu->hide();
        QCOMPARE(rowText(w, 2), QStringLiteral("the Klinge is here"));
        QVERIFY(!e->textCursor().hasSelection());

        // An unknown word: "Term not found", disabled; "Add term" adds it.
        rightClick(2, 12);
        QCOMPARE(found->text(), QStringLiteral("Term not found"));
        QVERIFY(!found->isEnabled() && add->isEnabled() && !remove->isEnabled());
        add->trigger();
        menu->hide();
        QCOMPARE(readFile(ws.program + "u7.dic"),
                 QByteArray("sword\r\nSchwert\r\nsword\r\nKlinge\r\nis\r\nist\r\n"));
        QCOMPARE(coloured(2), QStringList{"11+2"});

        // "Remove term" on a selected sword removes both entries.
        QTextCursor sel(e->document()->findBlockByNumber(2));
        e->setTextCursor(sel);
        QTest::keyClicks(e, "sword ");
        sel = e->textCursor();
        sel.setPosition(e->document()->findBlockByNumber(2).position());
        sel.setPosition(sel.position() + 5, QTextCursor::KeepAnchor);
        e->setTextCursor(sel);
        rightClick(2, 2);
        QCOMPARE(found->text(), QStringLiteral("Klinge"));
        remove->trigger();
        menu->hide();
        QCOMPARE(readFile(ws.program + "u7.dic"), QByteArray("is\r\nist\r\n"));
        QCOMPARE(coloured(2), QStringList{"17+2"});
        QCOMPARE(answerer.log, QStringList());
    }
};

QTEST_MAIN(TestTextTab)
#include "tst_texttab.moc"
