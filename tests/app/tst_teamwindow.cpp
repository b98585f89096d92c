// Team bookkeeping through the real widgets: comments (box, bold rows,
// viewer), the status grid with its menu and translators, the options dialog
// (translators list, schemes, Cancel), the display code page, and a
// translation file a colleague saved meanwhile.

#include "colorsetting.h"
#include "mainwindow.h"
#include "testgame.h"
#include "widgets/colorbutton.h"
#include "windowtest.h"
#include "workspace/comments.h"
#include "workspace/inifile.h"

#include <QComboBox>
#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

using lexivo::MainWindow;
using namespace lexivo::testing;

namespace {

const QList<QList<QByteArray>> Game = {{"Hello.", "Bye."}, {"Yes.", "No.", "Maybe."}, {"Sword."}};

struct TeamWorkspace {
    QTemporaryDir temp;
    QString program, game;
    explicit TeamWorkspace(const QByteArray& ini = {}) {
        program = temp.path() + "/program/";
        game = temp.path() + "/game/";
        writeFile(game + "usecode", smallUsecode(Game, true));
        writeIni(program, game, {},
                 "[USER]\r\nID=1\r\nNAME=Anna\r\nCOLOR=255\r\n[GROUP]\r\nTRANSLATORSNAMES=Anna|"
                 "Bert|\r\n" +
                     ini);
    }
};

QListWidget* strings(MainWindow& w) {
    return child<QListWidget>(&w, "lbStrings");
}

void clickRow(MainWindow& w, int row) {
    QListWidget* list = strings(w);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

bool answerInput(QWidget* modal, const char* name, const QString& text, bool ok = true) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    if (!dialog || dialog->objectName() != name) return false;
    dialog->setTextValue(text);
    ok ? dialog->accept() : dialog->reject();
    return true;
}

// A colleague's comment file, written with the project's own writer.
void writeColleague(const QString& path, const QByteArray& name, qint32 color,
                    const QList<lexivo::tCmtLine>& lines) {
    lexivo::tComment set;
    set.Name = name;
    set.Color = color;
    set.Count = qint32(lines.size());
    set.Lines = lines;
    lexivo::WriteCommentFile(path, set);
}

QTreeView* grid(MainWindow& w) {
    return child<QTreeView>(&w, "FuncStatusGridView");
}

// Selects the grid rows showing these function indexes.
void selectFunctions(MainWindow& w, const QList<int>& indexes) {
    QTreeView* view = grid(w);
    view->clearSelection();
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const int index = view->model()->index(row, 3).data().toInt();
        if (!indexes.contains(index)) continue;
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                                QItemSelectionModel::NoUpdate);
    }
}

QString gridText(MainWindow& w, int index, int column) {
    QTreeView* view = grid(w);
    for (int row = 0; row < view->model()->rowCount(); ++row)
        if (view->model()->index(row, 3).data().toInt() == index)
            return view->model()->index(row, column).data().toString();
    return "<none>";
}

} // namespace

class TestTeamWindow : public QObject {
    Q_OBJECT

private slots:
    void comments() {
        TeamWorkspace ws;
        const double day = lexivo::oleDateFromDateTime(QDateTime(QDate(2026, 3, 1), QTime(9, 0)));
        writeColleague(ws.program + "2.cmt", "Bert", 0xFF0000,
                       {{day, "first", 0x400, 1}, {day + 2, "third", 0x400, 1}});
        ModalAnswerer answerer;
        bool cancel = false;
        answerer.handler = [&](QWidget* modal) {
            return answerInput(modal, "CommentDialog", "second", !cancel);
        };
        MainWindow w(ws.program);
        showAndActivate(w);
        QCOMPARE(w.LineHasComment, QList<bool>({false, true}));

        clickRow(w, 1);
        auto* box = child<QTextEdit>(&w, "rtfComment");
        QCOMPARE(box->toPlainText(), QStringLiteral("Bert:first\nBert:third"));
        QTest::mouseClick(child<QPushButton>(&w, "btnAddCmt"), Qt::LeftButton);
        // Oldest first: Bert's two, then the one just added (today).
        QCOMPARE(box->toPlainText(), QStringLiteral("Bert:first\nBert:third\nAnna:second"));
        const QTextBlock last = box->document()->lastBlock();
        QCOMPARE(last.begin().fragment().charFormat().foreground().color(), QColor(255, 0, 0));
        QCOMPARE(box->document()->firstBlock().begin().fragment().charFormat().foreground().color(),
                 QColor(0, 0, 255));
        QVERIFY(QFileInfo::exists(ws.program + "1.cmt"));

        // A cancelled comment still rewrites the own file, adding nothing.
        cancel = true;
        clickRow(w, 0);
        QFile::remove(ws.program + "1.cmt");
        QTest::mouseClick(child<QPushButton>(&w, "btnAddCmt"), Qt::LeftButton);
        QCOMPARE(lexivo::ReadCommentFile(ws.program + "1.cmt").Lines.size(), 1);
        QVERIFY(!w.LineHasComment[0]);

        // The viewer: the newest comment per line, its author and text, the
        // line counted from 1 as in the string list; a click goes there.
        QStringList rows;
        answerer.handler = [&](QWidget* modal) {
            if (modal->objectName() != "CommentForm") return false;
            auto* list = modal->findChild<QTreeWidget*>("lvComments");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                for (int column : {0, 1, 3, 4})
                    rows << list->topLevelItem(i)->text(column);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->topLevelItem(0)).center());
            static_cast<QDialog*>(modal)->accept();
            return true;
        };
        child<QComboBox>(&w, "comboFuncList")->setCurrentIndex(2);
        w.ShowFunction(2);
        QTest::mouseClick(child<QToolButton>(&w, "btnShowComment"), Qt::LeftButton);
        QCOMPARE(rows, QStringList({"0400", "2", "Anna", "second"}));
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 0);
        QCOMPARE(strings(w)->currentRow(), 1);
        QCOMPARE(answerer.log, QStringList());
    }

    void statusGrid() {
        TeamWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        QTreeView* view = grid(w);
        QCOMPARE(view->model()->rowCount(), 3);
        QCOMPARE(gridText(w, 1, 2), QStringLiteral("Not assigned"));
        // Sorted descending by function, then two rows marked as working.
        view->sortByColumn(1, Qt::DescendingOrder);
        QCOMPARE(view->model()->index(0, 1).data().toString(), QStringLiteral("0402: func_402"));
        selectFunctions(w, {0, 2});
        child<QAction>(&w, "Markasworking1")->trigger();
        QCOMPARE(readFile(ws.program + "FuncStatus.dat"), QByteArray("\x02\x03\x02", 3));
        // One row: its translator; the status stays.
        selectFunctions(w, {2});
        auto* menu = child<QMenu>(&w, "Assigntranslator1");
        QStringList items;
        for (QAction* a : menu->actions())
            items << a->text();
        QCOMPARE(items, QStringList({"&0. None", "&1. Anna", "&2. Bert"}));
        menu->actions().at(2)->trigger();
        QCOMPARE(readFile(ws.program + "FuncStatus.dat"), QByteArray("\x02\x03\x0A", 3));
        QCOMPARE(gridText(w, 2, 2), QStringLiteral("Bert"));

        // Double-click opens the function at its first line.
        child<QTabWidget>(&w, "PageControl1")->setCurrentIndex(2);
        selectFunctions(w, {1});
        w.FuncStatusGridViewDblClick();
        QCOMPARE(child<QTabWidget>(&w, "PageControl1")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(&w, "comboFuncList")->currentIndex(), 1);
        QCOMPARE(strings(w)->currentRow(), 0);
        QCOMPARE(answerer.log, QStringList());
    }

    // The options dialog: the translators list (63 names at most) rebuilds
    // the submenu; a scheme with only NORMALFORE=$FF; Cancel keeps the colours.
    void optionsDialog() {
        TeamWorkspace ws;
        QDir().mkpath(ws.program + "colors");
        writeFile(ws.program + "colors/Red.clr", "[COLORS]\r\nNORMALFORE=$FF\r\n");
        ModalAnswerer answerer;
        bool ok = true;
        QStringList messages;
        answerer.handler = [&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages << box->text();
                box->button(QMessageBox::Ok)->click();
                return true;
            }
            if (modal->objectName() != "OptionsForm") return false;
            // From the dialog's own event loop, so that the message box it
            // may open is answered by the next poll.
            QTimer::singleShot(0, modal, [&ok, modal] {
                auto* name = modal->findChild<QLineEdit*>("edTranslatorName");
                auto* add = modal->findChild<QPushButton*>("btnAddToList");
                for (int i = 0; i < 62; ++i) {
                    name->setText(QStringLiteral("T%1").arg(i));
                    add->click();
                }
                auto* scheme = modal->findChild<QComboBox*>("cbbColorScheme");
                scheme->setCurrentIndex(scheme->findText("Red.clr"));
                emit scheme->activated(scheme->currentIndex());
                ok ? static_cast<QDialog*>(modal)->accept()
                   : static_cast<QDialog*>(modal)->reject();
            });
            return true;
        };
        MainWindow w(ws.program);
        showAndActivate(w);
        const auto before = w.workspace().settings().colors;
        ok = false;
        child<QAction>(&w, "Options1")->trigger();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(w.workspace().settings().colors, before);
        QCOMPARE(child<QMenu>(&w, "Assigntranslator1")->actions().size(), 3);

        // OK: 2 + 62 names hit the limit once; the scheme's one key is taken.
        ok = true;
        messages.clear();
        child<QAction>(&w, "Options1")->trigger();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(messages, QStringList({"ERROR! Max 63 translators allowed"}));
        QCOMPARE(child<QMenu>(&w, "Assigntranslator1")->actions().size(), 64);
        auto expected = before;
        expected[lexivo::NormalFore] = 0xFF;
        QCOMPARE(w.workspace().settings().colors, expected);
        const lexivo::IniFile ini(ws.program + "LEXIVO.INI");
        QCOMPARE(ini.readString("COLORS", "NORMALFORE", ""), QByteArray("255"));
        QVERIFY(ini.readString("GROUP", "TRANSLATORSNAMES", "").startsWith("Anna|Bert|T0|"));
        QCOMPARE(strings(w)->palette().color(QPalette::Text), QColor(255, 0, 0));
    }

    // With the display code page Windows-1251 byte 0xC0 is the Cyrillic
    // capital A, and a typed Cyrillic letter is stored as its 1251 byte.
    void codePage() {
        TeamWorkspace ws("[SETTING]\r\nCODEPAGE=1251\r\n");
        writeFile(ws.program + "0400.TXT", "\xC0\xE1\r\nBye.\r\n");
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        QCOMPARE(strings(w)->item(0)->text(), QStringLiteral("\u0410\u0431"));
        QCOMPARE(child<QPlainTextEdit>(&w, "memoStr")->toPlainText(),
                 QStringLiteral("\u0410\u0431"));
        auto* editor = child<QPlainTextEdit>(&w, "memoStr");
        editor->selectAll();
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QStringLiteral("\u0416"),
                            Qt::NoModifier);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(readFile(ws.program + "0400.TXT"), QByteArray("\xC6\r\nBye.\r\n"));
        QCOMPARE(answerer.log, QStringList());
    }

    // A colleague saved the file after the function was shown: Enter does
    // not overwrite it; the translator is told and sees the colleague's lines.
    void colleagueSavedTheFile() {
        TeamWorkspace ws;
        ModalAnswerer answerer;
        MainWindow w(ws.program);
        showAndActivate(w);
        writeFile(ws.program + "0400.TXT", "Hallo.\r\nBye.\r\n");
        auto* editor = child<QPlainTextEdit>(&w, "memoStr");
        editor->selectAll();
        QTest::keyClicks(editor, "Servus.");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(readFile(ws.program + "0400.TXT"), QByteArray("Hallo.\r\nBye.\r\n"));
        QCOMPARE(answerer.log.size(), 1);
        QVERIFY2(answerer.log[0].contains("0400.TXT"), qPrintable(answerer.log[0]));
        QCOMPARE(strings(w)->item(0)->text(), QStringLiteral("Hallo."));
        // Now the window holds what is on disk: the next Enter saves.
        editor->selectAll();
        QTest::keyClicks(editor, "Servus.");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(readFile(ws.program + "0400.TXT"), QByteArray("Servus.\r\nBye.\r\n"));
    }

    // The game-text encoding on the General tab goes to SETTING/GAMETEXT and
    // into the workspace's settings; the dialog opens with the stored value.
    void gameTextEncodingOption() {
        TeamWorkspace ws;
        ModalAnswerer answerer;
        int shown = -1;
        answerer.handler = [&](QWidget* modal) {
            if (modal->objectName() != "OptionsForm") return false;
            QTimer::singleShot(0, modal, [&shown, modal] {
                auto* combo = modal->findChild<QComboBox*>("cbGameTextEncoding");
                shown = combo->currentIndex();
                combo->setCurrentIndex(combo->findText("Original releases"));
                static_cast<QDialog*>(modal)->accept();
            });
            return true;
        };
        MainWindow w(ws.program);
        showAndActivate(w);
        child<QAction>(&w, "Options1")->trigger();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(shown, 0); // "Windows code page", the default
        QVERIFY(w.workspace().settings().gameTextEncoding == lexivo::GameTextEncoding::Original);
        const lexivo::IniFile ini(ws.program + "LEXIVO.INI");
        QCOMPARE(ini.readString("SETTING", "GAMETEXT", ""), QByteArray("ORIGINAL"));
        child<QAction>(&w, "Options1")->trigger();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(shown, 1);
    }
};

QTEST_MAIN(TestTeamWindow)
#include "tst_teamwindow.moc"
