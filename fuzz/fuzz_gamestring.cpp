// Any game string survives read -> text form -> line of a file -> write.

#include "workspace/gamestring.h"
#include "workspace/textlines.h"

#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray game(reinterpret_cast<const char*>(data), qsizetype(size));
    game.replace('\0', '.');
    game.append('\0');
    qsizetype pos = 0;
    const QByteArray text = ReadGameString(game, pos);
    const Lines lines = splitLines(joinLines({text}));
    if (lines.size() != 1 || lines[0] != text) std::abort();
    QByteArray out;
    if (WriteGameString(out, lines[0]) != StoredStringSize(text)) std::abort();
    // Nothing may be lost or shifted; only a backslash-T that stood in the
    // game text itself comes back as a tab, one byte shorter.
    if (!game.contains("\\T") && out.size() != game.size()) std::abort();
    return 0;
}
