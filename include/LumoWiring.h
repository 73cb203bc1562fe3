#ifndef LUMOWIRING_H
#define LUMOWIRING_H

/// \file
/// The wiring order of a map: which controller, port and channel the data of every node goes to,
/// and where every node stands. One definition that the `lumomap` tool, its map page and any host
/// share.

#include "lumomap_export.h"

#include <QList>
#include <QPointF>
#include <QSharedDataPointer>
#include <QString>

class LumoFixture;
class LumoInterface;
class LumoInterfaceTemplate;
class LumoMapModel;
class LumoWiringOptionsData;
struct LumoNode;

/// The least and greatest coordinates of a set of points.
///
/// A point with an infinite or undefined coordinate has no place on a page and is left out.
struct LUMOMAP_EXPORT LumoExtent
{
    bool empty = true; ///< True while no point was included; the coordinates are then 0.
    double minX = 0.0; ///< The least x of the points included.
    double minY = 0.0; ///< The least y of the points included.
    double maxX = 0.0; ///< The greatest x of the points included.
    double maxY = 0.0; ///< The greatest y of the points included.

    /// Widens the extent to hold `point`, unless a coordinate of it is not finite.
    void include(const QPointF &point);
    /// Widens the extent to hold `other`.
    void include(const LumoExtent &other);
    /// maxX - minX.
    double width() const { return maxX - minX; }
    /// maxY - minY.
    double height() const { return maxY - minY; }
};

/// How channels are counted and grouped into universes: the options of a LumoWiring, a value class.
/// Copies are cheap and independent, and options added later change neither its size nor its layout.
///
/// Setters keep the value as given; LumoWiring normalises what it takes (see its constructor) and
/// reports the values it used in LumoWiring::options.
class LUMOMAP_EXPORT LumoWiringOptions
{
public:
    /// 510 channels per universe, each interface's own `uni`, 3 channels per node without a channel
    /// count, 60 milliamps per pixel.
    LumoWiringOptions();
    /// A copy of `other`.
    LumoWiringOptions(const LumoWiringOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoWiringOptions(LumoWiringOptions &&other) noexcept;
    /// Makes this a copy of `other`.
    LumoWiringOptions &operator=(const LumoWiringOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoWiringOptions &operator=(LumoWiringOptions &&other) noexcept;
    /// Destroys the options.
    ~LumoWiringOptions();

    /// Channels per universe; 510 by default. 510 suits RGB nodes and 512 RGBW nodes, so that no node
    /// crosses a universe. A wiring counts values below 1 as 1.
    int universeSize() const;
    /// Sets the channels per universe.
    void setUniverseSize(int universeSize);

    /// The universe of every interface's first port; -1 by default. Below 0, each interface's own
    /// `uni`; a wiring counts values above 4294967295 as 4294967295.
    qint64 startUniverse() const;
    /// Sets the universe of every interface's first port; a value below 0 restores each interface's
    /// own `uni`.
    void setStartUniverse(qint64 startUniverse);

    /// The channels a node with `channelCount` 0 (every node of a legacy import) occupies; 3 by default.
    int channelsPerNode() const;
    /// Sets the channels of a node with `channelCount` 0.
    void setChannelsPerNode(int channelsPerNode);

    /// The current one pixel draws, for the port table's milliamps; 60 by default.
    int milliampsPerPixel() const;
    /// Sets the current one pixel draws.
    void setMilliampsPerPixel(int milliampsPerPixel);

    /// The universes each port is given; 0 (the default) packs them: each port starts right after the
    /// last universe of the port before it. With N above 0, port P of an interface starts at its first
    /// universe + (P - 1) x N, so that a change on one port never moves another; a port whose channels
    /// need more than N universes runs into the next port's (LumoMapCheck reports it). A wiring counts
    /// values below 0 as 0.
    int universesPerPort() const;
    /// Sets the universes each port is given, or 0 to pack them.
    void setUniversesPerPort(int universesPerPort);

private:
    QSharedDataPointer<LumoWiringOptionsData> d;
};

/// One node in wiring order: where its data goes and where it stands.
struct LUMOMAP_EXPORT LumoWiredNode
{
    const LumoFixture *fixture = nullptr; ///< The fixture the node belongs to.
    const LumoNode *node = nullptr;       ///< The node record of the fixture's template.
    int chainNumber = 0;                  ///< Its place along the port's chain, 1 for the first node.
    /// Its first channel, counted from 1 within the port: `max(baseaddr, 1) + addr - 1`.
    qint64 address = 0;
    /// The channels it occupies: its `channelCount`, or LumoWiringOptions::channelsPerNode() when that is 0.
    int channels = 0;
    bool assumedChannels = false; ///< True when `channels` was assumed because `channelCount` is 0.
    /// The universe of its first channel; -1 when `address` is below 1 and so lies in no universe.
    qint64 universe = -1;
    int channel = 0;  ///< Its first channel within `universe`, from 1; 0 when it lies in no universe.
    QPointF position; ///< Absolute position on the canvas, turned by the fixture's and interface's theta.

    /// The last channel it occupies, counted within the port.
    qint64 lastAddress() const { return address + channels - 1; }
    /// True when its channels run past the end of the universe its first channel lies in. A
    /// `universeSize` below 1 counts as 1; the sum is taken in 64 bits, so that any channel count
    /// gives the right answer.
    bool crossesUniverse(int universeSize) const;
};

/// One output port of an interface, with its chain of nodes in wiring order.
struct LUMOMAP_EXPORT LumoWiredPort
{
    int port = 0;    ///< Its place on the controller, 1 for the first output of the interface template.
    int portnum = 0; ///< The output's stored `portnum`.
    QList<LumoWiredNode> nodes; ///< The chain, in wiring order.
    int fixtureCount = 0;       ///< Fixtures on the port whose template the map holds.
    int skippedCount = 0;       ///< Nodes with `skipnode` set.
    qint64 firstAddress = 0;    ///< The least channel address of its nodes (0 without nodes).
    qint64 lastAddress = 0;     ///< The greatest channel any of its nodes occupies (0 without nodes).
    qint64 firstUniverse = -1;  ///< The universe of `firstAddress`; -1 when it lies in none.
    int firstChannel = 0;       ///< The channel of `firstAddress` within `firstUniverse`.
    qint64 lastUniverse = -1;   ///< The universe of `lastAddress`; -1 when it lies in none.
    int lastChannel = 0;        ///< The channel of `lastAddress` within `lastUniverse`.
    qint64 milliamps = 0;       ///< Its nodes times LumoWiringOptions::milliampsPerPixel().

    /// The channels from `firstAddress` to `lastAddress`; 0 without nodes.
    qint64 channelSpan() const { return nodes.isEmpty() ? 0 : lastAddress - firstAddress + 1; }
};

/// A fixture that contributes no nodes because the map holds no template of its `templateid`.
struct LUMOMAP_EXPORT LumoUnplacedFixture
{
    const LumoFixture *fixture = nullptr; ///< The fixture left out.
    int port = 0;                         ///< The place of its port on the controller, from 1.
    int portnum = 0;                      ///< Its port's stored `portnum`.
};

/// One interface (controller) with its ports in the order of its interface template's outputs.
struct LUMOMAP_EXPORT LumoWiredInterface
{
    quint32 uid = 0;                         ///< The interface's key in LumoMapModel::interfaces.
    const LumoInterface *record = nullptr;   ///< The interface record.
    /// Its interface template; null when the map holds none of its `templateid`.
    const LumoInterfaceTemplate *interfaceTemplate = nullptr;
    QList<LumoWiredPort> ports;               ///< Every output of its template, in list order.
    QList<LumoUnplacedFixture> unplacedFixtures; ///< Fixtures whose template is missing.
    LumoExtent extent;                        ///< The extent of its placed nodes.
    int nodeCount = 0;                        ///< The nodes on all of its ports.

    /// The interface as messages name it: `interface 1b "Stage Right"` (its uid in hexadecimal, its name).
    QString description() const;
};

/// The wiring of a whole map, computed once from a document and read as plain data.
///
/// - Interfaces come in ascending uid order. An interface's ports are the `outputs` of its interface
///   template, in list order; a port is labelled by its place (1 for the first output) with the
///   stored `portnum` beside it.
/// - Behind a port the data runs through the port's fixtures in list order and, inside each
///   fixture, through its template's nodes in `nodelist` order; each node gets its number along the
///   chain, 1, 2, 3, ... per port.
/// - A node's channel address is `max(baseaddr, 1) + addr - 1`: the fixture's `baseaddr` is its
///   first channel and the node's `addr` its first channel within the fixture, both from 1; a
///   fixture without a base address (0) takes its nodes' addresses as they stand. A node occupies
///   `channelCount` channels, or LumoWiringOptions::channelsPerNode() where `channelCount` is 0.
/// - Universes: channel `a` of a port lies in universe `first + (a - 1) / size`, at channel
///   `(a - 1) % size + 1`. An interface's first port starts at its `uni` (or
///   LumoWiringOptions::startUniverse()); each further port starts at the universe after the last one
///   the previous port used, and a port without nodes uses none. A node keeps the place of its first
///   channel, also when its channels cross into the next universe.
/// - Positions are absolute and turned by `theta` (degrees, turning as QTransform::rotate turns on
///   a canvas whose y grows downward): interface position + R(interface theta) (fixture position +
///   R(fixture theta) node position). A theta that is not finite turns nothing.
/// - A fixture whose template is missing contributes no nodes and is listed in
///   LumoWiredInterface::unplacedFixtures. A node whose position is not finite keeps its place in
///   the chain but stays out of every extent.
///
/// The records are not copied: the wiring points into the document, which must outlive it and stay
/// unchanged while it is used.
class LUMOMAP_EXPORT LumoWiring
{
public:
    /// Computes the wiring of `model` with `options`, normalised first as LumoWiringOptions says
    /// (a universeSize() below 1 becomes 1, a startUniverse() below 0 becomes -1 and one above
    /// 4294967295 becomes 4294967295); `options` then holds the values used. Should memory run out,
    /// the wiring is left empty: no interfaces, an empty extent and `nodeCount` 0, also for a map
    /// that has interfaces (and `options` may hold the values as given).
    explicit LumoWiring(const LumoMapModel &model, const LumoWiringOptions &options = LumoWiringOptions());

    QList<LumoWiredInterface> interfaces; ///< Every interface of the map, in ascending uid order.
    LumoExtent extent;                    ///< The extent of every placed node.
    int nodeCount = 0;                    ///< The nodes on every port of every interface.
    /// The options the wiring was computed with, as normalised: LumoWiringOptions::universeSize() at
    /// least 1, LumoWiringOptions::startUniverse() -1 or from 0 to 4294967295. Whatever reads universes or channels of this wiring
    /// (its pictures, map page and frames) takes them from here or from the wired nodes and ports.
    LumoWiringOptions options;

    /// Keeps only the interfaces whose uid is in `uids` (every interface when `uids` is empty) and,
    /// when `port` is above 0, only the port with that label on each of them; the extents and node
    /// counts follow. Universes and channels stay as the whole map's wiring gave them. Should memory
    /// run out, it keeps nothing: the wiring is left empty, as the constructor leaves it.
    void keepOnly(const QList<quint32> &uids, int port = 0);

    /// The uids of the interfaces that `key` names, in ascending order: by uid in hexadecimal (any case),
    /// by name without regard to case, or by IP. Empty when it names none.
    QList<quint32> interfacesNamed(const QString &key) const;

    /// A node's channel address, `max(baseaddr, 1) + addr - 1`, in 64 bits so that it never overflows.
    static qint64 channelAddress(qint32 baseaddr, qint32 addr);
};

#endif // LUMOWIRING_H
