#include "SacnPacket.h"

#include <cstring>

namespace {

void put16(quint8 *at, quint16 value)
{
    at[0] = quint8(value >> 8);
    at[1] = quint8(value);
}

void put32(quint8 *at, quint32 value)
{
    put16(at, quint16(value >> 16));
    put16(at + 2, quint16(value));
}

// A layer's flags (0x7) and its length, from its own first byte to the end of the packet.
void putFlagsAndLength(quint8 *at, int length)
{
    put16(at, quint16(0x7000 | (length & 0x0fff)));
}

const char packetIdentifier[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};

} // namespace

namespace SacnPacket {

int write(quint8 *buffer, const Source &source, quint16 universe, quint8 sequence, quint8 options,
          const quint8 *slots, int slotCount)
{
    const int size = headerSize + slotCount;
    // Root layer
    put16(buffer + 0, 0x0010); // preamble size
    put16(buffer + 2, 0x0000); // postamble size
    std::memcpy(buffer + 4, packetIdentifier, sizeof packetIdentifier);
    putFlagsAndLength(buffer + 16, size - 16);
    put32(buffer + 18, 0x00000004); // data
    std::memcpy(buffer + 22, source.cid, 16);
    // Framing layer
    putFlagsAndLength(buffer + 38, size - 38);
    put32(buffer + 40, 0x00000002); // data
    std::memcpy(buffer + 44, source.name, 64);
    buffer[108] = source.priority;
    put16(buffer + 109, 0); // no synchronization
    buffer[111] = sequence;
    buffer[112] = options;
    put16(buffer + 113, universe);
    // DMP layer
    putFlagsAndLength(buffer + 115, size - 115);
    buffer[117] = 0x02;        // set property
    buffer[118] = 0xa1;        // address and data type
    put16(buffer + 119, 0);    // first property address
    put16(buffer + 121, 1);    // address increment
    put16(buffer + 123, quint16(slotCount + 1));
    buffer[125] = 0x00;        // start code: dimmer data
    std::memcpy(buffer + headerSize, slots, size_t(slotCount));
    return size;
}

quint32 multicastGroup(quint16 universe)
{
    return (239u << 24) | (255u << 16) | universe;
}

} // namespace SacnPacket
