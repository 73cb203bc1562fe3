#ifndef UNIVERSESHARING_H
#define UNIVERSESHARING_H

// Not part of the public API: the checks' grouping of universes that several interfaces send to.

#include <QList>
#include <QPair>

#include <vector>

class LumoWiring;

namespace UniverseSharing {

// Interfaces (their uids, ascending) that send to the same universes, with those universes as
// ascending, separate ranges (first, last).
struct Group
{
    QList<quint32> uids;
    QList<QPair<qint64, qint64>> universes;
};

// Every set of two or more interfaces whose ports' universe ranges (from the first to the last
// universe a port's nodes occupy) overlap, in ascending order of their first shared universe. A
// sweep over the ranges' ends: the work grows with the number of ports, not of universes.
std::vector<Group> groups(const LumoWiring &wiring);

} // namespace UniverseSharing

#endif // UNIVERSESHARING_H
