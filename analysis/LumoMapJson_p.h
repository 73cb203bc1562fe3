#ifndef LUMOMAPJSON_P_H
#define LUMOMAPJSON_P_H

// Not part of the public API: the writer and the two read routes of the JSON form, behind the entry
// points of LumoMapJson. The tests and the differential fuzz target hold the usual route to the second.
//
// Internal to the library and its tests; the header is not installed.

#include "lumomap_autotest_export.h"

#include <QByteArray>
#include <QString>

class JsonTextWriter;
class LumoMapModel;
class QIODevice;

namespace LumoMapJsonPrivate {

// Writes the JSON form of `model` to `out` (MapJsonWriter.cpp). May throw std::bad_alloc.
void writeMap(JsonTextWriter &out, const LumoMapModel &model);

// Reads the JSON text of `device`, from its current position to its end, into `model` through RapidJSON's
// reader, and gives every document that route does not take to its end to readThroughQt()
// (MapJsonStreamRoute.cpp). False and the message in `error` when the document is wrong. May throw
// std::bad_alloc; the records read so far then stay in `model`.
bool readStream(QIODevice &device, LumoMapModel &model, QString &error);

// Reads `bytes` into `model` through Qt's parser and its tree alone, the route readStream() takes for
// every text that RapidJSON's reader does not take to its end (MapJsonQtRoute.cpp). Both routes give the
// same model and the same message for every input. May throw std::bad_alloc.
LUMOMAP_AUTOTEST_EXPORT bool readThroughQt(const QByteArray &bytes, LumoMapModel &model, QString &error);

} // namespace LumoMapJsonPrivate

#endif // LUMOMAPJSON_P_H
