// Any reference usecode with any reference pack: loaded the way start-up loads
// them (the usecode loader, the pack, the translation memory), then every
// function's scope filled and looked up; never a crash, a hang or an
// allocation the bytes cannot back, and a proposal is always a line of the
// scope. Input: two bytes giving the length of the usecode part, the usecode,
// then the uncompressed pack content (compressed here, so that the fuzzer
// works on the layout rather than on the bzip2 stream, which fuzz_pack
// covers).

#include "usecode/usecodefile.h"
#include "workspace/cp1252codec.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/pack.h"
#include "workspace/translationmemory.h"

#include <QTemporaryDir>
#include <bzlib.h>
#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static QTemporaryDir dir;
    static const Cp1252Codec codec;
    const qsizetype split = qMin(qsizetype((data[0] << 8) | data[1]), qsizetype(size - 2));
    const QByteArray usecodeBytes(reinterpret_cast<const char*>(data + 2), split);
    const QByteArray content(reinterpret_cast<const char*>(data + 2 + split),
                             qsizetype(size - 2 - split));
    const QString packPath = dir.filePath(QStringLiteral("ref.pak"));
    // Block size 1: the smallest stream the decompressor takes, many times
    // faster than the writer's block size 9.
    QByteArray compressed(content.size() + content.size() / 100 + 600, '\0');
    unsigned length = unsigned(compressed.size());
    if (BZ2_bzBuffToBuffCompress(compressed.data(), &length, const_cast<char*>(content.constData()),
                                 unsigned(content.size()), 1, 0, 0) != BZ_OK)
        std::abort();
    compressed.truncate(length);
    writeFileAtomically(packPath, compressed);

    const UsecodeFile reference = parseUsecode(usecodeBytes, QStringLiteral("ref/usecode"));
    QList<TranslationMemory::ReferenceFunction> functions;
    for (const tFunc& func : reference.funcs)
        functions.append({func.FuncNum, extractStrings(reference.image, func)});

    TranslationMemory memory;
    QStringList warnings;
    try {
        memory.load(QStringLiteral("ref/usecode"), functions, reference.problems.isEmpty(),
                    packPath, warnings);
    } catch (const Error&) {
        if (memory.isLoaded()) std::abort(); // a failed load leaves nothing loaded
        return 0;
    }
    if (warnings.size() > 1) std::abort(); // said once, never once per function

    for (int pass = 0; pass < 2; ++pass) {
        for (const TranslationMemory::ReferenceFunction& function : functions.mid(0, 16)) {
            memory.fillScope(function.funcNum, pass == 1);
            const Lines originals = memory.RefOriginals();
            const Lines translations = memory.RefTranslations();
            if (originals.size() != translations.size()) std::abort();
            if (memory.scopeIsEmpty() != originals.isEmpty()) std::abort();
            if (memory.scopeIsEmpty()) continue;
            // An original of the scope itself, and one a letter longer.
            for (const QByteArray& asked : {originals.first(), originals.last() + 'e'}) {
                const TranslationMemory::Proposal proposal =
                    memory.FindReferenceTranslation(asked, codec);
                if (!proposal.found) continue;
                if (proposal.line < 0 || proposal.line >= translations.size() ||
                    proposal.translation != translations[proposal.line])
                    std::abort();
            }
        }
    }
    return 0;
}
