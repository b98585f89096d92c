// Measures the complete rebuild and the start-up loading on a full-size
// generated game, each against the bare input/output the same work needs.
//
//   build/bench/bench_rebuild [runs]
//
// Rebuild: every function translated (each string changed and made longer, so
// that the largest function crosses 64 KiB), Workspace::Rebuild(true) against
// reading the same translation files and usecode and writing a file of the
// output's size. Loading: Workspace::loadUsecode() + prepareOriginalPack()
// against reading usecode and orig.pak and decompressing the pack (the
// decompression is work any loader of a bzip2 pack must do).

#include "gamebuilder/samplegame.h"
#include "usecode/rebuild.h"
#include "usecode/verifier.h"
#include "workspace.h"
#include "workspace/fileio.h"
#include "workspace/filestamp.h"
#include "workspace/pack.h"
#include "workspace/textlines.h"
#include "workspace/translationfile.h"

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

QByteArray longer(const QByteArray& line, int i) {
    // Translations run longer than their originals; keep escapes intact.
    return "[" + QByteArray::number(i % 97) + "] " + line + " (translated)";
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Workspace* openWorkspace(const QString& program) {
    auto* ws = new Workspace(program);
    ws->openConfiguration();
    ws->readConfiguration();
    if (!ws->locateUsecode()) qFatal("no usecode");
    return ws;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QTemporaryDir root;
    const QString game = root.path() + "/game/";
    const QString program = root.path() + "/prog/";
    QDir().mkpath(game);
    QDir().mkpath(program);
    const QByteArray original = gamebuild::sampleUsecode(gamebuild::SampleScale::Full);
    writeFileAtomically(game + "usecode", original);
    writeFileAtomically(program + "LEXIVO.INI",
                        "[DIRECTORY]\r\nU7=" + QFile::encodeName(game) + "\r\n");

    // Translate every function.
    qint64 translationBytes = 0;
    int functions = 0;
    {
        auto ws = std::make_unique<Workspace>(program);
        ws->startWithoutWindow();
        functions = ws->functionCount();
        for (int f = 0; f < ws->functionCount(); ++f) {
            Lines lines = ws->functionStrings(f);
            for (int i = 0; i < lines.size(); ++i)
                lines[i] = longer(lines[i], i);
            const QString path = ws->TranslationFilePath(ws->funcs()[f].FuncNum);
            saveTextLines(path, lines);
            translationBytes += joinLines(lines).size();
        }
    }

    QList<double> rebuildMs, rebuildIoMs, loadMs, loadIoMs;
    qint64 outputSize = 0;
    for (int run = 0; run < runs; ++run) {
        writeFileAtomically(game + "usecode", original);
        auto ws = std::make_unique<Workspace>(program);
        ws->startWithoutWindow();

        QElapsedTimer t;
        t.start();
        const Workspace::RebuildReport report = ws->Rebuild(true);
        rebuildMs << t.nsecsElapsed() / 1e6;
        if (!report.warnings.isEmpty())
            std::printf("%lld warnings, first: %s\n", qint64(report.warnings.size()),
                        qPrintable(report.warnings.first()));
        outputSize = QFileInfo(game + "usecode").size();

        // The bare I/O of the same work.
        t.restart();
        qint64 sink = readWholeFile(game + "usecode").size();
        for (const tFunc& func : ws->funcs())
            sink += readWholeFile(ws->TranslationFilePath(func.FuncNum)).size();
        writeFileAtomically(root.path() + "/io-out", QByteArray(outputSize, 'x'));
        rebuildIoMs << t.nsecsElapsed() / 1e6;
        if (sink == 0) qFatal("nothing read");

        // Loading, and its bare I/O, in alternating order so that neither
        // always runs on warmer caches than the other.
        for (int k = 0; k < 2; ++k) {
            if ((run + k) % 2 == 0) {
                std::unique_ptr<Workspace> fresh(openWorkspace(program));
                t.restart();
                fresh->loadUsecode();
                fresh->prepareOriginalPack();
                loadMs << t.nsecsElapsed() / 1e6;
            } else {
                t.restart();
                sink = readWholeFile(game + "usecode").size();
                sink += Pack::decompress(readWholeFile(program + "orig.pak")).size();
                loadIoMs << t.nsecsElapsed() / 1e6;
                if (sink == 0) qFatal("nothing read");
            }
        }
    }

    // Where the rebuild's time goes: each part on its own, on the same files.
    QList<double> readMs, rawReadMs, stampMs, engineMs, verifyMs, writeMs, parseMs;
    for (int run = 0; run < runs; ++run) {
        writeFileAtomically(game + "usecode", original);
        auto ws = std::make_unique<Workspace>(program);
        ws->startWithoutWindow();
        QList<QString> paths; // found once, as the rebuild's directory index does
        for (const tFunc& func : ws->funcs())
            paths << ws->TranslationFilePath(func.FuncNum);
        QElapsedTimer t;
        t.start();
        qint64 sink = 0;
        for (const QString& path : paths)
            sink += readWholeFile(path).size();
        rawReadMs << t.nsecsElapsed() / 1e6;
        if (sink == 0) qFatal("nothing read");
        t.restart();
        FileStamp stamp;
        stamp.take(game + "usecode");
        stamp.verifyUnchanged(ws->usecode().image);
        stampMs << t.nsecsElapsed() / 1e6;
        t.restart();
        QHash<quint16, Lines> translations;
        for (qsizetype f = 0; f < paths.size(); ++f)
            translations.insert(ws->funcs()[f].FuncNum, loadTranslationFile(paths[f]));
        readMs << t.nsecsElapsed() / 1e6;

        RebuildOptions options;
        options.translationFor = [&](quint16 funcNum, QList<QByteArray>& lines) {
            lines = translations.value(funcNum);
            return true;
        };
        t.restart();
        const RebuildOutput out = rebuildUsecode(ws->usecode(), options);
        engineMs << t.nsecsElapsed() / 1e6;

        const UsecodeFile parsed = parseUsecode(out.image, QStringLiteral("usecode"));
        t.restart();
        qsizetype problems = 0;
        for (const tFunc& func : parsed.funcs)
            problems += verifyFunctionRecord(recordBytes(parsed.image, func)).size();
        verifyMs << t.nsecsElapsed() / 1e6;
        if (problems != 0) qFatal("the rebuilt image fails the verifier");

        t.restart();
        writeFileAtomically(root.path() + "/breakdown-out", out.image);
        writeMs << t.nsecsElapsed() / 1e6;
        t.restart();
        const UsecodeFile again = parseUsecode(out.image, QStringLiteral("usecode"));
        parseMs << t.nsecsElapsed() / 1e6;
        if (again.funcs.size() != parsed.funcs.size()) qFatal("re-read differs");
    }
    std::printf(
        "breakdown: reading translation files %.1f ms (their bytes alone %.1f ms), checking the "
        "game file is the one loaded %.1f ms, rebuild engine %.1f ms (verifying every function "
        "alone %.1f ms), writing %.1f ms, re-reading the new image %.1f ms\n",
        median(readMs), median(rawReadMs), median(stampMs), median(engineMs), median(verifyMs),
        median(writeMs), median(parseMs));

    const double r = median(rebuildMs), rio = median(rebuildIoMs);
    const double l = median(loadMs), lio = median(loadIoMs);
    std::printf("game: %d functions, usecode %lld bytes -> %lld bytes, translations %lld bytes\n",
                functions, qint64(original.size()), outputSize, translationBytes);
    std::printf("complete rebuild: %.1f ms, its I/O: %.1f ms, ratio %.2f (goal <= 2)\n", r, rio,
                r / rio);
    std::printf("start-up loading: %.1f ms, its I/O: %.1f ms, ratio %.2f (goal <= 1.5)\n", l, lio,
                l / lio);
    return 0;
}
