#include "PostLoadCalculation.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "RecordKeys.h"

#include <vector>

namespace PostLoadCalculation {

namespace {

// The fixtures a legacy interface indexes, in the order of its template's ports.
QList<LumoFixture *> fixturesInPortOrder(const LumoMapModel &model, const LumoInterface &interface)
{
    QSet<LumoFixture *> indexed;
    for (LumoFixture *fixture : interface.fixturesByTemplate) {
        if (fixture)
            indexed.insert(fixture);
    }
    QList<LumoFixture *> ordered;
    ordered.reserve(indexed.size());
    if (const LumoInterfaceTemplate *ports = model.interfaceTemplates.value(interface.templateid)) {
        for (const LumoOutput *output : ports->outputs) {
            if (!output)
                continue;
            for (LumoFixture *fixture : output->fixtures) {
                if (indexed.remove(fixture))
                    ordered.append(fixture);
            }
        }
    }
    // Indexed fixtures that no port of the template holds follow in key order.
    for (const auto &entry : RecordKeys::inKeyOrder(interface.fixturesByTemplate)) {
        if (indexed.remove(entry.record))
            ordered.append(entry.record);
    }
    return ordered;
}

} // namespace

void placeFixtureAtNodes(LumoFixture *fixture, LumoFixtureTemplate *fixtureTemplate)
{
    if (!fixture || !fixtureTemplate || fixtureTemplate->nodelist.isEmpty())
        return;
    const LumoNode *first = fixtureTemplate->nodelist.constFirst();
    if (first) {
        fixture->x = first->x;
        fixture->y = first->y;
    }
    // The least x and the least y are found independently and may come from different nodes.
    for (const LumoNode *node : std::as_const(fixtureTemplate->nodelist)) {
        if (!node)
            continue;
        if (node->x <= fixture->x)
            fixture->x = node->x;
        if (node->y <= fixture->y)
            fixture->y = node->y;
    }
    for (LumoNode *node : std::as_const(fixtureTemplate->nodelist)) {
        if (!node)
            continue;
        node->x -= fixture->x;
        node->y -= fixture->y;
    }
}

namespace {

// The keys of `hash`. QHash::keys() writes into a list it may have failed to allocate; this throws
// std::bad_alloc instead when memory runs out.
template <typename Hash> std::vector<quint32> keysOf(const Hash &hash)
{
    std::vector<quint32> keys;
    keys.reserve(std::size_t(hash.size()));
    for (auto it = hash.keyBegin(); it != hash.keyEnd(); ++it)
        keys.push_back(*it);
    return keys;
}

} // namespace

void placeLegacyImport(LumoMapModel &model, const QSet<const LumoInterface *> &interfaces,
                       const QSet<const LumoFixture *> &fixtures)
{
    if (fixtures.isEmpty())
        return;

    // Everything that needs memory is gathered before the first position changes, so that running
    // out of memory leaves every position as it was.
    const std::vector<quint32> templateKeys = keysOf(model.fixtureTemplates);
    const std::vector<quint32> interfaceKeys = keysOf(model.interfaces);
    QList<QPair<LumoInterface *, QList<LumoFixture *>>> placements;
    for (const quint32 key : interfaceKeys) {
        LumoInterface *target = model.interfaces.value(key);
        if (target && interfaces.contains(target))
            placements.append({target, fixturesInPortOrder(model, *target)});
    }

    // Phase 1: every used legacy fixture of this parse takes the least position of its template's
    // nodes. Each fixture depends on its own template alone, so the order of the walk is free.
    for (const quint32 key : templateKeys) {
        LumoFixture *fixture = model.fixturesByTemplate.value(key);
        if (fixture && fixture->used && fixtures.contains(fixture))
            placeFixtureAtNodes(fixture, model.fixtureTemplates.value(key));
    }

    // Phase 2: each interface of this parse moves to the least position of its used fixtures, and
    // those fixtures become relative to it. While the interface still stands exactly at (0, 0), the
    // next used fixture sets it to its own position; that rule depends on the order of the visit,
    // which is port order.
    for (const auto &[target, placed] : std::as_const(placements)) {
        for (const LumoFixture *fixture : placed) {
            if (!fixture->used)
                continue;
            if (target->x == 0.0 && target->y == 0.0) {
                target->x = fixture->x;
                target->y = fixture->y;
            }
            if (fixture->x <= target->x)
                target->x = fixture->x;
            if (fixture->y <= target->y)
                target->y = fixture->y;
        }
        for (LumoFixture *fixture : placed) {
            if (!fixture->used)
                continue;
            fixture->x -= target->x;
            fixture->y -= target->y;
        }
    }
}

} // namespace PostLoadCalculation
