// Ownership of the document's records: deep copies whose indexes point at the copy's own records,
// and destruction that frees every owned record exactly once.

#include "LumoMapModel.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoRegion.h"

#include <QSet>

#include <utility>

namespace {

// Copies every record of an owning hash. A record held under two keys is copied once, so the copy
// holds it twice as the source does; `copies` remembers which copy stands for which source record.
template<typename Record>
QHash<quint32, Record *> copyOwned(const QHash<quint32, Record *> &source, QHash<const Record *, Record *> &copies)
{
    QHash<quint32, Record *> result;
    result.reserve(source.size());
    for (auto it = source.cbegin(); it != source.cend(); ++it) {
        Record *copy = nullptr;
        if (it.value()) {
            copy = copies.value(it.value());
            if (!copy) {
                copy = new Record(*it.value());
                copies.insert(it.value(), copy);
            }
        }
        result.insert(it.key(), copy);
    }
    return result;
}

// An index entry points at the copy of the record it pointed at. An entry that points at nothing the
// source owns (a record of the host's, which the index does not own either) is kept as it was.
template<typename Record>
Record *mapped(Record *record, const QHash<const Record *, Record *> &copies)
{
    return copies.value(record, record);
}

template<typename Record>
void deleteOwned(const QHash<quint32, Record *> &records)
{
    const QList<Record *> all = records.values();
    const QSet<Record *> distinct(all.cbegin(), all.cend());
    for (Record *record : distinct)
        delete record;
}

} // namespace

void LumoMapModel::copyRecordsFrom(const LumoMapModel &other)
{
    QHash<const LumoRegion *, LumoRegion *> regionCopies;
    QHash<const LumoFixtureTemplate *, LumoFixtureTemplate *> fixtureTemplateCopies;
    QHash<const LumoInterfaceTemplate *, LumoInterfaceTemplate *> interfaceTemplateCopies;
    QHash<const LumoInterface *, LumoInterface *> interfaceCopies;

    regions = copyOwned(other.regions, regionCopies);
    fixtureTemplates = copyOwned(other.fixtureTemplates, fixtureTemplateCopies);
    interfaceTemplates = copyOwned(other.interfaceTemplates, interfaceTemplateCopies);
    interfaces = copyOwned(other.interfaces, interfaceCopies);

    // A copied interface template has the same outputs and fixtures, position by position, as its
    // source; that pairs every source fixture with its copy.
    QHash<const LumoFixture *, LumoFixture *> fixtureCopies;
    for (auto it = interfaceTemplateCopies.cbegin(); it != interfaceTemplateCopies.cend(); ++it) {
        const QList<LumoOutput *> &sourceOutputs = it.key()->outputs;
        const QList<LumoOutput *> &copiedOutputs = it.value()->outputs;
        for (int o = 0; o < sourceOutputs.size(); ++o) {
            if (!sourceOutputs.at(o))
                continue;
            const QList<LumoFixture *> &sourceFixtures = sourceOutputs.at(o)->fixtures;
            const QList<LumoFixture *> &copiedFixtures = copiedOutputs.at(o)->fixtures;
            for (int f = 0; f < sourceFixtures.size(); ++f) {
                if (sourceFixtures.at(f))
                    fixtureCopies.insert(sourceFixtures.at(f), copiedFixtures.at(f));
            }
        }
    }

    fixturesByTemplate = other.fixturesByTemplate;
    for (auto it = fixturesByTemplate.begin(); it != fixturesByTemplate.end(); ++it)
        it.value() = mapped(it.value(), fixtureCopies);

    interfacesByOrder = other.interfacesByOrder;
    for (auto it = interfacesByOrder.begin(); it != interfacesByOrder.end(); ++it)
        it.value() = mapped(it.value(), interfaceCopies);

    for (LumoInterface *copy : std::as_const(interfaceCopies)) {
        for (auto it = copy->fixturesByTemplate.begin(); it != copy->fixturesByTemplate.end(); ++it)
            it.value() = mapped(it.value(), fixtureCopies);
    }
}

void LumoMapModel::deleteRecords()
{
    deleteOwned(regions);
    deleteOwned(fixtureTemplates);
    deleteOwned(interfaceTemplates);
    deleteOwned(interfaces);
    regions.clear();
    fixtureTemplates.clear();
    fixturesByTemplate.clear();
    interfaceTemplates.clear();
    interfaces.clear();
    interfacesByOrder.clear();
}
