#include "translationmemory.h"

#include "errors.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace lexivo {

namespace {

const char ExactText[] =
    "Exact translation found in reference file, using it. Please confirm with enter key.";

inline uchar upperAscii(uchar c) {
    return (c >= 'a' && c <= 'z') ? uchar(c - ('a' - 'A')) : c;
}

QByteArray upperAscii(const QByteArray& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = char(upperAscii(uchar(text[i])));
    return out;
}

// Whether m matched characters out of la + lb give more than 75 percent:
// 200 * m / (la + lb) > 75, that is 8 * m > 3 * (la + lb). The integer form
// gives the very answer of the floating-point quotient: a quotient above 75
// is at least 25 / (la + lb) above it, far more than its rounding error.
inline bool passes(qint64 matched, qint64 lengthSum) {
    return 8 * matched > 3 * lengthSum;
}

// The case-insensitive key of each byte under a codec: two texts are equal
// without regard to case (decoded, compared with Qt::CaseInsensitive, which
// folds each character on its own) exactly when their keys are equal. The key
// of a byte is the smallest byte whose character folds to the same one.
std::array<uchar, 256> caseKeyTable(const Cp1252Codec& codec) {
    std::array<quint64, 256> folded;
    for (int b = 0; b < 256; ++b)
        folded[b] =
            (quint64(QChar::toCaseFolded(char32_t(codec.toUnicode(uchar(b)).unicode()))) << 8) |
            quint64(b);
    std::sort(folded.begin(), folded.end());
    std::array<uchar, 256> keys{};
    quint64 groupChar = ~quint64(0);
    uchar groupKey = 0;
    for (const quint64 entry : folded) {
        const auto b = uchar(entry & 0xFF);
        if ((entry >> 8) != groupChar) {
            groupChar = entry >> 8;
            groupKey = b; // sorted: the smallest byte of its group comes first
        }
        keys[b] = groupKey;
    }
    return keys;
}

// ---- Ratcliff/Obershelp ----

struct Run {
    qsizetype i = 0;
    qsizetype j = 0;
    qint32 length = 0;
};

// The longest common run of a[0, la) and b[0, lb); of equal runs the one with
// the smallest position in a, then in b. runs holds, for the row below, the
// length of the common run starting at each position of b (dynamic
// programming from the last row up, O(la * lb)).
Run longestRun(const uchar* a, qsizetype la, const uchar* b, qsizetype lb,
               std::vector<qint32>& runs) {
    runs.assign(size_t(lb) + 1, 0);
    qint32* f = runs.data();
    Run best;
    for (qsizetype i = la - 1; i >= 0; --i) {
        const uchar c = a[i];
        qint32 rowBest = 0;
        qsizetype rowJ = 0;
        // f[j + 1] still holds the run of the row below when f[j] is written.
        for (qsizetype j = 0; j < lb; ++j) {
            const qint32 v = b[j] == c ? f[j + 1] + 1 : 0;
            f[j] = v;
            if (v > rowBest) {
                rowBest = v;
                rowJ = j;
            }
        }
        // Rows come in descending i: a tie goes to the smaller i.
        if (rowBest > 0 && rowBest >= best.length) best = {i, rowJ, rowBest};
    }
    return best;
}

struct Range {
    qsizetype a = 0;
    qsizetype la = 0;
    qsizetype b = 0;
    qsizetype lb = 0;
};

// MatchedChars of a[0, la) and b[0, lb). When giveUpAt >= 0 the count may
// stop early, as soon as the characters matched so far plus what the open
// parts could still add cannot exceed giveUpAt; it then returns that bound
// (at most giveUpAt). Without stopping the result is exact. The parts are
// kept on an explicit stack: a long text would otherwise nest deeply.
qint64 matchedChars(const uchar* a, qsizetype la, const uchar* b, qsizetype lb, qint64 giveUpAt,
                    std::vector<qint32>& runs, std::vector<Range>& stack) {
    stack.clear();
    stack.push_back({0, la, 0, lb});
    qint64 found = 0;
    qint64 open = std::min(la, lb);
    while (!stack.empty()) {
        const Range r = stack.back();
        stack.pop_back();
        open -= std::min(r.la, r.lb);
        if (r.la == 0 || r.lb == 0) continue;
        const Run run = longestRun(a + r.a, r.la, b + r.b, r.lb, runs);
        if (run.length == 0) continue;
        found += run.length;
        const Range left{r.a, run.i, r.b, run.j};
        const Range right{r.a + run.i + run.length, r.la - run.i - run.length,
                          r.b + run.j + run.length, r.lb - run.j - run.length};
        for (const Range& part : {left, right}) {
            if (part.la > 0 && part.lb > 0) {
                stack.push_back(part);
                open += std::min(part.la, part.lb);
            }
        }
        if (giveUpAt >= 0 && found + open <= giveUpAt) return found + open;
    }
    return found;
}

double similarityOfUpper(const QByteArray& a, const QByteArray& b) {
    if (a == b) return 100;
    if (a.isEmpty() || b.isEmpty()) return 0;
    std::vector<qint32> runs;
    std::vector<Range> stack;
    const qint64 m =
        matchedChars(reinterpret_cast<const uchar*>(a.constData()), a.size(),
                     reinterpret_cast<const uchar*>(b.constData()), b.size(), -1, runs, stack);
    return 200.0 * double(m) / double(a.size() + b.size());
}

// ---- longest common subsequence, bit-parallel ----
//
// The matched characters of Ratcliff/Obershelp are a common subsequence of
// the two texts, so the length of the longest one bounds them from above. It
// is counted 64 positions of the line's text per machine word (Hyyro's
// bit-vector recurrence), in O(la * lb / 64).

// One step of the recurrence over words machine words: V = (V + (V & M)) |
// (V & ~M), the addition carried from word to word.
template <int Words> inline void subsequenceStep(quint64* v, const quint64* m, int words) {
    const int n = Words > 0 ? Words : words;
    quint64 carry = 0;
    for (int w = 0; w < n; ++w) {
        const quint64 x = v[w];
        const quint64 u = x & m[w];
        const quint64 sum1 = x + u;
        const quint64 sum = sum1 + carry;
        carry = quint64(sum1 < x) | quint64(sum < sum1);
        v[w] = sum | (x & ~m[w]);
    }
}

class SubsequenceBound {
public:
    explicit SubsequenceBound(const QByteArray& text)
        : m_length(text.size()), m_words(int((text.size() + 63) / 64)),
          m_masks(size_t(256) * size_t(m_words), 0), m_v(size_t(m_words)) {
        for (qsizetype p = 0; p < text.size(); ++p)
            m_masks[size_t(uchar(text[p])) * size_t(m_words) + size_t(p / 64)] |= quint64(1)
                                                                                  << (p % 64);
    }

    // The length of the longest common subsequence of the text and
    // other[0, length). It may stop early with a bound at most giveUpAt: the
    // subsequence of what has been read plus the characters left bounds the
    // whole.
    qint64 operator()(const uchar* other, qsizetype length, qint64 giveUpAt) {
        switch (m_words) {
        case 1:
            return run<1>(other, length, giveUpAt);
        case 2:
            return run<2>(other, length, giveUpAt);
        case 3:
            return run<3>(other, length, giveUpAt);
        case 4:
            return run<4>(other, length, giveUpAt);
        default:
            return run<0>(other, length, giveUpAt);
        }
    }

private:
    // Words > 0: the state is that many words, kept in registers; 0: any
    // number of words, kept in m_v.
    template <int Words> qint64 run(const uchar* other, qsizetype length, qint64 giveUpAt) {
        quint64 local[Words > 0 ? Words : 1];
        quint64* v = Words > 0 ? local : m_v.data();
        std::fill(v, v + m_words, ~quint64(0));
        const quint64* masks = m_masks.data();
        const int words = m_words;
        constexpr qsizetype Stride = 16;
        for (qsizetype p = 0; p < length;) {
            const qsizetype end = std::min(length, p + Stride);
            for (; p < end; ++p)
                subsequenceStep<Words>(v, masks + size_t(other[p]) * size_t(words), words);
            const qint64 bound = countSoFar(v) + (length - p);
            if (bound <= giveUpAt) return bound;
        }
        return countSoFar(v);
    }

    // The zero bits of the low m_length bits of the state: the length of the
    // longest common subsequence of what has been read.
    qint64 countSoFar(const quint64* v) const {
        qint64 ones = 0;
        for (int w = 0; w < m_words; ++w) {
            quint64 x = v[w];
            if (w == m_words - 1 && m_length % 64 != 0) x &= (quint64(1) << (m_length % 64)) - 1;
            ones += std::popcount(x);
        }
        return m_length - ones;
    }

    qsizetype m_length;
    int m_words;
    std::vector<quint64> m_masks;
    std::vector<quint64> m_v;
};

} // namespace

// ---------------------------------------------------------------------------

// FNV-1a over the case-insensitive key of the text.
quint64 TranslationMemory::exactKey(const QByteArray& original) const {
    quint64 hash = 0xCBF29CE484222325ull;
    for (const char c : original)
        hash = (hash ^ m_caseKeys[uchar(c)]) * 0x100000001B3ull;
    return hash;
}

void TranslationMemory::load(const QString& usecodePath, const QList<ReferenceFunction>& functions,
                             bool complete, const QString& packPath, QStringList& warnings) {
    *this = TranslationMemory();
    Pack pack;
    try {
        pack.load(packPath);
    } catch (const FileError&) {
        throw;
    } catch (const Error& e) {
        // The decompressor's message does not say which file it read.
        if (e.message().contains(packPath)) throw;
        throw DataError(QStringLiteral("%1: %2").arg(packPath, e.message()));
    }

    // Pairing is by position: function i of the reference belongs to block i.
    QString mismatch;
    if (pack.blockCount() < functions.size() || (complete && pack.blockCount() > functions.size()))
        mismatch = QStringLiteral("it holds %1 blocks for %2 functions")
                       .arg(pack.blockCount())
                       .arg(functions.size());

    m_caseKeys = caseKeyTable(Cp1252Codec());
    m_functions.reserve(size_t(functions.size()));
    // Room for everything at once, from the sizes the inputs bound: grown
    // line by line, each buffer would hold up to twice its size while the
    // reference loads, next to the reference itself.
    qsizetype translationBytes = 0, referenceLines = 0;
    for (const ReferenceFunction& function : functions) {
        referenceLines += function.strings.size();
        for (const QByteArray& string : function.strings)
            translationBytes += string.size();
    }
    m_originals.reserve(pack.content().size());
    m_translations.reserve(translationBytes);
    m_lines.reserve(size_t(referenceLines));
    m_exact.reserve(size_t(referenceLines));
    std::array<qint32, 256> counts{}; // all zero between lines
    for (qsizetype f = 0; f < functions.size(); ++f) {
        const ReferenceFunction& function = functions[f];
        const Lines originals = pack.blockLines(int(f));
        if (mismatch.isEmpty() && f < pack.blockCount() &&
            originals.size() != function.strings.size())
            mismatch =
                QStringLiteral("block %1 has %2 lines, but function %3 has %4 strings")
                    .arg(f)
                    .arg(originals.size())
                    .arg(QString::fromLatin1(
                        QByteArray::number(function.funcNum, 16).toUpper().rightJustified(4, '0')))
                    .arg(function.strings.size());
        Function entry;
        entry.funcNum = function.funcNum;
        entry.firstLine = qint32(m_lines.size());
        entry.lineCount = qint32(std::min(originals.size(), function.strings.size()));
        for (qint32 k = 0; k < entry.lineCount; ++k) {
            const QByteArray& original = originals[k];
            const QByteArray& translation = function.strings[k];
            Line line;
            line.original = qint32(m_originals.size());
            line.length = qint32(original.size());
            line.translation = qint32(m_translations.size());
            line.translationLength = qint32(translation.size());
            m_originals += original;
            m_translations += translation;
            // Counted in one pass over the line: only the bytes it holds are
            // touched (and cleared again below), and the bitmap gives them
            // back in ascending order, as the lookup reads them.
            quint64 seen[4] = {};
            for (const char ch : original) {
                const uchar c = upperAscii(uchar(ch));
                ++counts[c];
                seen[c >> 6] |= quint64(1) << (c & 63);
            }
            line.counts = qint32(m_countChars.size());
            bool fits = true;
            for (int word = 0; word < 4; ++word) {
                for (quint64 bits = seen[word]; bits != 0; bits &= bits - 1) {
                    const int c = word * 64 + std::countr_zero(bits);
                    fits = fits && counts[c] <= 0xFF;
                    m_countChars.push_back(uchar(c));
                    m_countValues.push_back(uchar(std::min(counts[c], 0xFF)));
                    counts[c] = 0;
                }
            }
            line.distinct = qint32(m_countChars.size()) - line.counts;
            // A character more than 255 times in one line (rare) does not fit
            // a count byte: that line is never skipped by the counts.
            if (!fits) {
                m_countChars.resize(size_t(line.counts));
                m_countValues.resize(size_t(line.counts));
                line.distinct = -1;
            }

            m_exact.push_back({exactKey(original), qint32(m_lines.size())});
            m_lines.push_back(line);
        }
        if (!m_firstFunction.contains(entry.funcNum))
            m_firstFunction.insert(entry.funcNum, int(m_functions.size()));
        m_functions.push_back(entry);
    }
    if (!mismatch.isEmpty())
        warnings << QStringLiteral("Warning! %1 does not belong to the reference usecode %2: %3. "
                                   "Reference lines without a partner get no proposal.")
                        .arg(packPath, usecodePath, mismatch);
    // Kept for the whole session: the originals' room was the pack's size,
    // line breaks included, and the counts grew line by line.
    m_originals.squeeze();
    m_translations.squeeze();
    m_countChars.shrink_to_fit();
    m_countValues.shrink_to_fit();
    m_lines.shrink_to_fit();
    // By key, then by line: the lines of one key stand in ascending order.
    std::sort(m_exact.begin(), m_exact.end());
    m_exact.shrink_to_fit();
    m_loaded = true;
}

void TranslationMemory::fillScope(quint16 funcNum, bool all) {
    m_scopeBegin = m_scopeEnd = 0;
    if (all) {
        m_scopeEnd = qint32(m_lines.size());
        return;
    }
    const auto it = m_firstFunction.constFind(funcNum);
    if (it == m_firstFunction.constEnd()) return;
    const Function& function = m_functions[size_t(it.value())];
    m_scopeBegin = function.firstLine;
    m_scopeEnd = function.firstLine + function.lineCount;
}

QByteArray TranslationMemory::originalAt(qsizetype line) const {
    const Line& l = m_lines[size_t(line)];
    return m_originals.mid(l.original, l.length);
}

QByteArray TranslationMemory::translationAt(qsizetype line) const {
    const Line& l = m_lines[size_t(line)];
    return m_translations.mid(l.translation, l.translationLength);
}

Lines TranslationMemory::RefTranslations() const {
    Lines out;
    out.reserve(m_scopeEnd - m_scopeBegin);
    for (qint32 k = m_scopeBegin; k < m_scopeEnd; ++k)
        out.append(translationAt(k));
    return out;
}

Lines TranslationMemory::RefOriginals() const {
    Lines out;
    out.reserve(m_scopeEnd - m_scopeBegin);
    for (qint32 k = m_scopeBegin; k < m_scopeEnd; ++k)
        out.append(originalAt(k));
    return out;
}

qsizetype TranslationMemory::findExact(const QByteArray& original, const Cp1252Codec& codec) const {
    const std::array<uchar, 256> keys = caseKeyTable(codec);
    if (keys == m_caseKeys) {
        // The key is a hash: each line it names is compared byte by byte.
        const quint64 key = exactKey(original);
        const auto* text = reinterpret_cast<const uchar*>(original.constData());
        for (auto it =
                 std::lower_bound(m_exact.begin(), m_exact.end(), ExactEntry{key, m_scopeBegin});
             it != m_exact.end() && it->key == key && it->line < m_scopeEnd; ++it) {
            const Line& line = m_lines[size_t(it->line)];
            if (line.length != original.size()) continue;
            const auto* candidate =
                reinterpret_cast<const uchar*>(m_originals.constData()) + line.original;
            qsizetype i = 0;
            while (i < line.length && keys[candidate[i]] == keys[text[i]])
                ++i;
            if (i == line.length) return it->line;
        }
        return -1;
    }
    // A code page whose letters fold differently from the one the keys were
    // made with: compare line by line.
    const QString text = codec.decode(original);
    for (qint32 k = m_scopeBegin; k < m_scopeEnd; ++k) {
        if (m_lines[size_t(k)].length == original.size() &&
            codec.decode(originalAt(k)).compare(text, Qt::CaseInsensitive) == 0)
            return k;
    }
    return -1;
}

// The first line of the scope whose original is more than 75 percent similar
// to original. Each candidate goes through bounds on its matched characters,
// cheapest first; only one that passes them all is counted exactly:
//   - no more than the shorter text: the shorter must exceed 60 percent of
//     the longer;
//   - no more than the characters both hold, counted with repetition;
//   - no more than their longest common subsequence.
qsizetype TranslationMemory::findSimilar(const QByteArray& original, double& similarity) const {
    const QByteArray query = upperAscii(original);
    const qsizetype lb = query.size();
    const auto* q = reinterpret_cast<const uchar*>(query.constData());
    const auto* originals = reinterpret_cast<const uchar*>(m_originals.constData());
    // The upper-cased original of a candidate, made only for the few that
    // pass the cheap bounds: a copy of every original would be kept for the
    // whole session.
    std::vector<uchar> upper;

    if (lb == 0) {
        // Similar to an empty text is only an empty one, at 100 percent.
        for (qint32 k = m_scopeBegin; k < m_scopeEnd; ++k) {
            if (m_lines[size_t(k)].length == 0) {
                similarity = 100;
                return k;
            }
        }
        return -1;
    }

    std::array<qint32, 256> queryCounts{};
    for (qsizetype p = 0; p < lb; ++p)
        ++queryCounts[q[p]];
    SubsequenceBound subsequence(query);
    std::vector<qint32> runs;
    std::vector<Range> stack;

    for (qint32 k = m_scopeBegin; k < m_scopeEnd; ++k) {
        const Line& line = m_lines[size_t(k)];
        const qsizetype la = line.length;
        if (la == 0) continue; // similarity 0
        const qint64 sum = la + lb;
        if (!passes(std::min(la, lb), sum)) continue;

        qint64 common = 0;
        if (line.distinct >= 0) {
            const uchar* chars = m_countChars.data() + line.counts;
            const uchar* values = m_countValues.data() + line.counts;
            for (qint32 d = 0; d < line.distinct; ++d)
                common += std::min(qint32(values[d]), queryCounts[chars[d]]);
            if (!passes(common, sum)) continue;
        }

        // The largest count that does not pass: the bounds and the exact
        // count may stop as soon as they cannot get above it.
        const qint64 failing = (3 * sum) / 8;
        upper.resize(size_t(la));
        const uchar* source = originals + line.original;
        for (qsizetype p = 0; p < la; ++p)
            upper[size_t(p)] = upperAscii(source[p]);
        const uchar* a = upper.data();
        if (!passes(subsequence(a, la, failing), sum)) continue;

        const qint64 matched = matchedChars(a, la, q, lb, failing, runs, stack);
        if (passes(matched, sum)) {
            similarity = 200.0 * double(matched) / double(sum);
            return k;
        }
    }
    return -1;
}

TranslationMemory::Proposal
TranslationMemory::FindReferenceTranslation(const QByteArray& original,
                                            const Cp1252Codec& codec) const {
    Proposal proposal;
    if (scopeIsEmpty()) return proposal;
    const qint32 base = m_scopeBegin;
    qsizetype line = findExact(original, codec);
    if (line >= 0) {
        proposal.exact = true;
        proposal.similarity = 100;
        proposal.statusText = QString::fromLatin1(ExactText);
    } else {
        line = findSimilar(original, proposal.similarity);
        if (line < 0) return proposal;
        proposal.statusText = QStringLiteral("Found a translation ") +
                              similarityPercentText(proposal.similarity) +
                              QStringLiteral("% similar, using it. Please confirm with enter key.");
    }
    proposal.found = true;
    proposal.line = line - base;
    proposal.translation = translationAt(line);
    return proposal;
}

double Similarity(const QByteArray& a, const QByteArray& b) {
    return similarityOfUpper(upperAscii(a), upperAscii(b));
}

QString similarityPercentText(double similarity) {
    // nearbyint in the default rounding mode: halves go to the even neighbour.
    return QString::number(qint64(std::nearbyint(similarity)));
}

} // namespace lexivo
