// Conversation keywords in the window, through the real widgets: the mark in
// the string list, the note under the original, and accepting a keyword line
// with Auto-Replace down.

#include "gamebuilder/samplegame.h"
#include "mainwindow.h"
#include "testgame.h"
#include "widgets/stringlistdelegate.h"
#include "windowtest.h"
#include "workspace/translationfile.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolButton>

using lexivo::MainWindow;
using lexivo::StringListDelegate;
using namespace lexivo::testing;

namespace {

struct SampleWorkspace {
    QTemporaryDir temp;
    QString program, game;
    SampleWorkspace() {
        program = temp.path() + "/program/";
        game = temp.path() + "/game/";
        lexivo::gamebuild::writeSampleGame(game);
        writeIni(program, game);
    }
};

QListWidget* strings(MainWindow& w) {
    return child<QListWidget>(&w, "lbStrings");
}

void chooseFunction(MainWindow& w, quint16 number) {
    const int f = w.workspace().FindFuncIndex(number);
    auto* list = child<QComboBox>(&w, "comboFuncList");
    list->setFocus();
    while (list->currentIndex() > f)
        QTest::keyClick(list, Qt::Key_Up);
    while (list->currentIndex() < f)
        QTest::keyClick(list, Qt::Key_Down);
}

void clickRow(MainWindow& w, int row) {
    QListWidget* list = strings(w);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

} // namespace

class TestKeywordWindow : public QObject {
    Q_OBJECT

private slots:
    // The guard (0x0403) offers "goose thief" on line 5 (row 4) and "name"
    // on line 6; the greeting on row 2 is no answer.
    void markedRows() {
        SampleWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        chooseFunction(w, 0x0403);
        QListWidget* list = strings(w);
        QCOMPARE(list->count(), 14);
        list->doItemsLayout(); // the list lays its rows out on its next turn
        list->viewport()->update();
        const QImage image = list->viewport()->grab().toImage();
        const auto markAt = [&](int row) {
            const QRect mark =
                StringListDelegate::keywordMarkRect(list->visualItemRect(list->item(row)));
            return image.pixelColor(mark.center());
        };
        const QColor markColor = StringListDelegate::keywordMarkColor();
        QCOMPARE(markAt(5), markColor);  // both: filled
        QVERIFY(markAt(4) != markColor); // offered only: hollow
        const QRect offered =
            StringListDelegate::keywordMarkRect(list->visualItemRect(list->item(4)));
        QCOMPARE(image.pixelColor(offered.topLeft()), markColor);
        QVERIFY(markAt(2) != markColor);
        QVERIFY(image.pixelColor(
                    StringListDelegate::keywordMarkRect(list->visualItemRect(list->item(2)))
                        .topLeft()) != markColor);
        QCOMPARE(answerer.log, QStringList());
    }

    void noteAndPropagation() {
        SampleWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        auto* note = child<QLabel>(&w, "lblKeyword");
        chooseFunction(w, 0x0403);
        clickRow(w, 2);
        QVERIFY(note->isHidden());
        clickRow(w, 4);
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(), QStringLiteral("Conversation answer (offered here): the player's "
                                              "choice must match it exactly wherever it stands. "
                                              "Also in 1 other function: 0409 line 8."));
        auto* editor = child<QPlainTextEdit>(&w, "memoStr");
        editor->selectAll();
        QTest::keyClicks(editor, "Gaensedieb");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(w.statusText(),
                 QStringLiteral("Conversation answer given to 1 line in 1 function."));
        const lexivo::Lines tobin = lexivo::loadTranslationFile(ws.program + "0409.TXT");
        QCOMPARE(tobin.value(7), QByteArray("Gaensedieb"));
        // Tobin's line now reads the same; with Auto-Replace up nothing else
        // changes, and the note names the differing translation.
        QTest::mouseClick(child<QToolButton>(&w, "btnAutoReplace"), Qt::LeftButton);
        clickRow(w, 4);
        editor->selectAll();
        QTest::keyClicks(editor, "Dieb");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(w.statusText(), QString());
        QCOMPARE(lexivo::loadTranslationFile(ws.program + "0409.TXT").value(7),
                 QByteArray("Gaensedieb"));
        clickRow(w, 4);
        QVERIFY(note->text().endsWith("Also in 1 other function: 0409 line 8 \"Gaensedieb\"."));
        QCOMPARE(answerer.log, QStringList());
    }
};

QTEST_MAIN(TestKeywordWindow)
#include "tst_keywordwindow.moc"
