#include "RecordFiling.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"

#include <algorithm>

namespace RecordFiling {

// How often each record is held by each collection of the model, for the collections counted so far.
struct FilingScope::State
{
    enum Collection
    {
        Regions,
        FixtureTemplates,
        InterfaceTemplates,
        Interfaces,
        CollectionCount
    };

    const LumoMapModel *model = nullptr;
    State *enclosing = nullptr;
    QHash<const void *, int> holds[CollectionCount];
    bool counted[CollectionCount] = {};
};

namespace {

thread_local FilingScope::State *activeScope = nullptr;

using Collection = FilingScope::State::Collection;

// The hold counts of `hash`, counted now if this is the first need for them, or null when no scope
// is open for `model`.
template <typename Record>
QHash<const void *, int> *holdCounts(const LumoMapModel &model, const QHash<quint32, Record *> &hash,
                                     Collection collection)
{
    FilingScope::State *scope = activeScope;
    if (!scope || scope->model != &model)
        return nullptr;
    QHash<const void *, int> &holds = scope->holds[collection];
    if (!scope->counted[collection]) {
        for (const Record *held : hash) {
            if (held)
                ++holds[held];
        }
        scope->counted[collection] = true;
    }
    return &holds;
}

// Inserts `record` under `key` and returns the record it displaced, or null when there was none or
// when the displaced record is still held by the hash under another key (and so must live on).
// `holds`, when given, are the hash's hold counts, kept up to date here.
template <typename Record>
Record *insertDisplacing(QHash<quint32, Record *> &hash, quint32 key, Record *record,
                         QHash<const void *, int> *holds)
{
    auto it = hash.find(key);
    Record *displaced = nullptr;
    if (it == hash.end()) {
        hash.insert(key, record);
    } else {
        displaced = it.value();
        it.value() = record;
    }
    if (holds && record)
        ++(*holds)[record];
    if (!displaced || displaced == record) {
        if (holds && displaced)
            --(*holds)[displaced];
        return nullptr;
    }
    bool heldElsewhere = false;
    if (holds) {
        auto count = holds->find(displaced);
        if (count != holds->end() && --count.value() > 0)
            heldElsewhere = true;
        else if (count != holds->end())
            holds->erase(count);
    } else {
        heldElsewhere = std::any_of(hash.cbegin(), hash.cend(),
                                    [displaced](const Record *held) { return held == displaced; });
    }
    return heldElsewhere ? nullptr : displaced;
}

// Displacement only needs the counts when the key is taken; a first filing under a new key needs
// them only if the hash was counted already.
template <typename Record>
Record *insertDisplacing(const LumoMapModel &model, QHash<quint32, Record *> &hash, quint32 key,
                         Record *record, Collection collection)
{
    QHash<const void *, int> *holds = nullptr;
    FilingScope::State *scope = activeScope;
    if (scope && scope->model == &model && (scope->counted[collection] || hash.contains(key)))
        holds = holdCounts(model, hash, collection);
    return insertDisplacing(hash, key, record, holds);
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
    delete insertDisplacing(model, model.regions, region->number, region, Collection::Regions);
}

void fileFixtureTemplate(LumoMapModel &model, LumoFixtureTemplate *fixtureTemplate)
{
    delete insertDisplacing(model, model.fixtureTemplates, fixtureTemplate->uid, fixtureTemplate,
                            Collection::FixtureTemplates);
}

void fileInterfaceTemplate(LumoMapModel &model, LumoInterfaceTemplate *interfaceTemplate)
{
    LumoInterfaceTemplate *displaced =
        insertDisplacing(model, model.interfaceTemplates, interfaceTemplate->uid, interfaceTemplate,
                         Collection::InterfaceTemplates);
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
    LumoInterface *displaced =
        insertDisplacing(model, model.interfaces, interface->uid, interface, Collection::Interfaces);
    if (displaced) {
        removeFromOrderIndex(model.interfacesByOrder, displaced);
        delete displaced;
    }
    if (byOrder)
        model.interfacesByOrder.insert(interface->order, interface);
}

FilingScope::FilingScope(const LumoMapModel &model) : m_state(new State)
{
    m_state->model = &model;
    m_state->enclosing = activeScope;
    activeScope = m_state;
}

FilingScope::~FilingScope()
{
    activeScope = m_state->enclosing;
    delete m_state;
}

} // namespace RecordFiling
