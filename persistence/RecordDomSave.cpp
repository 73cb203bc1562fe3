// The record save members: each appends its record's container element, with every leaf in the
// order of the map file, as the last child of the parent it is given.

#include "DomLeaf.h"
#include "MapElementNames.h"
#include "MapValueFormat.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoRegion.h>

using DomLeaf::append;
using DomLeaf::createContainer;
namespace Format = MapValueFormat;

bool LumoFixtureTemplate::save(QDomDocument &document, QDomElement &parent)
{
    QDomElement element = createContainer(document, MapElement::FixtureTemplate);
    append(document, element, MapElement::Uid, Format::hexNumber(uid));
    append(document, element, MapElement::Name, name);
    append(document, element, MapElement::Locked, Format::flag(locked));
    append(document, element, MapElement::XOffset, Format::real(xoffset));
    append(document, element, MapElement::YOffset, Format::real(yoffset));

    QDomElement nodes = createContainer(document, MapElement::NodeList);
    for (const LumoNode *node : nodelist) {
        if (!node)
            continue;
        QDomElement nodeElement = createContainer(document, MapElement::Node);
        append(document, nodeElement, MapElement::X, Format::real(node->x));
        append(document, nodeElement, MapElement::Y, Format::real(node->y));
        append(document, nodeElement, MapElement::Addr, Format::signedNumber(node->addr));
        append(document, nodeElement, MapElement::SkipNode, Format::flag(node->skipnode));
        append(document, nodeElement, MapElement::ChannelCount, Format::signedNumber(node->channelCount));
        nodes.appendChild(nodeElement);
    }
    element.appendChild(nodes);

    parent.appendChild(element);
    return true;
}

bool LumoInterfaceTemplate::save(QDomDocument &document, QDomElement &parent)
{
    QDomElement element = createContainer(document, MapElement::InterfaceTemplate);
    append(document, element, MapElement::Uid, Format::hexNumber(uid));
    append(document, element, MapElement::Name, name);
    append(document, element, MapElement::Locked, Format::flag(locked));
    append(document, element, MapElement::XOffset, Format::real(xoffset));
    append(document, element, MapElement::YOffset, Format::real(yoffset));

    for (const LumoOutput *output : outputs) {
        if (!output)
            continue;
        QDomElement outputElement = createContainer(document, MapElement::Output);
        append(document, outputElement, MapElement::PortNum, Format::unsignedNumber(output->portnum));
        append(document, outputElement, MapElement::PortType, Format::unsignedNumber(output->porttype));
        for (LumoFixture *fixture : output->fixtures) {
            if (fixture)
                fixture->save(document, outputElement);
        }
        element.appendChild(outputElement);
    }

    parent.appendChild(element);
    return true;
}

bool LumoFixture::save(QDomDocument &document, QDomElement &parent)
{
    QDomElement element = createContainer(document, MapElement::Fixture);
    append(document, element, MapElement::TemplateId, Format::hexNumber(templateid));
    append(document, element, MapElement::Name, name);
    append(document, element, MapElement::X, Format::real(x));
    append(document, element, MapElement::Y, Format::real(y));
    append(document, element, MapElement::Theta, Format::real(theta));
    append(document, element, MapElement::BaseAddr, Format::signedNumber(baseaddr));
    append(document, element, MapElement::LayerId, Format::unsignedNumber(layerid));
    append(document, element, MapElement::GroupId, Format::unsignedNumber(groupid));
    parent.appendChild(element);
    return true;
}

bool LumoInterface::save(QDomDocument &document, QDomElement &parent)
{
    QDomElement element = createContainer(document, MapElement::Interface);
    append(document, element, MapElement::Uid, Format::hexNumber(uid));
    append(document, element, MapElement::TemplateId, Format::hexNumber(templateid));
    append(document, element, MapElement::RegionNumber, Format::unsignedNumber(region));
    append(document, element, MapElement::Name, name);
    append(document, element, MapElement::X, Format::real(x));
    append(document, element, MapElement::Y, Format::real(y));
    append(document, element, MapElement::Theta, Format::real(theta));
    append(document, element, MapElement::Ip, ip);
    append(document, element, MapElement::Mac, mac);
    append(document, element, MapElement::Flags, Format::hexNumber(flags));
    append(document, element, MapElement::Sn, Format::hexNumber(sn));
    append(document, element, MapElement::Ver, Format::unsignedNumber(ver));
    append(document, element, MapElement::Uni, Format::unsignedNumber(uni));
    append(document, element, MapElement::Vers, vers);
    append(document, element, MapElement::Id, id);
    append(document, element, MapElement::Order, Format::signedNumber(order));
    parent.appendChild(element);
    return true;
}

bool LumoRegion::save(QDomDocument &document, QDomElement &parent)
{
    QDomElement element = createContainer(document, MapElement::Region);
    append(document, element, MapElement::Number, Format::unsignedNumber(number));
    append(document, element, MapElement::Name, name);
    append(document, element, MapElement::Color, Format::colour(color));
    parent.appendChild(element);
    return true;
}
