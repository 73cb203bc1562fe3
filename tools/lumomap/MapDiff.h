#ifndef MAPDIFF_H
#define MAPDIFF_H

// Compares two maps in their JSON form (MapJson.h), record by record by key: records added and
// removed, and for records present in both every stored field whose value differs, with its old and
// new value. The header and the canvas geometry are compared as two more records; savedatetime
// only when asked, since every save changes it.

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

struct MapDifference
{
    enum Change
    {
        Added,
        Removed,
        Changed,
    };

    Change change;
    QString kind;  // "header", "geometry", "fixturetemplate", "interfacetemplate", "interface", "region"
    QString key;   // the record's key as the map file writes it; empty for header and geometry
    QString name;  // the record's name, from the newer side where it exists
    QString field; // path of the field inside the record, e.g. "nodelist[2].x"; empty for whole records
    QJsonValue oldValue; // undefined where the old side has nothing
    QJsonValue newValue; // undefined where the new side has nothing

    QString line() const;
};

QList<MapDifference> diffMaps(const QJsonObject &oldMap, const QJsonObject &newMap, bool withSaveTime);

// A JSON value as compact text ("abc" quoted, numbers as JSON writes them); "(none)" when undefined.
QString compactJson(const QJsonValue &value);

#endif // MAPDIFF_H
