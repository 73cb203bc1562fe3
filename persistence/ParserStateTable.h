#ifndef PARSERSTATETABLE_H
#define PARSERSTATETABLE_H

// The element states of the map reader: one code per element path of the map file (root <lumomap>)
// and of the legacy map (root <map>). The parser keeps one code per open element; the code on top
// of its stack tells which field an element text fills and what an end tag hands over. The whole
// table, with every element name and the children each container accepts, is in
// ParserStateTable.cpp.

#include <QLatin1String>
#include <QString>
#include <QtEndian>

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

// The first eight bytes of a name, zero-padded, read as a little-endian word.
constexpr quint64 headOf(QLatin1String name)
{
    quint64 head = 0;
    for (qsizetype i = 0; i < name.size() && i < 8; ++i)
        head |= quint64(static_cast<unsigned char>(name.data()[i])) << (8 * i);
    return head;
}

struct Child
{
    constexpr Child(QLatin1String name, int state) : name(name), state(state), head(headOf(name)) {}

    QLatin1String name;
    int state;
    quint64 head;
};

struct Entry
{
    constexpr Entry(int code, Kind kind, const char *path, QLatin1String name, QLatin1String alias,
                    const Child *children, int childCount, int unlisted)
        : code(code), kind(kind), path(path), name(name), alias(alias), children(children),
          childCount(childCount), unlisted(unlisted), nameHead(headOf(name)), aliasHead(headOf(alias))
    {}

    int code;
    Kind kind;
    const char *path;    // element path from the root, long names
    QLatin1String name;  // the element's own name
    QLatin1String alias; // the legacy short name, or empty
    const Child *children;
    int childCount;
    int unlisted; // the state an unlisted child of a container gets
    quint64 nameHead;
    quint64 aliasHead;
};

// An element name in the subset reader's buffer: ASCII bytes followed by at least 8 more readable
// bytes, so that the lookups compare it a word at a time.
struct PaddedName
{
    QLatin1String bytes;
};

extern const Entry table[Count];

// The entry of `code`, which must lie in 0 .. Count - 1.
inline const Entry &entry(int code)
{
    return table[code];
}

// The states whose elements create a record at their start tag and hand it over at their end tag.
struct RecordStates
{
    bool of[Count];
};

constexpr RecordStates recordStateTable()
{
    RecordStates states{};
    for (int code : {Region, FixtureTemplate, Node, InterfaceTemplate, Output, Fixture, Interface,
                     LegacyController, LegacyLight})
        states.of[code] = true;
    return states;
}

constexpr RecordStates recordStates = recordStateTable();

// Whether an element of state `code` (0 .. Count - 1) creates a record; checked for every element.
inline bool opensRecord(int code)
{
    return recordStates.of[code];
}

// What the text of a value element fills: a field of the document's header or geometry or of the
// record under construction, at `index` in that record's list of RecordFields.h (the value rows of the
// table are those lists, a compile-time check in ParserStateTable.cpp holds them equal); or, for the
// legacy map, what LegacyMapImport makes of it. Containers, unlisted elements and unused codes have
// no target: their own text is ignored.
enum class Target : quint8
{
    None,
    Header,
    Geometry,
    Region,
    FixtureTemplate,
    Node,
    InterfaceTemplate,
    Output,
    Fixture,
    Interface,
    Legacy,
};

struct TextTarget
{
    Target target;
    quint8 index;
};

struct TextTargets
{
    TextTarget of[Count];
};

// The target of each state code, derived from the table.
extern const TextTargets textTargets;

// The lookups take a name as the reader's string or as the subset reader's bytes.

// The entry for a root element named `name`, or null.
const Child *rootChild(const QString &name);
const Child *rootChild(PaddedName name);

// The entry for a child named `name` of the container `parent`, or null when the container does not
// list the name. The names are tried from position `hint` on (wrapping around), and `hint` is left
// at the position after the name found. The names of one list are distinct, so the result does not
// depend on where the search starts; children written in the table's order are then found at the
// first try.
const Child *child(int parent, const QString &name, quint8 &hint);
inline const Child *child(int parent, PaddedName name, quint8 &hint);

// The state of a child named `name` of the container `parent`, or NotListed: the same lookup,
// starting from the first name.
int childState(int parent, const QString &name);

// The table's spelling of `name` when it is the own name or the alias of `code`, else an empty name.
QLatin1String ownName(int code, const QString &name);
inline QLatin1String ownName(int code, PaddedName name);

// The subset reader's lookups, inline: they run for every element of a large map.
inline bool sameName(PaddedName name, QLatin1String candidate, quint64 candidateHead)
{
    const qsizetype size = candidate.size();
    if (name.bytes.size() != size || size == 0)
        return false;
    const char *p = name.bytes.data();
    quint64 head = qFromLittleEndian<quint64>(p);
    if (size < 8)
        head &= (quint64(1) << (8 * size)) - 1;
    if (head != candidateHead)
        return false;
    for (qsizetype i = 8; i < size; ++i) {
        if (p[i] != candidate.data()[i])
            return false;
    }
    return true;
}

// Whether the reader's string `name` is `candidate`.
bool sameName(const QString &name, QLatin1String candidate, quint64 candidateHead);

// The lookups of both name forms.
template <typename Name> inline const Child *childFrom(int parent, const Name &name, quint8 &hint)
{
    const Entry &container = table[parent];
    const int count = container.childCount;
    int i = hint < count ? hint : 0;
    for (int tried = 0; tried < count; ++tried) {
        const Child &candidate = container.children[i];
        if (sameName(name, candidate.name, candidate.head)) {
            hint = quint8(i + 1);
            return &candidate;
        }
        if (++i == count)
            i = 0;
    }
    return nullptr;
}

template <typename Name> inline QLatin1String ownNameOf(int code, const Name &name)
{
    const Entry &state = table[code];
    if (sameName(name, state.name, state.nameHead))
        return state.name;
    if (sameName(name, state.alias, state.aliasHead))
        return state.alias;
    return QLatin1String();
}

inline const Child *child(int parent, PaddedName name, quint8 &hint)
{
    return childFrom(parent, name, hint);
}

inline QLatin1String ownName(int code, PaddedName name)
{
    return ownNameOf(code, name);
}

} // namespace ParserState

#endif // PARSERSTATETABLE_H
