#include "MapGenerator.h"

namespace {

constexpr int OutputsPerTemplate = 16;
constexpr int NodesPerFixtureTemplate = 4;
constexpr int LightsPerPort = 9;
constexpr quint32 FixtureTemplateUidBase = 0x10000;
constexpr quint32 InterfaceTemplateUidBase = 0x20000000;
constexpr quint32 InterfaceUidBase = 0x30000000;

// Appends elements to a byte buffer in the layout of the map file.
class IndentedXml
{
public:
    void open(const char *name)
    {
        indent();
        out += '<' + QByteArray(name) + ">\n";
        ++depth;
    }
    void close(const char *name)
    {
        --depth;
        indent();
        out += "</" + QByteArray(name) + ">\n";
    }
    void leaf(const char *name, const QByteArray &text)
    {
        indent();
        out += '<' + QByteArray(name) + '>' + text + "</" + name + ">\n";
    }
    void leaf(const char *name, qint64 value) { leaf(name, QByteArray::number(value)); }
    void hexLeaf(const char *name, quint32 value) { leaf(name, QByteArray::number(value, 16)); }
    void realLeaf(const char *name, double value) { leaf(name, QByteArray::number(value, 'g', 6)); }

    QByteArray out;

private:
    void indent() { out.append(depth, ' '); }
    int depth = 0;
};

// A fixed linear congruential sequence, so every run generates the same bytes.
class Sequence
{
public:
    quint32 next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<quint32>(state >> 33);
    }
    double coordinate() { return static_cast<double>(next() % 400000) / 8.0; } // 0 .. 49999.875

private:
    quint64 state = 0x4c756d6fULL;
};

QByteArray number(int value)
{
    return QByteArray::number(value);
}

void writeHeader(IndentedXml &xml)
{
    xml.leaf("mapfileversion", 2);
    xml.leaf("mapname", "Stadium facade");
    xml.leaf("appname", "LumoMap benchmark");
    xml.leaf("appversion", "1.0");
    xml.leaf("savedatetime", "Sun Dec 6 12:00:00 2026");
    xml.open("geometry");
    for (const char *name : {"vminx", "vminy"})
        xml.realLeaf(name, 0);
    for (const char *name : {"vmaxx", "vmaxy"})
        xml.realLeaf(name, 50000);
    for (const char *name : {"scalexfit", "scaleyfit"})
        xml.leaf(name, 1);
    for (const char *name : {"xoffset", "yoffset"})
        xml.realLeaf(name, 0);
    for (const char *name : {"xscale", "yscale"})
        xml.realLeaf(name, 1);
    xml.close("geometry");
}

void writeFixtureTemplate(IndentedXml &xml, Sequence &sequence, int index)
{
    xml.open("fixturetemplate");
    xml.hexLeaf("uid", FixtureTemplateUidBase + static_cast<quint32>(index));
    xml.leaf("name", "Pixel bar " + number(index));
    xml.leaf("locked", index % 3 == 0 ? 1 : 0);
    xml.realLeaf("xoffset", sequence.coordinate());
    xml.realLeaf("yoffset", sequence.coordinate());
    xml.open("nodelist");
    for (int node = 0; node < NodesPerFixtureTemplate; ++node) {
        xml.open("node");
        xml.realLeaf("x", node * 12.5);
        xml.realLeaf("y", sequence.coordinate() / 100.0);
        xml.leaf("addr", 1 + node * 3);
        xml.leaf("skipnode", node == 3 ? 1 : 0);
        xml.leaf("channelCount", 3);
        xml.close("node");
    }
    xml.close("nodelist");
    xml.close("fixturetemplate");
}

void writeInterfaceTemplate(IndentedXml &xml, Sequence &sequence, int index)
{
    xml.open("interfacetemplate");
    xml.hexLeaf("uid", InterfaceTemplateUidBase + static_cast<quint32>(index));
    xml.leaf("name", "Controller type " + number(index));
    xml.leaf("locked", 1);
    xml.realLeaf("xoffset", 0);
    xml.realLeaf("yoffset", 0);
    for (int output = 0; output < OutputsPerTemplate; ++output) {
        const int fixtureIndex = index * OutputsPerTemplate + output;
        xml.open("output");
        xml.leaf("portnum", output + 1);
        xml.leaf("porttype", 0);
        xml.open("fixture");
        xml.hexLeaf("templateid", FixtureTemplateUidBase + static_cast<quint32>(fixtureIndex));
        xml.leaf("name", "Bar " + number(fixtureIndex));
        xml.realLeaf("x", sequence.coordinate());
        xml.realLeaf("y", sequence.coordinate());
        xml.realLeaf("theta", (sequence.next() % 360) * 0.5);
        xml.leaf("baseaddr", 1 + (output % 4) * 128);
        xml.leaf("layerid", index % 8);
        xml.leaf("groupid", output % 4);
        xml.close("fixture");
        xml.close("output");
    }
    xml.close("interfacetemplate");
}

void writeInterface(IndentedXml &xml, Sequence &sequence, int index)
{
    const auto hexByte = [](int value) {
        return QByteArray::number(value % 256, 16).rightJustified(2, '0').toUpper();
    };
    xml.open("interface");
    xml.hexLeaf("uid", InterfaceUidBase + static_cast<quint32>(index));
    xml.hexLeaf("templateid", InterfaceTemplateUidBase + static_cast<quint32>(index));
    xml.leaf("region", index + 1);
    xml.leaf("name", "Facade controller " + number(index));
    xml.realLeaf("x", sequence.coordinate());
    xml.realLeaf("y", sequence.coordinate());
    xml.realLeaf("theta", 0);
    xml.leaf("ip", "10." + number(index / 65536 % 256) + '.' + number(index / 256 % 256) + '.' +
                       number(index % 256));
    xml.leaf("mac", "BC:BC:DE:AD:" + hexByte(index / 256) + ':' + hexByte(index));
    xml.hexLeaf("flags", static_cast<quint32>(index % 256));
    xml.hexLeaf("sn", 0x5000000u + static_cast<quint32>(index));
    xml.leaf("ver", 412);
    xml.leaf("uni", index % 10);
    xml.leaf("vers", "4.12");
    xml.leaf("id", "Facade controller " + number(index));
    xml.leaf("order", index);
    xml.close("interface");
}

void writeRegion(IndentedXml &xml, int index)
{
    static const char *const colors[] = {"#ff0000", "#00ff00", "#0000ff", "#ffa500"};
    xml.open("region");
    xml.leaf("number", index + 1);
    xml.leaf("name", "Zone " + number(index + 1));
    xml.leaf("color", colors[index % 4]);
    xml.close("region");
}

} // namespace

namespace MapGenerator {

QByteArray currentMap(int interfaces)
{
    IndentedXml xml;
    Sequence sequence;
    xml.open("lumomap");
    writeHeader(xml);
    for (int index = 0; index < interfaces * OutputsPerTemplate; ++index)
        writeFixtureTemplate(xml, sequence, index);
    for (int index = 0; index < interfaces; ++index)
        writeInterfaceTemplate(xml, sequence, index);
    for (int index = 0; index < interfaces; ++index)
        writeInterface(xml, sequence, index);
    for (int index = 0; index < interfaces; ++index)
        writeRegion(xml, index);
    xml.close("lumomap");
    return xml.out;
}

QByteArray legacyMap(int controllers)
{
    IndentedXml xml;
    Sequence sequence;
    xml.open("map");
    for (int controller = 0; controller < controllers; ++controller) {
        const quint32 self = 0x100u + static_cast<quint32>(controller);
        xml.open("controller");
        xml.hexLeaf("self", self);
        xml.leaf("name", "Controller " + number(controller));
        xml.leaf("ipaddress", "10.1." + number(controller / 256) + '.' + number(controller % 256));
        xml.close("controller");
        for (int port = 0; port < 16; ++port) {
            for (int light = 0; light < LightsPerPort; ++light) {
                xml.open("light");
                xml.leaf("x", static_cast<qint64>(sequence.next() % 60000));
                xml.leaf("y", static_cast<qint64>(sequence.next() % 60000));
                xml.leaf("channel", 1 + light * 3);
                xml.hexLeaf("controller", self);
                xml.leaf("pn", port);
                xml.close("light");
            }
        }
    }
    xml.close("map");
    return xml.out;
}

} // namespace MapGenerator
