#include "LumoOutputSender.h"

#include "ArtNetPacket.h"
#include "DatagramSocket.h"
#include "LumoFrame.h"
#include "LumoFrame_p.h"
#include "LumoPacketRecorder.h"
#include "SacnPacket.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

// Receivers drop a source after 2.5 s of silence; unchanged universes are sent again after this long.
constexpr qint64 keepAliveMsecs = 800;
// Stream_Terminated packets per universe when a stream ends.
constexpr int terminatePackets = 3;
// Room for the largest packet of either protocol.
constexpr int packetStride = std::max(SacnPacket::greatestSize, ArtNetPacket::greatestSize);

// One universe of the frame as it goes onto the network.
struct Stream
{
    bool active = false; // false for the universes of an interface without a destination
    int interfaceIndex = 0;
    quint32 address = 0; // IPv4, host order
    quint16 universe = 0; // as the protocol numbers it
    quint8 sequence = 0;
    bool sent = false;
    qint64 lastSentMsecs = 0;
};

// An IPv4 address other than 0.0.0.0, from the text of an interface's `ip`.
bool unicastAddress(const QString &text, quint32 &address)
{
    bool ipv4 = false;
    const QHostAddress parsed(text.trimmed());
    address = parsed.toIPv4Address(&ipv4);
    return ipv4 && address != 0;
}

} // namespace

class LumoOutputSenderPrivate
{
public:
    bool open(const LumoFrame &frame);
    void sendFrame(const LumoFramePrivate &frame, qint64 msecs);
    void end(qint64 msecs);
    // Builds universe `index`'s packet from `channels` with `options` (sACN) into its buffer and
    // queues it.
    void queue(int index, const quint8 *channels, quint8 options);
    void dispatch(qint64 msecs);
    void warnOnce(const QString &warning);
    // Warns of universes that several interfaces send to one address, which a receiver there cannot
    // tell apart: one address for all packets, multicast, or interfaces sharing an IP.
    void warnSharedUniverses(const QList<FrameInterface> &interfaces, const std::vector<Stream> &streams);
    qint64 now() const { return clock.isValid() ? clock.elapsed() : 0; }

    bool fail(LumoOutputSender::Error code, const QString &message)
    {
        errorCode = code;
        error = message;
        return false;
    }

    LumoOutputOptions options;
    QUuid cid;
    LumoOutputSender::Error errorCode = LumoOutputSender::NoError;
    LumoPacketRecorder *recorder = nullptr;
    QString error;
    QStringList warnings;
    QSet<QString> warned;
    qint64 packets = 0;

    bool started = false;
    QElapsedTimer clock;
    qint64 startEpochMsecs = 0;
    bool framesSent = false;
    double nextFrameDue = 0;
    int universeSize = 0;
    QList<FrameInterface> interfaces;
    std::vector<Stream> streams;
    std::vector<quint8> lastData;   // what each universe was last sent with
    std::vector<quint8> buffers;    // one packet buffer per universe
    std::vector<Datagram> queued;
    std::vector<int> queuedStreams; // the universe of each queued datagram
    SacnPacket::Source source;
    DatagramSocket socket;
    quint16 sourcePort = 0;
};

void LumoOutputSenderPrivate::warnOnce(const QString &warning)
{
    if (!warned.contains(warning)) {
        warned.insert(warning);
        warnings.append(warning);
    }
}

void LumoOutputSenderPrivate::warnSharedUniverses(const QList<FrameInterface> &interfaces,
                                                   const std::vector<Stream> &streams)
{
    QMap<QPair<quint32, quint16>, QList<int>> senders; // (address, universe) -> interfaces
    for (const Stream &stream : streams) {
        if (stream.active) {
            QList<int> &indexes = senders[{stream.address, stream.universe}];
            if (!indexes.contains(stream.interfaceIndex))
                indexes.append(stream.interfaceIndex);
        }
    }
    // One warning per set of interfaces, naming the universes they share and where they go.
    QMap<QList<int>, QPair<QStringList, QStringList>> shared; // universes, addresses
    for (auto it = senders.cbegin(); it != senders.cend(); ++it) {
        if (it.value().size() < 2)
            continue;
        QPair<QStringList, QStringList> &place = shared[it.value()];
        place.first.append(QString::number(it.key().second));
        const QString address = QHostAddress(it.key().first).toString();
        if (!place.second.contains(address))
            place.second.append(address);
    }
    for (auto it = shared.cbegin(); it != shared.cend(); ++it) {
        // A few names and a count, so that a map of a thousand controllers gives one readable line.
        QStringList names;
        for (int index : it.key().mid(0, 3))
            names.append(interfaces.at(index).label());
        if (it.key().size() > 3)
            names.append(QStringLiteral("%1 more").arg(it.key().size() - 3));
        QStringList universes = it.value().first.mid(0, 8);
        if (it.value().first.size() > 8)
            universes.append(QStringLiteral("... (%1 in all)").arg(it.value().first.size()));
        warnOnce(QStringLiteral("%1 all send universe%2 %3 to %4, where a receiver cannot tell them apart: "
                                "send one of them at a time")
                     .arg(names.join(QStringLiteral(", ")), QLatin1String(it.value().first.size() > 1 ? "s" : ""),
                          universes.join(QStringLiteral(", ")), QStringList(it.value().second.mid(0, 8)).join(QStringLiteral(", "))));
    }
}

bool LumoOutputSenderPrivate::open(const LumoFrame &frame)
{
    if (!frame.isValid())
        return fail(LumoOutputSender::InvalidFrame, frame.errorString());
    const bool sacn = options.protocol() == LumoOutputOptions::Sacn;
    if (options.multicast() && !sacn)
        return fail(LumoOutputSender::InvalidOptions,
                    QStringLiteral("Art-Net has no multicast: send to each interface's IP or to one address"));
    if (options.multicast() && !options.destination().isNull())
        return fail(LumoOutputSender::InvalidOptions,
                    QStringLiteral("multicast and one destination for all packets exclude each other"));
    quint32 destination = 0;
    if (!options.destination().isNull() && !unicastAddress(options.destination().toString(), destination))
        return fail(LumoOutputSender::InvalidOptions,
                    QStringLiteral("the destination %1 is not an IPv4 address").arg(options.destination().toString()));

    const LumoFramePrivate &layout = LumoFramePrivate::of(frame);
    const qint64 least = sacn ? SacnPacket::leastUniverse : 0;
    const qint64 greatest = sacn ? SacnPacket::greatestUniverse : ArtNetPacket::greatestUniverse;
    const QString protocol = sacn ? QStringLiteral("sACN") : QStringLiteral("Art-Net");
    std::vector<Stream> opened(layout.universes.size());
    for (size_t i = 0; i < layout.universes.size(); ++i) {
        const FrameUniverse &universe = layout.universes[i];
        const FrameInterface &interface = layout.interfaces.at(universe.interfaceIndex);
        Stream &stream = opened[i];
        stream.interfaceIndex = universe.interfaceIndex;
        if (options.multicast()) {
            stream.active = true;
        } else if (destination != 0) {
            stream.active = true;
            stream.address = destination;
        } else if (unicastAddress(interface.ip, stream.address)) {
            stream.active = true;
        } else {
            warnOnce(QStringLiteral("%1 has no IP address (\"%2\"): its universes are not sent")
                         .arg(interface.label(), interface.ip));
            continue;
        }
        if (universe.number < least || universe.number > greatest) {
            return fail(LumoOutputSender::UniverseOutOfRange, QStringLiteral("%1 uses universe %2, which %3 does not carry (universes %4-%5): "
                                   "start its ports at another universe")
                        .arg(interface.label())
                        .arg(universe.number)
                        .arg(protocol)
                        .arg(least)
                        .arg(greatest));
        }
        stream.universe = quint16(universe.number);
        if (options.multicast())
            stream.address = SacnPacket::multicastGroup(stream.universe);
        stream.sequence = sacn ? 0 : 1;
    }

    warnSharedUniverses(layout.interfaces, opened);

    if (!options.dryRun()) {
        QString reason;
        if (!socket.open(reason))
            return fail(LumoOutputSender::SocketError, reason);
        sourcePort = socket.localPort();
    } else {
        sourcePort = sacn ? SacnPacket::port : ArtNetPacket::port;
    }
    const QByteArray cidBytes = cid.toRfc4122();
    std::memcpy(source.cid, cidBytes.constData(), 16);
    const QByteArray name = options.sourceName().toUtf8().left(63);
    std::memset(source.name, 0, sizeof source.name);
    std::memcpy(source.name, name.constData(), size_t(name.size()));
    source.priority = quint8(options.priority());

    universeSize = layout.universeSize;
    interfaces = layout.interfaces;
    streams = std::move(opened);
    lastData.assign(layout.data.size(), 0);
    buffers.assign(streams.size() * size_t(packetStride), 0);
    queued.clear();
    queuedStreams.clear();
    queued.reserve(streams.size());
    queuedStreams.reserve(streams.size());
    framesSent = false;
    clock.start();
    startEpochMsecs = QDateTime::currentMSecsSinceEpoch();
    return true;
}

void LumoOutputSenderPrivate::queue(int index, const quint8 *channels, quint8 sacnOptions)
{
    Stream &stream = streams[size_t(index)];
    quint8 *buffer = buffers.data() + size_t(index) * packetStride;
    int size = 0;
    if (options.protocol() == LumoOutputOptions::Sacn) {
        const quint8 flags = quint8(sacnOptions | (options.preview() ? SacnPacket::PreviewData : 0));
        size = SacnPacket::write(buffer, source, stream.universe, stream.sequence++, flags, channels, universeSize);
    } else {
        size = ArtNetPacket::write(buffer, stream.universe, stream.sequence, channels, universeSize);
        stream.sequence = stream.sequence == 255 ? 1 : quint8(stream.sequence + 1);
    }
    const quint16 port = options.protocol() == LumoOutputOptions::Sacn ? SacnPacket::port : ArtNetPacket::port;
    queued.push_back({stream.address, port, buffer, size});
    queuedStreams.push_back(index);
}

void LumoOutputSenderPrivate::dispatch(qint64 msecs)
{
    packets += qint64(queued.size());
    if (recorder) {
        for (const Datagram &datagram : queued) {
            const bool loopback = (datagram.address >> 24) == 127;
            recorder->record(startEpochMsecs + msecs, QHostAddress(loopback ? 0x7f000001u : 0u), sourcePort,
                             QHostAddress(datagram.address), datagram.port,
                             reinterpret_cast<const char *>(datagram.data), datagram.size);
        }
    }
    if (!options.dryRun()) {
        socket.send(queued.data(), int(queued.size()), [this](int index, const QString &reason) {
            const Stream &stream = streams[size_t(queuedStreams[size_t(index)])];
            warnOnce(QStringLiteral("%1 at %2 cannot be reached: %3")
                         .arg(interfaces.at(stream.interfaceIndex).label(),
                              QHostAddress(stream.address).toString(), reason));
        });
    }
    queued.clear();
    queuedStreams.clear();
}

void LumoOutputSenderPrivate::sendFrame(const LumoFramePrivate &frame, qint64 msecs)
{
    const double interval = 1000.0 / options.framesPerSecond();
    // A frame may come up to 2 ms early (timers jitter by a millisecond or so); the due time of the
    // next one still advances a whole interval, so the rate never exceeds the one set.
    if (framesSent && msecs < nextFrameDue - std::min(interval / 8, 2.0))
        return;
    nextFrameDue = framesSent ? std::max(nextFrameDue + interval, double(msecs)) : msecs + interval;
    framesSent = true;
    for (size_t i = 0; i < streams.size(); ++i) {
        Stream &stream = streams[i];
        if (!stream.active)
            continue;
        const quint8 *channels = frame.universeBytes(int(i));
        quint8 *last = lastData.data() + i * size_t(universeSize);
        const bool changed = !stream.sent || std::memcmp(channels, last, size_t(universeSize)) != 0;
        if (!changed && msecs - stream.lastSentMsecs < keepAliveMsecs)
            continue;
        std::memcpy(last, channels, size_t(universeSize));
        stream.sent = true;
        stream.lastSentMsecs = msecs;
        queue(int(i), channels, 0);
    }
    dispatch(msecs);
}

void LumoOutputSenderPrivate::end(qint64 msecs)
{
    const std::vector<quint8> zeros(size_t(universeSize), 0);
    const bool sacn = options.protocol() == LumoOutputOptions::Sacn;
    for (int round = 0; round <= (sacn ? terminatePackets : 0); ++round) {
        for (size_t i = 0; i < streams.size(); ++i) {
            if (streams[i].active)
                queue(int(i), zeros.data(), round == 0 ? 0 : SacnPacket::StreamTerminated);
        }
        dispatch(msecs);
    }
    started = false;
}

LumoOutputSender::LumoOutputSender(const LumoOutputOptions &options) : d(new LumoOutputSenderPrivate)
{
    d->options = options;
    d->cid = options.cid().isNull() ? QUuid::createUuid() : options.cid();
}

LumoOutputSender::~LumoOutputSender() = default;

LumoOutputOptions LumoOutputSender::options() const
{
    return d->options;
}

QUuid LumoOutputSender::cid() const
{
    return d->cid;
}

void LumoOutputSender::setRecorder(LumoPacketRecorder *recorder)
{
    d->recorder = recorder;
}

bool LumoOutputSender::start(const LumoFrame &frame)
{
    d->fail(NoError, QString());
    if (d->started)
        return d->fail(NotStarted, QStringLiteral("the sender is already started"));
    try {
        d->started = d->open(frame);
    } catch (const std::bad_alloc &) {
        d->started = d->fail(OutOfMemory, QStringLiteral("not enough memory to start sending"));
    }
    return d->started;
}

bool LumoOutputSender::send(const LumoFrame &frame)
{
    return sendAt(frame, d->now());
}

bool LumoOutputSender::sendAt(const LumoFrame &frame, qint64 msecs)
{
    d->fail(NoError, QString());
    const LumoFramePrivate &layout = LumoFramePrivate::of(frame);
    if (!d->started)
        return d->fail(NotStarted, QStringLiteral("the sender is not started"));
    if (layout.universes.size() != d->streams.size() || layout.universeSize != d->universeSize)
        return d->fail(InvalidFrame, QStringLiteral("the frame is not laid out as the one the sender was started with"));
    try {
        d->sendFrame(layout, msecs);
    } catch (const std::bad_alloc &) {
        return d->fail(OutOfMemory, QStringLiteral("not enough memory to send the frame"));
    }
    return true;
}

bool LumoOutputSender::stop(qint64 msecs)
{
    d->fail(NoError, QString());
    if (!d->started)
        return d->fail(NotStarted, QStringLiteral("the sender is not started"));
    try {
        d->end(msecs < 0 ? d->now() : msecs);
    } catch (const std::bad_alloc &) {
        d->started = false;
        return d->fail(OutOfMemory, QStringLiteral("not enough memory to end the streams"));
    }
    return true;
}

LumoOutputSender::Error LumoOutputSender::error() const
{
    return d->errorCode;
}

QString LumoOutputSender::errorString() const
{
    return d->error;
}

QStringList LumoOutputSender::takeWarnings()
{
    QStringList taken;
    taken.swap(d->warnings);
    return taken;
}

qint64 LumoOutputSender::packetCount() const
{
    return d->packets;
}
