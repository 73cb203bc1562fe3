#ifndef FRAMECHECK_H
#define FRAMECHECK_H

// What the frame tests and the frame fuzz target share: small maps made from a stream of choices, and
// the patch list's word on where each channel of a frame lands, held against a LumoFrame.

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoFrame.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoWiring.h>

#include <QMap>
#include <QPair>

#include <functional>

namespace FrameCheck {

// A choice from `least` to `most`, both included.
using Choose = std::function<int(int least, int most)>;

// A map of a few controllers, ports, fixtures and nodes whose numbers stay near the universe bounds
// (addresses around 510 and 512, channel counts 0 to 9 and now and then 600, uni 0 to 3), and wiring
// options to match.
inline LumoWiringOptions buildMap(LumoMapModel &map, const Choose &choose)
{
    const int templateCount = choose(1, 3);
    for (int t = 1; t <= templateCount; ++t) {
        auto *fixtureTemplate = new LumoFixtureTemplate;
        fixtureTemplate->uid = quint32(t);
        for (int n = choose(0, 4); n > 0; --n) {
            const int channels = choose(0, 20) == 0 ? 600 : choose(0, 9);
            fixtureTemplate->nodelist.append(new LumoNode{0, 0, choose(-1, 520), false, channels, 0});
        }
        map.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
    }
    for (int c = choose(1, 3); c > 0; --c) {
        auto *ports = new LumoInterfaceTemplate;
        ports->uid = quint32(0x100 + c);
        for (int p = choose(0, 3); p > 0; --p) {
            ports->outputs.append(new LumoOutput{quint8(ports->outputs.size() + 1), 0, {}, true});
            for (int f = choose(0, 4); f > 0; --f) {
                auto *fixture = new LumoFixture;
                fixture->templateid = quint32(choose(1, templateCount + 1)); // now and then none
                fixture->baseaddr = choose(0, 3) == 0 ? choose(-5, 1100) : 0;
                ports->outputs.last()->fixtures.append(fixture);
            }
        }
        map.interfaceTemplates.insert(ports->uid, ports);
        auto *interface = new LumoInterface;
        interface->uid = interface->templateid = ports->uid;
        interface->uni = quint32(choose(0, 3));
        interface->ip = QStringLiteral("127.0.0.%1").arg(c);
        map.interfaces.insert(interface->uid, interface);
    }
    LumoWiringOptions options;
    options.setUniverseSize(choose(0, 8) == 0 ? choose(-2, 600) : (choose(0, 1) ? 510 : 512));
    options.setStartUniverse(choose(-1, 3));
    options.setChannelsPerNode(choose(1, 5));
    return options;
}

// Where each channel of each node goes by the patch list: node n's channel k lies k channels after its
// first one, counting on into the next universes. Keyed by (interface uid, universe), the values a
// frame holds once each node's channels are set to valueOf(n, k) in wiring order.
using Universes = QMap<QPair<quint32, qint64>, QByteArray>;

// What differs between `frame`, set through setNode() from valueOf, and the patch list's universes;
// empty when nothing does. A frame must be invalid exactly when a universe size above 512 or a
// universe above 65535 is asked for.
inline QString difference(const LumoWiring &wiring, LumoFrame &frame, const std::function<quint8(int, int)> &valueOf)
{
    const int size = std::max(wiring.options.universeSize(), 1);
    Universes expected;
    bool sendable = size <= 512;
    int index = 0;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            for (const LumoWiredNode &node : port.nodes) {
                for (int k = 0; node.universe >= 0 && k < node.channels && sendable; ++k) {
                    const qint64 universe = node.universe + (node.channel - 1 + qint64(k)) / size;
                    sendable = universe <= 65535;
                    QByteArray &channels = expected[{interface.uid, universe}];
                    if (channels.isEmpty())
                        channels = QByteArray(size, '\0');
                    channels[int((node.channel - 1 + qint64(k)) % size)] = char(valueOf(index, k));
                }
                ++index;
            }
        }
    }
    if (frame.isValid() != sendable)
        return QStringLiteral("frame valid: %1, expected %2 (%3)").arg(frame.isValid()).arg(sendable).arg(frame.errorString());
    if (!sendable)
        return QString();
    if (frame.nodeCount() != index)
        return QStringLiteral("%1 nodes, expected %2").arg(frame.nodeCount()).arg(index);
    for (int n = 0; n < frame.nodeCount(); ++n) {
        QByteArray values;
        for (int k = 0; k < frame.nodeChannels(n); ++k)
            values.append(char(valueOf(n, k)));
        frame.setNode(n, reinterpret_cast<const quint8 *>(values.constData()), int(values.size()));
    }
    Universes held;
    for (int u = 0; u < frame.universeCount(); ++u) {
        const QByteArray data = frame.universeData(u);
        if (data.count('\0') != data.size())
            held.insert({frame.universeInterface(u), frame.universeNumber(u)}, data);
    }
    for (auto it = expected.begin(); it != expected.end();) // universes whose values are all zero
        it = it.value().count('\0') == it.value().size() ? expected.erase(it) : std::next(it);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (held.value(it.key()) != it.value())
            return QStringLiteral("interface %1 universe %2 differs").arg(it.key().first, 0, 16).arg(it.key().second);
    }
    if (held.size() != expected.size())
        return QStringLiteral("the frame sets %1 universes, the patch list %2").arg(held.size()).arg(expected.size());
    return QString();
}

} // namespace FrameCheck

#endif // FRAMECHECK_H
