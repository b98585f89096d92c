#pragma once

// An independent reader of usecode for the tests: its own record walker and
// its own opcode table, written apart from the engine's, so that a fault in
// the engine's table or decoder does not hide itself in the tests.

#include <QByteArray>
#include <QList>
#include <QString>

namespace lexivo::testsupport {

struct DisInstruction {
    qint64 start = 0; // in the code segment
    quint8 opcode = 0;
    QByteArray fixed;       // operand bytes that are neither jump nor string offsets
    qint64 target = -1;     // jumps: start of the instruction landed on (code offset)
    QList<quint32> strings; // string operands
};

struct Disassembly {
    QString error; // empty when the whole code decodes
    QByteArray header;
    QList<DisInstruction> instructions;
    // Index of the instruction starting at code offset, or -1.
    int indexAt(qint64 offset) const;
};

Disassembly disassemble(const QByteArray& code);

struct DisRecord {
    qint64 offset = 0;
    int form = 0; // 0 standard, 1 extended (0xFFFF), 2 the 0xFFFE form
    quint32 number = 0;
    QByteArray bytes;          // the whole record
    QByteArray data;           // data segment
    QByteArray code;           // code segment
    QList<QByteArray> strings; // raw game bytes of each string, without the NUL
    QList<quint32> starts;     // start offset of each string
};

// Walks the records from start; error set (and the walk stopped) on damage.
QList<DisRecord> splitRecords(const QByteArray& image, qint64 start, QString* error = nullptr);

// Compares a relocated function with its original: same header, same
// instructions (a 16-bit form may have become its 32-bit form), each jump on
// the same instruction, string operand k of the old code naming string k of
// the new. Returns the first difference, or an empty string.
QString compareFunctions(const DisRecord& before, const DisRecord& after);

} // namespace lexivo::testsupport
