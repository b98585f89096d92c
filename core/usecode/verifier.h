#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include "instructions.h"
#include "usecodefile.h"

namespace lexivo {

// Checks a function's code segment against the string starts of its data
// segment: the instruction stream decodes with the instruction table and ends
// exactly at the end of the record; every jump lands on an instruction start
// inside the function (a jump to the very end of the code is refused: compiled
// functions end with a return, so nothing jumps past it); every string operand
// is the start of a string. Returns the problems, each naming the byte offset
// in the code segment; empty when the code is sound.
QStringList verifyCode(const char* code, qint64 size, const QList<qint64>& stringStarts);
QStringList verifyCode(const QByteArray& code, const QList<qint64>& stringStarts);

// Checks a whole function record (standard or extended form) as it will stand
// in the file: the size fields match the bytes, and its code is sound.
QStringList verifyFunctionRecord(const QByteArray& record);

// What the check of a record read: its header, the string starts of its data
// segment and its decoded code, so that the comparison with the old code
// does not decode it again.
struct VerifiedRecord {
    UsecodeRecord header;
    QList<qint64> stringStarts;
    DecodedCode code;
};
QStringList verifyFunctionRecord(const QByteArray& record, VerifiedRecord& verified);

// Checks that newCode does exactly what oldCode did: the same code header, the
// same instructions in the same order with the same plain operands (an
// instruction may have taken its 32-bit form), every jump landing on the same
// instruction, and every string operand naming the same string (string k of
// oldStarts becomes string k of newStarts). Both must be sound themselves.
QStringList compareRelocatedCode(const QByteArray& oldCode, const QList<qint64>& oldStarts,
                                 const QByteArray& newCode, const QList<qint64>& newStarts);

// The same comparison on code decoded already: before is the decoding of
// oldCode (checked here against oldStarts), after the decoding of newCode that
// passed verifyCode or verifyFunctionRecord against newStarts.
struct CodeView {
    const char* bytes = nullptr;
    qint64 size = 0;
    const DecodedCode* decoded = nullptr;
    const QList<qint64>* stringStarts = nullptr;
};
QStringList compareRelocatedCode(const CodeView& before, const CodeView& verifiedAfter);

} // namespace lexivo
