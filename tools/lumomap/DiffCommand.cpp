// lumomap diff A B [--json] [--all]: compares two maps record by record by key. Exit code 0 when
// they hold the same map, 1 when they differ, 2 when a file cannot be read. Git calls it as
// `git difftool -x 'lumomap diff'` with the old and the new file.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapDiff.h>
#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *changeName(LumoMapDifference::Change change)
{
    switch (change) {
    case LumoMapDifference::Added:
        return "added";
    case LumoMapDifference::Removed:
        return "removed";
    case LumoMapDifference::Changed:
        break;
    }
    return "changed";
}

QByteArray differencesAsJson(const QString &oldPath, const QString &newPath,
                             const QList<LumoMapDifference> &differences)
{
    QJsonArray list;
    for (const LumoMapDifference &difference : differences) {
        QJsonObject entry{{QStringLiteral("change"), QLatin1String(changeName(difference.change))},
                          {QStringLiteral("record"), difference.kind}};
        if (!difference.key.isEmpty()) {
            entry[QStringLiteral("key")] = difference.key;
            entry[QStringLiteral("name")] = difference.name;
        }
        if (!difference.field.isEmpty())
            entry[QStringLiteral("field")] = difference.field;
        if (!difference.oldValue.isUndefined())
            entry[QStringLiteral("old")] = difference.oldValue;
        if (!difference.newValue.isUndefined())
            entry[QStringLiteral("new")] = difference.newValue;
        list.append(entry);
    }
    const QJsonObject root{{QStringLiteral("old"), oldPath},
                           {QStringLiteral("new"), newPath},
                           {QStringLiteral("equal"), differences.isEmpty()},
                           {QStringLiteral("differences"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString differencesAsText(const QString &oldPath, const QString &newPath,
                          const QList<LumoMapDifference> &differences)
{
    if (differences.isEmpty())
        return QString();
    QString text = QStringLiteral("--- %1\n+++ %2\n").arg(oldPath, newPath);
    int counts[3] = {0, 0, 0};
    for (const LumoMapDifference &difference : differences) {
        text += difference.line() + QLatin1Char('\n');
        ++counts[difference.change];
    }
    return text + QStringLiteral("%1 records added, %2 removed, %3 fields changed\n")
                      .arg(counts[LumoMapDifference::Added])
                      .arg(counts[LumoMapDifference::Removed])
                      .arg(counts[LumoMapDifference::Changed]);
}

} // namespace

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
    options.compareSaveTime = parser.isSet(allOption);
    options.numberLegacyTemplatesFromZero = true; // as a separate run of the tool numbers them
    const QList<LumoMapDifference> differences = LumoMapDiff::compare(oldMap, newMap, options);
    const QByteArray output = parser.isSet(jsonOption)
                                  ? differencesAsJson(oldPath, newPath, differences)
                                  : differencesAsText(oldPath, newPath, differences).toUtf8();
    if (!Tool::writeOutput(QString(), output))
        return Tool::FileError;
    return differences.isEmpty() ? Tool::Success : Tool::FindingsReported;
}
