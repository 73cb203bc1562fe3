#ifndef MAPJSONFORM_H
#define MAPJSONFORM_H

// The JSON form of a map (docs/json-format.md), drawn from the field lists (RecordFields.h): which keys
// each kind of object holds, in the byte order QJsonObject keeps them, and each field's value in its JSON
// form. The writer and the reader of LumoMapJson and the diff take their structure from here.
//
// Internal to the library; the header is not installed.

#include "JsonTextWriter.h"
#include "RecordFields.h"

#include <QJsonObject>
#include <QJsonValue>

#include <functional>
#include <vector>

namespace MapJsonForm {

using RecordFields::Encoding;

// The kinds of object the form holds.
enum class Kind : quint8
{
    Document,
    Geometry,
    FixtureTemplate,
    Node,
    InterfaceTemplate,
    Output,
    Fixture,
    Interface,
    Region,
};

// The keys of an object that are not fields of its record: its child objects and arrays, and the
// document's "format".
enum class Child : quint8
{
    None,
    Format,
    Geometry,
    FixtureTemplates,
    InterfaceTemplates,
    Interfaces,
    Regions,
    NodeList,
    Outputs,
    Fixtures,
};

// One key of an object: a field of the record (its position in the record's field list) or a child.
struct Key
{
    QLatin1String name;
    int field; // -1 for a child
    Child child;
};

// The keys of one kind of object in byte order, and where the record's key field is, if it has one.
struct Layout
{
    std::vector<Key> keys;
    int requiredField = -1; // the field a record of this kind must give (uid, a region's number)
};

const Layout &layout(Kind kind);

// The element kind of a child array, and whether a child is an array at all.
Kind elementKind(Child child);

// "format"'s value.
inline constexpr QLatin1String FormatName("lumomap-json/1");

// A field's value in its JSON form: a hexadecimal string for Hex32 and HexByte, a number for the other
// integers, a number or "inf", "-inf", "nan" for reals, null for a null text or an invalid colour, a
// colour as "#rrggbb" or "#aarrggbb".
QJsonValue jsonValue(Encoding encoding, quint32 value);
QJsonValue jsonValue(Encoding encoding, qint32 value);
QJsonValue jsonValue(Encoding encoding, quint16 value);
QJsonValue jsonValue(Encoding encoding, quint8 value);
QJsonValue jsonValue(Encoding encoding, double value);
QJsonValue jsonValue(Encoding encoding, bool value);
QJsonValue jsonValue(Encoding encoding, const QString &value);
QJsonValue jsonValue(Encoding encoding, const QColor &value);

// The same values written as JSON text.
void write(JsonTextWriter &out, Encoding encoding, quint32 value);
void write(JsonTextWriter &out, Encoding encoding, qint32 value);
void write(JsonTextWriter &out, Encoding encoding, quint16 value);
void write(JsonTextWriter &out, Encoding encoding, quint8 value);
void write(JsonTextWriter &out, Encoding encoding, double value);
void write(JsonTextWriter &out, Encoding encoding, bool value);
void write(JsonTextWriter &out, Encoding encoding, const QString &value);
void write(JsonTextWriter &out, Encoding encoding, const QColor &value);

// The records of the form as Qt JSON objects, for the diff's whole records and list elements. `templateId`
// maps a fixture's templateid (and a fixture template's uid) to the number the diff compares.
QJsonObject recordObject(const LumoNode &node);
QJsonObject recordObject(const LumoFixture &fixture, quint32 templateId);
QJsonObject recordObject(const LumoOutput &output, const std::function<quint32(quint32)> &templateId);
QJsonObject recordObject(const LumoFixtureTemplate &record, quint32 uid);
QJsonObject recordObject(const LumoInterfaceTemplate &record, const std::function<quint32(quint32)> &templateId);
QJsonObject recordObject(const LumoInterface &record);
QJsonObject recordObject(const LumoRegion &record);

} // namespace MapJsonForm

#endif // MAPJSONFORM_H
