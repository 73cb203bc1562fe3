#ifndef LUMOMAP_AUTOTEST_EXPORT_H
#define LUMOMAP_AUTOTEST_EXPORT_H

// LUMOMAP_AUTOTEST_EXPORT marks the internal functions that the test suites and the fuzz targets
// call directly (the read route switch, the writer routes they compare, the real number format).
// They are exported from the shared library only in a build with tests or fuzz targets
// (LUMOMAP_AUTOTEST_BUILD, set by CMake); a build for hosts exports the public API alone.
//
// Internal to the library and its tests; the header is not installed.

#include "lumomap_export.h"

#if defined(LUMOMAP_AUTOTEST_BUILD)
#define LUMOMAP_AUTOTEST_EXPORT LUMOMAP_EXPORT
#else
#define LUMOMAP_AUTOTEST_EXPORT
#endif

#endif // LUMOMAP_AUTOTEST_EXPORT_H
