#ifndef LUMOMAPPAINTER_H
#define LUMOMAPPAINTER_H

/// \file
/// Drawing a map, or its wiring, onto any QPainter (library LumoMapRender, target LumoMap::Render).

#include "lumomaprender_export.h"

#include <QColor>
#include <QPointF>
#include <QRectF>

class LumoMapModel;
class LumoWiring;
class QIODevice;
class QPainter;
struct LumoExtent;

/// What LumoMapPainter draws, and where.
struct LUMOMAPRENDER_EXPORT LumoMapPicture
{
    /// What each node is labelled with.
    enum Numbers
    {
        NoNumbers,        ///< No node labels.
        ChainNumbers,     ///< Each node's number along its chain.
        ChannelAddresses, ///< Each node's channel address.
        UniverseChannels, ///< Each node's universe and channel, as "universe/channel".
    };

    /// Where on the device the map goes. Nothing is painted in an area whose edges are not finite or
    /// lie beyond 2^30 (1073741824) device units from 0, or whose width or height is 0 or below.
    QRectF area;
    bool labels = false; ///< Write each interface's name and uid above its nodes.
    bool wiring = false; ///< Draw the chains, their direction and their first nodes.
    Numbers numbers = NoNumbers; ///< The node labels.
    bool print = false;  ///< Dark marks on white paper instead of light marks on a dark ground.
    int onlyInterface = -1; ///< Index into LumoWiring::interfaces to draw alone, or -1 for all.
    int onlyPort = 0;       ///< With onlyInterface: the port (its place, from 1) to draw alone, or 0 for all.
    /// With onlyPort: the number along the chain of the first node to draw, or 0 from the chain's start.
    int fromNode = 0;
    /// With onlyPort: the number along the chain of the last node to draw, or 0 to the chain's end.
    int toNode = 0;

    /// The colour of an interface that names no region.
    static QColor unknownRegion() { return QColor(160, 160, 160); }
    /// The ground the map is painted on.
    QColor background() const { return print ? QColor(Qt::white) : QColor(24, 26, 32); }
    /// Device pixels kept free on every side: room for the marks and for labels above the outlines.
    double margin() const { return labels || wiring ? 44.0 : 24.0; }
};

/// Maps absolute map coordinates into a rectangle of the device, uniformly scaled and centred.
class LUMOMAPRENDER_EXPORT LumoMapViewport
{
public:
    /// Fits `extent` into `area`, leaving `margin` device pixels free on every side. A map whose
    /// nodes stand on one line is scaled by the other side; one on a single point is not scaled. Any
    /// finite extent is fitted, also one whose width exceeds the greatest double.
    LumoMapViewport(const LumoExtent &extent, const QRectF &area, double margin);
    /// Where the map point `mapPoint` lies on the device.
    QPointF toPicture(const QPointF &mapPoint) const;
    /// Device pixels per map unit.
    double scale() const { return m_scale; }

private:
    double m_scale = 1.0;
    QPointF m_mapOrigin; // the least corner of the extent, which goes to m_offset
    QPointF m_offset;
};

/// Draws a map onto any QPainter device: an image, an SVG generator, a PDF page.
///
/// Every placed node becomes a dot in the colour of its interface's region (a ring for a skipped
/// node), with a dashed outline around the nodes of each interface and, on request, the interface
/// names and the wiring: for every port the chain through its nodes in wiring order (LumoWiring) as a
/// line with direction marks, the chain's first node marked by a square with the port's label, and
/// each node labelled with its number along the chain, its channel address or its universe and
/// channel.
///
/// Sizes follow the spacing of the nodes on the page, so dense maps stay readable: a dot's diameter
/// is 70% of the typical distance between neighbouring nodes (at least 1 device pixel, at most 16),
/// chain lines and direction marks shrink with the dots (and direction marks are left out where a
/// segment is too short to hold one), node labels are 45% of the spacing high and are left out below
/// 6 pixels, and a label that would overlap one already drawn is left out. Interface outlines are
/// left out when the interfaces' boxes cover the drawing more than twice over.
class LUMOMAPRENDER_EXPORT LumoMapPainter
{
public:
    /// Paints `picture` of `model`, whose wiring is `wiring`, with `painter`. The painter's state is
    /// restored afterwards. Paints nothing in an area LumoMapPicture::area rules out; should memory
    /// run out, painting stops there, and the painter's state is restored all the same.
    static void paint(QPainter &painter, const LumoMapModel &model, const LumoWiring &wiring,
                      const LumoMapPicture &picture);
    /// Writes `picture` as a PNG image of the size of its area, rounded to whole pixels, to `device`,
    /// which must be open for writing. Returns false when the image could not be made or written:
    /// for an area LumoMapPicture::area rules out, for a size that rounds to less than 1 or more
    /// than 32767 pixels a side (beyond what QPainter rasterises), and when memory runs out.
    static bool writePng(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                         const LumoMapPicture &picture);
    /// Writes `picture` as an SVG document of the size of its area (rounded to whole pixels, at least
    /// 1) to `device`, which must be open for writing, titled with the map's name. Returns false when
    /// it could not be written: for an area LumoMapPicture::area rules out, and when memory runs out.
    static bool writeSvg(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                         const LumoMapPicture &picture);
};

#endif // LUMOMAPPAINTER_H
