#ifndef RECORDLOADDEFAULTS_H
#define RECORDLOADDEFAULTS_H

// The values a load gives a node and an output before their fields are read, stated once for the map
// file's readers (LumoMapParser, which both read routes drive) and the JSON reader. A field the file
// gives replaces them. (The legacy import builds its outputs from the controller's ports instead.)
//
// Internal to the library; the header is not installed.

#include <LumoFixtureTemplate.h>
#include <LumoInterfaceTemplate.h>

namespace RecordLoadDefaults {

// The channels of a node whose record gives none.
constexpr qint32 NodeChannelCount = 3;

// A node as a load starts it.
inline void startNode(LumoNode &node)
{
    node.channelCount = NodeChannelCount;
}

// An output as a load starts it: numbered by its place among its template's outputs, from 1, of which
// the low 8 bits are kept, and marked used.
inline void startOutput(LumoOutput &output, qint64 place)
{
    output.portnum = static_cast<quint8>(static_cast<quint64>(place) & 0xFFu);
    output.used = true;
}

} // namespace RecordLoadDefaults

#endif // RECORDLOADDEFAULTS_H
