// lumomap validate MAP [--json] [--strict]: one line per finding in a loaded map, each an error or
// a warning; exit code 1 when an error is found (with --strict: when anything is found).

#include "Commands.h"
#include "MapFindings.h"
#include "ToolSupport.h"

#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>

int runValidateCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Checks a map and prints one line per finding, starting with its level and naming the record\n"
        "by its key (uids in hexadecimal as the map file stores them, region numbers in decimal).\n"
        "Errors:\n"
        "  a fixture whose templateid names no fixture template,\n"
        "  an interface whose templateid names no interface template or whose region names no region,\n"
        "  outputs of one interface template sharing a portnum.\n"
        "Warnings (the format allows them):\n"
        "  interfaces sharing an order (every legacy import gives all interfaces order 0),\n"
        "  an interface template used by no interface, nodes of one fixture template sharing an addr.\n"
        "Exits with 1 when an error is found (with --strict: any finding), otherwise 0."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file or legacy map"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON for scripts."));
    const QCommandLineOption strictOption(QStringLiteral("strict"),
                                          QStringLiteral("Exit with 1 for warnings too."));
    parser.addOptions({jsonOption, strictOption});
    if (!Tool::parseCommandLine(parser, arguments, 1))
        return Tool::FileError;

    const QString path = parser.positionalArguments().constFirst();
    LumoMapModel model;
    if (!Tool::loadAnyMap(model, path))
        return Tool::FileError;

    const QList<MapFinding> findings = findMapProblems(model);
    QTextStream out(stdout);
    Tool::useUtf8(out);
    if (parser.isSet(jsonOption)) {
        QJsonArray list;
        for (const MapFinding &finding : findings)
            list.append(QJsonObject{{QStringLiteral("level"), finding.levelName()},
                                    {QStringLiteral("check"), finding.check},
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
    const bool failing = std::any_of(findings.cbegin(), findings.cend(), [&](const MapFinding &finding) {
        return finding.level == MapFinding::Error || parser.isSet(strictOption);
    });
    return failing ? Tool::FindingsReported : Tool::Success;
}
