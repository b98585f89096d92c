#pragma once

#include "textlines.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace lexivo {

// The layout of orig.pak and of the reference pack, uncompressed:
//   u16 block count N, i32 index position X, the N blocks back to back (each
//   the text forms of one function's strings, every one followed by CR LF),
//   then at X the N block starts as i32 each.
// The file is one bzip2 stream of that content (block size 9).
class Pack {
public:
    // Builds the uncompressed content from each function's strings (text forms).
    static QByteArray buildContent(const QList<Lines>& blocks);
    // Compresses content and writes it atomically to path. Throws FileError.
    static void write(const QString& path, const QByteArray& content);

    // Reads, decompresses and indexes a pack file. Throws FileError when the
    // file cannot be opened, DataError("<path>: The bz2 engine signals a data
    // corruption") for a damaged, truncated or trailing-data stream, DataError
    // naming the file for an index that does not fit the content.
    void load(const QString& path);
    // The same from uncompressed content (fileName names it in messages).
    void setContent(QByteArray content, const QString& fileName);

    int blockCount() const { return int(m_blocks.size()); }
    // The lines of block i; no lines when there is no such block.
    Lines blockLines(int i) const;
    QByteArray blockBytes(int i) const;
    // The number of lines of block i, counted in place.
    qsizetype blockLineCount(int i) const;
    const QByteArray& content() const { return m_content; }

    static QByteArray compress(const QByteArray& content);
    // Throws Error("The bz2 engine signals a data corruption") on damage.
    static QByteArray decompress(const QByteArray& compressed);

private:
    struct Block {
        qint64 start = 0;
        qint64 length = 0;
    };
    QByteArray m_content;
    QList<Block> m_blocks;
};

} // namespace lexivo
