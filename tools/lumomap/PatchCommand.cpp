// lumomap patch MAP: the patch list, the port table or the node positions, as CSV or JSON; the rows and
// their forms are LumoPatchList's.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapModel.h>
#include <LumoPatchList.h>
#include <LumoWiring.h>

#include <QCommandLineParser>

int runPatchCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the patch list of a map: one row per node in wiring order (see 'Wiring order' in the\n"
        "README) with the columns\n"
        "  interface, uid, ip, uni      the interface: name, uid (hexadecimal), IP address and uni\n"
        "  port, portnum                the port's place on the controller (from 1) and its stored portnum\n"
        "  fixture, baseaddr            the fixture's name and base address\n"
        "  node                         the node's number along the port's chain, from 1\n"
        "  addr, address                the node's addr and its channel address within the port\n"
        "  channels, counted_channels   its channelCount, and the channels it is counted as occupying\n"
        "                               (--channels-per-node where channelCount is 0)\n"
        "  universe, channel            the universe of its first channel and that channel within it\n"
        "  skip                         1 for a skipped node\n"
        "  x, y                         the node's absolute position\n"
        "as CSV (RFC 4180, with a header row) or as a JSON array of objects. With --ports it writes one\n"
        "row per port with nodes instead: interface, uid, ip, port, portnum, fixtures, pixels, skipped,\n"
        "channels, first_universe, first_channel, last_universe, last_channel and milliamps. With\n"
        "--pixels it writes, per interface and port, the absolute positions of the nodes in wiring order\n"
        "as JSON ([[x, y], ...], skipped nodes included and listed by number, with each node's\n"
        "[universe, channel]), the form LED controllers import.\n"
        "Writes to standard output unless -o is given; never over the map it reads."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file, legacy map or JSON form"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("File to write: .json gives JSON, .csv CSV."),
                                          QStringLiteral("OUT"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Write JSON instead of CSV."));
    const QCommandLineOption portsOption(QStringLiteral("ports"), QStringLiteral("Write one row per port with nodes."));
    const QCommandLineOption pixelsOption(QStringLiteral("pixels"),
                                          QStringLiteral("Write the node positions per interface and port."));
    const QCommandLineOption milliampsOption(QStringLiteral("milliamps-per-pixel"),
                                             QStringLiteral("The current of one pixel, for --ports (default 60)."),
                                             QStringLiteral("MA"), QStringLiteral("60"));
    parser.addOptions({outputOption, jsonOption, portsOption, pixelsOption, milliampsOption});
    Tool::WiringOptions wiringOptions;
    wiringOptions.add(parser, true);
    qint64 milliamps = 0;
    if (!Tool::parseCommandLine(parser, arguments, 1) || !wiringOptions.read(parser) ||
        !Tool::integerOption(parser, milliampsOption, 0, 100000, milliamps))
        return Tool::FileError;
    wiringOptions.wiring.setMilliampsPerPixel(int(milliamps));
    const QString mapPath = parser.positionalArguments().constFirst();
    const QString outPath = parser.value(outputOption);
    const QStringList formats = parser.isSet(pixelsOption) ? QStringList{QStringLiteral("json")}
                                                           : QStringList{QStringLiteral("csv"), QStringLiteral("json")};
    if (!outPath.isEmpty() && !Tool::acceptOutputPath(outPath, {mapPath}, formats))
        return Tool::FileError;

    LumoMapModel model;
    if (!Tool::loadAnyMap(model, mapPath))
        return Tool::FileError;
    LumoWiring wiring(model, wiringOptions.wiring);
    if (!wiringOptions.filter(wiring))
        return Tool::FileError;
    Tool::reportUnplacedFixtures(wiring);
    const bool json = parser.isSet(jsonOption) || outPath.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
    if (parser.isSet(pixelsOption))
        return Tool::writeOutput(outPath, LumoPatchList::pixelsJson(model.mapname, wiring)) ? Tool::Success
                                                                                          : Tool::FileError;
    const LumoPatchList::Rows rows = parser.isSet(portsOption) ? LumoPatchList::PortRows : LumoPatchList::NodeRows;
    const bool written = Tool::writeOutput(outPath, [&](QIODevice &device) {
        return json ? LumoPatchList::writeJson(device, wiring, rows) : LumoPatchList::writeCsv(device, wiring, rows);
    });
    return written ? Tool::Success : Tool::FileError;
}
