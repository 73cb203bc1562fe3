#ifndef RENDERSUPPORT_P_H
#define RENDERSUPPORT_P_H

// This file is not part of LumoMapRender's public API: what the painter, the wiring sheets and the map
// page share, so that they size and colour a map alike.

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>

class LumoMapModel;
class LumoMapPicture;
class LumoWiring;
class QPainter;
struct LumoExtent;

namespace RenderSupport {

// The colour of `region` in `model`, opaque; LumoMapPicture::unknownRegion() for a region the map lacks.
QColor regionColor(const LumoMapModel &model, quint32 region);

// The typical distance from a node to its nearest neighbour among `points`, in map units (the median
// over a sample); 0 when no two points stand apart.
double typicalSpacing(const QList<QPointF> &points, const LumoExtent &extent);

// Whether both coordinates of a map point are finite, so that it has a place on a page.
bool drawable(const QPointF &mapPoint);

// The greatest distance from 0, in device units, of any edge of an area to paint in: far beyond any
// device, yet small enough that QPainter's arithmetic on it stays exact and within its types.
constexpr double greatestCoordinate = 1073741824.0; // 2^30

// Whether a picture can be painted in `area`: its edges finite and within greatestCoordinate, and
// its width and height above 0.
bool paintableArea(const QRectF &area);

// Stops `painter`, whose painting was cut short by running out of memory, without letting its engine
// finish the document: ending a PDF or SVG engine writes the rest of the document, which needs memory
// again, and would otherwise happen in the painter's destructor, where an exception ends the process.
// The device keeps what was written before.
void abandon(QPainter &painter) noexcept;

// LumoMapPainter::paint, which also tells how many interfaces got no label because no place beside
// their outline was free (0 for a picture without LumoMapPicture::labels()).
int paintCountingUnlabelled(QPainter &painter, const LumoMapModel &model, const LumoWiring &wiring,
                            const LumoMapPicture &picture);

} // namespace RenderSupport

#endif // RENDERSUPPORT_P_H
