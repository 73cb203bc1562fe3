#ifndef MAPPAINTER_H
#define MAPPAINTER_H

// Draws a map onto any QPainter device (an image, an SVG generator, a PDF page): every placed node
// as a dot in the colour of its interface's region (a ring for a skipped node), a dashed outline
// around the nodes of each interface and, on request, the interface names and the wiring: for every
// port the chain through its nodes in wiring order as a line with direction marks, the chain's
// first node marked by a square and, where labels fit, the port number, and each node labelled with its
// number along the chain or its channel address.
//
// Sizes follow the spacing of the nodes on the page, so dense maps stay readable: a dot's diameter
// is 70% of the typical distance between neighbouring nodes (at least 1 device pixel, at most 16),
// chain lines and direction marks shrink with the dots (and direction marks are left out where a
// segment is too short to hold one), node labels are 45% of the spacing high and are left out below
// 6 pixels, and any label that would overlap one already drawn is left out. Interface outlines are
// left out when the interfaces' boxes cover the drawing more than twice over.

#include <QColor>
#include <QPointF>
#include <QRectF>

class LumoMapModel;
struct Extent;
struct MapWiring;
class QPainter;

struct MapPicture
{
    enum Numbers
    {
        NoNumbers,
        ChainNumbers,    // each node's number along its chain
        ChannelAddresses // each node's channel address
    };

    QRectF area;         // where on the device the map goes
    bool labels = false; // interface names
    bool wiring = false; // chains, direction marks and first nodes
    Numbers numbers = NoNumbers;
    bool print = false;     // dark marks on white paper instead of light marks on a dark ground
    int onlyInterface = -1; // index into MapWiring::interfaces, or -1 for all

    static QColor unknownRegion() { return QColor(160, 160, 160); } // interface names no region
    QColor background() const { return print ? QColor(Qt::white) : QColor(24, 26, 32); }
    // Device pixels kept free on every side: room for the marks and for labels above the outlines.
    double margin() const { return labels || wiring ? 44.0 : 24.0; }
};

// Maps absolute map coordinates into a rectangle of the device, uniformly scaled and centred.
class MapViewport
{
public:
    MapViewport(const Extent &extent, const QRectF &area, double margin);
    QPointF toPicture(const QPointF &mapPoint) const;
    double scale() const { return m_scale; }

private:
    double m_scale = 1.0;
    QPointF m_mapOrigin; // the least corner of the extent, which goes to m_offset
    QPointF m_offset;
};

void paintMap(QPainter &painter, const LumoMapModel &model, const MapWiring &wiring,
              const MapPicture &picture);

#endif // MAPPAINTER_H
