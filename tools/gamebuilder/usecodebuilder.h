#pragma once

// Builders for usecode files: the sample-game generator, the tests and the
// benchmarks make every game file they need from these, so no real game file
// is ever needed.

#include <QByteArray>
#include <QList>
#include <QString>

namespace lexivo::gamebuild {

// A small assembler for a function's code segment. Jumps name labels and are
// encoded with signed offsets relative to the first byte after the whole jump
// instruction, as the game engine reads them. String operands name a string by
// its index in the function; assemble() turns the index into the string's
// byte offset in the data segment.
class CodeAssembler {
public:
    // Code header: two u16 words, then the count n and n u16 words.
    explicit CodeAssembler(quint16 word0 = 0, quint16 word1 = 0, QList<quint16> extraWords = {});

    // Any opcode with its operand bytes, copied as given.
    CodeAssembler& op(quint8 opcode, const QByteArray& operands = {});
    // 0x1C / 0x1D (2-byte offset) or 0x9C / 0x9D (4-byte offset) naming string index.
    CodeAssembler& stringRef(quint8 opcode, int stringIndex);
    // 0x4D (two 2-byte offsets) / 0xCD (two 4-byte offsets) naming two strings.
    CodeAssembler& debugFunc(quint8 opcode, int nameIndex, int paramsIndex);
    // A 2-byte operand holding a raw data offset (for damaged-code tests).
    CodeAssembler& rawStringOffset(quint8 opcode, quint32 offset);
    // A jump instruction: opcode, leading operand bytes, then the jump offset
    // (2 bytes for opcodes below 0x80, 4 bytes for the 0x80 forms).
    CodeAssembler& jump(quint8 opcode, const QString& label, const QByteArray& leading = {});
    CodeAssembler& label(const QString& name);
    CodeAssembler& raw(const QByteArray& bytes);

    // The code segment, header included. stringOffsets[i] is the byte offset of
    // string i in the data segment.
    QByteArray assemble(const QList<quint32>& stringOffsets) const;

private:
    struct Item;
    QByteArray m_header;
    QList<Item*> m_items; // owned
public:
    ~CodeAssembler();
    CodeAssembler(const CodeAssembler&);
    CodeAssembler& operator=(const CodeAssembler&);
};

// Byte offsets of each string (each stored with its NUL byte) in a data segment.
QList<quint32> stringOffsets(const QList<QByteArray>& gameStrings);
// The data segment: every string followed by one NUL byte.
QByteArray dataSegment(const QList<QByteArray>& gameStrings);

struct FunctionSpec {
    quint16 number = 0;
    QList<QByteArray> strings; // game bytes without the NUL
    CodeAssembler code;
    bool extended = false; // 0xFFFF form with 32-bit size fields
};

// One function record (standard or extended form), sizes computed.
QByteArray functionRecord(const FunctionSpec& function);
// A record with the marker 0xFFFE: u32 id, u32 size, u32 data size, data, code.
QByteArray fffeRecord(quint32 id, const QList<QByteArray>& strings, const CodeAssembler& code);

struct SymbolSpec {
    QByteArray name;
    quint16 kind = 1;
    quint32 value = 0;
    quint32 extra = 0;         // written for kind 6 (and members of kind 6)
    QList<SymbolSpec> members; // kind 4 only
    QList<quint16> list;       // kind 4 only
};

// The symbol-table header: 0xFFFFFFFF, "YSCU", count, reserved, entries.
QByteArray symbolTableHeader(const QList<SymbolSpec>& symbols, quint32 reserved = 0);

// A conventional function: pushes every string in turn with 0x1D, says them,
// loops once backwards over a counter and ends with 0x25.
CodeAssembler simpleConversation(int stringCount);

} // namespace lexivo::gamebuild
