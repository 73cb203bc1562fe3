#ifndef LUMOPACKETRECORDER_H
#define LUMOPACKETRECORDER_H

/// \file
/// Records UDP packets as a pcap file that tshark and Wireshark read (library LumoMapOutput, target
/// LumoMap::Output).

#include "lumomapoutput_export.h"

#include <QString>

#include <memory>

class LumoPacketRecorderPrivate;
class QHostAddress;
class QIODevice;

/// Writes UDP packets to a device as a pcap capture file (link type raw IPv4): each packet as the
/// IPv4/UDP frame it would be on the wire, with its addresses, ports and time stamp.
///
/// Give it to LumoOutputSender::setRecorder() to record every packet a sender makes, also in a dry
/// run, which sends nothing.
class LUMOMAPOUTPUT_EXPORT LumoPacketRecorder
{
public:
    /// A recorder writing to `device`, which must be open for writing and outlive the recorder.
    /// The file's header is written at once.
    explicit LumoPacketRecorder(QIODevice *device);
    /// Destroys the recorder; the device stays open.
    ~LumoPacketRecorder();
    LumoPacketRecorder(const LumoPacketRecorder &) = delete;
    LumoPacketRecorder &operator=(const LumoPacketRecorder &) = delete;

    /// Records one UDP packet of `size` bytes from `data`, sent at `msecsSinceEpoch` (UTC) from
    /// `source`:`sourcePort` to `destination`:`destinationPort` (IPv4 addresses). Returns false when
    /// the device refused it or the packet cannot be an IPv4 datagram; errorString() says why.
    bool record(qint64 msecsSinceEpoch, const QHostAddress &source, quint16 sourcePort,
                const QHostAddress &destination, quint16 destinationPort, const char *data, int size);

    /// False once writing to the device failed.
    bool isValid() const;
    /// Why the last record failed; empty while none did.
    QString errorString() const;

private:
    std::unique_ptr<LumoPacketRecorderPrivate> d;
};

#endif // LUMOPACKETRECORDER_H
