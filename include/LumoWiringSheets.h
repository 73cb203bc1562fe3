#ifndef LUMOWIRINGSHEETS_H
#define LUMOWIRINGSHEETS_H

/// \file
/// Wiring sheets to print and wire from, as PDF (library LumoMapRender, target LumoMap::Render).

#include "LumoMapPainter.h"
#include "lumomaprender_export.h"

#include <QPageSize>
#include <QString>

class LumoMapModel;
class LumoWiring;
class QIODevice;

/// What the wiring sheets show.
struct LUMOMAPRENDER_EXPORT LumoWiringSheetsOptions
{
    /// The paper: any of the enumeration's sizes but QPageSize::Custom.
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    /// The marks and labels of every drawing; its area and its interface and port selections are
    /// set per page. Its `wiring` draws the chains (the sheets are for wiring, so set it unless the
    /// chains are unwanted) and its `numbers` labels the nodes (LumoMapPicture::ChainNumbers when
    /// it is LumoMapPicture::NoNumbers and the wiring is drawn).
    LumoMapPicture picture;
    /// The map file's name, printed in every page's footer; empty for none.
    QString fileName;
    /// When the map was saved, printed in every page's footer; empty for none.
    QString savedTime;
    /// Start with an overview page of the whole wiring. A host that prints the sheets of a few
    /// interfaces or one port (LumoWiring::keepOnly) can leave it out.
    bool overview = true;
};

/// Writes wiring sheets as a PDF document: an overview page with the whole map, then one page per
/// interface that places nodes, scaled to fill the page, each under a title block (map name,
/// interface name, uid, IP and uni, and its ports with their node counts and channels). Each page is
/// portrait or landscape, whichever suits its drawing.
class LUMOMAPRENDER_EXPORT LumoWiringSheets
{
public:
    /// Writes the sheets of `model`, whose wiring is `wiring`, to `device`, which must be open for
    /// writing. Sheets that would have no page (no overview asked for, and no interface with nodes)
    /// are one page under the map's name that says the wiring has no nodes. Returns false when the
    /// PDF could not be written: for a `pageSize` that names no paper (QPageSize::Custom), and when
    /// memory runs out (the device may then hold part of a PDF).
    static bool write(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                      const LumoWiringSheetsOptions &options);
};

#endif // LUMOWIRINGSHEETS_H
