#pragma once

#include "keywordindex.h"
#include "workspace/cp1252codec.h"
#include "workspace/qa.h"
#include "workspace/textlines.h"

#include <QList>
#include <functional>

namespace lexivo {

// The quality check "keyword": the engine compares the answer a player picks
// byte for byte, so every keyword line with one original must read the same
// across the whole game. A line whose text differs from the reading most of
// the keyword's lines have (another translation, or still the original where
// the others are translated, or the other way round) is one finding, naming
// the keyword and that reading. When no reading has most of the lines, every
// line is a finding, naming the most frequent reading but its own.
struct KeywordFinding {
    int function = 0;
    TranslationChecks::Problem problem; // problem.line counts from 0
};

// linesOf(function) gives the function's lines as the function view has them
// (its translation file, else its strings), or nullptr when they cannot be
// read: those lines take no part. The index must be grouped by originals.
QList<KeywordFinding> checkKeywords(const KeywordIndex& index,
                                    const std::function<const Lines*(int function)>& linesOf,
                                    const Cp1252Codec& codec);

} // namespace lexivo
