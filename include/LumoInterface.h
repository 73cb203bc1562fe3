#ifndef LUMOINTERFACE_H
#define LUMOINTERFACE_H

/// \file
/// The interface record, LumoInterface.

#include "lumomap_export.h"

#include <QHash>
#include <QString>

class LumoFixture;
class QDomDocument;
class QDomElement;

/// An interface: one placed network interface with its identity, placing an interface template by
/// its `uid` and belonging to a region by number. The document keeps interfaces in
/// LumoMapModel::interfaces, keyed by `uid`, and owns them. Stored in the map file as one
/// `<interface>` element.
class LUMOMAP_EXPORT LumoInterface
{
public:
    /// An interface with the defaults below.
    LumoInterface();

    /// Appends one `<interface>` element, with its leaves, as the last child of `parent`. Returns true.
    bool save(QDomDocument &document, QDomElement &parent);

    quint32 uid;        ///< 0xFFFFFFFF (never set); `<uid>` (hex); the key in interfaces
    quint32 templateid; ///< 0xFFFFFFFF; `<templateid>` (hex); uid of the interface template
    quint32 region;     ///< 0; `<region>`; number of the region
    QString name;       ///< "Interface"; `<name>`
    double x;           ///< 0.0; `<x>`
    double y;           ///< 0.0; `<y>`
    double theta;       ///< 0.0; `<theta>`; stored and loaded, not interpreted
    QString ip;         ///< "0.0.0.0"; `<ip>`
    QString mac;        ///< "BC:BC:DE:AD:BE:EF"; `<mac>`
    quint8 flags;       ///< 0; `<flags>` (hex)
    quint32 sn;         ///< 0xFFFFFFFF; `<sn>` (hex); serial number
    quint16 ver;        ///< 0; `<ver>`
    quint32 uni;        ///< 0; `<uni>` (decimal); stored and loaded, not interpreted
    QString vers;       ///< null; `<vers>`
    QString id;         ///< "Interface ID String"; `<id>`
    qint32 order;       ///< 0; `<order>`; the key in LumoMapModel::interfacesByOrder
    /// Not stored. Index of the fixtures wired to this interface, keyed by each fixture's
    /// templateid; owns nothing. Filled by the legacy import, read by the post-load calculation.
    QHash<quint32, LumoFixture *> fixturesByTemplate;
};

#endif // LUMOINTERFACE_H
