#ifndef MAPGENERATOR_H
#define MAPGENERATOR_H

// Generates large, deterministic map texts for the benchmark, without going through the library: the
// current format laid out exactly as the writer lays it out (one element per line, one space of
// indentation per level, records in ascending key order), and the legacy map.

#include <QByteArray>

namespace MapGenerator {

// `interfaces` interfaces, each with its own interface template of 16 outputs holding one fixture,
// each fixture with its own fixture template of 4 nodes, and one region per interface.
QByteArray currentMap(int interfaces);
// `controllers` controllers, each followed by 9 lights on each of its 16 ports.
QByteArray legacyMap(int controllers);

} // namespace MapGenerator

#endif // MAPGENERATOR_H
