#include "usecodedisasm.h"

namespace lexivo::testsupport {

namespace {

quint32 le(const QByteArray& b, qint64 pos, int width) {
    quint32 v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[pos + i]);
    return v;
}

enum Kind { Bad, Fixed, Jmp, Str, StrPair };
struct Shape {
    Kind kind = Bad;
    int fixed = 0; // fixed operand bytes (before the jump offset)
    int width = 0; // jump / string operand width
};

// The opcode set written out opcode by opcode.
Shape shapeOf(quint8 op) {
    switch (op) {
    case 0x02:
        return {Jmp, 8, 2};
    case 0x82:
        return {Jmp, 8, 4};
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x61:
        return {Jmp, 0, 2};
    case 0x84:
    case 0x85:
    case 0x86:
    case 0xE1:
        return {Jmp, 0, 4};
    case 0x07:
    case 0x31:
        return {Jmp, 2, 2};
    case 0x87:
    case 0xB1:
        return {Jmp, 2, 4};
    case 0x5C:
    case 0x5F:
        return {Jmp, 8, 2};
    case 0xDC:
    case 0xDF:
        return {Jmp, 8, 4};
    case 0x1C:
    case 0x1D:
        return {Str, 0, 2};
    case 0x9C:
    case 0x9D:
        return {Str, 0, 4};
    case 0x4D:
        return {StrPair, 0, 2};
    case 0xCD:
        return {StrPair, 0, 4};
    case 0x12:
    case 0x1E:
    case 0x1F:
    case 0x21:
    case 0x24:
    case 0x26:
    case 0x2F:
    case 0x42:
    case 0x43:
    case 0x46:
    case 0x47:
    case 0x4C:
    case 0x52:
    case 0x50:
    case 0x51:
    case 0x54:
    case 0x55:
    case 0x56:
    case 0x58:
    case 0x5A:
    case 0x5B:
    case 0x5D:
    case 0x5E:
        return {Fixed, 2, 0};
    case 0x38:
    case 0x39:
        return {Fixed, 3, 0};
    case 0x44:
    case 0xD4:
        return {Fixed, 1, 0};
    case 0x9F:
    case 0x57:
    case 0xA4:
    case 0xC7:
        return {Fixed, 4, 0};
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
    case 0x10:
    case 0x13:
    case 0x14:
    case 0x16:
    case 0x17:
    case 0x18:
    case 0x19:
    case 0x1A:
    case 0x22:
    case 0x25:
    case 0x2C:
    case 0x2D:
    case 0x2E:
    case 0x30:
    case 0x32:
    case 0x33:
    case 0x3E:
    case 0x3F:
    case 0x40:
    case 0x48:
    case 0x4A:
    case 0x4B:
    case 0x53:
    case 0x59:
    case 0x60:
    case 0x62:
    case 0xAE:
    case 0xBF:
    case 0xC2:
    case 0xC3:
    case 0xD3:
        return {Fixed, 0, 0};
    default:
        return {};
    }
}

} // namespace

int Disassembly::indexAt(qint64 offset) const {
    for (int i = 0; i < instructions.size(); ++i)
        if (instructions[i].start == offset) return i;
    return -1;
}

Disassembly disassemble(const QByteArray& code) {
    Disassembly d;
    if (code.size() < 6) {
        d.error = "header";
        return d;
    }
    const qint64 headerSize = 6 + 2 * qint64(le(code, 4, 2));
    if (headerSize > code.size()) {
        d.error = "header";
        return d;
    }
    d.header = code.left(headerSize);
    qint64 pos = headerSize;
    while (pos < code.size()) {
        DisInstruction ins;
        ins.start = pos;
        ins.opcode = quint8(code[pos]);
        const Shape s = shapeOf(ins.opcode);
        if (s.kind == Bad) {
            d.error = QString("unknown opcode %1 at %2").arg(ins.opcode, 0, 16).arg(pos);
            return d;
        }
        const int operandBytes = s.kind == Fixed ? s.fixed
                                 : s.kind == Jmp ? s.fixed + s.width
                                 : s.kind == Str ? s.width
                                                 : 2 * s.width;
        const qint64 end = pos + 1 + operandBytes;
        if (end > code.size()) {
            d.error = QString("instruction at %1 runs past the end").arg(pos);
            return d;
        }
        ins.fixed = code.mid(pos + 1, s.fixed);
        if (s.kind == Jmp) {
            const quint32 raw = le(code, pos + 1 + s.fixed, s.width);
            const qint64 rel = s.width == 2 ? qint64(qint16(quint16(raw))) : qint64(qint32(raw));
            ins.target = end + rel;
        } else if (s.kind == Str) {
            ins.strings.append(le(code, pos + 1, s.width));
        } else if (s.kind == StrPair) {
            ins.strings.append(le(code, pos + 1, s.width));
            ins.strings.append(le(code, pos + 1 + s.width, s.width));
        }
        d.instructions.append(ins);
        pos = end;
    }
    for (const DisInstruction& ins : d.instructions)
        if (ins.target != -1 && d.indexAt(ins.target) < 0) {
            d.error = QString("jump at %1 lands on %2, no instruction start")
                          .arg(ins.start)
                          .arg(ins.target);
            return d;
        }
    return d;
}

QList<DisRecord> splitRecords(const QByteArray& image, qint64 start, QString* error) {
    QList<DisRecord> records;
    qint64 pos = start;
    auto stop = [&](const QString& what) {
        if (error) *error = what;
        return records;
    };
    while (pos < image.size()) {
        DisRecord r;
        r.offset = pos;
        if (pos + 2 > image.size()) return stop("short");
        const quint32 first = le(image, pos, 2);
        qint64 sizeEnd = 0, dataStart = 0, size = 0, dataSize = 0;
        if (first == 0xFFFF) {
            if (pos + 12 > image.size()) return stop("short");
            r.form = 1;
            r.number = le(image, pos + 2, 2);
            size = le(image, pos + 4, 4);
            sizeEnd = pos + 8;
            dataSize = le(image, pos + 8, 4);
            dataStart = pos + 12;
        } else if (first == 0xFFFE) {
            if (pos + 14 > image.size()) return stop("short");
            r.form = 2;
            r.number = le(image, pos + 2, 4);
            size = le(image, pos + 6, 4);
            sizeEnd = pos + 10;
            dataSize = le(image, pos + 10, 4);
            dataStart = pos + 14;
        } else {
            if (pos + 6 > image.size()) return stop("short");
            r.number = first;
            size = le(image, pos + 2, 2);
            sizeEnd = pos + 4;
            dataSize = le(image, pos + 4, 2);
            dataStart = pos + 6;
        }
        const qint64 end = sizeEnd + size;
        if (end > image.size() || dataStart + dataSize > end || end < dataStart)
            return stop(QString("record at %1 is damaged").arg(pos));
        r.bytes = image.mid(pos, end - pos);
        r.data = image.mid(dataStart, dataSize);
        r.code = image.mid(dataStart + dataSize, end - dataStart - dataSize);
        qint64 s = 0;
        while (s < r.data.size()) {
            r.starts.append(quint32(s));
            qint64 nul = r.data.indexOf('\0', s);
            if (nul < 0) nul = r.data.size();
            r.strings.append(r.data.mid(s, nul - s));
            s = nul + 1;
        }
        records.append(r);
        pos = end;
    }
    return records;
}

QString compareFunctions(const DisRecord& before, const DisRecord& after) {
    const Disassembly a = disassemble(before.code);
    const Disassembly b = disassemble(after.code);
    if (!a.error.isEmpty()) return "old code: " + a.error;
    if (!b.error.isEmpty()) return "new code: " + b.error;
    if (a.header != b.header) return "code header differs";
    if (a.instructions.size() != b.instructions.size())
        return QString("%1 instructions became %2")
            .arg(a.instructions.size())
            .arg(b.instructions.size());
    if (before.starts.size() != after.starts.size())
        return QString("%1 strings became %2").arg(before.starts.size()).arg(after.starts.size());
    for (int i = 0; i < a.instructions.size(); ++i) {
        const DisInstruction& x = a.instructions[i];
        const DisInstruction& y = b.instructions[i];
        const QString where = QString("instruction %1 (old offset %2): ").arg(i).arg(x.start);
        if (x.opcode != y.opcode && !(x.opcode < 0x80 && y.opcode == x.opcode + 0x80))
            return where + QString("opcode %1 became %2").arg(x.opcode, 0, 16).arg(y.opcode, 0, 16);
        if (x.fixed != y.fixed) return where + "operand bytes differ";
        if ((x.target < 0) != (y.target < 0) ||
            (x.target >= 0 && a.indexAt(x.target) != b.indexAt(y.target)))
            return where + "jump lands elsewhere";
        if (x.strings.size() != y.strings.size()) return where + "string operand count differs";
        for (int k = 0; k < x.strings.size(); ++k) {
            const int index = before.starts.indexOf(x.strings[k]);
            if (index < 0 || after.starts.value(index, 0xFFFFFFFFu) != y.strings[k])
                return where + "string operand names another string";
        }
    }
    return {};
}

} // namespace lexivo::testsupport
