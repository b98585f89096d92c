#pragma once

#include "usecodefile.h"
#include "workspace/gamestring.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

namespace lexivo {

struct RebuildOptions {
    // Asked once per record with a non-empty data segment. Returns true and
    // fills lines (the translation file's lines) when the function is to be
    // re-encoded; false keeps the record as it is. May throw: NotSingleByteText
    // keeps the function as it is (its message joins the warnings); any other
    // error (a translation file that cannot be read) fails the rebuild for
    // that function.
    std::function<bool(quint16 funcNum, QList<QByteArray>& lines)> translationFor;
    // The fast rebuild: only functions whose translation reads differently
    // from the strings the image holds now are re-encoded; the others are
    // copied. The complete rebuild re-encodes every translated function.
    bool onlyChanged = false;
    // Called once per record before it is handled.
    std::function<void(quint32 funcNum, qint64 position, qint64 total)> progress;
    QString fileName; // names the usecode file in messages
    // How translated lines reach the game: with Original, a function with a
    // line holding a letter the original fonts lack is kept as it is.
    GameTextEncoding encoding = GameTextEncoding::Windows;
    // The original DOS engine is to read the file (LINKDEP files beside it):
    // a function whose translation would need a 32-bit instruction form or
    // the extended record form is kept as it is, with a message.
    bool originalFormsOnly = false;
};

struct RebuildOutput {
    QByteArray image;     // the new usecode file, whole
    QStringList warnings; // shown together in one message after the rebuild
    QList<quint16> reencoded;
    // Functions whose translation differs from the strings of the image but
    // did not go in (kept as they were); the reason is in warnings.
    QList<quint16> notApplied;
    // The messages of functions kept because of the game-text encoding or
    // originalFormsOnly (also in warnings): what the translator must change.
    QStringList keptForGame;
};

// Rebuilds a usecode image: records that are not re-encoded are copied byte
// for byte (0xFFFE records included); re-encoded ones get the new data segment
// and relocated code. Every re-encoded function is verified before the image
// is returned. Functions that cannot be re-encoded safely (line count differs
// from the string count, unknown opcode, an operand that names no string start,
// a jump that cannot be kept, a translation file that is not single-byte text)
// are kept as they are and listed in warnings, and in notApplied when their
// translation differs from what the image holds. A function number carried by
// several records is never re-encoded; its translation counts as not applied
// when it differs from the strings of the first of them (the one the function
// view shows).
// Throws Error("Error compiling function: %X") for a record that ends before
// its size says and when translationFor throws; DataError (naming the file)
// for a damaged symbol-table header; no partial image is ever returned.
// A re-encoded record takes the extended form when its new size exceeds
// 0xFFFE and keeps it once it has it. Parse the returned image again to get
// the function table of the new file.
RebuildOutput rebuildUsecode(const UsecodeFile& file, const RebuildOptions& options);

} // namespace lexivo
