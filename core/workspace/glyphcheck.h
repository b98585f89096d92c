#pragma once

#include "cp1252codec.h"
#include "gamedata/fontmap.h"
#include "qa.h"

#include <QList>
#include <QString>
#include <optional>

namespace lexivo {

// Which characters of a translated line the engine will not draw as
// themselves. Printable ASCII always draws. With UTF-8 game text, a
// character of two UTF-8 bytes draws when the chosen section of the font
// map has it (with the game's own fonts, section original, it draws as its
// replacement text instead, which is said too); every other character,
// three- and four-byte ones always, is drawn as the frames of its bytes. With
// code-page game text a byte above 0x7F draws when it is a frame the font
// map gives a character (the team's font has a glyph there); this is only
// checked when the team configured a font map.
class GlyphCheck {
public:
    struct Issue {
        qsizetype position = 0; // in the text, in UTF-16 units
        int length = 1;         // 2 for a character beyond U+FFFF
        char32_t codePoint = 0;
        // Set when the character is drawn as this text instead (section original).
        std::optional<QByteArray> drawnAs;
    };

    // active = false finds nothing (code-page game text without a font map).
    GlyphCheck(const FontMap& map, FontMap::Section section, const Cp1252Codec& codec, bool active);

    bool active() const { return m_active; }
    const Cp1252Codec& codec() const { return m_codec; }
    QList<Issue> issues(const QString& text) const;
    // "the character "ж" (U+0436) has no glyph in the font" or
    // "the character "ü" (U+00FC) is drawn as ue"
    static QString describe(const QString& text, const Issue& issue);

private:
    const FontMap& m_map;
    FontMap::Section m_section;
    const Cp1252Codec& m_codec;
    bool m_active;
};

// "glyph": a translated line holding a character the engine will not draw
// as itself (see GlyphCheck), one finding per character.
class GlyphQualityCheck : public QualityCheck {
public:
    static QString name() { return QStringLiteral("glyph"); }
    explicit GlyphQualityCheck(GlyphCheck glyphs) : m_glyphs(glyphs) {}
    void checkFunction(const CheckedLines& function, QList<CheckProblem>& problems) override;
    void checkMessages(const CheckedLines& text, QList<CheckProblem>& problems) override;

private:
    GlyphCheck m_glyphs;
};

} // namespace lexivo
