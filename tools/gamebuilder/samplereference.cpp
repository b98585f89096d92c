#include "gamebuilder/samplereference.h"

#include "usecode/rebuild.h"
#include "usecode/usecodefile.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/pack.h"
#include "workspace/paths.h"

#include <QDir>
#include <QHash>

#include <cstring>
#include <stdexcept>

namespace lexivo::gamebuild {

QByteArray madeUpTranslation(const QByteArray& textForm) {
    static const char vowels[] = "aeiou";
    QByteArray out;
    out.reserve(textForm.size() + textForm.size() / 8);
    for (qsizetype p = 0; p < textForm.size(); ++p) {
        const char c = textForm[p];
        const char next = p + 1 < textForm.size() ? textForm[p + 1] : '\0';
        const bool upper = c >= 'A' && c <= 'Z';
        if (c == '\\' && (next == 'N' || next == 'T')) {
            out += c;
            out += next;
            ++p;
        } else if ((c == 't' || c == 'T') && next == 'h') {
            out += c == 't' ? 'd' : 'D';
            ++p;
        } else if (c == 'w' || c == 'W') {
            out += c == 'w' ? "vv" : (next >= 'A' && next <= 'Z') ? "VV" : "Vv";
        } else if (const char* v = std::strchr(vowels, upper ? char(c + 32) : c); v && c) {
            const char rotated = vowels[(v - vowels + 1) % 5];
            out += upper ? char(rotated - 32) : rotated;
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray earlierEdition(const QByteArray& textForm, int function, int string) {
    // About one line in five, and only lines long enough to stay similar.
    if ((function + string) % 5 != 1 || textForm.size() < 40) return textForm;
    QByteArray text = textForm;
    for (const auto& [from, to] : {std::pair<const char*, const char*>{" the ", " that "},
                                   {" a ", " one "},
                                   {" is ", " was "}}) {
        const qsizetype at = text.indexOf(from);
        if (at >= 0) return text.replace(at, qsizetype(std::strlen(from)), to);
    }
    return text + " Aye.";
}

SampleReference sampleReference(SampleScale scale) {
    const QString name = QStringLiteral("sample usecode");
    const UsecodeFile game = parseUsecode(sampleUsecode(scale), name);
    SampleReference reference;
    QHash<quint16, QList<QByteArray>> byNumber;
    for (qsizetype f = 0; f < game.funcs.size(); ++f) {
        const QList<QByteArray> strings = extractStrings(game.image, game.funcs[f]);
        QList<QByteArray> originals, translations;
        for (qsizetype s = 0; s < strings.size(); ++s) {
            originals << earlierEdition(strings[s], int(f), int(s));
            translations << madeUpTranslation(originals.back());
        }
        reference.originals << originals;
        reference.translations << translations;
        byNumber.insert(game.funcs[f].FuncNum, translations);
    }
    RebuildOptions options;
    options.fileName = name;
    options.translationFor = [&](quint16 funcNum, QList<QByteArray>& lines) {
        const auto it = byNumber.constFind(funcNum);
        if (it == byNumber.constEnd()) return false;
        lines = it.value();
        return true;
    };
    const RebuildOutput output = rebuildUsecode(game, options);
    if (!output.warnings.isEmpty() || !output.notApplied.isEmpty())
        throw std::logic_error("the sample reference does not rebuild cleanly: " +
                               output.warnings.join(QLatin1Char(' ')).toStdString());
    reference.usecode = output.image;
    reference.packContent = Pack::buildContent(reference.originals);
    return reference;
}

QList<QString> writeSampleReference(const QString& dir, SampleScale scale) {
    const QString folder = withTrailingSlash(dir);
    if (!QDir().mkpath(folder))
        throw FileError::cannotCreate(folder, QStringLiteral("The folder cannot be created."));
    const SampleReference reference = sampleReference(scale);
    const QString usecodePath = resolvePath(folder, QStringLiteral("usecode"));
    const QString packPath = resolvePath(folder, QStringLiteral("ref.pak"));
    writeFileAtomically(usecodePath, reference.usecode);
    Pack::write(packPath, reference.packContent);
    return {usecodePath, packPath};
}

} // namespace lexivo::gamebuild
