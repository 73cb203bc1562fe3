#ifndef MAPGENERATOR_H
#define MAPGENERATOR_H

// Writes large, deterministic map files for the benchmark, without going through the library: the
// current format laid out exactly as the writer lays it out (one element per line, one space of
// indentation per level), and the legacy map with its controllers and lights.

#include <QString>

struct CurrentMapShape
{
    int interfaces = 0;          // also the number of interface templates and of regions
    int outputsPerTemplate = 16; // each output holds one fixture
    int nodesPerFixtureTemplate = 4;
    // One fixture template per fixture: interfaces * outputsPerTemplate of them.
};

struct LegacyMapShape
{
    int controllers = 0;
    int lightsPerPort = 0; // lights on each of the 16 ports of every controller
};

namespace MapGenerator {

// Both return the number of bytes written, or -1 when the file cannot be written.
qint64 writeCurrentMap(const QString &path, const CurrentMapShape &shape);
qint64 writeLegacyMap(const QString &path, const LegacyMapShape &shape);

} // namespace MapGenerator

#endif // MAPGENERATOR_H
