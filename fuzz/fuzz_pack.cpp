// Any pack file, compressed or already decompressed: never a crash or a hang.

#include "workspace/errors.h"
#include "workspace/pack.h"

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Pack pack;
    try {
        pack.setContent(Pack::decompress(bytes), QStringLiteral("orig.pak"));
    } catch (const Error&) {
    }
    try {
        pack.setContent(bytes, QStringLiteral("orig.pak"));
        for (int i = 0; i < pack.blockCount(); ++i)
            (void)pack.blockLines(i);
    } catch (const Error&) {
    }
    return 0;
}
