#ifndef MAPRECORDLAYOUT_H
#define MAPRECORDLAYOUT_H

// The layout of the map file: which elements each part of the document holds, in which order. The
// leaves of each record are its fields in the order of RecordFields.h, each written in its encoding
// (leafText); this file adds the containers and the child records. Both writers follow it through a
// sink of their own: the DOM route (DomElementSink, behind the record save members) and the streaming
// writer (MapTextWriter). A sink offers
//   open(name)         start a container element,
//   leaf(name, text)   add a leaf element holding `text` (also when it is empty): a QString, or the
//                      ASCII of a number (MapValueFormat::AsciiText) or of a flag (QLatin1String),
//   close(name)        end the container opened last.
// Null pointers in the record lists are skipped. Each kind of record is written in ascending order
// of its key (RecordKeys::inKeyOrder), so that one document always gives the same file.

#include "MapElementNames.h"
#include "MapValueFormat.h"
#include "RecordFields.h"
#include "RecordKeys.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

class QDateTime;

namespace MapRecordLayout {

namespace E = MapElement;
namespace Format = MapValueFormat;
using RecordFields::Encoding;

// The text of a field's value in its encoding.
inline Format::AsciiText leafText(Encoding encoding, quint32 value)
{
    return encoding == RecordFields::Hex32 ? Format::hexNumber(value) : Format::unsignedNumber(value);
}
inline Format::AsciiText leafText(Encoding encoding, quint8 value)
{
    return encoding == RecordFields::HexByte ? Format::hexNumber(value) : Format::unsignedNumber(value);
}
inline Format::AsciiText leafText(Encoding, qint32 value)
{
    return Format::signedNumber(value);
}
inline Format::AsciiText leafText(Encoding, quint16 value)
{
    return Format::unsignedNumber(value);
}
inline Format::AsciiText leafText(Encoding, double value)
{
    return Format::real(value);
}
inline QLatin1String leafText(Encoding, bool value)
{
    return Format::flag(value);
}
inline const QString &leafText(Encoding, const QString &value)
{
    return value;
}
inline QString leafText(Encoding, const QColor &value)
{
    return Format::colour(value);
}

// One leaf per field of the list `Fields`, in its order. Each field's write is compiled with its name,
// encoding and member as constants and the sink's leaf inlined: a save writes every field of every record.
template <const auto &Fields, typename Sink, typename Record>
[[gnu::flatten]] void writeFields(Sink &out, const Record &record)
{
    RecordFields::forEach<Fields>(record, [&](const auto &field, const auto &value) {
        out.leaf(field.name, leafText(field.encoding, value));
    });
}

// The header leaves; <savedatetime> holds `saveTime`, not the time the model read last.
template <typename Sink> void writeHeader(Sink &out, const LumoMapModel &model, const QDateTime &saveTime)
{
    RecordFields::forEach<RecordFields::headerFields>(model, [&](const auto &field, const auto &value) {
        if (field.name == E::SaveDateTime)
            out.leaf(field.name, Format::dateTime(saveTime));
        else
            out.leaf(field.name, leafText(field.encoding, value));
    });
}

template <typename Sink> void writeGeometry(Sink &out, const LumoMapModel &model)
{
    out.open(E::Geometry);
    writeFields<RecordFields::geometryFields>(out, model);
    out.close(E::Geometry);
}

template <typename Sink> void writeFixtureTemplate(Sink &out, const LumoFixtureTemplate &fixtureTemplate)
{
    out.open(E::FixtureTemplate);
    writeFields<RecordFields::fixtureTemplateFields>(out, fixtureTemplate);
    out.open(E::NodeList); // present also when the template has no nodes
    for (const LumoNode *node : fixtureTemplate.nodelist) {
        if (!node)
            continue;
        out.open(E::Node);
        writeFields<RecordFields::nodeFields>(out, *node);
        out.close(E::Node);
    }
    out.close(E::NodeList);
    out.close(E::FixtureTemplate);
}

template <typename Sink> void writeFixture(Sink &out, const LumoFixture &fixture)
{
    out.open(E::Fixture);
    writeFields<RecordFields::fixtureFields>(out, fixture);
    out.close(E::Fixture);
}

template <typename Sink>
void writeInterfaceTemplate(Sink &out, const LumoInterfaceTemplate &interfaceTemplate)
{
    out.open(E::InterfaceTemplate);
    writeFields<RecordFields::interfaceTemplateFields>(out, interfaceTemplate);
    for (const LumoOutput *output : interfaceTemplate.outputs) {
        if (!output)
            continue;
        out.open(E::Output);
        writeFields<RecordFields::outputFields>(out, *output);
        for (const LumoFixture *fixture : output->fixtures) {
            if (fixture)
                writeFixture(out, *fixture);
        }
        out.close(E::Output);
    }
    out.close(E::InterfaceTemplate);
}

template <typename Sink> void writeInterface(Sink &out, const LumoInterface &interface)
{
    out.open(E::Interface);
    writeFields<RecordFields::interfaceFields>(out, interface);
    out.close(E::Interface);
}

template <typename Sink> void writeRegion(Sink &out, const LumoRegion &region)
{
    out.open(E::Region);
    writeFields<RecordFields::regionFields>(out, region);
    out.close(E::Region);
}

} // namespace MapRecordLayout

#endif // MAPRECORDLAYOUT_H
