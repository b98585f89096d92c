// lexivo-samplegame: writes a made-up game folder (usecode and text.flx) for
// demonstrations, manual testing and benchmarks, and on request a reference
// translation of it for the translation memory (usecode and ref.pak).

#include "gamebuilder/samplegame.h"
#include "gamebuilder/samplereference.h"

#include "workspace/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lexivo-samplegame"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a sample game folder (usecode and text.flx) into OUTDIR."));
    parser.addHelpOption();
    const QCommandLineOption staticOption(
        QStringLiteral("static"),
        QStringLiteral("Put the files into OUTDIR/STATIC/ with upper-case names."));
    const QCommandLineOption scaleOption(
        QStringLiteral("scale"),
        QStringLiteral("small (a dozen functions, the default) or full (a game of realistic "
                       "size for benchmarks)."),
        QStringLiteral("scale"), QStringLiteral("small"));
    const QCommandLineOption referenceOption(
        QStringLiteral("reference"),
        QStringLiteral("Also write a reference translation of the game into DIR: DIR/usecode "
                       "(translated) and DIR/ref.pak (the originals it was translated from)."),
        QStringLiteral("DIR"));
    const QCommandLineOption dosOption(
        QStringLiteral("dos"),
        QStringLiteral("Write the game as the original DOS release holds it: USECODE with "
                       "original opcodes and standard records only, TEXT.FLX, and the engine's "
                       "index files LINKDEP1 and LINKDEP2."));
    parser.addOption(dosOption);
    parser.addOption(staticOption);
    parser.addOption(scaleOption);
    parser.addOption(referenceOption);
    parser.addPositionalArgument(QStringLiteral("OUTDIR"),
                                 QStringLiteral("The game folder (may be left out with "
                                                "--reference)."),
                                 QStringLiteral("[OUTDIR]"));
    parser.process(app);

    QTextStream err(stderr);
    const QStringList args = parser.positionalArguments();
    const bool reference = parser.isSet(referenceOption);
    if (args.size() > 1 || (args.isEmpty() && !reference)) {
        err << "lexivo-samplegame: expected exactly one OUTDIR\n";
        err << parser.helpText();
        return 2;
    }
    lexivo::gamebuild::SampleGameOptions options;
    options.staticFolder = parser.isSet(staticOption);
    options.dos = parser.isSet(dosOption);
    const QString scale = parser.value(scaleOption).toLower();
    if (scale == QLatin1String("full")) {
        options.scale = lexivo::gamebuild::SampleScale::Full;
    } else if (scale != QLatin1String("small")) {
        err << "lexivo-samplegame: unknown scale \"" << scale << "\" (use small or full)\n";
        return 2;
    }

    try {
        QList<QString> written;
        if (!args.isEmpty()) written = lexivo::gamebuild::writeSampleGame(args.first(), options);
        if (reference)
            written += lexivo::gamebuild::writeSampleReference(parser.value(referenceOption),
                                                               options.scale);
        QTextStream out(stdout);
        for (const QString& path : written)
            out << path << ": " << QFileInfo(path).size() << " bytes\n";
    } catch (const lexivo::Error& e) {
        err << "lexivo-samplegame: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
