#include "rebuild.h"

#include "relocate.h"
#include "verifier.h"
#include "workspace/cp1252codec.h"
#include "workspace/errors.h"
#include "workspace/gamestring.h"
#include "workspace/translationfile.h"

#include <QSet>
#include <QtEndian>
#include <algorithm>

namespace lexivo {

namespace {

QString compileError(quint32 funcNum) {
    return QStringLiteral("Error compiling function: %1")
        .arg(QString::number(funcNum, 16).toUpper());
}

// The lines read exactly as the strings of the record's data segment.
bool linesMatchStrings(const QByteArray& image, const UsecodeRecord& record,
                       const QList<QByteArray>& lines) {
    const char* data = image.constData() + record.dataStart;
    qsizetype pos = 0;
    for (const QByteArray& line : lines) {
        if (pos >= record.dataSize) return false;
        if (ReadGameString(data, record.dataSize, pos) != line) return false;
    }
    return pos >= record.dataSize;
}

struct LineCountMismatch {
    quint32 funcNum;
    qsizetype lines;
    qsizetype strings;
};

class Rebuilder {
public:
    Rebuilder(const UsecodeFile& file, const RebuildOptions& options)
        : m_image(file.image), m_options(options) {
        QSet<quint16> seen;
        for (const tFunc& func : file.funcs) {
            if (seen.contains(func.FuncNum)) m_shared.insert(func.FuncNum);
            seen.insert(func.FuncNum);
        }
    }

    RebuildOutput run();

private:
    // Builds the new record of a function; false keeps the old one (the reason
    // is in the warnings).
    bool reencode(const UsecodeRecord& record, const QList<QByteArray>& lines,
                  QByteArray& newRecord);
    void finalCheck(const QByteArray& image, qint64 start, const QList<quint32>& numbers) const;

    const QByteArray& m_image;
    const RebuildOptions& m_options;
    RebuildOutput m_out;
    QList<LineCountMismatch> m_mismatches;
    // Function numbers that more than one record carries: one translation
    // file cannot tell which of them it belongs to.
    QSet<quint16> m_shared;
};

bool Rebuilder::reencode(const UsecodeRecord& record, const QList<QByteArray>& lines,
                         QByteArray& newRecord) {
    const quint32 funcNum = record.funcNum;
    const QString name = QString::fromLatin1(hexNum(quint16(funcNum)));
    // Old offsets from the data segment as it is, not from any text form.
    const QList<qint64> oldStarts =
        stringStarts(m_image.constData() + record.dataStart, record.dataSize);
    if (lines.size() != oldStarts.size()) {
        m_mismatches.append({funcNum, lines.size(), oldStarts.size()});
        return false;
    }
    for (const QByteArray& line : lines) {
        if (line.contains('\0')) {
            m_out.warnings.append(QStringLiteral("Function %1: a line of its translation holds a "
                                                 "NUL byte; the function is kept as it is.")
                                      .arg(name));
            return false;
        }
    }

    QByteArray data;
    qsizetype estimate = 0;
    for (const QByteArray& line : lines)
        estimate += line.size() + 1;
    data.reserve(estimate); // the escapes only ever shorten a line
    OffsetMap map;
    map.reserve(lines.size());
    const char* oldData = m_image.constData() + record.dataStart;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        map.append({oldStarts[k], data.size()});
        // A line that still reads as the old string keeps the old bytes: the
        // codec writes accented control letters, 0x92 and 0x96 back as other
        // bytes, and an untouched line must reach the game exactly as it was.
        const qint64 oldEnd = k + 1 < oldStarts.size() ? oldStarts[k + 1] : record.dataSize;
        const qint64 oldSize = oldEnd - oldStarts[k];
        if (StoredStringSize(lines[k]) == oldSize) {
            qsizetype pos = 0;
            const char* old = oldData + oldStarts[k];
            // With the original fonts, a letter an earlier rebuild wrote as
            // its Windows byte goes to its game byte now.
            if (ReadGameString(old, oldSize, pos) == lines[k] &&
                (m_options.encoding == GameTextEncoding::Windows ||
                 !holdsOriginalLetters(old, oldSize) ||
                 firstUnwritableByte(lines[k], m_options.encoding) >= 0)) {
                data.append(old, oldSize);
                continue;
            }
        }
        const qsizetype bad = firstUnwritableByte(lines[k], m_options.encoding);
        if (bad >= 0) {
            m_out.warnings.append(
                QStringLiteral("Function %1, line %2: the letter \"%3\" (0x%4) is not in the "
                               "original game fonts (game-text encoding \"Original releases\"); "
                               "the function is kept as it is.")
                    .arg(name)
                    .arg(k + 1)
                    .arg(Cp1252Codec().decode(lines[k].mid(bad, 1)))
                    .arg(QString::number(quint8(lines[k][bad]), 16).toUpper()));
            m_out.keptForGame.append(m_out.warnings.last());
            return false;
        }
        WriteGameString(data, lines[k], m_options.encoding);
    }

    DecodedCode oldCode;
    const RelocateResult relocated =
        RelocateCode(m_image, record.codeStart(), record.end, map, funcNum, &oldCode);
    if (!relocated.ok) {
        m_out.warnings.append(relocated.error);
        return false;
    }
    const QByteArray& code = relocated.code;

    // The form follows the real new size (never smaller than the estimate of
    // old size plus the change of the data segment); extended stays extended.
    const qint64 standardSize = 2 + data.size() + code.size();
    const bool extended = record.form == RecordForm::Extended || standardSize > 0xFFFE;
    const qint64 newSize = extended ? 4 + data.size() + code.size() : standardSize;
    if (m_options.originalFormsOnly &&
        (extended || code.size() != record.end - record.codeStart())) {
        // Relocation only ever widens, so a longer code segment holds a
        // 32-bit form the old one did not.
        m_out.warnings.append(
            QStringLiteral("Function %1: its translation would need %2, which the original DOS "
                           "engine (LINKDEP files) cannot read; the function is kept as it is. "
                           "Shorten its translation.")
                .arg(name, extended ? QStringLiteral("the extended record form (the record "
                                                     "grows past 65,534 bytes)")
                                    : QStringLiteral("a 32-bit instruction form (a string lies "
                                                     "past byte 65,534 of the data segment or a "
                                                     "jump past 32 KiB)")));
        m_out.keptForGame.append(m_out.warnings.last());
        return false;
    }
    if (newSize > qint64(INT32_MAX) - 8 - record.offset) {
        m_out.warnings.append(
            QStringLiteral("Function %1 grows beyond the size a usecode record can hold; the "
                           "function is kept as it is.")
                .arg(name));
        return false;
    }

    newRecord.clear();
    newRecord.reserve(newSize + 8);
    if (extended) {
        appendU16(newRecord, 0xFFFF);
        appendU16(newRecord, funcNum);
        appendU32(newRecord, quint32(newSize));
        appendU32(newRecord, quint32(data.size()));
    } else {
        appendU16(newRecord, funcNum);
        appendU16(newRecord, quint32(newSize));
        appendU16(newRecord, quint32(data.size()));
    }
    newRecord.append(data);
    newRecord.append(code);

    // Decode the result again before it may enter the image, and compare it
    // with the old code instruction by instruction (the old code's decoding
    // is the one the relocation made).
    VerifiedRecord verified;
    QStringList problems = verifyFunctionRecord(newRecord, verified);
    if (problems.isEmpty()) {
        problems = compareRelocatedCode(
            {m_image.constData() + record.codeStart(), record.end - record.codeStart(), &oldCode,
             &oldStarts},
            {newRecord.constData() + verified.header.codeStart(),
             newRecord.size() - verified.header.codeStart(), &verified.code,
             &verified.stringStarts});
    }
    if (!problems.isEmpty()) {
        m_out.warnings.append(QStringLiteral("Function %1 failed the check of its new code and is "
                                             "kept as it is:\r\n%2")
                                  .arg(name, problems.join(QStringLiteral("\r\n"))));
        return false;
    }
    if (!relocated.warning.isEmpty())
        m_out.warnings.append(relocated.warning + QStringLiteral("\r\nFunction: 0x") + name);
    return true;
}

void Rebuilder::finalCheck(const QByteArray& image, qint64 start,
                           const QList<quint32>& numbers) const {
    qint64 pos = start;
    qsizetype index = 0;
    while (pos < image.size()) {
        UsecodeRecord record;
        QString problem;
        if (!readRecord(image, pos, record, &problem) || index >= numbers.size() ||
            numbers[index] != record.funcNum)
            throw Error(QStringLiteral("The rebuilt usecode failed its final check at byte offset "
                                       "%1; nothing was written.")
                            .arg(pos));
        pos = record.end;
        ++index;
    }
    if (index != numbers.size())
        throw Error(QStringLiteral("The rebuilt usecode failed its final check: %1 records "
                                   "instead of %2; nothing was written.")
                        .arg(index)
                        .arg(numbers.size()));
}

RebuildOutput Rebuilder::run() {
    QByteArray out;
    // Translations run longer than the originals: room for a quarter more
    // saves copying the whole image when it grows.
    out.reserve(m_image.size() + m_image.size() / 4);
    qint64 pos = 0;

    tUsecodeSymbolTable table;
    QString problem;
    switch (readSymbolTable(m_image, table, nullptr, &problem)) {
    case SymbolTableState::Absent:
        break;
    case SymbolTableState::Sound:
        out.append(m_image.constData(), table.FuncStart);
        pos = table.FuncStart;
        break;
    case SymbolTableState::Damaged:
        throw DataError(m_options.fileName + ": " + problem);
    }
    const qint64 functionsStart = pos;

    QList<quint32> numbers;
    QSet<quint16> sharedSeen;
    while (pos < m_image.size()) {
        UsecodeRecord record;
        if (!readRecord(m_image, pos, record, &problem)) throw Error(compileError(record.funcNum));
        if (m_options.progress) m_options.progress(record.funcNum, pos, m_image.size());

        bool written = false;
        const quint16 number = quint16(record.funcNum);
        const bool shared = m_shared.contains(number);
        // Of the records sharing a number, the first one owns the translation
        // file; the later ones are kept without a question.
        const bool firstOfShared = shared && !sharedSeen.contains(number);
        if (shared) sharedSeen.insert(number);
        if (record.form != RecordForm::Fffe && record.dataSize > 0 && m_options.translationFor &&
            (!shared || firstOfShared)) {
            QList<QByteArray> lines;
            bool wanted = false;
            try {
                wanted = m_options.translationFor(number, lines);
            } catch (const NotSingleByteText& e) {
                m_out.warnings.append(e.message());
                m_out.notApplied.append(number);
            } catch (const Error& e) {
                // A translation file that cannot be read (no permission, a
                // folder or a pipe in its place) stops the rebuild; nothing is
                // written. The file and the reason follow the function number
                // on a second line, so the translator knows what to mend.
                throw Error(compileError(record.funcNum) + QLatin1Char('\n') + e.message());
            } catch (const std::exception&) {
                throw Error(compileError(record.funcNum));
            }
            if (wanted) {
                // A translation that reads as the strings already in the image
                // changes nothing: the fast rebuild copies it, and a function
                // kept for any reason loses nothing then.
                const bool same = linesMatchStrings(m_image, record, lines);
                QByteArray newRecord;
                if (shared) {
                    if (!same) m_out.notApplied.append(number);
                } else if (m_options.onlyChanged && same) {
                    // copied below
                } else if (reencode(record, lines, newRecord)) {
                    out.append(newRecord);
                    m_out.reencoded.append(number);
                    written = true;
                } else if (!same) {
                    m_out.notApplied.append(number);
                }
            }
        }
        if (!written) out.append(m_image.constData() + record.offset, record.end - record.offset);
        numbers.append(record.funcNum);
        pos = record.end;
    }

    if (!m_shared.isEmpty()) {
        QList<quint16> numbers(m_shared.begin(), m_shared.end());
        std::sort(numbers.begin(), numbers.end());
        QStringList names;
        for (quint16 n : numbers)
            names << QString::fromLatin1(hexNum(n));
        m_out.warnings.append(QStringLiteral("Warning! Several functions of the usecode file carry "
                                             "the same number, so one translation file cannot "
                                             "tell them apart; they were kept as they were: %1")
                                  .arg(names.join(QStringLiteral(", "))));
    }
    if (!m_mismatches.isEmpty()) {
        QStringList lines;
        lines.append(QStringLiteral("Warning! These functions were kept as they were, because "
                                    "their translation file does not have one line per string:"));
        for (const LineCountMismatch& m : m_mismatches)
            lines.append(QStringLiteral("%1.TXT: %2 lines, %3 strings")
                             .arg(QString::fromLatin1(hexNum(quint16(m.funcNum))))
                             .arg(m.lines)
                             .arg(m.strings));
        m_out.warnings.append(lines.join(QStringLiteral("\r\n")));
    }

    finalCheck(out, functionsStart, numbers);
    m_out.image = out;
    return m_out;
}

} // namespace

RebuildOutput rebuildUsecode(const UsecodeFile& file, const RebuildOptions& options) {
    Rebuilder rebuilder(file, options);
    return rebuilder.run();
}

} // namespace lexivo
