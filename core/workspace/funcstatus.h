#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace lexivo {

// The work status and assigned translator of every function, one status byte
// per entry of the function table (same index): the status code in bits 0-1,
// the translator number in bits 2-7 (0 none, n the n-th name of the
// translators list). FuncStatus.dat holds exactly these bytes in table order,
// with no header: it is positional and carries no function numbers.
//
// The file lies in the editor directory that translators share, so a change
// never writes the whole array from memory: it reads the file again and
// writes back the bytes as the file holds them now, with only the bytes it
// changed replaced. Two programs marking different functions both keep their
// marks.
class FuncStatus {
public:
    enum Code { Complete = 0, NeedRevision = 1, Working = 2, NotAssigned = 3 };

    static int GetStatus(quint8 byte) { return byte & 3; }
    static quint8 SetStatus(quint8 byte, int code) { return quint8((byte & ~3) | (code & 3)); }
    static int GetTranslator(quint8 byte) { return byte >> 2; }
    // The number shifted left by 2 and cut to 8 bits; the status is kept.
    static quint8 SetTranslator(quint8 byte, int translator) {
        return quint8((byte & 3) | ((translator << 2) & 0xFF));
    }

    // The name the grid shows for translator number n of the roster: "Not
    // assigned" for 0, name n otherwise, "Translator n" for a number beyond
    // the roster (it was shortened, or a colleague's roster is longer).
    static QByteArray shownTranslatorName(const QList<QByteArray>& roster, int number);

    // The start-up step: as many bytes as there are functions. A missing file
    // makes every byte 3 (not assigned, no translator) and is not created; a
    // shorter file leaves the rest at 0, bytes beyond the count are ignored.
    // When the length differs from the count one warning says so. Throws
    // FileError when the file exists but cannot be read.
    void LoadFuncStatus(const QString& path, int functionCount, QStringList& warnings);
    bool loaded() const { return m_loaded; }

    int count() const { return int(m_bytes.size()); }
    const QByteArray& bytes() const { return m_bytes; }
    // Status byte of function index; 3 for an index outside the table.
    quint8 byteAt(int index) const;
    int statusOf(int index) const { return GetStatus(byteAt(index)); }
    int translatorOf(int index) const { return GetTranslator(byteAt(index)); }

    // Sets the status code (the translator number) of the functions at
    // indexes and writes FuncStatus.dat at path, also when indexes is empty.
    // Every other byte takes the file's current value. Returns the indexes
    // (ascending) whose byte in memory differs from before: the ones changed
    // and the ones another program changed on disk. Throws FileError when the
    // file cannot be read or written; the new values then stay in memory and
    // go with the next successful write. Error before LoadFuncStatus.
    QList<int> setStatus(const QString& path, const QList<int>& indexes, int code);
    QList<int> setTranslator(const QString& path, const QList<int>& indexes, int translator);

    // Writes the bytes not yet written, over the file's current content.
    QList<int> SaveFuncStatus(const QString& path);

private:
    QList<int> change(const QString& path, const QList<int>& indexes,
                      const std::function<quint8(quint8)>& apply);

    QByteArray m_bytes;
    QSet<int> m_unsaved; // changed here, not yet written
    bool m_loaded = false;
};

} // namespace lexivo
