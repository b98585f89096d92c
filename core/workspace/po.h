#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace lexivo {

// PO files (GNU gettext's message catalogues), read and written with
// gettext's own library, libgettextpo. Texts are Unicode here; the files are
// UTF-8.
struct PoEntry {
    QString context;               // msgctxt
    QString source;                // msgid
    QString translation;           // msgstr; empty: not translated
    QString translatorComment;     // "# " lines
    QStringList extractedComments; // "#." lines, one per item
    bool fuzzy = false;
    bool plural = false; // has a msgid_plural (read only)
};

struct PoCatalog {
    // The header's fields in order, e.g. {"Language", "de"}.
    QList<std::pair<QString, QString>> header;
    QList<PoEntry> entries; // obsolete entries are left out when reading
    QString headerField(const QString& name) const;
};

// Writes the catalogue as a PO file, replacing the file atomically. Throws
// FileError when it cannot be written.
void writePoFile(const QString& path, const PoCatalog& catalog);

// Reads a PO file. Throws FileError when it cannot be opened, DataError
// naming the file and gettext's complaint when it is no valid PO file, or
// when its header names a charset other than UTF-8 (or ASCII).
PoCatalog readPoFile(const QString& path);

} // namespace lexivo
