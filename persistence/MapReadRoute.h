#ifndef MAPREADROUTE_H
#define MAPREADROUTE_H

// The two routes that read a map document: the subset reader (MapSubsetScanner) for the documents
// within its subset, QXmlSimpleReader for all others. Both give identical results; these calls let
// the tests and fuzz targets hold them to it by reading one input both ways. They act on the
// calling thread only; a library user never needs them.

#include "lumomap_autotest_export.h"

#include <QtGlobal>

enum class MapReadRoute
{
    SubsetWhereItApplies, // the default
    QXmlSimpleReaderOnly,
};

LUMOMAP_AUTOTEST_EXPORT void setMapReadRoute(MapReadRoute route);
// True when the last load on this thread was read by the subset reader.
LUMOMAP_AUTOTEST_EXPORT bool lastLoadReadBySubsetReader();
// The most bytes the subset reader asks its source for at a time, in the loads this thread starts
// from now on; 0 restores the default (64 KiB, or LUMOMAP_SUBSET_BLOCK_BYTES in the fuzzing builds).
// Small blocks make the ends of blocks cut every kind of token.
LUMOMAP_AUTOTEST_EXPORT void setSubsetReaderBlockBytes(qsizetype bytes);

#endif // MAPREADROUTE_H
