// lumomap convert IN OUT: writes any map as a map file (LumoMapModel::saveToFile) or as JSON
// (LumoMapJson::write through a QSaveFile). Either way OUT is replaced only by the complete new text,
// and IN may be OUT (IN is read completely before anything is written).

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapDiff.h>
#include <LumoMapJson.h>
#include <LumoMapModel.h>

#include <QCommandLineParser>


namespace {

bool writeMapFile(LumoMapModel &model, const QString &outPath)
{
    if (model.saveToFile(outPath))
        return true;
    Tool::printError(model.getLastError());
    return false;
}

// Values of a JSON document that the map file cannot carry (reals beyond six significant digits, text
// with white space at its ends, an empty name where the field has a default, a colour's alpha) are named
// as warnings: the file holds what the map file can hold. The library works them out in memory; only the
// first lines are shown.
void warnAboutLostValues(const LumoMapModel &model)
{
    const int shown = 10;
    int lost = 0;
    LumoMapDiff::forEachValueLostInMapFile(model, [&](const LumoMapDifference &value) {
        if (++lost <= shown)
            Tool::printError(QStringLiteral("warning: the map file cannot carry this value: ") + value.line().mid(2));
    });
    if (lost > shown)
        Tool::printError(QStringLiteral("warning: %1 more values changed").arg(lost - shown));
}

} // namespace

int runConvertCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads a map file, a legacy map or the JSON form of a map (recognised by the extension .json\n"
        "or by text starting with '{') and writes it as a current map file or as JSON: --to decides,\n"
        "otherwise OUT's extension (.json for JSON, .xml for a map file). OUT may be IN: the new file\n"
        "replaces it only once it is complete. The JSON form holds\n"
        "every field the map file stores and is described in docs/json-format.md."));
    parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("map to read"));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("file to write"));
    const QCommandLineOption toOption(QStringLiteral("to"), QStringLiteral("Output format: json or xml."),
                                      QStringLiteral("FORMAT"));
    const QCommandLineOption translateOption(
        QStringLiteral("translate-old-coordinates"),
        QStringLiteral("Rescale the coordinates of legacy lights by 10/12 while reading."));
    parser.addOptions({toOption, translateOption});
    if (!Tool::parseCommandLine(parser, arguments, 2))
        return Tool::FileError;

    const QString inPath = parser.positionalArguments().at(0);
    const QString outPath = parser.positionalArguments().at(1);
    QString format = parser.value(toOption).toLower();
    // Without --to the extension decides, and a name that ends in neither .xml nor .json is refused
    // rather than given a map file it does not announce.
    if (format.isEmpty() && !Tool::acceptOutputPath(outPath, {}, {QStringLiteral("xml"), QStringLiteral("json")}))
        return Tool::FileError;
    if (format.isEmpty())
        format = outPath.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ? QStringLiteral("json")
                                                                                : QStringLiteral("xml");
    if (format != QLatin1String("json") && format != QLatin1String("xml")) {
        Tool::printError(
            QStringLiteral("invalid --to \"%1\": expected json or xml").arg(parser.value(toOption)));
        return Tool::FileError;
    }

    LumoMapModel model;
    bool fromJson = false;
    if (!Tool::loadAnyMap(model, inPath, parser.isSet(translateOption), &fromJson))
        return Tool::FileError;
    if (format == QLatin1String("json"))
        return Tool::writeFileAtomically(outPath, [&model](QIODevice &file) { return LumoMapJson::write(model, file); })
                   ? Tool::Success
                   : Tool::FileError;
    if (!writeMapFile(model, outPath))
        return Tool::FileError;
    if (fromJson)
        warnAboutLostValues(model);
    return Tool::Success;
}
