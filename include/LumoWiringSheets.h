#ifndef LUMOWIRINGSHEETS_H
#define LUMOWIRINGSHEETS_H

/// \file
/// Wiring sheets to print and wire from, as PDF (library LumoMapRender, target LumoMap::Render).

#include "LumoMapPainter.h"
#include "lumomaprender_export.h"

#include <QPageSize>
#include <QSharedDataPointer>
#include <QString>

class LumoMapModel;
class LumoWiring;
class LumoWiringSheetsOptionsData;
class QIODevice;

/// What the wiring sheets show, a value class: copies are cheap and independent, and options added
/// later change neither its size nor its layout.
class LUMOMAPRENDER_EXPORT LumoWiringSheetsOptions
{
public:
    /// A4 paper, the default LumoMapPicture, no file name or save time, with an overview page.
    LumoWiringSheetsOptions();
    /// A copy of `other`.
    LumoWiringSheetsOptions(const LumoWiringSheetsOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoWiringSheetsOptions(LumoWiringSheetsOptions &&other) noexcept;
    /// Makes this a copy of `other`.
    LumoWiringSheetsOptions &operator=(const LumoWiringSheetsOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoWiringSheetsOptions &operator=(LumoWiringSheetsOptions &&other) noexcept;
    /// Destroys the options.
    ~LumoWiringSheetsOptions();

    /// The paper: any of the enumeration's sizes but QPageSize::Custom; QPageSize::A4 by default.
    QPageSize::PageSizeId pageSize() const;
    /// Sets the paper.
    void setPageSize(QPageSize::PageSizeId pageSize);

    /// The marks and labels of every drawing; its area and its interface and port selections are
    /// set per page. Its LumoMapPicture::wiring() draws the chains (the sheets are for wiring, so set
    /// it unless the chains are unwanted) and its LumoMapPicture::numbers() labels the nodes
    /// (LumoMapPicture::ChainNumbers when it is LumoMapPicture::NoNumbers and the wiring is drawn).
    LumoMapPicture picture() const;
    /// Sets the marks and labels of every drawing.
    void setPicture(const LumoMapPicture &picture);

    /// The map file's name, printed in every page's footer; empty (the default) for none.
    QString fileName() const;
    /// Sets the map file's name for the footer.
    void setFileName(const QString &fileName);

    /// When the map was saved, printed in every page's footer; empty (the default) for none.
    QString savedTime() const;
    /// Sets when the map was saved, for the footer.
    void setSavedTime(const QString &savedTime);

    /// Whether the sheets start with an overview page of the whole wiring; true by default. A host
    /// that prints the sheets of a few interfaces or one port (LumoWiring::keepOnly) can leave it out.
    bool overview() const;
    /// Sets whether the sheets start with an overview page.
    void setOverview(bool overview);

private:
    QSharedDataPointer<LumoWiringSheetsOptionsData> d;
};

/// Writes wiring sheets as a PDF document: when more than one interface places nodes, index pages
/// listing every interface (uid, name, IP) with the page its sheets begin on; an overview page with
/// the whole map, naming each interface where there is room (its title says how many it could not
/// name); then one page per interface that places nodes, scaled to fill the page, each under a title
/// block (map name, interface name, uid, IP and uni, and its ports with their node counts and
/// channels), followed by detail pages where the nodes stand too close for their labels. Each page is
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
