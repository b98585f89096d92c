#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <array>

namespace lexivo {

// The usecode instruction set as far as relocation needs it: for each opcode,
// how many operand bytes follow and which of them are string offsets or jump
// offsets. Jump offsets are signed and relative to the first byte after the
// whole instruction.
enum class OperandKind : quint8 {
    Unknown,    // not an opcode of the instruction set: the code cannot be decoded
    None,       // no operand bytes
    Plain,      // `leading` bytes copied as they are
    Jump,       // `leading` bytes, then a jump offset of `width` bytes
    String,     // a string offset of `width` bytes
    StringPair, // two string offsets of `width` bytes each (function name, parameter names)
};

struct OpcodeInfo {
    OperandKind kind = OperandKind::Unknown;
    quint8 leading = 0;    // bytes before the jump offset (Jump) or all operand bytes (Plain)
    quint8 width = 0;      // 2 or 4: width of a jump or string offset
    quint8 wideOpcode = 0; // the 32-bit form of a 16-bit jump or string reference; 0 if none
    quint8 bytes = 1;      // opcode byte plus operand bytes

    int size() const { return bytes; }
};

// The table is read for every byte of code the rebuild decodes, so the
// lookup is inline.
extern const std::array<OpcodeInfo, 256> OpcodeTable;
inline const OpcodeInfo& opcodeInfo(quint8 opcode) {
    return OpcodeTable[opcode];
}

// Opcodes after which a function may end.
bool isEndOpcode(quint8 opcode);

struct Instruction {
    qint64 start = 0; // offset in the code segment (the code header starts at 0)
    quint8 opcode = 0;
    qint64 jump = 0;             // Jump: the signed offset as stored
    quint32 strings[2] = {0, 0}; // String / StringPair: the offsets as stored
    qint64 end() const { return start + opcodeInfo(opcode).size(); }
    qint64 jumpTarget() const { return end() + jump; }
};

struct DecodedCode {
    qint64 headerSize = 0; // 6 + 2n bytes
    QList<Instruction> instructions;
};

struct DecodeFailure {
    qint64 offset = 0; // in the code segment
    QString what;
};

// Decodes a code segment (header and instructions). Fails on a header or an
// instruction that runs past the end, and on an unknown opcode.
bool decodeCode(const char* code, qint64 size, DecodedCode& out, DecodeFailure* failure);

// Index of the instruction starting at offset, or -1.
qsizetype instructionAt(const DecodedCode& code, qint64 offset);

} // namespace lexivo
