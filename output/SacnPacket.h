#ifndef SACNPACKET_H
#define SACNPACKET_H

// This file is not part of LumoMapOutput's public API: the sACN data packet of ANSI E1.31-2016, built
// into a buffer the caller gives.

#include <QtGlobal>

namespace SacnPacket {

constexpr quint16 port = 5568;
constexpr int headerSize = 126; // root, framing and DMP layers up to the start code, included
constexpr int greatestSize = headerSize + 512;
constexpr qint64 leastUniverse = 1;
constexpr qint64 greatestUniverse = 63999;

enum Option : quint8 {
    PreviewData = 0x80,
    StreamTerminated = 0x40,
};

// What every packet of one source repeats.
struct Source
{
    quint8 cid[16] = {};
    char name[64] = {}; // UTF-8, zero-padded
    quint8 priority = 100;
};

// Writes a data packet for `universe` with start code 0 and `slotCount` (at most 512) slots into
// `buffer`, which holds at least headerSize + slotCount bytes. Returns the packet's size.
int write(quint8 *buffer, const Source &source, quint16 universe, quint8 sequence, quint8 options,
          const quint8 *slots, int slotCount);

// The IPv4 multicast group of `universe`, 239.255.hi.lo, as a host-order address.
quint32 multicastGroup(quint16 universe);

} // namespace SacnPacket

#endif // SACNPACKET_H
