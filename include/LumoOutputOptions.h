#ifndef LUMOOUTPUTOPTIONS_H
#define LUMOOUTPUTOPTIONS_H

/// \file
/// How a LumoOutputSender sends frames: protocol, destination, identity and rate (library
/// LumoMapOutput, target LumoMap::Output).

#include "lumomapoutput_export.h"

#include <QHostAddress>
#include <QSharedDataPointer>
#include <QString>
#include <QUuid>

class LumoOutputOptionsData;

/// The settings of a LumoOutputSender, a value class: copies are cheap and independent, and options
/// added later change neither its size nor its layout.
///
/// Setters take any value and keep the nearest one that is allowed (a priority of 300 becomes 200,
/// a rate of 0 frames a second becomes 1); the getters return what is used.
class LUMOMAPOUTPUT_EXPORT LumoOutputOptions
{
public:
    /// The network protocols a sender speaks.
    enum Protocol {
        Sacn,   ///< ANSI E1.31-2016 (streaming ACN) data packets, UDP port 5568, universes 1-63999.
        ArtNet, ///< Art-Net 4 ArtDmx packets, UDP port 6454, port-addresses (universes) 0-32767.
    };

    /// sACN, unicast to each interface's IP, priority 100, source name "LumoMap", 40 frames a second.
    LumoOutputOptions();
    /// A copy of `other`.
    LumoOutputOptions(const LumoOutputOptions &other);
    /// Makes this a copy of `other`.
    LumoOutputOptions &operator=(const LumoOutputOptions &other);
    /// Destroys the options.
    ~LumoOutputOptions();

    /// The protocol; LumoOutputOptions::Sacn by default.
    Protocol protocol() const;
    /// Sets the protocol.
    void setProtocol(Protocol protocol);

    /// The one address every packet goes to (a test receiver, a bench rig), whatever the interfaces'
    /// IPs; null (the default) sends each interface's universes to its own IP.
    QHostAddress destination() const;
    /// Sets the one address for all packets; a null address restores unicast to each interface's IP.
    void setDestination(const QHostAddress &address);

    /// Whether sACN packets go to the universe's multicast group 239.255.hi.lo instead of to an IP;
    /// false by default. Art-Net has no multicast: a sender refuses the two together.
    bool multicast() const;
    /// Sets multicast.
    void setMulticast(bool multicast);

    /// The sACN priority, 0-200; 100 by default.
    int priority() const;
    /// Sets the sACN priority, kept within 0-200.
    void setPriority(int priority);

    /// The source name sACN receivers show, at most 63 bytes of UTF-8; "LumoMap" by default.
    QString sourceName() const;
    /// Sets the source name; a longer name is cut at a character boundary to fit 63 bytes.
    void setSourceName(const QString &name);

    /// The sACN component identifier (CID); null by default, and a sender then makes one of its own
    /// that stays the same for all its packets.
    QUuid cid() const;
    /// Sets the CID, so that receivers see one source across runs.
    void setCid(const QUuid &cid);

    /// Whether sACN packets carry the preview option (data for visualisers, not for lights); false
    /// by default.
    bool preview() const;
    /// Sets the preview option.
    void setPreview(bool preview);

    /// The most frames a second the sender sends, 1-1000; 40 by default (sACN recommends at most 44).
    int framesPerSecond() const;
    /// Sets the frame rate, kept within 1-1000.
    void setFramesPerSecond(int framesPerSecond);

    /// Whether the sender makes its packets without sending them (to a LumoPacketRecorder only);
    /// false by default.
    bool dryRun() const;
    /// Sets the dry run.
    void setDryRun(bool dryRun);

private:
    QSharedDataPointer<LumoOutputOptionsData> d;
};

#endif // LUMOOUTPUTOPTIONS_H
