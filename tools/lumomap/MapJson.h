#ifndef MAPJSON_H
#define MAPJSON_H

// The JSON form of a whole map document (docs/json-format.md describes it): every field the map
// file stores, named as in the map file, records of each kind in ascending key order. Fields the
// map file does not store (the used flags, a node's pn, the indexes, lastError) are left out.
//
// Reals are JSON numbers, or the strings "inf", "-inf" and "nan", which JSON numbers cannot carry.
// Fields the map file writes in hexadecimal (uid, templateid, sn, flags) are strings of lower-case
// hexadecimal digits; other integers are numbers. A null text is null, an empty one "". A colour is
// "#rrggbb", "#aarrggbb" when it is not opaque, and null when it is invalid.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

class LumoMapModel;

QJsonObject mapToJson(const LumoMapModel &model);

// A real as the JSON form writes it: a number, or "inf", "-inf", "nan".
QJsonValue jsonReal(double value);

// Reads a JSON document into `model`, which should be empty. On failure returns false and sets
// `error` to where the document is wrong and what was expected there: "line L, column C: ..." for
// text that is not JSON, the path of the value (for example "interfaces[2].uid: ...") otherwise.
bool mapFromJson(const QByteArray &text, LumoMapModel &model, QString &error);

#endif // MAPJSON_H
