// The translator's most frequent steps in the window, on the full-size game
// (offscreen): showing a function of about 300 lines and accepting a line in
// it (store, Auto-Replace scan, save of the translation file, advance);
// loading the text tab with the full message table and typing one character
// in it (change tracking, recolouring, the list and bar following). Run:
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_window

#include "gamebuilder/samplegame.h"
#include "mainwindow.h"
#include "workspace/fileio.h"
#include "workspace/textlines.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <algorithm>
#include <cstdio>

using namespace lexivo;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir root;
    const QString game = root.path() + "/game/", program = root.path() + "/prog/";
    QDir().mkpath(game);
    QDir().mkpath(program);
    gamebuild::SampleGameOptions full;
    full.scale = gamebuild::SampleScale::Full;
    gamebuild::writeSampleGame(game, full);
    // A text tab of 2,400 messages and a dictionary of 200 terms to colour.
    {
        Lines text, english, dictionary;
        for (int i = 0; i < 2400; ++i) {
            english << "Message " + QByteArray::number(i) +
                           ": the goose hisses at the smith, who mends a sword by the mill.";
            text << "Nachricht " + QByteArray::number(i) +
                        ": die Gans zischt den Schmied an, der beim Muehlrad ein Schwert richtet.";
        }
        for (int i = 0; i < 200; ++i)
            dictionary << "term" + QByteArray::number(i) << "Begriff" + QByteArray::number(i);
        dictionary << "Schwert"
                   << "sword"
                   << "Gans"
                   << "goose";
        saveTextLines(program + "text.txt", text);
        saveTextLines(program + "text.eng", english);
        saveTextLines(program + "u7.dic", dictionary);
    }
    writeFileAtomically(program + "LEXIVO.INI",
                        "[DIRECTORY]\r\nU7=" + QFile::encodeName(game) + "\r\n");
    QElapsedTimer startup;
    startup.start();
    MainWindow window(program);
    const double startupMs = startup.nsecsElapsed() / 1e6;
    window.resize(1280, 900);
    window.show();
    app.processEvents();

    // The function whose line count is nearest to 300.
    int chosen = 0;
    qsizetype best = -1;
    for (int i = 0; i < window.workspace().functionCount(); ++i) {
        const qsizetype n = window.workspace().functionStrings(i).size();
        if (best < 0 || std::abs(n - 300) < std::abs(best - 300)) {
            best = n;
            chosen = i;
        }
    }
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lbStrings"));
    auto* editor = window.findChild<QPlainTextEdit*>(QStringLiteral("memoStr"));
    auto* functions = window.findChild<QComboBox*>(QStringLiteral("comboFuncList"));

    constexpr int Rounds = 20;
    QList<double> show, accept;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer t;
        functions->setCurrentIndex(chosen);
        t.start();
        window.ShowFunction(chosen);
        app.processEvents(); // the list lays its rows out
        list->repaint();
        show << t.nsecsElapsed() / 1e6;

        list->setCurrentRow(round % int(best));
        editor->setPlainText(
            QStringLiteral("Eine etwas l\u00e4ngere \u00dcbersetzung, Runde %1").arg(round));
        t.restart();
        window.btnOKClick();
        app.processEvents();
        list->repaint();
        accept << t.nsecsElapsed() / 1e6;
    }
    // The text tab: the whole table loaded into the editor and the list, then
    // one character typed at a time in the middle of it.
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    auto* flx = window.findChild<QPlainTextEdit*>(QStringLiteral("MemoFLX"));
    tabs->setCurrentIndex(1);
    app.processEvents();
    QElapsedTimer t;
    t.start();
    window.fillTextTab();
    app.processEvents();
    flx->repaint();
    const double loadText = t.nsecsElapsed() / 1e6;
    QTextCursor middle(flx->document()->findBlockByNumber(flx->document()->blockCount() / 2));
    flx->setTextCursor(middle);
    flx->setFocus();
    QList<double> typing;
    for (int i = 0; i < Rounds; ++i) {
        t.restart();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(flx, &press);
        QApplication::sendEvent(flx, &release);
        app.processEvents();
        flx->repaint();
        typing << t.nsecsElapsed() / 1e6;
    }
    std::sort(typing.begin(), typing.end());

    std::sort(show.begin(), show.end());
    std::sort(accept.begin(), accept.end());
    std::printf("function %s with %lld lines\n",
                window.workspace().funcs().at(chosen).HexNum.constData(), qint64(best));
    std::printf("show function: median %.2f ms, worst %.2f ms\n", show[Rounds / 2], show.last());
    std::printf("accept a line: median %.2f ms, worst %.2f ms\n", accept[Rounds / 2],
                accept.last());
    std::printf("start-up of the window (everything loaded): %.0f ms\n", startupMs);
    std::printf("text tab with %d lines: load %.1f ms; type a character: median %.2f ms, "
                "worst %.2f ms\n",
                flx->document()->blockCount(), loadText, typing[Rounds / 2], typing.last());
    return 0;
}
