// Any message file: its texts extracted and written back; never a crash, and
// the message lines written back are the message lines read.

#include "workspace/errors.h"
#include "workspace/gametext.h"

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const Lines fileLines = messageFileLines(bytes, QStringLiteral("textmsg.txt"));
        const Lines texts = messageTexts(fileLines);
        QStringList warnings;
        const Lines same = rewriteMessageLines(fileLines, texts, warnings);
        if (same != fileLines || !warnings.isEmpty()) __builtin_trap();
        (void)rewriteMessageLines(fileLines, texts.mid(1), warnings);
    } catch (const Error&) {
    }
    return 0;
}
