#ifndef LUMOPATCHLIST_H
#define LUMOPATCHLIST_H

/// \file
/// The patch list of a wiring: one row per node (or per port) with the controller, port, addresses,
/// universe and channel, as values, as CSV or as JSON; and the node positions per port that LED
/// controllers import.

#include "lumomap_export.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class LumoWiring;
class QIODevice;

/// The patch list of a LumoWiring, in wiring order.
///
/// Node rows, one per node, have the columns `interface`, `uid`, `ip`, `uni` (the interface: name, uid in
/// hexadecimal, IP address, uni), `port`, `portnum` (the port's place on the controller and its stored
/// portnum), `fixture`, `baseaddr`, `node` (its number along the chain), `addr`, `address` (its addr and
/// channel address within the port), `channels`, `counted_channels` (its channelCount and the channels it
/// is counted as occupying), `universe`, `channel`, `skip`, `x` and `y` (its absolute position).
///
/// Port rows, one per port with nodes, have the columns `interface`, `uid`, `ip`, `port`, `portnum`,
/// `fixtures`, `pixels`, `skipped`, `channels`, `first_universe`, `first_channel`, `last_universe`,
/// `last_channel` and `milliamps`.
///
/// A universe or channel of an address that lies in no universe is empty (a null value).
class LUMOMAP_EXPORT LumoPatchList
{
public:
    /// Which rows a list holds.
    enum Rows
    {
        NodeRows, ///< One row per node.
        PortRows, ///< One row per port with nodes.
    };

    /// The names of the columns of `rows`, in the order the rows hold them.
    static QStringList columns(Rows rows);

    /// The rows of `wiring`, each a list of values in the order of columns(): a QString, a qint64, a
    /// bool, a double or, for nothing, a null QVariant. A position that is not finite is the text
    /// "inf", "-inf" or "nan". Empty when memory runs out.
    static QList<QVariantList> rows(const LumoWiring &wiring, Rows rows);

    /// Writes the rows as CSV (RFC 4180, with a header row, lines ending in CR LF): numbers with up to
    /// 12 significant digits, flags as 1 and 0, nothing as an empty field; a text holding a comma, a
    /// quote or a line break is quoted. The rows are written as they are produced, so the list is never
    /// held whole. False when the device refused some of it or memory ran out.
    static bool writeCsv(QIODevice &device, const LumoWiring &wiring, Rows rows);

    /// Writes the rows as a JSON array of one object per row, in the layout of QJsonDocument's indented
    /// text (keys in byte order), as they are produced. False when the device refused some of it or
    /// memory ran out.
    static bool writeJson(QIODevice &device, const LumoWiring &wiring, Rows rows);

    /// Per interface and port, the absolute positions of the nodes in wiring order as one line of
    /// compact JSON: `{"interfaces": [{"ip", "name", "ports": [{"pixels": [[x, y], ...], "port",
    /// "portnum", "skipped": [node numbers], "universes": [[universe, channel] or null, ...]}], "uid",
    /// "uni"}], "map": mapName}`, skipped nodes included, the form LED controllers import. Empty when
    /// memory runs out.
    static QByteArray pixelsJson(const QString &mapName, const LumoWiring &wiring);
};

#endif // LUMOPATCHLIST_H
