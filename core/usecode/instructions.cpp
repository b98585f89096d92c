#include "instructions.h"

#include <QtEndian>
#include <algorithm>
#include <array>

namespace lexivo {

namespace {

constexpr quint8 sizeOf(const OpcodeInfo& info) {
    switch (info.kind) {
    case OperandKind::Plain:
        return quint8(1 + info.leading);
    case OperandKind::Jump:
        return quint8(1 + info.leading + info.width);
    case OperandKind::String:
        return quint8(1 + info.width);
    case OperandKind::StringPair:
        return quint8(1 + 2 * info.width);
    case OperandKind::None:
    case OperandKind::Unknown:
        break;
    }
    return 1;
}

using Table = std::array<OpcodeInfo, 256>;

constexpr Table buildTable() {
    Table t{};
    auto none = [&](std::initializer_list<int> ops) {
        for (int op : ops)
            t[op] = {OperandKind::None, 0, 0, 0};
    };
    auto plain = [&](int bytes, std::initializer_list<int> ops) {
        for (int op : ops)
            t[op] = {OperandKind::Plain, quint8(bytes), 0, 0};
    };
    auto jump = [&](int op, int leading, int width, int wide) {
        t[op] = {OperandKind::Jump, quint8(leading), quint8(width), quint8(wide)};
    };

    // Opcodes without operands of the original games.
    for (int op = 0x09; op <= 0x10; ++op)
        none({op});
    for (int op = 0x16; op <= 0x1A; ++op)
        none({op});
    none({0x13, 0x14, 0x22, 0x25, 0x2C, 0x2D, 0x2E, 0x30, 0x32, 0x33, 0x3E, 0x3F, 0x40, 0x48, 0x4A,
          0x4B});
    // ... and of the script compiler of game modifications.
    none({0x53, 0x59, 0x60, 0x62, 0xAE, 0xBF, 0xC2, 0xC3, 0xD3});

    plain(2, {0x12, 0x1E, 0x1F, 0x21, 0x24, 0x26, 0x2F, 0x42, 0x43, 0x46, 0x47, 0x4C, 0x52});
    plain(2, {0x50, 0x51, 0x54, 0x55, 0x56, 0x58, 0x5A, 0x5B, 0x5D, 0x5E});
    plain(3, {0x38, 0x39});
    plain(1, {0x44, 0xD4});
    plain(4, {0x9F, 0x57, 0xA4, 0xC7});

    // Jumps; the 16-bit forms widen to the listed 32-bit forms (opcode + 0x80).
    jump(0x02, 8, 2, 0x82);
    jump(0x04, 0, 2, 0x84);
    jump(0x05, 0, 2, 0x85);
    jump(0x06, 0, 2, 0x86);
    jump(0x07, 2, 2, 0x87);
    jump(0x31, 2, 2, 0xB1);
    jump(0x82, 8, 4, 0);
    jump(0x84, 0, 4, 0);
    jump(0x85, 0, 4, 0);
    jump(0x86, 0, 4, 0);
    jump(0x87, 2, 4, 0);
    jump(0xB1, 2, 4, 0);
    // Compiler-only jumps: the engine's interpreter reads 0xDC, 0xDF and 0xE1
    // as the 32-bit forms of 0x5C, 0x5F and 0x61 (the same leading operands,
    // then a 4-byte jump), so they widen like the others.
    jump(0x5C, 8, 2, 0xDC);
    jump(0x5F, 8, 2, 0xDF);
    jump(0x61, 0, 2, 0xE1);
    jump(0xDC, 8, 4, 0);
    jump(0xDF, 8, 4, 0);
    jump(0xE1, 0, 4, 0);

    t[0x1C] = {OperandKind::String, 0, 2, 0x9C};
    t[0x1D] = {OperandKind::String, 0, 2, 0x9D};
    t[0x9C] = {OperandKind::String, 0, 4, 0};
    t[0x9D] = {OperandKind::String, 0, 4, 0};
    t[0x4D] = {OperandKind::StringPair, 0, 2, 0xCD};
    t[0xCD] = {OperandKind::StringPair, 0, 4, 0};
    for (OpcodeInfo& info : t)
        info.bytes = sizeOf(info);
    return t;
}

qint64 readOperand(const char* p, int width) {
    return width == 2 ? qint64(qFromLittleEndian<quint16>(p))
                      : qint64(qFromLittleEndian<quint32>(p));
}

} // namespace

constinit const std::array<OpcodeInfo, 256> OpcodeTable = buildTable();

bool isEndOpcode(quint8 opcode) {
    return opcode == 0x25 || opcode == 0x32 || opcode == 0x2C || opcode == 0x2D;
}

bool decodeCode(const char* code, qint64 size, DecodedCode& out, DecodeFailure* failure) {
    out = DecodedCode();
    auto fail = [&](qint64 offset, const QString& what) {
        if (failure) *failure = {offset, what};
        return false;
    };
    if (size < 6) return fail(0, QStringLiteral("the code header runs past the end of the record"));
    const qint64 words = qFromLittleEndian<quint16>(code + 4);
    out.headerSize = 6 + 2 * words;
    if (out.headerSize > size)
        return fail(0, QStringLiteral("the code header runs past the end of the record"));

    qint64 pos = out.headerSize;
    // Instructions take three bytes on average. The list is sized for that
    // once and written in place (doubled in the rare code that needs more),
    // then cut to the real count: appending one by one costs more than the
    // decoding itself.
    qsizetype count = 0;
    out.instructions.resize((size - pos) / 3 + 16);
    Instruction* list = out.instructions.data();
    const auto* bytes = reinterpret_cast<const unsigned char*>(code);
    while (pos < size) {
        if (count == out.instructions.size()) {
            out.instructions.resize(2 * count);
            list = out.instructions.data();
        }
        Instruction& ins = list[count];
        ins.start = pos;
        ins.opcode = bytes[pos];
        const OpcodeInfo& info = opcodeInfo(ins.opcode);
        if (info.kind == OperandKind::Unknown) {
            out.instructions.clear();
            return fail(pos, QStringLiteral("unknown opcode 0x%1")
                                 .arg(QString::number(ins.opcode, 16).toUpper()));
        }
        if (pos + info.size() > size) {
            out.instructions.clear();
            return fail(pos, QStringLiteral("instruction 0x%1 runs past the end of the record")
                                 .arg(QString::number(ins.opcode, 16).toUpper()));
        }
        const char* operands = code + pos + 1;
        switch (info.kind) {
        case OperandKind::Jump:
            ins.jump = info.width == 2 ? qint64(qFromLittleEndian<qint16>(operands + info.leading))
                                       : qint64(qFromLittleEndian<qint32>(operands + info.leading));
            break;
        case OperandKind::String:
            ins.strings[0] = quint32(readOperand(operands, info.width));
            break;
        case OperandKind::StringPair:
            ins.strings[0] = quint32(readOperand(operands, info.width));
            ins.strings[1] = quint32(readOperand(operands + info.width, info.width));
            break;
        default:
            break;
        }
        ++count;
        pos += info.size();
    }
    out.instructions.resize(count);
    return true;
}

qsizetype instructionAt(const DecodedCode& code, qint64 offset) {
    const auto& list = code.instructions;
    auto it = std::lower_bound(list.begin(), list.end(), offset,
                               [](const Instruction& i, qint64 o) { return i.start < o; });
    if (it == list.end() || it->start != offset) return -1;
    return it - list.begin();
}

} // namespace lexivo
