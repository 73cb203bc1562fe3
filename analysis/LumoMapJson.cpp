#include "LumoMapJson.h"
#include "LumoMapJson_p.h"

#include "ElementTextConversion.h"
#include "JsonTextWriter.h"
#include "LumoMapModel_p.h"
#include "MapJsonForm.h"
#include "RecordFields.h"
#include "RecordKeys.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

// RapidJSON reports a broken internal invariant through this macro; the library throws nothing and
// prints nothing, and the reader does not rely on it.
#define RAPIDJSON_ASSERT(x) static_cast<void>(0)
#if defined(__SSE2__)
#define RAPIDJSON_SSE2 // white space skipped 16 bytes at a time
#endif
#include <rapidjson/reader.h>

using namespace MapJsonForm;
using RecordFields::Field;

// ---------------------------------------------------------------------------------------------------
// Writing: the records of each kind in ascending key order, the keys of each object in byte order, as
// the layouts of MapJsonForm give them.

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

void writeMap(JsonTextWriter &out, const LumoMapModel &model)
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
                writeObject(out, Kind::FixtureTemplate, RecordFields::fixtureTemplateFields, record, [&](Child) {
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
                writeObject(out, Kind::InterfaceTemplate, RecordFields::interfaceTemplateFields, record, [&](Child) {
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

// ---------------------------------------------------------------------------------------------------
// Reading. A MapFormReader receives the events of one JSON document (objects, arrays, keys, values) and
// fills the model through the field lists. Two routes feed it:
//   - RapidJSON's SAX reader over the bytes as they are read, the usual route;
//   - Qt's own parser (QJsonDocument), whose tree is walked into the same reader, for every document the
//     first route does not take to its end: text that RapidJSON refuses (Qt may refuse it too, and its
//     message with line and column is the one reported, or accept it, e.g. a lone surrogate escape), a
//     key given twice in one object (Qt keeps the last), numbers whose reading only Qt can settle, and
//     every document with a fault in its values, so that faults are reported as Qt's tree shows them:
//     first a text that is not JSON, then a top level that is not an object, then a wrong "format",
//     then the first wrong value in key order.
// Records go straight into the model; when the first route gives up, the reader takes out what it added
// and restores the header before the second route starts.

// One JSON value as the reader sees it. A string from RapidJSON stays UTF-8 bytes until a field needs it
// as a QString (texts, colours); hexadecimal numbers and the strings "nan", "inf", "-inf" are read from
// the bytes.
struct Value
{
    enum Type
    {
        Null,
        Bool,
        Number,
        String,
        Container, // an object or an array where a plain value is expected
    };
    explicit Value(Type kind) : type(kind) {}

    Type type;
    bool flag = false;
    double number = 0;
    const char *utf8 = nullptr; // a string's bytes (first route) ...
    std::size_t size = 0;
    mutable const QString *text = nullptr; // ... or its text (second route, or once decoded)
    mutable QString decoded;

    const QString &string() const
    {
        if (!text) {
            decoded = QString::fromUtf8(utf8, int(size));
            text = &decoded;
        }
        return *text;
    }
    bool is(QLatin1String ascii) const
    {
        if (type != String)
            return false;
        if (text)
            return *text == ascii;
        return size == std::size_t(ascii.size()) && std::memcmp(utf8, ascii.data(), size) == 0;
    }
};

QString expectation(Encoding encoding)
{
    const auto whole = [](qint64 least, qint64 most) {
        return QStringLiteral("expected a whole number from %1 to %2").arg(least).arg(most);
    };
    switch (encoding) {
    case RecordFields::Unsigned32:
        return whole(0, std::numeric_limits<quint32>::max());
    case RecordFields::Signed32:
        return whole(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    case RecordFields::Byte:
        return whole(0, 255);
    case RecordFields::Unsigned16:
        return whole(0, 65535);
    case RecordFields::Hex32:
        return QStringLiteral("expected a string of hexadecimal digits up to ffffffff");
    case RecordFields::HexByte:
        return QStringLiteral("expected a string of hexadecimal digits up to ff");
    case RecordFields::Real:
        return QStringLiteral("expected a number or \"inf\", \"-inf\", \"nan\"");
    case RecordFields::Flag:
        return QStringLiteral("expected true or false");
    case RecordFields::Text:
        return QStringLiteral("expected a string or null");
    case RecordFields::Colour:
        break;
    }
    return QStringLiteral("expected \"#rrggbb\", \"#aarrggbb\" or null");
}

// The conversions of a value into a field's member; false when the value does not fit the field.
template <typename Integer> bool convertWhole(const Value &value, Integer &target)
{
    const double number = value.number;
    if (value.type != Value::Number || number != std::floor(number) ||
        number < double(std::numeric_limits<Integer>::min()) || number > double(std::numeric_limits<Integer>::max()))
        return false;
    target = Integer(number);
    return true;
}

template <typename Integer> bool convertHex(const Value &value, Integer &target)
{
    if (value.type != Value::String)
        return false;
    qulonglong number = 0;
    bool ok = value.utf8 && value.size > 0 && value.size <= 8;
    for (std::size_t i = 0; ok && i < value.size; ++i) { // plain digits, the usual case
        const char digit = value.utf8[i];
        const char lower = char(digit | 0x20);
        if (digit >= '0' && digit <= '9')
            number = number * 16 + qulonglong(digit - '0');
        else if (lower >= 'a' && lower <= 'f')
            number = number * 16 + qulonglong(lower - 'a' + 10);
        else
            ok = false;
    }
    if (!ok) { // anything else as Qt reads it: white space around the digits, a 0x prefix
        const QString &digits = value.string();
        number = digits.toULongLong(&ok, 16);
        ok = ok && digits.size() <= 8 && !digits.startsWith(QLatin1Char('+'));
    }
    if (!ok || number > std::numeric_limits<Integer>::max())
        return false;
    target = Integer(number);
    return true;
}

bool convert(Encoding encoding, const Value &value, quint32 &target)
{
    return encoding == RecordFields::Hex32 ? convertHex(value, target) : convertWhole(value, target);
}
bool convert(Encoding, const Value &value, qint32 &target)
{
    return convertWhole(value, target);
}
bool convert(Encoding, const Value &value, quint16 &target)
{
    return convertWhole(value, target);
}
bool convert(Encoding encoding, const Value &value, quint8 &target)
{
    return encoding == RecordFields::HexByte ? convertHex(value, target) : convertWhole(value, target);
}
bool convert(Encoding, const Value &value, double &target)
{
    if (value.type == Value::Number)
        target = value.number;
    else if (value.is(QLatin1String("nan")))
        target = std::numeric_limits<double>::quiet_NaN();
    else if (value.is(QLatin1String("inf")))
        target = HUGE_VAL;
    else if (value.is(QLatin1String("-inf")))
        target = -HUGE_VAL;
    else
        return false;
    return true;
}
bool convert(Encoding, const Value &value, bool &target)
{
    if (value.type != Value::Bool)
        return false;
    target = value.flag;
    return true;
}
bool convert(Encoding, const Value &value, QString &target)
{
    if (value.type == Value::String)
        target = value.string();
    else if (value.type == Value::Null)
        target = QString();
    else
        return false;
    return true;
}
bool convert(Encoding, const Value &value, QColor &target)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9a-fA-F]{6}|[0-9a-fA-F]{8})$"));
    if (value.type == Value::Null)
        target = QColor();
    else if (value.type == Value::String && pattern.match(value.string()).hasMatch())
        target = QColor(value.string()); // #aarrggbb carries the alpha first
    else
        return false;
    return true;
}

// The header and geometry values of a model, to put back when the first route gives up.
class HeaderSnapshot
{
public:
    explicit HeaderSnapshot(const LumoMapModel &model)
    {
        const auto keep = [this](const auto &, const auto &value) { m_values.push_back(QVariant::fromValue(value)); };
        RecordFields::forEach(RecordFields::headerFields, model, keep);
        RecordFields::forEach(RecordFields::geometryFields, model, keep);
    }
    void restore(LumoMapModel &model) const
    {
        std::size_t at = 0;
        const auto put = [&](const auto &, auto &value) {
            value = qvariant_cast<std::decay_t<decltype(value)>>(m_values[at++]);
        };
        RecordFields::forEach(RecordFields::headerFields, model, put);
        RecordFields::forEach(RecordFields::geometryFields, model, put);
    }

private:
    std::vector<QVariant> m_values;
};

class MapFormReader
{
public:
    // `fromTree`: the events come from Qt's tree, whose text is known to be JSON; a fault in a value is
    // then reported instead of giving the document over to that route.
    MapFormReader(LumoMapModel &model, bool fromTree) : m_model(model), m_fromTree(fromTree) {}
    // An output does not own its fixtures (its interface template does), so the fixtures of an output
    // whose reading stopped before it was filed are deleted here.
    ~MapFormReader()
    {
        if (m_output)
            qDeleteAll(m_output->fixtures);
    }

    const QString &error() const { return m_error; }
    // The whole document was read: a top-level object with the right format and nothing wrong in it.
    bool complete() const { return m_done && m_formatRight && m_error.isEmpty(); }

    bool startObject()
    {
        if (m_frames.empty()) {
            push(Kind::Document, false);
            return true;
        }
        if (tooDeep())
            return giveUp();
        Frame &top = m_frames.back();
        if (top.array) {
            ++top.count;
            const Kind kind = elementKind(top.child);
            startRecord(kind);
            push(kind, false);
            return true;
        }
        const Key &key = currentKey();
        if (key.child == Child::Geometry) {
            push(Kind::Geometry, false);
            return true;
        }
        return wrongValue(Value{Value::Container});
    }

    bool startArray()
    {
        if (m_frames.empty())
            return fail(QString(), QStringLiteral("expected an object"));
        if (tooDeep())
            return giveUp();
        Frame &top = m_frames.back();
        if (top.array)
            return fail(elementPath(), QStringLiteral("expected an object"));
        const Key &key = currentKey();
        if (key.field >= 0 || key.child == Child::Format || key.child == Child::Geometry)
            return wrongValue(Value{Value::Container});
        const Child child = key.child;
        push(elementKind(child), true);
        m_frames.back().child = child;
        return true;
    }

    bool endArray()
    {
        m_frames.pop_back();
        return true;
    }

    bool endObject()
    {
        const Frame &frame = m_frames.back();
        const Layout &keys = layout(frame.kind);
        if (keys.requiredField >= 0) {
            for (std::size_t i = 0; i < keys.keys.size(); ++i) {
                if (keys.keys[i].field == keys.requiredField && !(frame.seen & (1u << i)))
                    return fail(join(path(m_frames.size()), keys.keys[i].name),
                                QStringLiteral("missing; this key is required"));
            }
        }
        const Kind kind = frame.kind;
        if (!finishRecord(kind))
            return false;
        m_frames.pop_back();
        if (m_frames.empty())
            m_done = true;
        return true;
    }

    bool key(const char *name, std::size_t size, const QString *original = nullptr)
    {
        Frame &top = m_frames.back();
        const std::vector<Key> &keys = *top.keys;
        const auto matches = [&](std::size_t i) {
            return std::size_t(keys[i].name.size()) == size && std::memcmp(keys[i].name.data(), name, size) == 0;
        };
        // Keys mostly come in the order the writer gives them, so the one after the last is tried first.
        std::size_t at = std::size_t(top.key + 1);
        if (at >= keys.size() || !matches(at)) {
            for (at = 0; at < keys.size() && !matches(at); ++at) {
            }
        }
        if (at < keys.size()) {
            if (top.seen & (1u << at))
                return giveUp(); // Qt keeps the last of the values given for one key
            top.seen |= 1u << at;
            top.key = int(at);
            return true;
        }
        const QString text = original ? *original : QString::fromUtf8(name, int(size));
        return fail(path(m_frames.size()), QStringLiteral("unexpected key \"%1\"").arg(text));
    }

    bool value(const Value &value)
    {
        if (m_frames.empty())
            return giveUp(); // Qt's parser takes only an object or an array at the top
        const Frame &top = m_frames.back();
        if (top.array)
            return fail(elementPath(), QStringLiteral("expected an object"));
        const Key &key = currentKey();
        if (key.field < 0) {
            if (key.child == Child::Format && value.is(FormatName)) {
                m_formatRight = true;
                return true;
            }
            return wrongValue(value);
        }
        if (!assign(top.kind, key.field, value))
            return wrongValue(value);
        return true;
    }

    // The reading is over: the order index is rebuilt from each interface's order, as loading a map file
    // does.
    void finish()
    {
        for (LumoInterface *interface : std::as_const(m_model.interfaces))
            m_model.interfacesByOrder.insert(interface->order, interface);
    }

    // Takes the records this reader added out of the model again (the header is the caller's).
    void rollBack()
    {
        removeAdded(m_model.fixtureTemplates, m_addedFixtureTemplates);
        removeAdded(m_model.interfaceTemplates, m_addedInterfaceTemplates);
        removeAdded(m_model.interfaces, m_addedInterfaces);
        removeAdded(m_model.regions, m_addedRegions);
    }

    bool gaveUp() const { return m_gaveUp; }

    // Tells the reader that the first route cannot settle the document.
    bool giveUp()
    {
        m_gaveUp = true;
        return false;
    }

private:
    // Deeper than any document of the form, whose values are found wrong before they nest that deep.
    // RapidJSON's reader recurses once per level, so the first route stops there and leaves the text to
    // Qt's parser (which refuses documents nested deeper than 1024 levels); Qt's tree is never that deep.
    static constexpr std::size_t MaxDepth = 512;
    bool tooDeep() const { return !m_fromTree && m_frames.size() > MaxDepth; }

    struct Frame
    {
        Kind kind;
        bool array;
        const std::vector<Key> *keys = nullptr; // object: its layout's keys
        quint32 seen = 0; // object: the layout keys given so far
        int key = -1;     // object: the layout key whose value comes next
        int count = 0;    // array: elements so far
        Child child = Child::None;
    };

    const Key &currentKey() const { return (*m_frames.back().keys)[m_frames.back().key]; }
    void push(Kind kind, bool array)
    {
        m_frames.push_back({kind, array, array ? nullptr : &layout(kind).keys});
    }

    static QString join(const QString &path, QLatin1String key)
    {
        return path.isEmpty() ? QString(key) : path + QLatin1Char('.') + key;
    }

    // The path of the object or array that frame `depth - 1` stands for: "interfaceTemplates[0].outputs".
    QString path(std::size_t depth) const
    {
        QString text;
        for (std::size_t i = 0; i + 1 < depth; ++i) {
            const Frame &frame = m_frames[i];
            if (frame.array)
                text += QStringLiteral("[%1]").arg(frame.count - 1);
            else
                text = join(text, layout(frame.kind).keys[frame.key].name);
        }
        return text;
    }
    // The path of the element that comes next in the array on top.
    QString elementPath() const
    {
        return path(m_frames.size()) + QStringLiteral("[%1]").arg(m_frames.back().count);
    }

    bool fail(const QString &path, const QString &message)
    {
        if (!m_fromTree)
            return giveUp();
        if (m_error.isEmpty())
            m_error = (path.isEmpty() ? QStringLiteral("top level") : path) + QStringLiteral(": ") + message;
        return false;
    }

    // A value that does not fit the key it stands under.
    bool wrongValue(const Value &)
    {
        const Frame &top = m_frames.back();
        const Key &key = currentKey();
        const QString at = join(path(m_frames.size()), key.name);
        if (key.field >= 0)
            return fail(at, expectation(fieldEncoding(top.kind, key.field)));
        switch (key.child) {
        case Child::Format:
            return fail(at, QStringLiteral("expected \"%1\"").arg(FormatName));
        case Child::Geometry:
            return fail(at, QStringLiteral("expected an object"));
        default:
            return fail(at, QStringLiteral("expected an array"));
        }
    }

    static Encoding fieldEncoding(Kind kind, int field)
    {
        switch (kind) {
        case Kind::Document:
            return RecordFields::headerFields[field].encoding;
        case Kind::Geometry:
            return RecordFields::geometryFields[field].encoding;
        case Kind::FixtureTemplate:
            return RecordFields::fixtureTemplateFields[field].encoding;
        case Kind::Node:
            return RecordFields::nodeFields[field].encoding;
        case Kind::InterfaceTemplate:
            return RecordFields::interfaceTemplateFields[field].encoding;
        case Kind::Output:
            return RecordFields::outputFields[field].encoding;
        case Kind::Fixture:
            return RecordFields::fixtureFields[field].encoding;
        case Kind::Interface:
            return RecordFields::interfaceFields[field].encoding;
        case Kind::Region:
            break;
        }
        return RecordFields::regionFields[field].encoding;
    }

    template <typename Record> static bool assignTo(const Field<Record> &field, Record &record, const Value &value)
    {
        return RecordFields::visit(field, record,
                                   [&](auto &target) { return convert(field.encoding, value, target); });
    }

    bool assign(Kind kind, int field, const Value &value)
    {
        switch (kind) {
        case Kind::Document:
            return assignTo(RecordFields::headerFields[field], m_model, value);
        case Kind::Geometry:
            return assignTo(RecordFields::geometryFields[field], m_model, value);
        case Kind::FixtureTemplate:
            return assignTo(RecordFields::fixtureTemplateFields[field], *m_fixtureTemplate, value);
        case Kind::Node:
            return assignTo(RecordFields::nodeFields[field], *m_node, value);
        case Kind::InterfaceTemplate:
            return assignTo(RecordFields::interfaceTemplateFields[field], *m_interfaceTemplate, value);
        case Kind::Output:
            return assignTo(RecordFields::outputFields[field], *m_output, value);
        case Kind::Fixture:
            return assignTo(RecordFields::fixtureFields[field], *m_fixture, value);
        case Kind::Interface:
            return assignTo(RecordFields::interfaceFields[field], *m_interface, value);
        case Kind::Region:
            break;
        }
        return assignTo(RecordFields::regionFields[field], *m_region, value);
    }

    void startRecord(Kind kind)
    {
        switch (kind) {
        case Kind::FixtureTemplate:
            m_fixtureTemplate = std::make_unique<LumoFixtureTemplate>();
            break;
        case Kind::Node:
            m_node = std::make_unique<LumoNode>();
            m_node->channelCount = 3; // as the map file's loader creates nodes
            break;
        case Kind::InterfaceTemplate:
            m_interfaceTemplate = std::make_unique<LumoInterfaceTemplate>();
            break;
        case Kind::Output:
            m_output = std::make_unique<LumoOutput>();
            m_output->portnum = quint8(m_frames.back().count); // as the map file's loader numbers outputs
            m_output->used = true;
            break;
        case Kind::Fixture:
            m_fixture = std::make_unique<LumoFixture>();
            break;
        case Kind::Interface:
            m_interface = std::make_unique<LumoInterface>();
            break;
        case Kind::Region:
            m_region = std::make_unique<LumoRegion>();
            break;
        case Kind::Document:
        case Kind::Geometry:
            break;
        }
    }

    // Files a record in its collection, refusing a key given twice, since the second record would
    // silently replace the first.
    template <typename Record>
    bool file(QHash<quint32, Record *> &records, std::unique_ptr<Record> &record, quint32 key, int base,
              std::vector<quint32> &added)
    {
        if (records.contains(key))
            return fail(path(m_frames.size()), QStringLiteral("the key %1 is given twice").arg(key, 0, base));
        records.insert(key, record.release());
        added.push_back(key);
        return true;
    }

    bool finishRecord(Kind kind)
    {
        switch (kind) {
        case Kind::FixtureTemplate:
            return file(m_model.fixtureTemplates, m_fixtureTemplate, m_fixtureTemplate->uid, 16,
                        m_addedFixtureTemplates);
        case Kind::Node:
            m_fixtureTemplate->nodelist.append(m_node.release());
            return true;
        case Kind::InterfaceTemplate:
            return file(m_model.interfaceTemplates, m_interfaceTemplate, m_interfaceTemplate->uid, 16,
                        m_addedInterfaceTemplates);
        case Kind::Output:
            m_interfaceTemplate->outputs.append(m_output.release()); // the template owns its outputs
            return true;
        case Kind::Fixture:
            m_output->fixtures.append(m_fixture.release());
            return true;
        case Kind::Interface:
            return file(m_model.interfaces, m_interface, m_interface->uid, 16, m_addedInterfaces);
        case Kind::Region:
            return file(m_model.regions, m_region, m_region->number, 10, m_addedRegions);
        case Kind::Document:
        case Kind::Geometry:
            break;
        }
        return true;
    }

    template <typename Record> static void removeAdded(QHash<quint32, Record *> &records, std::vector<quint32> &added)
    {
        for (const quint32 key : added)
            delete records.take(key);
        added.clear();
    }

    LumoMapModel &m_model;
    const bool m_fromTree;
    std::vector<Frame> m_frames;
    QString m_error;
    bool m_formatRight = false;
    bool m_done = false;
    bool m_gaveUp = false;
    // The records being read, one of each kind at most: their objects nest in one way only.
    std::unique_ptr<LumoFixtureTemplate> m_fixtureTemplate;
    std::unique_ptr<LumoNode> m_node;
    std::unique_ptr<LumoInterfaceTemplate> m_interfaceTemplate;
    std::unique_ptr<LumoOutput> m_output;
    std::unique_ptr<LumoFixture> m_fixture;
    std::unique_ptr<LumoInterface> m_interface;
    std::unique_ptr<LumoRegion> m_region;
    std::vector<quint32> m_addedFixtureTemplates, m_addedInterfaceTemplates, m_addedInterfaces, m_addedRegions;
};

// A number's text as the JSON reader gives it, converted as a map file's reals are (RapidJSON's own
// conversion, in its 1.1.0 release, counts the leading zeros of a zero significand with an exponent,
// which is undefined), read where that is certainly what Qt's parser reads: whole numbers as the
// nearest double (Qt converts the qint64 it reads, which gives the same double), other numbers
// correctly rounded unless the result is zero, subnormal or beyond the range of a double, where only
// Qt's rules (it refuses a number that underflows to zero) settle it on the other route. Zero is +0,
// as Qt reads "-0".
bool readNumber(const char *text, std::size_t size, double &number)
{
    const char *end = text + size;
    if (!ElementText::toReal(ElementText::Utf8{text, qsizetype(size)}, number))
        return false;
    const bool whole = std::none_of(text, end, [](char c) { return c == '.' || c == 'e' || c == 'E'; });
    if (whole && std::isfinite(number)) {
        number += 0.0; // -0 becomes +0
        return true;
    }
    return std::isfinite(number) && std::fabs(number) >= std::numeric_limits<double>::min();
}

// RapidJSON puts an escaped lone low surrogate ("\udc00") into a string as the three bytes of its code
// point (ED B0 80), which are not UTF-8; Qt's parser keeps it as a lone UTF-16 unit. A string value
// holding one is left to Qt's parser. (A key holding one is no key of the form, and a document with a
// wrong key takes its message from Qt's parser anyway.)
bool holdsEncodedSurrogate(const char *text, std::size_t size)
{
    const char *const end = text + size;
    for (const char *at = text; (at = static_cast<const char *>(std::memchr(at, 0xED, std::size_t(end - at))));
         ++at) {
        if (end - at > 1 && (uchar(at[1]) & 0xE0) == 0xA0)
            return true;
    }
    return false;
}

// The RapidJSON handler: passes the events on to the MapFormReader. An event it does not take (the
// parser's typed numbers, which it does not give with kParseNumbersAsStringsFlag) gives the text over
// to Qt's parser.
class SaxEvents : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, SaxEvents>
{
public:
    explicit SaxEvents(MapFormReader &reader) : m_reader(reader) {}

    bool Null() { return m_reader.value(Value{Value::Null}); }
    bool Bool(bool flag)
    {
        Value value{Value::Bool};
        value.flag = flag;
        return m_reader.value(value);
    }
    // Numbers come as their text (kParseNumbersAsStringsFlag).
    bool RawNumber(const char *text, rapidjson::SizeType size, bool)
    {
        Value value{Value::Number};
        if (!readNumber(text, size, value.number))
            return m_reader.giveUp();
        return m_reader.value(value);
    }
    bool String(const char *text, rapidjson::SizeType size, bool)
    {
        if (holdsEncodedSurrogate(text, size))
            return m_reader.giveUp();
        Value value{Value::String};
        value.utf8 = text;
        value.size = size;
        return m_reader.value(value);
    }
    bool StartObject() { return m_reader.startObject(); }
    bool Key(const char *text, rapidjson::SizeType size, bool) { return m_reader.key(text, size); }
    bool EndObject(rapidjson::SizeType) { return m_reader.endObject(); }
    bool StartArray() { return m_reader.startArray(); }
    bool EndArray(rapidjson::SizeType) { return m_reader.endArray(); }
    bool Default() { return m_reader.giveUp(); }

private:
    MapFormReader &m_reader;
};

// RapidJSON's input stream over a QIODevice, read in blocks of 64 KiB. Peek() gives '\0' at the end.
// For a sequential device the bytes read are kept, so that Qt's parser can read them again.
class DeviceStream
{
public:
    using Ch = char;

    explicit DeviceStream(QIODevice &device) : m_device(device), m_keep(device.isSequential())
    {
        m_block.resize(BlockBytes);
        m_begin = m_at = m_end = m_block.constData();
    }

    Q_ALWAYS_INLINE Ch Peek()
    {
        if (Q_UNLIKELY(m_at == m_end) && !refill())
            return '\0';
        return *m_at;
    }
    Q_ALWAYS_INLINE Ch Take()
    {
        if (Q_UNLIKELY(m_at == m_end) && !refill())
            return '\0';
        return *m_at++;
    }
    std::size_t Tell() const { return std::size_t(m_before + (m_at - m_begin)); }
    Ch *PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch *) { return 0; }

    // Skips white space a block at a time (RapidJSON's own scan, 16 bytes at a step where it can).
    void skipWhitespace()
    {
        for (;;) {
#if defined(RAPIDJSON_SSE2)
            m_at = rapidjson::SkipWhitespace_SIMD(m_at, m_end);
#else
            m_at = rapidjson::SkipWhitespace(m_at, m_end);
#endif
            if (m_at != m_end || !refill())
                return;
        }
    }

    // Every byte was read (an embedded '\0' looks like the end to RapidJSON).
    bool atEnd() { return m_at == m_end && !refill(); }

    // The bytes read so far and the rest of the device: the whole document for Qt's parser.
    QByteArray document(qint64 start)
    {
        if (!m_keep && m_device.seek(start))
            return m_device.readAll();
        return m_kept + m_device.readAll();
    }

private:
    static constexpr int BlockBytes = 64 * 1024;

    Q_NEVER_INLINE bool refill()
    {
        m_before += m_end - m_begin;
        const qint64 got = m_device.read(m_block.data(), BlockBytes);
        m_begin = m_at = m_block.constData();
        m_end = m_at + std::max<qint64>(got, 0);
        if (m_keep && got > 0)
            m_kept.append(m_at, int(got));
        return got > 0;
    }

    QIODevice &m_device;
    const bool m_keep;
    QByteArray m_block;
    QByteArray m_kept;
    const char *m_begin; // the block
    const char *m_at;
    const char *m_end;
    qint64 m_before = 0;
};

} // namespace

namespace rapidjson {
// RapidJSON's white space skipping for the device stream: a scan of the block instead of a call per byte.
template <> inline void SkipWhitespace(DeviceStream &stream)
{
    stream.skipWhitespace();
}
} // namespace rapidjson

namespace {

// Walks Qt's tree of a document into the reader, keys in the order Qt keeps them.
bool walk(const QJsonValue &json, MapFormReader &reader)
{
    switch (json.type()) {
    case QJsonValue::Object: {
        if (!reader.startObject())
            return false;
        const QJsonObject object = json.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString name = it.key();
            const QByteArray utf8 = name.toUtf8();
            if (!reader.key(utf8.constData(), std::size_t(utf8.size()), &name) || !walk(it.value(), reader))
                return false;
        }
        return reader.endObject();
    }
    case QJsonValue::Array: {
        if (!reader.startArray())
            return false;
        for (const QJsonValue &element : json.toArray()) {
            if (!walk(element, reader))
                return false;
        }
        return reader.endArray();
    }
    case QJsonValue::Bool: {
        Value value{Value::Bool};
        value.flag = json.toBool();
        return reader.value(value);
    }
    case QJsonValue::Double: {
        Value value{Value::Number};
        value.number = json.toDouble() + 0.0;
        return reader.value(value);
    }
    case QJsonValue::String: {
        const QString text = json.toString();
        Value value{Value::String};
        value.text = &text;
        return reader.value(value);
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return reader.value(Value{Value::Null});
}

} // namespace

// The second route: Qt's parser decides whether the text is JSON and says where it is not; its tree
// then goes through the reader.
bool LumoMapJsonPrivate::readThroughQt(const QByteArray &bytes, LumoMapModel &model, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // Columns count UTF-16 code units, as in the XML loaders' places.
        const QByteArray before = bytes.left(parseError.offset);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        const int line = int(before.count('\n')) + 1;
        const int column =
            int(QString::fromUtf8(before.constData() + lineStart, int(before.size() - lineStart)).size()) + 1;
        error = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(parseError.errorString());
        LumoMapModelPrivate::setErrorPosition(model, line, column);
        return false;
    }
    MapFormReader reader(model, true);
    if (!document.isObject())
        error = QStringLiteral("top level: expected an object");
    else if (document.object().value(QStringLiteral("format")).toString() != FormatName)
        error = QStringLiteral("format: expected \"%1\"").arg(FormatName);
    else if (!walk(document.object(), reader))
        error = reader.error();
    reader.finish();
    return error.isEmpty();
}

namespace {

bool readMap(QIODevice &device, LumoMapModel &model, QString &error)
{
    const qint64 start = device.isSequential() ? 0 : device.pos();
    const HeaderSnapshot header(model);
    DeviceStream stream(device);
    {
        MapFormReader reader(model, false);
        SaxEvents events(reader);
        rapidjson::Reader parser;
        // Recursive (not iterative) parsing, the faster: the reader stops it at MaxDepth.
        constexpr unsigned flags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseNumbersAsStringsFlag;
        if (!parser.Parse<flags>(stream, events).IsError() && stream.atEnd() && reader.complete()) {
            reader.finish();
            error.clear();
            return true;
        }
        reader.rollBack();
        header.restore(model);
    }
    error.clear();
    return LumoMapJsonPrivate::readThroughQt(stream.document(start), model, error);
}

} // namespace

QByteArray LumoMapJson::toJson(const LumoMapModel &model)
{
    JsonTextWriter out;
    writeMap(out, model);
    out.finish();
    return std::move(out.text());
}

bool LumoMapJson::write(const LumoMapModel &model, QIODevice &device)
{
    JsonTextWriter out(&device);
    writeMap(out, model);
    return out.finish();
}

bool LumoMapJson::fromJson(const QByteArray &bytes, LumoMapModel &model, QString *errorMessage)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, model, errorMessage);
}

bool LumoMapJson::read(QIODevice &device, LumoMapModel &model, QString *errorMessage)
{
    QString error;
    LumoMapModelPrivate::setErrorPosition(model, 0, 0);
    const bool read = readMap(device, model, error);
    if (!read) {
        model.lastError = error;
        if (errorMessage)
            *errorMessage = error;
    }
    return read;
}
