#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace lexivo {

// The engine's font map: which font frame (section builtin) or which plain
// ASCII text (section original) it draws for a two-byte UTF-8 sequence of a
// game string. Only sequences whose first byte is 0xC0-0xDF are ever looked
// up; every other byte, and every pair not in the map, is drawn as the frame
// of that byte value.
//
// The file font_map.txt is the engine's text-message format: lines end at CR
// and/or LF, leading blanks are dropped, empty lines and lines starting with
// '#' are skipped, "%%section NAME" ... "%%endsection" enclose a section, an
// entry is ":VALUE" or "N:VALUE" (N decimal, 0x hex or 0 octal). In builtin a
// value is "HEX/FRAME" (both hexadecimal, HEX the UTF-8 bytes), in original
// "HEX/TEXT". Sections other than these two (version) are read and ignored.
class FontMap {
public:
    enum class Section { Builtin, Original }; // SETTING/GAMEFONT = BUILTIN | ORIGINAL

    // The engine's own table (both sections), always the base.
    static FontMap engineDefault();

    // Entries of a font_map.txt replace or add to this map. Throws DataError
    // naming the file and the line on damaged content; the map is then left
    // as it was.
    void merge(const QByteArray& content, const QString& fileName);

    // The entry for one two-byte UTF-8 sequence (lead 0xC0-0xDF), if any:
    // Builtin: one frame byte; Original: the replacement text.
    std::optional<QByteArray> lookup(quint8 lead, quint8 trail, Section section) const;

    // What the engine draws for a UTF-8 game string: every mapped two-byte
    // sequence becomes its entry, every other byte passes unchanged.
    QByteArray apply(const QByteArray& utf8, Section section) const;

    // Whether an entry of section builtin draws with this frame (the font
    // has a glyph there).
    bool hasFrame(quint8 frame) const;

    // Number of entries in a section (for messages and tests).
    qsizetype size(Section section) const { return table(section).size(); }

    bool operator==(const FontMap&) const = default;

private:
    // Key: lead << 8 | trail.
    using Table = QHash<quint16, QByteArray>;
    const Table& table(Section section) const {
        return section == Section::Builtin ? m_builtin : m_original;
    }
    Table m_builtin;
    Table m_original;
};

// The engine's table with the font_map.txt at path merged over it (none when
// path is empty). Throws FileError when the file cannot be read, DataError
// when it is damaged.
FontMap loadFontMap(const QString& path);

// "BUILTIN" or "ORIGINAL" (any case) as a section; anything else is nullopt.
std::optional<FontMap::Section> fontMapSectionFromName(const QString& name);

} // namespace lexivo
