#include "clicommands.h"

#include "usecode/verifier.h"
#include "workspace.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/translationfile.h"

#include <QFileInfo>

namespace lexivo::cli {

namespace {

// Every function record of the table checked with the code verifier; each
// problem names the file and the function.
QStringList verifyUsecode(const UsecodeFile& file, const QString& fileName) {
    QStringList problems;
    for (const tFunc& func : file.funcs) {
        for (const QString& problem : verifyFunctionRecord(recordBytes(file.image, func)))
            problems << QStringLiteral("%1: function %2 (record at byte offset %3): %4")
                            .arg(fileName, QString::fromLatin1(func.HexNum))
                            .arg(func.Offset)
                            .arg(problem);
    }
    return problems;
}

// The start-up steps without a window. What loading found on the way
// (damaged records with their byte offsets, a shared function number, a pack
// of another usecode file) goes to standard error, also when a step then
// fails: it is what explains the failure.
void startUp(Workspace& ws, Output& out) {
    const auto report = [&] {
        for (const QString& warning : ws.takeWarnings())
            out.stderrText += warning + QLatin1Char('\n');
    };
    try {
        ws.startWithoutWindow();
    } catch (...) {
        report();
        throw;
    }
    report();
}

} // namespace

int init(const QString& programDirectory, Output& out) {
    Workspace ws(programDirectory);
    startUp(ws, out);
    out.stdoutText += QStringLiteral("%1: %2 functions with strings\n")
                          .arg(ws.usecodePath())
                          .arg(ws.functionCount());
    return 0;
}

int extract(const QString& programDirectory, Output& out) {
    Workspace ws(programDirectory);
    startUp(ws, out);
    const int created = ws.createMissingTranslationFiles();
    out.stdoutText += QStringLiteral("%1 translation files created\n").arg(created);
    return 0;
}

int rebuild(const QString& programDirectory, bool complete, Output& out) {
    Workspace ws(programDirectory);
    startUp(ws, out);
    // Outside the window nothing records accepted lines, so a fast rebuild
    // looks at every translation file and takes those that read differently
    // from the usecode file.
    ws.TranslationsChanged = true;
    const Workspace::RebuildReport report = ws.Rebuild(complete);
    for (const QString& warning : report.warnings)
        out.stderrText += warning + QLatin1Char('\n');
    if (report.usecodeWritten)
        out.stdoutText += QStringLiteral("Usecode compiled in %1ms\n").arg(report.milliseconds);
    // Exit 0 only when every translation went in.
    if (report.notApplied.isEmpty()) return 0;
    QStringList names;
    for (quint16 n : report.notApplied)
        names << QString::fromLatin1(hexNum(n));
    out.stderrText += QStringLiteral("%1 translations were not applied (%2); %3 %4.\n")
                          .arg(names.size())
                          .arg(names.join(QStringLiteral(", ")), ws.usecodePath(),
                               report.usecodeWritten ? QStringLiteral("was written with the others")
                                                     : QStringLiteral("was not written"));
    return 1;
}

int check(const QString& programDirectory, Output& out) {
    // Reads only: the check creates no workspace file (no orig.pak, no
    // funclist.txt), whatever state the workspace is in.
    Workspace ws(programDirectory);
    ws.findGameWithoutWindow();
    const QString usecodePath = ws.usecodePath();
    const UsecodeFile file = parseUsecode(readWholeFile(usecodePath), usecodePath);

    QStringList problems = file.problems;
    // Not damage: said, but the check still passes.
    for (const QString& notice : file.notices)
        out.stderrText += notice + QLatin1Char('\n');
    problems += verifyUsecode(file, usecodePath);
    for (const tFunc& func : file.funcs) {
        const QString path = ws.TranslationFilePath(func.FuncNum);
        if (!QFileInfo(path).isFile()) continue;
        qsizetype lines = 0;
        try {
            lines = loadTranslationFile(path).size();
        } catch (const NotSingleByteText& e) {
            problems << e.message();
            continue;
        }
        const qsizetype strings = extractStrings(file.image, func).size();
        if (lines != strings)
            problems << QStringLiteral("%1: %2 lines, but function %3 has %4 strings")
                            .arg(path)
                            .arg(lines)
                            .arg(QString::fromLatin1(func.HexNum))
                            .arg(strings);
    }
    for (const QString& problem : problems)
        out.stdoutText += problem + QLatin1Char('\n');
    return problems.isEmpty() ? 0 : 1;
}

} // namespace lexivo::cli
