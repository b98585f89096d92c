// Any usecode file: loading never crashes, and a rebuild that translates every
// function either fails cleanly or yields a file whose re-encoded functions
// all pass the code verifier.

#include "usecode/rebuild.h"
#include "usecode/usecodefile.h"
#include "usecode/verifier.h"
#include "workspace/errors.h"

#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray image(reinterpret_cast<const char*>(data), qsizetype(size));
    const UsecodeFile file = parseUsecode(image, QStringLiteral("usecode"));
    for (const tFunc& func : file.funcs)
        (void)extractStrings(file.image, func);

    RebuildOptions options;
    options.translationFor = [&](quint16 funcNum, QList<QByteArray>& lines) {
        for (const tFunc& func : file.funcs) {
            if (func.FuncNum != funcNum) continue;
            lines = extractStrings(file.image, func);
            for (qsizetype i = 0; i < lines.size(); ++i)
                lines[i] += QByteArray(int((funcNum + i) % 7) * 40, 'x');
            return true;
        }
        return false;
    };
    try {
        const RebuildOutput out = rebuildUsecode(file, options);
        const UsecodeFile rebuilt = parseUsecode(out.image, QStringLiteral("rebuilt"));
        for (const tFunc& func : rebuilt.funcs) {
            if (!out.reencoded.contains(func.FuncNum)) continue;
            if (!verifyFunctionRecord(recordBytes(rebuilt.image, func)).isEmpty())
                std::abort(); // a re-encoded function that the verifier refuses
        }
    } catch (const Error&) {
    }
    return 0;
}
