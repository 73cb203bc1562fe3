#ifndef LUMOMAPDIFF_H
#define LUMOMAPDIFF_H

/// \file
/// Record-level differences between two maps.

#include "lumomap_export.h"

#include <QJsonValue>
#include <QList>
#include <QSharedDataPointer>
#include <QString>

#include <functional>

class LumoMapDiffOptionsData;
class LumoMapModel;

/// One difference between two maps.
struct LUMOMAP_EXPORT LumoMapDifference
{
    /// What changed.
    enum Change
    {
        Added,   ///< A record only the new map has.
        Removed, ///< A record only the old map has.
        Changed, ///< A field whose value differs.
    };

    Change change = Changed; ///< What changed.
    /// "header", "geometry", "fixturetemplate", "interfacetemplate", "interface" or "region"; "map"
    /// (with no key, field or values) for the last difference of a comparison that ran out of
    /// memory, which says so.
    QString kind;
    QString key;  ///< The record's key as the map file writes it; empty for the header and geometry.
    QString name; ///< The record's name, from the new map where it has the record.
    /// The path of the field inside the record as in the JSON form, e.g. "nodelist[2].x"; empty for
    /// a whole record. An element of a list that only one side has is one difference, whole.
    QString field;
    QJsonValue oldValue; ///< The old value in its JSON form; undefined where the old map has nothing.
    QJsonValue newValue; ///< The new value in its JSON form; undefined where the new map has nothing.

    /// The difference as one line: `+ KIND KEY "NAME"`, `- KIND KEY "NAME"`, or
    /// `~ KIND KEY "NAME": FIELD: OLD -> NEW` with the values as compact JSON; for kind "map",
    /// `~ map: not enough memory to compare the maps; ...`. Empty when memory runs out.
    QString line() const;
};

/// What LumoMapDiff compares, a value class: copies are cheap and independent, and options added
/// later change neither its size nor its layout.
class LUMOMAP_EXPORT LumoMapDiffOptions
{
public:
    /// Save times left out, legacy templates compared by their own uids.
    LumoMapDiffOptions();
    /// A copy of `other`.
    LumoMapDiffOptions(const LumoMapDiffOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoMapDiffOptions(LumoMapDiffOptions &&other) noexcept;
    /// Makes this a copy of `other`.
    LumoMapDiffOptions &operator=(const LumoMapDiffOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoMapDiffOptions &operator=(LumoMapDiffOptions &&other) noexcept;
    /// Destroys the options.
    ~LumoMapDiffOptions();

    /// Whether `savedatetime` is compared too; false by default, since every save changes it.
    bool compareSaveTime() const;
    /// Sets whether `savedatetime` is compared.
    void setCompareSaveTime(bool compareSaveTime);

    /// Whether the fixture templates of a legacy import are numbered from 0, in ascending uid order,
    /// as a process that imports the map first numbers them; false by default. A legacy import takes
    /// its uids from a process-wide counter, so one legacy map loaded twice gets other uids each time.
    /// A document counts as a legacy import when its `fixturesByTemplate` index is filled, which only
    /// the legacy import does.
    bool numberLegacyTemplatesFromZero() const;
    /// Sets whether the fixture templates of a legacy import are numbered from 0.
    void setNumberLegacyTemplatesFromZero(bool numberLegacyTemplatesFromZero);

private:
    QSharedDataPointer<LumoMapDiffOptionsData> d;
};

/// Compares two maps record by record by key.
class LUMOMAP_EXPORT LumoMapDiff
{
public:
    /// The differences between `oldMap` and `newMap`: the header fields, the canvas geometry, then
    /// fixture templates, interface templates, interfaces and regions, each in ascending key order;
    /// within a record the fields in the order of their names, lists element by element. Empty when
    /// the maps hold the same values. Should memory run out, the differences found so far and one of
    /// kind "map" that says the comparison stopped (that one alone when even the others do not fit).
    static QList<LumoMapDifference> compare(const LumoMapModel &oldMap, const LumoMapModel &newMap,
                                            const LumoMapDiffOptions &options = LumoMapDiffOptions());
    /// The same differences, in the same order, each passed to `report` as soon as it is found instead of
    /// being collected: the records are compared where they stand, field by field, so the comparison
    /// holds nothing beyond the difference at hand. Should memory run out, or `report` throw, the
    /// comparison stops and `report` gets one last difference of kind "map" that says so; no
    /// exception leaves the function.
    static void forEachDifference(const LumoMapModel &oldMap, const LumoMapModel &newMap,
                                  const LumoMapDiffOptions &options,
                                  const std::function<void(const LumoMapDifference &)> &report);
    /// The values of `map` that a map file cannot carry, each as a difference between `map` (old) and
    /// what a map file written from it reads back as (new), in the order of forEachDifference(): reals
    /// beyond six significant digits, text with white space at either end, an empty text whose field
    /// has a default, a colour's alpha, an invalid colour. Worked out in memory, without writing or
    /// reading a file. The version and the save time, which every save writes anew, are not among
    /// them. Should memory run out, `report` gets one last difference of kind "map" that says so; no
    /// exception leaves the function.
    static void forEachValueLostInMapFile(const LumoMapModel &map,
                                          const std::function<void(const LumoMapDifference &)> &report);
    /// A JSON value as compact text, as LumoMapDifference::line() shows it; "(none)" when undefined,
    /// empty when memory runs out.
    static QString compactJson(const QJsonValue &value);
};

#endif // LUMOMAPDIFF_H
