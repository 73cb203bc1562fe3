#include "LumoMapDiff.h"

#include "LumoFixtureTemplate.h"
#include "LumoMapModel.h"
#include "MapJsonObject.h"
#include "RecordKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QSet>

#include <algorithm>

namespace {

struct Collection
{
    const char *member; // array in the JSON form
    const char *kind;   // element name in the map file
    const char *keyField;
};

const Collection collections[] = {
    {"fixtureTemplates", "fixturetemplate", "uid"},
    {"interfaceTemplates", "interfacetemplate", "uid"},
    {"interfaces", "interface", "uid"},
    {"regions", "region", "number"},
};

class Differ
{
public:
    explicit Differ(QList<LumoMapDifference> &out) : m_out(out) {}

    // Compares two values of one record, descending into objects (key by key) and arrays (index by
    // index); elements that only one side has are reported whole.
    void compare(const LumoMapDifference &record, const QString &path, const QJsonValue &oldValue,
                 const QJsonValue &newValue)
    {
        if (oldValue.isObject() && newValue.isObject()) {
            const QJsonObject oldObject = oldValue.toObject();
            const QJsonObject newObject = newValue.toObject();
            QStringList keys = oldObject.keys() + newObject.keys();
            std::sort(keys.begin(), keys.end());
            keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
            for (const QString &key : keys)
                compare(record, join(path, key), oldObject.value(key), newObject.value(key));
        } else if (oldValue.isArray() && newValue.isArray()) {
            const QJsonArray oldArray = oldValue.toArray();
            const QJsonArray newArray = newValue.toArray();
            for (int i = 0; i < std::max(oldArray.size(), newArray.size()); ++i)
                compare(record, QStringLiteral("%1[%2]").arg(path).arg(i),
                        i < oldArray.size() ? oldArray.at(i) : QJsonValue(QJsonValue::Undefined),
                        i < newArray.size() ? newArray.at(i) : QJsonValue(QJsonValue::Undefined));
        } else if (oldValue != newValue) {
            LumoMapDifference difference = record;
            difference.change = LumoMapDifference::Changed;
            difference.field = path;
            difference.oldValue = oldValue;
            difference.newValue = newValue;
            m_out.append(difference);
        }
    }

private:
    static QString join(const QString &path, const QString &key)
    {
        return path.isEmpty() ? key : path + QLatin1Char('.') + key;
    }

    QList<LumoMapDifference> &m_out;
};

// The records of one collection by key, in ascending key order (hexadecimal keys compared as numbers).
QMap<quint32, QJsonObject> recordsByKey(const QJsonObject &map, const Collection &collection)
{
    QMap<quint32, QJsonObject> records;
    const int base = QLatin1String(collection.keyField) == QLatin1String("uid") ? 16 : 10;
    for (const QJsonValue &value : map.value(QLatin1String(collection.member)).toArray()) {
        const QJsonValue key = value.toObject().value(QLatin1String(collection.keyField));
        records.insert(base == 16 ? key.toString().toUInt(nullptr, 16) : quint32(key.toDouble()),
                       value.toObject());
    }
    return records;
}

} // namespace

QString LumoMapDiff::compactJson(const QJsonValue &value)
{
    if (value.isUndefined())
        return QStringLiteral("(none)");
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

QString LumoMapDifference::line() const
{
    QString record = kind;
    if (!key.isEmpty())
        record += QLatin1Char(' ') + key + QStringLiteral(" \"") + name + QLatin1Char('"');
    switch (change) {
    case Added:
        return QStringLiteral("+ ") + record;
    case Removed:
        return QStringLiteral("- ") + record;
    case Changed:
        break;
    }
    return QStringLiteral("~ %1: %2: %3 -> %4")
        .arg(record, field, LumoMapDiff::compactJson(oldValue), LumoMapDiff::compactJson(newValue));
}

namespace {

QList<LumoMapDifference> diffMaps(const QJsonObject &oldMap, const QJsonObject &newMap, bool withSaveTime)
{
    QList<LumoMapDifference> out;
    Differ differ(out);

    LumoMapDifference header{LumoMapDifference::Changed, QStringLiteral("header"), {}, {}, {}, {}, {}};
    for (const char *field : {"mapfileversion", "mapname", "appname", "appversion", "savedatetime"}) {
        if (withSaveTime || qstrcmp(field, "savedatetime") != 0)
            differ.compare(header, QLatin1String(field), oldMap.value(QLatin1String(field)),
                           newMap.value(QLatin1String(field)));
    }
    LumoMapDifference geometry{LumoMapDifference::Changed, QStringLiteral("geometry"), {}, {}, {}, {}, {}};
    differ.compare(geometry, QString(), oldMap.value(QStringLiteral("geometry")),
                   newMap.value(QStringLiteral("geometry")));

    for (const Collection &collection : collections) {
        const QMap<quint32, QJsonObject> oldRecords = recordsByKey(oldMap, collection);
        const QMap<quint32, QJsonObject> newRecords = recordsByKey(newMap, collection);
        QList<quint32> keys = oldRecords.keys() + newRecords.keys();
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (quint32 key : keys) {
            const bool inOld = oldRecords.contains(key);
            const bool inNew = newRecords.contains(key);
            const QJsonObject &named = inNew ? newRecords[key] : oldRecords[key];
            LumoMapDifference record{LumoMapDifference::Changed,
                                 QLatin1String(collection.kind),
                                 named.value(QLatin1String(collection.keyField)).toVariant().toString(),
                                 named.value(QStringLiteral("name")).toString(),
                                 {},
                                 inOld ? QJsonValue(oldRecords[key]) : QJsonValue(QJsonValue::Undefined),
                                 inNew ? QJsonValue(newRecords[key]) : QJsonValue(QJsonValue::Undefined)};
            if (inOld && inNew) {
                differ.compare(record, QString(), oldRecords[key], newRecords[key]);
            } else {
                record.change = inNew ? LumoMapDifference::Added : LumoMapDifference::Removed;
                out.append(record);
            }
        }
    }
    return out;
}

// The JSON form of `model`, with the fixture templates of a legacy import numbered from 0 in
// ascending uid order when `fromZero` is set.
QJsonObject comparedForm(const LumoMapModel &model, bool fromZero)
{
    QJsonObject map = mapToJsonObject(model);
    if (!fromZero || model.fixturesByTemplate.isEmpty())
        return map;
    QList<quint32> uids;
    for (const auto &entry : RecordKeys::inKeyOrder(model.fixtureTemplates))
        uids.append(entry.key);
    const auto renumbered = [&uids](const QJsonValue &uid) {
        const auto at = std::lower_bound(uids.cbegin(), uids.cend(), uid.toString().toUInt(nullptr, 16));
        if (at == uids.cend() || RecordKeys::hexKey(*at) != uid.toString())
            return uid;
        return QJsonValue(RecordKeys::hexKey(quint32(at - uids.cbegin())));
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
                fixture[QStringLiteral("templateid")] = renumbered(fixture.value(QStringLiteral("templateid")));
                fixtureEntry = fixture;
            }
            output[QStringLiteral("fixtures")] = fixtures;
            outputEntry = output;
        }
        record[QStringLiteral("outputs")] = outputs;
        entry = record;
    }
    map[QStringLiteral("interfaceTemplates")] = interfaceTemplates;
    return map;
}

} // namespace

QList<LumoMapDifference> LumoMapDiff::compare(const LumoMapModel &oldMap, const LumoMapModel &newMap,
                                              const LumoMapDiffOptions &options)
{
    return diffMaps(comparedForm(oldMap, options.numberLegacyTemplatesFromZero),
                    comparedForm(newMap, options.numberLegacyTemplatesFromZero), options.compareSaveTime);
}
