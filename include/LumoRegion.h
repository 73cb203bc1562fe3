#ifndef LUMOREGION_H
#define LUMOREGION_H

/// \file
/// The region record, LumoRegion.

#include "lumomap_export.h"

#include <QColor>
#include <QString>

class QDomDocument;
class QDomElement;

/// A region: a numbered, named, coloured group to which interfaces belong (an interface names its
/// region by number). The document keeps regions in LumoMapModel::regions, keyed by `number`, and
/// owns them. Stored in the map file as one `<region>` element.
class LUMOMAP_EXPORT LumoRegion
{
public:
    /// A region with the defaults below.
    LumoRegion();

    /// Appends one `<region>` element, with its leaves, as the last child of `parent`. Returns true.
    bool save(QDomDocument &document, QDomElement &parent);

    quint32 number; ///< 0; `<number>`; the region's key in LumoMapModel::regions
    QString name;   ///< "New Region"; `<name>`
    QColor color;   ///< Qt::red; `<color>` as `#rrggbb` (the alpha channel is not stored)
};

#endif // LUMOREGION_H
