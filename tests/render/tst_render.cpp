// The Render API at the edges of its options and inputs: pictures, wiring sheets and the map page of
// maps from empty to extreme, at sizes and wiring options no command line would pass. Each must give
// what its header says, never a crash or a silent half result.

#include <TestSupport.h>

#include <LumoMapPage.h>
#include <LumoMapPainter.h>
#include <LumoWiring.h>
#include <LumoWiringSheets.h>

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTest>

#include <climits>
#include <cmath>
#include <limits>

namespace {

enum Map { Empty, OneNode, Grid, Extreme };

const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();

// One controller: a port per list of nodes, each port one fixture of a template of its own.
void addController(LumoMapModel &map, quint32 uid, const QList<QList<LumoNode>> &ports, quint32 uni = 0,
                   double x = 0)
{
    auto *outputs = new LumoInterfaceTemplate;
    outputs->uid = uid;
    for (const QList<LumoNode> &nodes : ports) {
        auto *fixtureTemplate = new LumoFixtureTemplate;
        fixtureTemplate->uid = uid * 16 + quint32(outputs->outputs.size());
        for (const LumoNode &node : nodes)
            fixtureTemplate->nodelist.append(new LumoNode(node));
        map.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
        outputs->outputs.append(new LumoOutput{quint8(outputs->outputs.size() + 1), 0, {}, true});
        auto *fixture = new LumoFixture;
        fixture->templateid = fixtureTemplate->uid;
        outputs->outputs.last()->fixtures.append(fixture);
    }
    map.interfaceTemplates.insert(uid, outputs);
    auto *interface = new LumoInterface;
    interface->uid = interface->templateid = uid;
    interface->uni = uni;
    interface->x = x;
    map.interfaces.insert(uid, interface);
}

void build(LumoMapModel &map, Map kind)
{
    map.regions.insert(0, new LumoRegion);
    QList<LumoNode> grid[2];
    for (int i = 0; i < 120; ++i)
        grid[i / 60].append({double(i % 10), double(i / 10), 1 + (i % 60) * 3, false, 3, 0});
    switch (kind) {
    case Empty:
        break;
    case OneNode:
        addController(map, 1, {{{0, 0, 1, false, 3, 0}}});
        break;
    case Grid:
        addController(map, 1, {grid[0], grid[1]});
        break;
    case Extreme:
        // Positions not finite or as far apart as a double reaches; addresses and channel counts at
        // the ends of qint32 (channelCount 0 takes channelsPerNode); uni at the top of quint32; a
        // controller at infinity whose nodes all stay off the map.
        addController(map, 1,
                      {{{notANumber, 0, 1, false, 3, 0}, {infinity, 0, INT_MAX, false, INT_MAX, 0},
                        {0, -infinity, INT_MIN, true, -5, 0}},
                       {{-1e308, 0, 1, false, 0, 0}, {1e308, 1e308, 4, false, INT_MAX, 0},
                        {0, 0, 7, false, 0, 0}, {1e-300, 0, 10, false, 3, 0}}},
                      0xFFFFFFFFu);
        addController(map, 2, {grid[0]}, 0, infinity);
        break;
    }
}

LumoWiringOptions wiringWith(int universeSize, qint64 startUniverse = -1, int channelsPerNode = 3)
{
    LumoWiringOptions options;
    options.setUniverseSize(universeSize);
    options.setStartUniverse(startUniverse);
    options.setChannelsPerNode(channelsPerNode);
    return options;
}

// The universes and channels the page's data gives each node (decoded from their differences along
// each port), against the wiring's own.
void checkPageUniverses(const QByteArray &page, const LumoWiring &wiring)
{
    const QByteArray open = "id=\"lumomap-data\">";
    const qsizetype from = page.indexOf(open) + open.size();
    QJsonParseError error;
    const QJsonObject data =
        QJsonDocument::fromJson(page.mid(from, page.indexOf("</script>", from) - from), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    const QJsonArray universes = data.value(QLatin1String("u")).toArray();
    const QJsonArray channels = data.value(QLatin1String("c")).toArray();
    qsizetype index = 0;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            qint64 universe = 0, channel = 0;
            for (const LumoWiredNode &node : port.nodes) {
                universe += qint64(universes.at(index).toDouble());
                channel += qint64(channels.at(index++).toDouble());
                QCOMPARE(universe, node.universe);
                QCOMPARE(channel, qint64(node.channel));
            }
        }
    }
    QCOMPARE(index, qsizetype(universes.size()));
}

} // namespace

Q_DECLARE_METATYPE(LumoWiringOptions)

class TestRender : public QObject
{
    Q_OBJECT

private slots:
    void write_data();
    void write();
    void onlyInterface_data();
    void onlyInterface();
    void sheetPages_data();
    void sheetPages();
};

void TestRender::write_data()
{
    QTest::addColumn<QString>("format"); // png, svg, paint (onto an image), sheets or page
    QTest::addColumn<int>("map");
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<LumoWiringOptions>("wiring");
    QTest::addColumn<int>("paper");
    QTest::addColumn<bool>("overview");
    QTest::addColumn<bool>("written"); // the result; for paint, whether anything was painted

    const QRectF screen(0, 0, 640, 480);
    const auto row = [&](const char *name, const char *format, Map map, const QRectF &area, bool written,
                         const LumoWiringOptions &wiring = LumoWiringOptions(), int paper = QPageSize::A4,
                         bool overview = true) {
        QTest::newRow(name) << QString::fromLatin1(format) << int(map) << area << wiring << paper << overview
                            << written;
    };
    row("png 0 by 0", "png", OneNode, QRectF(0, 0, 0, 0), false);
    row("png negative size", "png", OneNode, QRectF(0, 0, -640, -480), false);
    row("png NaN width", "png", OneNode, QRectF(0, 0, notANumber, 480), false);
    row("png infinite height", "png", OneNode, QRectF(0, 0, 640, infinity), false);
    row("png 3e9 wide", "png", Grid, QRectF(0, 0, 3e9, 480), false);
    row("png far beyond a screen", "png", Grid, QRectF(0, 0, 40000, 30000), false);
    row("png under half a pixel wide", "png", OneNode, QRectF(0, 0, 0.4, 480), false);
    row("png 1 by 1", "png", OneNode, QRectF(0, 0, 1, 1), true);
    row("png larger than a screen", "png", Grid, QRectF(0, 0, 2500, 1500), true);
    row("png empty map", "png", Empty, screen, true);
    row("png universes of 0", "png", Grid, screen, true, wiringWith(0));
    row("png extreme map", "png", Extreme, screen, true, wiringWith(-5, LLONG_MAX, INT_MAX));
    row("svg 0 by 0", "svg", OneNode, QRectF(0, 0, 0, 0), false);
    row("svg NaN left", "svg", OneNode, QRectF(notANumber, 0, 640, 480), false);
    row("svg 3e9 wide", "svg", Grid, QRectF(0, 0, 3e9, 480), false);
    row("svg under a pixel", "svg", OneNode, QRectF(0, 0, 0.4, 0.4), true);
    row("svg empty map", "svg", Empty, screen, true);
    row("svg extreme map", "svg", Extreme, screen, true, wiringWith(1, LLONG_MAX));
    row("paint NaN area", "paint", Grid, QRectF(0, 0, notANumber, notANumber), false);
    row("paint negative area", "paint", Grid, QRectF(0, 0, -64, 64), false);
    row("paint one node", "paint", OneNode, QRectF(0, 0, 64, 64), true);
    row("paint extreme map", "paint", Extreme, QRectF(0, 0, 64, 64), true, wiringWith(512));
    row("sheets empty map", "sheets", Empty, {}, true);
    row("sheets empty map without overview", "sheets", Empty, {}, true, {}, QPageSize::A4, false);
    row("sheets custom paper", "sheets", Grid, {}, false, {}, QPageSize::Custom);
    row("sheets A0, extreme map", "sheets", Extreme, {}, true, wiringWith(0, LLONG_MAX, INT_MAX),
        QPageSize::A0);
    row("sheets universes of -5", "sheets", Grid, {}, true, wiringWith(-5), QPageSize::Letter, false);
    row("page universes of 0", "page", OneNode, {}, true, wiringWith(0));
    row("page universes of -5", "page", Grid, {}, true, wiringWith(-5));
    row("page universes of 1", "page", Grid, {}, true, wiringWith(1));
    row("page universes of 512", "page", Grid, {}, true, wiringWith(512));
    row("page start universe at the top of qint64", "page", Grid, {}, true, wiringWith(510, LLONG_MAX));
    row("page empty map", "page", Empty, {}, true);
    row("page extreme map", "page", Extreme, {}, true, wiringWith(0, -1, INT_MAX));
}

void TestRender::write()
{
    QFETCH(QString, format);
    QFETCH(int, map);
    QFETCH(QRectF, area);
    QFETCH(LumoWiringOptions, wiring);
    QFETCH(int, paper);
    QFETCH(bool, overview);
    QFETCH(bool, written);

    LumoMapModel model;
    build(model, Map(map));
    const LumoWiring wired(model, wiring);
    LumoMapPicture picture;
    picture.setArea(area);
    picture.setLabels(true);
    picture.setWiring(true);
    picture.setNumbers(LumoMapPicture::UniverseChannels);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool result = false;
    QByteArray start;
    if (format == QLatin1String("png")) {
        result = LumoMapPainter::writePng(buffer, model, wired, picture);
        start = "\x89PNG";
    } else if (format == QLatin1String("svg")) {
        result = LumoMapPainter::writeSvg(buffer, model, wired, picture);
        start = "<?xml";
    } else if (format == QLatin1String("paint")) {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        const QImage blank = image;
        QPainter painter(&image);
        LumoMapPainter::paint(painter, model, wired, picture);
        QCOMPARE(painter.pen(), QPen()); // the painter's state is restored
        painter.end();
        result = image != blank;
    } else if (format == QLatin1String("sheets")) {
        LumoWiringSheetsOptions options;
        options.setPageSize(QPageSize::PageSizeId(paper));
        options.setPicture(picture);
        options.setOverview(overview);
        result = LumoWiringSheets::write(buffer, model, wired, options);
        start = "%PDF";
    } else {
        LumoMapPageOptions options;
        options.setPicture(picture);
        result = LumoMapPage::write(buffer, model, wired, options);
        start = "<!DOCTYPE html>";
    }
    QCOMPARE(result, written);
    if (format == QLatin1String("paint"))
        return;
    // Nothing at all is written on failure; on success, a whole document of its kind.
    QCOMPARE(buffer.data().startsWith(start), written);
    QCOMPARE(buffer.data().isEmpty(), !written);
    if (!written)
        return;
    if (format == QLatin1String("png"))
        QCOMPARE(QImage::fromData(buffer.data(), "PNG").size(), area.size().toSize());
    if (format == QLatin1String("sheets"))
        QVERIFY(buffer.data().trimmed().endsWith("%%EOF") && buffer.data().contains("/Type /Page\n"));
    if (format == QLatin1String("page"))
        checkPageUniverses(buffer.data(), wired);
}

// A picture that draws one interface alone names it by uid, which stays right when keepOnly() drops
// interfaces before it: it must look as the whole picture of a wiring that holds that interface alone.
void TestRender::onlyInterface_data()
{
    QTest::addColumn<QList<quint32>>("kept");     // keepOnly() before painting; empty keeps all
    QTest::addColumn<qint64>("only");             // the uid drawn alone; -1 for none
    QTest::addColumn<QList<quint32>>("lookAlike"); // the interfaces of the wiring drawn whole alike

    QTest::newRow("second of two") << QList<quint32>{} << qint64(2) << QList<quint32>{2};
    QTest::newRow("second, after keepOnly") << QList<quint32>{2} << qint64(2) << QList<quint32>{2};
    QTest::newRow("one keepOnly left out") << QList<quint32>{1} << qint64(2) << QList<quint32>{99};
    QTest::newRow("selection cleared") << QList<quint32>{} << qint64(-1) << QList<quint32>{};
}

void TestRender::onlyInterface()
{
    QFETCH(QList<quint32>, kept);
    QFETCH(qint64, only);
    QFETCH(QList<quint32>, lookAlike);

    LumoMapModel model;
    build(model, Grid);
    addController(model, 2, {{{0, 0, 1, false, 3, 0}, {5, 5, 4, false, 3, 0}}}, 0, 40);
    const auto paint = [&model](const LumoWiring &wiring, const LumoMapPicture &picture) {
        QImage image(160, 120, QImage::Format_RGB32);
        QPainter painter(&image);
        LumoMapPainter::paint(painter, model, wiring, picture);
        return image;
    };
    LumoMapPicture picture;
    picture.setArea(QRectF(0, 0, 160, 120));
    picture.setLabels(true);
    picture.setWiring(true);
    picture.setOnlyInterfaceUid(1);
    if (only >= 0)
        picture.setOnlyInterfaceUid(quint32(only));
    else
        picture.clearOnlyInterface();
    LumoMapPicture whole = picture; // a copy: clearing its selection leaves the picture's as it is
    whole.clearOnlyInterface();

    LumoWiring wiring(model);
    wiring.keepOnly(kept);
    LumoWiring alike(model);
    alike.keepOnly(lookAlike);
    QCOMPARE(paint(wiring, picture), paint(alike, whole));
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"

// Sheets of more than one interface begin with portrait index pages (71 lines each on A4), then the
// overview and a page per interface with nodes, landscape for these wide drawings.
void TestRender::sheetPages_data()
{
    QTest::addColumn<int>("interfaces");
    QTest::addColumn<bool>("overview");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("portraitPages");
    QTest::newRow("one interface: no index") << 1 << true << 2 << 0;
    QTest::newRow("two interfaces: an index page") << 2 << true << 4 << 1;
    QTest::newRow("no overview, still an index") << 2 << false << 3 << 1;
    QTest::newRow("71 interfaces fill one index page") << 71 << true << 73 << 1;
    QTest::newRow("72 interfaces need two") << 72 << true << 75 << 2;
}

void TestRender::sheetPages()
{
    QFETCH(int, interfaces);
    QFETCH(bool, overview);
    QFETCH(int, pages);
    QFETCH(int, portraitPages);
    LumoMapModel model;
    model.regions.insert(0, new LumoRegion);
    // Side by side in a row, each a short port of nodes across: every drawing is landscape.
    for (int i = 0; i < interfaces; ++i)
        addController(model, quint32(i + 1), {{{0, 0, 1, false, 3, 0}, {40, 0, 4, false, 3, 0}}}, 0,
                      100.0 * i);
    const LumoWiring wired(model, wiringWith(512));
    LumoWiringSheetsOptions options;
    options.setOverview(overview);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(LumoWiringSheets::write(buffer, model, wired, options));
    QCOMPARE(int(buffer.data().count("/Type /Page\n")), pages);
    QCOMPARE(int(buffer.data().count("/MediaBox [0 0 595")), portraitPages);
}
