// Any translation file: split into lines (or refused as not single-byte
// text), then compiled into a function of that many strings by the rebuild.
// The rebuild either keeps the function as it was (the image unchanged, the
// function named) or writes one the verifier accepts and whose strings read
// back as the file's lines stored through the game-string codec.
// Input: one byte choosing the function's shape, then the file.

#include "gamebuilder/usecodebuilder.h"
#include "usecode/rebuild.h"
#include "usecode/usecodefile.h"
#include "usecode/verifier.h"
#include "workspace/errors.h"
#include "workspace/gamestring.h"
#include "workspace/translationfile.h"

#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const quint8 choice = data[0];
    const QByteArray content(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    Lines lines;
    try {
        lines = translationFileLines(content, QStringLiteral("0401.TXT"));
    } catch (const NotSingleByteText&) {
        return 0;
    }
    if (lines.size() > 300) return 0;

    // The function's string count: the file's line count, or one fewer.
    const int count = qMax(0, int(lines.size()) - ((choice & 1) ? 1 : 0));
    if (count == 0) return 0;
    gamebuild::FunctionSpec spec;
    spec.number = 0x0401;
    for (int i = 0; i < count; ++i)
        spec.strings.append("s" + QByteArray::number(i));
    spec.code = gamebuild::simpleConversation(count);
    if (choice & 2) spec.code.debugFunc(0x4D, 0, count - 1);
    spec.extended = (choice & 4) != 0;
    gamebuild::FunctionSpec after;
    after.number = 0x0402;
    after.strings = {"kept"};
    after.code = gamebuild::simpleConversation(1);
    const QByteArray image = gamebuild::functionRecord(spec) + gamebuild::functionRecord(after);
    const UsecodeFile file = parseUsecode(image, QStringLiteral("usecode"));
    if (!file.problems.isEmpty() || file.funcs.size() != 2) std::abort();

    RebuildOptions options;
    options.fileName = QStringLiteral("usecode");
    options.onlyChanged = (choice & 8) != 0;
    options.translationFor = [&](quint16 funcNum, QList<QByteArray>& out) {
        if (funcNum != 0x0401) return false;
        out = lines;
        return true;
    };
    RebuildOutput out;
    try {
        out = rebuildUsecode(file, options);
    } catch (const Error&) {
        return 0;
    }
    if (!out.reencoded.contains(quint16(0x0401))) {
        // Kept as it was: nothing else may change, and a file that differs
        // from the function is named.
        if (out.image != image) std::abort();
        if (lines.size() != count && !out.notApplied.contains(quint16(0x0401))) std::abort();
        if (!out.notApplied.isEmpty() && out.warnings.isEmpty()) std::abort();
        return 0;
    }
    if (lines.size() != count) std::abort(); // compiled with the wrong line count
    const UsecodeFile rebuilt = parseUsecode(out.image, QStringLiteral("rebuilt"));
    if (!rebuilt.problems.isEmpty() || rebuilt.funcs.size() != 2) std::abort();
    if (!verifyFunctionRecord(recordBytes(rebuilt.image, rebuilt.funcs[0])).isEmpty()) std::abort();
    if (recordBytes(rebuilt.image, rebuilt.funcs[1]) != recordBytes(image, file.funcs[1]))
        std::abort();
    const QList<QByteArray> strings = extractStrings(rebuilt.image, rebuilt.funcs[0]);
    if (strings.size() != count) std::abort();
    for (int i = 0; i < count; ++i) {
        QByteArray stored;
        WriteGameString(stored, lines[i]);
        qsizetype pos = 0;
        if (ReadGameString(stored, pos) != strings[i]) std::abort();
    }
    return 0;
}
