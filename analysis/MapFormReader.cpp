#include "MapFormReader.h"

#include "HashRoom.h"
#include "RecordKeys.h"
#include "RecordLoadDefaults.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

using namespace MapJsonForm;
using RecordFields::Field;

namespace {

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
template <typename Integer> bool convertWhole(const FormValue &value, Integer &target)
{
    const double number = value.number;
    if (value.type != FormValue::Number || number != std::floor(number) ||
        number < double(std::numeric_limits<Integer>::min()) ||
        number > double(std::numeric_limits<Integer>::max()))
        return false;
    target = Integer(number);
    return true;
}

template <typename Integer> bool convertHex(const FormValue &value, Integer &target)
{
    if (value.type != FormValue::String)
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

bool convert(Encoding encoding, const FormValue &value, quint32 &target)
{
    return encoding == RecordFields::Hex32 ? convertHex(value, target) : convertWhole(value, target);
}
bool convert(Encoding, const FormValue &value, qint32 &target)
{
    return convertWhole(value, target);
}
bool convert(Encoding, const FormValue &value, quint16 &target)
{
    return convertWhole(value, target);
}
bool convert(Encoding encoding, const FormValue &value, quint8 &target)
{
    return encoding == RecordFields::HexByte ? convertHex(value, target) : convertWhole(value, target);
}
bool convert(Encoding, const FormValue &value, double &target)
{
    if (value.type == FormValue::Number)
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
bool convert(Encoding, const FormValue &value, bool &target)
{
    if (value.type != FormValue::Bool)
        return false;
    target = value.flag;
    return true;
}
bool convert(Encoding, const FormValue &value, QString &target)
{
    if (value.type == FormValue::String)
        target = value.string();
    else if (value.type == FormValue::Null)
        target = QString();
    else
        return false;
    return true;
}
bool convert(Encoding, const FormValue &value, QColor &target)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9a-fA-F]{6}|[0-9a-fA-F]{8})$"));
    if (value.type == FormValue::Null)
        target = QColor();
    else if (value.type == FormValue::String && pattern.match(value.string()).hasMatch())
        target = QColor(value.string()); // #aarrggbb carries the alpha first
    else
        return false;
    return true;
}

} // namespace

MapFormReader::~MapFormReader()
{
    if (m_output)
        qDeleteAll(m_output->fixtures);
}

bool MapFormReader::startObject()
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
    return wrongValue(FormValue{FormValue::Container});
}

bool MapFormReader::startArray()
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
        return wrongValue(FormValue{FormValue::Container});
    const Child child = key.child;
    push(elementKind(child), true);
    m_frames.back().child = child;
    return true;
}

bool MapFormReader::endArray()
{
    m_frames.pop_back();
    return true;
}

bool MapFormReader::endObject()
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

bool MapFormReader::key(const char *name, std::size_t size, const QString *original)
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

bool MapFormReader::value(const FormValue &value)
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

void MapFormReader::finish()
{
    for (LumoInterface *interface : std::as_const(m_model.interfaces))
        m_model.interfacesByOrder.insert(interface->order, interface);
}

void MapFormReader::rollBack()
{
    removeAdded(m_model.fixtureTemplates, m_addedFixtureTemplates);
    removeAdded(m_model.interfaceTemplates, m_addedInterfaceTemplates);
    removeAdded(m_model.interfaces, m_addedInterfaces);
    removeAdded(m_model.regions, m_addedRegions);
}

bool MapFormReader::giveUp()
{
    m_gaveUp = true;
    return false;
}

void MapFormReader::push(Kind kind, bool array)
{
    m_frames.push_back({kind, array, array ? nullptr : &layout(kind).keys});
}

QString MapFormReader::join(const QString &path, QLatin1String key)
{
    return path.isEmpty() ? QString(key) : path + QLatin1Char('.') + key;
}

QString MapFormReader::path(std::size_t depth) const
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

QString MapFormReader::elementPath() const
{
    return path(m_frames.size()) + QStringLiteral("[%1]").arg(m_frames.back().count);
}

bool MapFormReader::fail(const QString &path, const QString &message)
{
    if (!m_fromTree)
        return giveUp();
    if (m_error.isEmpty())
        m_error = (path.isEmpty() ? QStringLiteral("top level") : path) + QStringLiteral(": ") + message;
    return false;
}

bool MapFormReader::wrongValue(const FormValue &)
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

Encoding MapFormReader::fieldEncoding(Kind kind, int field)
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

template <typename Record>
bool MapFormReader::assignTo(const Field<Record> &field, Record &record, const FormValue &value)
{
    return RecordFields::visit(field, record,
                               [&](auto &target) { return convert(field.encoding, value, target); });
}

bool MapFormReader::assign(Kind kind, int field, const FormValue &value)
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

void MapFormReader::startRecord(Kind kind)
{
    switch (kind) {
    case Kind::FixtureTemplate:
        m_fixtureTemplate = std::make_unique<LumoFixtureTemplate>();
        break;
    case Kind::Node:
        m_node = std::make_unique<LumoNode>();
        RecordLoadDefaults::startNode(*m_node);
        break;
    case Kind::InterfaceTemplate:
        m_interfaceTemplate = std::make_unique<LumoInterfaceTemplate>();
        break;
    case Kind::Output:
        m_output = std::make_unique<LumoOutput>();
        RecordLoadDefaults::startOutput(*m_output, m_frames.back().count);
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

template <typename Record>
bool MapFormReader::file(QHash<quint32, Record *> &records, std::unique_ptr<Record> &record, quint32 key,
                         QString (*keyText)(quint32), std::vector<quint32> &added)
{
    if (records.contains(key))
        return fail(path(m_frames.size()), QStringLiteral("the key %1 is given twice").arg(keyText(key)));
    // Qt 6 grows a hash where running out of memory cannot throw: the room is asked for first. The key is
    // noted before the hash takes the record, so a record is never filed without its note.
    HashRoom::ensureRoomToInsert(records);
    added.push_back(key);
    records.insert(key, record.release());
    return true;
}

bool MapFormReader::finishRecord(Kind kind)
{
    switch (kind) {
    case Kind::FixtureTemplate:
        return file(m_model.fixtureTemplates, m_fixtureTemplate, m_fixtureTemplate->uid, RecordKeys::hexKey,
                    m_addedFixtureTemplates);
    case Kind::Node:
        m_fixtureTemplate->nodelist.append(m_node.release());
        return true;
    case Kind::InterfaceTemplate:
        return file(m_model.interfaceTemplates, m_interfaceTemplate, m_interfaceTemplate->uid,
                    RecordKeys::hexKey, m_addedInterfaceTemplates);
    case Kind::Output:
        m_interfaceTemplate->outputs.append(m_output.release()); // the template owns its outputs
        return true;
    case Kind::Fixture:
        m_output->fixtures.append(m_fixture.release());
        return true;
    case Kind::Interface:
        return file(m_model.interfaces, m_interface, m_interface->uid, RecordKeys::hexKey, m_addedInterfaces);
    case Kind::Region:
        return file(m_model.regions, m_region, m_region->number, RecordKeys::decimalKey, m_addedRegions);
    case Kind::Document:
    case Kind::Geometry:
        break;
    }
    return true;
}

template <typename Record>
void MapFormReader::removeAdded(QHash<quint32, Record *> &records, std::vector<quint32> &added)
{
    for (const quint32 key : added)
        delete records.take(key);
    added.clear();
}
