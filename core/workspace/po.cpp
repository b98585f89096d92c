#include "po.h"

#include "errors.h"
#include "fileio.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <csetjmp>
#include <cstdlib>
#include <gettext-po.h>
#include <memory>

namespace lexivo {

namespace {

// libgettextpo reports through a handler without a user pointer, and a
// fatal error must not return into the library: the complaints are collected
// here, and a fatal one jumps back to the call (see runGuarded).
thread_local QStringList* t_complaints = nullptr;
thread_local std::jmp_buf* t_jump = nullptr;

QString complaintText(const char* filename, size_t lineno, const char* text) {
    QString where;
    if (filename) {
        where = QFile::decodeName(filename);
        if (lineno != size_t(-1)) where += QLatin1Char(':') + QString::number(lineno);
        where += QStringLiteral(": ");
    }
    return where + QString::fromUtf8(text).trimmed();
}

void onError(int severity, po_message_t, const char* filename, size_t lineno, size_t, int,
             const char* text) {
    if (severity != PO_SEVERITY_WARNING && t_complaints)
        t_complaints->append(complaintText(filename, lineno, text));
    if (severity == PO_SEVERITY_FATAL_ERROR && t_jump) std::longjmp(*t_jump, 1);
}

void onError2(int severity, po_message_t, const char* filename1, size_t lineno1, size_t, int,
              const char* text1, po_message_t, const char* filename2, size_t lineno2, size_t, int,
              const char* text2) {
    if (severity != PO_SEVERITY_WARNING && t_complaints) {
        t_complaints->append(complaintText(filename1, lineno1, text1));
        t_complaints->append(complaintText(filename2, lineno2, text2));
    }
    if (severity == PO_SEVERITY_FATAL_ERROR && t_jump) std::longjmp(*t_jump, 1);
}

const po_xerror_handler Handler = {onError, onError2};

// Only trivially destructible locals between setjmp and the library call:
// the jump skips no destructor.
po_file_t readGuarded(const char* filename) {
    std::jmp_buf jump;
    t_jump = &jump;
    if (setjmp(jump) != 0) {
        t_jump = nullptr;
        return nullptr;
    }
    po_file_t file = po_file_read(filename, &Handler);
    t_jump = nullptr;
    return file;
}

bool writeGuarded(po_file_t file, const char* filename) {
    std::jmp_buf jump;
    t_jump = &jump;
    if (setjmp(jump) != 0) {
        t_jump = nullptr;
        return false;
    }
    const bool written = po_file_write(file, filename, &Handler) != nullptr;
    t_jump = nullptr;
    return written;
}

struct FileFree {
    void operator()(po_file* file) const { po_file_free(file); }
};
using FilePtr = std::unique_ptr<po_file, FileFree>;

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

QString headerText(const PoCatalog& catalog) {
    QString text;
    for (const auto& [name, value] : catalog.header)
        text += name + QStringLiteral(": ") + value + QLatin1Char('\n');
    return text;
}

QList<std::pair<QString, QString>> parseHeader(const QString& text) {
    QList<std::pair<QString, QString>> fields;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0) continue;
        fields.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return fields;
}

} // namespace

QString PoCatalog::headerField(const QString& name) const {
    for (const auto& [field, value] : header)
        if (field.compare(name, Qt::CaseInsensitive) == 0) return value;
    return {};
}

void writePoFile(const QString& path, const PoCatalog& catalog) {
    FilePtr file(po_file_create());
    po_message_iterator_t iterator = po_message_iterator(file.get(), nullptr);
    const auto insert = [&](const PoEntry& entry, bool header) {
        po_message_t message = po_message_create();
        if (!header) po_message_set_msgctxt(message, entry.context.toUtf8().constData());
        po_message_set_msgid(message, entry.source.toUtf8().constData());
        po_message_set_msgstr(message, entry.translation.toUtf8().constData());
        if (!entry.translatorComment.isEmpty())
            po_message_set_comments(message, entry.translatorComment.toUtf8().constData());
        if (!entry.extractedComments.isEmpty())
            po_message_set_extracted_comments(
                message, entry.extractedComments.join(QLatin1Char('\n')).toUtf8().constData());
        po_message_set_fuzzy(message, entry.fuzzy ? 1 : 0);
        po_message_insert(iterator, message);
    };
    PoEntry header;
    header.translation = headerText(catalog);
    insert(header, true);
    for (const PoEntry& entry : catalog.entries)
        insert(entry, false);
    po_message_iterator_free(iterator);

    // The library writes to a named file only: it writes beside nothing of
    // the workspace, and the result replaces the target atomically.
    QTemporaryDir dir;
    if (!dir.isValid()) throw FileError::cannotCreate(path, dir.errorString());
    const QString temporary = dir.filePath(QStringLiteral("out.po"));
    QStringList complaints;
    t_complaints = &complaints;
    const bool written = writeGuarded(file.get(), QFile::encodeName(temporary).constData());
    t_complaints = nullptr;
    if (!written || !complaints.isEmpty())
        throw FileError::cannotCreate(path, complaints.join(QLatin1Char(' ')));
    writeFileAtomically(path, readWholeFile(temporary));
}

PoCatalog readPoFile(const QString& path) {
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly))
            throw FileError::cannotOpen(path, probe.errorString());
        if (!QFileInfo(path).isFile())
            throw FileError::cannotOpen(path, QStringLiteral("It is not a file."));
    }
    QStringList complaints;
    t_complaints = &complaints;
    FilePtr file(readGuarded(QFile::encodeName(path).constData()));
    t_complaints = nullptr;
    if (!file || !complaints.isEmpty()) {
        // The first few complaints say enough; random bytes give hundreds.
        QString said = complaints.isEmpty() ? QStringLiteral("unreadable")
                                            : complaints.mid(0, 3).join(QLatin1Char(' '));
        if (complaints.size() > 3)
            said += QStringLiteral(" (and %1 more)").arg(complaints.size() - 3);
        throw DataError(QStringLiteral("%1 is not a valid PO file: %2").arg(path, said));
    }

    PoCatalog catalog;
    // The header comes as a fresh copy that is the caller's to free.
    const std::unique_ptr<char, decltype(&std::free)> header(
        const_cast<char*>(po_file_domain_header(file.get(), nullptr)), &std::free);
    if (header) {
        catalog.header = parseHeader(QString::fromUtf8(header.get()));
        QString charset = catalog.headerField(QStringLiteral("Content-Type"));
        const qsizetype at = charset.indexOf(QStringLiteral("charset="), 0, Qt::CaseInsensitive);
        charset =
            at < 0 ? QString() : charset.mid(at + 8).section(QLatin1Char(';'), 0, 0).trimmed();
        if (!charset.isEmpty() &&
            charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0 &&
            charset.compare(QLatin1String("ASCII"), Qt::CaseInsensitive) != 0 &&
            charset.compare(QLatin1String("CHARSET"), Qt::CaseInsensitive) != 0)
            throw DataError(QStringLiteral("%1: the PO file is in %2; only UTF-8 PO files are read")
                                .arg(path, charset));
    }

    const auto decode = [&](const char* text, bool& ok) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString result = decoder(QByteArray(text ? text : ""));
        if (decoder.hasError()) ok = false;
        return result;
    };
    for (const char* const* domain = po_file_domains(file.get()); domain && *domain; ++domain) {
        po_message_iterator_t iterator = po_message_iterator(file.get(), *domain);
        while (po_message_t message = po_next_message(iterator)) {
            if (po_message_is_obsolete(message)) continue;
            const char* id = po_message_msgid(message);
            if (!po_message_msgctxt(message) && id && *id == '\0') continue; // the header
            PoEntry entry;
            bool ok = true;
            entry.context = decode(po_message_msgctxt(message), ok);
            entry.source = decode(id, ok);
            entry.translation = decode(po_message_msgstr(message), ok);
            entry.translatorComment = fromUtf8(po_message_comments(message));
            if (entry.translatorComment.endsWith(QLatin1Char('\n')))
                entry.translatorComment.chop(1);
            entry.extractedComments = fromUtf8(po_message_extracted_comments(message))
                                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            entry.fuzzy = po_message_is_fuzzy(message) != 0;
            entry.plural = po_message_msgid_plural(message) != nullptr;
            if (!ok) {
                po_message_iterator_free(iterator);
                throw DataError(
                    QStringLiteral("%1: the entry %2 is not UTF-8 text").arg(path, entry.context));
            }
            catalog.entries.append(entry);
        }
        po_message_iterator_free(iterator);
    }
    return catalog;
}

} // namespace lexivo
