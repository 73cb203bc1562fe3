#include "MapJsonForm.h"

#include <algorithm>
#include <cmath>

namespace MapJsonForm {

namespace {

template <typename Record, std::size_t N>
Layout makeLayout(const RecordFields::Field<Record> (&fields)[N], std::initializer_list<Key> children,
                  int requiredField = -1)
{
    Layout made{{children}, requiredField};
    for (std::size_t i = 0; i < N; ++i)
        made.keys.push_back({fields[i].name, int(i), Child::None});
    std::sort(made.keys.begin(), made.keys.end(),
              [](const Key &left, const Key &right) { return RecordFields::nameBefore(left.name, right.name); });
    return made;
}

Key child(const char *name, Child which)
{
    return {QLatin1String(name), -1, which};
}

// "ff" for quint8, "ffffffff" for quint32: lower-case digits without prefix, as the map file writes them.
QString hexText(quint32 value)
{
    return QString::number(value, 16);
}

} // namespace

const Layout &layout(Kind kind)
{
    using namespace RecordFields;
    static const Layout layouts[] = {
        makeLayout(headerFields,
                   {child("format", Child::Format), child("geometry", Child::Geometry),
                    child("fixtureTemplates", Child::FixtureTemplates),
                    child("interfaceTemplates", Child::InterfaceTemplates), child("interfaces", Child::Interfaces),
                    child("regions", Child::Regions)}),
        makeLayout(geometryFields, {}),
        makeLayout(fixtureTemplateFields, {child("nodelist", Child::NodeList)}, 0),
        makeLayout(nodeFields, {}),
        makeLayout(interfaceTemplateFields, {child("outputs", Child::Outputs)}, 0),
        makeLayout(outputFields, {child("fixtures", Child::Fixtures)}),
        makeLayout(fixtureFields, {}),
        makeLayout(interfaceFields, {}, 0),
        makeLayout(regionFields, {}, 0),
    };
    return layouts[int(kind)];
}

Kind elementKind(Child which)
{
    switch (which) {
    case Child::FixtureTemplates:
        return Kind::FixtureTemplate;
    case Child::InterfaceTemplates:
        return Kind::InterfaceTemplate;
    case Child::Interfaces:
        return Kind::Interface;
    case Child::Regions:
        return Kind::Region;
    case Child::NodeList:
        return Kind::Node;
    case Child::Outputs:
        return Kind::Output;
    case Child::Fixtures:
        return Kind::Fixture;
    case Child::Geometry:
        return Kind::Geometry;
    case Child::None:
    case Child::Format:
        break;
    }
    return Kind::Document;
}

QJsonValue jsonValue(Encoding encoding, quint32 value)
{
    return encoding == RecordFields::Hex32 ? QJsonValue(hexText(value)) : QJsonValue(qint64(value));
}
QJsonValue jsonValue(Encoding, qint32 value)
{
    return value;
}
QJsonValue jsonValue(Encoding, quint16 value)
{
    return int(value);
}
QJsonValue jsonValue(Encoding encoding, quint8 value)
{
    return encoding == RecordFields::HexByte ? QJsonValue(hexText(value)) : QJsonValue(int(value));
}
QJsonValue jsonValue(Encoding, double value)
{
    if (!std::isfinite(value))
        return QString(JsonTextWriter::nonFiniteName(value));
    return value;
}
QJsonValue jsonValue(Encoding, bool value)
{
    return value;
}
QJsonValue jsonValue(Encoding, const QString &value)
{
    return value.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}
QJsonValue jsonValue(Encoding, const QColor &value)
{
    if (!value.isValid())
        return QJsonValue::Null;
    return value.name(value.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb);
}

namespace {

void writeHex(JsonTextWriter &out, quint32 value)
{
    char digits[10];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    out.string(QLatin1String(digits, int(end - digits)));
}

} // namespace

void write(JsonTextWriter &out, Encoding encoding, quint32 value)
{
    if (encoding == RecordFields::Hex32)
        writeHex(out, value);
    else
        out.integer(value);
}
void write(JsonTextWriter &out, Encoding, qint32 value)
{
    out.integer(value);
}
void write(JsonTextWriter &out, Encoding, quint16 value)
{
    out.integer(value);
}
void write(JsonTextWriter &out, Encoding encoding, quint8 value)
{
    if (encoding == RecordFields::HexByte)
        writeHex(out, value);
    else
        out.integer(value);
}
void write(JsonTextWriter &out, Encoding, double value)
{
    if (!std::isfinite(value))
        out.string(JsonTextWriter::nonFiniteName(value));
    else
        out.real(value);
}
void write(JsonTextWriter &out, Encoding, bool value)
{
    out.boolean(value);
}
void write(JsonTextWriter &out, Encoding, const QString &value)
{
    if (value.isNull())
        out.null();
    else
        out.string(value);
}
void write(JsonTextWriter &out, Encoding, const QColor &value)
{
    if (value.isValid())
        out.string(QLatin1String(value.name(value.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb).toLatin1()));
    else
        out.null();
}

namespace {

template <typename Record, std::size_t N>
QJsonObject fieldsObject(const RecordFields::Field<Record> (&fields)[N], const Record &record)
{
    QJsonObject object;
    RecordFields::forEach(fields, record, [&](const auto &field, const auto &value) {
        object.insert(QString(field.name), jsonValue(field.encoding, value));
    });
    return object;
}

} // namespace

QJsonObject recordObject(const LumoNode &node)
{
    return fieldsObject(RecordFields::nodeFields, node);
}

QJsonObject recordObject(const LumoFixture &fixture, quint32 templateId)
{
    QJsonObject object = fieldsObject(RecordFields::fixtureFields, fixture);
    object.insert(QStringLiteral("templateid"), hexText(templateId));
    return object;
}

QJsonObject recordObject(const LumoOutput &output, const std::function<quint32(quint32)> &templateId)
{
    QJsonObject object = fieldsObject(RecordFields::outputFields, output);
    QJsonArray fixtures;
    for (const LumoFixture *fixture : output.fixtures) {
        if (fixture)
            fixtures.append(recordObject(*fixture, templateId(fixture->templateid)));
    }
    object.insert(QStringLiteral("fixtures"), fixtures);
    return object;
}

QJsonObject recordObject(const LumoFixtureTemplate &record, quint32 uid)
{
    QJsonObject object = fieldsObject(RecordFields::fixtureTemplateFields, record);
    object.insert(QStringLiteral("uid"), hexText(uid));
    QJsonArray nodes;
    for (const LumoNode *node : record.nodelist) {
        if (node)
            nodes.append(recordObject(*node));
    }
    object.insert(QStringLiteral("nodelist"), nodes);
    return object;
}

QJsonObject recordObject(const LumoInterfaceTemplate &record, const std::function<quint32(quint32)> &templateId)
{
    QJsonObject object = fieldsObject(RecordFields::interfaceTemplateFields, record);
    QJsonArray outputs;
    for (const LumoOutput *output : record.outputs) {
        if (output)
            outputs.append(recordObject(*output, templateId));
    }
    object.insert(QStringLiteral("outputs"), outputs);
    return object;
}

QJsonObject recordObject(const LumoInterface &record)
{
    return fieldsObject(RecordFields::interfaceFields, record);
}

QJsonObject recordObject(const LumoRegion &record)
{
    return fieldsObject(RecordFields::regionFields, record);
}

} // namespace MapJsonForm
