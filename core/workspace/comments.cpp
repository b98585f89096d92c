#include "comments.h"

#include "errors.h"
#include "fileio.h"
#include "gamestring.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace lexivo {

namespace {

constexpr qint64 MsPerDay = 86400000;
// The smallest entry: date, an empty text (its NUL), function number, line.
constexpr qsizetype SmallestEntry = 8 + 1 + 2 + 2;

QDate oleEpoch() {
    return QDate(1899, 12, 30);
}

// The years 100 to 9999, as OLE dates.
constexpr double FirstOleDay = -657434;
constexpr double LastOleDay = 2958466;

// Dates compared as a total order: a NaN read from a damaged file would
// otherwise break the sort. It sorts with the earliest.
double dateKey(double date) {
    return std::isnan(date) ? -std::numeric_limits<double>::infinity() : date;
}

class Reader {
public:
    Reader(const QByteArray& bytes, const QString& path) : m_bytes(bytes), m_path(path) {}

    qsizetype pos() const { return m_pos; }
    qsizetype left() const { return m_bytes.size() - m_pos; }

    template <typename T> T number(const char* field, qint32 entry) {
        if (left() < qsizetype(sizeof(T))) throw cutShort(field, entry);
        T value = qFromLittleEndian<T>(m_bytes.constData() + m_pos);
        m_pos += sizeof(T);
        return value;
    }

    double date(qint32 entry) {
        const quint64 bits = number<quint64>("date", entry);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A game string must end with its NUL inside the file.
    QByteArray string(const char* field, qint32 entry) {
        if (m_bytes.indexOf('\0', m_pos) < 0) throw cutShort(field, entry);
        return ReadGameString(m_bytes, m_pos);
    }

    DataError cutShort(const char* field, qint32 entry) const {
        const QString of = entry < 0 ? QString() : QStringLiteral(" of entry %1").arg(entry + 1);
        return DataError(QStringLiteral("%1 is cut short: the %2%3 is missing at byte offset %4")
                             .arg(m_path, QLatin1String(field), of)
                             .arg(m_pos));
    }

private:
    const QByteArray& m_bytes;
    const QString& m_path;
    qsizetype m_pos = 0;
};

void appendLittleEndian(QByteArray& out, auto value) {
    char bytes[sizeof value];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof value);
}

// "5.cmt" -> true and the low 8 bits of 5. Only decimal digits name a
// translator; the number may have any length.
bool translatorNumberOf(const QString& fileName, quint8& low8) {
    const QString stem = fileName.chopped(4);
    if (stem.isEmpty()) return false;
    unsigned value = 0;
    for (QChar ch : stem) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) return false;
        value = (value * 10 + unsigned(ch.unicode() - '0')) & 0xFF;
    }
    low8 = quint8(value);
    return true;
}

// The bytes of a damaged own file are kept beside it before the file is
// replaced: "<file>.damaged", or "<file>.damaged-2" ... when that name holds
// other bytes already.
void keepDamagedCopy(const QString& path, const QByteArray& bytes) {
    QString copy = path + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(copy); ++n) {
        if (QFileInfo(copy).isFile() && readWholeFile(copy) == bytes) return;
        copy = path + QStringLiteral(".damaged-%1").arg(n);
    }
    writeFileAtomically(copy, bytes);
}

// One comment as its bytes in a file, to tell comments apart.
QByteArray entryKey(const tCmtLine& line) {
    QByteArray key;
    quint64 bits = 0;
    std::memcpy(&bits, &line.Date, sizeof bits);
    appendLittleEndian(key, bits);
    appendLittleEndian(key, line.FuncNum);
    appendLittleEndian(key, line.Line);
    return key + line.Text;
}

} // namespace

double oleDateFromDateTime(const QDateTime& dateTime) {
    const QDateTime local = dateTime.toLocalTime();
    const qint64 days = oleEpoch().daysTo(local.date());
    const double fraction = double(local.time().msecsSinceStartOfDay()) / double(MsPerDay);
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

QDateTime dateTimeFromOleDate(double date) {
    if (!std::isfinite(date) || date < FirstOleDay || date >= LastOleDay) return {};
    double whole = 0;
    const double fraction = std::fabs(std::modf(date, &whole));
    qint64 ms = qRound64(fraction * double(MsPerDay));
    QDate day = oleEpoch().addDays(qint64(whole));
    if (ms >= MsPerDay) { // rounded up to the next midnight
        ms -= MsPerDay;
        day = day.addDays(1);
    }
    return QDateTime(day, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

tComment parseCommentFile(const QByteArray& bytes, const QString& path) {
    Reader in(bytes, path);
    tComment set;
    set.Name = in.string("name", -1);
    set.Color = in.number<qint32>("colour", -1);
    const qint32 count = in.number<qint32>("count", -1);
    if (count < 0)
        throw DataError(
            QStringLiteral("%1 is damaged: its comment count is %2").arg(path).arg(count));
    if (count > in.left() / SmallestEntry)
        throw DataError(
            QStringLiteral("%1 is damaged: it counts %2 comments, but only %3 bytes follow at "
                           "byte offset %4")
                .arg(path)
                .arg(count)
                .arg(in.left())
                .arg(in.pos()));
    set.Count = count;
    set.Lines.reserve(count);
    for (qint32 k = 0; k < count; ++k) {
        tCmtLine line;
        line.Date = in.date(k);
        line.Text = in.string("text", k);
        line.FuncNum = in.number<quint16>("function number", k);
        line.Line = in.number<quint16>("line", k);
        set.Lines.append(std::move(line));
    }
    if (in.left() > 0)
        throw DataError(QStringLiteral("%1 is damaged: %2 bytes follow its last comment at byte "
                                       "offset %3")
                            .arg(path)
                            .arg(in.left())
                            .arg(in.pos()));
    return set;
}

QByteArray commentFileBytes(const tComment& set) {
    const qint32 count = qBound(0, set.Count, qint32(set.Lines.size()));
    QByteArray out;
    WriteGameString(out, set.Name);
    appendLittleEndian(out, set.Color);
    appendLittleEndian(out, count);
    for (qint32 k = 0; k < count; ++k) {
        const tCmtLine& line = set.Lines[k];
        quint64 bits = 0;
        std::memcpy(&bits, &line.Date, sizeof bits);
        appendLittleEndian(out, bits);
        WriteGameString(out, line.Text);
        appendLittleEndian(out, line.FuncNum);
        appendLittleEndian(out, line.Line);
    }
    return out;
}

tComment ReadCommentFile(const QString& path) {
    return parseCommentFile(readWholeFile(path), path);
}

void WriteCommentFile(const QString& path, const tComment& set) {
    writeFileAtomically(path, commentFileBytes(set));
}

void Comments::startWith(const QByteArray& name, qint32 color) {
    tComment own;
    own.Name = name;
    own.Color = color;
    m_sets = {own};
}

tComment& Comments::own() {
    if (m_sets.isEmpty()) startWith("Noname", 0);
    return m_sets[0];
}

void Comments::LoadCommentSets(const QString& editorDirectory, const QString& ownPath,
                               quint8 translatorId, QStringList& warnings) {
    own();
    m_sets.resize(1);
    m_loaded = false;
    QStringList skipped;

    m_ownPaths.insert(ownPath);
    if (QFileInfo(ownPath).isFile()) {
        const QByteArray bytes = readWholeFile(ownPath);
        m_knownBytes.insert(ownPath, bytes);
        try {
            // Its stored name and colour replace the configured ones.
            m_sets[0] = parseCommentFile(bytes, ownPath);
        } catch (const DataError& e) {
            m_damagedPath = ownPath;
            skipped << QStringLiteral("%1 This is your own comment file: it is kept as %2.damaged "
                                      "when your next comment is written.")
                           .arg(e.message(), QFileInfo(ownPath).fileName());
        }
    }

    const QStringList names =
        QDir(editorDirectory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        if (!name.endsWith(QLatin1String(".cmt"), Qt::CaseInsensitive)) continue;
        const QString path = editorDirectory + name;
        quint8 number = 0;
        if (!translatorNumberOf(name, number)) {
            skipped << QStringLiteral("%1: its name is not a translator number.").arg(path);
            continue;
        }
        if (number == translatorId) continue; // the own file, or one that cannot be told from it
        try {
            m_sets.append(ReadCommentFile(path));
        } catch (const Error& e) {
            skipped << e.message();
        }
    }
    if (!skipped.isEmpty())
        warnings << QStringLiteral("Warning! %1 comment file(s) were not read; their comments are "
                                   "not shown:\n%2")
                        .arg(skipped.size())
                        .arg(skipped.join(QLatin1Char('\n')));
    m_loaded = true;
}

void Comments::addComment(const QString& ownPath, const tCmtLine& comment) {
    tComment& set = own();
    set.Lines.append(comment);
    set.Count = qint32(set.Lines.size());
    writeOwnFile(ownPath);
}

void Comments::writeOwnFile(const QString& ownPath) {
    tComment& set = own();
    if (QFileInfo::exists(ownPath)) {
        const QByteArray onDisk = readWholeFile(ownPath);
        if (!m_ownPaths.contains(ownPath))
            throw Error(
                QStringLiteral("%1 already exists and was not read as your comment file: it "
                               "belongs to another translator. Choose a translator ID whose "
                               "comment file does not exist yet; your comments are kept until "
                               "then.")
                    .arg(ownPath));
        const auto known = m_knownBytes.constFind(ownPath);
        if (known == m_knownBytes.constEnd() || known.value() != onDisk) {
            // Another program of this translator added comments since: they
            // are kept, and those of this program that the file lacks follow.
            tComment current;
            try {
                current = parseCommentFile(onDisk, ownPath);
            } catch (const DataError& e) {
                throw Error(QStringLiteral("Your comments were not written: %1 was changed by "
                                           "another program and is damaged now (%2). Your comments "
                                           "are kept until it can be written.")
                                .arg(ownPath, e.message()));
            }
            QHash<QByteArray, int> onFile;
            for (const tCmtLine& line : std::as_const(current.Lines))
                ++onFile[entryKey(line)];
            for (const tCmtLine& line : std::as_const(set.Lines)) {
                int& left = onFile[entryKey(line)];
                if (left > 0)
                    --left;
                else
                    current.Lines.append(line);
            }
            set.Lines = std::move(current.Lines);
            set.Count = qint32(set.Lines.size());
        } else if (ownPath == m_damagedPath) {
            keepDamagedCopy(ownPath, onDisk);
        }
    }
    const QByteArray bytes = commentFileBytes(set);
    writeFileAtomically(ownPath, bytes);
    m_ownPaths.insert(ownPath);
    m_knownBytes.insert(ownPath, bytes);
    if (ownPath == m_damagedPath) m_damagedPath.clear();
}

QList<bool> Comments::MarkCommentedLines(quint16 funcNum, int lineCount) const {
    QList<bool> flags(qMax(0, lineCount), false);
    for (const tComment& set : m_sets)
        for (const tCmtLine& line : set.Lines)
            if (line.FuncNum == funcNum && line.Line < lineCount) flags[line.Line] = true;
    return flags;
}

QList<tVisLine> Comments::ShowLineComments(quint16 funcNum, int line) const {
    QList<tVisLine> lines;
    for (const tComment& set : m_sets)
        for (const tCmtLine& c : set.Lines)
            if (c.FuncNum == funcNum && c.Line == line)
                lines.append({c.Date, set.Name + ':' + c.Text, set.Color});
    std::stable_sort(lines.begin(), lines.end(), [](const tVisLine& a, const tVisLine& b) {
        return dateKey(a.Date) < dateKey(b.Date);
    });
    return lines;
}

QList<Comments::ViewerRow> Comments::viewerRows() const {
    QList<ViewerRow> all;
    for (const tComment& set : m_sets)
        for (const tCmtLine& c : set.Lines)
            all.append({c, set.Name});
    std::stable_sort(all.begin(), all.end(), [](const ViewerRow& a, const ViewerRow& b) {
        if (dateKey(a.Date) != dateKey(b.Date)) return dateKey(a.Date) > dateKey(b.Date);
        if (a.FuncNum != b.FuncNum) return a.FuncNum < b.FuncNum;
        return a.Line < b.Line;
    });
    QList<ViewerRow> rows;
    QSet<quint32> listed;
    for (const ViewerRow& c : std::as_const(all)) {
        const quint32 key = (quint32(c.FuncNum) << 16) | c.Line;
        if (listed.contains(key)) continue;
        listed.insert(key);
        rows.append(c);
    }
    return rows;
}

} // namespace lexivo
