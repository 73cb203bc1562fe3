#ifndef RECORDFIELDS_H
#define RECORDFIELDS_H

// The fields of each record of the map file, stated once. One constexpr list per kind of record, in
// the order the map file holds them; each entry gives
//   name      the field's element name (MapElementNames.h), also its key in the JSON form,
//   encoding  how its value is written and read (Encoding below), which fixes its C++ type,
//   member    the record's member that holds the value (a member pointer, see Member).
// The lists are the records' value elements only: the child records (nodes, outputs, fixtures) and the
// container elements (<nodelist>, <geometry>) are the readers' and writers' own structure.
//
//   list                     record                 container element
//   headerFields             LumoMapModel           <lumomap> (the document element)
//   geometryFields           LumoMapModel           <geometry>
//   regionFields             LumoRegion             <region>
//   fixtureTemplateFields    LumoFixtureTemplate    <fixturetemplate> (then <nodelist>)
//   nodeFields               LumoNode               <node>
//   interfaceTemplateFields  LumoInterfaceTemplate  <interfacetemplate> (then its <output>s)
//   outputFields             LumoOutput             <output> (after its <fixture>s in the reader's
//                                                   lookup order; the writer writes them first)
//   fixtureFields            LumoFixture            <fixture>
//   interfaceFields          LumoInterface          <interface>
//
// What draws from them: the writer's layout (MapRecordLayout.h, for the streaming writer and the DOM
// route), the parser's storing of element text (ParserTextFields.cpp), the state table, whose value
// rows a compile-time check holds equal to these lists (ParserStateTable.cpp), and the tests' dump.
// The save time is the one field a writer does not take from its record: <savedatetime> gets the time
// of the save, and the model's savedatetime keeps the text of the last load.
//
// Visiting a field's value: visit(field, record, visitor) calls visitor(value) with the member itself,
// typed as it is declared (quint32, qint32, quint16, quint8, double, bool, QString or QColor), as a
// reference to const for a const record and writable otherwise; forEach(fields, record, visitor)
// calls visitor(field, value) for every field of a list in order, and forEach<fields>(record, visitor)
// does the same with each field a compile-time constant (the writer's form). A visitor that must tell
// the two encodings of one type apart (Unsigned32 and Hex32, Byte and HexByte) reads field.encoding:
//
//     RecordFields::forEach(RecordFields::regionFields, region, [&](const auto &field, const auto &value) {
//         object.insert(QString(field.name), toJson(field.encoding, value));
//     });
//
// orderByName(list) gives the positions of a list's fields sorted by element name (byte order, as
// QJsonObject sorts its keys), computed at compile time.
//
// Internal to the library and its tests; the header is not installed.

#include "MapElementNames.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QColor>
#include <QLatin1String>
#include <QString>

#include <array>
#include <cstddef>
#include <iterator>
#include <type_traits>
#include <utility>

namespace RecordFields {

// The value encodings of the map file, each with the one C++ type that holds it (ValueOf).
enum Encoding : quint8
{
    Unsigned32, // quint32, decimal digits
    Signed32,   // qint32, decimal digits, a minus sign when negative
    Hex32,      // quint32, lower-case hexadecimal digits without prefix (uids, template ids, sn)
    HexByte,    // quint8, hexadecimal (an interface's flags)
    Byte,       // quint8, decimal (an output's portnum and porttype)
    Unsigned16, // quint16, decimal (an interface's ver)
    Real,       // double, six significant digits as QString::number(value, 'g', 6)
    Flag,       // bool, "1" or "0"
    Text,       // QString, as it is
    Colour,     // QColor, "#rrggbb"
};

template <Encoding> struct ValueType;
template <> struct ValueType<Unsigned32>
{
    using type = quint32;
};
template <> struct ValueType<Signed32>
{
    using type = qint32;
};
template <> struct ValueType<Hex32>
{
    using type = quint32;
};
template <> struct ValueType<HexByte>
{
    using type = quint8;
};
template <> struct ValueType<Byte>
{
    using type = quint8;
};
template <> struct ValueType<Unsigned16>
{
    using type = quint16;
};
template <> struct ValueType<Real>
{
    using type = double;
};
template <> struct ValueType<Flag>
{
    using type = bool;
};
template <> struct ValueType<Text>
{
    using type = QString;
};
template <> struct ValueType<Colour>
{
    using type = QColor;
};
template <Encoding E> using ValueOf = typename ValueType<E>::type;

// A pointer to one member of `Record`, of any of the value types; the field's encoding says which
// one is set. visit() reads it; other code need not.
template <typename Record> union Member {
    constexpr Member(quint32 Record::*m) : u32(m) {}
    constexpr Member(qint32 Record::*m) : s32(m) {}
    constexpr Member(quint16 Record::*m) : u16(m) {}
    constexpr Member(quint8 Record::*m) : u8(m) {}
    constexpr Member(double Record::*m) : real(m) {}
    constexpr Member(bool Record::*m) : flag(m) {}
    constexpr Member(QString Record::*m) : text(m) {}
    constexpr Member(QColor Record::*m) : colour(m) {}

    quint32 Record::*u32; // Unsigned32, Hex32
    qint32 Record::*s32;  // Signed32
    quint16 Record::*u16; // Unsigned16
    quint8 Record::*u8;   // HexByte, Byte
    double Record::*real;
    bool Record::*flag;
    QString Record::*text;
    QColor Record::*colour;
};

template <typename Record> struct Field
{
    using RecordType = Record;

    QLatin1String name;
    Encoding encoding;
    Member<Record> member;
};

// An entry of a list: the member's type must be the one of encoding E.
template <Encoding E, typename Record, typename Value>
constexpr Field<Record> field(QLatin1String name, Value Record::*member)
{
    static_assert(std::is_same_v<Value, ValueOf<E>>, "the member's type is not the one of its encoding");
    return {name, E, Member<Record>(member)};
}

namespace E = MapElement;

inline constexpr Field<LumoMapModel> headerFields[] = {
    field<Unsigned32>(E::MapFileVersion, &LumoMapModel::mapfileversion),
    field<Text>(E::MapName, &LumoMapModel::mapname),
    field<Text>(E::AppName, &LumoMapModel::appname),
    field<Text>(E::AppVersion, &LumoMapModel::appversion),
    field<Text>(E::SaveDateTime, &LumoMapModel::savedatetime),
};

inline constexpr Field<LumoMapModel> geometryFields[] = {
    field<Real>(E::VMinX, &LumoMapModel::vminx),         field<Real>(E::VMinY, &LumoMapModel::vminy),
    field<Real>(E::VMaxX, &LumoMapModel::vmaxx),         field<Real>(E::VMaxY, &LumoMapModel::vmaxy),
    field<Flag>(E::ScaleXFit, &LumoMapModel::scalexfit), field<Flag>(E::ScaleYFit, &LumoMapModel::scaleyfit),
    field<Real>(E::XOffset, &LumoMapModel::xoffset),     field<Real>(E::YOffset, &LumoMapModel::yoffset),
    field<Real>(E::XScale, &LumoMapModel::xscale),       field<Real>(E::YScale, &LumoMapModel::yscale),
};

inline constexpr Field<LumoRegion> regionFields[] = {
    field<Unsigned32>(E::Number, &LumoRegion::number),
    field<Text>(E::Name, &LumoRegion::name),
    field<Colour>(E::Color, &LumoRegion::color),
};

inline constexpr Field<LumoFixtureTemplate> fixtureTemplateFields[] = {
    field<Hex32>(E::Uid, &LumoFixtureTemplate::uid),
    field<Text>(E::Name, &LumoFixtureTemplate::name),
    field<Flag>(E::Locked, &LumoFixtureTemplate::locked),
    field<Real>(E::XOffset, &LumoFixtureTemplate::xoffset),
    field<Real>(E::YOffset, &LumoFixtureTemplate::yoffset),
};

inline constexpr Field<LumoNode> nodeFields[] = {
    field<Real>(E::X, &LumoNode::x),
    field<Real>(E::Y, &LumoNode::y),
    field<Signed32>(E::Addr, &LumoNode::addr),
    field<Flag>(E::SkipNode, &LumoNode::skipnode),
    field<Signed32>(E::ChannelCount, &LumoNode::channelCount),
};

inline constexpr Field<LumoInterfaceTemplate> interfaceTemplateFields[] = {
    field<Hex32>(E::Uid, &LumoInterfaceTemplate::uid),
    field<Text>(E::Name, &LumoInterfaceTemplate::name),
    field<Flag>(E::Locked, &LumoInterfaceTemplate::locked),
    field<Real>(E::XOffset, &LumoInterfaceTemplate::xoffset),
    field<Real>(E::YOffset, &LumoInterfaceTemplate::yoffset),
};

inline constexpr Field<LumoOutput> outputFields[] = {
    field<Byte>(E::PortNum, &LumoOutput::portnum),
    field<Byte>(E::PortType, &LumoOutput::porttype),
};

inline constexpr Field<LumoFixture> fixtureFields[] = {
    field<Hex32>(E::TemplateId, &LumoFixture::templateid),
    field<Text>(E::Name, &LumoFixture::name),
    field<Real>(E::X, &LumoFixture::x),
    field<Real>(E::Y, &LumoFixture::y),
    field<Real>(E::Theta, &LumoFixture::theta),
    field<Signed32>(E::BaseAddr, &LumoFixture::baseaddr),
    field<Unsigned32>(E::LayerId, &LumoFixture::layerid),
    field<Unsigned32>(E::GroupId, &LumoFixture::groupid),
};

inline constexpr Field<LumoInterface> interfaceFields[] = {
    field<Hex32>(E::Uid, &LumoInterface::uid),
    field<Hex32>(E::TemplateId, &LumoInterface::templateid),
    field<Unsigned32>(E::RegionNumber, &LumoInterface::region),
    field<Text>(E::Name, &LumoInterface::name),
    field<Real>(E::X, &LumoInterface::x),
    field<Real>(E::Y, &LumoInterface::y),
    field<Real>(E::Theta, &LumoInterface::theta),
    field<Text>(E::Ip, &LumoInterface::ip),
    field<Text>(E::Mac, &LumoInterface::mac),
    field<HexByte>(E::Flags, &LumoInterface::flags),
    field<Hex32>(E::Sn, &LumoInterface::sn),
    field<Unsigned16>(E::Ver, &LumoInterface::ver),
    field<Unsigned32>(E::Uni, &LumoInterface::uni),
    field<Text>(E::Vers, &LumoInterface::vers),
    field<Text>(E::Id, &LumoInterface::id),
    field<Signed32>(E::Order, &LumoInterface::order),
};

// Calls visitor(value) with the member `field` names in `record` (see the top of the file) and
// returns what the visitor returns, which must be the same type for every value type.
template <typename Record, typename Visitor>
decltype(auto) visit(const Field<std::remove_const_t<Record>> &field, Record &record, Visitor &&visitor)
{
    switch (field.encoding) {
    case Unsigned32:
    case Hex32:
        return visitor(record.*field.member.u32);
    case Signed32:
        return visitor(record.*field.member.s32);
    case HexByte:
    case Byte:
        return visitor(record.*field.member.u8);
    case Unsigned16:
        return visitor(record.*field.member.u16);
    case Real:
        return visitor(record.*field.member.real);
    case Flag:
        return visitor(record.*field.member.flag);
    case Text:
        return visitor(record.*field.member.text);
    case Colour:
        break;
    }
    return visitor(record.*field.member.colour);
}

// Calls visitor(field, value) for every field of `fields` in order.
template <typename Record, std::size_t N, typename Visitor>
void forEach(const Field<std::remove_const_t<Record>> (&fields)[N], Record &record, Visitor &&visitor)
{
    for (const auto &field : fields)
        visit(field, record, [&](auto &value) { visitor(field, value); });
}

// The same for a list named at compile time, forEach<nodeFields>(node, visitor): every field is a
// constant there, so the compiler resolves each field's encoding and member instead of looking them
// up as the loop runs (the writer takes this form; a save visits every field of every record).
template <const auto &Fields, typename Record, typename Visitor, std::size_t... I>
void forEachOf(Record &record, Visitor &visitor, std::index_sequence<I...>)
{
    (visit(Fields[I], record, [&](auto &value) { visitor(Fields[I], value); }), ...);
}

template <const auto &Fields, typename Record, typename Visitor>
void forEach(Record &record, Visitor &&visitor)
{
    forEachOf<Fields>(record, visitor, std::make_index_sequence<std::size(Fields)>());
}

// Whether two element names are the same; usable at compile time.
constexpr bool sameName(QLatin1String left, QLatin1String right)
{
    if (left.size() != right.size())
        return false;
    for (decltype(left.size()) i = 0; i < left.size(); ++i) {
        if (left.data()[i] != right.data()[i])
            return false;
    }
    return true;
}

constexpr bool nameBefore(QLatin1String left, QLatin1String right)
{
    for (decltype(left.size()) i = 0; i < left.size() && i < right.size(); ++i) {
        if (left.data()[i] != right.data()[i])
            return static_cast<unsigned char>(left.data()[i]) < static_cast<unsigned char>(right.data()[i]);
    }
    return left.size() < right.size();
}

// The positions in `fields` of its fields, sorted by element name.
template <typename Record, std::size_t N>
constexpr std::array<std::size_t, N> orderByName(const Field<Record> (&fields)[N])
{
    std::array<std::size_t, N> order{};
    for (std::size_t i = 0; i < N; ++i) {
        std::size_t at = i;
        for (; at > 0 && nameBefore(fields[i].name, fields[order[at - 1]].name); --at)
            order[at] = order[at - 1];
        order[at] = i;
    }
    return order;
}

constexpr std::array<std::size_t, 5> nodeFieldsByName = orderByName(nodeFields);
static_assert(nodeFieldsByName[0] == 2 && nodeFieldsByName[1] == 4 && nodeFieldsByName[2] == 3 &&
                  nodeFieldsByName[3] == 0 && nodeFieldsByName[4] == 1,
              "addr, channelCount, skipnode, x, y: upper case sorts before lower case");

} // namespace RecordFields

#endif // RECORDFIELDS_H
