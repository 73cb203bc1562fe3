// lumomap validate MAP [--json] [--strict] [wiring options]: one line per finding of LumoMapCheck, each
// an error or a warning; exit code 1 when an error is found (with --strict: when anything is found).

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapCheck.h>
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
        "  outputs of one interface template sharing a portnum,\n"
        "  interfaces sharing an IP address, an IP that is not a dotted IPv4 address.\n"
        "Warnings (the format allows them):\n"
        "  interfaces sharing an order (every legacy import gives all interfaces order 0),\n"
        "  an interface template used by no interface, nodes of one fixture template sharing an addr,\n"
        "  an interface without an IP (empty or 0.0.0.0), a channel address below 1, two nodes of one\n"
        "  port sharing a channel, a node whose channels cross into the next universe, more nodes on a\n"
        "  port than --max-pixels-per-port, universes that more than one interface sends to (apart only\n"
        "  by unicast), a map without interfaces.\n"
        "Exits with 1 when an error is found (with --strict: any finding), otherwise 0."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file, legacy map or JSON form"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON for scripts."));
    const QCommandLineOption strictOption(QStringLiteral("strict"), QStringLiteral("Exit with 1 for warnings too."));
    const QCommandLineOption maxPixelsOption(QStringLiteral("max-pixels-per-port"),
                                             QStringLiteral("More nodes on one port is a warning (default 1024)."),
                                             QStringLiteral("N"), QStringLiteral("1024"));
    parser.addOptions({jsonOption, strictOption, maxPixelsOption});
    Tool::WiringOptions wiringOptions;
    wiringOptions.add(parser, false);
    qint64 maxPixels = 0;
    if (!Tool::parseCommandLine(parser, arguments, 1) || !wiringOptions.read(parser) ||
        !Tool::integerOption(parser, maxPixelsOption, 1, 1000000, maxPixels))
        return Tool::FileError;

    const QString path = parser.positionalArguments().constFirst();
    LumoMapModel model;
    if (!Tool::loadAnyMap(model, path))
        return Tool::FileError;

    LumoMapCheckOptions options;
    options.setWiring(wiringOptions.wiring);
    options.setMaxPixelsPerPort(int(maxPixels));
    const QList<LumoMapFinding> findings = LumoMapCheck::findings(model, options);
    QTextStream out(stdout);
    Tool::useUtf8(out);
    if (parser.isSet(jsonOption)) {
        QJsonArray list;
        for (const LumoMapFinding &finding : findings)
            list.append(QJsonObject{{QStringLiteral("level"), finding.levelName()},
                                    {QStringLiteral("check"), finding.check},
                                    {QStringLiteral("kind"), finding.kind},
                                    {QStringLiteral("keys"), QJsonArray::fromStringList(finding.keys)},
                                    {QStringLiteral("field"), finding.field},
                                    {QStringLiteral("record"), finding.record},
                                    {QStringLiteral("message"), finding.message}});
        const QJsonObject root{{QStringLiteral("file"), path}, {QStringLiteral("findings"), list}};
        out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
    } else if (findings.isEmpty()) {
        out << path << QStringLiteral(": no problems found\n");
    } else {
        for (const LumoMapFinding &finding : findings)
            out << finding.line() << QLatin1Char('\n');
    }
    const bool failing = std::any_of(findings.cbegin(), findings.cend(), [&](const LumoMapFinding &finding) {
        return finding.level == LumoMapFinding::Error || parser.isSet(strictOption);
    });
    return failing ? Tool::FindingsReported : Tool::Success;
}
