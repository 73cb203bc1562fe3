#include "WiringOrder.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>

#include <algorithm>
#include <cmath>

void Extent::include(const QPointF &point)
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

void Extent::include(const Extent &other)
{
    if (other.empty)
        return;
    include(QPointF(other.minX, other.minY));
    include(QPointF(other.maxX, other.maxY));
}

qint64 channelAddress(qint32 baseaddr, qint32 addr)
{
    return std::max<qint64>(baseaddr, 1) + addr - 1;
}

namespace {

WiredPort wirePort(const LumoMapModel &model, const LumoOutput &output, const QPointF &interfacePosition)
{
    WiredPort port{output.portnum, {}};
    for (const LumoFixture *fixture : output.fixtures) {
        const LumoFixtureTemplate *fixtureTemplate =
            fixture ? model.fixtureTemplates.value(fixture->templateid) : nullptr;
        if (!fixtureTemplate)
            continue;
        const QPointF fixturePosition = interfacePosition + QPointF(fixture->x, fixture->y);
        for (const LumoNode *node : fixtureTemplate->nodelist) {
            if (!node)
                continue;
            port.nodes.append(WiredNode{fixture, node, int(port.nodes.size()) + 1,
                                        channelAddress(fixture->baseaddr, node->addr),
                                        fixturePosition + QPointF(node->x, node->y)});
        }
    }
    return port;
}

} // namespace

MapWiring wiringOf(const LumoMapModel &model)
{
    QList<quint32> keys = model.interfaces.keys();
    std::sort(keys.begin(), keys.end());

    MapWiring wiring;
    for (quint32 key : keys) {
        const LumoInterface *interface = model.interfaces.value(key);
        if (!interface)
            continue;
        WiredInterface wired{key, interface, {}, {}, 0};
        const LumoInterfaceTemplate *interfaceTemplate =
            model.interfaceTemplates.value(interface->templateid);
        if (interfaceTemplate) {
            for (const LumoOutput *output : interfaceTemplate->outputs) {
                if (!output)
                    continue;
                wired.ports.append(wirePort(model, *output, QPointF(interface->x, interface->y)));
                for (const WiredNode &node : wired.ports.constLast().nodes)
                    wired.extent.include(node.position);
                wired.nodeCount += wired.ports.constLast().nodes.size();
            }
        }
        wiring.extent.include(wired.extent);
        wiring.nodeCount += wired.nodeCount;
        wiring.interfaces.append(wired);
    }
    return wiring;
}
