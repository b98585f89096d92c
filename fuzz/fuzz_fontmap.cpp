// Any font_map.txt merged over the engine's table: never a crash; a damaged
// file leaves the map as it was, and every mapped pair draws as its entry.

#include "gamedata/fontmap.h"
#include "workspace/errors.h"

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const FontMap base = FontMap::engineDefault();
    FontMap map = base;
    try {
        map.merge(bytes, QStringLiteral("font_map.txt"));
    } catch (const Error&) {
        if (!(map == base)) __builtin_trap();
    }
    for (const FontMap::Section section : {FontMap::Section::Builtin, FontMap::Section::Original}) {
        const QByteArray drawn = map.apply(bytes, section);
        if (bytes.isEmpty() != drawn.isEmpty() && section == FontMap::Section::Builtin)
            __builtin_trap();
        if (const auto frame = map.lookup(0xC3, 0xBC, section)) {
            if (map.apply("\xC3\xBC", section) != *frame) __builtin_trap();
        }
    }
    return 0;
}
