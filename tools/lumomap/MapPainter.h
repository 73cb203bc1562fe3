#ifndef MAPPAINTER_H
#define MAPPAINTER_H

// Draws a map onto any QPainter device (an image or an SVG generator): every placed node as a
// filled dot in the colour of its interface's region, an outline around the nodes of each
// interface, and optionally the interface names. The map is scaled uniformly to fit the picture
// inside a margin and centred; y grows downward as on the canvas.

#include <QColor>
#include <QPointF>
#include <QSize>

class LumoMapModel;
class MapGeometry;
class QPainter;

struct MapPicture
{
    static QColor background() { return QColor(24, 26, 32); }
    static QColor unknownRegion() { return QColor(160, 160, 160); } // interface names no region

    QSize size;
    bool labels = false;

    // Pixels kept free on every side: room for the dots and outlines, and for the labels above the
    // outlines when they are drawn.
    double margin() const { return labels ? 44.0 : 24.0; }
};

// Maps absolute map coordinates to picture coordinates for one picture size.
class MapViewport
{
public:
    MapViewport(const MapGeometry &geometry, const QSize &size, double margin);
    QPointF toPicture(const QPointF &mapPoint) const;
    double scale() const { return m_scale; }

private:
    double m_scale = 1.0;
    QPointF m_offset;
};

void paintMap(QPainter &painter, const LumoMapModel &model, const MapGeometry &geometry,
              const MapPicture &picture);

#endif // MAPPAINTER_H
