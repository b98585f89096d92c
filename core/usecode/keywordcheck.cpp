#include "keywordcheck.h"

#include <algorithm>

namespace lexivo {

namespace {

struct Reading {
    QByteArray text;
    int count = 0;
    bool translated = false;
};

// The reading most lines have: the largest count, then a translation over
// the original, then the first one met.
qsizetype mostFrequent(const QList<Reading>& readings, qsizetype except = -1) {
    qsizetype best = -1;
    for (qsizetype r = 0; r < readings.size(); ++r) {
        if (r == except) continue;
        if (best < 0 || readings[r].count > readings[best].count ||
            (readings[r].count == readings[best].count && readings[r].translated &&
             !readings[best].translated))
            best = r;
    }
    return best;
}

} // namespace

void KeywordCheck::checkFunction(const CheckedLines& function, QList<CheckProblem>&) {
    if (!m_index.linesOf(function.functionIndex).isEmpty())
        m_lines.insert(function.functionIndex, function.lines);
}

void KeywordCheck::finish(QList<QPair<int, CheckProblem>>& problems) {
    if (!m_index.hasOriginals()) return;
    // The functions without a translation file read as their strings.
    int last = -1;
    for (const KeywordIndex::Line& l : m_index.lines()) {
        if (l.function == last) continue;
        last = l.function;
        if (m_lines.contains(l.function)) continue;
        if (std::optional<Lines> lines = m_untranslated(l.function))
            m_lines.insert(l.function, std::move(*lines));
    }
    const auto describe = [&](const Reading& r) {
        return r.translated ? QStringLiteral("\"%1\"").arg(m_codec.decode(r.text))
                            : QStringLiteral("untranslated");
    };
    for (const KeywordIndex::Group& group : m_index.groups()) {
        if (group.members.size() < 2) continue;
        QList<Reading> readings;
        QList<std::pair<const KeywordIndex::Line*, qsizetype>> lines; // line, its reading
        for (qsizetype k : group.members) {
            const KeywordIndex::Line& line = m_index.lines()[k];
            const auto text = m_lines.constFind(line.function);
            if (text == m_lines.constEnd() || line.line >= text->size()) continue;
            const QByteArray& reading = text->at(line.line);
            auto it = std::find_if(readings.begin(), readings.end(),
                                   [&](const Reading& r) { return r.text == reading; });
            if (it == readings.end()) {
                readings.append({reading, 0, reading != group.original});
                it = readings.end() - 1;
            }
            ++it->count;
            lines.append({&line, it - readings.begin()});
        }
        if (readings.size() < 2) continue;
        const qsizetype best = mostFrequent(readings);
        bool unique = true;
        for (qsizetype r = 0; r < readings.size(); ++r)
            if (r != best && readings[r].count == readings[best].count) unique = false;
        for (const auto& [line, own] : std::as_const(lines)) {
            if (unique && own == best) continue;
            const Reading& other = readings[unique ? best : mostFrequent(readings, own)];
            problems.append(
                {line->function,
                 {line->line, name(),
                  QStringLiteral("conversation answer \"%1\": %2 here, %3 in %4 of its %5 lines")
                      .arg(m_codec.decode(group.original), describe(readings[own]), describe(other))
                      .arg(other.count)
                      .arg(lines.size())}});
        }
    }
}

} // namespace lexivo
