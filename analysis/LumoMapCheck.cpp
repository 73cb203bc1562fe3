#include "LumoMapCheck.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "RecordKeys.h"
#include "UniverseSharing.h"

#include <QMap>

#include <algorithm>
#include <exception>
#include <new>
#include <vector>

QString LumoMapFinding::levelName() const
{
    return level == Error ? QStringLiteral("error") : QStringLiteral("warning");
}

QString LumoMapFinding::line() const
{
    try {
        return levelName() + QStringLiteral(": ") + record + QStringLiteral(": ") + message;
    } catch (const std::exception &) {
        return QString();
    }
}

// Read in place, character by character, so that it needs no memory.
bool LumoMapCheck::isDottedIpv4(const QString &ip)
{
    int dots = 0;
    int digits = 0; // of the part being read
    int value = 0;
    for (const QChar c : ip) {
        if (c == QLatin1Char('.')) {
            if (digits == 0 || ++dots > 3)
                return false;
            digits = value = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || ++digits > 3)
            return false;
        value = value * 10 + (c.unicode() - '0');
        if (value > 255)
            return false;
    }
    return dots == 3 && digits > 0;
}

namespace {

using RecordKeys::hexKey;
using RecordKeys::inKeyOrder;

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString interfaceTemplateRecord(quint32 key, const LumoInterfaceTemplate &record)
{
    return QStringLiteral("interfacetemplate %1 %2").arg(hexKey(key), quoted(record.name));
}

QString interfaceRecord(quint32 key, const LumoInterface &record)
{
    return QStringLiteral("interface %1 %2").arg(hexKey(key), quoted(record.name));
}

QString portRecord(const LumoWiredInterface &interface, const LumoWiredPort &port)
{
    return interface.description() + QStringLiteral(" port %1 (portnum %2)").arg(port.port).arg(port.portnum);
}

// One range of whole numbers: "7" or "9-10".
QString range(qint64 first, qint64 last)
{
    return first == last ? QString::number(first) : QStringLiteral("%1-%2").arg(first).arg(last);
}

// Whole numbers in ascending order as ranges: "1-3, 7, 9-10".
QString ranges(const QList<int> &numbers)
{
    QStringList parts;
    for (int i = 0; i < numbers.size();) {
        int j = i;
        while (j + 1 < numbers.size() && numbers.at(j + 1) == numbers.at(j) + 1)
            ++j;
        parts.append(range(numbers.at(i), numbers.at(j)));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QString nodesText(const QList<int> &numbers)
{
    return (numbers.size() == 1 ? QStringLiteral("node ") : QStringLiteral("nodes ")) + ranges(numbers);
}

class Checks
{
public:
    Checks(const LumoMapModel &model, const LumoMapCheckOptions &options) : model(model), options(options) {}

    QList<LumoMapFinding> run()
    {
        fixtureTemplateReferences();
        interfaceReferences();
        sharedOrders();
        sharedPortnums();
        unusedInterfaceTemplates();
        sharedNodeAddresses();
        addresses();
        const LumoWiring wiring(model, options.wiring());
        // A wiring lists every interface of the map, or none when it ran out of memory.
        const auto isRecord = [](const LumoInterface *interface) { return interface != nullptr; };
        if (wiring.interfaces.isEmpty() &&
            std::any_of(model.interfaces.cbegin(), model.interfaces.cend(), isRecord))
            throw std::bad_alloc();
        universeSize = wiring.options.universeSize();
        universesPerPort = wiring.options.universesPerPort();
        for (const LumoWiredInterface &interface : wiring.interfaces) {
            for (const LumoWiredPort &port : interface.ports)
                chain(interface, port);
        }
        sharedUniverses(wiring);
        if (model.interfaces.isEmpty())
            add(LumoMapFinding::Warning, "no-interfaces", QStringLiteral("map"), {}, QString(),
                QStringLiteral("map"), QStringLiteral("has no interfaces"));
        return findings;
    }

private:
    void add(LumoMapFinding::Level level, const char *check, const QString &kind, const QStringList &keys,
             const QString &field, const QString &record, const QString &message)
    {
        findings.append({level, QLatin1String(check), kind, keys, field, record, message});
    }

    void fixtureTemplateReferences()
    {
        for (const auto &[key, interfaceTemplate] : inKeyOrder(model.interfaceTemplates)) {
            for (const LumoOutput *output : interfaceTemplate->outputs) {
                for (int i = 0; output && i < output->fixtures.size(); ++i) {
                    const LumoFixture *fixture = output->fixtures.at(i);
                    if (!fixture || model.fixtureTemplates.contains(fixture->templateid))
                        continue;
                    add(LumoMapFinding::Error, "fixture-template", QStringLiteral("interfacetemplate"),
                        {hexKey(key)}, QStringLiteral("templateid"),
                        QStringLiteral("fixture %1 (interfacetemplate %2, portnum %3, fixture %4)")
                            .arg(quoted(fixture->name), hexKey(key))
                            .arg(output->portnum)
                            .arg(i + 1),
                        QStringLiteral("templateid %1 names no fixture template").arg(hexKey(fixture->templateid)));
                }
            }
        }
    }

    void interfaceReferences()
    {
        for (const auto &[key, interface] : inKeyOrder(model.interfaces)) {
            if (!model.interfaceTemplates.contains(interface->templateid))
                add(LumoMapFinding::Error, "interface-template", QStringLiteral("interface"), {hexKey(key)},
                    QStringLiteral("templateid"), interfaceRecord(key, *interface),
                    QStringLiteral("templateid %1 names no interface template").arg(hexKey(interface->templateid)));
            if (!model.regions.contains(interface->region))
                add(LumoMapFinding::Error, "region", QStringLiteral("interface"), {hexKey(key)},
                    QStringLiteral("region"), interfaceRecord(key, *interface),
                    QStringLiteral("region %1 names no region").arg(interface->region));
        }
    }

    // Interfaces grouped by a value of theirs, in key order within each group.
    template <typename Value, typename ValueOf>
    QMap<Value, QStringList> interfacesBy(ValueOf valueOf, bool (*counts)(const LumoInterface &) = nullptr)
    {
        QMap<Value, QStringList> groups;
        for (const auto &[key, interface] : inKeyOrder(model.interfaces)) {
            if (!counts || counts(*interface))
                groups[valueOf(*interface)].append(hexKey(key));
        }
        return groups;
    }

    void sharedOrders()
    {
        const auto groups = interfacesBy<qint32>([](const LumoInterface &interface) { return interface.order; });
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            if (it.value().size() > 1)
                add(LumoMapFinding::Warning, "shared-order", QStringLiteral("interface"), it.value(),
                    QStringLiteral("order"), QStringLiteral("interfaces ") + it.value().join(QStringLiteral(", ")),
                    QStringLiteral("share order %1").arg(it.key()));
        }
    }

    void sharedPortnums()
    {
        for (const auto &[key, interfaceTemplate] : inKeyOrder(model.interfaceTemplates)) {
            QMap<int, int> outputsByPortnum;
            for (const LumoOutput *output : interfaceTemplate->outputs) {
                if (output)
                    ++outputsByPortnum[output->portnum];
            }
            for (auto it = outputsByPortnum.cbegin(); it != outputsByPortnum.cend(); ++it) {
                if (it.value() > 1)
                    add(LumoMapFinding::Error, "shared-portnum", QStringLiteral("interfacetemplate"), {hexKey(key)},
                        QStringLiteral("portnum"), interfaceTemplateRecord(key, *interfaceTemplate),
                        QStringLiteral("%1 outputs share portnum %2").arg(it.value()).arg(it.key()));
            }
        }
    }

    void unusedInterfaceTemplates()
    {
        // Not a QSet: an insertion into one that runs out of memory ends the process (Qt 6.4 declares
        // it noexcept), where std::vector throws std::bad_alloc, which findings() catches.
        std::vector<quint32> usedTemplates;
        for (const LumoInterface *interface : model.interfaces) {
            if (interface)
                usedTemplates.push_back(interface->templateid);
        }
        std::sort(usedTemplates.begin(), usedTemplates.end());
        for (const auto &[key, interfaceTemplate] : inKeyOrder(model.interfaceTemplates)) {
            if (!std::binary_search(usedTemplates.cbegin(), usedTemplates.cend(), key))
                add(LumoMapFinding::Warning, "unused-interface-template", QStringLiteral("interfacetemplate"),
                    {hexKey(key)}, QString(), interfaceTemplateRecord(key, *interfaceTemplate),
                    QStringLiteral("used by no interface"));
        }
    }

    void sharedNodeAddresses()
    {
        for (const auto &[key, fixtureTemplate] : inKeyOrder(model.fixtureTemplates)) {
            QMap<qint32, QStringList> nodesByAddr; // node positions in the nodelist, counted from 1
            for (int i = 0; i < fixtureTemplate->nodelist.size(); ++i) {
                if (const LumoNode *node = fixtureTemplate->nodelist.at(i))
                    nodesByAddr[node->addr].append(QString::number(i + 1));
            }
            for (auto it = nodesByAddr.cbegin(); it != nodesByAddr.cend(); ++it) {
                if (it.value().size() > 1)
                    add(LumoMapFinding::Warning, "shared-addr", QStringLiteral("fixturetemplate"), {hexKey(key)},
                        QStringLiteral("addr"),
                        QStringLiteral("fixturetemplate %1 %2").arg(hexKey(key), quoted(fixtureTemplate->name)),
                        QStringLiteral("nodes at nodelist positions %1 share addr %2")
                            .arg(it.value().join(QStringLiteral(", ")))
                            .arg(it.key()));
            }
        }
    }

    static bool hasAddress(const LumoInterface &interface)
    {
        return !interface.ip.isEmpty() && interface.ip != QLatin1String("0.0.0.0");
    }

    void addresses()
    {
        const auto byIp = interfacesBy<QString>([](const LumoInterface &interface) { return interface.ip; },
                                                hasAddress);
        for (auto it = byIp.cbegin(); it != byIp.cend(); ++it) {
            if (it.value().size() > 1)
                add(LumoMapFinding::Error, "shared-ip", QStringLiteral("interface"), it.value(), QStringLiteral("ip"),
                    QStringLiteral("interfaces ") + it.value().join(QStringLiteral(", ")),
                    QStringLiteral("share ip %1").arg(it.key()));
        }
        for (const auto &[key, interface] : inKeyOrder(model.interfaces)) {
            if (!interface->ip.isEmpty() && !LumoMapCheck::isDottedIpv4(interface->ip))
                add(LumoMapFinding::Error, "invalid-ip", QStringLiteral("interface"), {hexKey(key)},
                    QStringLiteral("ip"), interfaceRecord(key, *interface),
                    QStringLiteral("ip %1 is not a dotted IPv4 address").arg(interface->ip));
        }
        for (const auto &[key, interface] : inKeyOrder(model.interfaces)) {
            if (!hasAddress(*interface))
                add(LumoMapFinding::Warning, "no-ip", QStringLiteral("interface"), {hexKey(key)}, QStringLiteral("ip"),
                    interfaceRecord(key, *interface),
                    interface->ip.isEmpty() ? QStringLiteral("has no IP address")
                                            : QStringLiteral("has IP %1, which addresses no controller")
                                                  .arg(interface->ip));
        }
    }

    // The checks of one port's chain, in the order of the warnings listed in the header.
    void chain(const LumoWiredInterface &interface, const LumoWiredPort &port)
    {
        if (port.nodes.isEmpty())
            return;
        const QStringList keys{hexKey(interface.uid)};
        const QString record = portRecord(interface, port);
        QList<int> belowOne;
        QList<int> crossing;
        for (const LumoWiredNode &node : port.nodes) {
            if (node.address < 1)
                belowOne.append(node.chainNumber);
            if (node.crossesUniverse(universeSize))
                crossing.append(node.chainNumber);
        }
        if (!belowOne.isEmpty())
            add(LumoMapFinding::Warning, "address-below-1", QStringLiteral("interface"), keys, QStringLiteral("address"),
                record, QStringLiteral("%1: channel address below 1").arg(nodesText(belowOne)));
        sharedChannels(port, keys, record);
        if (!crossing.isEmpty())
            add(LumoMapFinding::Warning, "crosses-universe", QStringLiteral("interface"), keys,
                QStringLiteral("address"), record,
                QStringLiteral("%1: channels cross into the next universe (universes of %2 channels)")
                    .arg(nodesText(crossing))
                    .arg(universeSize));
        // The universes the port's channels need, counted from the port's first universe.
        const qint64 needed = port.lastAddress < 1 ? 0 : (port.lastAddress - 1) / universeSize + 1;
        if (universesPerPort > 0 && needed > universesPerPort)
            add(LumoMapFinding::Error, "port-universes", QStringLiteral("interface"), keys, QStringLiteral("address"),
                record,
                QStringLiteral("its channels need %1 universes, more than the %2 each port is given, and run into "
                               "the next port's")
                    .arg(needed)
                    .arg(universesPerPort));
        if (port.nodes.size() > options.maxPixelsPerPort())
            add(LumoMapFinding::Warning, "too-many-pixels", QStringLiteral("interface"), keys, QString(), record,
                QStringLiteral("%1 nodes, more than %2 on one port").arg(port.nodes.size()).arg(options.maxPixelsPerPort()));
    }

    // Universes that more than one interface sends to: each controller takes what its own IP is sent,
    // so they stay apart only as long as every frame goes by unicast.
    void sharedUniverses(const LumoWiring &wiring)
    {
        for (const UniverseSharing::Group &group : UniverseSharing::groups(wiring)) {
            QStringList keys;
            for (const quint32 uid : group.uids)
                keys.append(hexKey(uid));
            QStringList universes;
            for (const auto &[first, last] : group.universes)
                universes.append(range(first, last));
            const bool one = group.universes.size() == 1 && group.universes.first().first == group.universes.first().second;
            add(LumoMapFinding::Warning, "shared-universe", QStringLiteral("interface"), keys, QStringLiteral("uni"),
                QStringLiteral("interfaces ") + keys.join(QStringLiteral(", ")),
                QStringLiteral("send to %1 %2: unicast to each controller's IP keeps them apart, multicast or "
                               "broadcast would not")
                    .arg(one ? QStringLiteral("universe") : QStringLiteral("universes"),
                         universes.join(QStringLiteral(", "))));
        }
    }

    // Nodes whose channels overlap those of a node before them in channel order.
    void sharedChannels(const LumoWiredPort &port, const QStringList &keys, const QString &record)
    {
        QList<const LumoWiredNode *> byAddress;
        for (const LumoWiredNode &node : port.nodes)
            byAddress.append(&node);
        std::stable_sort(byAddress.begin(), byAddress.end(),
                         [](const LumoWiredNode *a, const LumoWiredNode *b) { return a->address < b->address; });
        QList<int> sharing;
        QString example;
        const LumoWiredNode *reaching = nullptr; // the node whose channels reach furthest so far
        for (const LumoWiredNode *node : std::as_const(byAddress)) {
            if (reaching && node->channels > 0 && node->address <= reaching->lastAddress()) {
                sharing.append(node->chainNumber);
                if (example.isEmpty())
                    example = QStringLiteral("nodes %1 and %2 share channel %3")
                                  .arg(std::min(reaching->chainNumber, node->chainNumber))
                                  .arg(std::max(reaching->chainNumber, node->chainNumber))
                                  .arg(node->address);
            }
            if (node->channels > 0 && (!reaching || node->lastAddress() > reaching->lastAddress()))
                reaching = node;
        }
        if (sharing.isEmpty())
            return;
        std::sort(sharing.begin(), sharing.end());
        add(LumoMapFinding::Warning, "shared-channel", QStringLiteral("interface"), keys, QStringLiteral("address"),
            record,
            sharing.size() == 1 ? example
                                : QStringLiteral("%1 nodes share channels with an earlier one: %2 (%3)")
                                      .arg(sharing.size())
                                      .arg(ranges(sharing), example));
    }

    const LumoMapModel &model;
    const LumoMapCheckOptions &options;
    int universeSize = 1; // as the wiring normalised it
    int universesPerPort = 0;
    QList<LumoMapFinding> findings;
};

// The one finding left when the checks run out of memory, made before they start so that it can
// still be given when no memory is left.
LumoMapFinding outOfMemory()
{
    return {LumoMapFinding::Error,
            QStringLiteral("out-of-memory"),
            QStringLiteral("map"),
            {},
            QString(),
            QStringLiteral("map"),
            QStringLiteral("not enough memory to run the checks")};
}

} // namespace

QList<LumoMapFinding> LumoMapCheck::findings(const LumoMapModel &model, const LumoMapCheckOptions &options)
{
    QList<LumoMapFinding> stopped;
    try {
        stopped.append(outOfMemory());
    } catch (const std::exception &) {
        return {}; // not even the finding that says so fits
    }
    // The checks' findings go out only when complete; otherwise the one that says they are not.
    try {
        return Checks(model, options).run();
    } catch (const std::exception &) {
        return stopped;
    }
}
