#include "funcstatus.h"

#include "errors.h"
#include "fileio.h"

#include <QFileInfo>
#include <algorithm>

namespace lexivo {

QByteArray FuncStatus::shownTranslatorName(const QList<QByteArray>& roster, int number) {
    if (number <= 0) return "Not assigned";
    if (number <= roster.size()) return roster[number - 1];
    return "Translator " + QByteArray::number(number);
}

void FuncStatus::LoadFuncStatus(const QString& path, int functionCount, QStringList& warnings) {
    m_loaded = false;
    m_unsaved.clear();
    const int count = qMax(0, functionCount);
    if (!QFileInfo::exists(path)) {
        m_bytes = QByteArray(count, char(SetStatus(0, NotAssigned)));
        m_loaded = true;
        return;
    }
    const QByteArray file = readWholeFile(path);
    m_bytes = QByteArray(count, '\0');
    std::copy_n(file.constData(), qMin(file.size(), qsizetype(count)), m_bytes.data());
    if (file.size() != count)
        warnings << QStringLiteral("Warning! %1 holds %2 status bytes, but the usecode file has %3 "
                                   "functions with strings. The file has one byte per function in "
                                   "table order, so the statuses may belong to other functions%4.")
                        .arg(path)
                        .arg(file.size())
                        .arg(count)
                        .arg(file.size() < count
                                 ? QStringLiteral("; the last %1 read as complete with no "
                                                  "translator")
                                       .arg(count - file.size())
                                 : QString());
    m_loaded = true;
}

quint8 FuncStatus::byteAt(int index) const {
    if (index < 0 || index >= m_bytes.size()) return SetStatus(0, NotAssigned);
    return quint8(m_bytes[index]);
}

QList<int> FuncStatus::setStatus(const QString& path, const QList<int>& indexes, int code) {
    return change(path, indexes, [code](quint8 byte) { return SetStatus(byte, code); });
}

QList<int> FuncStatus::setTranslator(const QString& path, const QList<int>& indexes,
                                     int translator) {
    return change(path, indexes,
                  [translator](quint8 byte) { return SetTranslator(byte, translator); });
}

QList<int> FuncStatus::SaveFuncStatus(const QString& path) {
    return change(path, {}, [](quint8 byte) { return byte; });
}

QList<int> FuncStatus::change(const QString& path, const QList<int>& indexes,
                              const std::function<quint8(quint8)>& apply) {
    // Without the start-up step there is nothing to merge the file with.
    if (!m_loaded) throw Error(QStringLiteral("The function status (%1) is not loaded.").arg(path));
    const QByteArray before = m_bytes;
    const auto applyTo = [&](QByteArray& bytes) {
        for (int i : indexes) {
            if (i < 0 || i >= bytes.size()) continue;
            bytes[i] = char(apply(quint8(bytes[i])));
            m_unsaved.insert(i);
        }
    };

    // The file as it is now: another program sharing the editor directory
    // may have changed other functions since it was read.
    QByteArray disk;
    const bool onDisk = QFileInfo::exists(path);
    if (onDisk) {
        try {
            disk = readWholeFile(path);
        } catch (...) {
            applyTo(m_bytes);
            throw;
        }
    }
    QByteArray merged = m_bytes;
    std::copy_n(disk.constData(), qMin(disk.size(), merged.size()), merged.data());
    // What was changed here and not written yet wins over the file.
    for (int i : std::as_const(m_unsaved))
        merged[i] = m_bytes[i];
    applyTo(merged);
    m_bytes = merged;

    // Bytes beyond the function count belong to a colleague whose usecode
    // has more functions: they are kept as they are.
    QByteArray out = m_bytes;
    if (disk.size() > out.size()) out += disk.mid(out.size());
    writeFileAtomically(path, out);
    m_unsaved.clear();

    QList<int> changed;
    for (int i = 0; i < m_bytes.size(); ++i)
        if (i >= before.size() || m_bytes[i] != before[i]) changed.append(i);
    return changed;
}

} // namespace lexivo
