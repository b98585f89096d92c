// Any text archive: decoded, then written back from its own lines and from
// changed ones; never a crash, a hang or an allocation the bytes do not back.

#include "workspace/errors.h"
#include "workspace/gametext.h"

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const DecodedTextArchive decoded = decodeTextArchive(bytes, QStringLiteral("text.flx"));
        QStringList warnings;
        const QByteArray same =
            buildTextArchive(bytes, decoded.lines, QStringLiteral("text.flx"), warnings);
        // What the writer makes, the reader takes back line for line.
        const DecodedTextArchive again = decodeTextArchive(same, QStringLiteral("text.flx"));
        if (again.lines.size() != decoded.lines.size() || !again.warnings.isEmpty())
            __builtin_trap();
        Lines changed = decoded.lines;
        if (!changed.isEmpty()) changed.removeLast();
        changed.prepend("a # note\\N\\T");
        (void)buildTextArchive(same, changed, QStringLiteral("text.flx"), warnings);
    } catch (const Error&) {
    }
    return 0;
}
