// The writer of the JSON form: the records of each kind in ascending key order, the keys of each object
// in byte order, as the layouts of MapJsonForm give them.

#include "LumoMapJson_p.h"

#include "JsonTextWriter.h"
#include "LumoMapModel.h"
#include "MapJsonForm.h"
#include "RecordFields.h"
#include "RecordKeys.h"

using namespace MapJsonForm;
using RecordFields::Field;

namespace {

template <typename Record, std::size_t N, typename Children>
void writeObject(JsonTextWriter &out, Kind kind, const Field<Record> (&fields)[N], const Record &record,
                 Children &&children)
{
    out.beginObject();
    for (const Key &key : layout(kind).keys) {
        out.key(key.name);
        if (key.field < 0) {
            children(key.child);
            continue;
        }
        const Field<Record> &field = fields[key.field];
        RecordFields::visit(field, record, [&](const auto &value) { write(out, field.encoding, value); });
    }
    out.endObject();
}

const auto noChildren = [](Child) {};

template <typename Record, typename WriteOne>
void writeRecords(JsonTextWriter &out, const QHash<quint32, Record *> &records, WriteOne &&writeOne)
{
    out.beginArray();
    for (const auto &entry : RecordKeys::inKeyOrder(records))
        writeOne(*entry.record);
    out.endArray();
}

void writeFixture(JsonTextWriter &out, const LumoFixture &fixture)
{
    writeObject(out, Kind::Fixture, RecordFields::fixtureFields, fixture, noChildren);
}

void writeOutput(JsonTextWriter &out, const LumoOutput &output)
{
    writeObject(out, Kind::Output, RecordFields::outputFields, output, [&](Child) {
        out.beginArray();
        for (const LumoFixture *fixture : output.fixtures) {
            if (fixture)
                writeFixture(out, *fixture);
        }
        out.endArray();
    });
}

} // namespace

void LumoMapJsonPrivate::writeMap(JsonTextWriter &out, const LumoMapModel &model)
{
    writeObject(out, Kind::Document, RecordFields::headerFields, model, [&](Child child) {
        switch (child) {
        case Child::Format:
            out.string(FormatName);
            break;
        case Child::Geometry:
            writeObject(out, Kind::Geometry, RecordFields::geometryFields, model, noChildren);
            break;
        case Child::FixtureTemplates:
            writeRecords(out, model.fixtureTemplates, [&](const LumoFixtureTemplate &record) {
                writeObject(
                    out, Kind::FixtureTemplate, RecordFields::fixtureTemplateFields, record, [&](Child) {
                        out.beginArray();
                        for (const LumoNode *node : record.nodelist) {
                            if (node)
                                writeObject(out, Kind::Node, RecordFields::nodeFields, *node, noChildren);
                        }
                        out.endArray();
                    });
            });
            break;
        case Child::InterfaceTemplates:
            writeRecords(out, model.interfaceTemplates, [&](const LumoInterfaceTemplate &record) {
                writeObject(out, Kind::InterfaceTemplate, RecordFields::interfaceTemplateFields, record,
                            [&](Child) {
                                out.beginArray();
                                for (const LumoOutput *output : record.outputs) {
                                    if (output)
                                        writeOutput(out, *output);
                                }
                                out.endArray();
                            });
            });
            break;
        case Child::Interfaces:
            writeRecords(out, model.interfaces, [&](const LumoInterface &record) {
                writeObject(out, Kind::Interface, RecordFields::interfaceFields, record, noChildren);
            });
            break;
        case Child::Regions:
            writeRecords(out, model.regions, [&](const LumoRegion &record) {
                writeObject(out, Kind::Region, RecordFields::regionFields, record, noChildren);
            });
            break;
        default:
            break;
        }
    });
}
