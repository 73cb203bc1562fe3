#ifndef LUMOFRAME_P_H
#define LUMOFRAME_P_H

// This file is not part of LumoMapOutput's public API: the layout of a LumoFrame, which the sender
// and the test patterns read.

#include "LumoFrame.h"
#include "RecordKeys.h"

#include <QHash>
#include <QList>
#include <QString>

#include <vector>

class LumoFixture;

// An interface of the wiring, as the sender and the patterns name and address it.
struct FrameInterface
{
    quint32 uid = 0;
    QString name;
    QString ip;

    // How messages name the interface: its name and its uid in hexadecimal, as the map file stores it.
    QString label() const
    {
        return QStringLiteral("interface \"%1\" (uid %2)").arg(name, RecordKeys::hexKey(uid));
    }
};

// A port of the wiring: its nodes are frame nodes firstNode .. firstNode + nodeCount - 1.
struct FramePort
{
    int interfaceIndex = 0;
    int port = 0; // its place on the controller, from 1
    int firstNode = 0;
    int nodeCount = 0;
};

// Where a node's channels lie in the frame's data. A node's channels are consecutive in the data,
// also when they cross into the next universe, since an interface's consecutive universes are
// consecutive blocks of the data.
struct FrameNode
{
    qint64 offset = -1; // index of its first channel in the data; -1 when it lies in no universe
    int channels = 0;
    int portIndex = 0;
    int chainNumber = 0;
    qint64 universe = -1;
    int channel = 0;
};

// The part of a FrameNode that setting its values reads, kept apart so that a frame's nodes are set
// from a small dense table.
struct NodeSlot
{
    qint64 offset = -1;
    qint64 channels = 0;
};

struct FrameUniverse
{
    int interfaceIndex = 0;
    qint64 number = 0;
};

// A fixture's nodes are frame nodes first .. first + count - 1.
struct FrameFixtureNodes
{
    int first = 0;
    int count = 0;
};

class LumoFramePrivate
{
public:
    static const LumoFramePrivate &of(const LumoFrame &frame) { return *frame.d; }
    static LumoFramePrivate &of(LumoFrame &frame) { return *frame.d; }

    void build(const LumoWiring &wiring);
    const quint8 *universeBytes(int index) const { return data.data() + qint64(index) * universeSize; }

    QString error;
    int universeSize = 1;
    QList<FrameInterface> interfaces;
    std::vector<FramePort> ports;
    std::vector<FrameNode> nodes;
    std::vector<NodeSlot> nodeSlots; // one per node
    int nodeCount = 0;
    std::vector<FrameUniverse> universes;
    std::vector<quint8> data; // universes.size() blocks of universeSize channels
    QHash<const LumoFixture *, FrameFixtureNodes> fixtureNodes;
};

#endif // LUMOFRAME_P_H
