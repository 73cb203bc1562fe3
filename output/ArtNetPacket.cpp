#include "ArtNetPacket.h"

#include <algorithm>
#include <cstring>

namespace ArtNetPacket {

int dataLength(int slotCount)
{
    return std::clamp(slotCount + (slotCount & 1), 2, 512);
}

int write(quint8 *buffer, quint16 universe, quint8 sequence, const quint8 *slots, int slotCount)
{
    const int length = dataLength(slotCount);
    static const char id[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
    std::memcpy(buffer, id, sizeof id);
    buffer[8] = 0x00; // OpDmx 0x5000, low byte first
    buffer[9] = 0x50;
    buffer[10] = 0;   // protocol version 14, high byte first
    buffer[11] = 14;
    buffer[12] = sequence;
    buffer[13] = 0;   // physical input port
    buffer[14] = quint8(universe & 0xff);        // SubUni: sub-net and universe
    buffer[15] = quint8((universe >> 8) & 0x7f); // Net
    buffer[16] = quint8(length >> 8);
    buffer[17] = quint8(length);
    const int copied = std::min(slotCount, length);
    std::memcpy(buffer + headerSize, slots, size_t(copied));
    std::memset(buffer + headerSize + copied, 0, size_t(length - copied));
    return headerSize + length;
}

} // namespace ArtNetPacket
