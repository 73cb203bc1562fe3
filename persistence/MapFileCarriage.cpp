#include "MapFileCarriage.h"

#include "ElementTextConversion.h"
#include "MapValueFormat.h"
#include "RecordFields.h"

#include <cmath>
#include <memory>
#include <type_traits>

namespace {

using RecordFields::Field;

// The record a load starts from, for the defaults of texts left empty. It is made only when a text
// first needs it: a fixture template takes a value of the process-wide template counter when made.
template <typename Record> class FieldDefaults
{
public:
    const Record &record()
    {
        if (!m_record)
            m_record = std::make_unique<Record>();
        return *m_record;
    }

private:
    std::unique_ptr<Record> m_record;
};

double carried(double value)
{
    const MapValueFormat::AsciiText text = MapValueFormat::real(value);
    double read = 0;
    return ElementText::toReal(ElementText::Utf8{text.data, qsizetype(text.size)}, read) ? read : value;
}

QColor carried(const QColor &value)
{
    QColor read;
    return ElementText::toColour(MapValueFormat::colour(value), read) ? read : value;
}

template <typename Record>
QString carried(const QString &value, QString Record::*member, FieldDefaults<Record> &defaults)
{
    const QString trimmed = value.trimmed();
    return trimmed.isEmpty() ? defaults.record().*member : trimmed;
}

// Calls act(value, carried) for each real, colour and text of one record; whole numbers and flags are
// their own text. The header's save time is skipped: a save writes the time of saving.
template <typename Record, std::size_t N, typename Act>
void forEachCarried(const Field<std::remove_const_t<Record>> (&fields)[N], Record &record,
                    FieldDefaults<std::remove_const_t<Record>> &defaults, Act &act)
{
    for (const auto &field : fields) {
        switch (field.encoding) {
        case RecordFields::Real:
            act(record.*field.member.real, carried(record.*field.member.real));
            break;
        case RecordFields::Colour:
            act(record.*field.member.colour, carried(record.*field.member.colour));
            break;
        case RecordFields::Text:
            if (field.name != MapElement::SaveDateTime)
                act(record.*field.member.text,
                    carried(record.*field.member.text, field.member.text, defaults));
            break;
        default:
            break;
        }
    }
}

template <typename Record, std::size_t N, typename Act>
void forEachInList(const QList<Record *> &records, const Field<Record> (&fields)[N],
                   FieldDefaults<Record> &defaults, Act &act)
{
    for (Record *record : records) {
        if (record)
            forEachCarried(fields, *record, defaults, act);
    }
}

template <typename Record, std::size_t N, typename Act, typename Children>
void forEachInCollection(const QHash<quint32, Record *> &records, const Field<Record> (&fields)[N], Act &act,
                         Children &&children)
{
    FieldDefaults<Record> defaults;
    for (Record *record : records) {
        if (!record)
            continue;
        forEachCarried(fields, *record, defaults, act);
        children(*record);
    }
}

// Every value of the document that the map file writes from its record, with what comes back of it.
// `Model` is LumoMapModel to change the values, const LumoMapModel to read them.
template <typename Model, typename Act> void forEachStoredValue(Model &model, Act &act)
{
    {
        FieldDefaults<LumoMapModel> defaults;
        forEachCarried(RecordFields::headerFields, model, defaults, act);
        forEachCarried(RecordFields::geometryFields, model, defaults, act);
    }
    forEachInCollection(model.regions, RecordFields::regionFields, act, [](LumoRegion &) {});
    FieldDefaults<LumoNode> nodeDefaults;
    forEachInCollection(model.fixtureTemplates, RecordFields::fixtureTemplateFields, act,
                        [&](LumoFixtureTemplate &record) {
                            forEachInList(record.nodelist, RecordFields::nodeFields, nodeDefaults, act);
                        });
    FieldDefaults<LumoOutput> outputDefaults;
    FieldDefaults<LumoFixture> fixtureDefaults;
    forEachInCollection(model.interfaceTemplates, RecordFields::interfaceTemplateFields, act,
                        [&](LumoInterfaceTemplate &record) {
                            forEachInList(record.outputs, RecordFields::outputFields, outputDefaults, act);
                            for (const LumoOutput *output : std::as_const(record.outputs)) {
                                if (output)
                                    forEachInList(output->fixtures, RecordFields::fixtureFields,
                                                  fixtureDefaults, act);
                            }
                        });
    forEachInCollection(model.interfaces, RecordFields::interfaceFields, act, [](LumoInterface &) {});
}

bool same(double left, double right)
{
    return left == right || (std::isnan(left) && std::isnan(right));
}
bool same(const QColor &left, const QColor &right)
{
    return left == right;
}
bool same(const QString &left, const QString &right)
{
    return left == right && left.isNull() == right.isNull();
}

} // namespace

void MapFileCarriage::carryThroughMapFile(LumoMapModel &model)
{
    auto take = [](auto &value, const auto &carried) { value = carried; };
    forEachStoredValue(model, take);
}

bool MapFileCarriage::carriesEveryValue(const LumoMapModel &model)
{
    bool every = true;
    auto compare = [&every](const auto &value, const auto &carried) {
        every = every && same(value, carried);
    };
    forEachStoredValue(model, compare);
    return every;
}
