#ifndef MAPFINDINGS_H
#define MAPFINDINGS_H

// The checks of `lumomap validate`: references by number that lead nowhere and keys that should be
// distinct but are not. Each finding names the record by the key the map file stores for it
// (fixture template, interface template and interface uids in hexadecimal, region numbers in
// decimal).

#include <QList>
#include <QString>

class LumoMapModel;

struct MapFinding
{
    QString check;   // short identifier of the check, for scripts
    QString record;  // the record concerned, with its key
    QString message; // what is wrong

    QString line() const { return record + QStringLiteral(": ") + message; }
};

// Runs every check; the findings come in a fixed order (by check, then by key).
QList<MapFinding> findMapProblems(const LumoMapModel &model);

#endif // MAPFINDINGS_H
