#ifndef MAPRECORDLAYOUT_H
#define MAPRECORDLAYOUT_H

// The layout of the map file, stated once: which elements each part of the document holds, in
// which order, and how each leaf's value is encoded. Both writers follow it through a sink of their
// own: the DOM route (DomElementSink, behind the record save members) and the streaming writer
// (MapTextWriter). A sink offers
//   open(name)         start a container element,
//   leaf(name, text)   add a leaf element holding `text` (also when it is empty): a QString, or the
//                      ASCII of a number (MapValueFormat::AsciiText) or of a flag (QLatin1String),
//   close(name)        end the container opened last.
// Null pointers in the record lists are skipped. Each kind of record is written in ascending order
// of its key (recordsInKeyOrder), so that one document always gives the same file.

#include "MapElementNames.h"
#include "MapValueFormat.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QHash>
#include <QPair>
#include <QVector>

#include <algorithm>

class QDateTime;

namespace MapRecordLayout {

namespace E = MapElement;
namespace Format = MapValueFormat;

// The records of one collection in ascending order of their keys (regions by number, the others by
// uid), null pointers left out. The hash order changes from process to process with the hash seed.
template <typename Record> QVector<Record *> recordsInKeyOrder(const QHash<quint32, Record *> &records)
{
    QVector<QPair<quint32, Record *>> entries;
    entries.reserve(records.size());
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        if (it.value())
            entries.append({it.key(), it.value()});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto &left, const auto &right) { return left.first < right.first; });
    QVector<Record *> ordered;
    ordered.reserve(entries.size());
    for (const auto &entry : entries)
        ordered.append(entry.second);
    return ordered;
}

template <typename Sink> void writeHeader(Sink &out, const LumoMapModel &model, const QDateTime &saveTime)
{
    out.leaf(E::MapFileVersion, Format::unsignedNumber(model.mapfileversion));
    out.leaf(E::MapName, model.getMapName());
    out.leaf(E::AppName, model.getCreatingAppName());
    out.leaf(E::AppVersion, model.getCreatingAppVersion());
    out.leaf(E::SaveDateTime, Format::dateTime(saveTime));
}

template <typename Sink> void writeGeometry(Sink &out, const LumoMapModel &model)
{
    out.open(E::Geometry);
    out.leaf(E::VMinX, Format::real(model.vminx));
    out.leaf(E::VMinY, Format::real(model.vminy));
    out.leaf(E::VMaxX, Format::real(model.vmaxx));
    out.leaf(E::VMaxY, Format::real(model.vmaxy));
    out.leaf(E::ScaleXFit, Format::flag(model.scalexfit));
    out.leaf(E::ScaleYFit, Format::flag(model.scaleyfit));
    out.leaf(E::XOffset, Format::real(model.xoffset));
    out.leaf(E::YOffset, Format::real(model.yoffset));
    out.leaf(E::XScale, Format::real(model.xscale));
    out.leaf(E::YScale, Format::real(model.yscale));
    out.close(E::Geometry);
}

template <typename Sink> void writeFixtureTemplate(Sink &out, const LumoFixtureTemplate &fixtureTemplate)
{
    out.open(E::FixtureTemplate);
    out.leaf(E::Uid, Format::hexNumber(fixtureTemplate.uid));
    out.leaf(E::Name, fixtureTemplate.name);
    out.leaf(E::Locked, Format::flag(fixtureTemplate.locked));
    out.leaf(E::XOffset, Format::real(fixtureTemplate.xoffset));
    out.leaf(E::YOffset, Format::real(fixtureTemplate.yoffset));
    out.open(E::NodeList); // present also when the template has no nodes
    for (const LumoNode *node : fixtureTemplate.nodelist) {
        if (!node)
            continue;
        out.open(E::Node);
        out.leaf(E::X, Format::real(node->x));
        out.leaf(E::Y, Format::real(node->y));
        out.leaf(E::Addr, Format::signedNumber(node->addr));
        out.leaf(E::SkipNode, Format::flag(node->skipnode));
        out.leaf(E::ChannelCount, Format::signedNumber(node->channelCount));
        out.close(E::Node);
    }
    out.close(E::NodeList);
    out.close(E::FixtureTemplate);
}

template <typename Sink> void writeFixture(Sink &out, const LumoFixture &fixture)
{
    out.open(E::Fixture);
    out.leaf(E::TemplateId, Format::hexNumber(fixture.templateid));
    out.leaf(E::Name, fixture.name);
    out.leaf(E::X, Format::real(fixture.x));
    out.leaf(E::Y, Format::real(fixture.y));
    out.leaf(E::Theta, Format::real(fixture.theta));
    out.leaf(E::BaseAddr, Format::signedNumber(fixture.baseaddr));
    out.leaf(E::LayerId, Format::unsignedNumber(fixture.layerid));
    out.leaf(E::GroupId, Format::unsignedNumber(fixture.groupid));
    out.close(E::Fixture);
}

template <typename Sink>
void writeInterfaceTemplate(Sink &out, const LumoInterfaceTemplate &interfaceTemplate)
{
    out.open(E::InterfaceTemplate);
    out.leaf(E::Uid, Format::hexNumber(interfaceTemplate.uid));
    out.leaf(E::Name, interfaceTemplate.name);
    out.leaf(E::Locked, Format::flag(interfaceTemplate.locked));
    out.leaf(E::XOffset, Format::real(interfaceTemplate.xoffset));
    out.leaf(E::YOffset, Format::real(interfaceTemplate.yoffset));
    for (const LumoOutput *output : interfaceTemplate.outputs) {
        if (!output)
            continue;
        out.open(E::Output);
        out.leaf(E::PortNum, Format::unsignedNumber(output->portnum));
        out.leaf(E::PortType, Format::unsignedNumber(output->porttype));
        for (const LumoFixture *fixture : output->fixtures) {
            if (fixture)
                writeFixture(out, *fixture);
        }
        out.close(E::Output);
    }
    out.close(E::InterfaceTemplate);
}

template <typename Sink> void writeInterface(Sink &out, const LumoInterface &interface)
{
    out.open(E::Interface);
    out.leaf(E::Uid, Format::hexNumber(interface.uid));
    out.leaf(E::TemplateId, Format::hexNumber(interface.templateid));
    out.leaf(E::RegionNumber, Format::unsignedNumber(interface.region));
    out.leaf(E::Name, interface.name);
    out.leaf(E::X, Format::real(interface.x));
    out.leaf(E::Y, Format::real(interface.y));
    out.leaf(E::Theta, Format::real(interface.theta));
    out.leaf(E::Ip, interface.ip);
    out.leaf(E::Mac, interface.mac);
    out.leaf(E::Flags, Format::hexNumber(interface.flags));
    out.leaf(E::Sn, Format::hexNumber(interface.sn));
    out.leaf(E::Ver, Format::unsignedNumber(interface.ver));
    out.leaf(E::Uni, Format::unsignedNumber(interface.uni));
    out.leaf(E::Vers, interface.vers);
    out.leaf(E::Id, interface.id);
    out.leaf(E::Order, Format::signedNumber(interface.order));
    out.close(E::Interface);
}

template <typename Sink> void writeRegion(Sink &out, const LumoRegion &region)
{
    out.open(E::Region);
    out.leaf(E::Number, Format::unsignedNumber(region.number));
    out.leaf(E::Name, region.name);
    out.leaf(E::Color, Format::colour(region.color));
    out.close(E::Region);
}

} // namespace MapRecordLayout

#endif // MAPRECORDLAYOUT_H
