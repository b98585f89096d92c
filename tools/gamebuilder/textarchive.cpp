#include "gamebuilder/textarchive.h"

#include <QtEndian>

#include <stdexcept>

namespace lexivo::gamebuild {

namespace {

void putU32(QByteArray& out, qsizetype pos, quint32 value) {
    qToLittleEndian(value, out.data() + pos);
}

} // namespace

QByteArray textArchive(const QList<std::optional<QByteArray>>& messages,
                       const QByteArray& comment) {
    constexpr qsizetype tableStart = 128;
    const qsizetype count = messages.size();
    QByteArray out(tableStart + 8 * count, '\0');
    out.replace(0, qMin<qsizetype>(comment.size(), 84), comment.left(84));
    putU32(out, 84, quint32(count));
    // The header rest is not interpreted by readers; give it a recognisable,
    // non-zero word so that tests can see it is carried over unchanged.
    putU32(out, 88, 0x0000001A);

    for (qsizetype i = 0; i < count; ++i) {
        const auto& message = messages.at(i);
        if (!message) continue; // empty slot: offset 0, size 0, no record
        const qsizetype offset = out.size();
        if (offset > 0x7FFFFFFF) throw std::logic_error("text archive larger than 2 GiB");
        out.append(*message);
        out.append('\0');
        putU32(out, tableStart + 8 * i, quint32(offset));
        putU32(out, tableStart + 8 * i + 4, quint32(message->size() + 1));
    }
    return out;
}

QByteArray messageFile(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& line : lines) {
        out.append(line);
        out.append("\r\n");
    }
    return out;
}

} // namespace lexivo::gamebuild
