#include "relocate.h"

#include "instructions.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace lexivo {

QString endOpcodeWarning(quint8 opcode) {
    return QStringLiteral("Warning! There is something wrong with decompilation!\r\n"
                          "Found end opcode: 0x%1 - expected 0x25 or 0x32")
        .arg(QString::number(opcode, 16).toUpper());
}

namespace {

qsizetype findOld(const OffsetMap& map, qint64 oldOffset) {
    auto it = std::lower_bound(map.begin(), map.end(), oldOffset,
                               [](const OffsetPair& p, qint64 o) { return p.oldOffset < o; });
    if (it == map.end() || it->oldOffset != oldOffset) return -1;
    return it - map.begin();
}

char* putLE(char* p, qint64 value, int width) {
    if (width == 2)
        qToLittleEndian<quint16>(quint16(value), p);
    else
        qToLittleEndian<quint32>(quint32(value), p);
    return p + width;
}

// What relocation decides for one instruction.
struct Plan {
    quint8 opcode = 0;             // opcode to write (possibly the 32-bit form)
    int size = 0;                  // its new size
    qsizetype target = -1;         // jumps: index of the instruction it lands on
    qint64 newStrings[2] = {0, 0}; // string operands: new offsets
};

} // namespace

RelocateResult RelocateCode(const QByteArray& image, qint64 codeStart, qint64 recordEnd,
                            const OffsetMap& offsetMap, quint32 funcNum,
                            DecodedCode* decodedOld) {
    RelocateResult result;
    auto fail = [&](qint64 codeOffset, const QString& what) {
        result.ok = false;
        result.code.clear();
        result.error = QStringLiteral("Function %1 cannot be relocated safely: %2 at byte offset "
                                      "%3; the function is kept as it is.")
                           .arg(QString::number(funcNum, 16).toUpper().rightJustified(4, '0'))
                           .arg(what)
                           .arg(codeStart + codeOffset);
        return result;
    };
    if (codeStart < 0 || recordEnd < codeStart || recordEnd > image.size())
        return fail(0, QStringLiteral("the code segment lies outside the file"));
    for (qsizetype i = 1; i < offsetMap.size(); ++i)
        if (offsetMap[i].oldOffset <= offsetMap[i - 1].oldOffset)
            return fail(0, QStringLiteral("the string offsets do not increase"));

    const char* code = image.constData() + codeStart;
    const qint64 codeSize = recordEnd - codeStart;
    DecodedCode own;
    DecodedCode& decoded = decodedOld ? *decodedOld : own;
    DecodeFailure failure;
    if (!decodeCode(code, codeSize, decoded, &failure)) return fail(failure.offset, failure.what);

    const QList<Instruction>& list = decoded.instructions;
    QList<Plan> plans(list.size());
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Instruction& ins = list[i];
        const OpcodeInfo& info = opcodeInfo(ins.opcode);
        Plan& plan = plans[i];
        plan.opcode = ins.opcode;
        plan.size = info.size();
        if (info.kind == OperandKind::Jump) {
            plan.target = instructionAt(decoded, ins.jumpTarget());
            if (plan.target < 0)
                return fail(ins.start, QStringLiteral("jump 0x%1 lands on no instruction start")
                                           .arg(QString::number(ins.opcode, 16).toUpper()));
        } else if (info.kind == OperandKind::String || info.kind == OperandKind::StringPair) {
            const int count = info.kind == OperandKind::String ? 1 : 2;
            bool widen = false;
            for (int k = 0; k < count; ++k) {
                const qsizetype pair = findOld(offsetMap, ins.strings[k]);
                if (pair < 0)
                    return fail(ins.start,
                                QStringLiteral("string operand 0x%1 names no string start")
                                    .arg(QString::number(ins.strings[k], 16).toUpper()));
                plan.newStrings[k] = offsetMap[pair].newOffset;
                if (plan.newStrings[k] < 0 || plan.newStrings[k] > qint64(0xFFFFFFFFu))
                    return fail(ins.start, QStringLiteral("a new string offset does not fit"));
                if (info.width == 2 && plan.newStrings[k] > 0xFFFE) widen = true;
            }
            if (widen) {
                plan.opcode = info.wideOpcode;
                plan.size = opcodeInfo(plan.opcode).size();
            }
        }
    }

    // New starts; widen 16-bit jumps that no longer fit until none changes.
    // Sizes only grow, so this ends after at most one round per jump. Real
    // code settles in a round or two; code built so that every widening pushes
    // one more jump out of reach would take a round per jump over the whole
    // function, so after MaxWideningRounds the function is kept as it is.
    constexpr int MaxWideningRounds = 64;
    int rounds = 0;
    QList<qint64> newStart(list.size() + 1);
    for (;;) {
        if (++rounds > MaxWideningRounds)
            return fail(0, QStringLiteral("the jumps do not settle after %1 rounds of widening")
                               .arg(MaxWideningRounds));
        qint64 pos = decoded.headerSize;
        for (qsizetype i = 0; i < list.size(); ++i) {
            newStart[i] = pos;
            pos += plans[i].size;
        }
        newStart[list.size()] = pos;
        bool changed = false;
        for (qsizetype i = 0; i < list.size(); ++i) {
            Plan& plan = plans[i];
            const OpcodeInfo& info = opcodeInfo(plan.opcode);
            if (info.kind != OperandKind::Jump || info.width != 2) continue;
            const qint64 distance = newStart[plan.target] - newStart[i + 1];
            if (distance >= -32768 && distance <= 32767) continue;
            if (!info.wideOpcode)
                return fail(list[i].start,
                            QStringLiteral("jump 0x%1 no longer reaches its target and has no "
                                           "32-bit form")
                                .arg(QString::number(plan.opcode, 16).toUpper()));
            plan.opcode = info.wideOpcode;
            plan.size = opcodeInfo(plan.opcode).size();
            changed = true;
        }
        if (!changed) break;
    }

    // Every size is known now: the new code is written in place.
    QByteArray out(newStart[list.size()], Qt::Uninitialized);
    char* p = out.data();
    memcpy(p, code, size_t(decoded.headerSize));
    p += decoded.headerSize;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Instruction& ins = list[i];
        const Plan& plan = plans[i];
        const OpcodeInfo& info = opcodeInfo(plan.opcode);
        const char* operands = code + ins.start + 1;
        *p++ = char(plan.opcode);
        switch (info.kind) {
        case OperandKind::Plain:
            memcpy(p, operands, info.leading);
            p += info.leading;
            break;
        case OperandKind::Jump: {
            memcpy(p, operands, info.leading);
            p += info.leading;
            const qint64 distance = newStart[plan.target] - newStart[i + 1];
            if (distance < INT32_MIN || distance > INT32_MAX)
                return fail(ins.start, QStringLiteral("a jump no longer fits"));
            p = putLE(p, distance, info.width);
            break;
        }
        case OperandKind::String:
            p = putLE(p, plan.newStrings[0], info.width);
            break;
        case OperandKind::StringPair:
            p = putLE(p, plan.newStrings[0], info.width);
            p = putLE(p, plan.newStrings[1], info.width);
            break;
        case OperandKind::None:
        case OperandKind::Unknown:
            break;
        }
    }
    Q_ASSERT(p == out.constData() + out.size());

    if (!list.isEmpty() && !isEndOpcode(plans.last().opcode))
        result.warning = endOpcodeWarning(plans.last().opcode);
    result.ok = true;
    result.code = out;
    return result;
}

} // namespace lexivo
