#ifndef LUMOOUTPUTSENDER_H
#define LUMOOUTPUTSENDER_H

/// \file
/// Sends frames to the controllers as sACN or Art-Net (library LumoMapOutput, target
/// LumoMap::Output).

#include "LumoOutputOptions.h"
#include "lumomapoutput_export.h"

#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>

class LumoFrame;
class LumoOutputSenderPrivate;
class LumoPacketRecorder;

/// Sends the universes of a LumoFrame over UDP, each to its interface's controller: one sACN data
/// packet or one ArtDmx packet per universe.
///
/// - start() checks every universe against the protocol (sACN 1-63999, Art-Net 0-32767) and refuses
///   the whole frame, sending nothing, when one is out of range. An interface without an IP (empty
///   or 0.0.0.0) is left out with a warning, unless LumoOutputOptions::destination() sends all
///   packets to one address.
/// - send() sends, at most LumoOutputOptions::framesPerSecond() times a second, the universes whose
///   data changed and those unsent for 800 ms, so that receivers keep them (they drop a source
///   after 2.5 s of silence). Call it for every frame, at least every 800 ms.
/// - stop() sends every universe once with all channels at 0 and, with sACN, three packets per
///   universe with the Stream_Terminated option, so that receivers let go of the source at once.
///
/// Each universe has its own sequence number (sACN 0-255, Art-Net 1-255, wrapping). A controller the
/// network refuses (no route, unreachable) is reported in takeWarnings() and does not stop the
/// others. With LumoOutputOptions::dryRun() nothing is sent: the packets go to the recorder alone,
/// with the time stamps the caller's clock gives them (sendAt()).
///
/// No exception leaves the sender; running out of memory fails the call with a message.
class LUMOMAPOUTPUT_EXPORT LumoOutputSender
{
public:
    /// What made the last call fail.
    enum Error {
        NoError,            ///< The last call succeeded.
        InvalidFrame,       ///< The frame is invalid, or not laid out as the one start() was given.
        UniverseOutOfRange, ///< A universe lies outside the protocol's range; start the wiring elsewhere.
        InvalidOptions,     ///< The options contradict each other (Art-Net multicast, ...).
        SocketError,        ///< No socket could be opened.
        NotStarted,         ///< send() or stop() before start(), or start() twice.
        OutOfMemory,        ///< Memory ran out.
    };

    /// A sender with `options`; nothing is opened before start().
    explicit LumoOutputSender(const LumoOutputOptions &options = LumoOutputOptions());
    /// Destroys the sender without sending anything more (call stop() first to end streams).
    ~LumoOutputSender();
    LumoOutputSender(const LumoOutputSender &) = delete;
    LumoOutputSender &operator=(const LumoOutputSender &) = delete;

    /// The options the sender uses.
    LumoOutputOptions options() const;
    /// The sACN CID of every packet: LumoOutputOptions::cid(), or one the sender made.
    QUuid cid() const;

    /// Records every packet the sender makes to `recorder` as well (null for none). The recorder is
    /// not owned and must outlive the sender or be unset.
    void setRecorder(LumoPacketRecorder *recorder);

    /// Prepares to send frames laid out as `frame`: checks its universes and destinations and opens
    /// the socket. Returns false, having sent nothing, when a universe is out of the protocol's
    /// range, the frame is invalid, the options contradict each other or no socket can be opened;
    /// errorString() says why.
    bool start(const LumoFrame &frame);
    /// sendAt() with the time since start() on the sender's own clock.
    bool send(const LumoFrame &frame);
    /// Sends `frame` as if `msecs` milliseconds had passed since start(): nothing when less than
    /// one frame interval passed since the last frame sent, else the universes that changed or
    /// were unsent for 800 ms. Returns false when the frame is not laid out as the one start() was
    /// given, or the sender is not started.
    bool sendAt(const LumoFrame &frame, qint64 msecs);
    /// Ends the streams at `msecs` (the sender's own clock when negative): every universe once with
    /// all channels at 0, then with sACN three Stream_Terminated packets per universe. Returns false
    /// when the sender was not started.
    bool stop(qint64 msecs = -1);

    /// What made the last call fail; LumoOutputSender::NoError when it succeeded.
    Error error() const;
    /// Why the last call failed, in one line; empty when it succeeded.
    QString errorString() const;
    /// Warnings gathered since the last call (interfaces left out, controllers the network refused),
    /// each reported once; the list is emptied.
    QStringList takeWarnings();
    /// Packets made since start(), sent or recorded.
    qint64 packetCount() const;

private:
    std::unique_ptr<LumoOutputSenderPrivate> d;
};

#endif // LUMOOUTPUTSENDER_H
