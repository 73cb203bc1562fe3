// What host programs get beyond load and save: the wiring (addresses, universes, rotation), the checks,
// the JSON form both ways and the diff, through the public headers alone, on maps built in the test
// and on the sample maps.

#include <TestSupport.h>

#include <JsonTextWriter.h>
#include <LumoMapJson_p.h>

#include <LumoMapCheck.h>
#include <LumoMapDiff.h>
#include <LumoMapJson.h>
#include <LumoPatchList.h>
#include <LumoWiring.h>

#include <QtTest>

#include <cfloat>

namespace {

// A map described compactly: fixture templates by uid, then controllers; each controller is an
// interface with an interface template of its own (same uid), each port a list of fixtures.
struct Node
{
    double x = 0;
    double y = 0;
    int addr = 1;
    int channels = 3;
};
struct Placed
{
    quint32 templateid = 1;
    int baseaddr = 0;
    double x = 0;
    double y = 0;
    double theta = 0;
};
struct Controller
{
    quint32 uid = 0xa;
    quint32 uni = 0;
    QString ip = QStringLiteral("10.0.0.1");
    QList<QList<Placed>> ports;
    double x = 0;
    double y = 0;
    double theta = 0;
};
struct MapLayout
{
    QList<QList<Node>> templates; // uid 1, 2, ...
    QList<Controller> controllers;
};

// `count` nodes one unit apart along x with `channels` channels each, addresses following each other.
QList<Node> row(int count, int channels)
{
    QList<Node> nodes;
    for (int i = 0; i < count; ++i)
        nodes.append({double(i), 0, 1 + i * channels, channels});
    return nodes;
}

void build(LumoMapModel &map, const MapLayout &layout)
{
    for (int t = 0; t < layout.templates.size(); ++t) {
        auto *fixtureTemplate = new LumoFixtureTemplate;
        fixtureTemplate->uid = quint32(t + 1);
        for (const Node &node : layout.templates.at(t))
            fixtureTemplate->nodelist.append(new LumoNode{node.x, node.y, node.addr, false, node.channels, 0});
        map.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
    }
    for (const Controller &controller : layout.controllers) {
        auto *ports = new LumoInterfaceTemplate;
        ports->uid = controller.uid;
        for (const QList<Placed> &port : controller.ports) {
            ports->outputs.append(new LumoOutput{quint8(ports->outputs.size() + 1), 0, {}, true});
            for (const Placed &placed : port) {
                auto *fixture = new LumoFixture;
                fixture->templateid = placed.templateid;
                fixture->baseaddr = placed.baseaddr;
                fixture->x = placed.x;
                fixture->y = placed.y;
                fixture->theta = placed.theta;
                ports->outputs.last()->fixtures.append(fixture);
            }
        }
        map.interfaceTemplates.insert(ports->uid, ports);
        auto *interface = new LumoInterface;
        interface->uid = interface->templateid = controller.uid;
        interface->region = 1;
        interface->uni = controller.uni;
        interface->ip = controller.ip;
        interface->order = int(controller.uid);
        interface->x = controller.x;
        interface->y = controller.y;
        interface->theta = controller.theta;
        map.interfaces.insert(interface->uid, interface);
        map.interfacesByOrder.insert(interface->order, interface);
    }
    map.regions.insert(1, new LumoRegion);
    map.regions.value(1)->number = 1;
}

// "PORT.NODE address universe/channel (x, y)" of every node, "PORT: FIRST-LAST" of every port.
QStringList describe(const LumoWiring &wiring)
{
    QStringList lines;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            lines << QStringLiteral("%1.%2: %3/%4-%5/%6, %7 channels")
                         .arg(interface.uid, 0, 16)
                         .arg(port.port)
                         .arg(port.firstUniverse)
                         .arg(port.firstChannel)
                         .arg(port.lastUniverse)
                         .arg(port.lastChannel)
                         .arg(port.channelSpan());
            for (const LumoWiredNode &node : port.nodes)
                lines << QStringLiteral("%1.%2.%3 %4 %5/%6 (%7, %8)%9")
                             .arg(interface.uid, 0, 16)
                             .arg(port.port)
                             .arg(node.chainNumber)
                             .arg(node.address)
                             .arg(node.universe)
                             .arg(node.channel)
                             .arg(node.position.x())
                             .arg(node.position.y())
                             .arg(node.crossesUniverse(wiring.options.universeSize()) ? QStringLiteral(" crosses")
                                                                                  : QString());
        }
    }
    return lines;
}

// A device that reads `bytes` once, front to back, as a pipe or a socket does.
class SequentialReader : public QIODevice
{
public:
    explicit SequentialReader(const QByteArray &bytes) : m_bytes(bytes) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_bytes.size() - m_at + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 size) override
    {
        const qint64 count = std::min<qint64>(size, std::min<qint64>(m_bytes.size() - m_at, 1000));
        memcpy(data, m_bytes.constData() + m_at, size_t(count));
        m_at += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

// Doubles from a fixed sequence: `make` turns each random 64-bit value into one.
QList<double> generated(int count, const std::function<double(quint64)> &make)
{
    QRandomGenerator random(0x4c756d6f);
    QList<double> values;
    while (values.size() < count) {
        const double value = make(random.generate64());
        if (std::isfinite(value))
            values.append(value);
    }
    return values;
}

LumoMapModel loaded(const QString &path)
{
    LumoMapModel map;
    TestSupport::loadFile(map, path);
    return map;
}

} // namespace

Q_DECLARE_METATYPE(MapLayout)
Q_DECLARE_METATYPE(QList<double>)
Q_DECLARE_METATYPE(LumoWiringOptions)
Q_DECLARE_METATYPE(LumoPatchList::Rows)

class TestAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void wiring_data();
    void wiring();
    void findings_data();
    void findings();
    void jsonErrors_data();
    void jsonErrors();
    void jsonRoundTrip_data();
    void jsonRoundTrip();
    void jsonText_data();
    void jsonText();
    void jsonRoutes_data();
    void jsonRoutes();
    void diff_data();
    void diff();
    void patchRows_data();
    void patchRows();
    void lostInMapFile_data();
    void lostInMapFile();
};

// Each row lists lines that describe() must give, in that order, among all it gives.
void TestAnalysis::wiring_data()
{
    QTest::addColumn<MapLayout>("layout");
    QTest::addColumn<LumoWiringOptions>("options");
    QTest::addColumn<QStringList>("expected");

    const LumoWiringOptions defaults;
    LumoWiringOptions rgbw = defaults;
    rgbw.setUniverseSize(512);
    LumoWiringOptions fromUniverse7 = defaults;
    fromUniverse7.setStartUniverse(7);
    LumoWiringOptions fourChannels = defaults;
    fourChannels.setChannelsPerNode(4);

    QTest::newRow("addresses from baseaddr and addr")
        << MapLayout{{{{0, 0, 1, 3}, {1, 0, 4, 3}}}, {{0xa, 0, {}, {{{1, 0}, {1, 10}}}}}} << defaults
        << QStringList{"a.1.1 1 0/1 (0, 0)", "a.1.2 4 0/4 (1, 0)", "a.1.3 10 0/10 (0, 0)", "a.1.4 13 0/13 (1, 0)"};
    // 170 RGB nodes fill channels 1 to 510; node 171 starts the next universe.
    QTest::newRow("510, RGB around the universe end")
        << MapLayout{{row(171, 3)}, {{0xa, 4, {}, {{{1}}}}}} << defaults
        << QStringList{"a.1: 4/1-5/3, 513 channels", "a.1.170 508 4/508 (169, 0)", "a.1.171 511 5/1 (170, 0)"};
    // RGBW at 510: node 128 takes channels 509 to 512 and crosses; at 512 nothing crosses.
    QTest::newRow("510, RGBW crosses") << MapLayout{{row(129, 4)}, {{0xa, 0, {}, {{{1}}}}}} << defaults
                                       << QStringList{"a.1.127 505 0/505 (126, 0)", "a.1.128 509 0/509 (127, 0) crosses",
                                                      "a.1.129 513 1/3 (128, 0)"};
    QTest::newRow("512, RGBW fills universes") << MapLayout{{row(129, 4)}, {{0xa, 0, {}, {{{1}}}}}} << rgbw
                                               << QStringList{"a.1.128 509 0/509 (127, 0)", "a.1.129 513 1/1 (128, 0)"};
    // Port 1 uses universes 2 and 3; the empty port 2 uses none; port 3 starts at 4. --start-universe
    // replaces uni.
    const MapLayout threePorts{{row(200, 3), row(2, 3)}, {{0xa, 2, {}, {{{1}}, {}, {{2}}}}}};
    QTest::newRow("ports follow each other")
        << threePorts << defaults << QStringList{"a.1: 2/1-3/90, 600 channels", "a.2: -1/0--1/0, 0 channels",
                                                 "a.3: 4/1-4/6, 6 channels", "a.3.1 1 4/1 (0, 0)"};
    QTest::newRow("start universe") << threePorts << fromUniverse7
                                    << QStringList{"a.1: 7/1-8/90, 600 channels", "a.3.1 1 9/1 (0, 0)"};
    // Three universes a port: port 3 starts at 2 + 2 x 3 whatever ports 1 and 2 hold; -3 packs them.
    LumoWiringOptions threePerPort = defaults;
    threePerPort.setUniversesPerPort(3);
    QTest::newRow("universes per port")
        << threePorts << threePerPort << QStringList{"a.1: 2/1-3/90, 600 channels", "a.3: 8/1-8/6, 6 channels"};
    LumoWiringOptions negativePerPort = defaults;
    negativePerPort.setUniversesPerPort(-3);
    QTest::newRow("universes per port below 0 count as 0")
        << threePorts << negativePerPort << QStringList{"a.3: 4/1-4/6, 6 channels"};
    QTest::newRow("channelCount 0 counts as channelsPerNode")
        << MapLayout{{{{0, 0, 1, 0}, {1, 0, 5, 0}}}, {{0xa, 0, {}, {{{1}}}}}} << fourChannels
        << QStringList{"a.1: 0/1-0/8, 8 channels"};
    QTest::newRow("address below 1 lies in no universe")
        << MapLayout{{{{0, 0, 0, 3}, {1, 0, 1, 3}}}, {{0xa, 0, {}, {{{1}}}}}} << defaults
        << QStringList{"a.1: -1/0-0/3, 4 channels", "a.1.1 0 -1/0 (0, 0)"};
    // theta 90 turns (1, 0) to (0, 1) on a canvas whose y grows downward: nodes about their fixture,
    // fixtures about their interface.
    QTest::newRow("fixture theta")
        << MapLayout{{{{1, 0, 1, 3}}}, {{0xa, 0, {}, {{{1, 0, 10, 20, 90}}}}}} << defaults
        << QStringList{"a.1.1 1 0/1 (10, 21)"};
    QTest::newRow("interface theta")
        << MapLayout{{{{1, 0, 1, 3}}}, {{0xa, 0, {}, {{{1, 0, 10, 0, 0}}}, 100, 100, 90}}} << defaults
        << QStringList{"a.1.1 1 0/1 (100, 111)"};
    QTest::newRow("both turned")
        << MapLayout{{{{1, 0, 1, 3}}}, {{0xa, 0, {}, {{{1, 0, 10, 0, 180}}}, 100, 100, 90}}} << defaults
        << QStringList{"a.1.1 1 0/1 (100, 109)"};
    QTest::newRow("missing template adds no nodes")
        << MapLayout{{{{0, 0, 1, 3}}}, {{0xa, 0, {}, {{{9}, {1}}}}}} << defaults << QStringList{"a.1.1 1 0/1 (0, 0)"};
    // Options and stored numbers at the ends of their types.
    LumoWiringOptions noUniverseSize = defaults;
    noUniverseSize.setUniverseSize(0);
    QTest::newRow("universe size 0 counts as 1")
        << MapLayout{{{{0, 0, 1, 3}, {1, 0, 4, 3}}}, {{0xa, 0, {}, {{{1}}}}}} << noUniverseSize
        << QStringList{"a.1: 0/1-5/1, 6 channels", "a.1.1 1 0/1 (0, 0) crosses",
                       "a.1.2 4 3/1 (1, 0) crosses"};
    QTest::newRow("channelCount 2147483647")
        << MapLayout{{{{0, 0, 1, std::numeric_limits<qint32>::max()}}}, {{0xa, 0, {}, {{{1}}}}}} << defaults
        << QStringList{"a.1: 0/1-4210752/127, 2147483647 channels", "a.1.1 1 0/1 (0, 0) crosses"};
    LumoWiringOptions mostChannelsPerNode = defaults;
    mostChannelsPerNode.setChannelsPerNode(std::numeric_limits<int>::max());
    QTest::newRow("channelsPerNode 2147483647")
        << MapLayout{{{{0, 0, 1, 0}}}, {{0xa, 0, {}, {{{1}}}}}} << mostChannelsPerNode
        << QStringList{"a.1.1 1 0/1 (0, 0) crosses"};
    LumoWiringOptions topUniverse = defaults;
    topUniverse.setStartUniverse(std::numeric_limits<qint64>::max()); // counts as 4294967295
    QTest::newRow("start universe at the top of qint64")
        << threePorts << topUniverse
        << QStringList{"a.1: 4294967295/1-4294967296/90, 600 channels", "a.3.1 1 4294967297/1 (0, 0)"};
}

void TestAnalysis::wiring()
{
    QFETCH(MapLayout, layout);
    QFETCH(LumoWiringOptions, options);
    QFETCH(QStringList, expected);

    LumoMapModel map;
    build(map, layout);
    const QStringList lines = describe(LumoWiring(map, options));
    qsizetype from = 0;
    for (const QString &line : expected) {
        const qsizetype at = lines.indexOf(line, from);
        QVERIFY2(at >= 0, qPrintable(line + QStringLiteral(" not after line %1 of\n").arg(from) +
                                     lines.join(QLatin1Char('\n'))));
        from = at + 1;
    }
}

// Each row: a map, and the finding lines it must give, in their order, or a golden file of them.
void TestAnalysis::findings_data()
{
    QTest::addColumn<QString>("file"); // a map to load, or empty for `layout`
    QTest::addColumn<MapLayout>("layout");
    QTest::addColumn<QStringList>("expected");

    const QString data = QStringLiteral(LUMOMAP_TEST_DATA_DIR "/tool-%1.xml");
    for (const char *map : {"missing-fixture-template", "missing-interface-template", "missing-region",
                            "shared-portnum", "shared-order", "unused-interface-template", "shared-addr"}) {
        const QString golden = QString::fromUtf8(TestSupport::dataFile(QStringLiteral("tool-%1.validate.txt").arg(map)));
        QTest::newRow(map) << data.arg(QLatin1String(map)) << MapLayout() << golden.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Every legacy import shares order 0 and its controllers' universes, and nothing worse.
    const QString apart = QStringLiteral(": unicast to each controller's IP keeps them apart, multicast or broadcast would not");
    QTest::newRow("legacy theatre") << QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/legacy-theatre.xml") << MapLayout()
                                    << QStringList{"warning: interfaces 1a, 1b, 2c: share order 0",
                                                   "warning: interfaces 1a, 1b, 2c: send to universes 0-3" + apart,
                                                   "warning: interfaces 1a, 1b: send to universe 4" + apart};
    QTest::newRow("stage") << QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/stage.lumomap.xml") << MapLayout()
                           << QStringList{"warning: interfaces 300, 301: send to universes 0-1" + apart};

    const QList<QList<Placed>> onePort{{{1}}};
    QTest::newRow("no interfaces") << QString() << MapLayout() << QStringList{"warning: map: has no interfaces"};
    QTest::newRow("IP addresses")
        << QString()
        << MapLayout{{row(1, 3)},
                {{0x1, 0, "10.0.0.5", onePort},
                 {0x2, 1, "10.0.0.5", onePort},
                 {0x3, 2, "10.0.0.999", onePort},
                 {0x4, 3, "", onePort},
                 {0x5, 4, "0.0.0.0", onePort},
                 {0x6, 5, "0.0.0.0", onePort}}}
        << QStringList{"error: interfaces 1, 2: share ip 10.0.0.5",
                       "error: interface 3 \"Interface\": ip 10.0.0.999 is not a dotted IPv4 address",
                       "warning: interface 4 \"Interface\": has no IP address",
                       "warning: interface 5 \"Interface\": has IP 0.0.0.0, which addresses no controller",
                       "warning: interface 6 \"Interface\": has IP 0.0.0.0, which addresses no controller"};
    QTest::newRow("channels")
        << QString()
        << MapLayout{{{{0, 0, 0, 3}, {1, 0, 1, 3}, {2, 0, 3, 3}, {3, 0, 7, 3}}, row(128, 4)},
                {{0xa, 0, "10.0.0.1", {{{1}}, {{2}}}}}}
        << QStringList{"warning: interface a \"Interface\" port 1 (portnum 1): node 1: channel address below 1",
                       "warning: interface a \"Interface\" port 1 (portnum 1): 2 nodes share channels with an earlier "
                       "one: 2-3 (nodes 1 and 2 share channel 1)",
                       "warning: interface a \"Interface\" port 2 (portnum 2): node 128: channels cross into the next "
                       "universe (universes of 510 channels)"};
    // Checked with one universe a port (see findings()).
    QTest::newRow("port needs more universes than it is given")
        << QString() << MapLayout{{row(171, 3)}, {{0xa, 0, "10.0.0.1", {{{1}}, {{1}}}}}}
        << QStringList{"error: interface a \"Interface\" port 1 (portnum 1): its channels need 2 universes, more "
                       "than the 1 each port is given, and run into the next port's",
                       "error: interface a \"Interface\" port 2 (portnum 2): its channels need 2 universes, more "
                       "than the 1 each port is given, and run into the next port's"};
    QTest::newRow("too many pixels") << QString() << MapLayout{{row(1025, 1)}, {{0xa, 0, "10.0.0.1", onePort}}}
                                     << QStringList{"warning: interface a \"Interface\" port 1 (portnum 1): 1025 nodes, "
                                                    "more than 1024 on one port"};
    // a's two ports send to universes 0 and 1; c starts where b ends; d and e share two universes.
    QTest::newRow("shared universes")
        << QString()
        << MapLayout{{row(1, 3), row(200, 3)},
                     {{0xa, 0, "10.0.0.1", {{{1}}, {{1}}}},
                      {0xb, 1, "10.0.0.2", onePort},
                      {0xc, 2, "10.0.0.3", onePort},
                      {0xd, 10, "10.0.0.4", {{{2}}}},
                      {0xe, 9, "10.0.0.5", {{{1}}, {{2}}}},
                      {0xf, 0, "10.0.0.6", onePort}}}
        << QStringList{"warning: interfaces a, f: send to universe 0" + apart,
                       "warning: interfaces a, b: send to universe 1" + apart,
                       "warning: interfaces d, e: send to universes 10-11" + apart};
    QTest::newRow("channelCount 2147483647")
        << QString()
        << MapLayout{{{{0, 0, 1, std::numeric_limits<qint32>::max()}}}, {{0xa, 0, "10.0.0.1", onePort}}}
        << QStringList{"warning: interface a \"Interface\" port 1 (portnum 1): node 1: "
                       "channels cross into the next universe (universes of 510 channels)"};
}

void TestAnalysis::findings()
{
    QFETCH(QString, file);
    QFETCH(MapLayout, layout);
    QFETCH(QStringList, expected);

    LumoMapModel map;
    if (file.isEmpty())
        build(map, layout);
    else
        QVERIFY(TestSupport::loadFile(map, file));
    LumoMapCheckOptions options;
    if (QByteArray(QTest::currentDataTag()) == "port needs more universes than it is given") {
        LumoWiringOptions onePerPort;
        onePerPort.setUniversesPerPort(1);
        options.setWiring(onePerPort);
    }
    QStringList lines;
    for (const LumoMapFinding &finding : LumoMapCheck::findings(map, options))
        lines << finding.line();
    QCOMPARE(lines, expected);
}

void TestAnalysis::jsonErrors_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");

    QTest::newRow("syntax") << QByteArray("{\n  \"format\": \"lumomap-json/1\",\n  \"mapname\" \"x\"\n}")
                            << "line 3, column 14: missing name separator";
    QTest::newRow("format") << QByteArray(R"({"mapname": "x"})") << "format: expected \"lumomap-json/1\"";
    QTest::newRow("type") << QByteArray(R"({"format": "lumomap-json/1", "regions": [{"number": -1}]})")
                          << "regions[0].number: expected a whole number from 0 to 4294967295";
    QTest::newRow("hex") << QByteArray(R"({"format": "lumomap-json/1", "interfaces": [{"uid": "1g"}]})")
                         << "interfaces[0].uid: expected a string of hexadecimal digits up to ffffffff";
    QTest::newRow("unknown key") << QByteArray(R"({"format": "lumomap-json/1", "interfaces": [{"uid": "1", "naem": ""}]})")
                                 << "interfaces[0]: unexpected key \"naem\"";
    QTest::newRow("key twice") << QByteArray(R"({"format": "lumomap-json/1", "regions": [{"number": 3}, {"number": 3}]})")
                               << "regions[1]: the key 3 is given twice";
    QTest::newRow("missing key") << QByteArray(R"({"format": "lumomap-json/1", "fixtureTemplates": [{"name": "x"}]})")
                                 << "fixtureTemplates[0].uid: missing; this key is required";
    // A fault inside an output after one of its fixtures was read: the output being read, and that
    // fixture with it, is freed (the leak checker of the sanitizer build sees it otherwise).
    QTest::newRow("nested") << QByteArray(R"({"format": "lumomap-json/1", "interfaceTemplates": [{"uid": "1",
        "outputs": [{"fixtures": [{}, {"x": true}]}]}]})")
                            << "interfaceTemplates[0].outputs[0].fixtures[1].x: expected a number or \"inf\", \"-inf\", \"nan\"";
    QTest::newRow("top level array") << QByteArray("[]") << "top level: expected an object";
    QTest::newRow("geometry") << QByteArray(R"({"format": "lumomap-json/1", "geometry": []})")
                              << "geometry: expected an object";
    QTest::newRow("not an array") << QByteArray(R"({"format": "lumomap-json/1", "regions": {}})")
                                  << "regions: expected an array";
    QTest::newRow("element") << QByteArray(R"({"format": "lumomap-json/1", "regions": [{"number": 1}, 2]})")
                             << "regions[1]: expected an object";
    QTest::newRow("byte") << QByteArray(R"({"format": "lumomap-json/1", "interfaceTemplates": [{"uid": "1",
        "outputs": [{}, {"portnum": 256}]}]})")
                          << "interfaceTemplates[0].outputs[1].portnum: expected a whole number from 0 to 255";
    QTest::newRow("flags") << QByteArray(R"({"format": "lumomap-json/1", "interfaces": [{"uid": "1", "flags": "100"}]})")
                           << "interfaces[0].flags: expected a string of hexadecimal digits up to ff";
    QTest::newRow("colour") << QByteArray(R"({"format": "lumomap-json/1", "regions": [{"number": 1, "color": "red"}]})")
                            << "regions[0].color: expected \"#rrggbb\", \"#aarrggbb\" or null";
    QTest::newRow("unknown top-level key") << QByteArray(R"({"format": "lumomap-json/1", "extra": [1, {}]})")
                                           << "top level: unexpected key \"extra\"";
    // A wrong format comes first, wherever the key stands and whatever else is wrong.
    QTest::newRow("format after a fault")
        << QByteArray(R"({"fixtureTemplates": [{"uid": 5}], "format": "lumomap-json/2"})")
        << "format: expected \"lumomap-json/1\"";
}

void TestAnalysis::jsonErrors()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);

    LumoMapModel map;
    QString message;
    QVERIFY(!LumoMapJson::fromJson(json, map, &message));
    QCOMPARE(message, error);
}

// JSON -> model -> JSON gives the same text, and the model the same records as the map read.
void TestAnalysis::jsonRoundTrip_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("golden map") << QStringLiteral(LUMOMAP_TEST_DATA_DIR "/golden-map.xml");
    QTest::newRow("legacy facade") << QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/legacy-facade.xml");
    QTest::newRow("stage") << QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/stage.lumomap.xml");
}

void TestAnalysis::jsonRoundTrip()
{
    QFETCH(QString, file);

    LumoMapModel map;
    QVERIFY(TestSupport::loadFile(map, file));
    const QByteArray json = LumoMapJson::toJson(map);
    LumoMapModel read;
    QString error;
    QVERIFY2(LumoMapJson::fromJson(json, read, &error), qPrintable(error));
    QCOMPARE(LumoMapJson::toJson(read), json);
    // The order index, the dump's last line, is not in the JSON form: reading rebuilds it, also for
    // the interfaces of a legacy import, which the import leaves out of it.
    const QStringList expected = TestSupport::dump(map);
    QCOMPARE(TestSupport::dump(read).mid(0, expected.size() - 1), expected.mid(0, expected.size() - 1));
}

// The writer gives QJsonDocument's indented text byte for byte: reals of every kind, strings with every
// kind of character, empty and nested containers.
void TestAnalysis::jsonText_data()
{
    QTest::addColumn<QList<double>>("reals");
    QTest::addColumn<QJsonArray>("values");

    QTest::newRow("edge reals") << QList<double>{0.0, -0.0, 1, -1, 0.5, 0.1, -0.1, 1e-7, 0.001, 0.0001, 0.00012345,
                                               123456.7, 1e15, 1e16, 1.5e16, 9007199254740992.0, 9007199254740994.0,
                                               1e17, 1e21, 1e300, 5e-324, DBL_MAX, -DBL_MIN, 123456789012.5,
                                               12345678901234567890.0, 18446744073709551616.0, 9223372036854775808.0}
                                << QJsonArray();
    QTest::newRow("any bits") << generated(20000, [](quint64 bits) {
        double value;
        memcpy(&value, &bits, sizeof value);
        return value;
    }) << QJsonArray();
    QTest::newRow("eighths and six digits") << generated(20000, [](quint64 bits) {
        const double eighths = double(bits % 4000000) / 8.0;
        return bits & (1ull << 40) ? QString::number(eighths, 'g', 6).toDouble() : eighths;
    }) << QJsonArray();
    QTest::newRow("decimals at every scale") << generated(20000, [](quint64 bits) {
        return double(bits % 1000000) * std::pow(10.0, int((bits >> 20) % 40) - 20) * (bits >> 63 ? -1 : 1);
    }) << QJsonArray();
    QJsonArray characters;
    for (char16_t unit = 0; unit < 0x80; ++unit)
        characters.append(QString(QChar(unit)));
    for (const char16_t *text : {u"\u0080\u07ff\u0800\ufffe\uffff", u"\U0001f600", u"\xd800", u"\xdc00x", u"a\xd800",
                                 u"\xdc00\xd800", u"\x2028", u""})
        characters.append(QString::fromUtf16(text));
    characters.append(QJsonValue(QJsonValue::Null));
    QTest::newRow("strings") << QList<double>() << characters;
    QTest::newRow("containers") << QList<double>()
                                << QJsonArray{QJsonArray(), QJsonObject(), QJsonArray{QJsonObject(), QJsonArray{}},
                                              QJsonObject{{"a\"b", QJsonObject{{"c", QJsonArray{true, false}}}}},
                                              QJsonValue(qint64(1) << 60)};
}

void TestAnalysis::jsonText()
{
    QFETCH(QList<double>, reals);
    QFETCH(QJsonArray, values);

    JsonTextWriter out;
    out.beginArray();
    for (const double real : reals) {
        values.append(real);
        out.real(real);
    }
    for (qsizetype i = reals.size(); i < values.size(); ++i)
        out.value(values.at(i));
    out.endArray();
    QVERIFY(out.finish());
    const QList<QByteArray> expected = QJsonDocument(values).toJson(QJsonDocument::Indented).split('\n');
    const QList<QByteArray> actual = out.text().split('\n');
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        QCOMPARE(actual.at(i), expected.at(i));
}

// Texts that the usual route (RapidJSON) gives to Qt's parser, or that sit where the two parsers differ:
// the usual route, Qt's route alone and the usual route over a sequential device give the same model and
// the same message. `expected` is a line that the JSON text of the model read holds.
void TestAnalysis::jsonRoutes_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("expected");

    const QByteArray head = R"({"format": "lumomap-json/1", )";
    const auto geometry = [&head](const char *vminx) { return head + R"("geometry": {"vminx": )" + vminx + "}}"; };
    QTest::newRow("plain") << head + R"("mapname": "a", "regions": [{"number": 1}]})" << QString() << "\"number\": 1";
    QTest::newRow("lone surrogate") << head + R"("mapname": "a\ud800b"})" << QString() << R"("mapname": "a\ud800b",)";
    QTest::newRow("lone low surrogate") << head + R"("mapname": "a\udc00b"})" << QString() << R"("mapname": "a\udc00b",)";
    QTest::newRow("byte order mark") << "\xef\xbb\xbf" + head + R"("mapname": "a"})" << QString() << R"("mapname": "a",)";
    QTest::newRow("key twice, the last kept") << head + R"("mapname": "a", "mapname": "b"})" << QString()
                                             << R"("mapname": "b",)";
    QTest::newRow("format twice, the last right") << QByteArray(R"({"format": "x", "format": "lumomap-json/1"})")
                                                  << QString() << R"("format": "lumomap-json/1",)";
    QTest::newRow("raw control character") << head + "\"mapname\": \"a\x01\"}" << QString() << R"("mapname": "a\u0001",)";
    QTest::newRow("noncharacter") << head + "\"mapname\": \"\xef\xbf\xbf\"}" << QString() << "\"mapname\": \"\xef\xbf\xbf\",";
    QTest::newRow("point first") << geometry(".5") << QString() << R"("vminx": 0.5)";
    QTest::newRow("point last") << geometry("2.") << QString() << R"("vminx": 2)";
    QTest::newRow("negative zero") << geometry("-0.0") << QString() << R"("vminx": 0)";
    QTest::newRow("zero with an exponent") << geometry("0e-300") << QString() << R"("vminx": 0)";
    QTest::newRow("whole number rounded") << geometry("9007199254740993") << QString()
                                          << R"("vminx": 9007199254740992)";
    QTest::newRow("whole number beyond a double") << geometry((QByteArray("1") + QByteArray(400, '0')).constData())
                                                  << "line 1, column 453: illegal number" << QString();
    QTest::newRow("smallest subnormal") << geometry("4e-324") << QString() << R"("vminx": 5e-324)";
    QTest::newRow("long number") << geometry("0.1000000000000000055511151231257827021181583404541015625000001")
                                 << QString() << R"("vminx": 0.1)";
    QTest::newRow("whole number as a real") << head + R"("mapfileversion": 2.0})" << QString() << R"("mapfileversion": 2,)";
    QTest::newRow("whole number with exponent") << head + R"("mapfileversion": 1e1})" << QString()
                                                << R"("mapfileversion": 10,)";
    QTest::newRow("hexadecimal prefix") << head + R"("interfaces": [{"uid": "0x1F"}]})" << QString() << R"("uid": "1f")";
    QTest::newRow("hexadecimal in spaces") << head + R"("interfaces": [{"uid": " 1f"}]})" << QString() << R"("uid": "1f")";
    QTest::newRow("underflow") << geometry("1e-400") << "line 1, column 58: illegal number" << QString();
    QTest::newRow("invalid UTF-8") << head + "\"mapname\": \"\xc0\x80\"}" << "line 1, column 42: invalid UTF8 string"
                                   << QString();
    QTest::newRow("encoded surrogate") << head + "\"mapname\": \"\xed\xa0\x80\"}"
                                       << "line 1, column 42: invalid UTF8 string" << QString();
    QTest::newRow("NUL after the document") << QByteArray("{\"format\": \"lumomap-json/1\"} \0 ", 31)
                                            << "line 1, column 30: garbage at the end of the document" << QString();
    QTest::newRow("top level number") << QByteArray("5") << "line 1, column 2: illegal value" << QString();
    QTest::newRow("columns in UTF-16 code units") << head + "\n\"mapname\": \"\xc3\xa9\xf0\x9f\x8e\xad\" x}"
                                                  << "line 2, column 19: unterminated object" << QString();
    QTest::newRow("nested too deep") << head + "\"x\": " + QByteArray(1100, '[') + QByteArray(1100, ']') + "}"
                                     << "line 1, column 1059: too deeply nested document" << QString();
    // Reals in every form, read by RapidJSON on one route and by Qt on the other: the same doubles.
    QByteArray nodes;
    // (Zero and subnormal values are left out: the usual route hands a document holding one to Qt.)
    const QList<double> reals = generated(6000, [](quint64 bits) {
        double value;
        memcpy(&value, &bits, sizeof value);
        if (bits % 3 || !std::isnormal(value))
            value = double(bits % 100000000 + 1) / std::pow(10.0, int(bits >> 58));
        return value;
    });
    for (qsizetype i = 0; i + 1 < reals.size(); i += 2) {
        const char format = "gge"[i % 3];
        const int precision = i % 4 ? QLocale::FloatingPointShortest : 17;
        nodes += (i ? ", " : "") + QByteArray(R"({"x": )") + QByteArray::number(reals[i], format, precision) +
                 R"(, "y": )" + QByteArray::number(reals[i + 1], 'g', 9) + "}";
    }
    QTest::newRow("reals in every form") << head + R"("fixtureTemplates": [{"uid": "1", "nodelist": [)" + nodes + "]}]}"
                                         << QString() << R"("uid": "1")";
    // A fault in the values: what was read before it stays, the header as read.
    QTest::newRow("records before a fault") << head + R"("regions": [{"number": 1}, {"number": "x"}]})"
                                            << "regions[1].number: expected a whole number from 0 to 4294967295"
                                            << "\"number\": 1";
    // A wrong format: nothing is read.
    QTest::newRow("format missing") << QByteArray(R"({"regions": [{"number": 1}], "mapname": "a"})")
                                    << "format: expected \"lumomap-json/1\"" << R"("mapname": "",)";
}

void TestAnalysis::jsonRoutes()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    QFETCH(QString, expected);

    LumoMapModel usual;
    QString usualError;
    QCOMPARE(LumoMapJson::fromJson(json, usual, &usualError), error.isEmpty());
    QCOMPARE(usualError, error);
    LumoMapModel qt;
    QString qtError;
    QCOMPARE(LumoMapJsonPrivate::readThroughQt(json, qt, qtError), error.isEmpty());
    QCOMPARE(qtError, error);
    LumoMapModel sequential;
    QString sequentialError;
    SequentialReader device(json);
    QCOMPARE(LumoMapJson::read(device, sequential, &sequentialError), error.isEmpty());
    QCOMPARE(sequentialError, error);
    // The message goes to lastError as well, the place of text that is not JSON to the line and column.
    QCOMPARE(usual.lastError, error);
    QCOMPARE(sequential.lastError, error);
    const QString place =
        error.startsWith(QLatin1String("line ")) ? error.section(QLatin1Char(':'), 0, 0) : QString();
    for (const LumoMapModel *m : {&usual, &qt, &sequential})
        QCOMPARE(m->lastErrorLine()
                     ? QStringLiteral("line %1, column %2").arg(m->lastErrorLine()).arg(m->lastErrorColumn())
                     : QString(),
                 place);

    const QByteArray text = LumoMapJson::toJson(usual);
    QCOMPARE(LumoMapJson::toJson(qt), text);
    QCOMPARE(LumoMapJson::toJson(sequential), text);
    QCOMPARE(TestSupport::dump(qt, true), TestSupport::dump(usual, true));
    if (!expected.isEmpty())
        QVERIFY2(text.contains(expected.toUtf8()), text.constData());
}

void TestAnalysis::diff_data()
{
    QTest::addColumn<QString>("oldFile");
    QTest::addColumn<QString>("newFile");
    QTest::addColumn<bool>("withSaveTime");
    QTest::addColumn<QStringList>("expected");

    const QString stage = QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/stage.lumomap.xml");
    const QString theatre = QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/legacy-theatre.xml");
    QTest::newRow("same") << stage << stage << true << QStringList();
    // Loaded twice, a legacy map gets other template uids; numbered from 0 they are the same.
    QTest::newRow("legacy loaded twice") << theatre << theatre << false << QStringList();
    const QStringList changed =
        QString::fromUtf8(TestSupport::dataFile(QStringLiteral("tool-diff-stage-changed.txt"))).split(QLatin1Char('\n'));
    QTest::newRow("changed") << stage << QStringLiteral(LUMOMAP_TEST_DATA_DIR "/tool-stage-changed.xml") << false
                             << QStringList(changed.mid(2, changed.size() - 4));
}

void TestAnalysis::diff()
{
    QFETCH(QString, oldFile);
    QFETCH(QString, newFile);
    QFETCH(bool, withSaveTime);
    QFETCH(QStringList, expected);

    const LumoMapModel oldMap = loaded(oldFile);
    const LumoMapModel newMap = loaded(newFile);
    LumoMapDiffOptions options;
    options.setCompareSaveTime(withSaveTime);
    options.setNumberLegacyTemplatesFromZero(true);
    QStringList lines;
    for (const LumoMapDifference &difference : LumoMapDiff::compare(oldMap, newMap, options))
        lines << difference.line();
    QCOMPARE(lines, expected);
}

// Each row: a map, which rows, and the value of one cell as "TYPE:TEXT" ("null" for nothing).
void TestAnalysis::patchRows_data()
{
    QTest::addColumn<MapLayout>("layout");
    QTest::addColumn<LumoPatchList::Rows>("rows");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("cell");

    const MapLayout twoNodes{{{{0, 0, 1, 3}, {1.5, 0, 4, 3}}}, {{0xa, 2, {}, {{{1, 10}}}}}};
    const auto nodes = LumoPatchList::NodeRows;
    const auto ports = LumoPatchList::PortRows;
    QTest::newRow("node address") << twoNodes << nodes << 1 << "address" << "qlonglong:13";
    QTest::newRow("node universe") << twoNodes << nodes << 1 << "universe" << "qlonglong:2";
    QTest::newRow("node position") << twoNodes << nodes << 1 << "x" << "double:1.5";
    QTest::newRow("node uid in hexadecimal") << twoNodes << nodes << 0 << "uid" << "QString:a";
    QTest::newRow("node skip") << twoNodes << nodes << 0 << "skip" << "bool:false";
    QTest::newRow("address in no universe")
        << MapLayout{{{{0, 0, 0, 3}}}, {{0xa, 0, {}, {{{1}}}}}} << nodes << 0 << "channel" << "null";
    QTest::newRow("position not finite") << MapLayout{{{{qInf(), 0, 1, 3}}}, {{0xa, 0, {}, {{{1}}}}}} << nodes << 0
                                         << "x" << "QString:inf";
    QTest::newRow("port channels") << twoNodes << ports << 0 << "channels" << "qlonglong:6";
    QTest::newRow("port last channel") << twoNodes << ports << 0 << "last_channel" << "qlonglong:15";
}

void TestAnalysis::patchRows()
{
    QFETCH(MapLayout, layout);
    QFETCH(LumoPatchList::Rows, rows);
    QFETCH(int, row);
    QFETCH(QString, column);
    QFETCH(QString, cell);

    LumoMapModel map;
    build(map, layout);
    const QList<QVariantList> table = LumoPatchList::rows(LumoWiring(map), rows);
    const QStringList columns = LumoPatchList::columns(rows);
    QVERIFY(row < table.size());
    QCOMPARE(table.at(row).size(), columns.size());
    const QVariant value = table.at(row).at(columns.indexOf(column));
    QCOMPARE(value.isValid() ? QStringLiteral("%1:%2").arg(QLatin1String(value.typeName()), value.toString())
                             : QStringLiteral("null"),
             cell);
}

void TestAnalysis::lostInMapFile_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("lost"); // how many values the map file changes

    const auto map = [](const char *members) {
        return QByteArray("{\"format\": \"lumomap-json/1\", ") + members + "}";
    };
    QTest::newRow("every value carried")
        << map("\"geometry\": {\"vminx\": 0.125}, \"mapname\": \"Stage\"") << 0;
    QTest::newRow("seven digits, inf, nan")
        << map("\"geometry\": {\"vminx\": 0.1234567, \"vmaxx\": \"inf\", \"xscale\": \"nan\"}") << 1;
    QTest::newRow("text ends, empty name, null text")
        << map("\"mapname\": \" Stage \", \"appname\": null, "
               "\"interfaces\": [{\"uid\": \"a\", \"name\": \"\", \"vers\": \"\"}]")
        << 4;
    QTest::newRow("colour alpha, invalid colour")
        << map("\"regions\": [{\"number\": 1, \"color\": \"#80ff0000\"}, {\"number\": 2, \"color\": null}]")
        << 2;
    QTest::newRow("nodes and fixtures") << map("\"fixtureTemplates\": [{\"uid\": \"1\", \"name\": \"\", "
                                               "\"nodelist\": [{\"x\": 1.2345678e-7}]}], "
                                               "\"interfaceTemplates\": [{\"uid\": \"2\", \"outputs\": "
                                               "[{\"fixtures\": [{\"theta\": 3.14159265}]}]}]")
                                        << 3;
}

// The values found in memory are the differences that a map file written from the document and read
// back shows, line for line.
void TestAnalysis::lostInMapFile()
{
    QFETCH(QByteArray, json);
    QFETCH(int, lost);

    LumoMapModel model;
    QVERIFY2(LumoMapJson::fromJson(json, model), qPrintable(model.lastError));
    QStringList found;
    LumoMapDiff::forEachValueLostInMapFile(model,
                                           [&](const LumoMapDifference &value) { found << value.line(); });
    QString text;
    QTextStream stream(&text);
    QVERIFY(model.save(stream));
    stream.flush();
    LumoMapModel reloaded;
    QVERIFY2(reloaded.loadFromText(text), qPrintable(reloaded.lastError));
    QStringList shown;
    LumoMapDiff::forEachDifference(model, reloaded, LumoMapDiffOptions(),
                                   [&](const LumoMapDifference &value) {
                                       if (value.field != QLatin1String("mapfileversion"))
                                           shown << value.line();
                                   });
    QCOMPARE(found, shown);
    QCOMPARE(int(found.size()), lost);
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
