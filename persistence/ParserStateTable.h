#ifndef PARSERSTATETABLE_H
#define PARSERSTATETABLE_H

// The element states of the map reader: one code per element path of the map file (root <lumomap>)
// and of the legacy map (root <map>). The parser keeps one code per open element; the code on top
// of its stack tells which field an element text fills and what an end tag hands over. The whole
// table, with every element name and the children each container accepts, is in
// ParserStateTable.cpp.

#include <QLatin1String>
#include <QString>

namespace ParserState {

enum Code : int
{
    Lumomap = 0,
    MapFileVersion = 1,
    MapName = 2,
    AppName = 3,
    AppVersion = 4,
    SaveDateTime = 5,
    Geometry = 6,
    VMinX = 7,
    VMinY = 8,
    VMaxX = 9,
    VMaxY = 10,
    ScaleXFit = 11,
    ScaleYFit = 12,
    GeometryXOffset = 13,
    GeometryYOffset = 14,
    XScale = 15,
    YScale = 16,
    Region = 17,
    RegionNumber = 18,
    RegionName = 19,
    RegionColor = 20,
    FixtureTemplate = 21,
    FixtureTemplateUid = 22,
    FixtureTemplateName = 23,
    FixtureTemplateLocked = 24,
    FixtureTemplateXOffset = 25,
    FixtureTemplateYOffset = 26,
    NodeList = 27,
    Node = 28,
    NodeX = 29,
    NodeY = 30,
    NodeAddr = 31,
    NodeSkipNode = 32,
    NodeChannelCount = 33,
    InterfaceTemplate = 34,
    InterfaceTemplateUid = 35,
    InterfaceTemplateName = 36,
    InterfaceTemplateLocked = 37,
    InterfaceTemplateXOffset = 38,
    InterfaceTemplateYOffset = 39,
    Output = 40,
    OutputPortNum = 41,
    OutputPortType = 42,
    Fixture = 43,
    FixtureTemplateId = 44,
    FixtureName = 45,
    FixtureX = 46,
    FixtureY = 47,
    FixtureTheta = 48,
    FixtureBaseAddr = 49,
    FixtureLayerId = 50,
    FixtureGroupId = 51,
    Interface = 52,
    InterfaceUid = 53,
    InterfaceTemplateId = 54,
    InterfaceRegion = 55,
    InterfaceName = 56,
    InterfaceX = 57,
    InterfaceY = 58,
    InterfaceTheta = 59,
    InterfaceIp = 60,
    InterfaceMac = 61,
    InterfaceFlags = 62,
    InterfaceSn = 63,
    InterfaceVer = 64,
    InterfaceUni = 65,
    InterfaceVers = 66,
    InterfaceId = 67,
    InterfaceOrder = 68,
    LegacyMap = 69,
    LegacyController = 70,
    LegacyControllerSelf = 71,
    LegacyControllerName = 72,
    LegacyControllerIpAddress = 73,
    LegacyLight = 74,
    // 75 and 76 are never used.
    LegacyLightX = 77,
    LegacyLightY = 78,
    LegacyLightChannel = 79,
    LegacyLightController = 80,
    LegacyLightPn = 81,
    IgnoredInLegacyMap = 82, // any unlisted element below <map>, at any depth
    IgnoredInLumomap = 83,   // any unlisted element below <lumomap>, at any depth
};

constexpr int Count = 84;
constexpr int NotListed = -1;

enum class Kind
{
    Unused,    // a code that is never pushed
    Container, // holds child elements; its own text is ignored
    Value,     // holds one text value; a child element stops the parse
    Ignored,   // an unlisted element; everything below it is ignored as well
};

struct Child
{
    QLatin1String name;
    int state;
};

struct Entry
{
    int code;
    Kind kind;
    const char *path;    // element path from the root, long names
    QLatin1String name;  // the element's own name
    QLatin1String alias; // the legacy short name, or empty
    const Child *children;
    int childCount;
    int unlisted; // the state an unlisted child of a container gets
};

// The entry of `code`, which must lie in 0 .. Count - 1.
const Entry &entry(int code);

// The entry for a root element named `name`, or null.
const Child *rootChild(const QString &name);

// The entry for a child named `name` of the container `parent`, or null when the container does not
// list the name. The names are tried from position `hint` on (wrapping around), and `hint` is left
// at the position after the name found. The names of one list are distinct, so the result does not
// depend on where the search starts; children written in the table's order are then found at the
// first try.
const Child *child(int parent, const QString &name, quint8 &hint);

// The state of a child named `name` of the container `parent`, or NotListed: the same lookup,
// starting from the first name.
int childState(int parent, const QString &name);

// The table's spelling of `name` when it is the own name or the alias of `code`, else an empty name.
QLatin1String ownName(int code, const QString &name);

} // namespace ParserState

#endif // PARSERSTATETABLE_H
