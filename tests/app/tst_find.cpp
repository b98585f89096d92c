// Find and replace through the real widgets: the find dialog, the Quick
// Search window and Find next on the usecode tab, the text tab's search, and
// the three ways of replacing on either tab.

#include "dialogs/quicksearchwindow.h"
#include "mainwindow.h"
#include "testgame.h"
#include "windowtest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolButton>

using lexivo::MainWindow;
using namespace lexivo::testing;

namespace {

const QList<QList<QByteArray>> Game = {
    {"Sword and shield", "A sword? A sword!", "Bye."},
    {"SWORDS", "plain", "the sword"},
};

struct FindWorkspace {
    QTemporaryDir temp;
    QString program, game;
    FindWorkspace() {
        program = temp.path() + "/program/";
        game = temp.path() + "/game/";
        writeFile(game + "usecode", smallUsecode(Game, true));
        writeIni(program, game);
        writeFile(program + "text.txt", "one\r\nthe sword\r\ntwo\r\nsword again\r\n");
        writeFile(program + "text.eng", "One\r\nThe Sword\r\nTwo\r\nSword again\r\n");
    }
};

// Answers the next find dialog with text (and the original-text box).
void answerFind(ModalAnswerer& answerer, const QString& text, bool original = false,
                QString* initial = nullptr) {
    answerer.handler = [=](QWidget* modal) {
        if (modal->objectName() != "SearchForm") return false;
        if (initial) *initial = modal->findChild<QLineEdit*>("edSrc")->text();
        modal->findChild<QLineEdit*>("edSrc")->setText(text);
        modal->findChild<QCheckBox*>("cbSearchOriginalText")->setChecked(original);
        modal->findChild<QPushButton*>("btnOK")->click();
        return true;
    };
}

void answerReplace(ModalAnswerer& answerer, const QString& find, const QString& by, bool matchCase,
                   bool word) {
    answerer.handler = [=](QWidget* modal) {
        if (modal->objectName() != "ReplaceForm") return false;
        modal->findChild<QComboBox*>("ComboSearch")->setEditText(find);
        modal->findChild<QComboBox*>("ComboReplace")->setEditText(by);
        modal->findChild<QCheckBox*>("CheckMatchCase")->setChecked(matchCase);
        modal->findChild<QCheckBox*>("CheckMatchWord")->setChecked(word);
        modal->findChild<QPushButton*>("btnOK")->click();
        return true;
    };
}

QStringList quickRows(MainWindow& w) {
    QStringList rows;
    QListWidget* list = w.quickSearchWindow()->list();
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

// A shortcut as the user presses it: the main window active (a modal dialog
// that just closed may have taken the activation with it on this platform).
void press(MainWindow& w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, key, modifiers);
}

// The Quick Search window lies over the string list.
bool coversStringList(MainWindow& w) {
    const QWidget* list = child<QListWidget>(&w, "lbStrings");
    const QWidget* quick = w.quickSearchWindow();
    const QRect listRect(list->mapToGlobal(QPoint(0, 0)), list->size());
    const QRect quickRect(quick->mapToGlobal(QPoint(0, 0)), quick->size());
    return listRect.intersects(quickRect);
}

QString selected(QPlainTextEdit* e) {
    return e->textCursor().selectedText();
}

} // namespace

class TestFind : public QObject {
    Q_OBJECT

private slots:
    void usecodeSearchAndFindNext() {
        FindWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        auto* findNext = child<QToolButton>(&w, "btnFindNext");
        QVERIFY(!findNext->isEnabled());
        // Every function seen once: each has its translation file.
        QCOMPARE(w.workspace().createMissingTranslationFiles(), 1);

        answerFind(answerer, "swOrd");
        press(w, Qt::Key_F, Qt::ControlModifier);
        // One hit per line, in function order, at the first occurrence.
        QCOMPARE(quickRows(w), QStringList({"0400: func_400 (1)", "0400: func_400 (2)",
                                            "0401: func_401 (1)", "0401: func_401 (3)"}));
        QVERIFY(w.quickSearchWindow()->isVisible());
        QVERIFY(!coversStringList(w));
        QVERIFY(findNext->isEnabled());
        auto* strings = child<QListWidget>(&w, "lbStrings");
        auto* editor = child<QPlainTextEdit>(&w, "memoStr");
        QCOMPARE(strings->currentRow(), 0);
        QCOMPARE(selected(editor), QStringLiteral("Sword"));

        // Find next: hits 1, 2, 3, then 0 again; the window follows.
        press(w, Qt::Key_F3);
        QCOMPARE(strings->currentRow(), 1);
        QCOMPARE(editor->textCursor().selectionStart(), 2);
        press(w, Qt::Key_F3);
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 1);
        QCOMPARE(selected(editor), QStringLiteral("SWORD"));
        press(w, Qt::Key_F3);
        press(w, Qt::Key_F3);
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 0);
        QCOMPARE(w.quickSearchWindow()->list()->currentRow(), 0);
        // With the window closed the hits are still stepped through.
        w.quickSearchWindow()->close();
        press(w, Qt::Key_F3);
        QCOMPARE(strings->currentRow(), 1);

        // A click on a row opens that hit.
        QListWidget* rows = w.quickSearchWindow()->list();
        w.quickSearchWindow()->show();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                          rows->visualItemRect(rows->item(3)).center());
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 1);
        QCOMPARE(strings->currentRow(), 2);

        // The selected word is the dialog's initial text; no hit clears the list.
        QString initial;
        answerFind(answerer, "nowhere", false, &initial);
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(initial, QStringLiteral("sword"));
        QCOMPARE(quickRows(w), QStringList());
        QCOMPARE(w.statusText(),
                 QStringLiteral("No line of the translations contains \"nowhere\"."));
        QCOMPARE(answerer.log, QStringList());
    }

    // A fresh workspace: a function never shown has no translation file, and
    // its lines are found all the same, without making its file. The Quick
    // Search window stays beside the string list; Escape closes it.
    void findCoversFunctionsNeverShown() {
        FindWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        w.resize(900, 600);
        showAndActivate(w);
        QVERIFY(!QFileInfo::exists(ws.program + "0401.TXT"));
        answerFind(answerer, "sword");
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(quickRows(w), QStringList({"0400: func_400 (1)", "0400: func_400 (2)",
                                            "0401: func_401 (1)", "0401: func_401 (3)"}));
        QVERIFY(!QFileInfo::exists(ws.program + "0401.TXT"));
        QVERIFY(!coversStringList(w));

        // The hit of the function never shown opens it at the line.
        QListWidget* rows = w.quickSearchWindow()->list();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                          rows->visualItemRect(rows->item(3)).center());
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 1);
        QCOMPARE(child<QListWidget>(&w, "lbStrings")->currentRow(), 2);
        QCOMPARE(selected(child<QPlainTextEdit>(&w, "memoStr")), QStringLiteral("sword"));

        rows->setFocus();
        QTest::keyClick(rows, Qt::Key_Escape);
        QVERIFY(w.quickSearchWindow()->isHidden());

        // A search without a hit says so; so does one on the text tab.
        answerFind(answerer, "nowhere", true);
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(w.statusText(), QStringLiteral("No original line contains \"nowhere\"."));
        child<QTabWidget>(&w, "PageControl1")->setCurrentIndex(1);
        answerFind(answerer, "nowhere");
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(w.statusText(), QStringLiteral("No line of the text contains \"nowhere\"."));
        QCOMPARE(answerer.log, QStringList());
    }

    void searchThroughOriginals() {
        FindWorkspace ws;
        writeFile(ws.program + "0401.TXT", "SCHWERTER\r\nplain\r\nthe sword\r\n");
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        answerFind(answerer, "SWORDS", true);
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(quickRows(w), QStringList({"0401: func_401 (1)"}));
        answerFind(answerer, "SWORDS", false);
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(quickRows(w), QStringList());
    }

    void textTabSearch() {
        FindWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        child<QTabWidget>(&w, "PageControl1")->setCurrentIndex(1);
        auto* flx = child<QPlainTextEdit>(&w, "MemoFLX");
        // Exact case on this tab: "Sword" is not "sword".
        answerFind(answerer, "sword");
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(flx->textCursor().blockNumber(), 1);
        QCOMPARE(selected(flx), QStringLiteral("sword"));
        press(w, Qt::Key_F3);
        QCOMPARE(flx->textCursor().blockNumber(), 3);
        QCOMPARE(flx->textCursor().positionInBlock(), 5);
        // No wrap to the top.
        press(w, Qt::Key_F3);
        QCOMPARE(flx->textCursor().blockNumber(), 3);

        // In the English list: the row is chosen, the caret stays.
        answerFind(answerer, "Sword", true);
        press(w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(child<QListWidget>(&w, "ListBox1")->currentRow(), 1);
        QCOMPARE(flx->textCursor().blockNumber(), 3);
        QCOMPARE(answerer.log, QStringList());
    }

    void replaceOnTheUsecodeTab_data() {
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("word");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("ignoring case")
            << false << false << QByteArray("spadaS\r\nplain\r\nthe spada\r\n");
        QTest::newRow("match case")
            << true << false << QByteArray("SWORDS\r\nplain\r\nthe spada\r\n");
        QTest::newRow("whole words")
            << false << true << QByteArray("SWORDS\r\nplain\r\nthe spada\r\n");
    }
    void replaceOnTheUsecodeTab() {
        QFETCH(bool, matchCase);
        QFETCH(bool, word);
        QFETCH(QByteArray, file);
        FindWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        auto* functions = child<QComboBox>(&w, "comboFuncList");
        functions->setFocus();
        QTest::keyClick(functions, Qt::Key_Down);
        auto* strings = child<QListWidget>(&w, "lbStrings");
        QTest::mouseClick(strings->viewport(), Qt::LeftButton, {},
                          strings->visualItemRect(strings->item(2)).center());
        answerReplace(answerer, "sword", "spada", matchCase, word);
        press(w, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(readFile(ws.program + "0401.TXT"), file);
        QCOMPARE(strings->currentRow(), 2);
        QCOMPARE(child<QPlainTextEdit>(&w, "memoStr")->toPlainText(), QStringLiteral("the spada"));
        QVERIFY(w.workspace().TranslationsChanged);
        QVERIFY(child<QToolButton>(&w, "btnRebuildFast")->isEnabled());
        QCOMPARE(answerer.log, QStringList());
    }

    void replaceOnTheTextTab() {
        FindWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        child<QTabWidget>(&w, "PageControl1")->setCurrentIndex(1);
        auto* flx = child<QPlainTextEdit>(&w, "MemoFLX");
        // The selection is the initial text; a line break typed into the
        // replacement arrives as \N.
        QTextCursor c(flx->document()->findBlockByNumber(1));
        c.setPosition(c.position() + 4);
        c.setPosition(c.position() + 5, QTextCursor::KeepAnchor);
        flx->setTextCursor(c);
        QString initial;
        answerer.handler = [&](QWidget* modal) {
            if (modal->objectName() != "ReplaceForm") return false;
            initial = modal->findChild<QComboBox*>("ComboSearch")->currentText();
            modal->findChild<QComboBox*>("ComboReplace")->setEditText("spa\nda");
            modal->findChild<QPushButton*>("btnOK")->click();
            return true;
        };
        press(w, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(initial, QStringLiteral("sword"));
        QCOMPARE(readFile(ws.program + "text.txt"),
                 QByteArray("one\r\nthe spa\\Nda\r\ntwo\r\nspa\\Nda again\r\n"));
        QCOMPARE(flx->document()->blockCount(), 4);
        // Set by the program: no change, no fast rebuild.
        QVERIFY(!w.workspace().TextChanged);
        QVERIFY(!child<QToolButton>(&w, "btnRebuildFast")->isEnabled());
        QCOMPARE(answerer.log, QStringList());
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
