#ifndef MAPJSONOBJECT_H
#define MAPJSONOBJECT_H

// The JSON form of a map as Qt's JSON object, for the diff, which compares maps in that form.

#include <QJsonObject>
#include <QJsonValue>

class LumoMapModel;

// The whole document in its JSON form (LumoMapJson).
QJsonObject mapToJsonObject(const LumoMapModel &model);

// A real as the JSON form writes it: a number, or "inf", "-inf", "nan".
QJsonValue jsonReal(double value);

#endif // MAPJSONOBJECT_H
