#include "RecordFiling.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"

#include <algorithm>

namespace RecordFiling {

namespace {

// Inserts `record` under `key` and returns the record it displaced, or null when there was none or
// when the displaced record is still held by the hash under another key (and so must live on).
template <typename Record>
Record *insertDisplacing(QHash<quint32, Record *> &hash, quint32 key, Record *record)
{
    auto it = hash.find(key);
    if (it == hash.end()) {
        hash.insert(key, record);
        return nullptr;
    }
    Record *displaced = it.value();
    it.value() = record;
    if (!displaced || displaced == record)
        return nullptr;
    const bool heldElsewhere = std::any_of(hash.cbegin(), hash.cend(),
                                           [displaced](const Record *held) { return held == displaced; });
    return heldElsewhere ? nullptr : displaced;
}

void removeFixture(QHash<quint32, LumoFixture *> &index, const LumoFixture *fixture)
{
    auto it = index.find(fixture->templateid);
    if (it != index.end() && it.value() == fixture) {
        index.erase(it);
        return;
    }
    // The fixture's templateid changed after it was indexed: look at every entry.
    for (it = index.begin(); it != index.end();) {
        if (it.value() == fixture)
            it = index.erase(it);
        else
            ++it;
    }
}

void removeFromOrderIndex(QMultiMap<qint32, LumoInterface *> &index, LumoInterface *interface)
{
    if (index.remove(interface->order, interface) > 0)
        return;
    // Its order changed after it was indexed.
    for (auto it = index.begin(); it != index.end();) {
        if (it.value() == interface)
            it = index.erase(it);
        else
            ++it;
    }
}

} // namespace

void fileRegion(LumoMapModel &model, LumoRegion *region)
{
    delete insertDisplacing(model.regions, region->number, region);
}

void fileFixtureTemplate(LumoMapModel &model, LumoFixtureTemplate *fixtureTemplate)
{
    delete insertDisplacing(model.fixtureTemplates, fixtureTemplate->uid, fixtureTemplate);
}

void fileInterfaceTemplate(LumoMapModel &model, LumoInterfaceTemplate *interfaceTemplate)
{
    LumoInterfaceTemplate *displaced =
        insertDisplacing(model.interfaceTemplates, interfaceTemplate->uid, interfaceTemplate);
    if (!displaced)
        return;
    // Its fixtures die with it; the legacy indexes must not keep pointing at them.
    QList<const LumoFixture *> dying;
    for (const LumoOutput *output : std::as_const(displaced->outputs)) {
        if (output)
            dying += QList<const LumoFixture *>(output->fixtures.cbegin(), output->fixtures.cend());
    }
    for (const LumoFixture *fixture : std::as_const(dying)) {
        if (fixture && !model.fixturesByTemplate.isEmpty())
            removeFixture(model.fixturesByTemplate, fixture);
    }
    for (LumoInterface *interface : std::as_const(model.interfaces)) {
        if (!interface || interface->fixturesByTemplate.isEmpty())
            continue;
        for (const LumoFixture *fixture : std::as_const(dying)) {
            if (fixture)
                removeFixture(interface->fixturesByTemplate, fixture);
        }
    }
    delete displaced;
}

void fileInterface(LumoMapModel &model, LumoInterface *interface, bool byOrder)
{
    LumoInterface *displaced = insertDisplacing(model.interfaces, interface->uid, interface);
    if (displaced) {
        removeFromOrderIndex(model.interfacesByOrder, displaced);
        delete displaced;
    }
    if (byOrder)
        model.interfacesByOrder.insert(interface->order, interface);
}

} // namespace RecordFiling
