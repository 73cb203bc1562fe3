#include "LumoMapSummary.h"

#include "RecordKeys.h"

#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoWiring.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <new>

namespace {

// Text for a real: up to 12 significant digits, no trailing zeros.
QString realText(double value)
{
    return QString::number(value, 'g', 12);
}

// A universe, or null for an address that lies in none.
QJsonValue universeOrNull(qint64 universe)
{
    return universe < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(universe);
}

QJsonArray wiringToJson(const LumoWiring &wiring)
{
    QJsonArray interfaces;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        QJsonArray ports;
        for (const LumoWiredPort &port : interface.ports) {
            const bool wired = !port.nodes.isEmpty();
            const QJsonValue none(QJsonValue::Null);
            ports.append(QJsonObject{
                {QStringLiteral("port"), port.port},
                {QStringLiteral("portnum"), port.portnum},
                {QStringLiteral("nodes"), port.nodes.size()},
                {QStringLiteral("skipped"), port.skippedCount},
                {QStringLiteral("firstChannel"), wired ? QJsonValue(port.firstAddress) : none},
                {QStringLiteral("lastChannel"), wired ? QJsonValue(port.lastAddress) : none},
                {QStringLiteral("firstUniverse"), wired ? universeOrNull(port.firstUniverse) : none},
                {QStringLiteral("lastUniverse"), wired ? universeOrNull(port.lastUniverse) : none}});
        }
        interfaces.append(QJsonObject{{QStringLiteral("uid"), RecordKeys::hexKey(interface.uid)},
                                      {QStringLiteral("name"), interface.record->name},
                                      {QStringLiteral("ip"), interface.record->ip},
                                      {QStringLiteral("uni"), qint64(interface.record->uni)},
                                      {QStringLiteral("ports"), ports}});
    }
    return interfaces;
}

QJsonValue textOrNull(const QString &text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonObject extentToJson(const LumoExtent &extent)
{
    return QJsonObject{{QStringLiteral("minx"), extent.minX},
                       {QStringLiteral("miny"), extent.minY},
                       {QStringLiteral("maxx"), extent.maxX},
                       {QStringLiteral("maxy"), extent.maxY}};
}

QByteArray summaryJson(const QString &path, const LumoMapModel &model, const LumoRecordCounts &counts,
                      const LumoWiring &wiring)
{
    QJsonObject root;
    root[QStringLiteral("file")] = path;
    root[QStringLiteral("mapname")] = model.mapname;
    root[QStringLiteral("appname")] = model.appname;
    root[QStringLiteral("appversion")] = model.appversion;
    root[QStringLiteral("mapfileversion")] = static_cast<qint64>(model.mapfileversion);
    root[QStringLiteral("savedatetime")] = textOrNull(model.savedatetime);
    root[QStringLiteral("counts")] =
        QJsonObject{{QStringLiteral("fixtureTemplates"), counts.fixtureTemplates},
                    {QStringLiteral("nodes"), counts.nodes},
                    {QStringLiteral("interfaceTemplates"), counts.interfaceTemplates},
                    {QStringLiteral("outputs"), counts.outputs},
                    {QStringLiteral("fixtures"), counts.fixtures},
                    {QStringLiteral("interfaces"), counts.interfaces},
                    {QStringLiteral("regions"), counts.regions}};
    root[QStringLiteral("geometry")] = QJsonObject{
        {QStringLiteral("vminx"), model.vminx},         {QStringLiteral("vminy"), model.vminy},
        {QStringLiteral("vmaxx"), model.vmaxx},         {QStringLiteral("vmaxy"), model.vmaxy},
        {QStringLiteral("scalexfit"), model.scalexfit}, {QStringLiteral("scaleyfit"), model.scaleyfit},
        {QStringLiteral("xoffset"), model.xoffset},     {QStringLiteral("yoffset"), model.yoffset},
        {QStringLiteral("xscale"), model.xscale},       {QStringLiteral("yscale"), model.yscale}};
    root[QStringLiteral("placedNodes")] = wiring.nodeCount;
    root[QStringLiteral("nodeBounds")] =
        wiring.extent.empty ? QJsonValue(QJsonValue::Null) : QJsonValue(extentToJson(wiring.extent));
    root[QStringLiteral("wiring")] = wiringToJson(wiring);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString point(double x, double y)
{
    return QStringLiteral("(%1, %2)").arg(realText(x), realText(y));
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString summaryText(const QString &path, const LumoMapModel &model, const LumoRecordCounts &counts,
                   const LumoWiring &wiring)
{
    QString text;
    QTextStream out(&text);
    out << "File:                " << path << '\n';
    out << "Map name:            " << model.mapname << '\n';
    out << "Created with:        "
        << (model.appname.isEmpty() && model.appversion.isEmpty()
                ? QStringLiteral("(not recorded)")
                : model.appname + QLatin1Char(' ') + model.appversion)
        << '\n';
    out << "Map file version:    " << model.mapfileversion << '\n';
    out << "Saved:               "
        << (model.savedatetime.isNull() ? QStringLiteral("(not recorded)") : model.savedatetime) << '\n';
    out << "Fixture templates:   " << counts.fixtureTemplates << '\n';
    out << "Template nodes:      " << counts.nodes << '\n';
    out << "Interface templates: " << counts.interfaceTemplates << '\n';
    out << "Outputs:             " << counts.outputs << '\n';
    out << "Fixtures:            " << counts.fixtures << '\n';
    out << "Interfaces:          " << counts.interfaces << '\n';
    out << "Regions:             " << counts.regions << '\n';
    out << "Canvas:              " << point(model.vminx, model.vminy) << " to "
        << point(model.vmaxx, model.vmaxy) << ", fit x " << yesNo(model.scalexfit) << ", fit y "
        << yesNo(model.scaleyfit) << ", offset " << point(model.xoffset, model.yoffset) << ", scale "
        << point(model.xscale, model.yscale) << '\n';
    const LumoExtent &extent = wiring.extent;
    out << "Placed nodes:        " << wiring.nodeCount;
    if (!extent.empty)
        out << ", from " << point(extent.minX, extent.minY) << " to " << point(extent.maxX, extent.maxY);
    out << '\n';
    out << "Wiring:              "
        << (wiring.interfaces.isEmpty() ? "(no interfaces)" : "ports with nodes, in wiring order") << '\n';
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        int wiredPorts = 0;
        for (const LumoWiredPort &port : interface.ports)
            wiredPorts += port.nodes.isEmpty() ? 0 : 1;
        out << "  interface " << RecordKeys::hexKey(interface.uid) << " \"" << interface.record->name
            << "\", ip " << interface.record->ip << ", uni " << interface.record->uni << ": "
            << interface.ports.size() << " ports, " << wiredPorts << " with nodes\n";
        for (const LumoWiredPort &port : interface.ports) {
            if (port.nodes.isEmpty())
                continue;
            out << "    port " << port.port << " (portnum " << port.portnum << "): nodes 1-" << port.nodes.size()
                << ", channels " << port.firstAddress << '-' << port.lastAddress;
            if (port.firstUniverse >= 0)
                out << ", universe " << port.firstUniverse << " channel " << port.firstChannel << " to universe "
                    << port.lastUniverse << " channel " << port.lastChannel;
            if (port.skippedCount)
                out << ", " << port.skippedCount << " skipped";
            out << '\n';
        }
    }
    out.flush();
    return text;
}

} // namespace

LumoRecordCounts LumoMapSummary::countRecords(const LumoMapModel &model)
{
    LumoRecordCounts counts;
    counts.fixtureTemplates = model.fixtureTemplates.size();
    for (const LumoFixtureTemplate *fixtureTemplate : model.fixtureTemplates) {
        if (fixtureTemplate)
            counts.nodes += fixtureTemplate->nodelist.size();
    }
    counts.interfaceTemplates = model.interfaceTemplates.size();
    for (const LumoInterfaceTemplate *interfaceTemplate : model.interfaceTemplates) {
        if (!interfaceTemplate)
            continue;
        counts.outputs += interfaceTemplate->outputs.size();
        for (const LumoOutput *output : interfaceTemplate->outputs) {
            if (output)
                counts.fixtures += output->fixtures.size();
        }
    }
    counts.interfaces = model.interfaces.size();
    counts.regions = model.regions.size();
    return counts;
}

QByteArray LumoMapSummary::toJson(const QString &fileName, const LumoMapModel &model, const LumoWiring &wiring)
{
    try {
        return summaryJson(fileName, model, countRecords(model), wiring);
    } catch (const std::bad_alloc &) {
        return QByteArray();
    }
}

QString LumoMapSummary::toText(const QString &fileName, const LumoMapModel &model, const LumoWiring &wiring)
{
    try {
        return summaryText(fileName, model, countRecords(model), wiring);
    } catch (const std::bad_alloc &) {
        return QString();
    }
}
