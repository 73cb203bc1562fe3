#ifndef LUMOMAPCHECK_H
#define LUMOMAPCHECK_H

/// \file
/// The checks of a map: references that lead nowhere, keys that should be distinct but are not,
/// and what a crew on site needs right before the controllers are patched.

#include "LumoWiring.h"
#include "lumomap_export.h"

#include <QList>
#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class LumoMapCheckOptionsData;
class LumoMapModel;

/// One finding of LumoMapCheck.
struct LUMOMAP_EXPORT LumoMapFinding
{
    /// How much a finding matters.
    enum Level
    {
        Warning, ///< Allowed by the format, but worth a look.
        Error,   ///< Breaks the map for its users.
    };

    Level level = Warning; ///< How much the finding matters.
    QString check;   ///< A short identifier of the check, for scripts, e.g. "shared-ip".
    QString kind;    ///< The kind of the records concerned: "fixturetemplate", "interfacetemplate",
                     ///< "interface", or "map" for the map as a whole.
    QStringList keys; ///< Their keys as the map file writes them (uids in lower-case hexadecimal).
    QString field;   ///< The field concerned, e.g. "ip"; empty when the finding concerns whole records.
    QString record;  ///< The records concerned, described for people, e.g. `interface 1a "Stage Left"`.
    QString message; ///< What is wrong.

    /// "error" or "warning".
    QString levelName() const;
    /// The finding as one line: level, record and message, e.g.
    /// `error: interface 1a "Stage Left": ip 10.0.0.999 is not a dotted IPv4 address`. Empty when
    /// memory runs out.
    QString line() const;
};

/// What the checks compare against, a value class: copies are cheap and independent, and options
/// added later change neither its size nor its layout.
class LUMOMAP_EXPORT LumoMapCheckOptions
{
public:
    /// The default wiring options and at most 1024 nodes on one port.
    LumoMapCheckOptions();
    /// A copy of `other`.
    LumoMapCheckOptions(const LumoMapCheckOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoMapCheckOptions(LumoMapCheckOptions &&other) noexcept;
    /// Makes this a copy of `other`.
    LumoMapCheckOptions &operator=(const LumoMapCheckOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoMapCheckOptions &operator=(LumoMapCheckOptions &&other) noexcept;
    /// Destroys the options.
    ~LumoMapCheckOptions();

    /// How channels and universes are counted (see LumoWiring); the default LumoWiringOptions.
    LumoWiringOptions wiring() const;
    /// Sets how channels and universes are counted.
    void setWiring(const LumoWiringOptions &wiring);

    /// More nodes than this on one port is a warning; 1024 by default.
    int maxPixelsPerPort() const;
    /// Sets the most nodes on one port that pass without a warning.
    void setMaxPixelsPerPort(int maxPixelsPerPort);

private:
    QSharedDataPointer<LumoMapCheckOptionsData> d;
};

/// Runs every check on a map.
///
/// Errors:
/// - "fixture-template": a fixture whose `templateid` names no fixture template;
/// - "interface-template": an interface whose `templateid` names no interface template;
/// - "region": an interface whose `region` names no region;
/// - "shared-portnum": outputs of one interface template sharing a `portnum`;
/// - "shared-ip": interfaces sharing an IP address (other than an empty one or 0.0.0.0);
/// - "invalid-ip": an IP that is neither empty nor a dotted IPv4 address;
/// - "port-universes": a port whose channels need more universes than LumoWiringOptions::universesPerPort()
///   gives each port, so that they run into the next port's;
/// - "out-of-memory": the checks ran out of memory; it is then the only finding (kind and record
///   "map"), since the others would be incomplete.
///
/// Warnings:
/// - "shared-order": interfaces sharing an `order` (every legacy import gives all interfaces order 0);
/// - "unused-interface-template": an interface template used by no interface;
/// - "shared-addr": nodes of one fixture template sharing an `addr`;
/// - "no-ip": an interface whose IP is empty or 0.0.0.0 (the default, which addresses nothing);
/// - "address-below-1": a node whose channel address is below 1;
/// - "shared-channel": two nodes of one port occupying one channel;
/// - "crosses-universe": a node whose channels run into the next universe;
/// - "too-many-pixels": more nodes on one port than LumoMapCheckOptions::maxPixelsPerPort();
/// - "shared-universe": universes that the ports of more than one interface send to (from each port's
///   first to its last universe), one finding per set of interfaces, naming their keys and the
///   universes: unicast to each controller's IP keeps them apart, multicast or broadcast would not;
/// - "no-interfaces": a map without interfaces.
class LUMOMAP_EXPORT LumoMapCheck
{
public:
    /// Every finding, in a fixed order: the checks in turn, each in ascending key order. Universes
    /// are counted with the options as LumoWiring normalises them. Should memory run out, the one
    /// finding is "out-of-memory" (or, when not even that fits, the list is empty).
    static QList<LumoMapFinding> findings(const LumoMapModel &model,
                                          const LumoMapCheckOptions &options = LumoMapCheckOptions());
    /// True when `ip` is a dotted IPv4 address: four decimal numbers from 0 to 255, joined by dots.
    static bool isDottedIpv4(const QString &ip);
};

#endif // LUMOMAPCHECK_H
