// Start-up loading on the full-size game, for instruction counts that do not
// depend on what else the machine is doing:
//
//   valgrind --tool=callgrind --toggle-collect='loadWorkspace*' build/bench/bench_load
//   valgrind --tool=callgrind --toggle-collect='bareInputOutput*' build/bench/bench_load
//
// loadWorkspace runs the configuration, usecode and orig.pak steps of the
// start-up; bareInputOutput reads usecode and orig.pak and decompresses the
// pack, the least any loader of these files must do.

#include "gamebuilder/samplegame.h"
#include "workspace.h"
#include "workspace/fileio.h"
#include "workspace/pack.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace lexivo;

__attribute__((noinline)) qint64 loadWorkspace(const QString& program) {
    Workspace ws(program);
    ws.openConfiguration();
    ws.readConfiguration();
    ws.locateUsecode();
    ws.loadUsecode();
    ws.prepareOriginalPack();
    return ws.functionCount();
}

__attribute__((noinline)) qint64 bareInputOutput(const QString& game, const QString& program) {
    return readWholeFile(game + "usecode").size() +
           Pack::decompress(readWholeFile(program + "orig.pak")).size();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const QString game = root.path() + "/game/", program = root.path() + "/prog/";
    QDir().mkpath(game);
    QDir().mkpath(program);
    writeFileAtomically(game + "usecode", gamebuild::sampleUsecode(gamebuild::SampleScale::Full));
    writeFileAtomically(program + "LEXIVO.INI",
                        "[DIRECTORY]\r\nU7=" + QFile::encodeName(game) + "\r\n");
    {
        // The first start builds orig.pak and funclist.txt.
        Workspace(program).startWithoutWindow();
    }
    const qint64 functions = loadWorkspace(program);
    const qint64 bytes = bareInputOutput(game, program);
    std::printf("%lld functions loaded; %lld bytes read and unpacked\n", functions, bytes);
    return 0;
}
