// lexivo-cli check: the usecode file, the translation files' line counts, the
// game text's line count and, beside the original engine's index files, what
// that engine needs. The line counts are the quality check "lines", so check,
// qa and the window's Check translations agree on them.

#include "workspace.h"

#include "usecode/linkdep.h"
#include "usecode/rebuild.h"
#include "usecode/verifier.h"
#include "workspace/fileio.h"
#include "workspace/gamestring.h"
#include "workspace/gametext.h"
#include "workspace/translationfile.h"

#include <QFileInfo>

namespace lexivo {

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

// text.txt against the game's message table: one line per non-empty record
// of text.flx, or per message line of textmsg.txt. A damaged game file is a
// problem too; records that do not follow their table are only said.
QStringList checkGameText(const QString& textPath, const QString& usecodeDirectory,
                          QStringList& notices) {
    const GameTextFile game = findGameTextFile(usecodeDirectory);
    if (!QFileInfo(textPath).isFile() || game.path.isEmpty()) return {};
    try {
        const qsizetype lines = loadTextLines(textPath).size();
        const QByteArray bytes = readWholeFile(game.path);
        qsizetype expected = 0;
        if (game.isMessageFile) {
            expected = messageTexts(messageFileLines(bytes, game.path)).size();
        } else {
            const DecodedTextArchive decoded = decodeTextArchive(bytes, game.path);
            notices += decoded.warnings;
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

// The first byte at which two files differ, for the check's message.
qsizetype firstDifference(const QByteArray& a, const QByteArray& b) {
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
        if (a[i] != b[i]) return i;
    return n;
}

} // namespace

Workspace::GameCheck Workspace::checkGame() const {
    GameCheck result;
    const UsecodeFile& file = m_usecode;
    const QString usecode = usecodePath();
    result.problems = file.problems;
    result.notices = file.notices; // not damage: the check still passes
    result.problems += verifyUsecode(file, usecode);

    QualityChecks lineCounts;
    lineCounts.push_back(std::make_unique<LineCountCheck>());
    QStringList unreadable;
    for (const Finding& f : runChecks(lineCounts, nullptr, &unreadable))
        if (f.functionIndex >= 0)
            result.problems << TranslationFilePath(m_usecode.funcs[f.functionIndex].FuncNum) +
                                   QStringLiteral(": ") + f.problem.message;
    result.problems += unreadable;

    result.problems += checkGameText(textPath(), m_usecodeDirectory, result.notices);
    checkOriginalEngine(result);
    result.notices << m_keywords.numberingNote();
    return result;
}

// With the original engine's index files beside usecode: the files describe
// the usecode file as it is, a rebuild of the translations as they are now
// would keep no function and break no limit of that engine, and no string
// is longer than it can say.
void Workspace::checkOriginalEngine(GameCheck& result) const {
    const LinkDepFiles files = findLinkDepFiles(m_usecodeDirectory);
    if (!files.present()) return;
    const QString usecode = usecodePath();
    QStringList& problems = result.problems;

    const LinkDepResult now = buildLinkDep(m_usecode.image, usecode);
    problems += now.problems;
    if (now.ok()) {
        const auto compare = [&](const QString& path, const char* name, const QByteArray& made) {
            if (path.isEmpty()) {
                problems << QStringLiteral("%1%2 is missing; a rebuild writes it")
                                .arg(m_usecodeDirectory, QLatin1String(name));
                return;
            }
            const QByteArray disk = readWholeFile(path);
            if (disk == made) return;
            problems << QStringLiteral("%1 does not describe %2 (%3 bytes, %4 expected; first "
                                       "difference at byte %5); a rebuild writes it anew")
                            .arg(path, usecode)
                            .arg(disk.size())
                            .arg(made.size())
                            .arg(firstDifference(disk, made));
        };
        compare(files.linkdep1, "LINKDEP1", now.linkdep1);
        compare(files.linkdep2, "LINKDEP2", now.linkdep2);
    }

    // The complete rebuild, in memory only.
    RebuildOptions options;
    options.fileName = usecode;
    options.encoding = m_settings.gameTextEncoding;
    options.originalFormsOnly = true;
    options.translationFor = [&](quint16 funcNum, QList<QByteArray>& lines) {
        const QString path = TranslationFilePath(funcNum);
        if (!QFileInfo(path).isFile()) return false;
        lines = loadFunctionTranslation(FindFuncIndex(funcNum), path);
        for (qsizetype k = 0; k < lines.size(); ++k) {
            const qint64 bytes = StoredStringSize(lines[k]) - 1;
            if (bytes > linkdep::MaxConversationStringBytes)
                problems << QStringLiteral("%1, line %2: %3 bytes; the original engine says at "
                                           "most %4 bytes of one conversation string")
                                .arg(path)
                                .arg(k + 1)
                                .arg(bytes)
                                .arg(linkdep::MaxConversationStringBytes);
        }
        return true;
    };
    try {
        const RebuildOutput rebuilt = rebuildUsecode(m_usecode, options);
        problems += rebuilt.keptForGame;
        const LinkDepResult after = buildLinkDep(rebuilt.image, usecode);
        if (now.ok())
            for (const QString& problem : after.problems)
                problems << QStringLiteral("After a rebuild: %1").arg(problem);
        result.notices += after.warnings;
    } catch (const Error& e) {
        problems << e.message();
    }

    const GameTextFile game = findGameTextFile(m_usecodeDirectory);
    const QString text = textPath();
    if (!game.path.isEmpty() && !game.isMessageFile && QFileInfo(text).isFile()) {
        const Lines lines = loadTextLines(text);
        for (qsizetype k = 0; k < lines.size(); ++k) {
            const qint64 bytes = StoredStringSize(withoutNote(lines[k]));
            if (bytes > linkdep::MaxTextMessageBytes)
                problems << QStringLiteral("%1, line %2: %3 bytes with its NUL; a message of the "
                                           "text archive holds at most %4 in the original engine")
                                .arg(text)
                                .arg(k + 1)
                                .arg(bytes)
                                .arg(linkdep::MaxTextMessageBytes);
        }
    }
}

} // namespace lexivo
