#include "gamedata/fontmap.h"

#include "workspace/errors.h"
#include "workspace/fileio.h"

#include <algorithm>
#include <array>

namespace lexivo {

namespace {

// The engine's own table: UTF-8 bytes, frame of the built-in fonts, and the
// ASCII text drawn with the game's own fonts (empty: no entry in original).
struct DefaultEntry {
    quint8 lead;
    quint8 trail;
    quint8 frame;
    const char* text;
};

constexpr std::array<DefaultEntry, 37> kEngineTable{{
    {0xC3, 0x87, 0x01, "C"},  // Ç
    {0xC3, 0xBC, 0x02, "ue"}, // ü
    {0xC3, 0xA9, 0x03, "e"},  // é
    {0xC3, 0xA2, 0x04, "a"},  // â
    {0xC3, 0xA4, 0x05, "ae"}, // ä
    {0xC3, 0xA0, 0x06, "a"},  // à
    {0xC3, 0xA7, 0x07, "c"},  // ç
    {0xC3, 0xAA, 0x08, "e"},  // ê
    {0xC3, 0x8A, 0x09, "E"},  // Ê
    {0xC3, 0x82, 0x0A, "A"},  // Â
    {0xC3, 0xAB, 0x0B, "e"},  // ë
    {0xC3, 0xA8, 0x0C, "e"},  // è
    {0xC3, 0x88, 0x0D, "E"},  // È
    {0xC3, 0xAF, 0x0E, "i"},  // ï
    {0xC3, 0xAE, 0x0F, "i"},  // î
    {0xC3, 0xAC, 0x10, "i"},  // ì
    {0xC3, 0x84, 0x11, "AE"}, // Ä
    {0xC3, 0x89, 0x12, "E"},  // É
    {0xC3, 0xB4, 0x13, "o"},  // ô
    {0xC3, 0xB6, 0x14, "oe"}, // ö
    {0xC3, 0xBB, 0x15, "u"},  // û
    {0xC3, 0xB9, 0x16, "u"},  // ù
    {0xC3, 0x96, 0x17, "OE"}, // Ö
    {0xC3, 0x9C, 0x18, "UE"}, // Ü
    {0xC3, 0xA1, 0x19, "a"},  // á
    {0xC3, 0x81, 0x1A, "A"},  // Á
    {0xC3, 0x80, 0x1B, "A"},  // À
    {0xC3, 0x9F, 0x1C, "ss"}, // ß
    {0xC3, 0xAD, 0x1D, "i"},  // í
    {0xC3, 0xB3, 0x1E, "o"},  // ó
    {0xC3, 0xBA, 0x1F, "u"},  // ú
    {0xC3, 0x91, 0x81, "N"},  // Ñ
    {0xC3, 0xB1, 0x82, "n"},  // ñ
    {0xC3, 0x93, 0x83, "O"},  // Ó
    {0xC3, 0x9A, 0x84, "U"},  // Ú
    {0xC3, 0xBF, 0x85, ""},   // ÿ
    {0xC2, 0xA1, 0x86, ""},   // ¡
}};

constexpr quint16 key(quint8 lead, quint8 trail) {
    return quint16(lead << 8 | trail);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\b';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes of a hexadecimal string of even length, or nullopt.
std::optional<QByteArray> fromHex(const QByteArray& hex) {
    if (hex.isEmpty() || hex.size() % 2 != 0) return std::nullopt;
    QByteArray bytes;
    for (qsizetype i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.append(char(high << 4 | low));
    }
    return bytes;
}

// An entry number as the engine reads it: decimal, 0x hexadecimal or
// 0-octal.
bool isEntryNumber(const QByteArray& text) {
    bool ok = false;
    const QByteArray t = text.trimmed();
    if (t.startsWith("0x") || t.startsWith("0X"))
        t.mid(2).toUInt(&ok, 16);
    else if (t.size() > 1 && t.startsWith('0'))
        t.mid(1).toUInt(&ok, 8);
    else
        t.toUInt(&ok, 10);
    return ok;
}

} // namespace

FontMap FontMap::engineDefault() {
    FontMap map;
    for (const DefaultEntry& e : kEngineTable) {
        map.m_builtin.insert(key(e.lead, e.trail), QByteArray(1, char(e.frame)));
        if (*e.text) map.m_original.insert(key(e.lead, e.trail), QByteArray(e.text));
    }
    return map;
}

void FontMap::merge(const QByteArray& content, const QString& fileName) {
    Table builtin = m_builtin;
    Table original = m_original;
    const auto damaged = [&](int line, const QString& problem) {
        return DataError(QStringLiteral("%1, line %2: %3").arg(fileName).arg(line).arg(problem));
    };

    enum class In { None, Builtin, Original, Other };
    In in = In::None;
    QList<QByteArray> sectionsSeen;
    int sectionLine = 0;
    int lineNumber = 0;
    qsizetype pos = content.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < content.size()) {
        qsizetype end = pos;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        QByteArray line = content.mid(pos, end - pos);
        ++lineNumber;
        pos = end;
        if (pos < content.size() && content[pos] == '\r') ++pos;
        if (pos < content.size() && content[pos] == '\n') ++pos;

        qsizetype start = 0;
        while (start < line.size() && isBlank(line[start]))
            ++start;
        line = line.mid(start);
        if (line.isEmpty() || line.startsWith('#')) continue;

        if (line.startsWith("%%section")) {
            const QByteArray name = line.mid(9).trimmed();
            if (in != In::None)
                throw damaged(lineNumber, QStringLiteral("a section opens inside the section "
                                                         "opened at line %1")
                                              .arg(sectionLine));
            if (name.isEmpty())
                throw damaged(lineNumber, QStringLiteral("the section has no name"));
            if (sectionsSeen.contains(name))
                throw damaged(lineNumber, QStringLiteral("the section \"%1\" appears a second time")
                                              .arg(QString::fromLatin1(name)));
            sectionsSeen.append(name);
            sectionLine = lineNumber;
            in = name == "builtin" ? In::Builtin : name == "original" ? In::Original : In::Other;
            continue;
        }
        if (line.startsWith("%%endsection")) {
            if (in == In::None)
                throw damaged(lineNumber, QStringLiteral("%%endsection without an open section"));
            in = In::None;
            continue;
        }

        const qsizetype colon = line.indexOf(':');
        // The engine ignores a line without ':' (with a warning), so do we.
        if (colon < 0) continue;
        if (colon > 0 && !isEntryNumber(line.left(colon)))
            throw damaged(lineNumber, QStringLiteral("\"%1\" is not an entry number")
                                          .arg(QString::fromLatin1(line.left(colon))));
        if (in != In::Builtin && in != In::Original) continue;

        const QByteArray value = line.mid(colon + 1);
        const qsizetype slash = value.indexOf('/');
        const QString shown = QString::fromUtf8(value).trimmed();
        const std::optional<QByteArray> bytes =
            slash < 0 ? std::nullopt : fromHex(value.left(slash).trimmed());
        if (!bytes)
            throw damaged(lineNumber,
                          QStringLiteral("\"%1\" is not an entry of the form %2 (HEX: the "
                                         "UTF-8 bytes in hexadecimal)")
                              .arg(shown, in == In::Builtin ? QStringLiteral("HEX/FRAME")
                                                            : QStringLiteral("HEX/TEXT")));
        QByteArray mapped = value.mid(slash + 1);
        if (in == In::Builtin) {
            bool ok = false;
            const uint frame = mapped.trimmed().toUInt(&ok, 16);
            if (!ok || frame > 0xFF)
                throw damaged(lineNumber, QStringLiteral("\"%1\": the frame must be a "
                                                         "hexadecimal number from 01 to FF")
                                              .arg(shown));
            // Frame 0 would be a NUL byte in the string the engine draws,
            // cutting it off there.
            if (frame == 0)
                throw damaged(lineNumber, QStringLiteral("\"%1\": frame 00 would end the text "
                                                         "where the character stands")
                                              .arg(shown));
            mapped = QByteArray(1, char(frame));
        } else if (mapped.contains('\0')) {
            throw damaged(lineNumber,
                          QStringLiteral("\"%1\": the text holds a NUL byte").arg(shown));
        }
        // Only two-byte sequences are ever looked up; longer or shorter keys
        // are valid in the file but never drawn.
        const quint8 lead = quint8(bytes->at(0));
        if (bytes->size() != 2 || lead < 0xC0 || lead > 0xDF) continue;
        (in == In::Builtin ? builtin : original).insert(key(lead, quint8(bytes->at(1))), mapped);
    }
    if (in != In::None)
        throw damaged(sectionLine, QStringLiteral("the section opened here has no %%endsection"));
    m_builtin = std::move(builtin);
    m_original = std::move(original);
}

std::optional<QByteArray> FontMap::lookup(quint8 lead, quint8 trail, Section section) const {
    const Table& t = table(section);
    const auto it = t.constFind(key(lead, trail));
    if (it == t.constEnd()) return std::nullopt;
    return *it;
}

bool FontMap::hasFrame(quint8 frame) const {
    const QByteArray wanted(1, char(frame));
    return std::any_of(m_builtin.cbegin(), m_builtin.cend(),
                       [&](const QByteArray& value) { return value == wanted; });
}

QByteArray FontMap::apply(const QByteArray& utf8, Section section) const {
    const Table& t = table(section);
    QByteArray out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const quint8 lead = quint8(utf8[i]);
        if (lead >= 0xC0 && lead <= 0xDF && i + 1 < utf8.size()) {
            const auto it = t.constFind(key(lead, quint8(utf8[i + 1])));
            if (it != t.constEnd()) {
                out.append(*it);
                ++i;
                continue;
            }
        }
        out.append(char(lead));
    }
    return out;
}

FontMap loadFontMap(const QString& path) {
    FontMap map = FontMap::engineDefault();
    if (!path.isEmpty()) map.merge(readWholeFile(path), path);
    return map;
}

std::optional<FontMap::Section> fontMapSectionFromName(const QString& name) {
    const QString n = name.trimmed();
    if (n.compare(QLatin1String("BUILTIN"), Qt::CaseInsensitive) == 0)
        return FontMap::Section::Builtin;
    if (n.compare(QLatin1String("ORIGINAL"), Qt::CaseInsensitive) == 0)
        return FontMap::Section::Original;
    return std::nullopt;
}

} // namespace lexivo
