#ifndef LUMOMAPSUMMARY_H
#define LUMOMAPSUMMARY_H

/// \file
/// A map's summary: its header, the number of records of every kind, the canvas geometry, the extent of
/// the placed nodes and, per interface and port, the chains of nodes; as figures, as JSON and as text.

#include "lumomap_export.h"

#include <QByteArray>
#include <QString>

class LumoMapModel;
class LumoWiring;

/// The number of records of every kind in a map.
struct LUMOMAP_EXPORT LumoRecordCounts
{
    int fixtureTemplates = 0;   ///< Fixture templates.
    int nodes = 0;              ///< Nodes of all fixture templates.
    int interfaceTemplates = 0; ///< Interface templates.
    int outputs = 0;            ///< Outputs (ports) of all interface templates.
    int fixtures = 0;           ///< Fixtures placed on all outputs.
    int interfaces = 0;         ///< Interfaces.
    int regions = 0;            ///< Regions.
};

/// The summary of a map and its wiring, as `lumomap info` shows it.
class LUMOMAP_EXPORT LumoMapSummary
{
public:
    /// Counts the records of `model`; null entries of its lists count as records but hold no nodes,
    /// outputs or fixtures.
    static LumoRecordCounts countRecords(const LumoMapModel &model);

    /// The summary as indented JSON: `file` (`fileName`), the header fields (`mapname`, `appname`,
    /// `appversion`, `mapfileversion`, `savedatetime`, null when not recorded), `counts`, `geometry`,
    /// `placedNodes`, `nodeBounds` (null without placed nodes) and `wiring` (per interface its ports with
    /// their node counts, channels and universes, null where a port has no nodes or an address lies in no
    /// universe). Empty when memory runs out.
    static QByteArray toJson(const QString &fileName, const LumoMapModel &model, const LumoWiring &wiring);

    /// The summary as text, one figure a line, then one line per interface and per port with nodes.
    /// Empty when memory runs out.
    static QString toText(const QString &fileName, const LumoMapModel &model, const LumoWiring &wiring);
};

#endif // LUMOMAPSUMMARY_H
