#ifndef MAPDOMWRITER_H
#define MAPDOMWRITER_H

// The DOM route of the map file: the whole document built as a QDomDocument from the record save
// members. LumoMapModel::save writes the same text without building a tree (MapTextWriter); this
// route stays as the reference that tests, the benchmark and the fuzz targets compare it with:
//
//     MapDomWriter::buildDocument(model, time).toString(1) == text written by MapTextWriter::write
//
// Internal to the library and its tests; the header is not installed.

#include "lumomap_autotest_export.h"

#include <QDomDocument>

class LumoMapModel;
class QDateTime;

namespace MapDomWriter {

// Builds the map document of `model` as it stands: the document element <lumomap> with the header
// leaves (mapfileversion as the model holds it; LumoMapModel::save sets it to 2 first), the save
// time `saveTime` in Qt's text form, <geometry>, then every fixture template, interface template,
// interface and region, each kind in ascending order of its key. Null record pointers are skipped.
// The model is not changed.
LUMOMAP_AUTOTEST_EXPORT QDomDocument buildDocument(const LumoMapModel &model, const QDateTime &saveTime);

} // namespace MapDomWriter

#endif // MAPDOMWRITER_H
