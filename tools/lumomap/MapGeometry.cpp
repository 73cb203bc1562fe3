#include "MapGeometry.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>

#include <algorithm>

void Extent::include(const QPointF &point)
{
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

MapGeometry::MapGeometry(const LumoMapModel &model)
{
    QList<quint32> interfaceKeys = model.interfaces.keys();
    std::sort(interfaceKeys.begin(), interfaceKeys.end());

    for (quint32 key : interfaceKeys) {
        const LumoInterface *interface = model.interfaces.value(key);
        if (!interface)
            continue;
        PlacedInterface placed;
        placed.uid = key;
        placed.name = interface->name;
        placed.region = interface->region;

        const LumoInterfaceTemplate *interfaceTemplate =
            model.interfaceTemplates.value(interface->templateid);
        const QList<LumoOutput *> outputs =
            interfaceTemplate ? interfaceTemplate->outputs : QList<LumoOutput *>();
        const QPointF interfacePosition(interface->x, interface->y);
        for (const LumoOutput *output : outputs) {
            if (!output)
                continue;
            for (const LumoFixture *fixture : output->fixtures) {
                const LumoFixtureTemplate *fixtureTemplate =
                    fixture ? model.fixtureTemplates.value(fixture->templateid) : nullptr;
                if (!fixtureTemplate)
                    continue;
                const QPointF fixturePosition = interfacePosition + QPointF(fixture->x, fixture->y);
                for (const LumoNode *node : fixtureTemplate->nodelist) {
                    if (!node)
                        continue;
                    const QPointF position = fixturePosition + QPointF(node->x, node->y);
                    m_nodes.append(PlacedNode{position, key, interface->region, node->addr});
                    placed.extent.include(position);
                    ++placed.nodeCount;
                    m_extent.include(position);
                }
            }
        }
        m_interfaces.append(placed);
    }
}
