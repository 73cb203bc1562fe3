#include "LumoWiring.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "RecordKeys.h"

#include <QTransform>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>

void LumoExtent::include(const QPointF &point)
{
    if (!std::isfinite(point.x()) || !std::isfinite(point.y()))
        return;
    if (empty) {
        minX = maxX = point.x();
        minY = maxY = point.y();
        empty = false;
        return;
    }
    minX = std::min(minX, point.x());
    minY = std::min(minY, point.y());
    maxX = std::max(maxX, point.x());
    maxY = std::max(maxY, point.y());
}

void LumoExtent::include(const LumoExtent &other)
{
    if (other.empty)
        return;
    include(QPointF(other.minX, other.minY));
    include(QPointF(other.maxX, other.maxY));
}

bool LumoWiredNode::crossesUniverse(int universeSize) const
{
    // A stored channelCount reaches 2147483647, so the last channel is counted in 64 bits.
    return universe >= 0 && qint64(channel) + channels - 1 > std::max(universeSize, 1);
}

qint64 LumoWiring::channelAddress(qint32 baseaddr, qint32 addr)
{
    return std::max<qint64>(baseaddr, 1) + addr - 1;
}

namespace {

// The turn by `theta` degrees about the origin; none when theta is 0 or not finite.
QTransform turnBy(double theta)
{
    QTransform turn;
    if (theta != 0.0 && std::isfinite(theta))
        turn.rotate(theta);
    return turn;
}

// Where channel `address` of a port whose first universe is `first` lies: its universe and its
// channel within it. Addresses below 1 lie in no universe.
struct UniversePlace
{
    qint64 universe = -1;
    int channel = 0;
};

// The greatest universe a port starts at. Addresses lie below 2^33 and first universes start at most
// at 4294967295, so universes stay far below it; the bound keeps their sums within 64 bits even for
// a controller with more ports than memory could hold.
constexpr qint64 greatestFirstUniverse = qint64(1) << 62;

// `size` is at least 1 (LumoWiring normalises it before anything is counted).
UniversePlace placeOf(qint64 address, qint64 first, int size)
{
    if (address < 1)
        return {};
    return {first + (address - 1) / size, int((address - 1) % size) + 1};
}

// Brings `options` to the values a wiring uses: see LumoWiringOptions and the LumoWiring constructor.
// Options that need no change are left shared, as they came.
void normalise(LumoWiringOptions &options)
{
    if (options.universeSize() < 1)
        options.setUniverseSize(1);
    const qint64 start = options.startUniverse();
    const qint64 used = start < 0 ? -1 : std::min<qint64>(start, 0xFFFFFFFFll);
    if (used != start)
        options.setStartUniverse(used);
    if (options.universesPerPort() < 0)
        options.setUniversesPerPort(0);
}

class PortWiring
{
public:
    PortWiring(const LumoMapModel &model, const LumoWiringOptions &options)
        : model(model), universeSize(options.universeSize()),
          channelsPerNode(options.channelsPerNode()), milliampsPerPixel(options.milliampsPerPixel())
    {}

    // The chain behind `output`, the `index`-th output of its template, whose data starts at universe
    // `firstUniverse`. Fixtures without a template go to `unplaced`.
    LumoWiredPort wire(const LumoOutput &output, int index, qint64 firstUniverse, const QPointF &origin,
                       const QTransform &interfaceTurn, QList<LumoUnplacedFixture> &unplaced) const
    {
        LumoWiredPort port;
        port.port = index + 1;
        port.portnum = output.portnum;
        for (const LumoFixture *fixture : output.fixtures) {
            if (!fixture)
                continue;
            const LumoFixtureTemplate *fixtureTemplate = model.fixtureTemplates.value(fixture->templateid);
            if (!fixtureTemplate) {
                unplaced.append({fixture, port.port, port.portnum});
                continue;
            }
            ++port.fixtureCount;
            const QTransform fixtureTurn = turnBy(fixture->theta);
            const QPointF fixturePosition(fixture->x, fixture->y);
            for (const LumoNode *node : fixtureTemplate->nodelist) {
                if (node)
                    port.nodes.append(wireNode(*fixture, *node, int(port.nodes.size()) + 1, firstUniverse,
                                               origin + interfaceTurn.map(fixturePosition +
                                                                          fixtureTurn.map(QPointF(node->x, node->y)))));
            }
        }
        summarise(port, firstUniverse);
        return port;
    }

private:
    LumoWiredNode wireNode(const LumoFixture &fixture, const LumoNode &node, int chainNumber, qint64 firstUniverse,
                           const QPointF &position) const
    {
        LumoWiredNode wired;
        wired.fixture = &fixture;
        wired.node = &node;
        wired.chainNumber = chainNumber;
        wired.address = LumoWiring::channelAddress(fixture.baseaddr, node.addr);
        wired.assumedChannels = node.channelCount == 0;
        wired.channels = wired.assumedChannels ? channelsPerNode : node.channelCount;
        const UniversePlace place = placeOf(wired.address, firstUniverse, universeSize);
        wired.universe = place.universe;
        wired.channel = place.channel;
        wired.position = position;
        return wired;
    }

    void summarise(LumoWiredPort &port, qint64 firstUniverse) const
    {
        if (port.nodes.isEmpty())
            return;
        port.firstAddress = port.nodes.constFirst().address;
        port.lastAddress = port.nodes.constFirst().lastAddress();
        for (const LumoWiredNode &node : std::as_const(port.nodes)) {
            port.skippedCount += node.node->skipnode ? 1 : 0;
            port.firstAddress = std::min(port.firstAddress, node.address);
            port.lastAddress = std::max(port.lastAddress, node.lastAddress());
        }
        const UniversePlace first = placeOf(port.firstAddress, firstUniverse, universeSize);
        const UniversePlace last = placeOf(port.lastAddress, firstUniverse, universeSize);
        port.firstUniverse = first.universe;
        port.firstChannel = first.channel;
        port.lastUniverse = last.universe;
        port.lastChannel = last.channel;
        port.milliamps = qint64(port.nodes.size()) * milliampsPerPixel;
    }

    const LumoMapModel &model;
    const int universeSize;
    const int channelsPerNode;
    const int milliampsPerPixel;
};

// The interfaces of a wiring with their extent and node count, built aside and handed over only
// when complete, so that a wiring that runs out of memory is left empty rather than half made.
struct Wired
{
    QList<LumoWiredInterface> interfaces;
    LumoExtent extent;
    qint64 nodeCount = 0;
};

Wired wireMap(const LumoMapModel &model, const LumoWiringOptions &options)
{
    Wired all;
    const PortWiring portWiring(model, options);
    for (const auto &[key, interface] : RecordKeys::inKeyOrder(model.interfaces)) {
        LumoWiredInterface wired;
        wired.uid = key;
        wired.record = interface;
        wired.interfaceTemplate = model.interfaceTemplates.value(interface->templateid);
        if (wired.interfaceTemplate) {
            const QPointF origin(interface->x, interface->y);
            const QTransform turn = turnBy(interface->theta);
            const qint64 firstUniverse = options.startUniverse() >= 0 ? options.startUniverse() : qint64(interface->uni);
            const qint64 perPort = options.universesPerPort();
            qint64 nextUniverse = firstUniverse;
            const QList<LumoOutput *> &outputs = wired.interfaceTemplate->outputs;
            for (int i = 0; i < outputs.size(); ++i) {
                if (!outputs.at(i))
                    continue;
                // Given universes per port, port i starts at its own place whatever the ports before
                // it hold; the product stays below 2^62, as both factors lie below 2^31.
                if (perPort > 0)
                    nextUniverse = std::min(firstUniverse + qint64(i) * perPort, greatestFirstUniverse - 1);
                wired.ports.append(
                    portWiring.wire(*outputs.at(i), i, nextUniverse, origin, turn, wired.unplacedFixtures));
                const LumoWiredPort &port = wired.ports.constLast();
                if (port.lastUniverse >= 0)
                    nextUniverse = std::min(port.lastUniverse, greatestFirstUniverse - 1) + 1;
                for (const LumoWiredNode &node : port.nodes)
                    wired.extent.include(node.position);
                wired.nodeCount += int(port.nodes.size());
            }
        }
        all.extent.include(wired.extent);
        all.nodeCount += wired.nodeCount;
        all.interfaces.append(wired);
    }
    return all;
}

// The interfaces of a wiring that keepOnly keeps, with their extents and node counts recounted.
Wired keptOf(const QList<LumoWiredInterface> &interfaces, const QList<quint32> &uids, int port)
{
    Wired kept;
    for (LumoWiredInterface interface : interfaces) {
        if (!uids.isEmpty() && !uids.contains(interface.uid))
            continue;
        if (port > 0) {
            QList<LumoWiredPort> ports;
            for (const LumoWiredPort &wired : std::as_const(interface.ports)) {
                if (wired.port == port)
                    ports.append(wired);
            }
            interface.ports = ports;
            QList<LumoUnplacedFixture> unplaced;
            for (const LumoUnplacedFixture &fixture : std::as_const(interface.unplacedFixtures)) {
                if (fixture.port == port)
                    unplaced.append(fixture);
            }
            interface.unplacedFixtures = unplaced;
            interface.extent = LumoExtent();
            interface.nodeCount = 0;
            for (const LumoWiredPort &wired : std::as_const(interface.ports)) {
                for (const LumoWiredNode &node : wired.nodes)
                    interface.extent.include(node.position);
                interface.nodeCount += int(wired.nodes.size());
            }
        }
        kept.extent.include(interface.extent);
        kept.nodeCount += interface.nodeCount;
        kept.interfaces.append(interface);
    }
    return kept;
}

} // namespace

LumoWiring::LumoWiring(const LumoMapModel &model, const LumoWiringOptions &wiringOptions)
    : options(wiringOptions)
{
    try {
        normalise(options);
        Wired wired = wireMap(model, options);
        interfaces.swap(wired.interfaces);
        extent = wired.extent;
        nodeCount = int(std::min<qint64>(wired.nodeCount, INT_MAX));
    } catch (const std::exception &) {
        // Nothing was handed over: the wiring stays empty.
    }
}

QString LumoWiredInterface::description() const
{
    return QStringLiteral("interface %1 \"%2\"").arg(RecordKeys::hexKey(uid), record ? record->name : QString());
}

QList<quint32> LumoWiring::interfacesNamed(const QString &key) const
{
    QList<quint32> uids;
    for (const LumoWiredInterface &interface : interfaces) {
        if (RecordKeys::hexKey(interface.uid) == key.toLower() ||
            (interface.record && (interface.record->name.compare(key, Qt::CaseInsensitive) == 0 ||
                                  interface.record->ip == key)))
            uids.append(interface.uid);
    }
    return uids;
}

void LumoWiring::keepOnly(const QList<quint32> &uids, int port)
{
    Wired kept;
    try {
        kept = keptOf(interfaces, uids, port);
    } catch (const std::exception &) {
        kept = Wired(); // keeps nothing, as a wiring that ran out of memory holds nothing
    }
    interfaces.swap(kept.interfaces);
    extent = kept.extent;
    nodeCount = int(std::min<qint64>(kept.nodeCount, INT_MAX));
}
