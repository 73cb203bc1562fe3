#ifndef MAPFINDINGS_H
#define MAPFINDINGS_H

// The checks of `lumomap validate`: references by number that lead nowhere and keys that should be
// distinct but are not. Each finding names the record by the key the map file stores for it
// (fixture template, interface template and interface uids in hexadecimal, region numbers in
// decimal) and has a level: an error breaks the map for its users (a broken reference, two ports
// of one template with one number); a warning is allowed by the format but worth a look (shared
// interface orders, which every legacy import produces; an unused interface template; nodes of one
// fixture template sharing an addr).

#include <QList>
#include <QString>

class LumoMapModel;

struct MapFinding
{
    enum Level
    {
        Warning,
        Error,
    };

    Level level;
    QString check;   // short identifier of the check, for scripts
    QString record;  // the record concerned, with its key
    QString message; // what is wrong

    QString levelName() const { return level == Error ? QStringLiteral("error") : QStringLiteral("warning"); }
    QString line() const
    {
        return levelName() + QStringLiteral(": ") + record + QStringLiteral(": ") + message;
    }
};

// Runs every check; the findings come in a fixed order (by check, then by key).
QList<MapFinding> findMapProblems(const LumoMapModel &model);

#endif // MAPFINDINGS_H
