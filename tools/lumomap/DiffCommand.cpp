// lumomap diff A B [--json] [--all]: compares two maps record by record by key. Exit code 0 when
// they hold the same map, 1 when they differ, 2 when a file cannot be read. Git calls it as
// `git difftool -x 'lumomap diff'` with the old and the new file.

#include "Commands.h"
#include "MapDiff.h"
#include "MapJson.h"
#include "ToolSupport.h"

#include <LumoFixtureTemplate.h>
#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

namespace {

// A legacy import numbers its fixture templates from a process-wide counter, so the same legacy map
// loaded twice in one process gets different uids. Counting them from the first value the load
// took makes the numbers those a separate run of the tool (such as `convert`) gives the map.
void renumberLegacyTemplates(QJsonObject &map, quint32 firstUid)
{
    const auto renumbered = [firstUid](const QJsonValue &uid) {
        const quint32 value = uid.toString().toUInt(nullptr, 16);
        return value >= firstUid ? QJsonValue(QString::number(value - firstUid, 16)) : uid;
    };
    QJsonArray templates = map.value(QStringLiteral("fixtureTemplates")).toArray();
    for (QJsonValueRef entry : templates) {
        QJsonObject record = entry.toObject();
        record[QStringLiteral("uid")] = renumbered(record.value(QStringLiteral("uid")));
        entry = record;
    }
    map[QStringLiteral("fixtureTemplates")] = templates;
    QJsonArray interfaceTemplates = map.value(QStringLiteral("interfaceTemplates")).toArray();
    for (QJsonValueRef entry : interfaceTemplates) {
        QJsonObject record = entry.toObject();
        QJsonArray outputs = record.value(QStringLiteral("outputs")).toArray();
        for (QJsonValueRef outputEntry : outputs) {
            QJsonObject output = outputEntry.toObject();
            QJsonArray fixtures = output.value(QStringLiteral("fixtures")).toArray();
            for (QJsonValueRef fixtureEntry : fixtures) {
                QJsonObject fixture = fixtureEntry.toObject();
                fixture[QStringLiteral("templateid")] =
                    renumbered(fixture.value(QStringLiteral("templateid")));
                fixtureEntry = fixture;
            }
            output[QStringLiteral("fixtures")] = fixtures;
            outputEntry = output;
        }
        record[QStringLiteral("outputs")] = outputs;
        entry = record;
    }
    map[QStringLiteral("interfaceTemplates")] = interfaceTemplates;
}

bool loadForComparison(const QString &path, QJsonObject &map)
{
    const quint32 firstUid = quint32(LumoFixtureTemplate::generateLumoFixtureTemplateUID()) + 1;
    LumoMapModel model;
    if (!Tool::loadAnyMap(model, path))
        return false;
    map = mapToJson(model);
    if (Tool::isLegacyMap(path))
        renumberLegacyTemplates(map, firstUid);
    return true;
}

const char *changeName(MapDifference::Change change)
{
    switch (change) {
    case MapDifference::Added:
        return "added";
    case MapDifference::Removed:
        return "removed";
    case MapDifference::Changed:
        break;
    }
    return "changed";
}

QByteArray differencesAsJson(const QString &oldPath, const QString &newPath,
                             const QList<MapDifference> &differences)
{
    QJsonArray list;
    for (const MapDifference &difference : differences) {
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
                          const QList<MapDifference> &differences)
{
    if (differences.isEmpty())
        return QString();
    QString text = QStringLiteral("--- %1\n+++ %2\n").arg(oldPath, newPath);
    int counts[3] = {0, 0, 0};
    for (const MapDifference &difference : differences) {
        text += difference.line() + QLatin1Char('\n');
        ++counts[difference.change];
    }
    return text + QStringLiteral("%1 records added, %2 removed, %3 fields changed\n")
                      .arg(counts[MapDifference::Added])
                      .arg(counts[MapDifference::Removed])
                      .arg(counts[MapDifference::Changed]);
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
    QJsonObject oldMap;
    QJsonObject newMap;
    if (!loadForComparison(oldPath, oldMap) || !loadForComparison(newPath, newMap))
        return Tool::FileError;

    const QList<MapDifference> differences = diffMaps(oldMap, newMap, parser.isSet(allOption));
    const QByteArray output = parser.isSet(jsonOption)
                                  ? differencesAsJson(oldPath, newPath, differences)
                                  : differencesAsText(oldPath, newPath, differences).toUtf8();
    if (!Tool::writeOutput(QString(), output))
        return Tool::FileError;
    return differences.isEmpty() ? Tool::Success : Tool::FindingsReported;
}
