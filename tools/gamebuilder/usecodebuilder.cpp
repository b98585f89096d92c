#include "gamebuilder/usecodebuilder.h"

#include <QHash>
#include <QtEndian>

#include <limits>
#include <stdexcept>

namespace lexivo::gamebuild {

namespace {

void appendU16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendU32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// Operands of the 0x80 forms are 4 bytes wide, those of the plain forms 2.
int operandWidth(quint8 opcode) {
    return (opcode & 0x80) ? 4 : 2;
}

void appendOperand(QByteArray& out, int width, qint64 value, const char* what) {
    if (width == 2) {
        if (value < std::numeric_limits<qint16>::min() || value > 0xFFFF)
            throw std::logic_error(std::string(what) + " does not fit in a 2-byte operand");
        appendU16(out, quint16(value));
    } else {
        appendU32(out, quint32(value));
    }
}

} // namespace

struct CodeAssembler::Item {
    enum Kind { Bytes, RawBytes, StringRef, DebugFunc, Jump, Label, RawOffset };
    Kind kind = Bytes;
    quint8 opcode = 0;
    QByteArray bytes; // operand bytes (Bytes), leading bytes (Jump), the run (RawBytes)
    qint64 first = 0; // string index, or the raw offset
    int second = 0;   // second string index of DebugFunc
    QString label;

    // Encoded length in bytes; fixed for every kind, so label positions are
    // known before any operand is computed.
    int length() const {
        switch (kind) {
        case Bytes:
            return 1 + int(bytes.size());
        case RawBytes:
            return int(bytes.size());
        case StringRef:
        case RawOffset:
            return 1 + operandWidth(opcode);
        case DebugFunc:
            return 1 + 2 * operandWidth(opcode);
        case Jump:
            return 1 + int(bytes.size()) + operandWidth(opcode);
        case Label:
            return 0;
        }
        return 0;
    }
};

CodeAssembler::CodeAssembler(quint16 word0, quint16 word1, QList<quint16> extraWords) {
    appendU16(m_header, word0);
    appendU16(m_header, word1);
    appendU16(m_header, quint16(extraWords.size()));
    for (quint16 word : extraWords)
        appendU16(m_header, word);
}

CodeAssembler::~CodeAssembler() {
    qDeleteAll(m_items);
}

CodeAssembler::CodeAssembler(const CodeAssembler& other) : m_header(other.m_header) {
    m_items.reserve(other.m_items.size());
    for (const Item* item : other.m_items)
        m_items.append(new Item(*item));
}

CodeAssembler& CodeAssembler::operator=(const CodeAssembler& other) {
    if (this == &other) return *this;
    QList<Item*> copies;
    copies.reserve(other.m_items.size());
    for (const Item* item : other.m_items)
        copies.append(new Item(*item));
    qDeleteAll(m_items);
    m_items = copies;
    m_header = other.m_header;
    return *this;
}

CodeAssembler& CodeAssembler::op(quint8 opcode, const QByteArray& operands) {
    auto* item = new Item;
    item->kind = Item::Bytes;
    item->opcode = opcode;
    item->bytes = operands;
    m_items.append(item);
    return *this;
}

CodeAssembler& CodeAssembler::stringRef(quint8 opcode, int stringIndex) {
    auto* item = new Item;
    item->kind = Item::StringRef;
    item->opcode = opcode;
    item->first = stringIndex;
    m_items.append(item);
    return *this;
}

CodeAssembler& CodeAssembler::debugFunc(quint8 opcode, int nameIndex, int paramsIndex) {
    auto* item = new Item;
    item->kind = Item::DebugFunc;
    item->opcode = opcode;
    item->first = nameIndex;
    item->second = paramsIndex;
    m_items.append(item);
    return *this;
}

CodeAssembler& CodeAssembler::rawStringOffset(quint8 opcode, quint32 offset) {
    auto* item = new Item;
    item->kind = Item::RawOffset;
    item->opcode = opcode;
    item->first = offset;
    m_items.append(item);
    return *this;
}

CodeAssembler& CodeAssembler::jump(quint8 opcode, const QString& label, const QByteArray& leading) {
    auto* item = new Item;
    item->kind = Item::Jump;
    item->opcode = opcode;
    item->bytes = leading;
    item->label = label;
    m_items.append(item);
    return *this;
}

CodeAssembler& CodeAssembler::label(const QString& name) {
    auto* item = new Item;
    item->kind = Item::Label;
    item->label = name;
    m_items.append(item);
    return *this;
}

CodeAssembler& CodeAssembler::raw(const QByteArray& bytes) {
    auto* item = new Item;
    item->kind = Item::RawBytes;
    item->bytes = bytes;
    m_items.append(item);
    return *this;
}

QByteArray CodeAssembler::assemble(const QList<quint32>& stringOffsets) const {
    // First pass: the position of every label, counted in the code segment.
    QHash<QString, qint64> labels;
    qint64 position = m_header.size();
    for (const Item* item : m_items) {
        if (item->kind == Item::Label) {
            if (labels.contains(item->label))
                throw std::logic_error("label defined twice: " + item->label.toStdString());
            labels.insert(item->label, position);
        }
        position += item->length();
    }

    auto offsetOf = [&](int index) -> qint64 {
        if (index < 0 || index >= stringOffsets.size())
            throw std::logic_error("string index out of range: " + std::to_string(index));
        return stringOffsets.at(index);
    };

    // Second pass: emit, with every jump offset relative to the byte after the
    // whole jump instruction.
    QByteArray out = m_header;
    out.reserve(int(position));
    for (const Item* item : m_items) {
        switch (item->kind) {
        case Item::Label:
            break;
        case Item::Bytes:
            out.append(char(item->opcode));
            out.append(item->bytes);
            break;
        case Item::RawBytes:
            out.append(item->bytes);
            break;
        case Item::StringRef:
            out.append(char(item->opcode));
            appendOperand(out, operandWidth(item->opcode), offsetOf(int(item->first)),
                          "string offset");
            break;
        case Item::RawOffset:
            out.append(char(item->opcode));
            appendOperand(out, operandWidth(item->opcode), quint32(item->first), "raw offset");
            break;
        case Item::DebugFunc:
            out.append(char(item->opcode));
            appendOperand(out, operandWidth(item->opcode), offsetOf(int(item->first)),
                          "string offset");
            appendOperand(out, operandWidth(item->opcode), offsetOf(item->second), "string offset");
            break;
        case Item::Jump: {
            const auto target = labels.constFind(item->label);
            if (target == labels.constEnd())
                throw std::logic_error("jump to unknown label: " + item->label.toStdString());
            const qint64 end = out.size() + item->length();
            const qint64 offset = *target - end;
            const int width = operandWidth(item->opcode);
            if (width == 2 && (offset < std::numeric_limits<qint16>::min() ||
                               offset > std::numeric_limits<qint16>::max()))
                throw std::logic_error("jump to " + item->label.toStdString() +
                                       " does not fit in a 2-byte offset");
            out.append(char(item->opcode));
            out.append(item->bytes);
            appendOperand(out, width, offset, "jump offset");
            break;
        }
        }
    }
    return out;
}

QList<quint32> stringOffsets(const QList<QByteArray>& gameStrings) {
    QList<quint32> offsets;
    offsets.reserve(gameStrings.size());
    quint32 offset = 0;
    for (const QByteArray& s : gameStrings) {
        offsets.append(offset);
        offset += quint32(s.size()) + 1;
    }
    return offsets;
}

QByteArray dataSegment(const QList<QByteArray>& gameStrings) {
    qsizetype total = 0;
    for (const QByteArray& s : gameStrings)
        total += s.size() + 1;
    QByteArray data;
    data.reserve(total);
    for (const QByteArray& s : gameStrings) {
        data.append(s);
        data.append('\0');
    }
    return data;
}

QByteArray functionRecord(const FunctionSpec& function) {
    const QByteArray data = dataSegment(function.strings);
    const QByteArray code = function.code.assemble(stringOffsets(function.strings));
    QByteArray record;
    if (function.extended) {
        const qint64 size = 4 + data.size() + code.size();
        record.reserve(12 + data.size() + code.size());
        appendU16(record, 0xFFFF);
        appendU16(record, function.number);
        appendU32(record, quint32(size));
        appendU32(record, quint32(data.size()));
    } else {
        if (function.number == 0xFFFF)
            throw std::logic_error("function number 0xFFFF needs the extended form");
        const qint64 size = 2 + data.size() + code.size();
        if (size > 0xFFFF)
            throw std::logic_error("function " + std::to_string(function.number) +
                                   " is too large for the standard form");
        record.reserve(6 + data.size() + code.size());
        appendU16(record, function.number);
        appendU16(record, quint16(size));
        appendU16(record, quint16(data.size()));
    }
    record.append(data);
    record.append(code);
    return record;
}

QByteArray fffeRecord(quint32 id, const QList<QByteArray>& strings, const CodeAssembler& code) {
    const QByteArray data = dataSegment(strings);
    const QByteArray codeBytes = code.assemble(stringOffsets(strings));
    QByteArray record;
    appendU16(record, 0xFFFE);
    appendU32(record, id);
    appendU32(record, quint32(4 + data.size() + codeBytes.size()));
    appendU32(record, quint32(data.size()));
    record.append(data);
    record.append(codeBytes);
    return record;
}

namespace {

void appendSymbolStart(QByteArray& out, const SymbolSpec& symbol) {
    out.append(symbol.name);
    out.append('\0');
    appendU16(out, symbol.kind);
    appendU32(out, symbol.value);
}

} // namespace

QByteArray symbolTableHeader(const QList<SymbolSpec>& symbols, quint32 reserved) {
    QByteArray out;
    appendU32(out, 0xFFFFFFFF);
    out.append("YSCU", 4);
    appendU32(out, quint32(symbols.size()));
    appendU32(out, reserved);
    for (const SymbolSpec& symbol : symbols) {
        appendSymbolStart(out, symbol);
        if (symbol.kind == 4) {
            appendU32(out, quint32(symbol.members.size()));
            appendU32(out, 0);
            for (const SymbolSpec& member : symbol.members) {
                appendSymbolStart(out, member);
                if (member.kind == 6) appendU32(out, member.extra);
            }
            appendU16(out, quint16(symbol.list.size()));
            for (quint16 word : symbol.list)
                appendU16(out, word);
            appendU16(out, 0);
        } else if (symbol.kind == 6) {
            appendU32(out, symbol.extra);
        }
    }
    return out;
}

CodeAssembler simpleConversation(int stringCount) {
    const QByteArray local0("\x00\x00", 2);
    CodeAssembler code(1, 0);
    code.op(0x1F, QByteArray("\x02\x00", 2)) // push 2
        .op(0x12, local0)                    // pop into the counter
        .label("again");
    for (int i = 0; i < stringCount; ++i)
        code.stringRef(0x1D, i).op(0x33); // push the string, say it
    code.op(0x21, local0)                 // push counter
        .op(0x1F, QByteArray("\x01\x00", 2))
        .op(0x0A)         // subtract
        .op(0x12, local0) // store counter
        .op(0x21, local0)
        .jump(0x05, "done")  // leave when the counter reached zero
        .jump(0x06, "again") // else go round once more
        .label("done")
        .op(0x25);
    return code;
}

} // namespace lexivo::gamebuild
