// Element text into fields. The state of the open element names its target (ParserState::textTargets):
// a field of the document's header or geometry, or of the record under construction, taken from the
// record's list in RecordFields.h, which also gives the conversion by its encoding; or the legacy
// import, which converts the legacy map's texts itself. A missing target or a text that does not
// convert stops the parse. The text is a QString or UTF-8 bytes; the conversions give the same values
// for both.

#include "LumoMapParser_p.h"

#include "ElementTextConversion.h"
#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"
#include "ParserStateTable.h"
#include "RecordFields.h"

namespace {

using RecordFields::Encoding;

// One conversion per value type; the two encodings of a type differ in their base.
template <typename Text> bool convert(const Text &text, Encoding encoding, quint32 &value)
{
    return encoding == RecordFields::Hex32 ? ElementText::toHex(text, value)
                                           : ElementText::toUnsigned(text, value);
}

template <typename Text> bool convert(const Text &text, Encoding encoding, quint8 &value)
{
    return encoding == RecordFields::HexByte ? ElementText::toHexByte(text, value)
                                             : ElementText::toByte(text, value);
}

template <typename Text> bool convert(const Text &text, Encoding, qint32 &value)
{
    return ElementText::toSigned(text, value);
}

// A signed decimal number, of which the low 16 bits are kept.
template <typename Text> bool convert(const Text &text, Encoding, quint16 &value)
{
    return ElementText::toShort(text, value);
}

template <typename Text> bool convert(const Text &text, Encoding, double &value)
{
    return ElementText::toReal(text, value);
}

template <typename Text> bool convert(const Text &text, Encoding, bool &value)
{
    return ElementText::toFlag(text, value);
}

template <typename Text> bool convert(const Text &text, Encoding, QString &value)
{
    return ElementText::toText(text, value);
}

template <typename Text> bool convert(const Text &text, Encoding, QColor &value)
{
    return ElementText::toColour(text, value);
}

// The text into field `index` of `fields` on `record`; false without a record.
template <typename Record, std::size_t N, typename Text>
bool store(const RecordFields::Field<Record> (&fields)[N], quint8 index, Record *record, const Text &text)
{
    if (!record)
        return false;
    const RecordFields::Field<Record> &field = fields[index];
    return RecordFields::visit(field, *record,
                               [&](auto &value) { return convert(text, field.encoding, value); });
}

} // namespace

template <typename Text> bool LumoMapParserPrivate::storeText(int state, const Text &text)
{
    namespace F = RecordFields;
    using ParserState::Target;

    const ParserState::TextTarget target = ParserState::textTargets.of[state];
    switch (target.target) {
    case Target::None:
        // Containers, unlisted elements and unused codes: their own text is ignored.
        return true;
    case Target::Header:
        return store(F::headerFields, target.index, q.model, text);
    case Target::Geometry:
        return store(F::geometryFields, target.index, q.model, text);
    case Target::Region:
        return store(F::regionFields, target.index, q.currentRegion, text);
    case Target::FixtureTemplate:
        return store(F::fixtureTemplateFields, target.index, q.currentFixtureTemplate, text);
    case Target::Node:
        return store(F::nodeFields, target.index, q.currentNode, text);
    case Target::InterfaceTemplate:
        return store(F::interfaceTemplateFields, target.index, q.currentInterfaceTemplate, text);
    case Target::Output:
        return store(F::outputFields, target.index, q.currentOutput, text);
    case Target::Fixture:
        return store(F::fixtureFields, target.index, q.currentFixture, text);
    case Target::Interface:
        return store(F::interfaceFields, target.index, q.currentInterface, text);
    case Target::Legacy:
        break;
    }
    return legacy.storeText(state, text);
}

// The reader's strings and the subset reader's UTF-8 bytes.
template bool LumoMapParserPrivate::storeText(int, const QString &);
template bool LumoMapParserPrivate::storeText(int, const ElementText::Utf8 &);
