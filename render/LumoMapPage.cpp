#include "LumoMapPage.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoMapModel.h"
#include "LumoWiring.h"
#include "RecordKeys.h"
#include "RenderSupport_p.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>

// The page is the template render/page/map-page.html with the style, the script (its parts joined)
// and the map's data put in at their markers. The data is one JSON object of flat arrays, small enough for
// maps of a hundred thousand nodes and more:
//   q, ox, oy        a position is (ox + q * X, oy + q * Y) with whole numbers X and Y;
//   x, y             X and Y of every node in wiring order (interface, port, chain), each as the
//                    difference from the node before;
//   a, u, c          every node's channel address, universe (-1 for "in no universe") and channel
//                    within it, each as the difference from the node before on its port (the first
//                    node of a port: the value itself), as LumoWiring counted them;
//   n                every node's channel count, coded the same way;
//   usize            the universe size the wiring counted with, for the channels of a node that
//                    crosses into the next universe;
//   skip, away       the indexes of skipped nodes, and of nodes without a finite position;
//   ifs              per interface: uid, name, ip, uni, colour index, port count;
//   ports            per port, 11 numbers: label, portnum, fixtures, pixels, skipped, channels, first
//                    universe, first channel, last universe, last channel, milliamps;
//   fx               per fixture placing nodes, in wiring order: name index into `names`, its nodes;
//   names            the fixtures' names;
//   spacing, startSpacing  the typical distance between neighbouring nodes and between first nodes,
//                    which size the marks as LumoMapPainter sizes them.
// The page counts the chain numbers itself; universes and channels it takes from the wiring alone, so
// that the universe arithmetic lives in LumoWiring only.

namespace {

QByteArray jsonString(const QString &text)
{
    // A one-element array is the shortest thing QJsonDocument writes a string in.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Whole numbers as a JSON array, written directly: QJsonArray would hold a value per number.
class NumberList
{
public:
    void add(qint64 value)
    {
        if (!text.isEmpty())
            text += ',';
        text += QByteArray::number(value);
    }
    QByteArray json() const { return '[' + text + ']'; }

private:
    QByteArray text;
};

// The grid positions are snapped to: a power of ten, fine enough for a millionth of the map's size
// and for a hundredth of the typical spacing of its nodes, but never finer than a 10^15th of the
// map's size, so that every position is a whole number a double (and the page's script) holds
// exactly. The sides are taken in halves, which a double holds even for a map from -1e308 to 1e308.
double quantum(const LumoExtent &extent, double spacing)
{
    const double halfSize = std::max(extent.maxX / 2 - extent.minX / 2, extent.maxY / 2 - extent.minY / 2);
    if (extent.empty || !(halfSize > 0))
        return 1.0;
    double step = std::pow(10.0, std::ceil(std::log10(halfSize / 5e5)));
    if (spacing > 0)
        step = std::min(step, std::pow(10.0, std::floor(std::log10(spacing / 100))));
    step = std::max(step, std::pow(10.0, std::ceil(std::log10(halfSize / 5e14))));
    return std::isfinite(step) && step > 0 ? step : 1.0;
}

// The whole number of quanta `q` from `origin` to `value`, all finite; the difference is taken in
// halves where it would not fit a double.
qint64 quantaFrom(double origin, double value, double q)
{
    double quanta = (value - origin) / q;
    if (!std::isfinite(quanta))
        quanta = (value / 2 - origin / 2) / q * 2;
    return std::llround(quanta);
}

// Interface outlines help only while the interfaces' boxes do not cover the map more than twice
// over, as in LumoMapPainter.
bool outlinesHelp(const LumoWiring &wiring)
{
    double boxes = 0.0;
    for (const LumoWiredInterface &interface : wiring.interfaces)
        boxes += interface.extent.width() * interface.extent.height();
    return wiring.interfaces.size() < 2 || boxes <= 2 * wiring.extent.width() * wiring.extent.height();
}

QByteArray pageData(const LumoMapModel &model, const LumoWiring &wiring, const LumoMapPageOptions &options)
{
    QList<QPointF> points;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            for (const LumoWiredNode &node : port.nodes) {
                if (RenderSupport::drawable(node.position))
                    points.append(node.position);
            }
        }
    }
    const double spacing = RenderSupport::typicalSpacing(points, wiring.extent);
    QList<QPointF> starts; // first nodes, whose squares shrink where chains start close together
    LumoExtent startExtent;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            if (!port.nodes.isEmpty() && RenderSupport::drawable(port.nodes.constFirst().position)) {
                starts.append(port.nodes.constFirst().position);
                startExtent.include(starts.constLast());
            }
        }
    }
    const double q = quantum(wiring.extent, spacing);
    const double ox = wiring.extent.empty ? 0.0 : std::floor(wiring.extent.minX / q) * q;
    const double oy = wiring.extent.empty ? 0.0 : std::floor(wiring.extent.minY / q) * q;

    NumberList xs, ys, addresses, universes, channels, channelCounts, skipped, away, ports, fixtures;
    QJsonArray names, interfaces, colors;
    // Not a QHash: an insertion into one that runs out of memory ends the process (Qt 6.4 declares
    // it noexcept), where std::map throws std::bad_alloc, which write() catches.
    std::map<QRgb, int> colorIndex;
    qint64 lastX = 0, lastY = 0;
    int index = 0;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        const QRgb rgb = RenderSupport::regionColor(model, interface.record->region).rgb();
        const auto color = colorIndex.emplace(rgb, int(colors.size()));
        if (color.second)
            colors.append(QColor(rgb).name());
        interfaces.append(QJsonArray{RecordKeys::hexKey(interface.uid), interface.record->name,
                                     interface.record->ip, qint64(interface.record->uni), color.first->second,
                                     int(interface.ports.size())});
        for (const LumoWiredPort &port : interface.ports) {
            qint64 lastAddress = 0, lastUniverse = 0, lastChannel = 0, lastCount = 0;
            const LumoFixture *fixture = nullptr;
            int fixtureNodes = 0;
            for (const LumoWiredNode &node : port.nodes) {
                // Addresses lie within +-2^33 and universes from -1 to 2^62 + 2^33 (LumoWiring), so
                // no difference overflows.
                addresses.add(node.address - lastAddress);
                universes.add(node.universe - lastUniverse);
                channels.add(node.channel - lastChannel);
                channelCounts.add(node.channels - lastCount);
                lastAddress = node.address;
                lastUniverse = node.universe;
                lastChannel = node.channel;
                lastCount = node.channels;
                if (node.node->skipnode)
                    skipped.add(index);
                qint64 x = lastX, y = lastY;
                if (RenderSupport::drawable(node.position)) {
                    x = quantaFrom(ox, node.position.x(), q);
                    y = quantaFrom(oy, node.position.y(), q);
                } else {
                    away.add(index);
                }
                xs.add(x - lastX);
                ys.add(y - lastY);
                lastX = x;
                lastY = y;
                if (node.fixture != fixture) {
                    if (fixture)
                        fixtures.add(fixtureNodes);
                    fixture = node.fixture;
                    fixtureNodes = 0;
                    fixtures.add(names.size());
                    names.append(fixture->name);
                }
                ++fixtureNodes;
                ++index;
            }
            if (fixture)
                fixtures.add(fixtureNodes);
            for (qint64 value : {qint64(port.port), qint64(port.portnum), qint64(port.fixtureCount),
                                 qint64(port.nodes.size()), qint64(port.skippedCount), port.channelSpan(),
                                 port.firstUniverse, qint64(port.firstChannel), port.lastUniverse,
                                 qint64(port.lastChannel), port.milliamps})
                ports.add(value);
        }
    }

    const auto number = [](double value) { return QByteArray::number(value, 'g', 15); };
    const QByteArray title = model.mapname.isEmpty() ? QByteArray("\"Unnamed map\"") : jsonString(model.mapname);
    QByteArray data;
    data += "{\"title\":" + title;
    data += ",\"file\":" + jsonString(options.fileName());
    data += ",\"saved\":" + jsonString(options.savedTime());
    data += ",\"wiring\":" + QByteArray(options.picture().wiring() ? "true" : "false");
    data += ",\"labels\":" + QByteArray(options.picture().labels() ? "true" : "false");
    data += ",\"numbers\":" + QByteArray::number(int(options.picture().numbers()));
    data += ",\"outlines\":" + QByteArray(outlinesHelp(wiring) ? "true" : "false");
    data += ",\"spacing\":" + number(spacing);
    data += ",\"startSpacing\":" + number(RenderSupport::typicalSpacing(starts, startExtent));
    data += ",\"q\":" + number(q) + ",\"ox\":" + number(ox) + ",\"oy\":" + number(oy);
    data += ",\"colors\":" + QJsonDocument(colors).toJson(QJsonDocument::Compact);
    data += ",\"ifs\":" + QJsonDocument(interfaces).toJson(QJsonDocument::Compact);
    data += ",\"ports\":" + ports.json();
    data += ",\"fx\":" + fixtures.json();
    data += ",\"names\":" + QJsonDocument(names).toJson(QJsonDocument::Compact);
    data += ",\"x\":" + xs.json() + ",\"y\":" + ys.json() + ",\"a\":" + addresses.json();
    data += ",\"u\":" + universes.json() + ",\"c\":" + channels.json() + ",\"n\":" + channelCounts.json();
    data += ",\"usize\":" + QByteArray::number(wiring.options.universeSize());
    data += ",\"skip\":" + skipped.json() + ",\"away\":" + away.json() + '}';
    // Inside a script element only "</script" and "<!--" could end or confuse it; '<' can only stand
    // in a string here, where \u003c means the same.
    data.replace('<', "\\u003c");
    return data;
}

QByteArray resource(const char *name)
{
    QFile file(QStringLiteral(":/lumomap/page/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The page's script: the files of render/page/script/ (listed in map-page.qrc), joined in the order
// of their numbers, in which they build on each other: helpers, the map's data, the map object, the
// layers that draw, the gesture handlers, the panel, search, controls, print, the automation API and
// the first drawing. They share one function scope, so that the page stays one script with nothing
// global but window.lumomap.
QByteArray pageScript()
{
    const QDir parts(QStringLiteral(":/lumomap/page/script"));
    const QStringList names = parts.entryList(QDir::Files, QDir::Name);
    if (names.isEmpty())
        return QByteArray();
    QByteArray script = "'use strict';\n(() => {\n";
    for (const QString &name : names) {
        const QByteArray text = resource((QStringLiteral("script/") + name).toUtf8().constData());
        if (text.isEmpty())
            return QByteArray();
        script += text;
    }
    return script + "})();\n";
}

QByteArray escapedHtml(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

bool writePage(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
               const LumoMapPageOptions &options)
{
    QByteArray page = resource("map-page.html");
    const QByteArray style = resource("map-page.css");
    const QByteArray script = pageScript();
    if (page.isEmpty() || style.isEmpty() || script.isEmpty())
        return false;
    const QString name = model.mapname.isEmpty() ? QStringLiteral("Unnamed map") : model.mapname;
    // Every marker is found in the template before anything is put in, and the texts go in from the
    // last marker to the first, so that no marker is looked for inside a text put in before.
    QList<QPair<int, QPair<QByteArray, QByteArray>>> parts;
    for (const auto &part : {qMakePair(QByteArray("@TITLE@"), escapedHtml(name)),
                             qMakePair(QByteArray("/*@STYLE@*/"), style),
                             qMakePair(QByteArray("/*@DATA@*/"), pageData(model, wiring, options)),
                             qMakePair(QByteArray("/*@SCRIPT@*/"), script)}) {
        const int at = int(page.indexOf(part.first));
        if (at < 0)
            return false;
        parts.append(qMakePair(at, part));
    }
    std::sort(parts.begin(), parts.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (const auto &part : std::as_const(parts))
        page.replace(part.first, int(part.second.first.size()), part.second.second);
    return device.write(page) == page.size();
}

} // namespace

bool LumoMapPage::write(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                        const LumoMapPageOptions &options)
{
    try {
        return writePage(device, model, wiring, options);
    } catch (const std::exception &) {
        return false;
    }
}
