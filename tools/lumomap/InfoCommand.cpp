// lumomap info MAP [--json]: the map's summary (header, counts, canvas, extent, the chains per port) as
// LumoMapSummary gives it.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapModel.h>
#include <LumoMapSummary.h>
#include <LumoWiring.h>

#include <QCommandLineParser>
#include <QTextStream>

int runInfoCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the header, the number of records of every kind, the canvas geometry, the extent of\n"
        "the placed nodes in absolute coordinates (turned by theta) of a map and, per interface and\n"
        "port, the chain of nodes in wiring order: how many nodes it holds, the channels and universes\n"
        "they occupy and how many are skipped (see 'Wiring order' in the README). A port is named by\n"
        "its place on the controller, from 1, with its stored portnum beside it."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file, legacy map or JSON form"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON for scripts."));
    parser.addOption(jsonOption);
    Tool::WiringOptions wiringOptions;
    wiringOptions.add(parser, true);
    if (!Tool::parseCommandLine(parser, arguments, 1) || !wiringOptions.read(parser))
        return Tool::FileError;

    const QString path = parser.positionalArguments().constFirst();
    LumoMapModel model;
    if (!Tool::loadAnyMap(model, path))
        return Tool::FileError;

    LumoWiring wiring(model, wiringOptions.wiring);
    if (!wiringOptions.filter(wiring))
        return Tool::FileError;
    QTextStream out(stdout);
    Tool::useUtf8(out);
    if (parser.isSet(jsonOption))
        out << QString::fromUtf8(LumoMapSummary::toJson(path, model, wiring));
    else
        out << LumoMapSummary::toText(path, model, wiring);
    return Tool::Success;
}
