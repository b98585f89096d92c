#include "verifier.h"

#include "instructions.h"
#include "usecodefile.h"

#include <algorithm>
#include <cstring>

namespace lexivo {

namespace {

QString hex(qint64 value) {
    return QString::number(value, 16).toUpper();
}

qsizetype stringIndex(const QList<qint64>& starts, qint64 offset) {
    auto it = std::lower_bound(starts.begin(), starts.end(), offset);
    if (it == starts.end() || *it != offset) return -1;
    return it - starts.begin();
}

int stringCount(const OpcodeInfo& info) {
    return info.kind == OperandKind::String ? 1 : info.kind == OperandKind::StringPair ? 2 : 0;
}

// Checks the jumps and string operands of decoded code.
QStringList checkDecoded(const DecodedCode& decoded, const QList<qint64>& starts) {
    QStringList problems;
    for (const Instruction& ins : decoded.instructions) {
        const OpcodeInfo& info = opcodeInfo(ins.opcode);
        if (info.kind == OperandKind::Jump && instructionAt(decoded, ins.jumpTarget()) < 0)
            problems.append(QStringLiteral("jump 0x%1 at byte offset %2 of the code lands on no "
                                           "instruction start (%3)")
                                .arg(hex(ins.opcode))
                                .arg(ins.start)
                                .arg(ins.jumpTarget()));
        for (int k = 0; k < stringCount(info); ++k)
            if (stringIndex(starts, ins.strings[k]) < 0)
                problems.append(QStringLiteral("string operand 0x%1 at byte offset %2 of the code "
                                               "names no string start")
                                    .arg(hex(ins.strings[k]))
                                    .arg(ins.start));
    }
    return problems;
}

// Decodes and checks; fills decoded even when jumps or strings are wrong.
QStringList check(const char* code, qint64 size, const QList<qint64>& starts,
                  DecodedCode& decoded) {
    DecodeFailure failure;
    if (!decodeCode(code, size, decoded, &failure))
        return {QStringLiteral("%1 at byte offset %2 of the code")
                    .arg(failure.what)
                    .arg(failure.offset)};
    return checkDecoded(decoded, starts);
}

// Both codes are decoded and sound.
QStringList compareDecoded(const CodeView& old, const CodeView& now) {
    const QList<qint64>& oldStarts = *old.stringStarts;
    const QList<qint64>& newStarts = *now.stringStarts;
    const DecodedCode& before = *old.decoded;
    const DecodedCode& after = *now.decoded;
    if (oldStarts.size() != newStarts.size())
        return {QStringLiteral("the function had %1 strings and now has %2")
                    .arg(oldStarts.size())
                    .arg(newStarts.size())};
    if (before.headerSize != after.headerSize ||
        memcmp(old.bytes, now.bytes, size_t(before.headerSize)) != 0)
        return {QStringLiteral("the code header changed")};
    if (before.instructions.size() != after.instructions.size())
        return {QStringLiteral("the code had %1 instructions and now has %2")
                    .arg(before.instructions.size())
                    .arg(after.instructions.size())};

    QStringList problems;
    for (qsizetype i = 0; i < before.instructions.size(); ++i) {
        const Instruction& a = before.instructions[i];
        const Instruction& b = after.instructions[i];
        const OpcodeInfo& ia = opcodeInfo(a.opcode);
        auto differ = [&](const QString& what) {
            problems.append(QStringLiteral("instruction %1 (byte offset %2, now %3): %4")
                                .arg(i)
                                .arg(a.start)
                                .arg(b.start)
                                .arg(what));
        };
        if (a.opcode != b.opcode && !(ia.wideOpcode && ia.wideOpcode == b.opcode)) {
            differ(QStringLiteral("opcode 0x%1 became 0x%2").arg(hex(a.opcode), hex(b.opcode)));
            continue;
        }
        // Both instructions were decoded whole, so their leading operand
        // bytes lie inside their code.
        const int leading =
            ia.kind == OperandKind::Plain || ia.kind == OperandKind::Jump ? ia.leading : 0;
        if (memcmp(old.bytes + a.start + 1, now.bytes + b.start + 1, size_t(leading)) != 0)
            differ(QStringLiteral("operand bytes changed"));
        if (ia.kind == OperandKind::Jump &&
            instructionAt(before, a.jumpTarget()) != instructionAt(after, b.jumpTarget()))
            differ(QStringLiteral("the jump lands on another instruction"));
        for (int k = 0; k < stringCount(ia); ++k)
            if (stringIndex(oldStarts, a.strings[k]) != stringIndex(newStarts, b.strings[k]))
                differ(QStringLiteral("the string operand names another string"));
    }
    return problems;
}

} // namespace

QStringList verifyCode(const char* code, qint64 size, const QList<qint64>& stringStarts) {
    DecodedCode decoded;
    return check(code, size, stringStarts, decoded);
}

QStringList verifyCode(const QByteArray& code, const QList<qint64>& stringStarts) {
    return verifyCode(code.constData(), code.size(), stringStarts);
}

QStringList verifyFunctionRecord(const QByteArray& record, VerifiedRecord& verified) {
    UsecodeRecord& header = verified.header;
    QString problem;
    if (!readRecord(record, 0, header, &problem)) return {problem};
    if (header.end != record.size())
        return {QStringLiteral("the record's size field says %1 bytes, the record holds %2")
                    .arg(header.end)
                    .arg(record.size())};
    if (header.form == RecordForm::Standard && header.funcNum >= 0xFFFE)
        return {QStringLiteral("function number %1 cannot stand in the standard form")
                    .arg(hex(header.funcNum))};
    verified.stringStarts = stringStarts(record.constData() + header.dataStart, header.dataSize);
    return check(record.constData() + header.codeStart(), record.size() - header.codeStart(),
                 verified.stringStarts, verified.code);
}

QStringList verifyFunctionRecord(const QByteArray& record) {
    VerifiedRecord verified;
    return verifyFunctionRecord(record, verified);
}

QStringList compareRelocatedCode(const QByteArray& oldCode, const QList<qint64>& oldStarts,
                                 const QByteArray& newCode, const QList<qint64>& newStarts) {
    DecodedCode before;
    DecodedCode after;
    QStringList problems = check(oldCode.constData(), oldCode.size(), oldStarts, before);
    if (!problems.isEmpty()) return problems;
    problems = check(newCode.constData(), newCode.size(), newStarts, after);
    if (!problems.isEmpty()) return problems;
    return compareDecoded({oldCode.constData(), oldCode.size(), &before, &oldStarts},
                          {newCode.constData(), newCode.size(), &after, &newStarts});
}

QStringList compareRelocatedCode(const CodeView& before, const CodeView& verifiedAfter) {
    const QStringList problems = checkDecoded(*before.decoded, *before.stringStarts);
    if (!problems.isEmpty()) return problems;
    return compareDecoded(before, verifiedAfter);
}

} // namespace lexivo
