#include "inifile.h"

#include "errors.h"
#include "fileio.h"

#include <QFile>
#include <QList>

namespace lexivo {

namespace {

struct IniLine {
    qsizetype start = 0;      // first byte of the line
    qsizetype contentEnd = 0; // first byte of the line ending
    qsizetype end = 0;        // first byte after the line ending
};

QList<IniLine> scanLines(const QByteArray& text) {
    QList<IniLine> lines;
    const qsizetype n = text.size();
    const char* s = text.constData();
    qsizetype start = 0;
    while (start < n) {
        qsizetype i = start;
        while (i < n && s[i] != '\r' && s[i] != '\n')
            ++i;
        IniLine line{start, i, i};
        if (i < n) {
            line.end = (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n') ? i + 2 : i + 1;
        }
        lines.append(line);
        start = line.end;
    }
    return lines;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray trimmed(const char* s, qsizetype n) {
    qsizetype a = 0;
    while (a < n && isBlank(s[a]))
        ++a;
    while (n > a && isBlank(s[n - 1]))
        --n;
    return QByteArray(s + a, n - a);
}

// The name of a section line "[name]", or false when the line is none.
bool sectionName(const QByteArray& text, const IniLine& line, QByteArray& name) {
    const QByteArray t = trimmed(text.constData() + line.start, line.contentEnd - line.start);
    if (!t.startsWith('[')) return false;
    const qsizetype close = t.indexOf(']');
    if (close < 0) return false;
    name = trimmed(t.constData() + 1, close - 1);
    return true;
}

// Key of a key line and the position of its "=", or false.
bool keyName(const QByteArray& text, const IniLine& line, QByteArray& key, qsizetype& eq) {
    const char* s = text.constData();
    for (qsizetype i = line.start; i < line.contentEnd; ++i) {
        if (s[i] == '=') {
            key = trimmed(s + line.start, i - line.start);
            if (key.startsWith(';')) return false;
            eq = i;
            return true;
        }
    }
    return false;
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Lookup {
    bool sectionFound = false;
    qsizetype sectionInsertAt = -1; // where a new key of the section goes
    bool keyFound = false;
    IniLine keyLine;
    qsizetype valueStart = 0;
};

Lookup find(const QByteArray& text, const QList<IniLine>& lines, const QByteArray& section,
            const QByteArray& key) {
    Lookup result;
    bool inSection = false;
    for (const IniLine& line : lines) {
        QByteArray name;
        if (sectionName(text, line, name)) {
            if (inSection) break; // the first matching section wins; it has ended
            inSection = sameName(name, section);
            if (inSection) {
                result.sectionFound = true;
                result.sectionInsertAt = line.end;
            }
            continue;
        }
        if (!inSection) continue;
        if (!trimmed(text.constData() + line.start, line.contentEnd - line.start).isEmpty())
            result.sectionInsertAt = line.end;
        QByteArray k;
        qsizetype eq = 0;
        if (keyName(text, line, k, eq) && sameName(k, key)) {
            result.keyFound = true;
            result.keyLine = line;
            result.valueStart = eq + 1;
            return result;
        }
    }
    return result;
}

QByteArray readIfExists(const QString& path) {
    QFile file(path);
    if (!file.exists()) return {};
    return readWholeFile(path);
}

// The line ending the file already uses, CR LF for a new file.
QByteArray lineEnding(const QByteArray& text) {
    const qsizetype i = text.indexOf('\n');
    const qsizetype j = text.indexOf('\r');
    if (i < 0 && j < 0) return "\r\n";
    if (j >= 0 && (i < 0 || j < i))
        return (j + 1 < text.size() && text[j + 1] == '\n') ? "\r\n" : "\r";
    return "\n";
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

bool IniFile::exists() const {
    return QFile::exists(m_path);
}

QByteArray IniFile::readString(const QByteArray& section, const QByteArray& key,
                               const QByteArray& defaultValue) const {
    QByteArray text;
    try {
        text = readIfExists(m_path);
    } catch (const FileError&) {
        return defaultValue; // an unreadable file reads like a missing one
    }
    const QList<IniLine> lines = scanLines(text);
    const Lookup hit = find(text, lines, section, key);
    if (!hit.keyFound) return defaultValue;
    return trimmed(text.constData() + hit.valueStart, hit.keyLine.contentEnd - hit.valueStart);
}

bool IniFile::parseInteger(const QByteArray& raw, qint32& value) {
    const QByteArray t = raw.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    if (t.startsWith('$') || t.startsWith("0x") || t.startsWith("0X")) {
        const QByteArray digits = t.mid(t.startsWith('$') ? 1 : 2);
        if (digits.isEmpty() || digits.startsWith('+') || digits.startsWith('-')) return false;
        const quint32 v = digits.toUInt(&ok, 16);
        if (ok) value = qint32(v);
        return ok;
    }
    const qint32 v = t.toInt(&ok, 10);
    if (ok) value = v;
    return ok;
}

qint32 IniFile::readInteger(const QByteArray& section, const QByteArray& key,
                            qint32 defaultValue) const {
    qint32 value = defaultValue;
    if (!parseInteger(readString(section, key), value)) return defaultValue;
    return value;
}

void IniFile::writeString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& value) {
    // A line break inside a value would end its line and turn the rest into
    // lines of their own: keep the value on its line.
    QByteArray clean = value;
    clean.replace('\r', ' ').replace('\n', ' ');
    QByteArray text;
    try {
        text = readIfExists(m_path);
    } catch (const FileError&) {
        throw Error(QStringLiteral("Unable to write to %1").arg(m_path));
    }
    const QList<IniLine> lines = scanLines(text);
    const Lookup hit = find(text, lines, section, key);
    const QByteArray eol = lineEnding(text);
    QByteArray out;
    if (hit.keyFound) {
        out = text.left(hit.valueStart) + clean + text.mid(hit.keyLine.contentEnd);
    } else if (hit.sectionFound) {
        qsizetype at = hit.sectionInsertAt;
        QByteArray insert = key + '=' + clean + eol;
        // The section's last line may be the file's last line without an ending.
        if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') insert.prepend(eol);
        out = text.left(at) + insert + text.mid(at);
    } else {
        out = text;
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r')) out += eol;
        out += '[' + section + ']' + eol + key + '=' + clean + eol;
    }
    try {
        writeFileAtomically(m_path, out);
    } catch (const FileError&) {
        throw Error(QStringLiteral("Unable to write to %1").arg(m_path));
    }
}

void IniFile::writeInteger(const QByteArray& section, const QByteArray& key, qint32 value) {
    writeString(section, key, QByteArray::number(value));
}

} // namespace lexivo
