#ifndef LUMOMAPDIFFREPORT_H
#define LUMOMAPDIFFREPORT_H

/// \file
/// The differences between two maps written out as text or JSON, as `lumomap diff` prints them.

#include "lumomap_export.h"

#include <QString>

class LumoMapModel;
class LumoMapDiffOptions;
class QIODevice;

/// Writes the differences LumoMapDiff finds to a device as each is found, so that a comparison of large
/// maps never holds the list whole.
class LUMOMAP_EXPORT LumoMapDiffReport
{
public:
    /// Writes the differences as text: nothing at all when the maps are the same, else the lines
    /// `--- OLDNAME` and `+++ NEWNAME`, one LumoMapDifference::line() per difference and the line
    /// `A records added, R removed, C fields changed`. `equal`, when given, tells whether the maps are
    /// the same. False when the device refused some of it or memory ran out.
    static bool writeText(QIODevice &device, const LumoMapModel &oldMap, const LumoMapModel &newMap,
                          const LumoMapDiffOptions &options, const QString &oldName, const QString &newName,
                          bool *equal = nullptr);

    /// Writes the differences as JSON in the layout of QJsonDocument's indented text:
    /// `{"differences": [...], "equal": ..., "new": NEWNAME, "old": OLDNAME}`, each difference an object
    /// with `change` ("added", "removed" or "changed"), `field` (where there is one), `key` and `name`
    /// (where there is a key), `new` and `old` (where that side has a value) and `record` (its kind).
    /// `equal`, when given, tells whether the maps are the same. False when the device refused some of it
    /// or memory ran out.
    static bool writeJson(QIODevice &device, const LumoMapModel &oldMap, const LumoMapModel &newMap,
                          const LumoMapDiffOptions &options, const QString &oldName, const QString &newName,
                          bool *equal = nullptr);
};

#endif // LUMOMAPDIFFREPORT_H
