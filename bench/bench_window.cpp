// The translator's two most frequent steps in the window, on the full-size
// game (offscreen): showing a function of about 300 lines and accepting a
// line in it (store, Auto-Replace scan, save of the translation file,
// advance). Run:
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_window

#include "gamebuilder/samplegame.h"
#include "mainwindow.h"
#include "workspace/fileio.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace lexivo;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir root;
    const QString game = root.path() + "/game/", program = root.path() + "/prog/";
    QDir().mkpath(game);
    QDir().mkpath(program);
    writeFileAtomically(game + "usecode", gamebuild::sampleUsecode(gamebuild::SampleScale::Full));
    writeFileAtomically(program + "LEXIVO.INI",
                        "[DIRECTORY]\r\nU7=" + QFile::encodeName(game) + "\r\n");
    MainWindow window(program);
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
    std::sort(show.begin(), show.end());
    std::sort(accept.begin(), accept.end());
    std::printf("function %s with %lld lines\n",
                window.workspace().funcs().at(chosen).HexNum.constData(), qint64(best));
    std::printf("show function: median %.2f ms, worst %.2f ms\n", show[Rounds / 2], show.last());
    std::printf("accept a line: median %.2f ms, worst %.2f ms\n", accept[Rounds / 2],
                accept.last());
    return 0;
}
