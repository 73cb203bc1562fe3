// lumomap patch MAP [-o OUT.csv|OUT.json] [--json] [--pixels]: the patch list, one row per node in
// wiring order (WiringOrder.h), as CSV (RFC 4180, with a header row) or as a JSON array of objects;
// with --pixels, per interface and port, the absolute node positions in wiring order as JSON.

#include "Commands.h"
#include "MapJson.h"
#include "ToolSupport.h"
#include "WiringOrder.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QStringList columns{QStringLiteral("interface"), QStringLiteral("uid"),      QStringLiteral("ip"),
                          QStringLiteral("uni"),       QStringLiteral("port"),     QStringLiteral("fixture"),
                          QStringLiteral("baseaddr"),  QStringLiteral("node"),     QStringLiteral("addr"),
                          QStringLiteral("address"),   QStringLiteral("channels"), QStringLiteral("skip"),
                          QStringLiteral("x"),         QStringLiteral("y")};

// One row in the order of `columns`.
QJsonArray rowOf(const WiredInterface &interface, const WiredPort &port, const WiredNode &node)
{
    const LumoInterface &record = *interface.record;
    return {record.name,
            Tool::formatHexKey(interface.uid),
            record.ip,
            qint64(record.uni),
            port.portnum,
            node.fixture->name,
            node.fixture->baseaddr,
            node.chainNumber,
            node.node->addr,
            node.address,
            node.node->channelCount,
            node.node->skipnode,
            jsonReal(node.position.x()),
            jsonReal(node.position.y())};
}

// A CSV field as RFC 4180 writes it: quoted when it holds a comma, a quote or a line break, with
// quotes doubled inside.
QString csvField(const QJsonValue &value)
{
    QString text;
    if (value.isBool())
        text = value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    else if (value.isDouble())
        text = Tool::formatReal(value.toDouble());
    else
        text = value.toString();
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QByteArray patchList(const MapWiring &wiring, bool json)
{
    QString csv;
    for (const QString &column : columns)
        csv += (column == columns.constFirst() ? QString() : QStringLiteral(",")) + column;
    csv += QStringLiteral("\r\n");
    QJsonArray rows;
    for (const WiredInterface &interface : wiring.interfaces) {
        for (const WiredPort &port : interface.ports) {
            for (const WiredNode &node : port.nodes) {
                const QJsonArray row = rowOf(interface, port, node);
                if (json) {
                    QJsonObject object;
                    for (int i = 0; i < columns.size(); ++i)
                        object.insert(columns.at(i), row.at(i));
                    rows.append(object);
                    continue;
                }
                for (int i = 0; i < row.size(); ++i)
                    csv += (i ? QStringLiteral(",") : QString()) + csvField(row.at(i));
                csv += QStringLiteral("\r\n");
            }
        }
    }
    return json ? QJsonDocument(rows).toJson(QJsonDocument::Indented) : csv.toUtf8();
}

QByteArray pixelLists(const LumoMapModel &model, const MapWiring &wiring)
{
    QJsonArray interfaces;
    for (const WiredInterface &interface : wiring.interfaces) {
        QJsonArray ports;
        for (const WiredPort &port : interface.ports) {
            QJsonArray pixels;
            QJsonArray skipped;
            for (const WiredNode &node : port.nodes) {
                pixels.append(QJsonArray{jsonReal(node.position.x()), jsonReal(node.position.y())});
                if (node.node->skipnode)
                    skipped.append(node.chainNumber);
            }
            ports.append(QJsonObject{{QStringLiteral("port"), port.portnum},
                                     {QStringLiteral("pixels"), pixels},
                                     {QStringLiteral("skipped"), skipped}});
        }
        interfaces.append(QJsonObject{{QStringLiteral("uid"), Tool::formatHexKey(interface.uid)},
                                      {QStringLiteral("name"), interface.record->name},
                                      {QStringLiteral("ip"), interface.record->ip},
                                      {QStringLiteral("uni"), qint64(interface.record->uni)},
                                      {QStringLiteral("ports"), ports}});
    }
    const QJsonObject root{{QStringLiteral("map"), model.mapname},
                           {QStringLiteral("interfaces"), interfaces}};
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
        "  port                         the output port's portnum\n"
        "  fixture, baseaddr            the fixture's name and base address\n"
        "  node                         the node's number along the port's chain, from 1\n"
        "  addr, address, channels      the node's addr, its channel address and channel count\n"
        "  skip                         1 for a skipped node\n"
        "  x, y                         the node's absolute position\n"
        "as CSV (RFC 4180, with a header row) or as a JSON array of objects. With --pixels it writes,\n"
        "per interface and port, the absolute positions of the nodes in wiring order as JSON\n"
        "([[x, y], ...], skipped nodes included and listed by number), the form LED controllers import.\n"
        "Writes to standard output unless -o is given."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file, legacy map or JSON form"));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("File to write: .json gives JSON, any other name CSV."), QStringLiteral("OUT"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Write JSON instead of CSV."));
    const QCommandLineOption pixelsOption(QStringLiteral("pixels"),
                                          QStringLiteral("Write the node positions per interface and port."));
    parser.addOptions({outputOption, jsonOption, pixelsOption});
    if (!Tool::parseCommandLine(parser, arguments, 1))
        return Tool::FileError;

    LumoMapModel model;
    if (!Tool::loadAnyMap(model, parser.positionalArguments().constFirst()))
        return Tool::FileError;
    const MapWiring wiring = wiringOf(model);
    const QString outPath = parser.value(outputOption);
    const bool json =
        parser.isSet(jsonOption) || outPath.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
    const QByteArray output =
        parser.isSet(pixelsOption) ? pixelLists(model, wiring) : patchList(wiring, json);
    return Tool::writeOutput(outPath, output) ? Tool::Success : Tool::FileError;
}
