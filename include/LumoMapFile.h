#ifndef LUMOMAPFILE_H
#define LUMOMAPFILE_H

/// \file
/// Opening any map file a host meets: a current map file, a legacy map or the JSON form of a map.

#include "lumomap_export.h"

#include <QString>

class LumoMapModel;

/// Opens a file of any of the three kinds of map, finds out which it is, and says what the file is when
/// it is no map.
///
/// A file is read as the JSON form (LumoMapJson::read()) when its name ends in `.json` or, for a
/// regular file, when its first character other than white space (and a byte order mark) is `{`; any
/// other file is read as XML with
/// LumoMapModel::loadFromFile(), which takes the current map file (root `<lumomap>`) and the legacy map
/// (root `<map>`, with the post-load calculation; LumoMapModel::translateOldCoordinatesToNew applies).
///
/// On failure the model's lastError says why, as one line that names no file, and
/// LumoMapModel::lastErrorLine() and lastErrorColumn() give the place where one is known:
/// - "File does not exist.", "Is a directory.", or why the file cannot be opened ("Permission
///   denied.");
/// - "the file is empty";
/// - "not XML: " and what the XML reader found, with its place: "not XML: error occurred while
///   parsing element at line 1, column 1" (the XML fails before its first element; a file whose XML
///   declaration names an encoding the file is not written in is named so);
/// - "not a map file: its root element is <html>; expected <lumomap> or <map>";
/// - for a map that fails to load, LumoMapModel's message with the place where the load stopped:
///   "Unable to parse file: characters: 1O (line 27, column 8)", "Unable to parse file: endElement:
///   mapname (line 2, column 1: unexpected end of file)";
/// - for JSON, LumoMapJson's message: "line 3, column 14: missing name separator",
///   "regions[1].number: expected a whole number from 0 to 4294967295".
///
/// The records read before a failure stay in the model, as with every load.
class LUMOMAP_EXPORT LumoMapFile
{
public:
    /// What a file holds.
    enum Format
    {
        Unknown, ///< no map: the file is missing, cannot be read, is empty, is not XML, or is XML of another
                 ///< kind
        CurrentMap, ///< a map file, root `<lumomap>`
        LegacyMap,  ///< a legacy map, root `<map>`
        JsonMap,    ///< the JSON form of a map
    };

    /// Reads the map in `fileName` into `model`, adding to what it holds, and returns true when the whole
    /// map was read. `format`, when not null, receives what the file holds, also when the load fails
    /// (a map whose load failed keeps its kind; a file that is no map is Unknown). No exception leaves
    /// it: a load that runs out of memory returns false with "Not enough memory to read the map." at the
    /// end of lastError.
    static bool load(const QString &fileName, LumoMapModel &model, Format *format = nullptr);
};

#endif // LUMOMAPFILE_H
