#include "DatagramSocket.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

struct DatagramSocket::Native
{
    int fd = -1;
    quint16 port = 0;
};

namespace {

// How many datagrams one sendmmsg call takes.
constexpr int batchSize = 64;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

DatagramSocket::DatagramSocket() : native(new Native) {}

DatagramSocket::~DatagramSocket()
{
    if (native->fd >= 0)
        ::close(native->fd);
}

bool DatagramSocket::open(QString &error)
{
    if (native->fd >= 0)
        return true;
    native->fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (native->fd < 0) {
        error = QStringLiteral("cannot open a UDP socket: ") + systemError(errno);
        return false;
    }
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof local;
    const unsigned char loop = 1;
    if (::bind(native->fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0
        || ::getsockname(native->fd, reinterpret_cast<sockaddr *>(&local), &length) != 0
        || ::setsockopt(native->fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
        error = QStringLiteral("cannot set up a UDP socket: ") + systemError(errno);
        ::close(native->fd);
        native->fd = -1;
        return false;
    }
    native->port = ntohs(local.sin_port);
    return true;
}

quint16 DatagramSocket::localPort() const
{
    return native->port;
}

void DatagramSocket::send(const Datagram *datagrams, int count,
                          const std::function<void(int, const QString &)> &failed)
{
    sockaddr_in addresses[batchSize];
    iovec vectors[batchSize];
    mmsghdr messages[batchSize];
    for (int first = 0; first < count; first += batchSize) {
        const int n = std::min(batchSize, count - first);
        for (int i = 0; i < n; ++i) {
            const Datagram &datagram = datagrams[first + i];
            addresses[i] = {};
            addresses[i].sin_family = AF_INET;
            addresses[i].sin_port = htons(datagram.port);
            addresses[i].sin_addr.s_addr = htonl(datagram.address);
            vectors[i].iov_base = const_cast<quint8 *>(datagram.data);
            vectors[i].iov_len = size_t(datagram.size);
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &addresses[i];
            messages[i].msg_hdr.msg_namelen = sizeof addresses[i];
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        // sendmmsg stops at the first datagram the network refuses; that one is reported and the
        // rest are sent by the next call.
        int sent = 0;
        while (sent < n) {
            const int result = ::sendmmsg(native->fd, messages + sent, unsigned(n - sent), 0);
            if (result > 0) {
                sent += result;
            } else if (result < 0 && errno == EINTR) {
                continue;
            } else {
                failed(first + sent, systemError(result < 0 ? errno : EIO));
                ++sent;
            }
        }
    }
}

#else // not Linux: Qt's socket, one datagram at a time

#include <QHostAddress>
#include <QUdpSocket>

struct DatagramSocket::Native
{
    QUdpSocket socket;
};

DatagramSocket::DatagramSocket() : native(new Native) {}
DatagramSocket::~DatagramSocket() = default;

bool DatagramSocket::open(QString &error)
{
    if (native->socket.state() == QAbstractSocket::BoundState)
        return true;
    if (!native->socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        error = QStringLiteral("cannot open a UDP socket: ") + native->socket.errorString();
        return false;
    }
    native->socket.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
    return true;
}

quint16 DatagramSocket::localPort() const
{
    return native->socket.localPort();
}

void DatagramSocket::send(const Datagram *datagrams, int count,
                          const std::function<void(int, const QString &)> &failed)
{
    for (int i = 0; i < count; ++i) {
        const Datagram &datagram = datagrams[i];
        if (native->socket.writeDatagram(reinterpret_cast<const char *>(datagram.data), datagram.size,
                                         QHostAddress(datagram.address), datagram.port) < 0)
            failed(i, native->socket.errorString());
    }
}

#endif
