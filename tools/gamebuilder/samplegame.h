#pragma once

// The sample game: a made-up village whose usecode file and text archive
// exercise everything the workbench reads (symbol table, standard, extended
// and 0xFFFE records, a function without strings, jumps both ways, every kind
// of string operand, accented control bytes, line breaks and tabs). Its text is
// written for Lexivo; no game text is used. The full scale is a game of
// realistic size for benchmarks, generated deterministically from word lists.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace lexivo::gamebuild {

enum class SampleScale {
    Small, // about a dozen functions and 30 messages
    Full,  // about 1,500 functions, 15,000 strings, 1.4 MB of usecode
};

struct SampleGameOptions {
    // Put the game files into the subfolder STATIC (upper-case file names,
    // USECODE and TEXT.FLX) instead of the game folder itself.
    bool staticFolder = false;
    SampleScale scale = SampleScale::Small;
    // The game as the original DOS release holds it (small scale only):
    // USECODE without a symbol table, standard records and original opcodes
    // only, extern tables with shared callees and cycles, and the engine's
    // index files LINKDEP1 and LINKDEP2 beside it.
    bool dos = false;
};

// The game files as bytes, for tests and benchmarks that want them in memory.
QByteArray sampleUsecode(SampleScale scale = SampleScale::Small);
QList<std::optional<QByteArray>> sampleMessages(SampleScale scale = SampleScale::Small);
// The usecode file of the DOS-style game (see SampleGameOptions::dos).
QByteArray sampleDosUsecode();

// Converts text written in this source (UTF-8) into game bytes: '\n' becomes
// CR LF, the accented letters the game keeps as control bytes (é, ü, à, ç ...)
// become those bytes, other Latin-1 letters and ’ – … become their
// Windows-1252 bytes. Used to write the sample texts readably.
QByteArray gameText(const char* utf8);

// Writes the sample game into gameDir (created when missing): usecode and
// text.flx, or STATIC/USECODE and STATIC/TEXT.FLX. Existing entries are
// replaced whatever the letter case of their names. Throws lexivo::FileError
// when a folder or file cannot be created. Returns the paths written.
QList<QString> writeSampleGame(const QString& gameDir, const SampleGameOptions& options = {});

} // namespace lexivo::gamebuild
