#ifndef LUMOMAPPAINTER_H
#define LUMOMAPPAINTER_H

/// \file
/// Drawing a map, or its wiring, onto any QPainter (library LumoMapRender, target LumoMap::Render).

#include "lumomaprender_export.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSharedDataPointer>

class LumoMapModel;
class LumoMapPictureData;
class LumoWiring;
class QIODevice;
class QPainter;
struct LumoExtent;

/// What LumoMapPainter draws, and where: a value class, so copies are cheap and independent, and
/// options added later change neither its size nor its layout.
///
/// By default it draws every interface and node, as light marks on a dark ground, without interface
/// labels, chains or node labels, in an empty area (which paints nothing until an area is set).
class LUMOMAPRENDER_EXPORT LumoMapPicture
{
public:
    /// What each node is labelled with.
    enum Numbers
    {
        NoNumbers,        ///< No node labels.
        ChainNumbers,     ///< Each node's number along its chain.
        ChannelAddresses, ///< Each node's channel address.
        UniverseChannels, ///< Each node's universe and channel, as "universe/channel".
    };

    /// The defaults the class describes.
    LumoMapPicture();
    /// A copy of `other`.
    LumoMapPicture(const LumoMapPicture &other);
    /// Takes over the picture of `other`, which may then only be assigned to or destroyed.
    LumoMapPicture(LumoMapPicture &&other) noexcept;
    /// Makes this a copy of `other`.
    LumoMapPicture &operator=(const LumoMapPicture &other);
    /// Takes over the picture of `other`, which may then only be assigned to or destroyed.
    LumoMapPicture &operator=(LumoMapPicture &&other) noexcept;
    /// Destroys the picture.
    ~LumoMapPicture();

    /// Where on the device the map goes; an empty rectangle by default. Nothing is painted in an area
    /// whose edges are not finite or lie beyond 2^30 (1073741824) device units from 0, or whose width
    /// or height is 0 or below.
    QRectF area() const;
    /// Sets where on the device the map goes.
    void setArea(const QRectF &area);

    /// Whether each interface's name and uid are written above its nodes; false by default.
    bool labels() const;
    /// Sets whether interface names and uids are written.
    void setLabels(bool labels);

    /// Whether the chains, their direction and their first nodes are drawn; false by default.
    bool wiring() const;
    /// Sets whether the chains are drawn.
    void setWiring(bool wiring);

    /// The node labels; LumoMapPicture::NoNumbers by default.
    Numbers numbers() const;
    /// Sets the node labels.
    void setNumbers(Numbers numbers);

    /// Whether dark marks are drawn on white paper instead of light marks on a dark ground; false by
    /// default.
    bool print() const;
    /// Sets whether the picture is for paper.
    void setPrint(bool print);

    /// Whether one interface is drawn alone (the one of onlyInterfaceUid()); false by default, which
    /// draws every interface of the wiring.
    bool hasOnlyInterface() const;
    /// The uid of the interface drawn alone; 0 when hasOnlyInterface() is false. An interface the
    /// wiring does not hold (LumoWiring::keepOnly left it out) leaves nothing to draw.
    quint32 onlyInterfaceUid() const;
    /// Draws only the interface whose uid is `uid`.
    void setOnlyInterfaceUid(quint32 uid);
    /// Draws every interface again.
    void clearOnlyInterface();

    /// The port (its place on the controller, from 1) drawn alone, or 0 (the default) for all ports.
    /// It applies to every interface drawn, so it usually goes with setOnlyInterfaceUid().
    int onlyPort() const;
    /// Sets the port drawn alone; 0 or below draws all ports.
    void setOnlyPort(int port);

    /// With onlyPort(): the number along the chain of the first node to draw, or 0 (the default) from
    /// the chain's start.
    int fromNode() const;
    /// Sets the number along the chain of the first node to draw.
    void setFromNode(int chainNumber);
    /// With onlyPort(): the number along the chain of the last node to draw, or 0 (the default) to the
    /// chain's end.
    int toNode() const;
    /// Sets the number along the chain of the last node to draw.
    void setToNode(int chainNumber);

    /// The colour of an interface that names no region: a mid grey.
    static QColor unknownRegion();
    /// The ground the map is painted on: white for print(), a dark blue-grey otherwise.
    QColor background() const;
    /// Device pixels kept free on every side: room for the marks and for labels above the outlines;
    /// 44 with labels() or wiring(), 24 otherwise.
    double margin() const;

private:
    QSharedDataPointer<LumoMapPictureData> d;
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
/// chain lines and direction marks shrink with the dots (down to 2.5 device pixels; a segment too short
/// to hold one has none, and a chain none of whose segments holds one gets one beyond its last node),
/// node labels are 45% of the spacing high and are left out below 6 pixels. Every label goes to the
/// first place around what it names where it stays inside the area and overlaps no label, dot,
/// first-node square or direction mark drawn before, and is left out where there is none; an
/// interface name that finds no place is tried smaller, then as its uid alone. Interface outlines are
/// left out when the interfaces' boxes cover the drawing more than twice over.
class LUMOMAPRENDER_EXPORT LumoMapPainter
{
public:
    /// Paints `picture` of `model`, whose wiring is `wiring`, with `painter`. The painter's state is
    /// restored afterwards. Paints nothing in an area LumoMapPicture::area() rules out; should memory
    /// run out, painting stops there, and the painter's state is restored all the same.
    static void paint(QPainter &painter, const LumoMapModel &model, const LumoWiring &wiring,
                      const LumoMapPicture &picture);
    /// Writes `picture` as a PNG image of the size of its area, rounded to whole pixels, to `device`,
    /// which must be open for writing. Returns false when the image could not be made or written:
    /// for an area LumoMapPicture::area() rules out, for a size that rounds to less than 1 or more
    /// than 32767 pixels a side (beyond what QPainter rasterises), and when memory runs out.
    static bool writePng(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                         const LumoMapPicture &picture);
    /// Writes `picture` as an SVG document of the size of its area (rounded to whole pixels, at least
    /// 1) to `device`, which must be open for writing, titled with the map's name. Returns false when
    /// it could not be written: for an area LumoMapPicture::area() rules out, and when memory runs out.
    static bool writeSvg(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                         const LumoMapPicture &picture);
};

#endif // LUMOMAPPAINTER_H
