// The translation-memory lookup with "SearchInAllFunc" down, on a full-size
// reference (the reference translation of the full-size sample game, some
// 15,000 originals), against the straightforward lookup kept below as the
// baseline:
//
//   build/bench/bench_tm [QUERIES]
//
// The queries are untranslated lines as a translator meets them: lines of the
// full-size game as they are (exact matches, and similar ones where the
// reference was made from an earlier reading), lines with a word changed, and
// lines of a later edition whose words are mostly new, for which no reference
// original qualifies: the worst case, every original compared. Both lookups
// answer every query; the answers (line, translation and status text) must
// be identical. The last line gives the speed-up on the worst-case queries
// (baseline time over fast time, both summed over those queries).

#include "gamebuilder/samplegame.h"
#include "gamebuilder/samplereference.h"
#include "usecode/usecodefile.h"
#include "workspace.h"
#include "workspace/cp1252codec.h"
#include "workspace/fileio.h"
#include "workspace/pack.h"
#include "workspace/translationmemory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace lexivo;

namespace {

// ---- the baseline: the straightforward lookup, nothing skipped ----

QByteArray baselineUpper(QByteArray s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return s;
}

// Positions from 1, ranges inclusive.
int baselineMatchedChars(const QByteArray& a, int s1, int e1, const QByteArray& b, int s2, int e2) {
    if (s1 > e1 || s2 > e2 || s1 < 1 || s2 < 1) return 0;
    int bi = 0, bj = 0, bk = 0;
    for (int i = s1; i <= e1; ++i) {
        for (int j = s2; j <= e2; ++j) {
            int k = 0;
            while (i + k <= e1 && j + k <= e2 && a[i + k - 1] == b[j + k - 1])
                ++k;
            if (k > bk) {
                bi = i;
                bj = j;
                bk = k;
            }
        }
    }
    if (bk == 0) return 0;
    return bk + baselineMatchedChars(a, bi + bk, e1, b, bj + bk, e2) +
           baselineMatchedChars(a, s1, bi - 1, b, s2, bj - 1);
}

double baselineSimilarity(const QByteArray& x, const QByteArray& y) {
    const QByteArray a = baselineUpper(x), b = baselineUpper(y);
    if (a == b) return 100;
    if (a.isEmpty() || b.isEmpty()) return 0;
    return 200.0 * baselineMatchedChars(a, 1, int(a.size()), b, 1, int(b.size())) /
           double(a.size() + b.size());
}

struct Answer {
    bool found = false;
    QByteArray translation;
    QString status;
    bool operator==(const Answer&) const = default;
};

Answer baselineLookup(const Lines& originals, const Lines& translations, const QByteArray& o,
                      const Cp1252Codec& codec) {
    Answer answer;
    const QString text = codec.decode(o);
    for (qsizetype k = 0; k < originals.size(); ++k) {
        if (codec.decode(originals[k]).compare(text, Qt::CaseInsensitive) == 0) {
            answer = {true, translations[k],
                      QStringLiteral("Exact translation found in reference file, using it. "
                                     "Please confirm with enter key.")};
            return answer;
        }
    }
    for (qsizetype k = 0; k < originals.size(); ++k) {
        const double s = baselineSimilarity(originals[k], o);
        if (s > 75) {
            answer = {true, translations[k],
                      QStringLiteral("Found a translation %1% similar, using it. Please confirm "
                                     "with enter key.")
                          .arg(qint64(std::nearbyint(s)))};
            return answer;
        }
    }
    return answer;
}

// ---- queries ----

class Random {
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint32 next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return quint32((m_state * 2685821657736338717ULL) >> 32);
    }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint64 m_state;
};

// Words of the later edition, none of them in the game's own word lists.
const char* const LaterWords[] = {"lantern-maker",
                                  "weathervane",
                                  "quarry",
                                  "thatcher",
                                  "pilgrim",
                                  "toll-house",
                                  "granary",
                                  "wheelwright",
                                  "sheepfold",
                                  "abbey",
                                  "smithy",
                                  "minstrel",
                                  "dovecote",
                                  "causeway",
                                  "almshouse",
                                  "tannery",
                                  "hayloft",
                                  "beacon",
                                  "millrace",
                                  "cloister",
                                  "is crumbling",
                                  "was never finished",
                                  "shelters the lambs",
                                  "hums in the wind",
                                  "stood empty all winter"};

// Replaces each word of three letters or more with probability percent / 100.
QByteArray replaceWords(const QByteArray& line, Random& rng, int percent) {
    QByteArray out;
    qsizetype p = 0;
    while (p < line.size()) {
        const auto letter = [&](qsizetype q) {
            const char c = line[q];
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        };
        if (!letter(p)) {
            out += line[p++];
            continue;
        }
        qsizetype end = p;
        while (end < line.size() && letter(end))
            ++end;
        if (end - p >= 3 && rng.below(100) < percent)
            out += LaterWords[rng.below(int(std::size(LaterWords)))];
        else
            out += line.mid(p, end - p);
        p = end;
    }
    return out;
}

struct Timing {
    std::vector<double> fast, baseline; // milliseconds per lookup
};

double mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0 : sum / double(v.size());
}

double worst(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

double total(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return sum;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int queryCount = argc > 1 ? std::max(10, atoi(argv[1])) : 300;

    // The full-size game and its reference, in a program directory of their own.
    QTemporaryDir root;
    const QString program = root.path() + "/prog/";
    QDir().mkpath(program);
    const QByteArray gameImage = gamebuild::sampleUsecode(gamebuild::SampleScale::Full);
    gamebuild::writeSampleReference(program + "reference", gamebuild::SampleScale::Full);
    writeFileAtomically(program + "LEXIVO.INI", "[DIRECTORY]\r\nREF_USECODE=reference/usecode\r\n"
                                                "REF_PAK=reference/ref.pak\r\n");
    Workspace ws(program);
    ws.openConfiguration();
    ws.readConfiguration();
    QElapsedTimer timer;
    timer.start();
    ws.loadReference();
    const double loadMs = double(timer.nsecsElapsed()) / 1e6;
    for (const QString& warning : ws.takeWarnings())
        std::printf("%s\n", qPrintable(warning));
    TranslationMemory& memory = ws.translationMemory();

    timer.restart();
    memory.fillScope(0x0100, true);
    const double scopeMs = double(timer.nsecsElapsed()) / 1e6;
    const Lines originals = memory.RefOriginals();
    const Lines translations = memory.RefTranslations();
    std::printf("reference: %d functions, %lld originals; loaded in %.1f ms, whole scope filled "
                "in %.3f ms\n",
                memory.functionCount(), qint64(originals.size()), loadMs, scopeMs);

    // The untranslated lines: sampled from the full-size game.
    const UsecodeFile game = parseUsecode(gameImage, QStringLiteral("full-size game"));
    Lines gameLines;
    for (const tFunc& func : game.funcs)
        gameLines += extractStrings(game.image, func);
    Random rng(0xB3AC4);
    QList<QByteArray> queries;
    QList<int> kinds; // 0 as in the game, 1 a word changed, 2 later edition
    while (queries.size() < queryCount) {
        QByteArray line = gameLines[rng.below(int(gameLines.size()))];
        if (line.size() < 12) continue; // keywords: every one has its exact match
        const int kind = queries.size() % 10 < 2 ? 0 : queries.size() % 10 < 4 ? 1 : 2;
        if (kind == 1) line = replaceWords(line, rng, 8);
        if (kind == 2) line = replaceWords(line, rng, 70);
        queries << line;
        kinds << kind;
    }

    const Cp1252Codec codec;
    for (const QByteArray& q : std::as_const(queries)) // warm-up
        memory.FindReferenceTranslation(q, codec);

    Timing all, worstCase;
    int exact = 0, similar = 0, none = 0, differing = 0;
    for (qsizetype n = 0; n < queries.size(); ++n) {
        const QByteArray& q = queries[n];
        timer.restart();
        const TranslationMemory::Proposal p = memory.FindReferenceTranslation(q, codec);
        const double fastMs = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        const Answer expected = baselineLookup(originals, translations, q, codec);
        const double baselineMs = double(timer.nsecsElapsed()) / 1e6;

        const Answer got{p.found, p.translation, p.statusText};
        if (!(got == expected)) {
            ++differing;
            std::printf("DIFFERENT answer for query %lld: %s\n  fast: %s\n  baseline: %s\n",
                        qint64(n), q.constData(), qPrintable(got.status),
                        qPrintable(expected.status));
        }
        all.fast.push_back(fastMs);
        all.baseline.push_back(baselineMs);
        if (!expected.found) {
            ++none;
            worstCase.fast.push_back(fastMs);
            worstCase.baseline.push_back(baselineMs);
        } else if (p.exact) {
            ++exact;
        } else {
            ++similar;
        }
    }

    std::printf("%lld queries: %d exact, %d similar, %d without a qualifying candidate\n",
                qint64(queries.size()), exact, similar, none);
    std::printf("all queries:        fast mean %.3f ms, worst %.3f ms; baseline mean %.1f ms, "
                "worst %.1f ms\n",
                mean(all.fast), worst(all.fast), mean(all.baseline), worst(all.baseline));
    std::printf("without candidate:  fast mean %.3f ms, worst %.3f ms; baseline mean %.1f ms, "
                "worst %.1f ms\n",
                mean(worstCase.fast), worst(worstCase.fast), mean(worstCase.baseline),
                worst(worstCase.baseline));
    if (2 * none < queries.size())
        std::printf("note: fewer than half of the queries are worst cases\n");
    const double speedUp =
        total(worstCase.fast) > 0 ? total(worstCase.baseline) / total(worstCase.fast) : 0;
    std::printf("worst-case speed-up: %.1fx, answers identical: %s\n", speedUp,
                differing == 0 ? "yes" : "no");
    return differing == 0 ? 0 : 1;
}
