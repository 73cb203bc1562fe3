#include "LumoFrame.h"

#include "LumoFrame_p.h"
#include "LumoInterface.h"
#include "LumoWiring.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The greatest universe a frame holds: no protocol carries more than 16 bits of universe, and the
// bound keeps a node of absurd channelCount from asking for gigabytes.
constexpr qint64 greatestUniverse = 65535;
// The most channels one packet carries.
constexpr int greatestUniverseSize = 512;

// A run of consecutive universes of one interface, and the block of the data its first one takes.
struct UniverseRun
{
    qint64 first = 0;
    qint64 last = 0;
    int firstBlock = 0;
};

} // namespace

void LumoFramePrivate::build(const LumoWiring &wiring)
{
    universeSize = std::max(wiring.options.universeSize(), 1);
    if (universeSize > greatestUniverseSize) {
        error = QStringLiteral("a universe of %1 channels does not fit a packet, which carries at most 512")
                    .arg(universeSize);
        universeSize = 1;
        return;
    }
    for (const LumoWiredInterface &wired : wiring.interfaces) {
        const int interfaceIndex = int(interfaces.size());
        interfaces.append({wired.uid, wired.record ? wired.record->name : QString(),
                           wired.record ? wired.record->ip : QString()});
        // Every interval of universes one of the interface's nodes occupies.
        std::vector<UniverseRun> runs;
        const size_t firstNodeOfInterface = nodes.size();
        for (const LumoWiredPort &port : wired.ports) {
            const int portIndex = int(ports.size());
            ports.push_back({interfaceIndex, port.port, int(nodes.size()), int(port.nodes.size())});
            for (const LumoWiredNode &node : port.nodes) {
                FrameNode place;
                place.portIndex = portIndex;
                place.chainNumber = node.chainNumber;
                place.channels = std::max(node.channels, 0);
                if (node.universe >= 0 && place.channels > 0) {
                    place.universe = node.universe;
                    place.channel = node.channel;
                    const qint64 last = node.universe + (qint64(node.channel) - 1 + place.channels - 1) / universeSize;
                    if (last > greatestUniverse) {
                        error = QStringLiteral("%1 uses universe %2, beyond the greatest universe any protocol carries (%3)")
                                    .arg(interfaces.constLast().label())
                                    .arg(last)
                                    .arg(greatestUniverse);
                        return;
                    }
                    runs.push_back({node.universe, last, 0});
                }
                if (node.fixture) {
                    FrameFixtureNodes &fixture = fixtureNodes[node.fixture];
                    if (fixture.count == 0)
                        fixture.first = int(nodes.size());
                    ++fixture.count;
                }
                nodes.push_back(place);
            }
        }
        // Merge the intervals into runs of consecutive universes, each a run of consecutive blocks.
        std::sort(runs.begin(), runs.end(), [](const UniverseRun &a, const UniverseRun &b) { return a.first < b.first; });
        std::vector<UniverseRun> merged;
        for (const UniverseRun &run : runs) {
            if (!merged.empty() && run.first <= merged.back().last + 1)
                merged.back().last = std::max(merged.back().last, run.last);
            else
                merged.push_back(run);
        }
        for (UniverseRun &run : merged) {
            run.firstBlock = int(universes.size());
            for (qint64 universe = run.first; universe <= run.last; ++universe)
                universes.push_back({interfaceIndex, universe});
        }
        for (size_t i = firstNodeOfInterface; i < nodes.size(); ++i) {
            FrameNode &place = nodes[i];
            if (place.universe < 0)
                continue;
            const auto run = std::upper_bound(merged.begin(), merged.end(), place.universe,
                                              [](qint64 universe, const UniverseRun &r) { return universe < r.first; }) - 1;
            place.offset = (run->firstBlock + (place.universe - run->first)) * qint64(universeSize) + place.channel - 1;
        }
    }
    data.assign(universes.size() * size_t(universeSize), 0);
    nodeSlots.reserve(nodes.size());
    for (const FrameNode &node : nodes)
        nodeSlots.push_back({node.offset, node.channels});
    nodeCount = int(nodes.size());
}

LumoFrame::LumoFrame(const LumoWiring &wiring) : d(new LumoFramePrivate)
{
    try {
        d->build(wiring);
    } catch (const std::bad_alloc &) {
        *d = LumoFramePrivate();
        d->error = QStringLiteral("not enough memory for the frame");
    }
    if (!d->error.isEmpty()) {
        // An invalid frame holds nothing, so that nothing of it is ever sent.
        const QString error = d->error;
        *d = LumoFramePrivate();
        d->error = error;
    }
}

namespace {

// A copy of `frame`, or an invalid frame when memory runs out.
std::unique_ptr<LumoFramePrivate> copyOf(const LumoFramePrivate &frame)
{
    try {
        return std::make_unique<LumoFramePrivate>(frame);
    } catch (const std::bad_alloc &) {
        auto invalid = std::make_unique<LumoFramePrivate>();
        invalid->error = QStringLiteral("not enough memory for the frame");
        return invalid;
    }
}

} // namespace

LumoFrame::LumoFrame(const LumoFrame &other) : d(copyOf(*other.d)) {}

LumoFrame &LumoFrame::operator=(const LumoFrame &other)
{
    if (this != &other)
        d = copyOf(*other.d);
    return *this;
}

LumoFrame::~LumoFrame() = default;

bool LumoFrame::isValid() const
{
    return d->error.isEmpty();
}

QString LumoFrame::errorString() const
{
    return d->error;
}

int LumoFrame::nodeCount() const
{
    return int(d->nodes.size());
}

int LumoFrame::nodeIndex(quint32 interfaceUid, int port, int chainNumber) const
{
    for (const FramePort &wired : d->ports) {
        if (wired.port == port && d->interfaces.at(wired.interfaceIndex).uid == interfaceUid)
            return chainNumber >= 1 && chainNumber <= wired.nodeCount ? wired.firstNode + chainNumber - 1 : -1;
    }
    return -1;
}

int LumoFrame::nodeIndex(const LumoFixture *fixture, int node) const
{
    const FrameFixtureNodes nodes = d->fixtureNodes.value(fixture);
    return node >= 0 && node < nodes.count ? nodes.first + node : -1;
}

int LumoFrame::nodeChannels(int index) const
{
    if (index < 0 || size_t(index) >= d->nodes.size() || d->nodes[size_t(index)].offset < 0)
        return 0;
    return d->nodes[size_t(index)].channels;
}

namespace {

// Copies a node's values; the three channels of an RGB node, by far the most common, in one step.
inline void copyChannels(quint8 *to, const quint8 *from, int count)
{
    if (count == 3) {
        std::memcpy(to, from, 3);
        return;
    }
    for (int i = 0; i < count; ++i)
        to[i] = from[i];
}

} // namespace

bool LumoFrame::setNode(int index, const quint8 *values, int count)
{
    if (uint(index) >= uint(d->nodeCount))
        return false;
    const NodeSlot &node = d->nodeSlots[size_t(index)];
    if (node.offset < 0)
        return false;
    copyChannels(d->data.data() + node.offset, values, int(std::min<qint64>(count, node.channels)));
    return true;
}

bool LumoFrame::setNodeLevel(int index, quint8 level)
{
    if (index < 0 || size_t(index) >= d->nodes.size())
        return false;
    const FrameNode &node = d->nodes[size_t(index)];
    if (node.offset < 0)
        return false;
    std::fill_n(d->data.data() + node.offset, node.channels, level);
    return true;
}

void LumoFrame::setNodes(int first, int nodeCount, const quint8 *values, int valuesPerNode)
{
    if (valuesPerNode < 1 || nodeCount < 1)
        return;
    const qint64 begin = std::max(first, 0);
    const qint64 end = std::min<qint64>(qint64(first) + nodeCount, qint64(d->nodeCount));
    const NodeSlot *node = d->nodeSlots.data() + begin;
    const quint8 *from = values + (begin - first) * valuesPerNode;
    quint8 *data = d->data.data();
    for (qint64 i = begin; i < end; ++i, ++node, from += valuesPerNode) {
        if (node->offset < 0)
            continue;
        copyChannels(data + node->offset, from, int(std::min<qint64>(valuesPerNode, node->channels)));
    }
}

void LumoFrame::clear()
{
    std::fill(d->data.begin(), d->data.end(), quint8(0));
}

int LumoFrame::universeCount() const
{
    return int(d->universes.size());
}

quint32 LumoFrame::universeInterface(int index) const
{
    if (index < 0 || size_t(index) >= d->universes.size())
        return 0;
    return d->interfaces.at(d->universes[size_t(index)].interfaceIndex).uid;
}

qint64 LumoFrame::universeNumber(int index) const
{
    if (index < 0 || size_t(index) >= d->universes.size())
        return -1;
    return d->universes[size_t(index)].number;
}

int LumoFrame::universeIndex(quint32 interfaceUid, qint64 universe) const
{
    for (size_t i = 0; i < d->universes.size(); ++i) {
        const FrameUniverse &candidate = d->universes[i];
        if (candidate.number == universe && d->interfaces.at(candidate.interfaceIndex).uid == interfaceUid)
            return int(i);
    }
    return -1;
}

QByteArray LumoFrame::universeData(int index) const
{
    if (index < 0 || size_t(index) >= d->universes.size())
        return QByteArray();
    try {
        return QByteArray(reinterpret_cast<const char *>(d->universeBytes(index)), d->universeSize);
    } catch (const std::bad_alloc &) {
        return QByteArray();
    }
}

int LumoFrame::universeSize() const
{
    return d->universeSize;
}
