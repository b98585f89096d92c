#include "keywordindex.h"

#include "instructions.h"

#include <QtEndian>
#include <algorithm>

namespace lexivo {

namespace {

bool isStringPush(quint8 opcode) {
    return opcode == 0x1D || opcode == 0x9D;
}

// An add_answer / remove_answer candidate: a call to intrinsic `intrinsic`
// whose argument holds the string lines `lines` of function `function`.
struct Offer {
    int function = 0;
    quint16 intrinsic = 0;
    QList<int> lines;
};

class FunctionScan {
public:
    FunctionScan(const QByteArray& image, const tFunc& func) {
        UsecodeRecord record;
        if (!readRecord(image, func.Offset, record, nullptr)) return;
        const char* data = image.constData() + record.dataStart;
        m_starts = stringStarts(data, record.dataSize);
        m_code = image.constData() + record.codeStart();
        m_ok = decodeCode(m_code, record.end - record.codeStart(), m_decoded, nullptr);
    }
    bool ok() const { return m_ok; }
    const QList<Instruction>& instructions() const { return m_decoded.instructions; }

    // The line a string push names, or -1 when its operand is no string start.
    int lineOf(const Instruction& ins) const {
        auto it = std::lower_bound(m_starts.begin(), m_starts.end(), qint64(ins.strings[0]));
        if (it == m_starts.end() || *it != qint64(ins.strings[0])) return -1;
        return int(it - m_starts.begin());
    }
    quint16 u16At(const Instruction& ins) const {
        return qFromLittleEndian<quint16>(m_code + ins.start + 1);
    }
    // The lines of the string pushes among the `count` instructions right
    // before position `end`: each instruction there pushes one of the values
    // the call or compare takes.
    QList<int> pushedBefore(qsizetype end, int count) const {
        QList<int> lines;
        const auto& list = m_decoded.instructions;
        for (qsizetype j = end - 1; j >= 0 && end - j <= count; --j) {
            if (!isStringPush(list[j].opcode)) continue;
            const int line = lineOf(list[j]);
            if (line >= 0) lines.append(line);
        }
        return lines;
    }

private:
    QList<qint64> m_starts;
    const char* m_code = nullptr;
    DecodedCode m_decoded;
    bool m_ok = false;
};

constexpr quint16 BlackGateAdd = 0x05, BlackGateRemove = 0x06;
constexpr quint16 SerpentIsleAdd = 0x0C, SerpentIsleRemove = 0x0D;

} // namespace

QString KeywordIndex::kindName(Kind kind) {
    switch (kind) {
    case Compared:
        return QStringLiteral("compared");
    case Offered:
        return QStringLiteral("offered");
    case Both:
        return QStringLiteral("both");
    case None:
        break;
    }
    return {};
}

QString KeywordIndex::numberingName(ConversationGame game) {
    return game == ConversationGame::SerpentIsle ? QStringLiteral("SI") : QStringLiteral("BG");
}

QString KeywordIndex::numberingNote() const {
    const bool si = m_numbering == ConversationGame::SerpentIsle;
    const ConversationGame other = si ? ConversationGame::BlackGate : ConversationGame::SerpentIsle;
    return QStringLiteral("Conversation keywords: %1 numbering (add_answer 0x%2, remove_answer "
                          "0x%3), %4")
        .arg(numberingName(m_numbering), si ? QStringLiteral("0C") : QStringLiteral("05"),
             si ? QStringLiteral("0D") : QStringLiteral("06"),
             m_detected ? QStringLiteral("detected: %1 calls with string arguments, %2 with the "
                                         "other game's numbers")
                              .arg(stringCalls(m_numbering))
                              .arg(stringCalls(other))
                        : QStringLiteral("set by SETTING/GAME"));
}

void KeywordIndex::clear() {
    *this = KeywordIndex();
}

void KeywordIndex::build(const UsecodeFile& file, ConversationGame setting) {
    clear();
    const int functions = int(file.funcs.size());
    // Per function, the kind of each keyword line found so far.
    QList<QHash<int, quint8>> kinds(functions);
    QList<Offer> offers;
    for (int f = 0; f < functions; ++f) {
        const FunctionScan scan(file.image, file.funcs[f]);
        if (!scan.ok()) continue;
        const QList<Instruction>& list = scan.instructions();
        for (qsizetype i = 0; i < list.size(); ++i) {
            const Instruction& ins = list[i];
            switch (ins.opcode) {
            case 0x07:
            case 0x87:
                for (int line : scan.pushedBefore(i, scan.u16At(ins)))
                    kinds[f][line] |= Compared;
                break;
            case 0x38:
            case 0x39: {
                const quint16 intrinsic = scan.u16At(ins);
                if (intrinsic != BlackGateAdd && intrinsic != BlackGateRemove &&
                    intrinsic != SerpentIsleAdd && intrinsic != SerpentIsleRemove)
                    break;
                if (i == 0) break;
                const Instruction& argument = list[i - 1];
                QList<int> lines;
                if (isStringPush(argument.opcode))
                    lines = scan.pushedBefore(i, 1);
                else if (argument.opcode == 0x1E)
                    lines = scan.pushedBefore(i - 1, scan.u16At(argument));
                if (!lines.isEmpty()) offers.append({f, intrinsic, lines});
                break;
            }
            default:
                break;
            }
        }
    }

    for (const Offer& offer : std::as_const(offers)) {
        if (offer.intrinsic == BlackGateAdd || offer.intrinsic == BlackGateRemove)
            ++m_blackGateCalls;
        else
            ++m_serpentIsleCalls;
    }
    m_detected = setting == ConversationGame::Auto;
    m_numbering = m_detected
                      ? (m_serpentIsleCalls > m_blackGateCalls ? ConversationGame::SerpentIsle
                                                               : ConversationGame::BlackGate)
                      : setting;
    const bool serpentIsle = m_numbering == ConversationGame::SerpentIsle;
    for (const Offer& offer : std::as_const(offers)) {
        const bool ours =
            serpentIsle ? offer.intrinsic >= SerpentIsleAdd : offer.intrinsic <= BlackGateRemove;
        if (!ours) continue;
        for (int line : offer.lines)
            kinds[offer.function][line] |= Offered;
    }

    m_firstOf.resize(functions + 1);
    for (int f = 0; f < functions; ++f) {
        m_firstOf[f] = m_lines.size();
        QList<int> lines = kinds[f].keys();
        std::sort(lines.begin(), lines.end());
        for (int line : lines)
            m_lines.append({f, line, Kind(kinds[f].value(line))});
    }
    m_firstOf[functions] = m_lines.size();
}

int KeywordIndex::stringCalls(ConversationGame game) const {
    return game == ConversationGame::SerpentIsle ? m_serpentIsleCalls : m_blackGateCalls;
}

QList<KeywordIndex::Line> KeywordIndex::linesOf(int function) const {
    if (function < 0 || function + 1 >= m_firstOf.size()) return {};
    return m_lines.mid(m_firstOf[function], m_firstOf[function + 1] - m_firstOf[function]);
}

qsizetype KeywordIndex::find(int function, int line) const {
    if (function < 0 || function + 1 >= m_firstOf.size()) return -1;
    const auto begin = m_lines.begin() + m_firstOf[function];
    const auto end = m_lines.begin() + m_firstOf[function + 1];
    const auto it =
        std::lower_bound(begin, end, line, [](const Line& l, int n) { return l.line < n; });
    if (it == end || it->line != line) return -1;
    return it - m_lines.begin();
}

KeywordIndex::Kind KeywordIndex::kindOf(int function, int line) const {
    const qsizetype at = find(function, line);
    return at < 0 ? None : m_lines[at].kind;
}

void KeywordIndex::setOriginals(const std::function<QByteArray(int, int)>& original) {
    m_groups.clear();
    m_groupOf = QList<int>(m_lines.size(), -1);
    QHash<QByteArray, int> byText;
    for (qsizetype k = 0; k < m_lines.size(); ++k) {
        const QByteArray text = original(m_lines[k].function, m_lines[k].line);
        auto it = byText.constFind(text);
        int group;
        if (it == byText.constEnd()) {
            group = int(m_groups.size());
            byText.insert(text, group);
            m_groups.append({text, {}});
        } else {
            group = it.value();
        }
        m_groups[group].members.append(k);
        m_groupOf[k] = group;
    }
    m_hasOriginals = true;
}

QList<KeywordIndex::Line> KeywordIndex::sameOriginal(int function, int line) const {
    const qsizetype at = find(function, line);
    if (at < 0 || !m_hasOriginals) return {};
    QList<Line> out;
    for (qsizetype k : m_groups[m_groupOf[at]].members)
        out.append(m_lines[k]);
    return out;
}

} // namespace lexivo
