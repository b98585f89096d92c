#include "verifier.h"

#include "instructions.h"
#include "usecodefile.h"

#include <algorithm>

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

// Decodes and checks; fills decoded even when jumps or strings are wrong.
QStringList check(const char* code, qint64 size, const QList<qint64>& starts,
                  DecodedCode& decoded) {
    QStringList problems;
    DecodeFailure failure;
    if (!decodeCode(code, size, decoded, &failure)) {
        problems.append(QStringLiteral("%1 at byte offset %2 of the code")
                            .arg(failure.what)
                            .arg(failure.offset));
        return problems;
    }
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

} // namespace

QStringList verifyCode(const char* code, qint64 size, const QList<qint64>& stringStarts) {
    DecodedCode decoded;
    return check(code, size, stringStarts, decoded);
}

QStringList verifyCode(const QByteArray& code, const QList<qint64>& stringStarts) {
    return verifyCode(code.constData(), code.size(), stringStarts);
}

QStringList verifyFunctionRecord(const QByteArray& record) {
    UsecodeRecord header;
    QString problem;
    if (!readRecord(record, 0, header, &problem)) return {problem};
    if (header.end != record.size())
        return {QStringLiteral("the record's size field says %1 bytes, the record holds %2")
                    .arg(header.end)
                    .arg(record.size())};
    if (header.form == RecordForm::Standard && header.funcNum >= 0xFFFE)
        return {QStringLiteral("function number %1 cannot stand in the standard form")
                    .arg(hex(header.funcNum))};
    const QList<qint64> starts =
        stringStarts(record.constData() + header.dataStart, header.dataSize);
    return verifyCode(record.constData() + header.codeStart(), record.size() - header.codeStart(),
                      starts);
}

QStringList compareRelocatedCode(const QByteArray& oldCode, const QList<qint64>& oldStarts,
                                 const QByteArray& newCode, const QList<qint64>& newStarts) {
    DecodedCode before;
    DecodedCode after;
    QStringList problems = check(oldCode.constData(), oldCode.size(), oldStarts, before);
    if (!problems.isEmpty()) return problems;
    problems = check(newCode.constData(), newCode.size(), newStarts, after);
    if (!problems.isEmpty()) return problems;
    if (oldStarts.size() != newStarts.size())
        return {QStringLiteral("the function had %1 strings and now has %2")
                    .arg(oldStarts.size())
                    .arg(newStarts.size())};
    if (before.headerSize != after.headerSize ||
        oldCode.left(before.headerSize) != newCode.left(after.headerSize))
        return {QStringLiteral("the code header changed")};
    if (before.instructions.size() != after.instructions.size())
        return {QStringLiteral("the code had %1 instructions and now has %2")
                    .arg(before.instructions.size())
                    .arg(after.instructions.size())};

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
        const int leading =
            ia.kind == OperandKind::Plain || ia.kind == OperandKind::Jump ? ia.leading : 0;
        if (oldCode.mid(a.start + 1, leading) != newCode.mid(b.start + 1, leading))
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

} // namespace lexivo
