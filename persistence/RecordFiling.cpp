#include "RecordFiling.h"

#include "HashRoom.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"

#include <algorithm>
#include <new>

namespace RecordFiling {

namespace {

// Makes sure that `size` more elements fit into `list` without a new allocation, growing it
// geometrically, so that filing stays linear.
template <typename T> void reserveMore(std::vector<T> &list, size_t size)
{
    if (list.capacity() - list.size() < size)
        list.reserve(std::max(list.size() + size, list.capacity() * 2));
}

size_t fixtureCount(const LumoInterfaceTemplate &interfaceTemplate)
{
    size_t count = 0;
    for (const LumoOutput *output : interfaceTemplate.outputs)
        count += output ? size_t(output->fixtures.size()) : 0;
    return count;
}

// Reserves what release() needs for `previous` once it is displaced.
template <typename Record> void reserveForRelease(const Record &, DisplacedRecords &) {}
void reserveForRelease(const LumoInterfaceTemplate &previous, DisplacedRecords &displaced)
{
    reserveMore(displaced.fixtures, fixtureCount(previous));
}

template <typename Record>
void insertDisplacing(QHash<quint32, Record *> &hash, quint32 key, Record *record, std::vector<Record *> &list,
                      DisplacedRecords &displaced)
{
    auto it = hash.find(key);
    if (it == hash.end()) {
        HashRoom::ensureRoomToInsert(hash);
        hash.insert(key, record);
        return;
    }
    Record *previous = it.value();
    if (previous && previous != record) {
        // Everything that may need memory comes before the hash changes.
        reserveMore(list, 1);
        if (displaced.marks.capacity() < list.size() + 1)
            displaced.marks.reserve(list.capacity());
        reserveForRelease(*previous, displaced);
        list.push_back(previous);
    }
    it.value() = record;
}

// Leaves in `list` only the records that `hash` no longer holds under any key, each once, in
// address order.
template <typename Record>
void keepOnlyUnheld(std::vector<Record *> &list, const QHash<quint32, Record *> &hash,
                    std::vector<unsigned char> &marks)
{
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    marks.assign(list.size(), 0); // within the reserved capacity
    for (Record *held : hash) {
        const auto at = std::lower_bound(list.begin(), list.end(), held);
        if (at != list.end() && *at == held)
            marks[size_t(at - list.begin())] = 1;
    }
    size_t kept = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!marks[i])
            list[kept++] = list[i];
    }
    list.resize(kept);
}

// Removes every entry of `index` whose value `dead` accepts, whatever key it stands under. False
// when the index, shared with a copy, could not get the memory to detach.
template <typename Index, typename Dead> bool removeEntriesWhere(Index &index, Dead dead) noexcept
{
    try {
        for (auto it = index.begin(); it != index.end();) {
            if (dead(it.value()))
                it = index.erase(it);
            else
                ++it;
        }
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Removes every entry of `index` whose value is one of `dead` (in address order).
template <typename Index, typename Record>
bool removeEntriesPointingAt(Index &index, const std::vector<Record *> &dead) noexcept
{
    return removeEntriesWhere(index, [&](const Record *record) {
        return std::binary_search(dead.begin(), dead.end(), record);
    });
}

// Whether `fixture` hangs on an output of one of `templates`. Needs no memory, at the cost of a walk
// over all their fixtures.
bool heldByOneOf(const std::vector<LumoInterfaceTemplate *> &templates, const LumoFixture *fixture)
{
    for (const LumoInterfaceTemplate *interfaceTemplate : templates) {
        for (const LumoOutput *output : interfaceTemplate->outputs) {
            if (output && output->fixtures.contains(const_cast<LumoFixture *>(fixture)))
                return true;
        }
    }
    return false;
}

template <typename Record> void destroy(std::vector<Record *> &records)
{
    for (Record *record : records)
        delete record;
    records.clear();
}

} // namespace

void fileRegion(LumoMapModel &model, LumoRegion *region, DisplacedRecords &displaced)
{
    insertDisplacing(model.regions, region->number, region, displaced.regions, displaced);
}

void fileFixtureTemplate(LumoMapModel &model, LumoFixtureTemplate *fixtureTemplate,
                         DisplacedRecords &displaced)
{
    insertDisplacing(model.fixtureTemplates, fixtureTemplate->uid, fixtureTemplate,
                     displaced.fixtureTemplates, displaced);
}

void fileInterfaceTemplate(LumoMapModel &model, LumoInterfaceTemplate *interfaceTemplate,
                           DisplacedRecords &displaced)
{
    insertDisplacing(model.interfaceTemplates, interfaceTemplate->uid, interfaceTemplate,
                     displaced.interfaceTemplates, displaced);
}

void fileInterface(LumoMapModel &model, LumoInterface *interface, bool byOrder, DisplacedRecords &displaced)
{
    if (!byOrder) {
        insertDisplacing(model.interfaces, interface->uid, interface, displaced.interfaces, displaced);
        return;
    }
    const auto entry = model.interfacesByOrder.insert(interface->order, interface);
    try {
        insertDisplacing(model.interfaces, interface->uid, interface, displaced.interfaces, displaced);
    } catch (...) {
        model.interfacesByOrder.erase(entry); // the interface stays with the caller
        throw;
    }
}

void release(LumoMapModel &model, DisplacedRecords &displaced) noexcept
{
    if (!displaced.regions.empty()) {
        keepOnlyUnheld(displaced.regions, model.regions, displaced.marks);
        destroy(displaced.regions);
    }
    if (!displaced.fixtureTemplates.empty()) {
        keepOnlyUnheld(displaced.fixtureTemplates, model.fixtureTemplates, displaced.marks);
        destroy(displaced.fixtureTemplates);
    }
    if (!displaced.interfaces.empty()) {
        keepOnlyUnheld(displaced.interfaces, model.interfaces, displaced.marks);
        if (removeEntriesPointingAt(model.interfacesByOrder, displaced.interfaces))
            destroy(displaced.interfaces);
        displaced.interfaces.clear();
    }
    if (!displaced.interfaceTemplates.empty()) {
        keepOnlyUnheld(displaced.interfaceTemplates, model.interfaceTemplates, displaced.marks);
        // Their fixtures die with them; the legacy indexes must not keep pointing at them.
        std::vector<const LumoFixture *> &deadFixtures = displaced.fixtures;
        deadFixtures.clear();
        bool unlinked = true;
        for (const LumoInterfaceTemplate *interfaceTemplate : displaced.interfaceTemplates) {
            // The room was reserved when the template was displaced; a template that gained
            // fixtures since then needs more.
            if (deadFixtures.capacity() - deadFixtures.size() < fixtureCount(*interfaceTemplate)) {
                try {
                    reserveMore(deadFixtures, fixtureCount(*interfaceTemplate));
                } catch (const std::bad_alloc &) {
                    unlinked = false;
                    break;
                }
            }
            for (const LumoOutput *output : interfaceTemplate->outputs) {
                if (!output)
                    continue;
                for (const LumoFixture *fixture : output->fixtures) {
                    if (fixture)
                        deadFixtures.push_back(fixture);
                }
            }
        }
        if (unlinked && !deadFixtures.empty()) {
            std::sort(deadFixtures.begin(), deadFixtures.end());
            unlinked = removeEntriesPointingAt(model.fixturesByTemplate, deadFixtures);
            for (LumoInterface *interface : std::as_const(model.interfaces)) {
                if (unlinked && interface && !interface->fixturesByTemplate.isEmpty())
                    unlinked = removeEntriesPointingAt(interface->fixturesByTemplate, deadFixtures);
            }
        } else if (!unlinked) {
            // No memory for the list: each index entry is looked for among the templates' fixtures.
            const auto dead = [&](const LumoFixture *fixture) {
                return heldByOneOf(displaced.interfaceTemplates, fixture);
            };
            unlinked = removeEntriesWhere(model.fixturesByTemplate, dead);
            for (LumoInterface *interface : std::as_const(model.interfaces)) {
                if (unlinked && interface && !interface->fixturesByTemplate.isEmpty())
                    unlinked = removeEntriesWhere(interface->fixturesByTemplate, dead);
            }
        }
        deadFixtures.clear();
        if (unlinked)
            destroy(displaced.interfaceTemplates);
        displaced.interfaceTemplates.clear();
    }
}

} // namespace RecordFiling
