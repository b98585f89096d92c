#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace lexivo {

struct DecodedCode;

// One string of a function: its offset in the data segment as read and in the
// data segment being written. Old offsets strictly increase.
struct OffsetPair {
    qint64 oldOffset = 0;
    qint64 newOffset = 0;
};
using OffsetMap = QList<OffsetPair>;

struct RelocateResult {
    bool ok = false;
    QByteArray code; // the new code segment (header included); empty unless ok
    // Why the function cannot be relocated safely (names the function number and
    // the byte offset in the usecode image); empty when ok.
    QString error;
    // The end-opcode warning, when the last opcode is not one a function ends
    // with; the new code is used all the same.
    QString warning;
};

// "Warning! There is something wrong with decompilation!" CR LF
// "Found end opcode: 0x%X - expected 0x25 or 0x32".
QString endOpcodeWarning(quint8 opcode);

// Relocates the code segment image[codeStart, recordEnd) of function funcNum
// for a data segment whose strings moved as offsetMap says.
//
// The whole code is decoded first. Every string operand must name the start of
// a string of the map; every jump must land on an instruction start. Then the
// new form of each instruction is chosen: a 16-bit string reference whose new
// offset exceeds 0xFFFE takes its 32-bit form (0x4D goes to 0xCD when either
// of its offsets does), and 16-bit jumps whose new distance no longer fits
// take their 32-bit form, repeated until no jump changes. Finally every jump
// is encoded as (new start of its target) - (new end of the jump), so each
// lands on the same instruction as before, forward or backward.
//
// When nothing widens, the new code has exactly the old length and differs
// only in string operands. On any doubt (unknown opcode, an instruction that
// runs past the record, a string operand that names no string start, a jump
// that lands on no instruction or no longer fits and has no 32-bit form) the
// result is not ok and carries the reason; the caller keeps the function.
// The old code's decoding is left in *decodedOld when given, so that the check
// of the result need not decode it again.
RelocateResult RelocateCode(const QByteArray& image, qint64 codeStart, qint64 recordEnd,
                            const OffsetMap& offsetMap, quint32 funcNum,
                            DecodedCode* decodedOld = nullptr);

} // namespace lexivo
