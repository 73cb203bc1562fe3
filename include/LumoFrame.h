#ifndef LUMOFRAME_H
#define LUMOFRAME_H

/// \file
/// A frame of channel data for every universe of a map's wiring (library LumoMapOutput, target
/// LumoMap::Output).

#include "lumomapoutput_export.h"

#include <QByteArray>
#include <QString>

#include <memory>

class LumoFixture;
class LumoFramePrivate;
class LumoWiring;

/// The channel values of one frame, for every universe the nodes of a LumoWiring occupy, laid out
/// as the wiring says: a node's values go to its universe and channel, and a node whose channels
/// run past the end of its universe continues at channel 1 of the next.
///
/// Universes belong to interfaces: two controllers that both use universe 1 each have their own.
/// The frame holds, per interface, every universe one of its nodes occupies, in ascending order;
/// nodes that lie in no universe (a channel address below 1) are counted but set nothing.
///
/// Nodes are numbered in wiring order from 0: the interfaces of the wiring, their ports and each
/// port's chain, as LumoWiring lists them. nodeIndex() finds a node's number by its place in the
/// wiring or by its fixture; setNode() and setNodes() are cheap enough to call for every node of
/// every frame.
///
/// The frame copies what it needs: the wiring and its map may go once it is made. A frame is
/// invalid (isValid()) when the wiring's universes cannot be sent at all: a universe size above
/// 512 channels, or a universe beyond 65535.
class LUMOMAPOUTPUT_EXPORT LumoFrame
{
public:
    /// A frame of zeros for every universe `wiring` uses.
    explicit LumoFrame(const LumoWiring &wiring);
    /// A copy of `other`, values included.
    LumoFrame(const LumoFrame &other);
    /// Makes this a copy of `other`.
    LumoFrame &operator=(const LumoFrame &other);
    /// Destroys the frame.
    ~LumoFrame();

    /// False when the wiring's universes cannot be sent; errorString() says why.
    bool isValid() const;
    /// Why the frame is invalid; empty when it is valid.
    QString errorString() const;

    /// The nodes of the wiring, each numbered from 0 in wiring order.
    int nodeCount() const;
    /// The number of the node with chain number `chainNumber` (from 1) on port `port` (from 1) of
    /// the interface with uid `interfaceUid`; -1 when the wiring has no such node.
    int nodeIndex(quint32 interfaceUid, int port, int chainNumber) const;
    /// The number of node `node` (its place in the fixture template's `nodelist`, from 0) of
    /// `fixture`; -1 when the wiring places no such node.
    int nodeIndex(const LumoFixture *fixture, int node) const;
    /// The channels node `index` occupies; 0 for a node that lies in no universe or a number out
    /// of range.
    int nodeChannels(int index) const;

    /// Sets the first `count` channels of node `index` to `values` (values beyond the node's
    /// channels are ignored). Returns false, and sets nothing, for a number out of range or a node
    /// that lies in no universe.
    bool setNode(int index, const quint8 *values, int count);
    /// Sets every channel of node `index` to `level`. Returns false as setNode() does.
    bool setNodeLevel(int index, quint8 level);
    /// Sets the nodes from `first` on in wiring order from `values`, which holds `valuesPerNode`
    /// values for each of `nodeCount` nodes, one node after another; numbers out of range are
    /// left out. The fastest way to set a whole frame.
    void setNodes(int first, int nodeCount, const quint8 *values, int valuesPerNode);
    /// Sets every channel of every universe to 0.
    void clear();

    /// The universes of the frame, every interface's in ascending order.
    int universeCount() const;
    /// The uid of the interface universe `index` belongs to.
    quint32 universeInterface(int index) const;
    /// The number of universe `index` as the wiring counts it.
    qint64 universeNumber(int index) const;
    /// The number of the universe `universe` of the interface `interfaceUid`; -1 when the frame has
    /// none.
    int universeIndex(quint32 interfaceUid, qint64 universe) const;
    /// The channel values of universe `index`, universeSize() of them, channel 1 first.
    QByteArray universeData(int index) const;
    /// The channels of each universe: the wiring's universe size.
    int universeSize() const;

private:
    friend class LumoFramePrivate;
    std::unique_ptr<LumoFramePrivate> d;
};

#endif // LUMOFRAME_H
