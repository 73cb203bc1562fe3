#ifndef RENDERSUPPORT_P_H
#define RENDERSUPPORT_P_H

// This file is not part of LumoMapRender's public API: what the painter, the wiring sheets and the map
// page share, so that they size and colour a map alike.

#include <QColor>
#include <QList>
#include <QPointF>

class LumoMapModel;
struct LumoExtent;

namespace RenderSupport {

// The colour of `region` in `model`, opaque; LumoMapPicture::unknownRegion() for a region the map lacks.
QColor regionColor(const LumoMapModel &model, quint32 region);

// The typical distance from a node to its nearest neighbour among `points`, in map units (the median
// over a sample); 0 when no two points stand apart.
double typicalSpacing(const QList<QPointF> &points, const LumoExtent &extent);

// Whether both coordinates of a map point are finite, so that it has a place on a page.
bool drawable(const QPointF &mapPoint);

} // namespace RenderSupport

#endif // RENDERSUPPORT_P_H
