#ifndef MAPGEOMETRY_H
#define MAPGEOMETRY_H

// Absolute positions of the nodes of a map. A node is placed when an interface reaches it: the
// interface names its interface template by `templateid`, the fixtures on that template's outputs
// name their fixture templates by `templateid`, and each node of such a fixture template stands at
// interface position + fixture position + node position (the three levels the post-load calculation
// leaves for a legacy map). Angles (`theta`) are stored but not interpreted, so they are ignored.

#include <QList>
#include <QPointF>
#include <QString>

class LumoMapModel;

struct PlacedNode
{
    QPointF position;     // absolute, y growing downward as on the canvas
    quint32 interfaceUid; // key of the interface that places the node
    quint32 region;       // region number of that interface
    qint32 addr;
};

// Least and greatest coordinates of a set of points; `empty` while no point was added.
struct Extent
{
    bool empty = true;
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;

    void include(const QPointF &point);
    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
};

struct PlacedInterface
{
    quint32 uid;
    QString name;
    quint32 region;
    Extent extent; // of the nodes this interface places
    int nodeCount = 0;
};

class MapGeometry
{
public:
    // Walks the interfaces in ascending key order, so the result does not depend on hash order.
    explicit MapGeometry(const LumoMapModel &model);

    const QList<PlacedNode> &nodes() const { return m_nodes; }
    const QList<PlacedInterface> &interfaces() const { return m_interfaces; }
    const Extent &extent() const { return m_extent; }

private:
    QList<PlacedNode> m_nodes;
    QList<PlacedInterface> m_interfaces;
    Extent m_extent;
};

#endif // MAPGEOMETRY_H
