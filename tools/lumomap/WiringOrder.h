#ifndef WIRINGORDER_H
#define WIRINGORDER_H

// The order in which data reaches the nodes of a map, the one definition that info, patch and
// render share.
//
// Interfaces come in ascending uid order. An interface names its interface template; the ports of
// that template come in `outputs` list order. Behind one port the data runs through the port's
// fixtures in list order and, inside each fixture, through its fixture template's nodes in
// `nodelist` order. Each node gets its number along the chain (1, 2, 3, ... per port) and its
// channel address:
//
//     address = max(baseaddr, 1) + addr - 1
//
// A fixture's `baseaddr` is its first channel and a node's `addr` the node's first channel inside
// the fixture, both counted from 1; a fixture without a base address (0, the default, and what a
// legacy import leaves) takes its nodes' addresses as they stand. The node occupies `channelCount`
// channels from there. A node with `skipnode` set keeps its number and its channels (it is on the
// line, data passes through it) and is marked as skipped wherever the tool shows it.
//
// Positions are absolute: interface position + fixture position + node position, y growing
// downward. A fixture whose template is missing contributes no nodes (validate reports it). A node
// whose position is not finite keeps its place in the chain but is not drawn.

#include <QList>
#include <QPointF>
#include <QString>

class LumoFixture;
class LumoInterface;
class LumoMapModel;
struct LumoNode;

// Least and greatest coordinates of a set of points; `empty` while no point was added. A point
// with an infinite or undefined coordinate has no place on a page and is left out.
struct Extent
{
    bool empty = true;
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;

    void include(const QPointF &point);
    void include(const Extent &other);
    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
};

struct WiredNode
{
    const LumoFixture *fixture;
    const LumoNode *node;
    int chainNumber; // 1 for the first node behind the port
    qint64 address;  // first channel; 64 bits so that no addr/baseaddr pair overflows
    QPointF position;
};

struct WiredPort
{
    int portnum;
    QList<WiredNode> nodes;
};

struct WiredInterface
{
    quint32 uid;
    const LumoInterface *record;
    QList<WiredPort> ports;
    Extent extent;
    int nodeCount = 0;
};

struct MapWiring
{
    QList<WiredInterface> interfaces;
    Extent extent;
    int nodeCount = 0;
};

qint64 channelAddress(qint32 baseaddr, qint32 addr);
MapWiring wiringOf(const LumoMapModel &model);

#endif // WIRINGORDER_H
