#pragma once

#include "cp1252codec.h"
#include "pack.h"
#include "textlines.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace lexivo {

// The translation memory: a reference usecode (an earlier translation of the
// game) and the reference pack of the originals it was translated from,
// paired block by block by position. For a line not yet translated it
// proposes the reference's translation of the same original (letter case
// ignored) or of the first similar one (more than 75 percent).
class TranslationMemory {
public:
    // Loads the reference usecode (read with the project's usecode loader, so
    // a symbol table and 0xFFFE records are understood) and the reference pack.
    // Throws FileError / DataError naming the file. Problems that do not stop
    // loading (the pack holds fewer blocks or lines than the usecode) are
    // appended to warnings, once.
    void load(const QString& usecodePath, const QString& packPath, QStringList& warnings);
    bool isLoaded() const { return m_loaded; }

    // The scope of the lookup for the shown function: with all (the
    // "SearchInAllFunc" toggle down) the whole reference, else the first
    // reference function with this number.
    void fillScope(quint16 funcNum, bool all);
    // Line k of RefTranslations() is the reference translation of line k of
    // RefOriginals(); unpaired originals have no translation.
    Lines RefTranslations() const;
    Lines RefOriginals() const;
    // No line in scope: no lookup is made.
    bool scopeIsEmpty() const;

    struct Proposal {
        bool found = false;
        QByteArray translation;
        QString statusText; // the status bar text the lookup sets (may be empty)
    };
    // The lookup for an original text form. codec decodes the texts for the
    // case-insensitive exact match.
    Proposal FindReferenceTranslation(const QByteArray& original, const Cp1252Codec& codec) const;

private:
    bool m_loaded = false;
};

// Percentage of similarity of a (the reference's original) and b (the line's
// original): 200 * MatchedChars / (la + lb) after folding a-z to A-Z.
double Similarity(const QByteArray& a, const QByteArray& b);

} // namespace lexivo
