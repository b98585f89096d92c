#include "clicommands.h"

#include "workspace.h"
#include "workspace/cp1252codec.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/gamestring.h"
#include "workspace/pack.h"
#include "workspace/po.h"
#include "workspace/qa.h"
#include "workspace/translationfile.h"
#include "workspace/translationmemory.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

namespace lexivo::cli {

namespace {

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
    ws.startReadOnly(false);
    ws.takeWarnings(); // the usecode file's problems and notices are the check's own
    const Workspace::GameCheck result = ws.checkGame();
    for (const QString& notice : result.notices)
        out.stderrText += notice + QLatin1Char('\n');
    for (const QString& problem : result.problems)
        out.stdoutText += problem + QLatin1Char('\n');
    return result.problems.isEmpty() ? 0 : 1;
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
                            ? ws.loadFunctionTranslation(index, translationPath)
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
                translated = Workspace::countTranslatedLines(ws.loadFunctionTranslation(i, path),
                                                             ws.originalLines(i), strings);
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

int keywords(const QString& programDirectory, Output& out) {
    // Reads only: the originals as the function view has them, nothing made.
    Workspace ws(programDirectory);
    try {
        ws.startReadOnly(true);
    } catch (...) {
        reportWarnings(ws, out);
        throw;
    }
    reportWarnings(ws, out);
    const KeywordIndex& index = ws.keywords();
    QList<KeywordIndex::Line> lines = index.lines();
    std::stable_sort(lines.begin(), lines.end(),
                     [&](const KeywordIndex::Line& a, const KeywordIndex::Line& b) {
                         return ws.funcs()[a.function].FuncNum < ws.funcs()[b.function].FuncNum;
                     });
    int shown = -1;
    Lines originals;
    for (const KeywordIndex::Line& k : std::as_const(lines)) {
        if (k.function != shown) {
            originals = ws.originalLines(k.function);
            shown = k.function;
        }
        out.stdoutBytes += ws.funcs()[k.function].HexNum + '\t' + QByteArray::number(k.line + 1) +
                           '\t' + KeywordIndex::kindName(k.kind).toLatin1() + '\t' +
                           originals.value(k.line) + '\n';
    }
    return ws.usecode().problems.isEmpty() ? 0 : 1;
}

} // namespace lexivo::cli

// ---- quality checks and PO interchange ----

namespace lexivo::cli {

namespace {

// The read-only loading of the three commands below, with the display code
// page of the configuration.
void startForTexts(Workspace& ws, Cp1252Codec& codec, Output& out) {
    try {
        ws.startReadOnly(true);
    } catch (...) {
        reportWarnings(ws, out);
        throw;
    }
    reportWarnings(ws, out);
    codec.setCodePage(ws.settings().codePage);
    codec.setUtf8(ws.settings().gameTextEncoding == GameTextEncoding::Utf8);
}

// A PO context names a place: "HHHH:LINE" (a function) or "text:LINE", LINE
// from 1.
bool parseContext(const QString& context, QString& target, qsizetype& line) {
    static const QRegularExpression place(QStringLiteral("^([0-9A-F]{4}|text):([1-9][0-9]{0,8})$"));
    const QRegularExpressionMatch m = place.match(context);
    if (!m.hasMatch()) return false;
    target = m.captured(1);
    line = m.captured(2).toLongLong();
    return true;
}

// A translation typed in a PO editor may hold real line breaks and tabs; the
// text form holds neither: they become \N and \T, as in the window's editor.
QString toTextForm(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\N"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\N"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\N"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\T"));
    return text;
}

QString characterProblem(const QString& text, qsizetype bad, const Cp1252Codec& codec) {
    const QString character = text.mid(bad, text.at(bad).isHighSurrogate() ? 2 : 1);
    const uint code = character.toUcs4().value(0);
    return QStringLiteral("\"%1\" (U+%2) cannot be stored in the %3 code page")
        .arg(character, QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0')),
             codec.name());
}

const char CodePageField[] = "X-Lexivo-Code-Page";

// "2026-12-10 11:05+0100", the date form of PO headers.
QString poDate(const QDateTime& when) {
    const int offset = when.offsetFromUtc() / 60;
    const int minutes = offset < 0 ? -offset : offset;
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

int qa(const QString& programDirectory, Output& out) {
    // Reads only: no orig.pak, funclist.txt or translation file is made.
    Workspace ws(programDirectory);
    Cp1252Codec codec;
    startForTexts(ws, codec, out);
    ws.loadFontMap(); // for the glyph check; a damaged map fails the command
    QStringList skipped;
    const QList<Workspace::Finding> findings = ws.checkTranslations(codec, nullptr, &skipped);
    for (const QString& problem : std::as_const(skipped))
        out.stderrText += problem + QLatin1Char('\n');
    for (const Workspace::Finding& f : findings)
        out.stdoutText += QString::fromLatin1(f.hexNum) + QLatin1Char('\t') +
                          QString::number(f.problem.line + 1) + QLatin1Char('\t') +
                          f.problem.check + QLatin1Char('\t') + f.problem.message +
                          QLatin1Char('\n');
    return findings.isEmpty() ? 0 : 1;
}

int exportPo(const QString& programDirectory, const QString& outDirectory, Output& out) {
    Workspace ws(programDirectory);
    Cp1252Codec codec;
    startForTexts(ws, codec, out);
    ws.loadCommentSets();
    reportWarnings(ws, out);
    if (!QDir().mkpath(outDirectory))
        throw FileError::cannotCreate(outDirectory, QStringLiteral("The folder cannot be made."));
    const QDir dir(outDirectory);

    PoCatalog catalog;
    const QString language = codec.decode(ws.ini().readString(ini::Group, "LANGUAGE")).trimmed();
    if (language.isEmpty())
        out.stderrText += QStringLiteral("No language in the PO headers: GROUP/LANGUAGE of %1 "
                                         "names it (de, pt_BR ...)\n")
                              .arg(ws.iniPath());
    catalog.header = {
        {QStringLiteral("Project-Id-Version"), QStringLiteral("Ultima VII usecode")},
        {QStringLiteral("PO-Revision-Date"), poDate(QDateTime::currentDateTime())},
        {QStringLiteral("Last-Translator"), codec.decode(ws.settings().userName)},
        {QStringLiteral("Language-Team"), language},
        {QStringLiteral("Language"), language},
        {QStringLiteral("MIME-Version"), QStringLiteral("1.0")},
        {QStringLiteral("Content-Type"), QStringLiteral("text/plain; charset=UTF-8")},
        {QStringLiteral("Content-Transfer-Encoding"), QStringLiteral("8bit")},
        {QString::fromLatin1(CodePageField), codec.name()},
        {QStringLiteral("X-Generator"), QStringLiteral("Lexivo %1").arg(Workspace::VersionText)},
    };

    // Every comment of every set, by function number and line.
    QHash<quint32, QStringList> comments;
    for (const tComment& set : ws.CommentSets())
        for (const tCmtLine& c : set.Lines) {
            const QDateTime when = dateTimeFromOleDate(c.Date);
            comments[quint32(c.FuncNum) << 16 | c.Line].append(
                QStringLiteral("%1, %2: %3")
                    .arg(codec.decode(set.Name),
                         when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                        : QStringLiteral("no date"),
                         codec.decode(c.Text)));
        }

    int files = 0, failed = 0;
    for (int i = 0; i < ws.functionCount(); ++i) {
        const tFunc& func = ws.funcs()[i];
        if (ws.FindFuncIndex(func.FuncNum) != i) continue; // the first record's file
        const QString path = ws.TranslationFilePath(func.FuncNum);
        Lines lines;
        try {
            lines = QFileInfo(path).isFile() ? ws.loadFunctionTranslation(i, path)
                                             : ws.functionStrings(i);
        } catch (const NotSingleByteText& e) {
            out.stderrText += e.message() + QLatin1Char('\n');
            ++failed;
            continue;
        }
        const Lines originals = ws.originalLines(i);
        catalog.entries.clear();
        for (qsizetype k = 0; k < originals.size(); ++k) {
            // An empty original has nothing to translate, and an empty msgid
            // is the header's in many PO tools.
            if (originals[k].isEmpty()) continue;
            PoEntry entry;
            entry.context =
                QString::fromLatin1(func.HexNum) + QLatin1Char(':') + QString::number(k + 1);
            entry.source = codec.decode(originals[k]);
            if (k < lines.size() && lines[k] != originals[k])
                entry.translation = codec.decode(lines[k]);
            entry.translatorComment = codec.decode(func.Description);
            entry.extractedComments = comments.value(quint32(func.FuncNum) << 16 | quint32(k));
            catalog.entries.append(entry);
        }
        writePoFile(dir.filePath(QString::fromLatin1(func.HexNum) + QStringLiteral(".po")),
                    catalog);
        ++files;
    }

    if (QFileInfo(ws.textPath()).isFile() && QFileInfo(ws.englishTextPath()).isFile()) {
        const Lines text = loadTextLines(ws.textPath());
        const Lines english = loadTextLines(ws.englishTextPath());
        catalog.entries.clear();
        for (qsizetype k = 0; k < english.size(); ++k) {
            if (english[k].isEmpty()) continue;
            PoEntry entry;
            entry.context = QStringLiteral("text:") + QString::number(k + 1);
            entry.source = codec.decode(english[k]);
            if (k < text.size() && text[k] != english[k]) entry.translation = codec.decode(text[k]);
            catalog.entries.append(entry);
        }
        writePoFile(dir.filePath(QStringLiteral("text.po")), catalog);
        ++files;
    } else {
        out.stderrText += QStringLiteral("No text.po: %1 and %2 are made by the first start\n")
                              .arg(ws.textPath(), ws.englishTextPath());
    }
    out.stdoutText += QStringLiteral("%1 PO files written to %2\n").arg(files).arg(outDirectory);
    return failed == 0 ? 0 : 1;
}

int importPo(const QString& programDirectory, const QStringList& poFiles, Output& out) {
    Workspace ws(programDirectory);
    Cp1252Codec codec;
    startForTexts(ws, codec, out);

    // The new text of every place, by target ("HHHH" or "text") and line
    // from 0; the later entry for one place wins.
    QMap<QString, QMap<qsizetype, QByteArray>> changes;
    QHash<QString, QString> sourceOf; // target -> the PO file that named it last
    int skipped = 0, skippedFiles = 0;
    Lines english;
    bool englishRead = false;
    for (const QString& poPath : poFiles) {
        PoCatalog catalog;
        try {
            catalog = readPoFile(poPath);
        } catch (const Error& e) {
            out.stderrText += e.message() + QLatin1Char('\n');
            ++skippedFiles;
            continue;
        }
        const QString page = catalog.headerField(QString::fromLatin1(CodePageField));
        if (!page.isEmpty() && page != codec.name()) {
            out.stderrText +=
                QStringLiteral("%1: written for the %2 code page, the display code page is %3; "
                               "the file is skipped\n")
                    .arg(poPath, page, codec.name());
            ++skippedFiles;
            continue;
        }
        for (const PoEntry& entry : std::as_const(catalog.entries)) {
            const auto skip = [&](const QString& why) {
                out.stderrText += QStringLiteral("%1: msgctxt \"%2\": %3; skipped\n")
                                      .arg(poPath, entry.context, why);
                ++skipped;
            };
            if (entry.translation.isEmpty()) continue; // not translated
            QString target;
            qsizetype line = 0;
            if (entry.plural) {
                skip(QStringLiteral("a plural entry, which no line of this workspace is"));
                continue;
            }
            if (!parseContext(entry.context, target, line)) {
                skip(QStringLiteral("no line of this workspace (expected HHHH:LINE or text:LINE)"));
                continue;
            }
            if (entry.fuzzy) {
                skip(QStringLiteral("marked fuzzy"));
                continue;
            }
            const qsizetype k = line - 1;
            QByteArray original;
            if (target == QLatin1String("text")) {
                if (!englishRead) {
                    if (QFileInfo(ws.englishTextPath()).isFile())
                        english = loadTextLines(ws.englishTextPath());
                    englishRead = true;
                }
                if (k >= english.size()) {
                    skip(QStringLiteral("%1 has no line %2").arg(ws.englishTextPath()).arg(line));
                    continue;
                }
                original = english[k];
            } else {
                const int index = ws.FindFuncIndex(quint16(target.toUInt(nullptr, 16)));
                if (index < 0) {
                    skip(QStringLiteral("no function %1 with strings in %2")
                             .arg(target, ws.usecodePath()));
                    continue;
                }
                const Lines originals = ws.originalLines(index);
                if (k >= originals.size()) {
                    skip(QStringLiteral("function %1 has %2 strings")
                             .arg(target)
                             .arg(originals.size()));
                    continue;
                }
                original = originals[k];
            }
            QByteArray source;
            if (!codec.encode(entry.source, source) || source != original) {
                skip(QStringLiteral("the msgid is no longer the original of that line (the game "
                                    "changed)"));
                continue;
            }
            const QString text = toTextForm(entry.translation);
            QByteArray bytes;
            qsizetype bad = 0;
            if (!codec.encode(text, bytes, &bad)) {
                skip(characterProblem(text, bad, codec));
                continue;
            }
            changes[target][k] = bytes;
            sourceOf.insert(target, poPath);
        }
    }

    int changedLines = 0, changedFiles = 0;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        const QString& target = it.key();
        const bool isText = target == QLatin1String("text");
        const int index = isText ? -1 : ws.FindFuncIndex(quint16(target.toUInt(nullptr, 16)));
        const QString path =
            isText ? ws.textPath() : ws.TranslationFilePath(ws.funcs()[index].FuncNum);
        Lines lines;
        try {
            if (isText) {
                if (!QFileInfo(path).isFile())
                    throw Error(
                        QStringLiteral("%1 does not exist (the first start makes it)").arg(path));
                lines = loadTextLines(path);
            } else {
                lines = QFileInfo(path).isFile() ? ws.loadFunctionTranslation(index, path)
                                                 : ws.functionStrings(index);
            }
        } catch (const Error& e) {
            out.stderrText += QStringLiteral("%1: %2; its entries are skipped\n")
                                  .arg(sourceOf.value(target), e.message());
            skipped += int(it.value().size());
            continue;
        }
        int changed = 0;
        for (auto line = it.value().cbegin(); line != it.value().cend(); ++line) {
            // The line count never changes: a file shorter than its function
            // keeps its length.
            if (line.key() >= lines.size()) {
                out.stderrText +=
                    QStringLiteral("%1: msgctxt \"%2:%3\": %4 has %5 lines; skipped\n")
                        .arg(sourceOf.value(target), target)
                        .arg(line.key() + 1)
                        .arg(path)
                        .arg(lines.size());
                ++skipped;
                continue;
            }
            if (lines[line.key()] == line.value()) continue;
            lines[line.key()] = line.value();
            ++changed;
        }
        if (changed == 0) continue;
        if (isText)
            saveTextLines(path, lines);
        else
            ws.saveFunctionLines(ws.funcs()[index].FuncNum, lines);
        changedLines += changed;
        ++changedFiles;
    }
    out.stdoutText +=
        QStringLiteral("%1 lines changed in %2 files\n").arg(changedLines).arg(changedFiles);
    if (skippedFiles > 0)
        out.stderrText += QStringLiteral("%1 PO files skipped\n").arg(skippedFiles);
    if (skipped > 0) out.stderrText += QStringLiteral("%1 entries skipped\n").arg(skipped);
    return skipped == 0 && skippedFiles == 0 ? 0 : 1;
}

} // namespace lexivo::cli
