// lumomap diff A B [--json] [--all]: compares two maps record by record by key. Exit code 0 when
// they hold the same map, 1 when they differ, 2 when a file cannot be read. Git calls it as
// `git difftool -x 'lumomap diff'` with the old and the new file.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapDiff.h>
#include <LumoMapDiffReport.h>
#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QIODevice>


int runDiffCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Compares two maps (map files, legacy maps or the JSON form) record by record by key\n"
        "(uids in hexadecimal, region numbers in decimal) and prints one line per difference:\n"
        "  + KIND KEY \"NAME\"                          a record only the new map has\n"
        "  - KIND KEY \"NAME\"                          a record only the old map has\n"
        "  ~ KIND KEY \"NAME\": FIELD: OLD -> NEW       a field that changed (values as JSON)\n"
        "The header and the canvas geometry are compared too; savedatetime only with --all.\n"
        "Exits with 0 when the maps are the same, 1 when they differ, 2 when a file cannot be read.\n"
        "As a git difftool: git difftool -x 'lumomap diff' [COMMIT] -- MAP"));
    parser.addPositionalArgument(QStringLiteral("OLD"), QStringLiteral("the map to compare from"));
    parser.addPositionalArgument(QStringLiteral("NEW"), QStringLiteral("the map to compare to"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON for scripts."));
    const QCommandLineOption allOption(QStringLiteral("all"),
                                       QStringLiteral("Compare savedatetime too (every save changes it)."));
    parser.addOptions({jsonOption, allOption});
    if (!Tool::parseCommandLine(parser, arguments, 2))
        return Tool::FileError;

    const QString oldPath = parser.positionalArguments().at(0);
    const QString newPath = parser.positionalArguments().at(1);
    LumoMapModel oldMap;
    LumoMapModel newMap;
    if (!Tool::loadAnyMap(oldMap, oldPath) || !Tool::loadAnyMap(newMap, newPath))
        return Tool::FileError;

    LumoMapDiffOptions options;
    options.setCompareSaveTime(parser.isSet(allOption));
    options.setNumberLegacyTemplatesFromZero(true); // as a separate run of the tool numbers them
    bool equal = true;
    const bool written = Tool::writeOutput(QString(), [&](QIODevice &out) {
        return parser.isSet(jsonOption)
                   ? LumoMapDiffReport::writeJson(out, oldMap, newMap, options, oldPath, newPath, &equal)
                   : LumoMapDiffReport::writeText(out, oldMap, newMap, options, oldPath, newPath, &equal);
    });
    if (!written)
        return Tool::FileError;
    return equal ? Tool::Success : Tool::FindingsReported;
}
