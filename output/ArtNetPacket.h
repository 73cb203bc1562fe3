#ifndef ARTNETPACKET_H
#define ARTNETPACKET_H

// This file is not part of LumoMapOutput's public API: the ArtDmx packet of Art-Net 4, built into a
// buffer the caller gives.

#include <QtGlobal>

namespace ArtNetPacket {

constexpr quint16 port = 6454;
constexpr int headerSize = 18;
constexpr int greatestSize = headerSize + 512;
constexpr qint64 greatestUniverse = 32767; // a 15-bit port-address

// The data length an ArtDmx packet carries for `slotCount` channels: even, from 2 to 512.
int dataLength(int slotCount);

// Writes an ArtDmx packet for port-address `universe` with the `slotCount` (at most 512) channels of
// `slots`, zero-padded to dataLength(slotCount), into `buffer`, which holds at least headerSize +
// dataLength(slotCount) bytes. `sequence` is 1-255 (0 turns the receiver's reordering off). Returns
// the packet's size.
int write(quint8 *buffer, quint16 universe, quint8 sequence, const quint8 *slots, int slotCount);

} // namespace ArtNetPacket

#endif // ARTNETPACKET_H
