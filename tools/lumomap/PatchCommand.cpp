// lumomap patch MAP [-o OUT.csv|OUT.json] [--json] [--pixels] [--ports] [wiring options]: the patch list,
// one row per node in wiring order (LumoWiring), as CSV (RFC 4180, with a header row) or as a JSON array
// of objects; with --ports one row per port with nodes; with --pixels, per interface and port, the
// absolute node positions in wiring order as JSON.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoMapModel.h>
#include <LumoWiring.h>
#include <RecordKeys.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// A real as the JSON form writes it: a number, or "inf", "-inf", "nan", which JSON numbers cannot carry.
QJsonValue real(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return value;
}

// A universe or a channel within it, or null for an address that lies in no universe.
QJsonValue placed(qint64 value, qint64 universe)
{
    return universe < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

// A table: its column names and its rows of values in the order of the columns.
struct Table
{
    QStringList columns;
    QList<QJsonArray> rows;
};

Table nodeTable(const LumoWiring &wiring)
{
    Table table{{QStringLiteral("interface"), QStringLiteral("uid"), QStringLiteral("ip"), QStringLiteral("uni"),
                 QStringLiteral("port"), QStringLiteral("portnum"), QStringLiteral("fixture"),
                 QStringLiteral("baseaddr"), QStringLiteral("node"), QStringLiteral("addr"), QStringLiteral("address"),
                 QStringLiteral("channels"), QStringLiteral("counted_channels"), QStringLiteral("universe"),
                 QStringLiteral("channel"), QStringLiteral("skip"), QStringLiteral("x"), QStringLiteral("y")},
                {}};
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        const LumoInterface &record = *interface.record;
        for (const LumoWiredPort &port : interface.ports) {
            for (const LumoWiredNode &node : port.nodes)
                table.rows.append({record.name, RecordKeys::hexKey(interface.uid), record.ip, qint64(record.uni),
                                   port.port, port.portnum, node.fixture->name, node.fixture->baseaddr,
                                   node.chainNumber, node.node->addr, node.address, node.node->channelCount,
                                   node.channels, placed(node.universe, node.universe),
                                   placed(node.channel, node.universe), node.node->skipnode,
                                   real(node.position.x()), real(node.position.y())});
        }
    }
    return table;
}

Table portTable(const LumoWiring &wiring)
{
    Table table{{QStringLiteral("interface"), QStringLiteral("uid"), QStringLiteral("ip"), QStringLiteral("port"),
                 QStringLiteral("portnum"), QStringLiteral("fixtures"), QStringLiteral("pixels"),
                 QStringLiteral("skipped"), QStringLiteral("channels"), QStringLiteral("first_universe"),
                 QStringLiteral("first_channel"), QStringLiteral("last_universe"), QStringLiteral("last_channel"),
                 QStringLiteral("milliamps")},
                {}};
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            if (port.nodes.isEmpty())
                continue;
            table.rows.append({interface.record->name, RecordKeys::hexKey(interface.uid), interface.record->ip,
                               port.port, port.portnum, port.fixtureCount, port.nodes.size(), port.skippedCount,
                               port.channelSpan(), placed(port.firstUniverse, port.firstUniverse),
                               placed(port.firstChannel, port.firstUniverse),
                               placed(port.lastUniverse, port.lastUniverse),
                               placed(port.lastChannel, port.lastUniverse), port.milliamps});
        }
    }
    return table;
}

// A CSV field as RFC 4180 writes it: quoted when it holds a comma, a quote or a line break, with
// quotes doubled inside. Null is an empty field.
QString csvField(const QJsonValue &value)
{
    QString text;
    if (value.isBool())
        text = value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    else if (value.isDouble())
        text = Tool::formatReal(value.toDouble());
    else
        text = value.toString();
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QByteArray tableText(const Table &table, bool json)
{
    if (json) {
        QJsonArray rows;
        for (const QJsonArray &row : table.rows) {
            QJsonObject object;
            for (int i = 0; i < table.columns.size(); ++i)
                object.insert(table.columns.at(i), row.at(i));
            rows.append(object);
        }
        return QJsonDocument(rows).toJson(QJsonDocument::Indented);
    }
    QString csv = table.columns.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const QJsonArray &row : table.rows) {
        for (int i = 0; i < row.size(); ++i)
            csv += (i ? QStringLiteral(",") : QString()) + csvField(row.at(i));
        csv += QStringLiteral("\r\n");
    }
    return csv.toUtf8();
}

QByteArray pixelLists(const LumoMapModel &model, const LumoWiring &wiring)
{
    QJsonArray interfaces;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        QJsonArray ports;
        for (const LumoWiredPort &port : interface.ports) {
            QJsonArray pixels;
            QJsonArray universes;
            QJsonArray skipped;
            for (const LumoWiredNode &node : port.nodes) {
                pixels.append(QJsonArray{real(node.position.x()), real(node.position.y())});
                universes.append(node.universe < 0 ? QJsonValue(QJsonValue::Null)
                                                   : QJsonValue(QJsonArray{node.universe, node.channel}));
                if (node.node->skipnode)
                    skipped.append(node.chainNumber);
            }
            ports.append(QJsonObject{{QStringLiteral("port"), port.port},
                                     {QStringLiteral("portnum"), port.portnum},
                                     {QStringLiteral("pixels"), pixels},
                                     {QStringLiteral("universes"), universes},
                                     {QStringLiteral("skipped"), skipped}});
        }
        interfaces.append(QJsonObject{{QStringLiteral("uid"), RecordKeys::hexKey(interface.uid)},
                                      {QStringLiteral("name"), interface.record->name},
                                      {QStringLiteral("ip"), interface.record->ip},
                                      {QStringLiteral("uni"), qint64(interface.record->uni)},
                                      {QStringLiteral("ports"), ports}});
    }
    const QJsonObject root{{QStringLiteral("map"), model.mapname}, {QStringLiteral("interfaces"), interfaces}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

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
    wiringOptions.wiring.milliampsPerPixel = int(milliamps);
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
    QByteArray output;
    if (parser.isSet(pixelsOption))
        output = pixelLists(model, wiring);
    else
        output = tableText(parser.isSet(portsOption) ? portTable(wiring) : nodeTable(wiring), json);
    return Tool::writeOutput(outPath, output) ? Tool::Success : Tool::FileError;
}
