#include "clicommands.h"

#include "usecode/verifier.h"
#include "workspace.h"
#include "workspace/cp1252codec.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/gametext.h"
#include "workspace/pack.h"
#include "workspace/translationfile.h"
#include "workspace/translationmemory.h"

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

void reportWarnings(Workspace& ws, Output& out) {
    for (const QString& warning : ws.takeWarnings())
        out.stderrText += warning + QLatin1Char('\n');
}

// The originals of function index of the game's table, as the function view
// takes them from orig.pak. Without orig.pak they are taken from the file the
// first start would build it from (usecode.orig when there is one, else the
// game's usecode), and nothing is written.
Lines originalLinesReadOnly(const Workspace& ws, const UsecodeFile& game, int index) {
    return ws.originalPackWithoutWriting(game).blockLines(index);
}

// text.txt against the game's message table: one line per non-empty record
// of text.flx, or per message line of textmsg.txt. A damaged game file is a
// problem too; records that do not follow their table are only said.
QStringList checkGameText(const Workspace& ws, Output& out) {
    const QString textPath = ws.textPath();
    const GameTextFile game = findGameTextFile(ws.usecodeDirectory());
    if (!QFileInfo(textPath).isFile() || game.path.isEmpty()) return {};
    try {
        const qsizetype lines = loadTextLines(textPath).size();
        const QByteArray bytes = readWholeFile(game.path);
        qsizetype expected = 0;
        if (game.isMessageFile) {
            expected = messageTexts(messageFileLines(bytes, game.path)).size();
        } else {
            const DecodedTextArchive decoded = decodeTextArchive(bytes, game.path);
            for (const QString& warning : decoded.warnings)
                out.stderrText += warning + QLatin1Char('\n');
            expected = decoded.lines.size();
        }
        if (lines == expected) return {};
        return {QStringLiteral("%1: %2 lines, but %3 has %4 %5")
                    .arg(textPath)
                    .arg(lines)
                    .arg(game.path)
                    .arg(expected)
                    .arg(game.isMessageFile ? QStringLiteral("message lines")
                                            : QStringLiteral("records"))};
    } catch (const DataError& e) {
        return {e.message()};
    }
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
    // Exit 0 only when every translation went in, and the game text too when
    // it was to be written (the text step leaves TextChanged set otherwise).
    if (report.notApplied.isEmpty()) return ws.TextChanged ? 1 : 0;
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
    problems += checkGameText(ws, out);
    for (const QString& problem : problems)
        out.stdoutText += problem + QLatin1Char('\n');
    return problems.isEmpty() ? 0 : 1;
}

int suggest(const QString& programDirectory, quint16 funcNum, bool all, Output& out) {
    // Reads only: like the check, it creates no workspace file.
    Workspace ws(programDirectory);
    try {
        ws.findGameWithoutWindow(); // loads the reference when one is configured
    } catch (...) {
        reportWarnings(ws, out);
        throw;
    }
    reportWarnings(ws, out);
    if (!ws.referenceLoaded()) {
        out.stderrText += QStringLiteral("No reference translation: set DIRECTORY/REF_USECODE and "
                                         "DIRECTORY/REF_PAK in %1\n")
                              .arg(ws.iniPath());
        return 1;
    }
    const QString usecodePath = ws.usecodePath();
    const UsecodeFile game = parseUsecode(readWholeFile(usecodePath), usecodePath);
    for (const QString& problem : game.problems + game.notices)
        out.stderrText += problem + QLatin1Char('\n');
    const QString hex = QString::fromLatin1(hexNum(funcNum));
    int index = -1;
    for (int i = 0; i < game.funcs.size() && index < 0; ++i)
        if (game.funcs[i].FuncNum == funcNum) index = i;
    if (index < 0) {
        out.stderrText +=
            QStringLiteral("No function %1 with strings in %2\n").arg(hex, usecodePath);
        return 1;
    }

    // The lines as the function view would show them, without creating the
    // translation file that showing would create.
    const QString translationPath = ws.TranslationFilePath(funcNum);
    const Lines lines = QFileInfo(translationPath).isFile()
                            ? loadTranslationFile(translationPath)
                            : extractStrings(game.image, game.funcs[index]);
    const Lines originals = originalLinesReadOnly(ws, game, index);

    TranslationMemory& memory = ws.translationMemory();
    memory.fillScope(funcNum, all);
    const Cp1252Codec codec;
    int proposals = 0;
    for (qsizetype k = 0; k < lines.size() && !memory.scopeIsEmpty(); ++k) {
        const QByteArray original = k < originals.size() ? originals[k] : QByteArray();
        if (lines[k] != original) continue; // translated already
        const TranslationMemory::Proposal p = memory.FindReferenceTranslation(original, codec);
        if (!p.found) continue;
        out.stdoutBytes +=
            QByteArray::number(k) + '\t' +
            (p.exact ? QByteArray("exact") : similarityPercentText(p.similarity).toLatin1()) +
            '\t' + p.translation + '\n';
        ++proposals;
    }
    if (proposals > 0) return 0;
    out.stderrText += QStringLiteral("No proposal for function %1 (%2)\n")
                          .arg(hex, all ? QStringLiteral("whole reference")
                                        : QStringLiteral("reference function %1").arg(hex));
    return 1;
}

int find(const QString& programDirectory, const QByteArray& text, bool original, Output& out) {
    // Reads only: no orig.pak, funclist.txt or translation file is made.
    Workspace ws(programDirectory);
    try {
        ws.startReadOnly(original);
    } catch (...) {
        reportWarnings(ws, out);
        throw;
    }
    reportWarnings(ws, out);
    const SearchResult result = ws.searchUsecode(text, original);
    for (const SearchHit& hit : result.hits)
        out.stdoutBytes += ws.hitRow(hit) + '\n';
    if (!result.statusText.isEmpty()) out.stderrText += result.statusText + QLatin1Char('\n');
    if (!result.hits.isEmpty()) return 0;
    out.stderrText += original
                          ? QStringLiteral("No original line contains the text\n")
                          : QStringLiteral("No line of the translation files contains the text\n");
    return 1;
}

int status(const QString& programDirectory, Output& out) {
    // Reads only: no orig.pak, funclist.txt, translation or status file is made.
    Workspace ws(programDirectory);
    try {
        ws.startReadOnly(true);
        ws.loadFuncStatus();
    } catch (...) {
        reportWarnings(ws, out);
        throw;
    }
    reportWarnings(ws, out);
    static const char* const Words[] = {"complete", "revision", "working", "unassigned"};
    const auto field = [](QByteArray text) { return text.replace('\t', ' '); };
    qint64 allTranslated = 0, allLines = 0;
    for (int i = 0; i < ws.functionCount(); ++i) {
        const tFunc& func = ws.funcs()[i];
        const qsizetype strings = ws.functionStrings(i).size();
        qsizetype translated = 0;
        const QString path = ws.TranslationFilePath(func.FuncNum);
        if (QFileInfo(path).isFile()) {
            try {
                const Lines lines = loadTranslationFile(path);
                const Lines originals = ws.originalLines(i);
                for (qsizetype k = 0; k < strings && k < lines.size(); ++k)
                    if (lines[k] != originals.value(k)) ++translated;
            } catch (const NotSingleByteText& e) {
                // Not usable as a translation: none of its lines count.
                out.stderrText += e.message() + QLatin1Char('\n');
            }
        }
        const int translator = ws.functionTranslator(i);
        out.stdoutBytes +=
            func.HexNum + '\t' + field(func.Description) + '\t' + Words[ws.functionStatus(i)] +
            '\t' + (translator == 0 ? QByteArray() : field(ws.translatorName(translator))) + '\t' +
            QByteArray::number(translated) + '\t' + QByteArray::number(strings) + '\n';
        allTranslated += translated;
        allLines += strings;
    }
    out.stdoutBytes +=
        "total\t" + QByteArray::number(allTranslated) + '\t' + QByteArray::number(allLines) + '\n';
    return 0;
}

} // namespace lexivo::cli
