#include "LumoFixtureTemplate.h"

void LumoFixtureTemplate::getBounds(double &minX, double &minY, double &maxX, double &maxY) const
{
    if (nodelist.isEmpty()) {
        minX = minY = maxX = maxY = 0.0;
        return;
    }
    // The search starts from fixed limits, so a box never reaches inside them: a lone node beyond
    // 1000000.0 still reports 1000000.0 as its least value.
    minX = minY = 1000000.0;
    maxX = maxY = -1000000.0;
    for (const LumoNode *node : nodelist) {
        if (!node)
            continue;
        if (node->x < minX)
            minX = node->x;
        if (node->y < minY)
            minY = node->y;
        if (node->x > maxX)
            maxX = node->x;
        if (node->y > maxY)
            maxY = node->y;
    }
}
