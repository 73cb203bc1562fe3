// lumomap convert IN OUT [--translate-old-coordinates]: loads a current or legacy map and writes it
// as a current map file. OUT is written through QSaveFile: the new text goes to a temporary file
// that replaces OUT only once it is complete, so a failure at any point leaves an existing OUT as
// it was, and IN may be OUT (IN is read completely before anything is written).

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QSaveFile>
#include <QTextStream>

int runConvertCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Loads a map file or a legacy map and writes it as a current map file."));
    parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("map file or legacy map to read"));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("map file to write"));
    const QCommandLineOption translateOption(
        QStringLiteral("translate-old-coordinates"),
        QStringLiteral("Rescale the coordinates of legacy lights by 10/12 while reading."));
    parser.addOption(translateOption);
    if (!Tool::parseCommandLine(parser, arguments, 2))
        return Tool::FileError;

    const QString inPath = parser.positionalArguments().at(0);
    const QString outPath = parser.positionalArguments().at(1);
    LumoMapModel model;
    if (!Tool::loadMap(model, inPath, parser.isSet(translateOption)))
        return Tool::FileError;

    QSaveFile file(outPath);
    if (!file.open(QIODevice::WriteOnly)) {
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(outPath, file.errorString()));
        return Tool::FileError;
    }
    QTextStream stream(&file);
    Tool::useUtf8(stream);
    const bool saved = model.save(stream);
    stream.flush();
    if (!saved || stream.status() != QTextStream::Ok) {
        file.cancelWriting();
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(outPath, file.errorString()));
        return Tool::FileError;
    }
    if (!file.commit()) {
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(outPath, file.errorString()));
        return Tool::FileError;
    }
    return Tool::Success;
}
