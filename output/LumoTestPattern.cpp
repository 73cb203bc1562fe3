#include "LumoTestPattern.h"

#include "LumoFrame.h"
#include "LumoFrame_p.h"

#include <algorithm>
#include <new>

class LumoTestPatternData : public QSharedData
{
public:
    LumoTestPattern::Kind kind = LumoTestPattern::Chase;
    int node = 1;
    int level = 255;
    QList<quint32> interfaces;
    int port = 0;
};

namespace {

const char *const kindNames[] = {"node", "chase", "fill", "ports", "colors", "level", "off"};

// The ports of the frame the pattern lights: those selected that hold nodes.
std::vector<const FramePort *> selectedPorts(const LumoFramePrivate &frame, const LumoTestPatternData &pattern)
{
    std::vector<const FramePort *> ports;
    for (const FramePort &port : frame.ports) {
        const quint32 uid = frame.interfaces.at(port.interfaceIndex).uid;
        if (port.nodeCount > 0 && (pattern.interfaces.isEmpty() || pattern.interfaces.contains(uid))
            && (pattern.port <= 0 || port.port == pattern.port))
            ports.push_back(&port);
    }
    return ports;
}

// The node of a chain that a chase or node pattern lights at `step` (0 or more) on `port`, from 0; -1
// for none. Each port's chase runs its own cycle, so that every step lights the next node of every chain.
int litNode(const LumoTestPatternData &pattern, const FramePort &port, int step)
{
    if (pattern.kind == LumoTestPattern::Node)
        return pattern.node <= port.nodeCount ? pattern.node - 1 : -1;
    return step % port.nodeCount;
}

QString portLabel(const LumoFramePrivate &frame, const FramePort &port)
{
    return QStringLiteral("%1 port %2").arg(frame.interfaces.at(port.interfaceIndex).name).arg(port.port);
}

QString placeOf(const FrameNode &node)
{
    if (node.offset < 0)
        return QStringLiteral("in no universe");
    return QStringLiteral("universe %1 channel %2").arg(node.universe).arg(node.channel);
}

QString morePorts(size_t count)
{
    return count > 1 ? QStringLiteral(" (and %1 more port%2)").arg(count - 1).arg(QLatin1String(count > 2 ? "s" : "")) : QString();
}

} // namespace

LumoTestPattern::LumoTestPattern() : d(new LumoTestPatternData) {}
LumoTestPattern::LumoTestPattern(const LumoTestPattern &other) = default;
LumoTestPattern &LumoTestPattern::operator=(const LumoTestPattern &other) = default;
LumoTestPattern::~LumoTestPattern() = default;

LumoTestPattern::Kind LumoTestPattern::kind() const { return d->kind; }
void LumoTestPattern::setKind(Kind kind) { d->kind = std::clamp(kind, Node, Off); }

QString LumoTestPattern::kindName(Kind kind)
{
    return QString::fromLatin1(kindNames[std::clamp(kind, Node, Off)]);
}

bool LumoTestPattern::kindFromName(const QString &name, Kind &kind)
{
    for (int i = Node; i <= Off; ++i) {
        if (name == QLatin1String(kindNames[i])) {
            kind = Kind(i);
            return true;
        }
    }
    return false;
}

int LumoTestPattern::node() const { return d->node; }
void LumoTestPattern::setNode(int node) { d->node = std::max(node, 1); }
int LumoTestPattern::level() const { return d->level; }
void LumoTestPattern::setLevel(int level) { d->level = std::clamp(level, 0, 255); }
QList<quint32> LumoTestPattern::interfaces() const { return d->interfaces; }
void LumoTestPattern::setInterfaces(const QList<quint32> &uids) { d->interfaces = uids; }
int LumoTestPattern::port() const { return d->port; }
void LumoTestPattern::setPort(int port) { d->port = std::max(port, 0); }

namespace {

int stepsOf(const LumoFramePrivate &layout, const LumoTestPatternData *d)
{
    using Kind = LumoTestPattern::Kind;
    int steps = 1;
    for (const FramePort *port : selectedPorts(layout, *d)) {
        if (d->kind == Kind::Chase || d->kind == Kind::Fill)
            steps = std::max(steps, port->nodeCount);
        if (d->kind == Kind::Colors) {
            for (int i = 0; i < port->nodeCount; ++i) {
                const FrameNode &node = layout.nodes[size_t(port->firstNode + i)];
                if (node.offset >= 0)
                    steps = std::max(steps, node.channels);
            }
        }
    }
    return steps;
}

void lightStep(LumoFrame &frame, const LumoTestPatternData *d, int step)
{
    using Kind = LumoTestPattern::Kind;
    const int steps = stepsOf(LumoFramePrivate::of(frame), d);
    const int at = (step % steps + steps) % steps;
    const quint8 level = quint8(d->level);
    const quint8 dim = quint8(std::max(d->level / 8, 1));
    LumoFramePrivate &layout = LumoFramePrivate::of(frame);
    for (const FramePort *port : selectedPorts(layout, *d)) {
        const int first = port->firstNode;
        switch (d->kind) {
        case Kind::Node:
        case Kind::Chase: {
            const int lit = litNode(*d, *port, std::max(step, 0));
            if (lit >= 0)
                frame.setNodeLevel(first + lit, level);
            break;
        }
        case Kind::Fill:
            for (int i = 0; i <= std::min(at, port->nodeCount - 1); ++i)
                frame.setNodeLevel(first + i, level);
            break;
        case Kind::Ports:
            for (int i = 0; i < port->nodeCount; ++i)
                frame.setNodeLevel(first + i, i < port->port ? level : dim);
            break;
        case Kind::Colors:
            for (int i = 0; i < port->nodeCount; ++i) {
                const FrameNode &node = layout.nodes[size_t(first + i)];
                if (node.offset >= 0 && at < node.channels)
                    layout.data[size_t(node.offset + at)] = level;
            }
            break;
        case Kind::Level:
            for (int i = 0; i < port->nodeCount; ++i)
                frame.setNodeLevel(first + i, level);
            break;
        case Kind::Off:
            break;
        }
    }
}

QString describeStep(const LumoFramePrivate &layout, const LumoTestPatternData *d, int step)
{
    using Kind = LumoTestPattern::Kind;
    const std::vector<const FramePort *> ports = selectedPorts(layout, *d);
    if (d->kind == Kind::Off)
        return QStringLiteral("everything off");
    if (ports.empty())
        return QStringLiteral("no nodes on the selected ports");
    const int steps = stepsOf(layout, d);
    const int at = (step % steps + steps) % steps;
    const FramePort &port = *ports.front();
    const QString more = morePorts(ports.size());
    switch (d->kind) {
    case Kind::Node:
    case Kind::Chase: {
        const int lit = litNode(*d, port, std::max(step, 0));
        if (lit < 0)
            return QStringLiteral("%1: no node %2, it has %3%4").arg(portLabel(layout, port)).arg(d->node)
                .arg(port.nodeCount).arg(more);
        return QStringLiteral("%1: node %2 of %3, %4%5")
            .arg(portLabel(layout, port)).arg(lit + 1).arg(port.nodeCount)
            .arg(placeOf(layout.nodes[size_t(port.firstNode + lit)]), more);
    }
    case Kind::Fill: {
        const int last = std::min(at, port.nodeCount - 1);
        return QStringLiteral("%1: nodes 1-%2 of %3, the last at %4%5")
            .arg(portLabel(layout, port)).arg(last + 1).arg(port.nodeCount)
            .arg(placeOf(layout.nodes[size_t(port.firstNode + last)]), more);
    }
    case Kind::Ports:
        return QStringLiteral("on port P the first P nodes lit, the rest dim: %1: %2 nodes lit of %3%4")
            .arg(portLabel(layout, port)).arg(std::min(port.port, port.nodeCount)).arg(port.nodeCount).arg(more);
    case Kind::Colors:
        return QStringLiteral("channel %1 of every node at %2 (%3 port%4)")
            .arg(at + 1).arg(d->level).arg(ports.size()).arg(QLatin1String(ports.size() > 1 ? "s" : ""));
    case Kind::Level:
        return QStringLiteral("every node at %1 (%2 port%3)")
            .arg(d->level).arg(ports.size()).arg(QLatin1String(ports.size() > 1 ? "s" : ""));
    case Kind::Off:
        break;
    }
    return QString();
}

} // namespace

// Each entry point guards against running out of memory: a pattern lights nothing rather than throw.
int LumoTestPattern::stepCount(const LumoFrame &frame) const
{
    try {
        return stepsOf(LumoFramePrivate::of(frame), d.constData());
    } catch (const std::bad_alloc &) {
        return 1;
    }
}

int LumoTestPattern::portCount(const LumoFrame &frame) const
{
    try {
        return int(selectedPorts(LumoFramePrivate::of(frame), *d).size());
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

void LumoTestPattern::apply(LumoFrame &frame, int step) const
{
    frame.clear();
    try {
        lightStep(frame, d.constData(), step);
    } catch (const std::bad_alloc &) {
        frame.clear(); // nothing half lit
    }
}

QString LumoTestPattern::describe(const LumoFrame &frame, int step) const
{
    try {
        return describeStep(LumoFramePrivate::of(frame), d.constData(), step);
    } catch (const std::bad_alloc &) {
        return QString();
    }
}
