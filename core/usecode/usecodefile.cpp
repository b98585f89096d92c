#include "usecodefile.h"

#include "workspace/gamestring.h"

#include <QHash>
#include <QtEndian>

namespace lexivo {

namespace {

// Bounds-checked little-endian reader over the image. Every read checks the
// bytes present first; a failed read leaves the position where it was.
class Reader {
public:
    Reader(const QByteArray& data, qint64 pos) : m_data(data), m_pos(pos) {}

    qint64 pos() const { return m_pos; }
    qint64 remaining() const { return m_data.size() - m_pos; }

    bool u16(quint32& value) {
        if (remaining() < 2) return false;
        value = qFromLittleEndian<quint16>(m_data.constData() + m_pos);
        m_pos += 2;
        return true;
    }
    bool u32(quint32& value) {
        if (remaining() < 4) return false;
        value = qFromLittleEndian<quint32>(m_data.constData() + m_pos);
        m_pos += 4;
        return true;
    }
    bool skip(qint64 bytes) {
        if (bytes < 0 || remaining() < bytes) return false;
        m_pos += bytes;
        return true;
    }
    // A game string that must end with its NUL inside the data.
    bool gameString(QByteArray& text) {
        const char* begin = m_data.constData() + m_pos;
        if (remaining() <= 0 || !memchr(begin, 0, size_t(remaining()))) return false;
        qsizetype p = m_pos;
        text = ReadGameString(m_data, p);
        m_pos = p;
        return true;
    }

private:
    const QByteArray& m_data;
    qint64 m_pos;
};

// The smallest symbol entry: an empty name (its NUL), kind and value.
constexpr qint64 MinSymbolBytes = 1 + 2 + 4;

QByteArray descriptionLine(quint32 value, const QByteArray& name) {
    return QByteArray::number(value, 16).toUpper().rightJustified(4, '0') + '=' + name;
}

} // namespace

QByteArray hexNum(quint16 funcNum) {
    return QByteArray::number(funcNum, 16).toUpper().rightJustified(4, '0');
}

bool readRecord(const QByteArray& image, qint64 pos, UsecodeRecord& record, QString* problem) {
    record = UsecodeRecord();
    record.offset = pos;
    auto fail = [&](const QString& what) {
        if (problem) *problem = QStringLiteral("record at byte offset %1 %2").arg(pos).arg(what);
        return false;
    };
    const QString pastEnd = QStringLiteral("runs past the end of the file");
    Reader in(image, pos);
    quint32 first = 0;
    if (!in.u16(first)) return fail(pastEnd);
    quint32 size = 0;
    quint32 dataSize = 0;
    qint64 sizeFieldEnd = 0;
    qint64 dataFieldWidth = 0;
    if (first == 0xFFFF || first == 0xFFFE) {
        record.form = first == 0xFFFF ? RecordForm::Extended : RecordForm::Fffe;
        quint32 number = 0;
        const bool numberRead =
            record.form == RecordForm::Extended ? in.u16(number) : in.u32(number);
        if (!numberRead) return fail(pastEnd);
        record.funcNum = number;
        if (!in.u32(size)) return fail(pastEnd);
        sizeFieldEnd = in.pos();
        if (!in.u32(dataSize)) return fail(pastEnd);
        dataFieldWidth = 4;
    } else {
        record.form = RecordForm::Standard;
        record.funcNum = first;
        if (!in.u16(size)) return fail(pastEnd);
        sizeFieldEnd = in.pos();
        if (!in.u16(dataSize)) return fail(pastEnd);
        dataFieldWidth = 2;
    }
    record.size = size;
    record.dataSize = dataSize;
    record.dataStart = in.pos();
    record.end = sizeFieldEnd + qint64(size);
    if (qint64(size) < dataFieldWidth)
        return fail(QStringLiteral("has a size field smaller than its own fields"));
    if (record.end > image.size()) return fail(pastEnd);
    if (qint64(dataSize) > qint64(size) - dataFieldWidth)
        return fail(QStringLiteral("has a data segment larger than the record"));
    // tFunc keeps sizes and offsets as signed 32-bit numbers.
    if (record.end > qint64(INT32_MAX))
        return fail(QStringLiteral("lies beyond the 2 GiB a usecode file can address"));
    return true;
}

QList<qint64> stringStarts(const char* data, qint64 size) {
    QList<qint64> starts;
    qint64 pos = 0;
    while (pos < size) {
        starts.append(pos);
        const void* nul = memchr(data + pos, 0, size_t(size - pos));
        if (!nul) break;
        pos = static_cast<const char*>(nul) - data + 1;
    }
    return starts;
}

SymbolTableState readSymbolTable(const QByteArray& image, tUsecodeSymbolTable& table,
                                 QList<QByteArray>* descriptionLines, QString* problem) {
    table = tUsecodeSymbolTable();
    if (image.size() < 8 || qFromLittleEndian<quint32>(image.constData()) != 0xFFFFFFFFu ||
        memcmp(image.constData() + 4, "YSCU", 4) != 0)
        return SymbolTableState::Absent;

    auto fail = [&](const QString& what) {
        if (problem) *problem = what;
        return SymbolTableState::Damaged;
    };
    Reader in(image, 8);
    quint32 count = 0;
    quint32 reserved = 0;
    if (!in.u32(count) || !in.u32(reserved))
        return fail(QStringLiteral("the symbol-table header at byte offset 0 is truncated"));
    table.Count = count;
    table.Reserved = reserved;
    if (qint64(count) * MinSymbolBytes > in.remaining())
        return fail(QStringLiteral("the symbol count %1 at byte offset 8 is larger than the "
                                   "file can hold")
                        .arg(count));

    for (quint32 i = 0; i < count; ++i) {
        const qint64 entryStart = in.pos();
        auto truncated = [&]() {
            return fail(QStringLiteral("symbol %1 at byte offset %2 runs past the end of the file")
                            .arg(i)
                            .arg(entryStart));
        };
        tUsecodeSymbol symbol;
        quint32 kind = 0;
        if (!in.gameString(symbol.Name) || !in.u16(kind) || !in.u32(symbol.Value))
            return truncated();
        symbol.Kind = quint16(kind);
        QList<QByteArray> lines;
        if (symbol.Kind == 4) {
            quint32 memberCount = 0;
            if (!in.u32(memberCount) || !in.skip(4)) return truncated();
            if (qint64(memberCount) * MinSymbolBytes > in.remaining())
                return fail(QStringLiteral("symbol %1 at byte offset %2 has a member count %3 "
                                           "larger than the file can hold")
                                .arg(i)
                                .arg(entryStart)
                                .arg(memberCount));
            for (quint32 m = 0; m < memberCount; ++m) {
                QByteArray name;
                quint32 memberKind = 0;
                quint32 value = 0;
                if (!in.gameString(name) || !in.u16(memberKind) || !in.u32(value))
                    return truncated();
                if (memberKind == 6 && !in.skip(4)) return truncated();
                lines.append(descriptionLine(value, name));
            }
            quint32 listCount = 0;
            if (!in.u16(listCount) || !in.skip(qint64(listCount) * 2) || !in.skip(2))
                return truncated();
        } else {
            if (symbol.Kind == 6 && !in.u32(symbol.Extra)) return truncated();
            lines.append(descriptionLine(symbol.Value, symbol.Name));
        }
        table.Symbols.append(symbol);
        if (descriptionLines) descriptionLines->append(lines);
    }
    table.FuncStart = qint32(in.pos());
    return SymbolTableState::Sound;
}

UsecodeFile parseUsecode(QByteArray image, const QString& fileName) {
    UsecodeFile file;
    file.image = std::move(image);
    const QByteArray& data = file.image;
    auto report = [&](const QString& what) { file.problems.append(fileName + ": " + what); };
    qsizetype records = 0;

    qint64 pos = 0;
    QString problem;
    switch (readSymbolTable(data, file.symbols, &file.symbolDescriptionLines, &problem)) {
    case SymbolTableState::Absent:
        break;
    case SymbolTableState::Sound:
        file.hasSymbolTable = true;
        pos = file.symbols.FuncStart;
        break;
    case SymbolTableState::Damaged:
        // Where the records begin is unknown: nothing after the table is read.
        file.hasSymbolTable = true;
        report(problem);
        return file;
    }

    while (pos < data.size()) {
        UsecodeRecord record;
        if (!readRecord(data, pos, record, &problem)) {
            report(problem);
            break;
        }
        ++records;
        if (record.form != RecordForm::Fffe && record.dataSize > 0) {
            tFunc func;
            func.FuncNum = quint16(record.funcNum);
            func.Size = qint32(record.size);
            func.Offset = qint32(record.offset);
            func.HexNum = hexNum(func.FuncNum);
            func.Extended = record.form == RecordForm::Extended;
            file.funcs.append(func);
        }
        pos = record.end;
    }
    // An empty file (or a symbol table alone) is no game: a pack of the
    // originals made from it would be kept for good.
    if (records == 0 && file.problems.isEmpty())
        report(QStringLiteral("the file holds no function record (%1 bytes)").arg(data.size()));
    // Translation files, comments and the status grid name a function by its
    // number: two records with one number would share all of them.
    QHash<quint16, qint32> firstOffset;
    for (const tFunc& func : std::as_const(file.funcs)) {
        const auto it = firstOffset.constFind(func.FuncNum);
        if (it == firstOffset.constEnd()) {
            firstOffset.insert(func.FuncNum, func.Offset);
            continue;
        }
        file.notices.append(fileName +
                            QStringLiteral(": the function number %1 of the record at byte offset "
                                           "%2 is already used by the record at byte offset %3; "
                                           "the rebuild keeps both as they are")
                                .arg(QString::fromLatin1(func.HexNum))
                                .arg(func.Offset)
                                .arg(it.value()));
    }
    return file;
}

QByteArray recordBytes(const QByteArray& image, const tFunc& func) {
    // The size field counts the bytes after itself: 4 header bytes before it
    // in the standard form (number, size), 8 in the extended form.
    const qint64 header = func.Extended ? 8 : 4;
    return image.mid(func.Offset, header + func.Size);
}

DataSegment dataSegmentOf(const QByteArray& image, const tFunc& func) {
    DataSegment segment;
    const qint64 field = qint64(func.Offset) + (func.Extended ? 8 : 4);
    const qint64 width = func.Extended ? 4 : 2;
    if (func.Offset < 0 || field + width > image.size()) return segment;
    segment.start = field + width;
    const qint64 size = func.Extended
                            ? qint64(qFromLittleEndian<quint32>(image.constData() + field))
                            : qint64(qFromLittleEndian<quint16>(image.constData() + field));
    // Never beyond the image, whatever the field says.
    segment.size = qMin(size, image.size() - segment.start);
    return segment;
}

QList<QByteArray> extractStrings(const QByteArray& image, const tFunc& func) {
    QList<QByteArray> strings;
    const DataSegment segment = dataSegmentOf(image, func);
    const qsizetype end = segment.start + segment.size;
    qsizetype pos = segment.start;
    // Reading is bounded by the segment: a last string without its NUL ends
    // at the segment's end instead of running into the code.
    while (pos < end)
        strings.append(ReadGameString(image.constData(), end, pos));
    return strings;
}

namespace {
qsizetype findDescription(const QList<QByteArray>& lines, const QByteArray& hexNum) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype eq = line.indexOf('=');
        if (eq < 0) continue;
        if (line.left(eq).compare(hexNum, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}
} // namespace

QByteArray lookupDescription(const QList<QByteArray>& funclistLines, const QByteArray& hexNum) {
    const qsizetype i = findDescription(funclistLines, hexNum);
    if (i < 0) return {};
    const QByteArray& line = funclistLines[i];
    return line.mid(line.indexOf('=') + 1);
}

void setDescription(QList<QByteArray>& funclistLines, const QByteArray& hexNum,
                    const QByteArray& description) {
    const QByteArray line = hexNum + '=' + description;
    const qsizetype i = findDescription(funclistLines, hexNum);
    if (i < 0)
        funclistLines.append(line);
    else
        funclistLines[i] = line;
}

} // namespace lexivo
