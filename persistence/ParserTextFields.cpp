// Element text into fields: a single switch on the state of the open element. Each state names
// its target record (or the document) and the conversion kind of its field; a missing target or a
// text that does not convert stops the parse. The text is a QString or UTF-8 bytes; the
// conversions give the same values for both.

#include "LumoMapParser_p.h"

#include "ElementTextConversion.h"
#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"
#include "ParserStateTable.h"

template <typename Text> bool LumoMapParserPrivate::storeText(int state, const Text &text)
{
    using namespace ElementText;
    namespace S = ParserState;

    LumoMapModel *const m = q.model;
    LumoRegion *const region = q.currentRegion;
    LumoFixtureTemplate *const fixtureTemplate = q.currentFixtureTemplate;
    LumoNode *const node = q.currentNode;
    LumoInterfaceTemplate *const interfaceTemplate = q.currentInterfaceTemplate;
    LumoOutput *const output = q.currentOutput;
    LumoFixture *const fixture = q.currentFixture;
    LumoInterface *const interface = q.currentInterface;

    switch (state) {
    // Header and geometry: the document.
    case S::MapFileVersion:
        return m && toUnsigned(text, m->mapfileversion);
    case S::MapName:
        return m && toText(text, m->mapname);
    case S::AppName:
        return m && toText(text, m->appname);
    case S::AppVersion:
        return m && toText(text, m->appversion);
    case S::SaveDateTime:
        return m && toText(text, m->savedatetime);
    case S::VMinX:
        return m && toReal(text, m->vminx);
    case S::VMinY:
        return m && toReal(text, m->vminy);
    case S::VMaxX:
        return m && toReal(text, m->vmaxx);
    case S::VMaxY:
        return m && toReal(text, m->vmaxy);
    case S::ScaleXFit:
        return m && toFlag(text, m->scalexfit);
    case S::ScaleYFit:
        return m && toFlag(text, m->scaleyfit);
    case S::GeometryXOffset:
        return m && toReal(text, m->xoffset);
    case S::GeometryYOffset:
        return m && toReal(text, m->yoffset);
    case S::XScale:
        return m && toReal(text, m->xscale);
    case S::YScale:
        return m && toReal(text, m->yscale);

    case S::RegionNumber:
        return region && toUnsigned(text, region->number);
    case S::RegionName:
        return region && toText(text, region->name);
    case S::RegionColor:
        return region && toColour(text, region->color);

    case S::FixtureTemplateUid:
        return fixtureTemplate && toHex(text, fixtureTemplate->uid);
    case S::FixtureTemplateName:
        return fixtureTemplate && toText(text, fixtureTemplate->name);
    case S::FixtureTemplateLocked:
        return fixtureTemplate && toFlag(text, fixtureTemplate->locked);
    case S::FixtureTemplateXOffset:
        return fixtureTemplate && toReal(text, fixtureTemplate->xoffset);
    case S::FixtureTemplateYOffset:
        return fixtureTemplate && toReal(text, fixtureTemplate->yoffset);

    case S::NodeX:
        return node && toReal(text, node->x);
    case S::NodeY:
        return node && toReal(text, node->y);
    case S::NodeAddr:
        return node && toSigned(text, node->addr);
    case S::NodeSkipNode:
        return node && toFlag(text, node->skipnode);
    case S::NodeChannelCount:
        return node && toSigned(text, node->channelCount);

    case S::InterfaceTemplateUid:
        return interfaceTemplate && toHex(text, interfaceTemplate->uid);
    case S::InterfaceTemplateName:
        return interfaceTemplate && toText(text, interfaceTemplate->name);
    case S::InterfaceTemplateLocked:
        return interfaceTemplate && toFlag(text, interfaceTemplate->locked);
    case S::InterfaceTemplateXOffset:
        return interfaceTemplate && toReal(text, interfaceTemplate->xoffset);
    case S::InterfaceTemplateYOffset:
        return interfaceTemplate && toReal(text, interfaceTemplate->yoffset);

    case S::OutputPortNum:
        return output && toByte(text, output->portnum);
    case S::OutputPortType:
        return output && toByte(text, output->porttype);

    case S::FixtureTemplateId:
        return fixture && toHex(text, fixture->templateid);
    case S::FixtureName:
        return fixture && toText(text, fixture->name);
    case S::FixtureX:
        return fixture && toReal(text, fixture->x);
    case S::FixtureY:
        return fixture && toReal(text, fixture->y);
    case S::FixtureTheta:
        return fixture && toReal(text, fixture->theta);
    case S::FixtureBaseAddr:
        return fixture && toSigned(text, fixture->baseaddr);
    case S::FixtureLayerId:
        return fixture && toUnsigned(text, fixture->layerid);
    case S::FixtureGroupId:
        return fixture && toUnsigned(text, fixture->groupid);

    case S::InterfaceUid:
        return interface && toHex(text, interface->uid);
    case S::InterfaceTemplateId:
        return interface && toHex(text, interface->templateid);
    case S::InterfaceRegion:
        return interface && toUnsigned(text, interface->region);
    case S::InterfaceName:
        return interface && toText(text, interface->name);
    case S::InterfaceX:
        return interface && toReal(text, interface->x);
    case S::InterfaceY:
        return interface && toReal(text, interface->y);
    case S::InterfaceTheta:
        return interface && toReal(text, interface->theta);
    case S::InterfaceIp:
        return interface && toText(text, interface->ip);
    case S::InterfaceMac:
        return interface && toText(text, interface->mac);
    case S::InterfaceFlags:
        return interface && toHexByte(text, interface->flags);
    case S::InterfaceSn:
        return interface && toHex(text, interface->sn);
    case S::InterfaceVer:
        return interface && toShort(text, interface->ver);
    // Decimal, as the writer writes it, so that every value reads back unchanged.
    case S::InterfaceUni:
        return interface && toUnsigned(text, interface->uni);
    case S::InterfaceVers:
        return interface && toText(text, interface->vers);
    case S::InterfaceId:
        return interface && toText(text, interface->id);
    case S::InterfaceOrder:
        return interface && toSigned(text, interface->order);

    // The legacy map's elements.
    case S::LegacyControllerSelf:
    case S::LegacyControllerName:
    case S::LegacyControllerIpAddress:
    case S::LegacyLightX:
    case S::LegacyLightY:
    case S::LegacyLightChannel:
    case S::LegacyLightController:
    case S::LegacyLightPn:
        return legacy.storeText(state, text);

    default:
        // Containers, unlisted elements and unused codes: their own text is ignored.
        return true;
    }
}

// The reader's strings and the subset reader's UTF-8 bytes.
template bool LumoMapParserPrivate::storeText(int, const QString &);
template bool LumoMapParserPrivate::storeText(int, const ElementText::Utf8 &);
