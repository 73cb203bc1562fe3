#include "LumoPacketRecorder.h"

#include <QHostAddress>
#include <QIODevice>

#include <new>

class LumoPacketRecorderPrivate
{
public:
    QIODevice *device = nullptr;
    QString error;
    bool deviceFailed = false;
    quint16 identification = 0;

    bool write(const QByteArray &bytes)
    {
        if (deviceFailed)
            return false;
        if (!device || device->write(bytes) != bytes.size()) {
            deviceFailed = true;
            error = device ? QStringLiteral("cannot write the capture: ") + device->errorString()
                           : QStringLiteral("no device to write the capture to");
            return false;
        }
        return true;
    }
};

namespace {

// pcap's fields are in the writer's byte order, which the magic number tells readers; this writer
// uses little-endian. The IPv4 and UDP headers are in network order.
void putLittle32(QByteArray &to, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        to.append(char(value >> (8 * i)));
}

void putBig16(QByteArray &to, quint16 value)
{
    to.append(char(value >> 8));
    to.append(char(value));
}

void putBig32(QByteArray &to, quint32 value)
{
    putBig16(to, quint16(value >> 16));
    putBig16(to, quint16(value));
}

constexpr quint32 linkTypeRawIpv4 = 101;
constexpr int ipv4HeaderSize = 20;
constexpr int udpHeaderSize = 8;

quint16 ipv4Checksum(const QByteArray &header)
{
    quint32 sum = 0;
    for (int i = 0; i + 1 < header.size(); i += 2)
        sum += quint32(quint8(header.at(i)) << 8 | quint8(header.at(i + 1)));
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

} // namespace

LumoPacketRecorder::LumoPacketRecorder(QIODevice *device) : d(new LumoPacketRecorderPrivate)
{
    d->device = device;
    QByteArray header;
    putLittle32(header, 0xa1b2c3d4);       // magic: microsecond time stamps
    putLittle32(header, 2 | (4u << 16));   // version 2.4
    putLittle32(header, 0);                // time zone
    putLittle32(header, 0);                // accuracy
    putLittle32(header, 65535);            // snapshot length
    putLittle32(header, linkTypeRawIpv4);
    d->write(header);
}

LumoPacketRecorder::~LumoPacketRecorder() = default;

bool LumoPacketRecorder::record(qint64 msecsSinceEpoch, const QHostAddress &source, quint16 sourcePort,
                                const QHostAddress &destination, quint16 destinationPort, const char *data, int size)
try {
    bool sourceIsIpv4 = false;
    bool destinationIsIpv4 = false;
    const quint32 from = source.toIPv4Address(&sourceIsIpv4);
    const quint32 to = destination.toIPv4Address(&destinationIsIpv4);
    if (!sourceIsIpv4 || !destinationIsIpv4 || size < 0 || size > 65535 - ipv4HeaderSize - udpHeaderSize) {
        d->error = QStringLiteral("only IPv4 datagrams of at most 65507 bytes can be recorded");
        return false;
    }
    const int length = ipv4HeaderSize + udpHeaderSize + size;
    QByteArray ip;
    ip.reserve(ipv4HeaderSize);
    ip.append(char(0x45));                // version 4, header of 5 words
    ip.append(char(0));                   // type of service
    putBig16(ip, quint16(length));
    putBig16(ip, d->identification++);
    putBig16(ip, 0x4000);                 // don't fragment
    ip.append(char(64));                  // time to live
    ip.append(char(17));                  // UDP
    putBig16(ip, 0);                      // checksum, filled below
    putBig32(ip, from);
    putBig32(ip, to);
    const quint16 checksum = ipv4Checksum(ip);
    ip[10] = char(checksum >> 8);
    ip[11] = char(checksum);

    QByteArray record;
    record.reserve(16 + length);
    const qint64 msecs = std::max<qint64>(msecsSinceEpoch, 0);
    putLittle32(record, quint32(msecs / 1000));
    putLittle32(record, quint32(msecs % 1000 * 1000));
    putLittle32(record, quint32(length));
    putLittle32(record, quint32(length));
    record.append(ip);
    putBig16(record, sourcePort);
    putBig16(record, destinationPort);
    putBig16(record, quint16(udpHeaderSize + size));
    putBig16(record, 0); // no UDP checksum, which IPv4 allows
    record.append(data, size);
    return d->write(record);
}
catch (const std::bad_alloc &) {
    d->error = QStringLiteral("not enough memory to record a packet");
    return false;
}

bool LumoPacketRecorder::isValid() const
{
    return !d->deviceFailed;
}

QString LumoPacketRecorder::errorString() const
{
    return d->error;
}
