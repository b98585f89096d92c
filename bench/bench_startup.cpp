// The whole start-up on a full-size workspace against reading and
// decompressing the files it reads:
//
//   build/bench/bench_startup [RUNS] [KEEP_DIR]
//
// The workspace: the full-size game (usecode, text.flx) and its reference
// (usecode and ref.pak) named in LEXIVO.INI, orig.pak, funclist.txt,
// text.txt and text.eng from the first start, FuncStatus.dat, u7.dic with
// 500 terms, the own comment file and four colleagues' (2,000 comments each).
// Start-up: configuration, reference, usecode, game text, status, orig.pak,
// comments, dictionary (Workspace, as the window runs them). Baseline: reading
// every one of those files whole and decompressing both packs. Medians of RUNS
// runs (default 9), the two alternated so neither always finds warmer caches.
// The keyword index (decoding every function's code and grouping the
// keyword lines by their originals) is timed on its own as well: its share
// of the start-up.
// With KEEP_DIR the workspace is written there and kept (LEXIVO.INI in
// KEEP_DIR/prog), for measuring the window program on it.

#include "gamebuilder/samplegame.h"
#include "gamebuilder/samplereference.h"
#include "usecode/keywordindex.h"
#include "workspace.h"
#include "workspace/comments.h"
#include "workspace/fileio.h"
#include "workspace/pack.h"
#include "workspace/textlines.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace lexivo;

namespace {

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

tComment commentSet(const QByteArray& name, const QList<tFunc>& funcs, int seed) {
    tComment set;
    set.Name = name;
    set.Color = 0x40 * seed;
    for (int i = 0; i < 2000; ++i) {
        const tFunc& func = funcs[(i * 37 + seed * 11) % funcs.size()];
        set.Lines.append({45000.0 + i / 24.0,
                          "Comment " + QByteArray::number(i) + " on the wording of this line",
                          func.FuncNum, quint16(i % 5)});
    }
    set.Count = qint32(set.Lines.size());
    return set;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    QTemporaryDir temporary;
    const QString root =
        argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).absolutePath() : temporary.path();
    const QString game = root + "/game/", program = root + "/prog/", ref = root + "/ref/";
    QDir().mkpath(program);
    gamebuild::SampleGameOptions gameOptions;
    gameOptions.scale = gamebuild::SampleScale::Full;
    gamebuild::writeSampleGame(game, gameOptions);
    gamebuild::writeSampleReference(ref, gamebuild::SampleScale::Full);
    writeFileAtomically(program + "LEXIVO.INI", "[DIRECTORY]\r\nU7=" + QFile::encodeName(game) +
                                                    "\r\nREF_USECODE=" + QFile::encodeName(ref) +
                                                    "usecode\r\nREF_PAK=" + QFile::encodeName(ref) +
                                                    "ref.pak\r\n[USER]\r\nID=1\r\nNAME=Bench\r\n");
    {
        // The first start, then a team's bookkeeping.
        Workspace ws(program);
        ws.startWithoutWindow();
        QList<int> all;
        for (int i = 0; i < ws.functionCount(); i += 3)
            all << i;
        ws.setFunctionStatus(all, 1);
        Lines dictionary;
        for (int i = 0; i < 500; ++i)
            dictionary << "term" + QByteArray::number(i) << "Begriff" + QByteArray::number(i);
        saveTextLines(program + "u7.dic", dictionary);
        for (int c = 1; c <= 5; ++c)
            WriteCommentFile(program + QString::number(c) + ".cmt",
                             commentSet("Translator " + QByteArray::number(c), ws.funcs(), c));
    }
    // The files the start-up reads.
    QStringList files = {program + "LEXIVO.INI", game + "usecode",     program + "funclist.txt",
                         program + "text.txt",   program + "text.eng", program + "FuncStatus.dat",
                         program + "u7.dic",     ref + "usecode"};
    for (int c = 1; c <= 5; ++c)
        files << program + QString::number(c) + ".cmt";
    const QStringList packs = {program + "orig.pak", ref + "ref.pak"};
    qint64 bytes = 0;
    for (const QString& f : files + packs)
        bytes += QFileInfo(f).size();

    QList<double> startMs, ioMs, keywordMs;
    qsizetype keywordLines = 0;
    int functions = 0;
    qint64 referenceLines = 0;
    for (int run = 0; run < runs; ++run) {
        for (int k = 0; k < 2; ++k) {
            QElapsedTimer t;
            if ((run + k) % 2 == 0) {
                t.start();
                Workspace ws(program);
                ws.openConfiguration();
                ws.readConfiguration();
                ws.loadReference();
                if (!ws.locateUsecode()) qFatal("no usecode");
                ws.loadWorkspaceFiles();
                startMs << t.nsecsElapsed() / 1e6;
                if (!ws.takeWarnings().isEmpty()) qFatal("start-up warned");
                functions = ws.functionCount();
                referenceLines = ws.translationMemory().lineCount();
                // The index as loadUsecode and the pack step build it.
                QElapsedTimer k;
                k.start();
                KeywordIndex index;
                index.build(ws.usecode(), ConversationGame::Auto);
                int shown = -1;
                Lines originals;
                index.setOriginals([&](int function, int line) {
                    if (function != shown) originals = ws.originalLines(shown = function);
                    return originals.value(line);
                });
                keywordMs << k.nsecsElapsed() / 1e6;
                keywordLines = index.lines().size();
            } else {
                t.start();
                qint64 sink = 0;
                for (const QString& f : files)
                    sink += readWholeFile(f).size();
                for (const QString& p : packs)
                    sink += Pack::decompress(readWholeFile(p)).size();
                ioMs << t.nsecsElapsed() / 1e6;
                if (sink == 0) qFatal("nothing read");
            }
        }
    }
    const double s = median(startMs), io = median(ioMs), kw = median(keywordMs);
    std::printf("workspace: %d functions, %lld reference lines, %lld bytes in %lld files\n",
                functions, referenceLines, bytes, qint64(files.size() + packs.size()));
    std::printf("keyword index: %lld keyword lines, built in %.1f ms, %.1f%% of the start-up\n",
                qint64(keywordLines), kw, 100.0 * kw / s);
    std::printf("start-up: %.1f ms, reading and decompressing its files: %.1f ms, ratio %.2f "
                "(goal <= 1.5)\n",
                s, io, s / io);
    return 0;
}
