#include "notes/rtfreader.h"

#include "workspace/cp1252codec.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <climits>
#include <vector>

namespace lexivo {

namespace {

// Groups nested deeper than this are still matched brace for brace, but share
// the formatting of the deepest kept level, so junk of a million "{" costs no
// memory.
constexpr int MaxGroupDepth = 512;

enum class Destination { Text, FontTable, ColorTable, Skip };

struct GroupState {
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24; // \fs: font size in half points
    int color = 0;       // \cf: index into the colour table, 0 = automatic
    int background = 0;  // \highlight / \cb
    int font = -1;       // \f: font number, -1 = the default font
    int unicodeSkip = 1; // \uc: bytes that follow \uN as its fallback
    bool hidden = false; // \v
};

struct FontEntry {
    QString name;
    int charset = 0;
};

struct ColorEntry {
    int red = 0, green = 0, blue = 0;
    bool set = false; // an entry without components is "automatic"
};

// Windows code pages of the \fcharset values; 0 (ANSI), 1 (default) and
// 2 (symbol) use the window's codec.
QByteArray codePageOfCharset(int charset) {
    switch (charset) {
    case 77:
        return "macintosh";
    case 128:
        return "Shift_JIS";
    case 129:
        return "windows-949";
    case 134:
        return "GBK";
    case 136:
        return "Big5";
    case 161:
        return "windows-1253";
    case 162:
        return "windows-1254";
    case 163:
        return "windows-1258";
    case 177:
        return "windows-1255";
    case 178:
        return "windows-1256";
    case 186:
        return "windows-1257";
    case 204:
        return "windows-1251";
    case 222:
        return "windows-874";
    case 238:
        return "windows-1250";
    case 255:
        return "IBM437";
    default:
        return {};
    }
}

bool isSkippedDestination(const QByteArray& word) {
    static const char* const skipped[] = {
        "info",         "stylesheet", "pict",      "header",
        "headerl",      "headerr",    "headerf",   "footer",
        "footerl",      "footerr",    "footerf",   "footnote",
        "object",       "fldinst",    "themedata", "colorschememapping",
        "latentstyles", "datastore",  "listtable", "listoverridetable",
        "rsidtbl",      "revtbl",     "filetbl",   "pgdsctbl",
        "xmlnstbl",     "mmathPr",    "generator", "nonshppict",
        "shpinst",      "annotation", "atnid",     "atnauthor",
        "template",     "private",    "bkmkstart", "bkmkend",
        "xe",           "tc",         "txe",       "userprops",
    };
    for (const char* name : skipped)
        if (word == name) return true;
    return false;
}

class Parser {
public:
    Parser(const QByteArray& input, QTextDocument* document, const Cp1252Codec& codec)
        : m_in(input), m_cursor(document), m_codec(codec) {}

    void run() {
        m_stack.reserve(64);
        m_stack.push_back(GroupState{});
        const qsizetype n = m_in.size();
        while (m_pos < n) {
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
            } else if (c == '}') {
                ++m_pos;
                if (closeGroup()) break; // the outermost group has ended: the document is complete
            } else if (c == '\\') {
                ++m_pos;
                controlSequence();
            } else {
                ++m_pos;
                textByte(uchar(c));
            }
        }
        flush();
    }

private:
    GroupState& state() { return m_stack.back(); }

    void openGroup() {
        flush();
        m_skipBytes = 0;
        if (m_stack.size() >= size_t(MaxGroupDepth)) {
            ++m_overflowDepth;
            return;
        }
        m_stack.push_back(m_stack.back());
        m_groupStart = true;
    }

    // True when the outermost group ({\rtf ...}) has just closed.
    bool closeGroup() {
        flush();
        m_skipBytes = 0;
        m_groupStart = false;
        if (m_overflowDepth > 0) {
            --m_overflowDepth;
            return false;
        }
        const Destination leaving = state().destination;
        if (leaving == Destination::FontTable) commitFontName();
        if (m_stack.size() > 1) {
            m_stack.pop_back();
            return false;
        }
        return true;
    }

    void controlSequence() {
        const qsizetype n = m_in.size();
        if (m_pos >= n) return;
        const char c = m_in[m_pos];
        const bool atGroupStart = m_groupStart;
        m_groupStart = false;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            controlWord(atGroupStart);
            return;
        }
        ++m_pos;
        switch (c) {
        case '\'': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < n) {
                const int d = hexDigit(m_in[m_pos]);
                if (d < 0) break;
                value = value * 16 + d;
                ++m_pos;
                ++digits;
            }
            if (digits > 0) textByte(uchar(value), /*escaped=*/true);
            return;
        }
        case '*':
            if (atGroupStart) state().destination = Destination::Skip;
            return;
        case '\\':
        case '{':
        case '}':
            textByte(uchar(c), true);
            return;
        case '~':
            unicodeChar(0x00A0);
            return;
        case '_':
            unicodeChar(0x2011);
            return;
        case '-':
            consumeSkip();
            return;
        case '\r':
        case '\n':
            paragraph();
            return;
        case '\t':
            unicodeChar('\t');
            return;
        default:
            consumeSkip();
            return;
        }
    }

    void controlWord(bool atGroupStart) {
        const qsizetype n = m_in.size();
        const qsizetype start = m_pos;
        while (m_pos < n && m_pos - start < 32 &&
               ((m_in[m_pos] >= 'a' && m_in[m_pos] <= 'z') ||
                (m_in[m_pos] >= 'A' && m_in[m_pos] <= 'Z')))
            ++m_pos;
        // Overlong words are junk: the rest of the letters is dropped.
        const QByteArray word = m_in.mid(start, m_pos - start);
        while (m_pos < n && ((m_in[m_pos] >= 'a' && m_in[m_pos] <= 'z') ||
                             (m_in[m_pos] >= 'A' && m_in[m_pos] <= 'Z')))
            ++m_pos;

        bool hasParam = false;
        bool negative = false;
        qint64 param = 0;
        if (m_pos < n && m_in[m_pos] == '-' && m_pos + 1 < n && isDigit(m_in[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        while (m_pos < n && isDigit(m_in[m_pos])) {
            hasParam = true;
            if (param < qint64(INT_MAX)) param = param * 10 + (m_in[m_pos] - '0');
            ++m_pos;
        }
        if (m_pos < n && m_in[m_pos] == ' ')
            ++m_pos; // the delimiting space belongs to the control word
        param = std::min<qint64>(param, INT_MAX);
        const int value = int(negative ? -param : param);

        handleWord(word, hasParam, value, atGroupStart);
    }

    void handleWord(const QByteArray& word, bool hasParam, int value, bool atGroupStart) {
        GroupState& s = state();

        if (word == "bin") {
            // Raw binary data of the given length: stepped over unread.
            flush();
            const qsizetype remaining = m_in.size() - m_pos;
            m_pos += std::clamp<qsizetype>(hasParam ? value : 0, 0, remaining);
            return;
        }
        if (s.destination == Destination::Skip) return;

        if (word == "u") {
            // A signed 16-bit UTF-16 code unit, then unicodeSkip fallback bytes.
            unicodeChar(char16_t(value < 0 ? value + 65536 : value));
            m_skipBytes = s.unicodeSkip;
            return;
        }
        if (consumeSkip()) return;

        if (word == "fonttbl") {
            flush();
            s.destination = Destination::FontTable;
            return;
        }
        if (word == "colortbl") {
            flush();
            s.destination = Destination::ColorTable;
            m_colorEntry = ColorEntry{};
            return;
        }
        if (isSkippedDestination(word) || (atGroupStart && word == "shp")) {
            flush();
            s.destination = Destination::Skip;
            return;
        }

        if (s.destination == Destination::FontTable) {
            if (word == "f" && hasParam) {
                commitFontName();
                m_fontEntry = value;
            } else if (word == "fcharset" && hasParam && m_fontEntry != INT_MIN) {
                m_fonts[m_fontEntry].charset = value;
            }
            return;
        }
        if (s.destination == Destination::ColorTable) {
            const int component = std::clamp(value, 0, 255);
            if (word == "red") {
                m_colorEntry.red = component;
                m_colorEntry.set = true;
            } else if (word == "green") {
                m_colorEntry.green = component;
                m_colorEntry.set = true;
            } else if (word == "blue") {
                m_colorEntry.blue = component;
                m_colorEntry.set = true;
            }
            return;
        }

        const bool on = !hasParam || value != 0;
        if (word == "par" || word == "sect" || word == "page" || word == "row") {
            paragraph();
        } else if (word == "line") {
            unicodeChar(0x2028);
        } else if (word == "tab" || word == "cell") {
            unicodeChar('\t');
        } else if (word == "emdash") {
            unicodeChar(0x2014);
        } else if (word == "endash") {
            unicodeChar(0x2013);
        } else if (word == "bullet") {
            unicodeChar(0x2022);
        } else if (word == "lquote") {
            unicodeChar(0x2018);
        } else if (word == "rquote") {
            unicodeChar(0x2019);
        } else if (word == "ldblquote") {
            unicodeChar(0x201C);
        } else if (word == "rdblquote") {
            unicodeChar(0x201D);
        } else if (word == "b") {
            setFormat([&] { s.bold = on; });
        } else if (word == "i") {
            setFormat([&] { s.italic = on; });
        } else if (word == "ul") {
            setFormat([&] { s.underline = on; });
        } else if (word == "ulnone") {
            setFormat([&] { s.underline = false; });
        } else if (word == "v") {
            setFormat([&] { s.hidden = on; });
        } else if (word == "fs") {
            if (hasParam && value > 0) setFormat([&] { s.halfPoints = std::min(value, 3276); });
        } else if (word == "cf") {
            setFormat([&] { s.color = hasParam ? value : 0; });
        } else if (word == "highlight" || word == "cb") {
            setFormat([&] { s.background = hasParam ? value : 0; });
        } else if (word == "f") {
            if (hasParam) setFormat([&] { s.font = value; });
        } else if (word == "plain") {
            setFormat([&] {
                s.bold = s.italic = s.underline = s.hidden = false;
                s.halfPoints = 24;
                s.color = s.background = 0;
                s.font = m_defaultFont;
            });
        } else if (word == "deff") {
            if (hasParam) m_defaultFont = value;
        } else if (word == "uc") {
            if (hasParam) s.unicodeSkip = std::clamp(value, 0, 16);
        } else if (word == "ansicpg") {
            if (hasParam) m_ansiCodePage = value;
        } else if (word == "pard") {
            setAlignment(Qt::AlignLeft);
        } else if (word == "ql") {
            setAlignment(Qt::AlignLeft);
        } else if (word == "qc") {
            setAlignment(Qt::AlignHCenter);
        } else if (word == "qr") {
            setAlignment(Qt::AlignRight);
        } else if (word == "qj") {
            setAlignment(Qt::AlignJustify);
        }
    }

    template <typename Change> void setFormat(Change change) {
        flush();
        change();
    }

    void setAlignment(Qt::Alignment alignment) {
        flush();
        m_alignment = alignment;
    }

    // Bytes that follow \uN as its fallback are dropped; a control word or
    // symbol counts as one of them. True when the current item was dropped.
    bool consumeSkip() {
        if (m_skipBytes <= 0) return false;
        --m_skipBytes;
        return true;
    }

    void textByte(uchar byte, bool escaped = false) {
        if (consumeSkip()) return;
        GroupState& s = state();
        if (s.destination == Destination::Skip) return;
        if (s.destination == Destination::FontTable) {
            if (byte == ';')
                commitFontName();
            else if (byte >= 0x20)
                m_fontName.append(char(byte));
            return;
        }
        if (s.destination == Destination::ColorTable) {
            if (byte == ';') {
                m_colors.append(m_colorEntry);
                m_colorEntry = ColorEntry{};
            }
            return;
        }
        // Line breaks of the file itself are not text; other control bytes
        // only come in as \'hh escapes.
        if (!escaped && (byte == '\r' || byte == '\n' || byte == 0)) return;
        if (byte == 0) return;
        if (s.hidden) return;
        m_pendingBytes.append(char(byte));
    }

    void unicodeChar(char16_t ch) {
        if (state().destination != Destination::Text || state().hidden) return;
        decodePendingBytes();
        m_pendingText.append(QChar(ch));
    }

    void paragraph() {
        if (consumeSkip()) return;
        if (state().destination != Destination::Text) return;
        flush();
        m_cursor.insertBlock();
        applyAlignment();
    }

    void commitFontName() {
        const QString name = m_codec.decode(m_fontName).trimmed();
        m_fontName.clear();
        if (m_fontEntry != INT_MIN && !name.isEmpty()) m_fonts[m_fontEntry].name = name;
    }

    int charsetOfCurrentFont() const {
        const int font = m_stack.back().font >= 0 ? m_stack.back().font : m_defaultFont;
        const auto it = m_fonts.constFind(font);
        return it == m_fonts.constEnd() ? 0 : it->charset;
    }

    void decodePendingBytes() {
        if (m_pendingBytes.isEmpty()) return;
        QByteArray codePage = codePageOfCharset(charsetOfCurrentFont());
        if (codePage.isEmpty() && m_ansiCodePage != 1252 && m_ansiCodePage > 0 &&
            charsetOfCurrentFont() <= 1)
            codePage = "windows-" + QByteArray::number(m_ansiCodePage);
        QString text;
        if (!codePage.isEmpty()) {
            QStringDecoder decoder(codePage.constData());
            if (decoder.isValid()) text = decoder.decode(m_pendingBytes);
        }
        if (text.isEmpty()) text = m_codec.decode(m_pendingBytes);
        m_pendingText.append(text);
        m_pendingBytes.clear();
    }

    QTextCharFormat currentFormat() const {
        const GroupState& s = m_stack.back();
        QTextCharFormat format;
        format.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(s.italic);
        format.setFontUnderline(s.underline);
        format.setFontPointSize(s.halfPoints / 2.0);
        const int font = s.font >= 0 ? s.font : m_defaultFont;
        const auto it = m_fonts.constFind(font);
        if (it != m_fonts.constEnd() && !it->name.isEmpty()) format.setFontFamilies({it->name});
        if (s.color > 0 && s.color < m_colors.size() && m_colors[s.color].set) {
            const ColorEntry& c = m_colors[s.color];
            format.setForeground(QColor(c.red, c.green, c.blue));
        }
        if (s.background > 0 && s.background < m_colors.size() && m_colors[s.background].set) {
            const ColorEntry& c = m_colors[s.background];
            format.setBackground(QColor(c.red, c.green, c.blue));
        }
        return format;
    }

    void applyAlignment() {
        QTextBlockFormat block = m_cursor.blockFormat();
        if (block.alignment() != m_alignment) {
            block.setAlignment(m_alignment);
            m_cursor.setBlockFormat(block);
        }
    }

    void flush() {
        decodePendingBytes();
        if (m_pendingText.isEmpty()) return;
        applyAlignment();
        m_cursor.insertText(m_pendingText, currentFormat());
        m_pendingText.clear();
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    const QByteArray& m_in;
    qsizetype m_pos = 0;
    QTextCursor m_cursor;
    const Cp1252Codec& m_codec;

    std::vector<GroupState> m_stack;
    int m_overflowDepth = 0;
    bool m_groupStart = false;
    int m_skipBytes = 0;

    QHash<int, FontEntry> m_fonts;
    int m_fontEntry = INT_MIN;
    QByteArray m_fontName;
    int m_defaultFont = 0;
    int m_ansiCodePage = 1252;
    QList<ColorEntry> m_colors;
    ColorEntry m_colorEntry;
    Qt::Alignment m_alignment = Qt::AlignLeft;

    QByteArray m_pendingBytes;
    QString m_pendingText;
};

} // namespace

RtfReader::RtfReader(const Cp1252Codec& codec) : m_codec(codec) {}

bool RtfReader::looksLikeRtf(const QByteArray& bytes) {
    qsizetype i = 0;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\t'))
        ++i;
    return bytes.mid(i, 5) == "{\\rtf";
}

bool RtfReader::read(const QByteArray& rtf, QTextDocument* document) const {
    document->clear();
    if (!looksLikeRtf(rtf)) return false;
    const qsizetype start = rtf.indexOf('{');
    const QByteArray body = rtf.mid(start + 1); // the outermost group is opened by the parser
    Parser parser(body, document, m_codec);
    parser.run();
    return true;
}

} // namespace lexivo
