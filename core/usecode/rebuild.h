#pragma once

#include "usecodefile.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

namespace lexivo {

struct RebuildOptions {
    // Asked once per record with a non-empty data segment. Returns true and
    // fills lines (the translation file's lines) when the function is to be
    // re-encoded; false keeps the record as it is. May throw (a translation
    // file that cannot be read): the rebuild then fails for that function.
    std::function<bool(quint16 funcNum, QList<QByteArray>& lines)> translationFor;
    // Called once per record before it is handled.
    std::function<void(quint32 funcNum, qint64 position, qint64 total)> progress;
    QString fileName; // names the usecode file in messages
};

struct RebuildOutput {
    QByteArray image;     // the new usecode file, whole
    QStringList warnings; // shown together in one message after the rebuild
    QList<quint16> reencoded;
};

// Rebuilds a usecode image: records that are not re-encoded are copied byte
// for byte (0xFFFE records included); re-encoded ones get the new data segment
// and relocated code. Every re-encoded function is verified before the image
// is returned. Functions that cannot be re-encoded safely (line count differs
// from the string count, unknown opcode, an operand that names no string start,
// a jump that cannot be kept) are kept as they are and listed in warnings.
// Throws Error("Error compiling function: %X") for a record that ends before
// its size says and when translationFor throws; DataError (naming the file)
// for a damaged symbol-table header; no partial image is ever returned.
// A re-encoded record takes the extended form when its new size exceeds
// 0xFFFE and keeps it once it has it. Parse the returned image again to get
// the function table of the new file.
RebuildOutput rebuildUsecode(const UsecodeFile& file, const RebuildOptions& options);

} // namespace lexivo
