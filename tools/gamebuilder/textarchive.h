#pragma once

// Builders for the game's message files: the text archive text.flx and the
// plain message file textmsg.txt.

#include <QByteArray>
#include <QList>

#include <optional>

namespace lexivo::gamebuild {

// A text archive: an 84-byte header start (the comment, padded with NUL
// bytes), the record count at 84, 40 more header bytes, the record table at
// 128 (i32 offset, u32 size per entry) and the records, one game string each
// with its NUL, in table order right after the table. A message given as
// nullopt is an empty slot: its table entry is offset 0, size 0 and it has no
// record. The comment is cut to 84 bytes.
QByteArray textArchive(const QList<std::optional<QByteArray>>& messages,
                       const QByteArray& comment = "Lexivo sample text archive");

// A message file: every line followed by CR LF, as given (message lines are
// those with a colon; the caller writes keys such as "0x010:").
QByteArray messageFile(const QList<QByteArray>& lines);

} // namespace lexivo::gamebuild
