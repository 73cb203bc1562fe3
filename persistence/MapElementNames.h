#ifndef MAPELEMENTNAMES_H
#define MAPELEMENTNAMES_H

// The element names of the map file and of the legacy map, written once and shared by the writer
// and the reader. Names are compared exactly and case-sensitively.

#include <QLatin1String>

namespace MapElement {

template<int N>
constexpr QLatin1String name(const char (&text)[N])
{
    return QLatin1String(text, N - 1);
}

// Map file: document element and header.
constexpr QLatin1String Lumomap = name("lumomap");
constexpr QLatin1String MapFileVersion = name("mapfileversion");
constexpr QLatin1String MapName = name("mapname");
constexpr QLatin1String AppName = name("appname");
constexpr QLatin1String AppVersion = name("appversion");
constexpr QLatin1String SaveDateTime = name("savedatetime");

// Canvas geometry.
constexpr QLatin1String Geometry = name("geometry");
constexpr QLatin1String VMinX = name("vminx");
constexpr QLatin1String VMinY = name("vminy");
constexpr QLatin1String VMaxX = name("vmaxx");
constexpr QLatin1String VMaxY = name("vmaxy");
constexpr QLatin1String ScaleXFit = name("scalexfit");
constexpr QLatin1String ScaleYFit = name("scaleyfit");
constexpr QLatin1String XOffset = name("xoffset");
constexpr QLatin1String YOffset = name("yoffset");
constexpr QLatin1String XScale = name("xscale");
constexpr QLatin1String YScale = name("yscale");

// Records and their leaves (a leaf name may serve several records).
constexpr QLatin1String FixtureTemplate = name("fixturetemplate");
constexpr QLatin1String NodeList = name("nodelist");
constexpr QLatin1String Node = name("node");
constexpr QLatin1String InterfaceTemplate = name("interfacetemplate");
constexpr QLatin1String Output = name("output");
constexpr QLatin1String Fixture = name("fixture");
constexpr QLatin1String Interface = name("interface");
constexpr QLatin1String Region = name("region");

constexpr QLatin1String Uid = name("uid");
constexpr QLatin1String Name = name("name");
constexpr QLatin1String Locked = name("locked");
constexpr QLatin1String X = name("x");
constexpr QLatin1String Y = name("y");
constexpr QLatin1String Addr = name("addr");
constexpr QLatin1String SkipNode = name("skipnode");
constexpr QLatin1String ChannelCount = name("channelCount");
constexpr QLatin1String PortNum = name("portnum");
constexpr QLatin1String PortType = name("porttype");
constexpr QLatin1String TemplateId = name("templateid");
constexpr QLatin1String Theta = name("theta");
constexpr QLatin1String BaseAddr = name("baseaddr");
constexpr QLatin1String LayerId = name("layerid");
constexpr QLatin1String GroupId = name("groupid");
constexpr QLatin1String RegionNumber = name("region"); // an interface's region, by number
constexpr QLatin1String Ip = name("ip");
constexpr QLatin1String Mac = name("mac");
constexpr QLatin1String Flags = name("flags");
constexpr QLatin1String Sn = name("sn");
constexpr QLatin1String Ver = name("ver");
constexpr QLatin1String Uni = name("uni");
constexpr QLatin1String Vers = name("vers");
constexpr QLatin1String Id = name("id");
constexpr QLatin1String Order = name("order");
constexpr QLatin1String Number = name("number");
constexpr QLatin1String Color = name("color");

// Legacy map: long and short names.
constexpr QLatin1String LegacyMap = name("map");
constexpr QLatin1String LegacyController = name("controller");
constexpr QLatin1String LegacyControllerShort = name("c");
constexpr QLatin1String LegacySelf = name("self");
constexpr QLatin1String LegacySelfShort = name("s");
constexpr QLatin1String LegacyName = name("name");
constexpr QLatin1String LegacyNameShort = name("n");
constexpr QLatin1String LegacyIpAddress = name("ipaddress");
constexpr QLatin1String LegacyIpAddressShort = name("ip");
constexpr QLatin1String LegacyLight = name("light");
constexpr QLatin1String LegacyLightShort = name("l");
constexpr QLatin1String LegacyX = name("x");
constexpr QLatin1String LegacyY = name("y");
constexpr QLatin1String LegacyChannel = name("channel");
constexpr QLatin1String LegacyChannelShort = name("ch");
constexpr QLatin1String LegacyPn = name("pn");

} // namespace MapElement

#endif // MAPELEMENTNAMES_H
