#include "MapFindings.h"

#include "ToolSupport.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>

#include <QMap>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace {

using Tool::formatHexKey;

template <typename Record> QList<quint32> sortedKeys(const QHash<quint32, Record *> &hash)
{
    QList<quint32> keys = hash.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString interfaceTemplateRecord(quint32 key, const LumoInterfaceTemplate &record)
{
    return QStringLiteral("interfacetemplate %1 %2").arg(formatHexKey(key), quoted(record.name));
}

QString interfaceRecord(quint32 key, const LumoInterface &record)
{
    return QStringLiteral("interface %1 %2").arg(formatHexKey(key), quoted(record.name));
}

void checkFixtureTemplateReferences(const LumoMapModel &model, QList<MapFinding> &findings)
{
    for (quint32 key : sortedKeys(model.interfaceTemplates)) {
        const LumoInterfaceTemplate *interfaceTemplate = model.interfaceTemplates.value(key);
        if (!interfaceTemplate)
            continue;
        for (const LumoOutput *output : interfaceTemplate->outputs) {
            if (!output)
                continue;
            for (int i = 0; i < output->fixtures.size(); ++i) {
                const LumoFixture *fixture = output->fixtures.at(i);
                if (!fixture || model.fixtureTemplates.contains(fixture->templateid))
                    continue;
                findings.append({MapFinding::Error, QStringLiteral("fixture-template"),
                                 QStringLiteral("fixture %1 (interfacetemplate %2, portnum %3, fixture %4)")
                                     .arg(quoted(fixture->name), formatHexKey(key))
                                     .arg(output->portnum)
                                     .arg(i + 1),
                                 QStringLiteral("templateid %1 names no fixture template")
                                     .arg(formatHexKey(fixture->templateid))});
            }
        }
    }
}

void checkInterfaceReferences(const LumoMapModel &model, QList<MapFinding> &findings)
{
    for (quint32 key : sortedKeys(model.interfaces)) {
        const LumoInterface *interface = model.interfaces.value(key);
        if (!interface)
            continue;
        if (!model.interfaceTemplates.contains(interface->templateid))
            findings.append({MapFinding::Error, QStringLiteral("interface-template"),
                             interfaceRecord(key, *interface),
                             QStringLiteral("templateid %1 names no interface template")
                                 .arg(formatHexKey(interface->templateid))});
        if (!model.regions.contains(interface->region))
            findings.append({MapFinding::Error, QStringLiteral("region"), interfaceRecord(key, *interface),
                             QStringLiteral("region %1 names no region").arg(interface->region)});
    }
}

void checkSharedOrders(const LumoMapModel &model, QList<MapFinding> &findings)
{
    QMap<qint32, QStringList> keysByOrder;
    for (quint32 key : sortedKeys(model.interfaces)) {
        if (const LumoInterface *interface = model.interfaces.value(key))
            keysByOrder[interface->order].append(formatHexKey(key));
    }
    for (auto it = keysByOrder.cbegin(); it != keysByOrder.cend(); ++it) {
        if (it.value().size() > 1)
            findings.append({MapFinding::Warning, QStringLiteral("shared-order"),
                             QStringLiteral("interfaces ") + it.value().join(QStringLiteral(", ")),
                             QStringLiteral("share order %1").arg(it.key())});
    }
}

void checkSharedPortnums(const LumoMapModel &model, QList<MapFinding> &findings)
{
    for (quint32 key : sortedKeys(model.interfaceTemplates)) {
        const LumoInterfaceTemplate *interfaceTemplate = model.interfaceTemplates.value(key);
        if (!interfaceTemplate)
            continue;
        QMap<int, int> outputsByPortnum;
        for (const LumoOutput *output : interfaceTemplate->outputs) {
            if (output)
                ++outputsByPortnum[output->portnum];
        }
        for (auto it = outputsByPortnum.cbegin(); it != outputsByPortnum.cend(); ++it) {
            if (it.value() > 1)
                findings.append(
                    {MapFinding::Error, QStringLiteral("shared-portnum"),
                     interfaceTemplateRecord(key, *interfaceTemplate),
                     QStringLiteral("%1 outputs share portnum %2").arg(it.value()).arg(it.key())});
        }
    }
}

void checkUnusedInterfaceTemplates(const LumoMapModel &model, QList<MapFinding> &findings)
{
    QSet<quint32> usedTemplates;
    for (const LumoInterface *interface : model.interfaces) {
        if (interface)
            usedTemplates.insert(interface->templateid);
    }
    for (quint32 key : sortedKeys(model.interfaceTemplates)) {
        const LumoInterfaceTemplate *interfaceTemplate = model.interfaceTemplates.value(key);
        if (interfaceTemplate && !usedTemplates.contains(key))
            findings.append({MapFinding::Warning, QStringLiteral("unused-interface-template"),
                             interfaceTemplateRecord(key, *interfaceTemplate),
                             QStringLiteral("used by no interface")});
    }
}

void checkSharedNodeAddresses(const LumoMapModel &model, QList<MapFinding> &findings)
{
    for (quint32 key : sortedKeys(model.fixtureTemplates)) {
        const LumoFixtureTemplate *fixtureTemplate = model.fixtureTemplates.value(key);
        if (!fixtureTemplate)
            continue;
        QMap<qint32, QStringList> nodesByAddr; // node positions in the nodelist, counted from 1
        for (int i = 0; i < fixtureTemplate->nodelist.size(); ++i) {
            if (const LumoNode *node = fixtureTemplate->nodelist.at(i))
                nodesByAddr[node->addr].append(QString::number(i + 1));
        }
        for (auto it = nodesByAddr.cbegin(); it != nodesByAddr.cend(); ++it) {
            if (it.value().size() > 1)
                findings.append({MapFinding::Warning, QStringLiteral("shared-addr"),
                                 QStringLiteral("fixturetemplate %1 %2")
                                     .arg(formatHexKey(key), quoted(fixtureTemplate->name)),
                                 QStringLiteral("nodes at nodelist positions %1 share addr %2")
                                     .arg(it.value().join(QStringLiteral(", ")))
                                     .arg(it.key())});
        }
    }
}

} // namespace

QList<MapFinding> findMapProblems(const LumoMapModel &model)
{
    QList<MapFinding> findings;
    checkFixtureTemplateReferences(model, findings);
    checkInterfaceReferences(model, findings);
    checkSharedOrders(model, findings);
    checkSharedPortnums(model, findings);
    checkUnusedInterfaceTemplates(model, findings);
    checkSharedNodeAddresses(model, findings);
    return findings;
}
