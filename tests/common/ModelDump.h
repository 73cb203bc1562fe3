#ifndef MODELDUMP_H
#define MODELDUMP_H

// A canonical text form of a map document for tests and fuzz targets: every stored field of every
// record, records of one kind sorted by their key, lists in their own order. Two documents hold
// equal records exactly when their dumps are equal, whatever the iteration order of their hashes.
// Fields the map file does not store (used flags, a node's pn, the indexes, savedatetime of the
// model, lastError) are left out unless `withTransientFields` is set.

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QStringList>

#include <algorithm>

namespace ModelDump {

inline QString real(double value)
{
    return QString::number(value, 'g', 17);
}

inline QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

inline QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("<null>") : QLatin1Char('"') + value + QLatin1Char('"');
}

template<typename Record>
QList<quint32> sortedKeys(const QHash<quint32, Record *> &hash)
{
    QList<quint32> keys = hash.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

inline QString fixture(const LumoFixture &f, bool withTransientFields)
{
    QString line = QStringLiteral("fixture templateid=%1 name=%2 x=%3 y=%4 theta=%5 baseaddr=%6 layerid=%7 groupid=%8")
                       .arg(f.templateid)
                       .arg(text(f.name), real(f.x), real(f.y), real(f.theta))
                       .arg(f.baseaddr)
                       .arg(f.layerid)
                       .arg(f.groupid);
    if (withTransientFields)
        line += QStringLiteral(" used=") + flag(f.used);
    return line;
}

inline QStringList dump(const LumoMapModel &model, bool withTransientFields = false)
{
    QStringList out;
    out << QStringLiteral("header mapfileversion=%1 mapname=%2 appname=%3 appversion=%4")
               .arg(model.mapfileversion)
               .arg(text(model.mapname), text(model.appname), text(model.appversion));
    out << QStringLiteral("geometry %1 %2 %3 %4 %5 %6 %7 %8 %9 %10")
               .arg(real(model.vminx), real(model.vminy), real(model.vmaxx), real(model.vmaxy),
                    flag(model.scalexfit), flag(model.scaleyfit), real(model.xoffset), real(model.yoffset),
                    real(model.xscale))
               .arg(real(model.yscale));

    for (quint32 key : sortedKeys(model.fixtureTemplates)) {
        const LumoFixtureTemplate *t = model.fixtureTemplates.value(key);
        if (!t) {
            out << QStringLiteral("fixturetemplate key=%1 <null>").arg(key);
            continue;
        }
        out << QStringLiteral("fixturetemplate key=%1 uid=%2 name=%3 locked=%4 xoffset=%5 yoffset=%6 nodes=%7")
                   .arg(key)
                   .arg(t->uid)
                   .arg(text(t->name), flag(t->locked), real(t->xoffset), real(t->yoffset))
                   .arg(t->nodelist.size());
        for (const LumoNode *n : t->nodelist) {
            QString line = QStringLiteral("  node x=%1 y=%2 addr=%3 skipnode=%4 channelCount=%5")
                               .arg(real(n->x), real(n->y))
                               .arg(n->addr)
                               .arg(flag(n->skipnode))
                               .arg(n->channelCount);
            if (withTransientFields)
                line += QStringLiteral(" pn=%1").arg(n->pn);
            out << line;
        }
    }
    for (quint32 key : sortedKeys(model.interfaceTemplates)) {
        const LumoInterfaceTemplate *t = model.interfaceTemplates.value(key);
        if (!t) {
            out << QStringLiteral("interfacetemplate key=%1 <null>").arg(key);
            continue;
        }
        out << QStringLiteral("interfacetemplate key=%1 uid=%2 name=%3 locked=%4 xoffset=%5 yoffset=%6 outputs=%7")
                   .arg(key)
                   .arg(t->uid)
                   .arg(text(t->name), flag(t->locked), real(t->xoffset), real(t->yoffset))
                   .arg(t->outputs.size());
        for (const LumoOutput *o : t->outputs) {
            QString line = QStringLiteral("  output portnum=%1 porttype=%2 fixtures=%3")
                               .arg(o->portnum)
                               .arg(o->porttype)
                               .arg(o->fixtures.size());
            if (withTransientFields)
                line += QStringLiteral(" used=") + flag(o->used);
            out << line;
            for (const LumoFixture *f : o->fixtures)
                out << QStringLiteral("    ") + fixture(*f, withTransientFields);
        }
    }
    for (quint32 key : sortedKeys(model.interfaces)) {
        const LumoInterface *i = model.interfaces.value(key);
        if (!i) {
            out << QStringLiteral("interface key=%1 <null>").arg(key);
            continue;
        }
        out << QStringLiteral("interface key=%1 uid=%2 templateid=%3 region=%4 name=%5 x=%6 y=%7 theta=%8 ip=%9")
                       .arg(key)
                       .arg(i->uid)
                       .arg(i->templateid)
                       .arg(i->region)
                       .arg(text(i->name), real(i->x), real(i->y), real(i->theta), text(i->ip))
                   + QStringLiteral(" mac=%1 flags=%2 sn=%3 ver=%4 uni=%5 vers=%6 id=%7 order=%8")
                         .arg(text(i->mac))
                         .arg(i->flags)
                         .arg(i->sn)
                         .arg(i->ver)
                         .arg(i->uni)
                         .arg(text(i->vers), text(i->id))
                         .arg(i->order);
    }
    for (quint32 key : sortedKeys(model.regions)) {
        const LumoRegion *r = model.regions.value(key);
        if (!r) {
            out << QStringLiteral("region key=%1 <null>").arg(key);
            continue;
        }
        out << QStringLiteral("region key=%1 number=%2 name=%3 color=%4")
                   .arg(key)
                   .arg(r->number)
                   .arg(text(r->name), r->color.isValid() ? r->color.name() : QStringLiteral("invalid"));
    }

    // The order index: for each order, the uids of the interfaces under it. Interfaces that share an
    // order stand in the order they were filed, which follows the iteration order of the hash they
    // were saved from, so they are sorted here.
    QStringList order;
    const QList<qint32> orderKeys = model.interfacesByOrder.uniqueKeys();
    for (qint32 key : orderKeys) {
        QList<quint32> uids;
        for (const LumoInterface *interface : model.interfacesByOrder.values(key))
            uids.append(interface ? interface->uid : 0xFFFFFFFFu);
        std::sort(uids.begin(), uids.end());
        for (quint32 uid : uids)
            order << QStringLiteral("%1:%2").arg(key).arg(uid);
    }
    out << QStringLiteral("interfacesByOrder ") + order.join(QLatin1Char(' '));
    return out;
}

} // namespace ModelDump

#endif // MODELDUMP_H
