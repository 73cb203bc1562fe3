// lumomap validate MAP [--json]: one line per problem found in a loaded map; exit code 1 when
// anything is found.

#include "Commands.h"
#include "MapFindings.h"
#include "ToolSupport.h"

#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

int runValidateCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Checks a map and prints one line per problem, naming the record by its key (uids in\n"
        "hexadecimal as the map file stores them, region numbers in decimal):\n"
        "  a fixture whose templateid names no fixture template,\n"
        "  an interface whose templateid names no interface template or whose region names no region,\n"
        "  interfaces sharing an order, outputs of one interface template sharing a portnum,\n"
        "  an interface template used by no interface, nodes of one fixture template sharing an addr.\n"
        "Exits with 1 when anything is found, 0 when the map is clean."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file or legacy map"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON for scripts."));
    parser.addOption(jsonOption);
    if (!Tool::parseCommandLine(parser, arguments, 1))
        return Tool::FileError;

    const QString path = parser.positionalArguments().constFirst();
    LumoMapModel model;
    if (!Tool::loadMap(model, path))
        return Tool::FileError;

    const QList<MapFinding> findings = findMapProblems(model);
    QTextStream out(stdout);
    Tool::useUtf8(out);
    if (parser.isSet(jsonOption)) {
        QJsonArray list;
        for (const MapFinding &finding : findings)
            list.append(QJsonObject{{QStringLiteral("check"), finding.check},
                                    {QStringLiteral("record"), finding.record},
                                    {QStringLiteral("message"), finding.message}});
        const QJsonObject root{{QStringLiteral("file"), path}, {QStringLiteral("findings"), list}};
        out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
    } else if (findings.isEmpty()) {
        out << path << QStringLiteral(": no problems found\n");
    } else {
        for (const MapFinding &finding : findings)
            out << finding.line() << QLatin1Char('\n');
    }
    return findings.isEmpty() ? Tool::Success : Tool::FindingsReported;
}
