#include "UniverseSharing.h"

#include "LumoWiring.h"

#include <algorithm>
#include <map>

namespace UniverseSharing {

namespace {

// A port's range opens at its first universe and closes after its last one.
struct Edge
{
    qint64 universe;
    bool opens;
    quint32 uid;
};

// The first universe any node of the port lies in: its first address may lie in none.
qint64 firstUniverse(const LumoWiredPort &port)
{
    if (port.firstUniverse >= 0)
        return port.firstUniverse;
    qint64 first = -1;
    for (const LumoWiredNode &node : port.nodes) {
        if (node.universe >= 0 && (first < 0 || node.universe < first))
            first = node.universe;
    }
    return first;
}

} // namespace

std::vector<Group> groups(const LumoWiring &wiring)
{
    std::vector<Edge> edges;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            const qint64 first = firstUniverse(port);
            if (first < 0 || port.lastUniverse < first)
                continue;
            edges.push_back({first, true, interface.uid});
            edges.push_back({port.lastUniverse + 1, false, interface.uid});
        }
    }
    // At one universe, ranges close before others open: touching ranges do not overlap.
    std::sort(edges.begin(), edges.end(), [](const Edge &a, const Edge &b) {
        return a.universe != b.universe ? a.universe < b.universe : a.opens < b.opens;
    });

    std::map<quint32, int> open; // the interfaces sending at the sweep's place, with their open ranges
    std::map<QList<quint32>, size_t> groupOf;
    std::vector<Group> result;
    for (size_t i = 0; i < edges.size(); ++i) {
        const Edge &edge = edges[i];
        // insert() rather than operator[]: the library exports nothing of the standard library's.
        const auto place = open.insert({edge.uid, 0}).first;
        place->second += edge.opens ? 1 : -1;
        if (place->second == 0)
            open.erase(place);
        if (open.size() < 2 || i + 1 == edges.size() || edges[i + 1].universe == edge.universe)
            continue;
        // The universes from here to the next edge are shared by the open interfaces.
        const qint64 first = edge.universe;
        const qint64 last = edges[i + 1].universe - 1;
        QList<quint32> uids;
        for (const auto &entry : open)
            uids.append(entry.first);
        const auto [found, inserted] = groupOf.insert({uids, result.size()});
        if (inserted)
            result.push_back({uids, {}});
        QList<QPair<qint64, qint64>> &universes = result[found->second].universes;
        if (!universes.isEmpty() && universes.last().second + 1 == first)
            universes.last().second = last;
        else
            universes.append({first, last});
    }
    return result;
}

} // namespace UniverseSharing
