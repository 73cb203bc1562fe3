// The one table of element states of the map reader. Each row gives a state's code, its kind, its
// element path, its own name (and legacy short name) and, for a container, the children it accepts
// in the order they are tried and the state its unlisted children get. The value elements of the
// map file's records are the fields of RecordFields.h: a compile-time check below holds their rows
// and the children lists equal to those lists.

#include "ParserStateTable.h"

#include "MapElementNames.h"
#include "RecordFields.h"

namespace ParserState {

namespace {

namespace E = MapElement;

constexpr QLatin1String none = QLatin1String();

// Root elements: the name of the root alone decides the dialect.
constexpr Child rootChildren[] = {{E::Lumomap, Lumomap}, {E::LegacyMap, LegacyMap}};

// Map file containers.
constexpr Child lumomapChildren[] = {
    {E::MapFileVersion, MapFileVersion},
    {E::MapName, MapName},
    {E::AppName, AppName},
    {E::AppVersion, AppVersion},
    {E::SaveDateTime, SaveDateTime},
    {E::Geometry, Geometry},
    {E::Region, Region},
    {E::FixtureTemplate, FixtureTemplate},
    {E::InterfaceTemplate, InterfaceTemplate},
    {E::Interface, Interface},
};
constexpr Child geometryChildren[] = {
    {E::VMinX, VMinX},
    {E::VMinY, VMinY},
    {E::VMaxX, VMaxX},
    {E::VMaxY, VMaxY},
    {E::ScaleXFit, ScaleXFit},
    {E::ScaleYFit, ScaleYFit},
    {E::XOffset, GeometryXOffset},
    {E::YOffset, GeometryYOffset},
    {E::XScale, XScale},
    {E::YScale, YScale},
};
constexpr Child regionChildren[] = {
    {E::Number, RegionNumber},
    {E::Name, RegionName},
    {E::Color, RegionColor},
};
constexpr Child fixtureTemplateChildren[] = {
    {E::Uid, FixtureTemplateUid},         {E::Name, FixtureTemplateName},
    {E::Locked, FixtureTemplateLocked},   {E::XOffset, FixtureTemplateXOffset},
    {E::YOffset, FixtureTemplateYOffset}, {E::NodeList, NodeList},
};
constexpr Child nodeListChildren[] = {
    {E::Node, Node},
};
constexpr Child nodeChildren[] = {
    {E::X, NodeX},
    {E::Y, NodeY},
    {E::Addr, NodeAddr},
    {E::SkipNode, NodeSkipNode},
    {E::ChannelCount, NodeChannelCount},
};
constexpr Child interfaceTemplateChildren[] = {
    {E::Uid, InterfaceTemplateUid},         {E::Name, InterfaceTemplateName},
    {E::Locked, InterfaceTemplateLocked},   {E::XOffset, InterfaceTemplateXOffset},
    {E::YOffset, InterfaceTemplateYOffset}, {E::Output, Output},
};
constexpr Child outputChildren[] = {
    {E::Fixture, Fixture},
    {E::PortNum, OutputPortNum},
    {E::PortType, OutputPortType},
};
constexpr Child fixtureChildren[] = {
    {E::TemplateId, FixtureTemplateId},
    {E::Name, FixtureName},
    {E::X, FixtureX},
    {E::Y, FixtureY},
    {E::Theta, FixtureTheta},
    {E::BaseAddr, FixtureBaseAddr},
    {E::LayerId, FixtureLayerId},
    {E::GroupId, FixtureGroupId},
};
constexpr Child interfaceChildren[] = {
    {E::Uid, InterfaceUid},
    {E::TemplateId, InterfaceTemplateId},
    {E::RegionNumber, InterfaceRegion},
    {E::Name, InterfaceName},
    {E::X, InterfaceX},
    {E::Y, InterfaceY},
    {E::Theta, InterfaceTheta},
    {E::Ip, InterfaceIp},
    {E::Mac, InterfaceMac},
    {E::Flags, InterfaceFlags},
    {E::Sn, InterfaceSn},
    {E::Ver, InterfaceVer},
    {E::Uni, InterfaceUni},
    {E::Vers, InterfaceVers},
    {E::Id, InterfaceId},
    {E::Order, InterfaceOrder},
};

// Legacy map containers: long and short names are interchangeable. Each list follows the order in
// which the old software wrote the children, long name before short.
constexpr Child legacyMapChildren[] = {
    {E::LegacyController, LegacyController},
    {E::LegacyControllerShort, LegacyController},
    {E::LegacyLight, LegacyLight},
    {E::LegacyLightShort, LegacyLight},
};
constexpr Child legacyControllerChildren[] = {
    {E::LegacySelf, LegacyControllerSelf},           {E::LegacySelfShort, LegacyControllerSelf},
    {E::LegacyName, LegacyControllerName},           {E::LegacyNameShort, LegacyControllerName},
    {E::LegacyIpAddress, LegacyControllerIpAddress}, {E::LegacyIpAddressShort, LegacyControllerIpAddress},
};
constexpr Child legacyLightChildren[] = {
    {E::LegacyX, LegacyLightX},
    {E::LegacyY, LegacyLightY},
    {E::LegacyChannel, LegacyLightChannel},
    {E::LegacyChannelShort, LegacyLightChannel},
    {E::LegacyController, LegacyLightController},
    {E::LegacyControllerShort, LegacyLightController},
    {E::LegacyPn, LegacyLightPn},
};

#define CHILDREN(list) list, int(sizeof(list) / sizeof(list[0]))
#define NO_CHILDREN nullptr, 0

constexpr Kind C = Kind::Container;
constexpr Kind V = Kind::Value;
constexpr Kind I = Kind::Ignored;
constexpr Kind U = Kind::Unused;

} // namespace

// clang-format off
constexpr Entry table[Count] = {
//   code                       kind  path                                                   name                  alias                      children                              unlisted
    {Lumomap,                   C, "lumomap",                                               E::Lumomap,           none,                      CHILDREN(lumomapChildren),           IgnoredInLumomap},
    {MapFileVersion,            V, "lumomap/mapfileversion",                                E::MapFileVersion,    none,                      NO_CHILDREN,                         0},
    {MapName,                   V, "lumomap/mapname",                                       E::MapName,           none,                      NO_CHILDREN,                         0},
    {AppName,                   V, "lumomap/appname",                                       E::AppName,           none,                      NO_CHILDREN,                         0},
    {AppVersion,                V, "lumomap/appversion",                                    E::AppVersion,        none,                      NO_CHILDREN,                         0},
    {SaveDateTime,              V, "lumomap/savedatetime",                                  E::SaveDateTime,      none,                      NO_CHILDREN,                         0},
    {Geometry,                  C, "lumomap/geometry",                                      E::Geometry,          none,                      CHILDREN(geometryChildren),          IgnoredInLumomap},
    {VMinX,                     V, "lumomap/geometry/vminx",                                E::VMinX,             none,                      NO_CHILDREN,                         0},
    {VMinY,                     V, "lumomap/geometry/vminy",                                E::VMinY,             none,                      NO_CHILDREN,                         0},
    {VMaxX,                     V, "lumomap/geometry/vmaxx",                                E::VMaxX,             none,                      NO_CHILDREN,                         0},
    {VMaxY,                     V, "lumomap/geometry/vmaxy",                                E::VMaxY,             none,                      NO_CHILDREN,                         0},
    {ScaleXFit,                 V, "lumomap/geometry/scalexfit",                            E::ScaleXFit,         none,                      NO_CHILDREN,                         0},
    {ScaleYFit,                 V, "lumomap/geometry/scaleyfit",                            E::ScaleYFit,         none,                      NO_CHILDREN,                         0},
    {GeometryXOffset,           V, "lumomap/geometry/xoffset",                              E::XOffset,           none,                      NO_CHILDREN,                         0},
    {GeometryYOffset,           V, "lumomap/geometry/yoffset",                              E::YOffset,           none,                      NO_CHILDREN,                         0},
    {XScale,                    V, "lumomap/geometry/xscale",                               E::XScale,            none,                      NO_CHILDREN,                         0},
    {YScale,                    V, "lumomap/geometry/yscale",                               E::YScale,            none,                      NO_CHILDREN,                         0},
    {Region,                    C, "lumomap/region",                                        E::Region,            none,                      CHILDREN(regionChildren),            IgnoredInLumomap},
    {RegionNumber,              V, "lumomap/region/number",                                 E::Number,            none,                      NO_CHILDREN,                         0},
    {RegionName,                V, "lumomap/region/name",                                   E::Name,              none,                      NO_CHILDREN,                         0},
    {RegionColor,               V, "lumomap/region/color",                                  E::Color,             none,                      NO_CHILDREN,                         0},
    {FixtureTemplate,           C, "lumomap/fixturetemplate",                               E::FixtureTemplate,   none,                      CHILDREN(fixtureTemplateChildren),   IgnoredInLumomap},
    {FixtureTemplateUid,        V, "lumomap/fixturetemplate/uid",                           E::Uid,               none,                      NO_CHILDREN,                         0},
    {FixtureTemplateName,       V, "lumomap/fixturetemplate/name",                          E::Name,              none,                      NO_CHILDREN,                         0},
    {FixtureTemplateLocked,     V, "lumomap/fixturetemplate/locked",                        E::Locked,            none,                      NO_CHILDREN,                         0},
    {FixtureTemplateXOffset,    V, "lumomap/fixturetemplate/xoffset",                       E::XOffset,           none,                      NO_CHILDREN,                         0},
    {FixtureTemplateYOffset,    V, "lumomap/fixturetemplate/yoffset",                       E::YOffset,           none,                      NO_CHILDREN,                         0},
    {NodeList,                  C, "lumomap/fixturetemplate/nodelist",                      E::NodeList,          none,                      CHILDREN(nodeListChildren),          IgnoredInLumomap},
    {Node,                      C, "lumomap/fixturetemplate/nodelist/node",                 E::Node,              none,                      CHILDREN(nodeChildren),              IgnoredInLumomap},
    {NodeX,                     V, "lumomap/fixturetemplate/nodelist/node/x",               E::X,                 none,                      NO_CHILDREN,                         0},
    {NodeY,                     V, "lumomap/fixturetemplate/nodelist/node/y",               E::Y,                 none,                      NO_CHILDREN,                         0},
    {NodeAddr,                  V, "lumomap/fixturetemplate/nodelist/node/addr",            E::Addr,              none,                      NO_CHILDREN,                         0},
    {NodeSkipNode,              V, "lumomap/fixturetemplate/nodelist/node/skipnode",        E::SkipNode,          none,                      NO_CHILDREN,                         0},
    {NodeChannelCount,          V, "lumomap/fixturetemplate/nodelist/node/channelCount",    E::ChannelCount,      none,                      NO_CHILDREN,                         0},
    {InterfaceTemplate,         C, "lumomap/interfacetemplate",                             E::InterfaceTemplate, none,                      CHILDREN(interfaceTemplateChildren), IgnoredInLumomap},
    {InterfaceTemplateUid,      V, "lumomap/interfacetemplate/uid",                         E::Uid,               none,                      NO_CHILDREN,                         0},
    {InterfaceTemplateName,     V, "lumomap/interfacetemplate/name",                        E::Name,              none,                      NO_CHILDREN,                         0},
    {InterfaceTemplateLocked,   V, "lumomap/interfacetemplate/locked",                      E::Locked,            none,                      NO_CHILDREN,                         0},
    {InterfaceTemplateXOffset,  V, "lumomap/interfacetemplate/xoffset",                     E::XOffset,           none,                      NO_CHILDREN,                         0},
    {InterfaceTemplateYOffset,  V, "lumomap/interfacetemplate/yoffset",                     E::YOffset,           none,                      NO_CHILDREN,                         0},
    {Output,                    C, "lumomap/interfacetemplate/output",                      E::Output,            none,                      CHILDREN(outputChildren),            IgnoredInLumomap},
    {OutputPortNum,             V, "lumomap/interfacetemplate/output/portnum",              E::PortNum,           none,                      NO_CHILDREN,                         0},
    {OutputPortType,            V, "lumomap/interfacetemplate/output/porttype",             E::PortType,          none,                      NO_CHILDREN,                         0},
    {Fixture,                   C, "lumomap/interfacetemplate/output/fixture",              E::Fixture,           none,                      CHILDREN(fixtureChildren),           IgnoredInLumomap},
    {FixtureTemplateId,         V, "lumomap/interfacetemplate/output/fixture/templateid",   E::TemplateId,        none,                      NO_CHILDREN,                         0},
    {FixtureName,               V, "lumomap/interfacetemplate/output/fixture/name",         E::Name,              none,                      NO_CHILDREN,                         0},
    {FixtureX,                  V, "lumomap/interfacetemplate/output/fixture/x",            E::X,                 none,                      NO_CHILDREN,                         0},
    {FixtureY,                  V, "lumomap/interfacetemplate/output/fixture/y",            E::Y,                 none,                      NO_CHILDREN,                         0},
    {FixtureTheta,              V, "lumomap/interfacetemplate/output/fixture/theta",        E::Theta,             none,                      NO_CHILDREN,                         0},
    {FixtureBaseAddr,           V, "lumomap/interfacetemplate/output/fixture/baseaddr",     E::BaseAddr,          none,                      NO_CHILDREN,                         0},
    {FixtureLayerId,            V, "lumomap/interfacetemplate/output/fixture/layerid",      E::LayerId,           none,                      NO_CHILDREN,                         0},
    {FixtureGroupId,            V, "lumomap/interfacetemplate/output/fixture/groupid",      E::GroupId,           none,                      NO_CHILDREN,                         0},
    {Interface,                 C, "lumomap/interface",                                     E::Interface,         none,                      CHILDREN(interfaceChildren),         IgnoredInLumomap},
    {InterfaceUid,              V, "lumomap/interface/uid",                                 E::Uid,               none,                      NO_CHILDREN,                         0},
    {InterfaceTemplateId,       V, "lumomap/interface/templateid",                          E::TemplateId,        none,                      NO_CHILDREN,                         0},
    {InterfaceRegion,           V, "lumomap/interface/region",                              E::RegionNumber,      none,                      NO_CHILDREN,                         0},
    {InterfaceName,             V, "lumomap/interface/name",                                E::Name,              none,                      NO_CHILDREN,                         0},
    {InterfaceX,                V, "lumomap/interface/x",                                   E::X,                 none,                      NO_CHILDREN,                         0},
    {InterfaceY,                V, "lumomap/interface/y",                                   E::Y,                 none,                      NO_CHILDREN,                         0},
    {InterfaceTheta,            V, "lumomap/interface/theta",                               E::Theta,             none,                      NO_CHILDREN,                         0},
    {InterfaceIp,               V, "lumomap/interface/ip",                                  E::Ip,                none,                      NO_CHILDREN,                         0},
    {InterfaceMac,              V, "lumomap/interface/mac",                                 E::Mac,               none,                      NO_CHILDREN,                         0},
    {InterfaceFlags,            V, "lumomap/interface/flags",                               E::Flags,             none,                      NO_CHILDREN,                         0},
    {InterfaceSn,               V, "lumomap/interface/sn",                                  E::Sn,                none,                      NO_CHILDREN,                         0},
    {InterfaceVer,              V, "lumomap/interface/ver",                                 E::Ver,               none,                      NO_CHILDREN,                         0},
    {InterfaceUni,              V, "lumomap/interface/uni",                                 E::Uni,               none,                      NO_CHILDREN,                         0},
    {InterfaceVers,             V, "lumomap/interface/vers",                                E::Vers,              none,                      NO_CHILDREN,                         0},
    {InterfaceId,               V, "lumomap/interface/id",                                  E::Id,                none,                      NO_CHILDREN,                         0},
    {InterfaceOrder,            V, "lumomap/interface/order",                               E::Order,             none,                      NO_CHILDREN,                         0},
    {LegacyMap,                 C, "map",                                                   E::LegacyMap,         none,                      CHILDREN(legacyMapChildren),         IgnoredInLegacyMap},
    {LegacyController,          C, "map/controller",                                        E::LegacyController,  E::LegacyControllerShort,  CHILDREN(legacyControllerChildren),  IgnoredInLegacyMap},
    {LegacyControllerSelf,      V, "map/controller/self",                                   E::LegacySelf,        E::LegacySelfShort,        NO_CHILDREN,                         0},
    {LegacyControllerName,      V, "map/controller/name",                                   E::LegacyName,        E::LegacyNameShort,        NO_CHILDREN,                         0},
    {LegacyControllerIpAddress, V, "map/controller/ipaddress",                              E::LegacyIpAddress,   E::LegacyIpAddressShort,   NO_CHILDREN,                         0},
    {LegacyLight,               C, "map/light",                                             E::LegacyLight,       E::LegacyLightShort,       CHILDREN(legacyLightChildren),       IgnoredInLegacyMap},
    {75,                        U, nullptr,                                                 none,                 none,                      NO_CHILDREN,                         0},
    {76,                        U, nullptr,                                                 none,                 none,                      NO_CHILDREN,                         0},
    {LegacyLightX,              V, "map/light/x",                                           E::LegacyX,           none,                      NO_CHILDREN,                         0},
    {LegacyLightY,              V, "map/light/y",                                           E::LegacyY,           none,                      NO_CHILDREN,                         0},
    {LegacyLightChannel,        V, "map/light/channel",                                     E::LegacyChannel,     E::LegacyChannelShort,     NO_CHILDREN,                         0},
    {LegacyLightController,     V, "map/light/controller",                                  E::LegacyController,  E::LegacyControllerShort,  NO_CHILDREN,                         0},
    {LegacyLightPn,             V, "map/light/pn",                                          E::LegacyPn,          none,                      NO_CHILDREN,                         0},
    {IgnoredInLegacyMap,        I, "map/.../(unlisted)",                                    none,                 none,                      NO_CHILDREN,                         IgnoredInLegacyMap},
    {IgnoredInLumomap,          I, "lumomap/.../(unlisted)",                                none,                 none,                      NO_CHILDREN,                         IgnoredInLumomap},
};
// clang-format on

#undef CHILDREN
#undef NO_CHILDREN

namespace {

// The containers whose value elements fill the fields of a record: the document's header and
// geometry, and the records of the map file.
struct RecordContainer
{
    int container;
    Target target;
};

constexpr RecordContainer recordContainers[] = {
    {Lumomap, Target::Header},      {Geometry, Target::Geometry},
    {Region, Target::Region},       {FixtureTemplate, Target::FixtureTemplate},
    {Node, Target::Node},           {InterfaceTemplate, Target::InterfaceTemplate},
    {Output, Target::Output},       {Fixture, Target::Fixture},
    {Interface, Target::Interface},
};

// Whether the value children of `container`, in the order of its children list, are `fields` in
// their order, each under its element name in the children list and in its own row.
template <typename Record, std::size_t N>
constexpr bool valueRowsAre(int container, const RecordFields::Field<Record> (&fields)[N])
{
    const Entry &parent = table[container];
    std::size_t next = 0;
    for (int i = 0; i < parent.childCount; ++i) {
        const Child &child = parent.children[i];
        if (table[child.state].kind != Kind::Value)
            continue;
        if (next == N || !RecordFields::sameName(child.name, fields[next].name) ||
            !RecordFields::sameName(table[child.state].name, fields[next].name))
            return false;
        ++next;
    }
    return next == N;
}

static_assert(valueRowsAre(Lumomap, RecordFields::headerFields));
static_assert(valueRowsAre(Geometry, RecordFields::geometryFields));
static_assert(valueRowsAre(Region, RecordFields::regionFields));
static_assert(valueRowsAre(FixtureTemplate, RecordFields::fixtureTemplateFields));
static_assert(valueRowsAre(Node, RecordFields::nodeFields));
static_assert(valueRowsAre(InterfaceTemplate, RecordFields::interfaceTemplateFields));
static_assert(valueRowsAre(Output, RecordFields::outputFields));
static_assert(valueRowsAre(Fixture, RecordFields::fixtureFields));
static_assert(valueRowsAre(Interface, RecordFields::interfaceFields));

// The n-th value child of a record's container fills the n-th field of the record's list; the value
// children of the legacy containers go to the legacy import.
constexpr TextTargets textTargetTable()
{
    TextTargets targets{};
    for (const RecordContainer &record : recordContainers) {
        const Entry &parent = table[record.container];
        quint8 index = 0;
        for (int i = 0; i < parent.childCount; ++i) {
            if (table[parent.children[i].state].kind == Kind::Value)
                targets.of[parent.children[i].state] = {record.target, index++};
        }
    }
    for (int container : {LegacyController, LegacyLight}) {
        for (int i = 0; i < table[container].childCount; ++i)
            targets.of[table[container].children[i].state] = {Target::Legacy, 0};
    }
    return targets;
}

} // namespace

constexpr TextTargets textTargets = textTargetTable();

// Element names are short: comparing the length first rejects most candidates at once. The head
// word serves the byte form only.
bool sameName(const QString &name, QLatin1String candidate, quint64)
{
    const qsizetype size = candidate.size();
    if (name.size() != size || size == 0)
        return false;
    const QChar *p = name.constData();
    const char *q = candidate.data();
    for (qsizetype i = 0; i < size; ++i) {
        if (p[i].unicode() != static_cast<unsigned char>(q[i]))
            return false;
    }
    return true;
}

namespace {

template <typename Name> const Child *lookUp(const Child *children, int count, const Name &name)
{
    for (int i = 0; i < count; ++i) {
        if (sameName(name, children[i].name, children[i].head))
            return &children[i];
    }
    return nullptr;
}

constexpr int rootCount = int(sizeof(rootChildren) / sizeof(rootChildren[0]));

} // namespace

const Child *rootChild(const QString &name)
{
    return lookUp(rootChildren, rootCount, name);
}

const Child *rootChild(PaddedName name)
{
    return lookUp(rootChildren, rootCount, name);
}

const Child *child(int parent, const QString &name, quint8 &hint)
{
    return childFrom(parent, name, hint);
}

int childState(int parent, const QString &name)
{
    quint8 fromTheStart = 0;
    const Child *found = child(parent, name, fromTheStart);
    return found ? found->state : NotListed;
}

QLatin1String ownName(int code, const QString &name)
{
    return ownNameOf(code, name);
}

} // namespace ParserState
