#pragma once

#include "keywordindex.h"
#include "workspace/cp1252codec.h"
#include "workspace/qa.h"
#include "workspace/textlines.h"

#include <QHash>
#include <functional>
#include <optional>

namespace lexivo {

// "keyword": the engine compares the answer a player picks byte for byte, so
// every keyword line with one original must read the same across the whole
// game. A line whose text differs from the reading most of the keyword's
// lines have (another translation, or still the original where the others
// are translated, or the other way round) is one finding, naming the keyword
// and that reading. When no reading has most of the lines, every line is a
// finding, naming the most frequent reading but its own.
//
// Functions with a translation file are shown to checkFunction; the lines of
// the others come from untranslatedLines (their strings), which gives nothing
// for a function whose file exists but could not be read: those lines take
// no part. The index must be grouped by originals.
class KeywordCheck : public QualityCheck {
public:
    static QString name() { return QStringLiteral("keyword"); }
    using UntranslatedLines = std::function<std::optional<Lines>(int function)>;
    KeywordCheck(const KeywordIndex& index, const Cp1252Codec& codec,
                 UntranslatedLines untranslatedLines)
        : m_index(index), m_codec(codec), m_untranslated(std::move(untranslatedLines)) {}

    void checkFunction(const CheckedLines& function, QList<CheckProblem>& problems) override;
    void finish(QList<QPair<int, CheckProblem>>& problems) override;

private:
    const KeywordIndex& m_index;
    const Cp1252Codec& m_codec;
    UntranslatedLines m_untranslated;
    QHash<int, Lines> m_lines; // of the functions holding keyword lines
};

} // namespace lexivo
