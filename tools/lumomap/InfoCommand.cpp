// lumomap info MAP [--json]: header, record counts, canvas geometry and the extent of the placed
// nodes in absolute coordinates.

#include "Commands.h"
#include "MapGeometry.h"
#include "ToolSupport.h"

#include <LumoFixtureTemplate.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace {

using Tool::formatReal;

struct RecordCounts
{
    int fixtureTemplates = 0;
    int nodes = 0;
    int interfaceTemplates = 0;
    int outputs = 0;
    int fixtures = 0;
    int interfaces = 0;
    int regions = 0;
};

RecordCounts countRecords(const LumoMapModel &model)
{
    RecordCounts counts;
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

QJsonValue textOrNull(const QString &text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonObject extentToJson(const Extent &extent)
{
    return QJsonObject{{QStringLiteral("minx"), extent.minX},
                       {QStringLiteral("miny"), extent.minY},
                       {QStringLiteral("maxx"), extent.maxX},
                       {QStringLiteral("maxy"), extent.maxY}};
}

QByteArray infoAsJson(const QString &path, const LumoMapModel &model, const RecordCounts &counts,
                      const MapGeometry &geometry)
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
    root[QStringLiteral("placedNodes")] = geometry.nodes().size();
    root[QStringLiteral("nodeBounds")] =
        geometry.extent().empty ? QJsonValue(QJsonValue::Null) : QJsonValue(extentToJson(geometry.extent()));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString point(double x, double y)
{
    return QStringLiteral("(%1, %2)").arg(formatReal(x), formatReal(y));
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString infoAsText(const QString &path, const LumoMapModel &model, const RecordCounts &counts,
                   const MapGeometry &geometry)
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
    out << "Nodes:               " << counts.nodes << '\n';
    out << "Interface templates: " << counts.interfaceTemplates << '\n';
    out << "Outputs:             " << counts.outputs << '\n';
    out << "Fixtures:            " << counts.fixtures << '\n';
    out << "Interfaces:          " << counts.interfaces << '\n';
    out << "Regions:             " << counts.regions << '\n';
    out << "Canvas:              " << point(model.vminx, model.vminy) << " to "
        << point(model.vmaxx, model.vmaxy) << ", fit x " << yesNo(model.scalexfit) << ", fit y "
        << yesNo(model.scaleyfit) << ", offset " << point(model.xoffset, model.yoffset) << ", scale "
        << point(model.xscale, model.yscale) << '\n';
    const Extent &extent = geometry.extent();
    out << "Placed nodes:        " << geometry.nodes().size();
    if (!extent.empty)
        out << ", from " << point(extent.minX, extent.minY) << " to " << point(extent.maxX, extent.maxY);
    out << '\n';
    out.flush();
    return text;
}

} // namespace

int runInfoCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the header, the number of records of every kind, the canvas geometry and the\n"
                       "extent of the placed nodes (interface + fixture + node position) of a map."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file or legacy map"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON for scripts."));
    parser.addOption(jsonOption);
    if (!Tool::parseCommandLine(parser, arguments, 1))
        return Tool::FileError;

    const QString path = parser.positionalArguments().constFirst();
    LumoMapModel model;
    if (!Tool::loadMap(model, path))
        return Tool::FileError;

    const RecordCounts counts = countRecords(model);
    const MapGeometry geometry(model);
    QTextStream out(stdout);
    Tool::useUtf8(out);
    if (parser.isSet(jsonOption))
        out << QString::fromUtf8(infoAsJson(path, model, counts, geometry));
    else
        out << infoAsText(path, model, counts, geometry);
    return Tool::Success;
}
