#pragma once

// The two index files the original DOS engine keeps beside usecode. It finds a
// function and everything it may call through them, so after any change of a
// function's size they must be made again from the new usecode file.
//
// All numbers little-endian.
//   LINKDEP1: one 4-byte record per function id from 0 to the highest id in
//     the file, then a terminator: u16 first (an entry number of LINKDEP2,
//     from 0), u16 size. For an id with a function: first = the number of
//     LINKDEP2 entries written before it, size = the sum of the 16-bit size
//     fields of every function of its call tree. For an id without one: first
//     = the same running count, size = 0xFFFF. Terminator: (entry count, 0).
//   LINKDEP2: u32 byte offsets in usecode of the first byte of each function
//     record, tree after tree in id order, each tree's members sorted by id.
// The call tree of a function is the function itself and every function
// reachable through the extern tables of the code headers, followed
// transitively (cycles are common).

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lexivo {

namespace linkdep {
inline constexpr int MaxTreeFunctions = 35;
// The engine's cache block for a tree is sized in 16 bits.
inline constexpr qint64 MaxTreeBytes = 65389;
// Each file must stay under 64 KiB: 16,383 records or entries.
inline constexpr qint64 MaxFileBytes = 65535;
// The longest message of the text archive, its NUL included, and the longest
// string a conversation can say.
inline constexpr qint64 MaxTextMessageBytes = 256;
inline constexpr qint64 MaxConversationStringBytes = 999;
} // namespace linkdep

// LINKDEP1 and LINKDEP2 of a usecode directory, found without regard to
// letter case; a path is empty when that file is missing.
struct LinkDepFiles {
    QString linkdep1;
    QString linkdep2;
    // The original engine's index files are there: the usecode written must
    // stay readable by it, and both files are written with it.
    bool present() const { return !linkdep1.isEmpty() || !linkdep2.isEmpty(); }
};
LinkDepFiles findLinkDepFiles(const QString& usecodeDirectory);

struct LinkDepResult {
    QByteArray linkdep1;
    QByteArray linkdep2;
    // Why the original engine cannot run this usecode file (each names the
    // file, the function and the limit); the files are only usable when empty.
    QStringList problems;
    // Not fatal: a 0x47 call to a function outside the caller's call tree.
    QStringList warnings;
    bool ok() const { return problems.isEmpty(); }
};

// Makes both files for a usecode image and checks it against every limit of
// the original engine: no symbol table, only standard records (no extended
// or 0xFFFE ones, no function number used twice), only the original opcodes
// (no 32-bit forms, no compiler-only opcodes), every extern id naming a
// function of the file, at most 35 functions and 65,389 bytes in a call tree,
// and both files under 64 KiB. fileName names the usecode file in messages.
LinkDepResult buildLinkDep(const QByteArray& usecode, const QString& fileName);

// An opcode the original engine knows: in the instruction table, and neither a
// 32-bit form nor an opcode only the script compiler of game modifications
// emits.
bool isOriginalOpcode(quint8 opcode);

struct PlannedWrite {
    QString path;
    QByteArray bytes;
    // What the file held before (for putting it back); absent = no file yet.
    QByteArray oldBytes;
    bool existed = true;
};

// Writes a set of files that only make sense together (usecode and its two
// index files). Every file is first written whole and flushed to the disk as
// "<target>.lexivo-new" beside its target, so a full disk or a folder that
// cannot be written is found before anything is replaced. A journal beside
// the first file then lists the set, and each target is replaced by a rename.
// Should a rename be refused, the files already replaced get their old bytes
// back. Should the process be killed during the renames, the journal stays
// and completePendingWrites() finishes them. Throws FileError naming the file
// that failed.
void writeFilesTogether(const QList<PlannedWrite>& writes);

// Finishes a set write that was stopped during its renames (its journal is in
// folder): every file of the set still waiting beside its target is put in
// place, and the journal removed. Returns a message for the user when there
// was one, else an empty string. Throws FileError when a file cannot be put in
// place.
QString completePendingWrites(const QString& folder);

} // namespace lexivo
