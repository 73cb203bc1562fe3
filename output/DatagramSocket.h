#ifndef DATAGRAMSOCKET_H
#define DATAGRAMSOCKET_H

// This file is not part of LumoMapOutput's public API: the UDP socket a sender sends its packets
// through, many at a time (sendmmsg on Linux, QUdpSocket elsewhere).

#include <QString>

#include <functional>
#include <memory>

// One packet to send: IPv4 address and port in host order, and its bytes.
struct Datagram
{
    quint32 address = 0;
    quint16 port = 0;
    const quint8 *data = nullptr;
    int size = 0;
};

class DatagramSocket
{
public:
    DatagramSocket();
    ~DatagramSocket();
    DatagramSocket(const DatagramSocket &) = delete;
    DatagramSocket &operator=(const DatagramSocket &) = delete;

    // Opens an IPv4 UDP socket on an ephemeral port, multicast looped back to this machine too.
    // Returns false with `error` set when it cannot.
    bool open(QString &error);
    // The port the socket sends from; 0 before open().
    quint16 localPort() const;
    // Sends `count` datagrams. Each one the network refuses (no route, unreachable, ...) is passed
    // to `failed` with its index and the reason; the others are sent all the same.
    void send(const Datagram *datagrams, int count, const std::function<void(int, const QString &)> &failed);

private:
    struct Native;
    std::unique_ptr<Native> native;
};

#endif // DATAGRAMSOCKET_H
