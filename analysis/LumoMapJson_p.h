#ifndef LUMOMAPJSON_P_H
#define LUMOMAPJSON_P_H

// Not part of the public API: the JSON reader's second route, which the tests and the differential fuzz
// target hold the usual route to.
//
// Internal to the library and its tests; the header is not installed.

#include "lumomap_autotest_export.h"

#include <QByteArray>
#include <QString>

class LumoMapModel;

namespace LumoMapJsonPrivate {

// Reads `bytes` into `model` through Qt's parser and its tree alone, the route LumoMapJson takes for every
// text that RapidJSON's reader does not take to its end. Both routes give the same model and the same
// message for every input.
LUMOMAP_AUTOTEST_EXPORT bool readThroughQt(const QByteArray &bytes, LumoMapModel &model, QString &error);

} // namespace LumoMapJsonPrivate

#endif // LUMOMAPJSON_P_H
