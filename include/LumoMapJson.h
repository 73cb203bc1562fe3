#ifndef LUMOMAPJSON_H
#define LUMOMAPJSON_H

/// \file
/// The JSON form of a whole map, both ways (described in docs/json-format.md).

#include "lumomap_export.h"

#include <QByteArray>
#include <QString>

class LumoMapModel;
class QIODevice;

/// The JSON form of a map document: every field the map file stores, named as in the map file,
/// records of each kind in ascending key order.
///
/// - Reals are JSON numbers, or the strings "inf", "-inf" and "nan", which JSON numbers cannot carry.
/// - Fields the map file writes in hexadecimal (`uid`, `templateid`, `sn`, `flags`) are strings of
///   lower-case hexadecimal digits; other integers are numbers.
/// - A null text is null, an empty one "". A colour is "#rrggbb", "#aarrggbb" when it is not opaque,
///   and null when it is invalid.
/// - Fields the map file does not store (the used flags, a node's pn, the indexes, lastError) are
///   left out.
class LUMOMAP_EXPORT LumoMapJson
{
public:
    /// The JSON text of `model`: one object, keys in alphabetical order, indented by four spaces.
    /// Empty when memory runs out.
    static QByteArray toJson(const LumoMapModel &model);

    /// Writes the JSON text of `model`, the same bytes as toJson(), to `device` as it produces it, in
    /// blocks of 64 KiB, without holding the whole text. `device` must be open for writing. Returns
    /// false when the device refused any of the text or memory ran out.
    static bool write(const LumoMapModel &model, QIODevice &device);

    /// Reads the JSON text `json` into `model`, which should be empty, as loading a map file does
    /// (outputs marked used, `interfacesByOrder` rebuilt from each interface's `order`). A missing
    /// key leaves the record's default; the keys (`uid`, a region's `number`) are required. An
    /// unknown key and a key given twice in one array are errors.
    ///
    /// On failure returns false and says where the document is wrong and what was expected there:
    /// "line L, column C: ..." for text that is not JSON, the path of the value ("interfaces[2].uid:
    /// ...") otherwise. The message goes to `errorMessage` when it is not null, and to the model's
    /// lastError; LumoMapModel::lastErrorLine() and lastErrorColumn() give the line and column (the
    /// column in UTF-16 code units), 0 for a fault named by its path. A successful read sets them to
    /// 0 and leaves lastError as it was. The records read before the failure stay in `model`. Should
    /// memory run out, the read returns false with "Not enough memory to read the map.".
    static bool fromJson(const QByteArray &json, LumoMapModel &model, QString *errorMessage = nullptr);

    /// Reads the JSON text that `device` holds from its current position to its end into `model`, as
    /// fromJson() does, with the same results and messages, reading the text as a stream in blocks of
    /// 64 KiB instead of holding it whole. `device` must be open for reading. A text that is not JSON, or
    /// one with a fault in its values, is read a second time whole to say where the fault is: a
    /// sequential device's text is kept for that as it is read, any other device is read again from
    /// where reading started.
    static bool read(QIODevice &device, LumoMapModel &model, QString *errorMessage = nullptr);
};

#endif // LUMOMAPJSON_H
