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

QList<KeywordFinding> checkKeywords(const KeywordIndex& index,
                                    const std::function<const Lines*(int)>& linesOf,
                                    const Cp1252Codec& codec) {
    QList<KeywordFinding> findings;
    const auto describe = [&](const Reading& r) {
        return r.translated ? QStringLiteral("\"%1\"").arg(codec.decode(r.text))
                            : QStringLiteral("untranslated");
    };
    for (const KeywordIndex::Group& group : index.groups()) {
        if (group.members.size() < 2) continue;
        // Each line's reading, by position in the group.
        QList<Reading> readings;
        QList<std::pair<const KeywordIndex::Line*, qsizetype>> lines;
        for (qsizetype k : group.members) {
            const KeywordIndex::Line& line = index.lines()[k];
            const Lines* text = linesOf(line.function);
            if (!text || line.line >= text->size()) continue;
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
            findings.append(
                {line->function,
                 {line->line, TranslationChecks::Keyword,
                  QStringLiteral("conversation answer \"%1\": %2 here, %3 in %4 of its %5 lines")
                      .arg(codec.decode(group.original), describe(readings[own]),
                           describe(other))
                      .arg(other.count)
                      .arg(lines.size())}});
        }
    }
    std::sort(findings.begin(), findings.end(), [](const KeywordFinding& a, const KeywordFinding& b) {
        return a.function != b.function ? a.function < b.function
                                        : a.problem.line < b.problem.line;
    });
    return findings;
}

} // namespace lexivo
