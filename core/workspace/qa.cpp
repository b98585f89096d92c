#include "qa.h"

#include "gamestring.h"

#include <QHash>

namespace lexivo {

namespace {

qsizetype leadingSpaces(const QByteArray& text) {
    qsizetype n = 0;
    while (n < text.size() && text[n] == ' ')
        ++n;
    return n;
}

qsizetype trailingSpaces(const QByteArray& text) {
    qsizetype n = 0;
    while (n < text.size() && text[text.size() - 1 - n] == ' ')
        ++n;
    return n;
}

// The game's bytes of a text form: \N and CR LF are the same two bytes, \T one.
qsizetype gameLength(const QByteArray& text) {
    return StoredStringSize(text) - 1;
}

QString hexByte(uchar byte) {
    return QStringLiteral("0x") +
           QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

QString TranslationChecks::checkName(Check check) {
    switch (check) {
    case LineBreaks:
        return QStringLiteral("linebreaks");
    case PageBreaks:
        return QStringLiteral("pagebreaks");
    case Quotes:
        return QStringLiteral("quotes");
    case Spaces:
        return QStringLiteral("spaces");
    case Empty:
        return QStringLiteral("empty");
    case Inconsistent:
        return QStringLiteral("inconsistent");
    case Length:
        return QStringLiteral("length");
    case CodePage:
        return QStringLiteral("codepage");
    }
    return {};
}

TranslationChecks::TranslationChecks(const Cp1252Codec& codec, int lengthPercent)
    : m_codec(codec), m_lengthPercent(lengthPercent) {}

void TranslationChecks::checkLine(qsizetype line, const QByteArray& text,
                                  const QByteArray& original, bool checkLength,
                                  QList<Problem>& problems) const {
    if (text == original) return;
    const auto add = [&](Check check, const QString& message) {
        problems.append({line, check, message});
    };
    if (text.isEmpty()) {
        // Everything else would only restate that the line is empty.
        add(Empty, QStringLiteral("empty, the original is not"));
        return;
    }
    const qsizetype breaks = text.count("\\N"), originalBreaks = original.count("\\N");
    if (breaks != originalBreaks)
        add(LineBreaks, QStringLiteral("%1 line breaks (\\N), the original has %2")
                            .arg(breaks)
                            .arg(originalBreaks));
    const qsizetype pages = text.count('*'), originalPages = original.count('*');
    if (pages != originalPages)
        add(PageBreaks, QStringLiteral("%1 page breaks (*), the original has %2")
                            .arg(pages)
                            .arg(originalPages));
    const qsizetype quotes = text.count('@'), originalQuotes = original.count('@');
    if (quotes % 2 != 0 && originalQuotes % 2 == 0)
        add(Quotes, QStringLiteral("%1 quotation marks (@), an odd number; the original has %2")
                        .arg(quotes)
                        .arg(originalQuotes));
    const qsizetype lead = leadingSpaces(text), originalLead = leadingSpaces(original);
    const qsizetype trail = trailingSpaces(text), originalTrail = trailingSpaces(original);
    if (lead != originalLead || trail != originalTrail)
        add(Spaces, QStringLiteral("%1 leading and %2 trailing spaces, the original has %3 and %4")
                        .arg(lead)
                        .arg(trail)
                        .arg(originalLead)
                        .arg(originalTrail));
    if (checkLength && !original.isEmpty()) {
        const qsizetype length = gameLength(text), originalLength = gameLength(original);
        if (length * 100 > originalLength * m_lengthPercent)
            add(Length, QStringLiteral("%1 characters, more than %2 percent of the original's %3")
                            .arg(length)
                            .arg(m_lengthPercent)
                            .arg(originalLength));
    }
    // A byte the code page leaves undefined has no letter in the game's font.
    // One the original holds too is the game's own.
    QList<uchar> undefined;
    for (const char c : text) {
        const uchar byte = uchar(c);
        const char16_t ch = m_codec.toUnicode(byte).unicode();
        const bool control = ch < 0x20 || (ch >= 0x7F && ch <= 0x9F);
        if (control && !original.contains(c) && !undefined.contains(byte)) undefined.append(byte);
    }
    if (!undefined.isEmpty()) {
        QStringList bytes;
        for (const uchar byte : std::as_const(undefined))
            bytes << hexByte(byte);
        add(CodePage, QStringLiteral("byte %1 is no character of %2")
                          .arg(bytes.join(QStringLiteral(", ")), m_codec.name()));
    }
}

QList<TranslationChecks::Problem> TranslationChecks::checkFunction(const Lines& lines,
                                                                   const Lines& originals) const {
    QList<Problem> problems;
    // The first line of each original: the game matches answers and keywords
    // as strings, so every later line of that original must read the same.
    QHash<QByteArray, qsizetype> first;
    const qsizetype n = qMin(lines.size(), originals.size());
    for (qsizetype k = 0; k < n; ++k) {
        checkLine(k, lines[k], originals[k], false, problems);
        const auto earlier = first.constFind(originals[k]);
        if (earlier == first.constEnd()) {
            first.insert(originals[k], k);
        } else if (lines[k] != originals[k] && lines[k] != lines[earlier.value()]) {
            problems.append(
                {k, Inconsistent,
                 QStringLiteral("translated unlike line %1, which has the same original")
                     .arg(earlier.value() + 1)});
        }
    }
    return problems;
}

QList<TranslationChecks::Problem>
TranslationChecks::checkMessages(const Lines& lines, const Lines& english, bool notes) const {
    QList<Problem> problems;
    const qsizetype n = qMin(lines.size(), english.size());
    for (qsizetype k = 0; k < n; ++k) {
        QByteArray text = lines[k];
        if (notes) {
            const qsizetype note = text.indexOf(" # ");
            if (note >= 0) text.truncate(note);
        }
        checkLine(k, text, english[k], true, problems);
    }
    return problems;
}

// ---- the quality checks as the check run takes them ----

void QualityCheck::checkFunction(const CheckedLines&, QList<CheckProblem>&) {}
void QualityCheck::checkMessages(const CheckedLines&, QList<CheckProblem>&) {}
void QualityCheck::finish(QList<QPair<int, CheckProblem>>&) {}

void LineCountCheck::checkFunction(const CheckedLines& function, QList<CheckProblem>& problems) {
    const qsizetype lines = function.lines.size(), strings = function.strings;
    if (lines == strings) return;
    // At the first line that has no partner: an extra line, or the first
    // string the file lacks.
    problems.append(
        {qMin(lines, strings), name(),
         QStringLiteral("%1 lines, but function %2 has %3 strings; the rebuild "
                        "keeps the function untranslated")
             .arg(lines)
             .arg(QStringLiteral("%1").arg(function.funcNum, 4, 16, QLatin1Char('0')).toUpper())
             .arg(strings)});
}

namespace {
void appendNamed(const QList<TranslationChecks::Problem>& found, QList<CheckProblem>& problems) {
    for (const TranslationChecks::Problem& p : found)
        problems.append({p.line, TranslationChecks::checkName(p.check), p.message});
}
} // namespace

void LineChecks::checkFunction(const CheckedLines& function, QList<CheckProblem>& problems) {
    appendNamed(m_checks.checkFunction(function.lines, function.originals), problems);
}

void LineChecks::checkMessages(const CheckedLines& text, QList<CheckProblem>& problems) {
    appendNamed(m_checks.checkMessages(text.lines, text.originals, text.notes), problems);
}

} // namespace lexivo
