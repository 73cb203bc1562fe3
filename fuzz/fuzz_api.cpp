// Fuzz target: the host API at any option. The input's last bytes choose the options, often at the
// edges of their types (0, negative, the greatest values, NaN and infinite sizes); the bytes before
// them are read as the JSON form of a map (a seed is a JSON map followed by the option bytes). Every facility then runs on the model: the wiring (also kept to one interface
// and port), the checks, the diff against the map read back from its JSON, the map page, PNG and SVG
// pictures and the wiring sheets. Nothing may crash, throw or trip a sanitizer, and the wiring must
// place every node inside a universe of the size it reports.

#include <TestSupport.h>

#include <LumoMapCheck.h>
#include <LumoMapDiff.h>
#include <LumoMapJson.h>
#include <LumoMapModel.h>
#include <LumoMapPage.h>
#include <LumoMapPainter.h>
#include <LumoWiring.h>
#include <LumoWiringSheets.h>

#include <QBuffer>
#include <QGuiApplication>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <limits>

namespace {

int anyInt(FuzzedDataProvider &input)
{
    static constexpr int edges[] = {0, -5, 1, 3, 510, 512, std::numeric_limits<int>::max(),
                                    std::numeric_limits<int>::min()};
    return input.ConsumeBool() ? input.PickValueInArray(edges) : input.ConsumeIntegral<int>();
}

qint64 anyUniverse(FuzzedDataProvider &input)
{
    static constexpr qint64 edges[] = {-1, 0, 1, 65535, 4294967295LL, 4294967296LL,
                                       std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
    return input.ConsumeBool() ? input.PickValueInArray(edges) : input.ConsumeIntegral<qint64>();
}

// A side of a picture: small enough to be drawn quickly, or one the painter must refuse or clamp.
double anySide(FuzzedDataProvider &input)
{
    static constexpr double edges[] = {0.0, -1.0, 0.4, 1.0, 32768.0, 3e9, 1e300,
                                       std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::infinity(),
                                       -std::numeric_limits<double>::infinity()};
    return input.ConsumeBool() ? input.PickValueInArray(edges) : input.ConsumeFloatingPointInRange(1.0, 256.0);
}

double anyCoordinate(FuzzedDataProvider &input)
{
    static constexpr double edges[] = {0.0, -1e300, 1e300, std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::infinity()};
    return input.ConsumeBool() ? input.PickValueInArray(edges) : input.ConsumeFloatingPointInRange(-1e4, 1e4);
}

// The picture draws everything, or one interface alone: the one of uid 0 or of any uid.
LumoMapPicture anyPicture(FuzzedDataProvider &input, quint32 uid)
{
    LumoMapPicture picture;
    picture.setArea(QRectF(anyCoordinate(input), anyCoordinate(input), anySide(input), anySide(input)));
    picture.setLabels(input.ConsumeBool());
    picture.setWiring(input.ConsumeBool());
    picture.setNumbers(LumoMapPicture::Numbers(input.ConsumeIntegralInRange<int>(0, 3)));
    picture.setPrint(input.ConsumeBool());
    if (input.ConsumeBool()) {
        picture.setOnlyInterfaceUid(input.ConsumeBool() ? uid : 0);
        picture.setOnlyPort(anyInt(input));
    }
    picture.setFromNode(anyInt(input));
    picture.setToNode(anyInt(input));
    return picture;
}

// Every node that lies in a universe lies inside one of the size the wiring reports.
void requirePlaced(const LumoWiring &wiring)
{
    const int size = wiring.options.universeSize();
    TestSupport::require(size >= 1, "a wiring with a universe size below 1");
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            for (const LumoWiredNode &node : port.nodes) {
                const bool inNone = node.universe < 0 && node.channel == 0;
                const bool inOne = node.universe >= 0 && node.channel >= 1 && node.channel <= size;
                TestSupport::require(inNone || inOne, "a node outside its universe");
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    LumoWiringOptions wiringOptions;
    wiringOptions.setUniverseSize(anyInt(input));
    wiringOptions.setStartUniverse(anyUniverse(input));
    wiringOptions.setChannelsPerNode(anyInt(input));
    wiringOptions.setMilliampsPerPixel(anyInt(input));
    LumoMapCheckOptions checkOptions;
    checkOptions.setWiring(wiringOptions);
    checkOptions.setMaxPixelsPerPort(anyInt(input));
    LumoMapDiffOptions diffOptions;
    diffOptions.setCompareSaveTime(input.ConsumeBool());
    diffOptions.setNumberLegacyTemplatesFromZero(input.ConsumeBool());
    const bool sheets = input.ConsumeBool();
    const bool overview = input.ConsumeBool();
    const int keptPort = input.ConsumeIntegralInRange<int>(0, 3);
    const quint32 unknownUid = input.ConsumeIntegral<quint32>();
    const LumoMapPicture picture = anyPicture(input, unknownUid);

    LumoMapModel map;
    const QByteArray json = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    if (!LumoMapJson::fromJson(json, map))
        TestSupport::require(!map.lastError.isEmpty(), "a failed JSON read without a message");

    LumoWiring wiring(map, wiringOptions);
    requirePlaced(wiring);
    LumoMapCheck::findings(map, checkOptions);
    LumoMapModel readBack;
    LumoMapJson::fromJson(LumoMapJson::toJson(map), readBack);
    LumoMapDiff::compare(map, readBack, diffOptions);

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    LumoMapPainter::writePng(out, map, wiring, picture);
    LumoMapPainter::writeSvg(out, map, wiring, picture);
    LumoMapPageOptions pageOptions;
    pageOptions.setPicture(picture);
    TestSupport::require(LumoMapPage::write(out, map, wiring, pageOptions), "the map page was not written");
    if (sheets && wiring.nodeCount <= 64) {
        LumoWiringSheetsOptions sheetsOptions;
        sheetsOptions.setPicture(picture);
        sheetsOptions.setOverview(overview);
        LumoWiringSheets::write(out, map, wiring, sheetsOptions);
    }
    if (!wiring.interfaces.isEmpty()) {
        wiring.keepOnly({wiring.interfaces.constFirst().uid}, keptPort);
        requirePlaced(wiring);
        LumoMapPainter::writeSvg(out, map, wiring, picture);
    }
    return 0;
}
