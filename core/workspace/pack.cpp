#include "pack.h"

#include "errors.h"
#include "fileio.h"

#include <algorithm>
#include <bzlib.h>
#include <cstring>

namespace lexivo {

namespace {

const char CorruptionMessage[] = "The bz2 engine signals a data corruption";

void putU16(QByteArray& out, qsizetype at, quint16 v) {
    out[at] = char(v & 0xFF);
    out[at + 1] = char(v >> 8);
}

void putI32(QByteArray& out, qsizetype at, qint32 v) {
    const auto u = quint32(v);
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((u >> (8 * i)) & 0xFF);
}

quint32 getU32(const QByteArray& in, qsizetype at) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(quint8(in[at + i])) << (8 * i);
    return v;
}

} // namespace

QByteArray Pack::buildContent(const QList<Lines>& blocks) {
    if (blocks.size() > 0xFFFF)
        throw Error(QStringLiteral("Too many functions for a pack: %1").arg(blocks.size()));
    QByteArray out(6, '\0');
    QList<qint32> starts;
    starts.reserve(blocks.size());
    for (const Lines& block : blocks) {
        starts.append(qint32(out.size()));
        for (const QByteArray& line : block) {
            out.append(line);
            out.append("\r\n", 2);
        }
    }
    const qint32 indexPosition = qint32(out.size());
    out.resize(out.size() + 4 * starts.size());
    for (qsizetype i = 0; i < starts.size(); ++i)
        putI32(out, indexPosition + 4 * i, starts[i]);
    putU16(out, 0, quint16(blocks.size()));
    putI32(out, 2, indexPosition);
    return out;
}

QByteArray Pack::compress(const QByteArray& content) {
    // Worst case of bzip2: input + 1% + 600 bytes.
    unsigned int capacity = unsigned(content.size() + content.size() / 100 + 600);
    QByteArray out(qsizetype(capacity), '\0');
    const int rc =
        BZ2_bzBuffToBuffCompress(out.data(), &capacity, const_cast<char*>(content.constData()),
                                 unsigned(content.size()), 9, 0, 0);
    if (rc != BZ_OK)
        throw Error(QStringLiteral("The bz2 engine failed to compress (code %1)").arg(rc));
    out.resize(capacity);
    return out;
}

QByteArray Pack::decompress(const QByteArray& compressed) {
    bz_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK)
        throw Error(QString::fromLatin1(CorruptionMessage));
    QByteArray out;
    char piece[48000];
    stream.next_in = const_cast<char*>(compressed.constData());
    stream.avail_in = unsigned(compressed.size());
    int rc = BZ_OK;
    while (rc == BZ_OK) {
        stream.next_out = piece;
        stream.avail_out = sizeof piece;
        rc = BZ2_bzDecompress(&stream);
        out.append(piece, qsizetype(sizeof piece - stream.avail_out));
        // No progress with input left and no output room used means the
        // stream cannot go on: treat it as damage rather than loop forever.
        if (rc == BZ_OK && stream.avail_in == 0 && stream.avail_out != 0) break;
    }
    const bool complete = rc == BZ_STREAM_END;
    const bool trailing = complete && stream.avail_in != 0;
    BZ2_bzDecompressEnd(&stream);
    // A stream that ends early or carries data after its end is as damaged as
    // one that fails a check: a pack missing its last blocks would show wrong
    // originals for every later function.
    if (!complete || trailing) throw Error(QString::fromLatin1(CorruptionMessage));
    // Grown piece by piece, the buffer is up to twice the content: give the
    // rest back (in place), since the content is kept for the whole session.
    out.squeeze();
    return out;
}

void Pack::write(const QString& path, const QByteArray& content) {
    writeFileAtomically(path, compress(content));
}

void Pack::load(const QString& path) {
    const QByteArray compressed = readWholeFile(path);
    QByteArray content;
    try {
        content = decompress(compressed);
    } catch (const Error& e) {
        // The decompressor's message does not say which file it read.
        throw DataError(QStringLiteral("%1: %2").arg(path, e.message()));
    }
    setContent(content, path);
}

void Pack::setContent(QByteArray content, const QString& fileName) {
    if (content.size() < 6)
        throw DataError(QStringLiteral("%1: the pack is too short to hold its header (%2 bytes)")
                            .arg(fileName)
                            .arg(content.size()));
    const int count = quint8(content[0]) | (quint8(content[1]) << 8);
    const qint64 indexPosition = qint32(getU32(content, 2));
    if (indexPosition < 6 || indexPosition + 4 * qint64(count) > content.size())
        throw DataError(QStringLiteral("%1: the pack index at byte offset %2 does not fit the "
                                       "content of %3 bytes")
                            .arg(fileName)
                            .arg(indexPosition)
                            .arg(content.size()));
    QList<Block> blocks;
    blocks.reserve(count);
    for (int i = 0; i < count; ++i)
        blocks.append({qint32(getU32(content, indexPosition + 4 * i)), 0});
    for (int i = 0; i < count; ++i) {
        const qint64 end = i + 1 < count ? blocks[i + 1].start : indexPosition;
        if (blocks[i].start < 6 || end < blocks[i].start || end > indexPosition)
            throw DataError(QStringLiteral("%1: block %2 of the pack starts at byte offset %3, "
                                           "outside the content")
                                .arg(fileName)
                                .arg(i)
                                .arg(blocks[i].start));
        blocks[i].length = end - blocks[i].start;
    }
    m_content = std::move(content);
    m_blocks = std::move(blocks);
}

QByteArray Pack::blockBytes(int i) const {
    if (i < 0 || i >= m_blocks.size()) return {};
    return m_content.mid(m_blocks[i].start, m_blocks[i].length);
}

qsizetype Pack::blockLineCount(int i) const {
    if (i < 0 || i >= m_blocks.size()) return 0;
    const char* begin = m_content.constData() + m_blocks[i].start;
    return std::count(begin, begin + m_blocks[i].length, '\n');
}

Lines Pack::blockLines(int i) const {
    return splitLines(blockBytes(i));
}

} // namespace lexivo
