#include "MapDiff.h"

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
    explicit Differ(QList<MapDifference> &out) : m_out(out) {}

    // Compares two values of one record, descending into objects (key by key) and arrays (index by
    // index); elements that only one side has are reported whole.
    void compare(const MapDifference &record, const QString &path, const QJsonValue &oldValue,
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
            MapDifference difference = record;
            difference.change = MapDifference::Changed;
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

    QList<MapDifference> &m_out;
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

QString compactJson(const QJsonValue &value)
{
    if (value.isUndefined())
        return QStringLiteral("(none)");
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

QString MapDifference::line() const
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
        .arg(record, field, compactJson(oldValue), compactJson(newValue));
}

QList<MapDifference> diffMaps(const QJsonObject &oldMap, const QJsonObject &newMap, bool withSaveTime)
{
    QList<MapDifference> out;
    Differ differ(out);

    MapDifference header{MapDifference::Changed, QStringLiteral("header"), {}, {}, {}, {}, {}};
    for (const char *field : {"mapfileversion", "mapname", "appname", "appversion", "savedatetime"}) {
        if (withSaveTime || qstrcmp(field, "savedatetime") != 0)
            differ.compare(header, QLatin1String(field), oldMap.value(QLatin1String(field)),
                           newMap.value(QLatin1String(field)));
    }
    MapDifference geometry{MapDifference::Changed, QStringLiteral("geometry"), {}, {}, {}, {}, {}};
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
            MapDifference record{MapDifference::Changed,
                                 QLatin1String(collection.kind),
                                 named.value(QLatin1String(collection.keyField)).toVariant().toString(),
                                 named.value(QStringLiteral("name")).toString(),
                                 {},
                                 inOld ? QJsonValue(oldRecords[key]) : QJsonValue(QJsonValue::Undefined),
                                 inNew ? QJsonValue(newRecords[key]) : QJsonValue(QJsonValue::Undefined)};
            if (inOld && inNew) {
                differ.compare(record, QString(), oldRecords[key], newRecords[key]);
            } else {
                record.change = inNew ? MapDifference::Added : MapDifference::Removed;
                out.append(record);
            }
        }
    }
    return out;
}
