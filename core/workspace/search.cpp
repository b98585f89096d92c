#include "search.h"

#include "errors.h"
#include "textreplace.h"
#include "translationfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lexivo {

namespace {

constexpr qsizetype Largest16 = 0xFFFF;

QString hex4(quint16 number) {
    return QStringLiteral("%1").arg(number, 4, 16, QLatin1Char('0')).toUpper();
}

// Calls onHit(line, position) for the first occurrence of needle in each line
// of s[0, n), line from 0 and position from 1. s and needle are folded alike;
// needle is not empty and holds no CR, LF or NUL, so an occurrence never
// spans a line break. onHit returns false to stop; so does this then.
template <typename OnHit>
bool firstInEachLine(const char* s, qsizetype n, const QByteArray& needle, OnHit onHit) {
    if (const void* nul = std::memchr(s, 0, size_t(n))) n = static_cast<const char*>(nul) - s;
    const qsizetype m = needle.size();
    qsizetype line = 0;      // the line that begins at lineStart
    qsizetype lineStart = 0; // first byte of that line; breaks before it are counted
    while (n - lineStart >= m) {
        const void* found =
            memmem(s + lineStart, size_t(n - lineStart), needle.constData(), size_t(m));
        if (!found) break;
        const qsizetype at = static_cast<const char*>(found) - s;
        // Count the line breaks up to the occurrence: LF, and CR not followed
        // by LF (a CR LF pair counts at its LF). The byte at the occurrence is
        // never LF, so a CR just before it is a lone one.
        qsizetype breaks = 0;
        qsizetype lastBreak = lineStart - 1;
        for (qsizetype i = lineStart; i < at; ++i) {
            const char c = s[i];
            const bool isBreak = c == '\n' || (c == '\r' && s[i + 1] != '\n');
            breaks += isBreak;
            if (c == '\n' || c == '\r') lastBreak = i;
        }
        line += breaks;
        if (!onHit(line, at - lastBreak)) return false;
        // The rest of this line gives no second hit: go on after its break.
        qsizetype end = at + m;
        while (end < n && s[end] != '\r' && s[end] != '\n')
            ++end;
        if (end >= n) break;
        if (s[end] == '\r' && end + 1 < n && s[end + 1] == '\n') ++end;
        ++line;
        lineStart = end + 1;
    }
    return true;
}

// True when content may not be single-byte text and singleByteTextProblem
// must look: it holds a NUL byte, or somewhere a byte C2-F4 followed by a
// byte 80-BF. Without such a pair there is no multi-byte UTF-8 sequence at
// all (and no byte-order mark), so no line can be UTF-8 text. Windows-1252
// text rarely has one ("é…"), so most files skip the line-by-line check.
bool mayNotBeSingleByte(const char* s, qsizetype n) {
    if (std::memchr(s, 0, size_t(n))) return true;
    constexpr quint64 high = 0x8080808080808080ULL;
    for (qsizetype i = 0; i < n; i += 8) {
        const qsizetype chunk = std::min<qsizetype>(8, n - i);
        quint64 x = 0;
        std::memcpy(&x, s + i, size_t(chunk));
        if ((x & high) == 0) continue; // ASCII only: no continuation byte here
        for (qsizetype k = std::max<qsizetype>(i, 1); k < i + chunk; ++k) {
            const auto c = uchar(s[k]), before = uchar(s[k - 1]);
            if ((c & 0xC0) == 0x80 && before >= 0xC2 && before <= 0xF4) return true;
        }
    }
    return false;
}

// A translation file of the editor directory: "HHHH.TXT" in any letter case.
struct TranslationFileEntry {
    quint16 number = 0;
    QByteArray name; // as the directory holds it
};

// The editor directory, listed once and read file by file: every file is
// opened relative to the directory (one path lookup for the folder, not one
// per file) and read with one call into a buffer kept from file to file.
// Failures are the file errors of readWholeFile.
class EditorDirectory {
public:
    explicit EditorDirectory(const QString& directory) : m_directory(directory) {
        m_fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) fail({});
    }
    ~EditorDirectory() { ::close(m_fd); }
    EditorDirectory(const EditorDirectory&) = delete;
    EditorDirectory& operator=(const EditorDirectory&) = delete;

    // The translation files, by number. Of names that differ only in letter
    // case the upper-case one wins, else the first listed, as the lookup of
    // a single file (findEntry) chooses. Folders are not files; anything
    // else that is not a regular file is taken up when it is read.
    std::vector<TranslationFileEntry> translationFiles() const {
        const int fd = ::dup(m_fd);
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            if (fd >= 0) ::close(fd);
            fail({});
        }
        ::rewinddir(dir);
        std::vector<int> slot(0x10000, -1);
        std::vector<TranslationFileEntry> files;
        while (const dirent* entry = ::readdir(dir)) {
            int number = 0;
            bool upper = false;
            if (!translationFileNumber(entry->d_name, number, upper)) continue;
            if (entry->d_type == DT_DIR) continue;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info;
                if (::fstatat(m_fd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode))
                    continue;
            }
            int& at = slot[size_t(number)];
            if (at < 0) {
                at = int(files.size());
                files.push_back({quint16(number), QByteArray(entry->d_name)});
            } else if (upper) {
                files[size_t(at)].name = QByteArray(entry->d_name);
            }
        }
        ::closedir(dir);
        std::sort(files.begin(), files.end(),
                  [](const auto& a, const auto& b) { return a.number < b.number; });
        return files;
    }

    // The whole content of the file name, into buffer.
    void read(const QByteArray& name, QByteArray& buffer) const {
        // Non-blocking, so that a pipe under a translation file's name cannot
        // hold the search; it is then refused as no regular file.
        const int fd = ::openat(m_fd, name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) fail(name);
        struct stat info;
        if (::fstat(fd, &info) != 0) fail(name, fd);
        if (!S_ISREG(info.st_mode)) {
            ::close(fd);
            throw FileError::cannotOpen(m_directory + QFile::decodeName(name),
                                        QStringLiteral("It is not a regular file."));
        }
        // One byte more than the size, so that a short read marks the end.
        qsizetype capacity = qsizetype(info.st_size) + 1;
        qsizetype size = 0;
        buffer.resize(capacity);
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data() + size, size_t(capacity - size));
            if (got < 0) {
                if (errno == EINTR) continue;
                fail(name, fd);
            }
            size += got;
            if (got == 0 || size < capacity) break;
            capacity *= 2; // the file grew since fstat
            buffer.resize(capacity);
        }
        ::close(fd);
        buffer.resize(size);
    }

private:
    // "HHHH.TXT", hexadecimal digits and extension in any letter case.
    static bool translationFileNumber(const char* name, int& number, bool& upper) {
        if (std::strlen(name) != 8 || name[4] != '.') return false;
        upper = true;
        number = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = name[i];
            int digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
                upper = false;
            } else
                return false;
            number = number * 16 + digit;
        }
        for (int i = 0; i < 3; ++i) {
            const char c = name[5 + i], expected = "TXT"[i];
            if (c != expected && c != expected + ('a' - 'A')) return false;
            upper = upper && c == expected;
        }
        return true;
    }

    [[noreturn]] void fail(const QByteArray& name, int fd = -1) const {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        throw FileError::cannotOpen(m_directory + QFile::decodeName(name),
                                    QString::fromLocal8Bit(std::strerror(error)));
    }

    QString m_directory;
    int m_fd = -1;
};

// The hits of one search, within the 16-bit fields and the length of the hit
// list, and what the search could not list or search.
class HitList {
public:
    explicit HitList(qsizetype length) : m_length(length) {}

    // Where the following hits come from: a translation file, the strings of
    // function number (no translation file yet), or its originals.
    enum Source { File, Strings, Originals };
    void setPlace(int funcIndex, quint16 number, Source source,
                  const QByteArray* fileName = nullptr) {
        m_funcIndex = funcIndex;
        m_number = number;
        m_source = source;
        m_fileName = fileName;
    }

    // False when the hit list is full and the search is to stop.
    bool add(qsizetype line, qsizetype position) {
        if (m_funcIndex > Largest16 || line > Largest16 || position > Largest16 ||
            m_length > Largest16) {
            if (m_unlisted++ == 0) m_firstUnlisted = place(line);
            return true;
        }
        if (m_result.hits.size() >= Search::MaxHits) {
            m_stoppedAt = place(line);
            return false;
        }
        m_result.hits.append(
            {quint16(m_funcIndex), quint16(line), quint16(position), quint16(m_length)});
        return true;
    }

    void notSearched(const QByteArray& fileName, const QString& problem) {
        if (m_notSearched.size() < 3)
            m_notSearched << QStringLiteral("%1 (%2)").arg(QFile::decodeName(fileName), problem);
        ++m_notSearchedCount;
    }

    SearchResult take() {
        QStringList status;
        if (!m_stoppedAt.isEmpty())
            status << QStringLiteral("The search stopped at %1 hits, the most the hit list holds; "
                                     "nothing from %2 on is listed.")
                          .arg(Search::MaxHits)
                          .arg(m_stoppedAt);
        if (m_unlisted > 0)
            status << QStringLiteral("%1 hits are not listed: a line number, position or length "
                                     "beyond 65535 (the first at %2).")
                          .arg(m_unlisted)
                          .arg(m_firstUnlisted);
        if (m_notSearchedCount > 0) {
            QString files = m_notSearched.join(QStringLiteral(", "));
            if (m_notSearchedCount > m_notSearched.size())
                files +=
                    QStringLiteral(" and %1 more").arg(m_notSearchedCount - m_notSearched.size());
            status << QStringLiteral("Not searched, not Windows-1252 text: %1.").arg(files);
        }
        m_result.statusText = status.join(QLatin1Char(' '));
        return std::move(m_result);
    }

private:
    QString place(qsizetype line) const {
        const QString where =
            m_source == File ? QFile::decodeName(*m_fileName)
            : m_source == Strings
                ? QStringLiteral("the strings of function %1").arg(hex4(m_number))
                : QStringLiteral("the originals of function %1").arg(hex4(m_number));
        return QStringLiteral("line %1 of %2").arg(line + 1).arg(where);
    }

    qsizetype m_length;
    int m_funcIndex = 0;
    quint16 m_number = 0;
    Source m_source = File;
    const QByteArray* m_fileName = nullptr;
    SearchResult m_result;
    QString m_stoppedAt;
    qsizetype m_unlisted = 0;
    QString m_firstUnlisted;
    QStringList m_notSearched;
    qsizetype m_notSearchedCount = 0;
};

// The search text as the lines are compared, or empty when no line can hold it.
QByteArray foldedNeedle(const QByteArray& text) {
    if (text.isEmpty() || text.contains('\r') || text.contains('\n') || text.contains('\0'))
        return {};
    QByteArray needle = text;
    foldLettersAZ(needle.data(), needle.size());
    return needle;
}

} // namespace

SearchResult Search::inTranslationFiles(const QByteArray& text, const QList<quint16>& funcNums,
                                        const QString& editorDirectory,
                                        const LinesWithoutFile& withoutFile) const {
    HitList hits(text.size());
    const QByteArray needle = foldedNeedle(text);
    if (needle.isEmpty()) return hits.take();

    // The first function of each number.
    std::vector<int> firstIndex(0x10000, -1);
    for (qsizetype i = funcNums.size() - 1; i >= 0; --i)
        firstIndex[funcNums[i]] = int(i);

    const EditorDirectory directory(editorDirectory);
    const std::vector<TranslationFileEntry> files = directory.translationFiles();
    std::vector<const TranslationFileEntry*> fileOf(0x10000, nullptr);
    for (const TranslationFileEntry& file : files)
        fileOf[file.number] = &file;

    const auto search = [&](QByteArray& content) {
        foldLettersAZ(content.data(), content.size());
        return firstInEachLine(content.constData(), content.size(), needle,
                               [&](qsizetype line, qsizetype pos) { return hits.add(line, pos); });
    };
    QByteArray content;
    for (int number = 0; number < 0x10000; ++number) {
        const int index = firstIndex[size_t(number)];
        if (index < 0) continue; // no function of this number
        const TranslationFileEntry* file = fileOf[size_t(number)];
        if (!file) {
            if (!withoutFile) continue;
            content = withoutFile(index);
            hits.setPlace(index, quint16(number), HitList::Strings);
            if (!search(content)) break;
            continue;
        }
        directory.read(file->name, content);
        if (mayNotBeSingleByte(content.constData(), content.size())) {
            const QString problem = singleByteTextProblem(content);
            if (!problem.isEmpty()) {
                hits.notSearched(file->name, problem);
                continue;
            }
        }
        hits.setPlace(index, file->number, HitList::File, &file->name);
        if (!search(content)) break;
    }
    return hits.take();
}

SearchResult Search::inPack(const QByteArray& text, const Pack& pack,
                            const QList<quint16>& funcNums) const {
    HitList hits(text.size());
    const QByteArray needle = foldedNeedle(text);
    if (needle.isEmpty()) return hits.take();
    for (qsizetype f = 0; f < funcNums.size(); ++f) {
        QByteArray block = pack.blockBytes(int(f));
        foldLettersAZ(block.data(), block.size());
        hits.setPlace(int(f), funcNums[f], HitList::Originals);
        if (!firstInEachLine(block.constData(), block.size(), needle,
                             [&](qsizetype line, qsizetype pos) { return hits.add(line, pos); }))
            break;
    }
    return hits.take();
}

} // namespace lexivo
