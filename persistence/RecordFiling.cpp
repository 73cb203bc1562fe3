#include "RecordFiling.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"

#include <QSet>

namespace RecordFiling {

namespace {

template <typename Record>
void insertDisplacing(QHash<quint32, Record *> &hash, quint32 key, Record *record, QList<Record *> &displaced)
{
    auto it = hash.find(key);
    if (it == hash.end()) {
        hash.insert(key, record);
        return;
    }
    Record *previous = it.value();
    it.value() = record;
    if (previous && previous != record)
        displaced.append(previous);
}

// The displaced records that `hash` no longer holds under any key: those are to be destroyed.
template <typename Record>
QSet<Record *> noLongerHeld(const QHash<quint32, Record *> &hash, const QList<Record *> &displaced)
{
    QSet<Record *> dead(displaced.cbegin(), displaced.cend());
    for (Record *held : hash) {
        if (dead.remove(held) && dead.isEmpty())
            break;
    }
    return dead;
}

// Removes every entry of `index` whose value is one of `dead`, whatever key it stands under.
template <typename Index, typename Record>
void removeEntriesPointingAt(Index &index, const QSet<Record *> &dead)
{
    for (auto it = index.begin(); it != index.end();) {
        if (dead.contains(it.value()))
            it = index.erase(it);
        else
            ++it;
    }
}

} // namespace

void fileRegion(LumoMapModel &model, LumoRegion *region, DisplacedRecords &displaced)
{
    insertDisplacing(model.regions, region->number, region, displaced.regions);
}

void fileFixtureTemplate(LumoMapModel &model, LumoFixtureTemplate *fixtureTemplate,
                         DisplacedRecords &displaced)
{
    insertDisplacing(model.fixtureTemplates, fixtureTemplate->uid, fixtureTemplate,
                     displaced.fixtureTemplates);
}

void fileInterfaceTemplate(LumoMapModel &model, LumoInterfaceTemplate *interfaceTemplate,
                           DisplacedRecords &displaced)
{
    insertDisplacing(model.interfaceTemplates, interfaceTemplate->uid, interfaceTemplate,
                     displaced.interfaceTemplates);
}

void fileInterface(LumoMapModel &model, LumoInterface *interface, bool byOrder, DisplacedRecords &displaced)
{
    insertDisplacing(model.interfaces, interface->uid, interface, displaced.interfaces);
    if (byOrder)
        model.interfacesByOrder.insert(interface->order, interface);
}

void release(LumoMapModel &model, DisplacedRecords &displaced)
{
    if (!displaced.regions.isEmpty()) {
        qDeleteAll(noLongerHeld(model.regions, displaced.regions));
        displaced.regions.clear();
    }
    if (!displaced.fixtureTemplates.isEmpty()) {
        qDeleteAll(noLongerHeld(model.fixtureTemplates, displaced.fixtureTemplates));
        displaced.fixtureTemplates.clear();
    }
    if (!displaced.interfaces.isEmpty()) {
        const QSet<LumoInterface *> dead = noLongerHeld(model.interfaces, displaced.interfaces);
        if (!dead.isEmpty()) {
            removeEntriesPointingAt(model.interfacesByOrder, dead);
            qDeleteAll(dead);
        }
        displaced.interfaces.clear();
    }
    if (!displaced.interfaceTemplates.isEmpty()) {
        const QSet<LumoInterfaceTemplate *> dead =
            noLongerHeld(model.interfaceTemplates, displaced.interfaceTemplates);
        // Their fixtures die with them; the legacy indexes must not keep pointing at them.
        QSet<const LumoFixture *> deadFixtures;
        for (const LumoInterfaceTemplate *interfaceTemplate : dead) {
            for (const LumoOutput *output : interfaceTemplate->outputs) {
                if (!output)
                    continue;
                for (const LumoFixture *fixture : output->fixtures) {
                    if (fixture)
                        deadFixtures.insert(fixture);
                }
            }
        }
        if (!deadFixtures.isEmpty()) {
            removeEntriesPointingAt(model.fixturesByTemplate, deadFixtures);
            for (LumoInterface *interface : std::as_const(model.interfaces)) {
                if (interface && !interface->fixturesByTemplate.isEmpty())
                    removeEntriesPointingAt(interface->fixturesByTemplate, deadFixtures);
            }
        }
        qDeleteAll(dead);
        displaced.interfaceTemplates.clear();
    }
}

} // namespace RecordFiling
