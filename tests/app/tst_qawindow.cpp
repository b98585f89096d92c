// Quality checks and progress figures through the real widgets: "Check
// translations" and its list, the question before a complete rebuild, the
// project's figure in the status bar and the status grid's Translated column.

#include "dialogs/findingsdialog.h"
#include "gamebuilder/textarchive.h"
#include "mainwindow.h"
#include "testgame.h"
#include "windowtest.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

using lexivo::MainWindow;
using namespace lexivo::testing;

namespace {

struct QaWorkspace {
    QTemporaryDir temp;
    QString program, game;
    QaWorkspace() {
        program = temp.path() + "/program/";
        game = temp.path() + "/game/";
        writeFile(game + "usecode",
                  smallUsecode({{"Hello.\\NFriend.", "Bye."}, {"name", "job", "name"}}, true));
        writeFile(game + "text.flx", lexivo::gamebuild::textArchive({"Locked.", "Open."}));
        writeIni(program, game);
        // Planted: a lost line break in 0400, a keyword translated two ways
        // in 0401, a message three times too long.
        writeFile(program + "0400.TXT", "Hallo. Freund.\r\nBye.\r\n");
        writeFile(program + "0401.TXT", "Name\r\njob\r\nTitel\r\n");
        writeFile(program + "text.txt", "Abgeschlossen und verriegelt.\r\nOpen.\r\n");
        writeFile(program + "text.eng", "Locked.\r\nOpen.\r\n");
    }
};

QStringList rowsOf(QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
    }
    return rows;
}

void doubleClickRow(QTreeWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

QString gridTranslated(MainWindow& w, int index) {
    auto* view = child<QTreeView>(&w, "FuncStatusGridView");
    for (int row = 0; row < view->model()->rowCount(); ++row)
        if (view->model()->index(row, 3).data().toInt() == index)
            return view->model()->index(row, 4).data().toString();
    return "<none>";
}

} // namespace

class TestQaWindow : public QObject {
    Q_OBJECT

private slots:
    void checkTranslationsListsAndGoes() {
        QaWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        QVERIFY(w.startupComplete());
        child<QAction>(&w, "Checktranslations1")->trigger();
        auto* dialog = w.findChild<lexivo::FindingsDialog*>("FindingsDialog");
        QVERIFY(dialog && dialog->isVisible());
        auto* list = child<QTreeWidget>(dialog, "lvFindings");
        QCOMPARE(rowsOf(list), (QStringList{"0400: func_400|1|linebreaks",
                                            "0401: func_401|3|inconsistent", "text.txt|1|length"}));

        doubleClickRow(list, 1);
        QCOMPARE(child<QTabWidget>(&w, "PageControl1")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 1);
        QCOMPARE(child<QListWidget>(&w, "lbStrings")->currentRow(), 2);
        QCOMPARE(child<QPlainTextEdit>(&w, "memoStr")->toPlainText(), QStringLiteral("Titel"));

        // A text.txt finding opens the text tab at that line; the editor's
        // unsaved lines are what is checked.
        auto* memo = child<QPlainTextEdit>(&w, "MemoFLX");
        doubleClickRow(list, 2);
        QCOMPARE(child<QTabWidget>(&w, "PageControl1")->currentIndex(), 1);
        QCOMPARE(memo->textCursor().blockNumber(), 0);
        memo->setPlainText("Zu.\nOffen.");
        child<QAction>(&w, "Checktranslations1")->trigger();
        QCOMPARE(rowsOf(list),
                 (QStringList{"0400: func_400|1|linebreaks", "0401: func_401|3|inconsistent"}));
        QCOMPARE(w.findChildren<lexivo::FindingsDialog*>().size(), 1); // one list, refilled
        QCOMPARE(answerer.log, QStringList());
    }

    // A translation file with a line too many is a finding the rebuild
    // question counts too, and it leads to the function.
    void lineCountIsAFinding() {
        QaWorkspace ws;
        writeFile(ws.program + "0400.TXT", "Hallo.\\NFreund.\r\nBye.\r\nextra\r\n");
        writeFile(ws.program + "0401.TXT", "Name\r\njob\r\nName\r\n");
        writeFile(ws.program + "text.txt", "Locked.\r\nOpen.\r\n");
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        child<QComboBox>(&w, "comboFuncList")->setCurrentIndex(1);
        child<QAction>(&w, "Checktranslations1")->trigger();
        auto* dialog = w.findChild<lexivo::FindingsDialog*>("FindingsDialog");
        QVERIFY(dialog && dialog->isVisible());
        auto* list = child<QTreeWidget>(dialog, "lvFindings");
        QCOMPARE(rowsOf(list), QStringList{"0400: func_400|3|lines"});
        QVERIFY(list->topLevelItem(0)->text(3).contains("2 strings"));
        doubleClickRow(list, 0);
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 0);
        QCOMPARE(answerer.log, QStringList());
    }

    // A translation file changed on disk (a colleague, import-po) is counted
    // again: the grid's Translated cell, the status-bar figure and Fast
    // Rebuild follow it, also when it is removed.
    void figuresFollowTheFilesOnDisk() {
        QaWorkspace ws;
        writeFile(ws.program + "0401.TXT", "name\r\njob\r\nname\r\n");
        writeFile(ws.program + "text.txt", "Locked.\r\nOpen.\r\n");
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        auto* progress = child<QLabel>(&w, "ProgressPanel");
        auto* fast = child<QToolButton>(&w, "btnRebuildFast");
        QCOMPARE(gridTranslated(w, 1), QStringLiteral("0/3"));
        const QString before = progress->text();
        QVERIFY(fast->isEnabled()); // 0400.TXT differs from the game file

        writeFile(ws.program + "0401.TXT", "Name\r\nBeruf\r\nName\r\n");
        QTRY_COMPARE(gridTranslated(w, 1), QStringLiteral("3/3"));
        QVERIFY(progress->text() != before);

        // With 0400.TXT gone and 0401.TXT as the game has it, nothing is left
        // for the fast rebuild.
        QVERIFY(QFile::remove(ws.program + "0400.TXT"));
        writeFile(ws.program + "0401.TXT", "name\r\njob\r\nname\r\n");
        QTRY_VERIFY(!fast->isEnabled());
        QCOMPARE(gridTranslated(w, 1), QStringLiteral("0/3"));
        QCOMPARE(gridTranslated(w, 0), QStringLiteral("0/2"));
        QCOMPARE(answerer.log, QStringList());
    }

    void completeRebuildAsksFirst() {
        QaWorkspace ws;
        ModalAnswerer answerer;
        QStringList asked;
        bool goOn = false;
        answerer.handler = [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box || box->objectName() != "FindingsMessageBox") return false;
            asked << box->text();
            box->findChild<QPushButton*>(goOn ? "btnGoOn" : "btnLook")->click();
            return true;
        };
        MainWindow w(ws.program);
        showAndActivate(w);
        const QByteArray original = readFile(ws.game + "usecode");

        QTest::mouseClick(child<QToolButton>(&w, "btnRebuildAll"), Qt::LeftButton);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains("found 3 problems"), qPrintable(asked[0]));
        QCOMPARE(readFile(ws.game + "usecode"), original); // looked instead
        auto* dialog = w.findChild<lexivo::FindingsDialog*>("FindingsDialog");
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(child<QTreeWidget>(dialog, "lvFindings")->topLevelItemCount(), 3);

        goOn = true;
        child<QAction>(&w, "RebuildAllusecode1")->trigger();
        QCOMPARE(asked.size(), 2);
        QVERIFY(readFile(ws.game + "usecode").contains("Hallo. Freund."));
        QVERIFY(w.statusText().startsWith("Usecode compiled in "));

        // Without findings the rebuild asks nothing; the fast rebuild never asks.
        writeFile(ws.program + "0400.TXT", "Hallo.\\NFreund.\r\nBye.\r\n");
        writeFile(ws.program + "0401.TXT", "Name\r\njob\r\nName\r\n");
        child<QPlainTextEdit>(&w, "MemoFLX")->setPlainText("Zu.\nOffen.");
        child<QAction>(&w, "RebuildAllusecode1")->trigger();
        QCOMPARE(asked.size(), 2);
        QVERIFY(readFile(ws.game + "usecode").contains("Hallo.\r\nFreund."));
        QCOMPARE(answerer.log, QStringList());
    }

    void progressAfterEveryAcceptedLine() {
        QaWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        // 0400: one of two lines; 0401: "Name" and "Titel"; 5 lines in all.
        QCOMPARE(gridTranslated(w, 0), QStringLiteral("1/2"));
        QCOMPARE(gridTranslated(w, 1), QStringLiteral("2/3"));

        auto* functions = child<QComboBox>(&w, "comboFuncList");
        functions->setCurrentIndex(1);
        w.ShowFunction(1);
        auto* list = child<QListWidget>(&w, "lbStrings");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        auto* editor = child<QPlainTextEdit>(&w, "memoStr");
        editor->setPlainText("Beruf");
        QTest::mouseClick(child<QPushButton>(&w, "btnOK"), Qt::LeftButton);
        auto* figure = child<QLabel>(&w, "ProgressPanel");
        QCOMPARE(figure->text(), QStringLiteral("4 of 5 lines translated (80.0%)"));
        QCOMPARE(gridTranslated(w, 1), QStringLiteral("3/3"));
        QCOMPARE(w.statusText(), QString()); // the message panel is the accept's own

        // Auto-replace's message stays as it was, the figure beside it.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        editor->setPlainText("Nome");
        QTest::mouseClick(child<QPushButton>(&w, "btnOK"), Qt::LeftButton);
        QCOMPARE(w.statusText(), QStringLiteral("1 identical phrases automatic translated."));
        QCOMPARE(figure->text(), QStringLiteral("4 of 5 lines translated (80.0%)"));
        // Back to the original: the line no longer counts.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        editor->setPlainText("name");
        QTest::mouseClick(child<QPushButton>(&w, "btnOK"), Qt::LeftButton);
        QCOMPARE(figure->text(), QStringLiteral("2 of 5 lines translated (40.0%)"));
        QCOMPARE(gridTranslated(w, 1), QStringLiteral("1/3"));
        QCOMPARE(answerer.log, QStringList());
    }
};

QTEST_MAIN(TestQaWindow)
#include "tst_qawindow.moc"
