#include "linkdep.h"

#include "instructions.h"
#include "usecodefile.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>
#include <algorithm>
#include <array>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lexivo {

namespace {

QString hex4(quint32 number) {
    return QString::number(number, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

std::array<bool, 256> buildOriginalOpcodes() {
    std::array<bool, 256> t{};
    for (int op = 0; op < 256; ++op)
        t[op] = opcodeInfo(quint8(op)).kind != OperandKind::Unknown;
    // The 32-bit forms, and what only the script compiler of game
    // modifications emits.
    for (int op : {0x82, 0x84, 0x85, 0x86, 0x87, 0x9C, 0x9D, 0xCD, 0xB1, 0xDC, 0xDF, 0xE1, 0x50,
                   0x51, 0x54, 0x55, 0x56, 0x58, 0x5A, 0x5B, 0x5D, 0x5E, 0x57, 0x5C, 0x5F, 0x61,
                   0xA4, 0xC7, 0xD4, 0x53, 0x59, 0x60, 0x62, 0xAE, 0xBF, 0xC2, 0xC3, 0xD3})
        t[op] = false;
    return t;
}

// One function record as the original engine sees it.
struct Function {
    quint16 number = 0;
    quint32 offset = 0;
    quint16 size = 0; // the 16-bit size field
    QList<quint16> externs;
    QList<std::pair<quint16, qint64>> directCalls; // 0x47: callee, byte offset in the file
};

} // namespace

bool isOriginalOpcode(quint8 opcode) {
    static const std::array<bool, 256> table = buildOriginalOpcodes();
    return table[opcode];
}

LinkDepFiles findLinkDepFiles(const QString& usecodeDirectory) {
    LinkDepFiles files;
    const auto find = [&](const QString& name) {
        const QString path = findEntry(usecodeDirectory, name);
        return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
    };
    files.linkdep1 = find(QStringLiteral("LINKDEP1"));
    files.linkdep2 = find(QStringLiteral("LINKDEP2"));
    return files;
}

LinkDepResult buildLinkDep(const QByteArray& usecode, const QString& fileName) {
    LinkDepResult result;
    const auto problem = [&](const QString& what) {
        result.problems << QStringLiteral("%1: %2").arg(fileName, what);
    };
    const auto functionProblem = [&](quint32 number, const QString& what) {
        problem(QStringLiteral("function %1 %2").arg(hex4(number), what));
    };

    tUsecodeSymbolTable table;
    QString damage;
    if (readSymbolTable(usecode, table, nullptr, &damage) != SymbolTableState::Absent) {
        problem(QStringLiteral("the file begins with a symbol table, which the original engine "
                               "cannot read"));
        return result;
    }

    // Every record, by function number.
    QHash<quint16, qsizetype> byNumber;
    QList<Function> functions;
    qint64 pos = 0;
    while (pos < usecode.size()) {
        UsecodeRecord record;
        if (!readRecord(usecode, pos, record, &damage)) {
            problem(damage);
            return result;
        }
        pos = record.end;
        if (record.form == RecordForm::Fffe) {
            problem(QStringLiteral("the record at byte offset %1 carries the 32-bit id 0x%2, "
                                   "which the original engine cannot index")
                        .arg(record.offset)
                        .arg(QString::number(record.funcNum, 16).toUpper()));
            continue;
        }
        if (record.form == RecordForm::Extended) {
            functionProblem(record.funcNum,
                            QStringLiteral("(record at byte offset %1) is an extended record "
                                           "(32-bit sizes), which the original engine cannot read")
                                .arg(record.offset));
            continue;
        }
        const quint16 number = quint16(record.funcNum);
        if (byNumber.contains(number)) {
            functionProblem(number, QStringLiteral("has two records (byte offsets %1 and %2); the "
                                                   "original engine can index only one")
                                        .arg(functions[byNumber.value(number)].offset)
                                        .arg(record.offset));
            continue;
        }
        if (record.offset > qint64(UINT32_MAX)) {
            functionProblem(number, QStringLiteral("lies beyond 4 GiB"));
            continue;
        }
        Function f;
        f.number = number;
        f.offset = quint32(record.offset);
        f.size = quint16(record.size);

        const char* code = usecode.constData() + record.codeStart();
        DecodedCode decoded;
        DecodeFailure failure;
        if (!decodeCode(code, record.end - record.codeStart(), decoded, &failure)) {
            functionProblem(number, QStringLiteral("cannot be decoded: %1 at byte offset %2")
                                        .arg(failure.what)
                                        .arg(record.codeStart() + failure.offset));
            continue;
        }
        const qint64 count = qFromLittleEndian<quint16>(code + 4);
        for (qint64 i = 0; i < count; ++i)
            f.externs.append(qFromLittleEndian<quint16>(code + 6 + 2 * i));
        bool original = true;
        for (const Instruction& ins : std::as_const(decoded.instructions)) {
            if (!isOriginalOpcode(ins.opcode)) {
                functionProblem(number,
                                QStringLiteral("uses opcode 0x%1 at byte offset %2, which the "
                                               "original engine does not have (a 32-bit form or a "
                                               "compiler-only opcode)")
                                    .arg(QString::number(ins.opcode, 16).toUpper())
                                    .arg(record.codeStart() + ins.start));
                original = false;
                break;
            }
            if (ins.opcode == 0x47)
                f.directCalls.append({qFromLittleEndian<quint16>(code + ins.start + 1),
                                      record.codeStart() + ins.start});
        }
        if (!original) continue;
        byNumber.insert(number, functions.size());
        functions.append(f);
    }
    if (functions.isEmpty() && result.problems.isEmpty())
        problem(QStringLiteral("the file holds no function record"));
    if (!result.problems.isEmpty()) return result;

    QList<quint16> numbers = byNumber.keys();
    std::sort(numbers.begin(), numbers.end());
    const quint32 highest = numbers.last();

    QByteArray linkdep1;
    QByteArray linkdep2;
    quint32 entries = 0;
    QHash<quint32, bool> missingSaid; // caller << 16 | callee, each said once
    for (quint32 id = 0; id <= highest; ++id) {
        const auto it = byNumber.constFind(quint16(id));
        if (it == byNumber.constEnd()) {
            appendU16(linkdep1, entries);
            appendU16(linkdep1, 0xFFFF);
            continue;
        }
        // The call tree: breadth first through the extern tables. The walk
        // stops one member past the limit; the tree is refused then anyway.
        QList<qsizetype> members{it.value()};
        QHash<quint16, bool> inTree{{quint16(id), true}};
        bool missing = false;
        for (qsizetype m = 0; m < members.size() && members.size() <= linkdep::MaxTreeFunctions;
             ++m) {
            const Function& f = functions[members[m]];
            for (quint16 callee : f.externs) {
                if (inTree.contains(callee)) continue;
                const auto c = byNumber.constFind(callee);
                if (c == byNumber.constEnd()) {
                    missing = true;
                    const quint32 key = quint32(f.number) << 16 | callee;
                    if (missingSaid.contains(key)) continue;
                    missingSaid.insert(key, true);
                    functionProblem(f.number,
                                    QStringLiteral("names function %1 in its extern table, but "
                                                   "the file has no function %1%2")
                                        .arg(hex4(callee))
                                        .arg(f.number == id ? QString()
                                                            : QStringLiteral(" (in the call tree "
                                                                             "of function %1)")
                                                                  .arg(hex4(id))));
                    continue;
                }
                inTree.insert(callee, true);
                members.append(c.value());
            }
        }
        if (missing) continue;
        if (members.size() > linkdep::MaxTreeFunctions) {
            functionProblem(id, QStringLiteral("has more than %1 functions in its call tree (the "
                                               "original engine loads at most %1 at once)")
                                    .arg(linkdep::MaxTreeFunctions));
            continue;
        }
        std::sort(members.begin(), members.end(), [&](qsizetype a, qsizetype b) {
            return functions[a].number < functions[b].number;
        });
        qint64 bytes = 0;
        for (qsizetype m : std::as_const(members))
            bytes += functions[m].size;
        if (bytes > linkdep::MaxTreeBytes || bytes == 0xFFFF) {
            functionProblem(id, QStringLiteral("needs %1 bytes for its call tree of %2 functions; "
                                               "the original engine's cache holds at most %3")
                                    .arg(bytes)
                                    .arg(members.size())
                                    .arg(linkdep::MaxTreeBytes));
            continue;
        }
        appendU16(linkdep1, entries);
        appendU16(linkdep1, quint32(bytes));
        for (qsizetype m : std::as_const(members))
            appendU32(linkdep2, functions[m].offset);
        entries += quint32(members.size());

        const Function& caller = functions[it.value()];
        for (const auto& [callee, at] : caller.directCalls)
            if (!inTree.contains(callee))
                result.warnings << QStringLiteral(
                                       "Warning! %1: function %2 calls function %3 directly "
                                       "(0x47 at byte offset %4), but %3 is not in its call "
                                       "tree: the original engine may not have it loaded.")
                                       .arg(fileName, hex4(id), hex4(callee))
                                       .arg(at);
    }
    appendU16(linkdep1, entries);
    appendU16(linkdep1, 0);
    if (!result.problems.isEmpty()) return result;
    if (linkdep1.size() > linkdep::MaxFileBytes)
        problem(QStringLiteral("function numbers up to %1 make LINKDEP1 %2 bytes long; the "
                               "original engine reads at most %3")
                    .arg(hex4(highest))
                    .arg(linkdep1.size())
                    .arg(linkdep::MaxFileBytes));
    if (linkdep2.size() > linkdep::MaxFileBytes || entries > 0xFFFF)
        problem(QStringLiteral("the call trees make LINKDEP2 %1 bytes long; the original engine "
                               "reads at most %2")
                    .arg(linkdep2.size())
                    .arg(linkdep::MaxFileBytes));
    if (!result.problems.isEmpty()) return result;
    result.linkdep1 = linkdep1;
    result.linkdep2 = linkdep2;
    return result;
}

namespace {

// The journal of a set write, in the folder of its files: the name of each
// target, one per line (UTF-8); its new content waits beside it as
// "<name>.lexivo-new".
constexpr char JournalName[] = "lexivo-rebuild.pending";
constexpr char TemporarySuffix[] = ".lexivo-new";

QString systemReason() {
    return QString::fromLocal8Bit(strerror(errno));
}

// Writes bytes to path (created or emptied) and flushes them to the disk; the
// mode of keepModeOf, when it exists, is given to the new file.
bool writeSynced(const QString& path, const QByteArray& bytes, const QString& keepModeOf,
                 QString& reason) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = systemReason();
        return false;
    }
    struct stat info;
    if (::stat(QFile::encodeName(keepModeOf).constData(), &info) == 0 && S_ISREG(info.st_mode))
        (void)::fchmod(fd, info.st_mode & 07777);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            reason = n < 0 ? systemReason() : QStringLiteral("No space left on device");
            ::close(fd);
            return false;
        }
        done += n;
    }
    if (::fsync(fd) != 0) {
        reason = systemReason();
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        reason = systemReason();
        return false;
    }
    return true;
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

QString journalPathFor(const QString& folder) {
    return QDir(folder).filePath(QLatin1String(JournalName));
}

} // namespace

void writeFilesTogether(const QList<PlannedWrite>& writes) {
    if (writes.isEmpty()) return;
    const QString folder = QFileInfo(writes.first().path).absolutePath();
    const QString journal = journalPathFor(folder);
    QStringList temporaries;
    const auto removeTemporaries = [&] {
        for (const QString& t : std::as_const(temporaries))
            QFile::remove(t);
    };
    // The journal names files of its own folder only.
    for (const PlannedWrite& w : writes) {
        if (QFileInfo(w.path).absolutePath() != folder)
            throw Error(QStringLiteral("%1 and %2 are not in one folder and cannot be written "
                                       "together.")
                            .arg(writes.first().path, w.path));
    }
    // Every new content is first on the disk whole, beside its target, so a
    // full disk or a folder that cannot be written is found before anything
    // is replaced.
    QByteArray plan;
    for (const PlannedWrite& w : writes) {
        const QString temporary = w.path + QLatin1String(TemporarySuffix);
        temporaries << temporary;
        QString reason;
        if (!writeSynced(temporary, w.bytes, w.path, reason)) {
            removeTemporaries();
            throw FileError::cannotCreate(w.path, reason);
        }
        plan += QFileInfo(w.path).fileName().toUtf8() + "\r\n";
    }
    // The journal says that the set is complete and is to be put in place: a
    // process killed during the renames below leaves it, and the next start
    // finishes the renames (completePendingWrites), so the files are never
    // left half old and half new.
    try {
        writeFileAtomically(journal, plan);
    } catch (const Error&) {
        removeTemporaries();
        throw;
    }
    syncFolder(folder);
    for (qsizetype i = 0; i < writes.size(); ++i) {
        if (::rename(QFile::encodeName(temporaries[i]).constData(),
                     QFile::encodeName(writes[i].path).constData()) == 0)
            continue;
        // Not killed but refused (a folder in the target's place, a file the
        // system will not replace): the files already replaced get their old
        // bytes back, and nothing is pending any more.
        const QString reason = systemReason();
        for (qsizetype k = i; k < writes.size(); ++k)
            QFile::remove(temporaries[k]);
        for (qsizetype k = 0; k < i; ++k) {
            const PlannedWrite& w = writes[k];
            try {
                if (w.existed)
                    writeFileAtomically(w.path, w.oldBytes);
                else
                    QFile::remove(w.path);
            } catch (...) {
            }
        }
        QFile::remove(journal);
        throw FileError::cannotCreate(writes[i].path, reason);
    }
    syncFolder(folder);
    QFile::remove(journal);
}

QString completePendingWrites(const QString& folder) {
    const QString journal = journalPathFor(folder);
    QByteArray plan;
    if (!readFileIfPresent(journal, plan)) return {};
    QStringList done;
    for (const QByteArray& line : plan.split('\n')) {
        const QByteArray entry = line.endsWith('\r') ? line.chopped(1) : line;
        const QString name = QString::fromUtf8(entry);
        // Only names of files in the journal's own folder.
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
            name == QLatin1String(".."))
            continue;
        const QString target = QDir(folder).filePath(name);
        const QString temporary = target + QLatin1String(TemporarySuffix);
        if (!QFileInfo(temporary).isFile()) continue; // put in place before the stop
        if (::rename(QFile::encodeName(temporary).constData(),
                     QFile::encodeName(target).constData()) != 0)
            throw FileError::cannotCreate(target, systemReason());
        done << QFileInfo(target).fileName();
    }
    syncFolder(folder);
    QFile::remove(journal);
    return QStringLiteral("A rebuild was stopped while it replaced the game files; its files are "
                          "now all in place%1.")
        .arg(done.isEmpty() ? QString()
                            : QStringLiteral(" (%1)").arg(done.join(QStringLiteral(", "))));
}

} // namespace lexivo
