// The usecode-tab search on the full-size game with a translation file for
// every function:
//
//   build/bench/bench_find [RUNS]
//
// Through the translation files against `LC_ALL=C grep -ril TEXT` over the
// same files (run as a process, warm cache), and through orig.pak against one plain
// case-folded search of the pack's decompressed text (fold the whole text,
// count every occurrence with memmem). Each is timed as the best of RUNS runs (default
// 15) per search text, summed over the search texts: common and rare words,
// a phrase, a text found nowhere. The last two lines give the ratios, the
// search's time over the baseline's (below 1.0: faster than the baseline).

#include "gamebuilder/samplegame.h"
#include "workspace.h"
#include "workspace/fileio.h"
#include "workspace/pack.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <string.h>

using namespace lexivo;

namespace {

qint64 bestOf(int runs, const std::function<void()>& run) {
    qint64 best = std::numeric_limits<qint64>::max();
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed());
    }
    return best;
}

// Lines of `grep -ril TEXT FILES`: the files that contain TEXT.
int grepFiles(const QString& dir, const QStringList& files, const QByteArray& text) {
    QProcess grep;
    grep.setWorkingDirectory(dir);
    // Bytes compared as bytes, as the search compares them (and grep's
    // fastest path).
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    grep.setProcessEnvironment(env);
    grep.start(QStringLiteral("grep"),
               QStringList{"-ril", "--", QString::fromLatin1(text)} + files);
    grep.waitForFinished(-1);
    return int(grep.readAllStandardOutput().count('\n'));
}

// The whole text folded (A-Z to a-z) in one loop, then every occurrence
// counted with the C library's substring search.
__attribute__((noinline)) qsizetype plainSearch(const QByteArray& content, const QByteArray& text) {
    QByteArray folded = content;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = char(c + ('a' - 'A'));
    const QByteArray needle = text.toLower();
    qsizetype count = 0;
    const char* h = folded.constData();
    const char* end = h + folded.size();
    while (const void* found =
               memmem(h, size_t(end - h), needle.constData(), size_t(needle.size()))) {
        ++count;
        h = static_cast<const char*>(found) + needle.size();
    }
    return count;
}

double ms(qint64 ns) {
    return double(ns) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    QTemporaryDir root;
    const QString game = root.path() + "/game/", program = root.path() + "/prog/";
    QDir().mkpath(game);
    QDir().mkpath(program);
    writeFileAtomically(game + "usecode", gamebuild::sampleUsecode(gamebuild::SampleScale::Full));
    writeFileAtomically(program + "LEXIVO.INI",
                        "[DIRECTORY]\r\nU7=" + QFile::encodeName(game) + "\r\n");
    Workspace ws(program);
    ws.startWithoutWindow();
    ws.createMissingTranslationFiles();

    QStringList files;
    qint64 bytes = 0;
    for (const tFunc& func : ws.funcs()) {
        const QString name = QString::fromLatin1(func.HexNum) + ".TXT";
        if (files.contains(name)) continue;
        files << name;
        bytes += QFileInfo(program + name).size();
    }
    Pack pack;
    pack.load(ws.origPakPath());
    std::printf("%d functions, %lld translation files (%lld bytes), pack text %lld bytes; best "
                "of %d runs\n",
                ws.functionCount(), qlonglong(files.size()), qlonglong(bytes),
                qlonglong(pack.content().size()), runs);

    const QList<QByteArray> texts = {"BRIDGE", "creaks at night", "tamsin", "Chronicle",
                                     "found nowhere"};
    qint64 translations = 0, grepTime = 0, originals = 0, plain = 0;
    bool agree = true;
    for (const QByteArray& text : texts) {
        SearchResult result;
        const qint64 t = bestOf(runs, [&] { result = ws.searchUsecode(text, false); });
        int grepped = 0;
        const qint64 g = bestOf(runs, [&] { grepped = grepFiles(program, files, text); });
        QSet<int> withHits;
        for (const SearchHit& hit : result.hits)
            withHits.insert(hit.funcIndex);
        agree = agree && withHits.size() == grepped;

        SearchResult packResult;
        const qint64 o = bestOf(runs, [&] { packResult = ws.searchUsecode(text, true); });
        qsizetype occurrences = 0;
        const qint64 p = bestOf(runs, [&] { occurrences = plainSearch(pack.content(), text); });
        std::printf("%-16s translations %6.2f ms (%5lld hits, %4lld files) grep %6.2f ms (%4d "
                    "files) | originals %6.2f ms (%5lld hits) plain %6.2f ms (%5lld "
                    "occurrences)\n",
                    text.constData(), ms(t), qlonglong(result.hits.size()),
                    qlonglong(withHits.size()), ms(g), grepped, ms(o),
                    qlonglong(packResult.hits.size()), ms(p), qlonglong(occurrences));
        translations += t;
        grepTime += g;
        originals += o;
        plain += p;
    }
    if (!agree) std::printf("The files with hits differ from the files grep lists!\n");
    std::printf("find in translations: %.1fx grep\n", double(translations) / double(grepTime));
    std::printf("find in originals: %.1fx plain search\n", double(originals) / double(plain));
    return agree ? 0 : 1;
}
