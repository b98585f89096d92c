#include "glyphcheck.h"

namespace lexivo {

GlyphCheck::GlyphCheck(const FontMap& map, FontMap::Section section, const Cp1252Codec& codec,
                       bool active)
    : m_map(map), m_section(section), m_codec(codec), m_active(active) {}

QList<GlyphCheck::Issue> GlyphCheck::issues(const QString& text) const {
    QList<Issue> found;
    if (!m_active) return found;
    const bool utf8 = m_codec.isUtf8();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        Issue issue;
        issue.position = i;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            issue.codePoint = QChar::surrogateToUcs4(c, text[i + 1]);
            issue.length = 2;
        } else {
            issue.codePoint = c.unicode();
        }
        const char32_t cp = issue.codePoint;
        // ASCII draws as itself (control bytes stand for line breaks here).
        if (cp < 0x80) continue;
        std::optional<QByteArray> entry;
        if (utf8) {
            if (cp < 0x800)
                entry =
                    m_map.lookup(quint8(0xC0 | (cp >> 6)), quint8(0x80 | (cp & 0x3F)), m_section);
        } else {
            uchar byte = 0;
            if (m_codec.fromUnicode(char16_t(cp), byte) && m_section == FontMap::Section::Builtin &&
                m_map.hasFrame(byte))
                entry = QByteArray(1, char(byte));
        }
        if (entry && m_section == FontMap::Section::Builtin) {
            i += issue.length - 1;
            continue;
        }
        issue.drawnAs = entry;
        found.append(issue);
        i += issue.length - 1;
    }
    return found;
}

QString GlyphCheck::describe(const QString& text, const Issue& issue) {
    const QString character = text.mid(issue.position, issue.length);
    const QString code =
        QStringLiteral("U+%1").arg(quint32(issue.codePoint), 4, 16, QLatin1Char('0')).toUpper();
    if (issue.drawnAs)
        return QStringLiteral("the character \"%1\" (%2) is drawn as %3")
            .arg(character, code, QString::fromLatin1(*issue.drawnAs));
    return QStringLiteral("the character \"%1\" (%2) has no glyph in the font")
        .arg(character, code);
}

namespace {

void checkLines(const GlyphCheck& glyphs, const Cp1252Codec& codec, const CheckedLines& subject,
                QList<CheckProblem>& problems) {
    for (qsizetype k = 0; k < subject.lines.size(); ++k) {
        const QByteArray& line = subject.lines[k];
        // An untranslated line is the game's own and not reported.
        if (k < subject.originals.size() && line == subject.originals[k]) continue;
        const QString text = codec.decode(line);
        for (const GlyphCheck::Issue& issue : glyphs.issues(text))
            problems.append({k, GlyphQualityCheck::name(), GlyphCheck::describe(text, issue)});
    }
}

} // namespace

void GlyphQualityCheck::checkFunction(const CheckedLines& function, QList<CheckProblem>& problems) {
    checkLines(m_glyphs, m_glyphs.codec(), function, problems);
}

void GlyphQualityCheck::checkMessages(const CheckedLines& text, QList<CheckProblem>& problems) {
    checkLines(m_glyphs, m_glyphs.codec(), text, problems);
}

} // namespace lexivo
