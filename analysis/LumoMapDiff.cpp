#include "LumoMapDiff.h"

#include "MapFileCarriage.h"
#include "MapJsonForm.h"
#include "RecordFields.h"
#include "RecordKeys.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <type_traits>
#include <vector>

using namespace MapJsonForm;
using RecordFields::Field;

namespace {

// Whether two values of one field are the same in the JSON form: reals equal or both not a number, texts
// equal and both null or both not, colours of one name.
template <typename T> bool same(const T &left, const T &right)
{
    return left == right;
}
template <> bool same(const double &left, const double &right)
{
    return left == right || (std::isnan(left) && std::isnan(right));
}
template <> bool same(const QString &left, const QString &right)
{
    return left.isNull() == right.isNull() && left == right;
}
template <> bool same(const QColor &left, const QColor &right)
{
    return jsonValue(RecordFields::Colour, left) == jsonValue(RecordFields::Colour, right);
}

// The fixture template numbers one side of the comparison uses: a legacy import's templates numbered from
// 0 in ascending uid order, when asked for; the uids themselves otherwise.
class TemplateNumbers
{
public:
    TemplateNumbers(const LumoMapModel &model, bool fromZero)
    {
        if (!fromZero || model.fixturesByTemplate.isEmpty())
            return;
        for (const auto &entry : RecordKeys::inKeyOrder(model.fixtureTemplates))
            m_uids.push_back(entry.key);
    }
    quint32 operator()(quint32 uid) const
    {
        const auto at = std::lower_bound(m_uids.cbegin(), m_uids.cend(), uid);
        return at == m_uids.cend() || *at != uid ? uid : quint32(at - m_uids.cbegin());
    }

private:
    std::vector<quint32> m_uids;
};

// Where a value stands inside its record, as a chain that becomes text only for a difference:
// "outputs[0].fixtures[1].name".
struct Path
{
    const Path *parent;
    QLatin1String name; // a key, or
    std::size_t index;  // an element's place in a list, when `name` is empty

    QString text() const
    {
        const QString before = parent ? parent->text() : QString();
        if (name.size() == 0)
            return QStringLiteral("%1[%2]").arg(before).arg(index);
        return before.isEmpty() ? QString(name) : before + QLatin1Char('.') + name;
    }
};

// The record a difference belongs to; its LumoMapDifference is made only when there is a difference.
struct Owner
{
    QLatin1String kind;
    bool keyed;        // false for the header and the geometry
    bool decimalKey;   // a region's number; the other keys are hexadecimal
    quint32 key;
    const QString *name;

    LumoMapDifference difference(LumoMapDifference::Change change) const
    {
        if (!keyed)
            return {change, QString(kind), {}, {}, {}, QJsonValue(QJsonValue::Undefined), QJsonValue(QJsonValue::Undefined)};
        return {change,
                QString(kind),
                decimalKey ? RecordKeys::decimalKey(key) : RecordKeys::hexKey(key),
                *name,
                {},
                QJsonValue(QJsonValue::Undefined),
                QJsonValue(QJsonValue::Undefined)};
    }
};

// The elements of a list that the JSON form holds (null pointers are left out).
template <typename Element> std::vector<const Element *> present(const QList<Element *> &list)
{
    std::vector<const Element *> elements;
    elements.reserve(std::size_t(list.size()));
    for (const Element *element : list) {
        if (element)
            elements.push_back(element);
    }
    return elements;
}

class Comparer
{
public:
    Comparer(const LumoMapModel &oldMap, const LumoMapModel &newMap, const LumoMapDiffOptions &options,
             const std::function<void(const LumoMapDifference &)> &report)
        : m_old(oldMap), m_new(newMap), m_options(options), m_report(report),
          m_oldNumbers(oldMap, options.numberLegacyTemplatesFromZero()),
          m_newNumbers(newMap, options.numberLegacyTemplatesFromZero())
    {
    }

    void run()
    {
        const Owner header{QLatin1String("header"), false, false, 0, nullptr};
        for (const auto &field : RecordFields::headerFields) {
            if (m_options.compareSaveTime() || field.name != MapElement::SaveDateTime)
                compareField(header, nullptr, field, m_old, m_new);
        }
        const Owner geometry{QLatin1String("geometry"), false, false, 0, nullptr};
        compareObject(geometry, nullptr, Kind::Geometry, RecordFields::geometryFields, m_old, m_new);

        compareCollection(
            MapElement::FixtureTemplate, m_old.fixtureTemplates, m_new.fixtureTemplates,
            [](const LumoFixtureTemplate &record, const TemplateNumbers &numbers) { return numbers(record.uid); },
            [](const LumoFixtureTemplate &record, const TemplateNumbers &numbers) {
                return recordObject(record, numbers(record.uid));
            },
            [this](const Owner &owner, const LumoFixtureTemplate &left, const LumoFixtureTemplate &right) {
                compareObject(owner, nullptr, Kind::FixtureTemplate, RecordFields::fixtureTemplateFields, left, right,
                              [&](Child, const Path &path) { compareList(owner, path, left.nodelist, right.nodelist); });
            });
        compareCollection(
            MapElement::InterfaceTemplate, m_old.interfaceTemplates, m_new.interfaceTemplates,
            [](const LumoInterfaceTemplate &record, const TemplateNumbers &) { return record.uid; },
            [](const LumoInterfaceTemplate &record, const TemplateNumbers &numbers) {
                return recordObject(record, std::cref(numbers));
            },
            [this](const Owner &owner, const LumoInterfaceTemplate &left, const LumoInterfaceTemplate &right) {
                compareObject(owner, nullptr, Kind::InterfaceTemplate, RecordFields::interfaceTemplateFields, left,
                              right,
                              [&](Child, const Path &path) { compareList(owner, path, left.outputs, right.outputs); });
            });
        compareCollection(
            MapElement::Interface, m_old.interfaces, m_new.interfaces,
            [](const LumoInterface &record, const TemplateNumbers &) { return record.uid; },
            [](const LumoInterface &record, const TemplateNumbers &) { return recordObject(record); },
            [this](const Owner &owner, const LumoInterface &left, const LumoInterface &right) {
                compareObject(owner, nullptr, Kind::Interface, RecordFields::interfaceFields, left, right);
            });
        compareCollection(
            MapElement::Region, m_old.regions, m_new.regions,
            [](const LumoRegion &record, const TemplateNumbers &) { return record.number; },
            [](const LumoRegion &record, const TemplateNumbers &) { return recordObject(record); },
            [this](const Owner &owner, const LumoRegion &left, const LumoRegion &right) {
                compareObject(owner, nullptr, Kind::Region, RecordFields::regionFields, left, right);
            });
    }

private:
    void changed(const Owner &owner, const Path &path, QJsonValue oldValue, QJsonValue newValue)
    {
        LumoMapDifference difference = owner.difference(LumoMapDifference::Changed);
        difference.field = path.text();
        difference.oldValue = std::move(oldValue);
        difference.newValue = std::move(newValue);
        m_report(difference);
    }

    // One field of two records of one kind. A fixture template's uid and a fixture's templateid are
    // compared as each side numbers its templates.
    template <typename Record>
    void compareField(const Owner &owner, const Path *path, const Field<Record> &field, const Record &left,
                      const Record &right)
    {
        RecordFields::visit(field, left, [&](const auto &oldValue) {
            RecordFields::visit(field, right, [&](const auto &newValue) {
                using Old = std::decay_t<decltype(oldValue)>;
                using New = std::decay_t<decltype(newValue)>;
                if constexpr (std::is_same_v<Old, New>) {
                    const Path at{path, field.name, 0};
                    constexpr bool numbered = std::is_same_v<Record, LumoFixture> || std::is_same_v<Record, LumoFixtureTemplate>;
                    if constexpr (numbered && std::is_same_v<Old, quint32>) {
                        if (field.name == MapElement::TemplateId || field.name == MapElement::Uid) {
                            const quint32 oldNumber = m_oldNumbers(oldValue);
                            const quint32 newNumber = m_newNumbers(newValue);
                            if (oldNumber != newNumber)
                                changed(owner, at, jsonValue(field.encoding, oldNumber),
                                        jsonValue(field.encoding, newNumber));
                            return;
                        }
                    }
                    if (!same(oldValue, newValue))
                        changed(owner, at, jsonValue(field.encoding, oldValue), jsonValue(field.encoding, newValue));
                }
            });
        });
    }

    // Two records of one kind, their keys in name order; a child list goes to `children`.
    template <typename Record, std::size_t N, typename Children>
    void compareObject(const Owner &owner, const Path *path, Kind kind, const Field<Record> (&fields)[N],
                       const Record &left, const Record &right, Children &&children)
    {
        for (const Key &key : layout(kind).keys) {
            if (key.field >= 0)
                compareField(owner, path, fields[key.field], left, right);
            else
                children(key.child, Path{path, key.name, 0});
        }
    }
    template <typename Record, std::size_t N>
    void compareObject(const Owner &owner, const Path *path, Kind kind, const Field<Record> (&fields)[N],
                       const Record &left, const Record &right)
    {
        compareObject(owner, path, kind, fields, left, right, [](Child, const Path &) {});
    }

    void compareElements(const Owner &owner, const Path &path, const LumoNode &left, const LumoNode &right)
    {
        compareObject(owner, &path, Kind::Node, RecordFields::nodeFields, left, right);
    }
    void compareElements(const Owner &owner, const Path &path, const LumoFixture &left, const LumoFixture &right)
    {
        compareObject(owner, &path, Kind::Fixture, RecordFields::fixtureFields, left, right);
    }
    void compareElements(const Owner &owner, const Path &path, const LumoOutput &left, const LumoOutput &right)
    {
        compareObject(owner, &path, Kind::Output, RecordFields::outputFields, left, right,
                      [&](Child, const Path &fixtures) { compareList(owner, fixtures, left.fixtures, right.fixtures); });
    }

    QJsonValue whole(const LumoNode &node, const TemplateNumbers &) { return recordObject(node); }
    QJsonValue whole(const LumoFixture &fixture, const TemplateNumbers &numbers)
    {
        return recordObject(fixture, numbers(fixture.templateid));
    }
    QJsonValue whole(const LumoOutput &output, const TemplateNumbers &numbers)
    {
        return recordObject(output, std::cref(numbers));
    }

    // Two lists element by element; an element only one side has is one difference, whole. The JSON form
    // leaves null elements out, and so does the comparison.
    template <typename Element>
    void compareList(const Owner &owner, const Path &path, const QList<Element *> &left, const QList<Element *> &right)
    {
        if (left.contains(nullptr) || right.contains(nullptr)) {
            compareList(owner, path, present(left), present(right));
            return;
        }
        compareElementsOf(owner, path, left, right);
    }
    template <typename Element>
    void compareList(const Owner &owner, const Path &path, const std::vector<const Element *> &left,
                     const std::vector<const Element *> &right)
    {
        compareElementsOf(owner, path, left, right);
    }
    template <typename List> void compareElementsOf(const Owner &owner, const Path &path, const List &left, const List &right)
    {
        const std::size_t leftSize = std::size_t(left.size());
        const std::size_t rightSize = std::size_t(right.size());
        for (std::size_t i = 0; i < std::max(leftSize, rightSize); ++i) {
            const Path at{&path, QLatin1String(), i};
            if (i < leftSize && i < rightSize)
                compareElements(owner, at, *left[i], *right[i]);
            else if (i < leftSize)
                changed(owner, at, whole(*left[i], m_oldNumbers), QJsonValue(QJsonValue::Undefined));
            else
                changed(owner, at, QJsonValue(QJsonValue::Undefined), whole(*right[i], m_newNumbers));
        }
    }

    // The records of one collection by key, in ascending key order; of records that share a key the last
    // in key order of the collection counts, as in the form's arrays.
    template <typename Record, typename KeyOf>
    static std::vector<RecordKeys::KeyedRecord<Record>> byKey(const QHash<quint32, Record *> &records, KeyOf keyOf,
                                                              const TemplateNumbers &numbers)
    {
        std::vector<RecordKeys::KeyedRecord<Record>> keyed;
        for (const auto &entry : RecordKeys::inKeyOrder(records))
            keyed.push_back({keyOf(*entry.record, numbers), entry.record});
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto &left, const auto &right) { return left.key < right.key; });
        std::vector<RecordKeys::KeyedRecord<Record>> unique;
        for (std::size_t i = 0; i < keyed.size(); ++i) {
            if (i + 1 == keyed.size() || keyed[i + 1].key != keyed[i].key)
                unique.push_back(keyed[i]);
        }
        return unique;
    }

    template <typename Record, typename KeyOf, typename Whole, typename Compare>
    void compareCollection(QLatin1String kind, const QHash<quint32, Record *> &oldRecords,
                           const QHash<quint32, Record *> &newRecords, KeyOf keyOf, Whole whole, Compare compare)
    {
        const auto left = byKey(oldRecords, keyOf, m_oldNumbers);
        const auto right = byKey(newRecords, keyOf, m_newNumbers);
        const bool regions = kind == MapElement::Region;
        auto l = left.cbegin();
        auto r = right.cbegin();
        while (l != left.cend() || r != right.cend()) {
            const bool inOld = l != left.cend() && (r == right.cend() || l->key <= r->key);
            const bool inNew = r != right.cend() && (l == left.cend() || r->key <= l->key);
            const Record &named = inNew ? *r->record : *l->record;
            const Owner owner{kind, true, regions, inNew ? r->key : l->key, &named.name};
            if (inOld && inNew) {
                compare(owner, *l->record, *r->record);
            } else {
                LumoMapDifference difference =
                    owner.difference(inNew ? LumoMapDifference::Added : LumoMapDifference::Removed);
                if (inOld)
                    difference.oldValue = whole(*l->record, m_oldNumbers);
                else
                    difference.newValue = whole(*r->record, m_newNumbers);
                m_report(difference);
            }
            l += inOld;
            r += inNew;
        }
    }

    const LumoMapModel &m_old;
    const LumoMapModel &m_new;
    const LumoMapDiffOptions &m_options;
    const std::function<void(const LumoMapDifference &)> &m_report;
    const TemplateNumbers m_oldNumbers;
    const TemplateNumbers m_newNumbers;
};

const QLatin1String stoppedKind("map");

// The last difference of a comparison that ran out of memory: of kind "map", without key, field or
// values.
LumoMapDifference stopped()
{
    LumoMapDifference difference;
    difference.kind = stoppedKind;
    difference.oldValue = difference.newValue = QJsonValue(QJsonValue::Undefined);
    return difference;
}

} // namespace

QString LumoMapDiff::compactJson(const QJsonValue &value)
{
    if (value.isUndefined())
        return QStringLiteral("(none)");
    try {
        const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(text.mid(1, text.size() - 2));
    } catch (const std::exception &) {
        return QString();
    }
}

QString LumoMapDifference::line() const
{
    try {
        if (kind == stoppedKind && key.isEmpty())
            return QStringLiteral("~ map: not enough memory to compare the maps; "
                                  "the comparison stopped here");
        QString record = kind;
        if (!key.isEmpty())
            record += QLatin1Char(' ') + key + QStringLiteral(" \"") + name + QLatin1Char('"');
        switch (change) {
        case Added:
            return QStringLiteral("+ ") + record;
        case Removed:
            return QStringLiteral("- ") + record;
        case Changed:
            break;
        }
        return QStringLiteral("~ %1: %2: %3 -> %4")
            .arg(record, field, LumoMapDiff::compactJson(oldValue), LumoMapDiff::compactJson(newValue));
    } catch (const std::exception &) {
        return QString();
    }
}

void LumoMapDiff::forEachDifference(const LumoMapModel &oldMap, const LumoMapModel &newMap,
                                    const LumoMapDiffOptions &options,
                                    const std::function<void(const LumoMapDifference &)> &report)
{
    try {
        Comparer(oldMap, newMap, options, report).run();
    } catch (const std::exception &) {
        try {
            report(stopped());
        } catch (const std::exception &) {
            // Not even the difference that says so could be given.
        }
    }
}

void LumoMapDiff::forEachValueLostInMapFile(const LumoMapModel &map,
                                            const std::function<void(const LumoMapDifference &)> &report)
{
    std::unique_ptr<LumoMapModel> carried;
    try {
        // The usual case, a document that a map file carries whole, needs no copy.
        if (MapFileCarriage::carriesEveryValue(map))
            return;
        carried = std::make_unique<LumoMapModel>(map);
        MapFileCarriage::carryThroughMapFile(*carried);
    } catch (const std::exception &) {
        try {
            report(stopped());
        } catch (const std::exception &) {
            // Not even the difference that says so could be given.
        }
        return;
    }
    forEachDifference(map, *carried, LumoMapDiffOptions(), report);
}

QList<LumoMapDifference> LumoMapDiff::compare(const LumoMapModel &oldMap, const LumoMapModel &newMap,
                                              const LumoMapDiffOptions &options)
{
    QList<LumoMapDifference> stoppedHere;
    try {
        stoppedHere.append(stopped()); // made first, for when no memory is left
    } catch (const std::exception &) {
        return {};
    }
    QList<LumoMapDifference> differences;
    try {
        Comparer(oldMap, newMap, options,
                 [&differences](const LumoMapDifference &difference) { differences.append(difference); })
            .run();
        return differences;
    } catch (const std::exception &) {
    }
    try {
        differences.append(stoppedHere.constFirst());
        return differences;
    } catch (const std::exception &) {
        return stoppedHere;
    }
}
