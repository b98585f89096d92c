// lexivo-cli: the headless commands on the same workspace as the window.
//
//   lexivo-cli [--ini FILE] init
//   lexivo-cli [--ini FILE] extract
//   lexivo-cli [--ini FILE] rebuild [--complete]
//   lexivo-cli [--ini FILE] check
//   lexivo-cli [--ini FILE] suggest [--all] HEXNUM
//   lexivo-cli [--ini FILE] find [--original] TEXT
//   lexivo-cli [--ini FILE] status
//   lexivo-cli [--ini FILE] qa
//   lexivo-cli [--ini FILE] keywords
//   lexivo-cli [--ini FILE] export-po OUTDIR
//   lexivo-cli [--ini FILE] import-po FILE...
//
// The program directory is the folder of the configuration file (default:
// LEXIVO.INI beside this program). Exit 0 on success, 1 with the message on
// standard error on failure, 2 on a usage error.

#include "clicommands.h"

#include "workspace/cp1252codec.h"
#include "workspace/errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

namespace {

int usage(const char* problem) {
    std::fprintf(stderr,
                 "lexivo-cli: %s\n"
                 "usage: lexivo-cli [--ini FILE] init\n"
                 "       lexivo-cli [--ini FILE] extract\n"
                 "       lexivo-cli [--ini FILE] rebuild [--complete]\n"
                 "       lexivo-cli [--ini FILE] check\n"
                 "       lexivo-cli [--ini FILE] suggest [--all] HEXNUM\n"
                 "       lexivo-cli [--ini FILE] find [--original] TEXT\n"
                 "       lexivo-cli [--ini FILE] status\n"
                 "       lexivo-cli [--ini FILE] qa\n"
                 "       lexivo-cli [--ini FILE] keywords\n"
                 "       lexivo-cli [--ini FILE] export-po OUTDIR\n"
                 "       lexivo-cli [--ini FILE] import-po FILE...\n",
                 problem);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    QString programDirectory = QCoreApplication::applicationDirPath();
    if (!args.isEmpty() && args.first() == QLatin1String("--ini")) {
        if (args.size() < 2) return usage("--ini needs a file");
        const QFileInfo ini(args.at(1));
        programDirectory = ini.absolutePath();
        if (ini.fileName().compare(QLatin1String("LEXIVO.INI"), Qt::CaseInsensitive) != 0)
            return usage("the configuration file must be named LEXIVO.INI");
        args = args.mid(2);
    }
    if (args.isEmpty()) return usage("no command given");

    const QString command = args.takeFirst();
    bool complete = false;
    if (command == QLatin1String("rebuild") && args == QStringList{QStringLiteral("--complete")}) {
        complete = true;
        args.clear();
    }
    bool all = false;
    quint16 funcNum = 0;
    if (command == QLatin1String("suggest")) {
        all = args.removeAll(QStringLiteral("--all")) > 0;
        if (args.size() != 1) return usage("suggest needs one function number (HEXNUM)");
        // The function's HexNum, letter case ignored: one to four hex digits.
        static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,4}$"));
        if (!hex.match(args.first()).hasMatch())
            return usage(qPrintable(
                QStringLiteral("not a function number (1 to 4 hex digits): %1").arg(args.first())));
        funcNum = quint16(args.takeFirst().toUInt(nullptr, 16));
    }
    bool original = false;
    QByteArray findText;
    if (command == QLatin1String("find")) {
        QStringList operands;
        bool options = true;
        for (const QString& arg : std::as_const(args)) {
            if (options && arg == QLatin1String("--original"))
                original = true;
            else if (options && arg == QLatin1String("--"))
                options = false;
            else
                operands << arg;
        }
        args.clear();
        if (operands.size() != 1) return usage("find needs one search text (TEXT)");
        const QString text = operands.first();
        if (text.isEmpty()) return usage("the search text is empty");
        // The search text is compared as the game's bytes: the command line
        // (UTF-8) is converted through the display code page, and a
        // character it cannot hold is refused rather than replaced.
        qsizetype bad = 0;
        if (!lexivo::Cp1252Codec().encode(text, findText, &bad)) {
            const QString character = text.mid(bad, text.at(bad).isHighSurrogate() ? 2 : 1);
            const uint code = character.toUcs4().value(0);
            return usage(qPrintable(
                QStringLiteral("the search text holds \"%1\" (U+%2), which Windows-1252 cannot "
                               "hold (the command line is read as UTF-8)")
                    .arg(character, QString::number(code, 16).toUpper().rightJustified(4, '0'))));
        }
    }
    QStringList poArguments;
    if (command == QLatin1String("export-po") || command == QLatin1String("import-po")) {
        poArguments = args;
        args.clear();
        if (command == QLatin1String("export-po") && poArguments.size() != 1)
            return usage("export-po needs one output folder (OUTDIR)");
        if (command == QLatin1String("import-po") && poArguments.isEmpty())
            return usage("import-po needs at least one PO file");
    }
    if (!args.isEmpty())
        return usage(qPrintable(QStringLiteral("unexpected argument: %1").arg(args.first())));

    // What a command printed before it failed is printed too: the loader's
    // findings explain the error that follows them.
    lexivo::cli::Output out;
    const auto flush = [&out] {
        std::fputs(out.stdoutText.toLocal8Bit().constData(), stdout);
        std::fwrite(out.stdoutBytes.constData(), 1, size_t(out.stdoutBytes.size()), stdout);
        std::fputs(out.stderrText.toLocal8Bit().constData(), stderr);
    };
    try {
        int rc = 0;
        if (command == QLatin1String("init"))
            rc = lexivo::cli::init(programDirectory, out);
        else if (command == QLatin1String("extract"))
            rc = lexivo::cli::extract(programDirectory, out);
        else if (command == QLatin1String("rebuild"))
            rc = lexivo::cli::rebuild(programDirectory, complete, out);
        else if (command == QLatin1String("check"))
            rc = lexivo::cli::check(programDirectory, out);
        else if (command == QLatin1String("suggest"))
            rc = lexivo::cli::suggest(programDirectory, funcNum, all, out);
        else if (command == QLatin1String("find"))
            rc = lexivo::cli::find(programDirectory, findText, original, out);
        else if (command == QLatin1String("status"))
            rc = lexivo::cli::status(programDirectory, out);
        else if (command == QLatin1String("keywords"))
            rc = lexivo::cli::keywords(programDirectory, out);
        else if (command == QLatin1String("qa"))
            rc = lexivo::cli::qa(programDirectory, out);
        else if (command == QLatin1String("export-po"))
            rc = lexivo::cli::exportPo(programDirectory, poArguments.first(), out);
        else if (command == QLatin1String("import-po"))
            rc = lexivo::cli::importPo(programDirectory, poArguments, out);
        else
            return usage(qPrintable(QStringLiteral("unknown command: %1").arg(command)));
        flush();
        return rc;
    } catch (const lexivo::Error& e) {
        flush();
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    } catch (const std::exception& e) {
        flush();
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
