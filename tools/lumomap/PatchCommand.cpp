// lumomap patch MAP [-o OUT.csv|OUT.json] [--json] [--pixels] [--ports] [wiring options]: the patch list,
// one row per node in wiring order (LumoWiring), as CSV (RFC 4180, with a header row) or as a JSON array
// of objects; with --ports one row per port with nodes; with --pixels, per interface and port, the
// absolute node positions in wiring order as JSON.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoMapModel.h>
#include <LumoWiring.h>
#include <JsonTextWriter.h>
#include <RecordKeys.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// A real as the JSON form writes it: a number, or "inf", "-inf", "nan", which JSON numbers cannot carry.
QJsonValue real(double value)
{
    if (!std::isfinite(value))
        return QString(JsonTextWriter::nonFiniteName(value));
    return value;
}

// One value of a row: a text, a whole number, a real, a flag, or nothing (an address in no universe).
struct Cell
{
    enum Type
    {
        Null,
        Flag,
        Whole,
        Real,
        Text,
    };
    Cell(const QString &value) : type(Text), text(value) {}
    Cell(qint64 value) : type(Whole), whole(value) {}
    Cell(int value) : type(Whole), whole(value) {}
    Cell(bool value) : type(Flag), whole(value) {}
    static Cell real(double value)
    {
        if (!std::isfinite(value))
            return Cell(QString(JsonTextWriter::nonFiniteName(value)));
        Cell cell(qint64(0));
        cell.type = Real;
        cell.number = value;
        return cell;
    }
    // A universe or a channel within it, or nothing for an address that lies in no universe.
    static Cell placed(qint64 value, qint64 universe) { return universe < 0 ? Cell() : Cell(value); }

    Type type = Null;
    qint64 whole = 0;
    double number = 0;
    QString text;

private:
    Cell() = default;
};

// Writes a table's rows as they are produced: CSV (RFC 4180, with a header row) or JSON, an array of one
// object per row in the layout of QJsonDocument's indented text (keys in byte order).
class RowWriter
{
public:
    RowWriter(QIODevice &device, bool json, const QStringList &columns)
        : m_device(device), m_json(json ? new JsonTextWriter(&device) : nullptr), m_columns(columns)
    {
        for (int i = 0; i < columns.size(); ++i)
            m_order.append(i);
        std::sort(m_order.begin(), m_order.end(), [&](int left, int right) { return columns[left] < columns[right]; });
        if (m_json)
            m_json->beginArray();
        else
            m_csv += columns.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    ~RowWriter() { delete m_json; }

    void row(std::initializer_list<Cell> cells)
    {
        const Cell *values = cells.begin();
        if (m_json) {
            m_json->beginObject();
            for (const int i : std::as_const(m_order)) {
                m_json->key(m_columns.at(i));
                writeJson(values[i]);
            }
            m_json->endObject();
            return;
        }
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i)
                m_csv += ',';
            writeCsv(values[i]);
        }
        m_csv += "\r\n";
        if (m_csv.size() >= 64 * 1024)
            flush();
    }

    bool finish()
    {
        if (m_json) {
            m_json->endArray();
            return m_json->finish();
        }
        flush();
        return !m_failed;
    }

private:
    void writeJson(const Cell &cell)
    {
        switch (cell.type) {
        case Cell::Null:
            m_json->null();
            break;
        case Cell::Flag:
            m_json->boolean(cell.whole != 0);
            break;
        case Cell::Whole:
            m_json->integer(cell.whole);
            break;
        case Cell::Real:
            m_json->real(cell.number);
            break;
        case Cell::Text:
            m_json->string(cell.text);
            break;
        }
    }

    // A CSV field: numbers as Tool::formatReal writes them, flags as 1 and 0, nothing as an empty field;
    // quoted when it holds a comma, a quote or a line break, with quotes doubled inside.
    void writeCsv(const Cell &cell)
    {
        switch (cell.type) {
        case Cell::Null:
            return;
        case Cell::Flag:
            m_csv += cell.whole ? '1' : '0';
            return;
        case Cell::Whole:
            if (cell.whole > -1000000000000 && cell.whole < 1000000000000) { // twelve digits: as formatReal
                char digits[24];
                m_csv.append(digits, int(std::to_chars(digits, digits + sizeof digits, cell.whole).ptr - digits));
            } else {
                m_csv += Tool::formatReal(double(cell.whole)).toUtf8();
            }
            return;
        case Cell::Real:
            m_csv += Tool::formatReal(cell.number).toUtf8();
            return;
        case Cell::Text:
            break;
        }
        const QString &text = cell.text;
        if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
            !text.contains(QLatin1Char('\r'))) {
            m_csv += text.toUtf8();
            return;
        }
        QString quoted = text;
        m_csv += '"' + quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"")).toUtf8() + '"';
    }

    void flush()
    {
        m_failed = m_failed || m_device.write(m_csv) != m_csv.size();
        m_csv.clear();
    }

    QIODevice &m_device;
    JsonTextWriter *m_json;
    const QStringList m_columns;
    QList<int> m_order; // the columns in byte order of their names, as a JSON object holds them
    QByteArray m_csv;
    bool m_failed = false;
};

const QStringList nodeColumns{QStringLiteral("interface"), QStringLiteral("uid"), QStringLiteral("ip"),
                              QStringLiteral("uni"), QStringLiteral("port"), QStringLiteral("portnum"),
                              QStringLiteral("fixture"), QStringLiteral("baseaddr"), QStringLiteral("node"),
                              QStringLiteral("addr"), QStringLiteral("address"), QStringLiteral("channels"),
                              QStringLiteral("counted_channels"), QStringLiteral("universe"),
                              QStringLiteral("channel"), QStringLiteral("skip"), QStringLiteral("x"),
                              QStringLiteral("y")};

void nodeRows(const LumoWiring &wiring, RowWriter &out)
{
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        const LumoInterface &record = *interface.record;
        const QString uid = RecordKeys::hexKey(interface.uid);
        for (const LumoWiredPort &port : interface.ports) {
            for (const LumoWiredNode &node : port.nodes)
                out.row({record.name, uid, record.ip, qint64(record.uni), port.port, int(port.portnum),
                         node.fixture->name, node.fixture->baseaddr, node.chainNumber, node.node->addr,
                         qint64(node.address), node.node->channelCount, qint64(node.channels),
                         Cell::placed(node.universe, node.universe), Cell::placed(node.channel, node.universe),
                         node.node->skipnode, Cell::real(node.position.x()), Cell::real(node.position.y())});
        }
    }
}

const QStringList portColumns{QStringLiteral("interface"), QStringLiteral("uid"), QStringLiteral("ip"),
                              QStringLiteral("port"), QStringLiteral("portnum"), QStringLiteral("fixtures"),
                              QStringLiteral("pixels"), QStringLiteral("skipped"), QStringLiteral("channels"),
                              QStringLiteral("first_universe"), QStringLiteral("first_channel"),
                              QStringLiteral("last_universe"), QStringLiteral("last_channel"),
                              QStringLiteral("milliamps")};

void portRows(const LumoWiring &wiring, RowWriter &out)
{
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoWiredPort &port : interface.ports) {
            if (port.nodes.isEmpty())
                continue;
            out.row({interface.record->name, RecordKeys::hexKey(interface.uid), interface.record->ip, port.port,
                     int(port.portnum), qint64(port.fixtureCount), qint64(port.nodes.size()),
                     qint64(port.skippedCount), qint64(port.channelSpan()),
                     Cell::placed(port.firstUniverse, port.firstUniverse),
                     Cell::placed(port.firstChannel, port.firstUniverse),
                     Cell::placed(port.lastUniverse, port.lastUniverse),
                     Cell::placed(port.lastChannel, port.lastUniverse), qint64(port.milliamps)});
        }
    }
}

QByteArray pixelLists(const LumoMapModel &model, const LumoWiring &wiring)
{
    QJsonArray interfaces;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        QJsonArray ports;
        for (const LumoWiredPort &port : interface.ports) {
            QJsonArray pixels;
            QJsonArray universes;
            QJsonArray skipped;
            for (const LumoWiredNode &node : port.nodes) {
                pixels.append(QJsonArray{real(node.position.x()), real(node.position.y())});
                universes.append(node.universe < 0 ? QJsonValue(QJsonValue::Null)
                                                   : QJsonValue(QJsonArray{node.universe, node.channel}));
                if (node.node->skipnode)
                    skipped.append(node.chainNumber);
            }
            ports.append(QJsonObject{{QStringLiteral("port"), port.port},
                                     {QStringLiteral("portnum"), port.portnum},
                                     {QStringLiteral("pixels"), pixels},
                                     {QStringLiteral("universes"), universes},
                                     {QStringLiteral("skipped"), skipped}});
        }
        interfaces.append(QJsonObject{{QStringLiteral("uid"), RecordKeys::hexKey(interface.uid)},
                                      {QStringLiteral("name"), interface.record->name},
                                      {QStringLiteral("ip"), interface.record->ip},
                                      {QStringLiteral("uni"), qint64(interface.record->uni)},
                                      {QStringLiteral("ports"), ports}});
    }
    const QJsonObject root{{QStringLiteral("map"), model.mapname}, {QStringLiteral("interfaces"), interfaces}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

int runPatchCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the patch list of a map: one row per node in wiring order (see 'Wiring order' in the\n"
        "README) with the columns\n"
        "  interface, uid, ip, uni      the interface: name, uid (hexadecimal), IP address and uni\n"
        "  port, portnum                the port's place on the controller (from 1) and its stored portnum\n"
        "  fixture, baseaddr            the fixture's name and base address\n"
        "  node                         the node's number along the port's chain, from 1\n"
        "  addr, address                the node's addr and its channel address within the port\n"
        "  channels, counted_channels   its channelCount, and the channels it is counted as occupying\n"
        "                               (--channels-per-node where channelCount is 0)\n"
        "  universe, channel            the universe of its first channel and that channel within it\n"
        "  skip                         1 for a skipped node\n"
        "  x, y                         the node's absolute position\n"
        "as CSV (RFC 4180, with a header row) or as a JSON array of objects. With --ports it writes one\n"
        "row per port with nodes instead: interface, uid, ip, port, portnum, fixtures, pixels, skipped,\n"
        "channels, first_universe, first_channel, last_universe, last_channel and milliamps. With\n"
        "--pixels it writes, per interface and port, the absolute positions of the nodes in wiring order\n"
        "as JSON ([[x, y], ...], skipped nodes included and listed by number, with each node's\n"
        "[universe, channel]), the form LED controllers import.\n"
        "Writes to standard output unless -o is given; never over the map it reads."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file, legacy map or JSON form"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("File to write: .json gives JSON, .csv CSV."),
                                          QStringLiteral("OUT"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Write JSON instead of CSV."));
    const QCommandLineOption portsOption(QStringLiteral("ports"), QStringLiteral("Write one row per port with nodes."));
    const QCommandLineOption pixelsOption(QStringLiteral("pixels"),
                                          QStringLiteral("Write the node positions per interface and port."));
    const QCommandLineOption milliampsOption(QStringLiteral("milliamps-per-pixel"),
                                             QStringLiteral("The current of one pixel, for --ports (default 60)."),
                                             QStringLiteral("MA"), QStringLiteral("60"));
    parser.addOptions({outputOption, jsonOption, portsOption, pixelsOption, milliampsOption});
    Tool::WiringOptions wiringOptions;
    wiringOptions.add(parser, true);
    qint64 milliamps = 0;
    if (!Tool::parseCommandLine(parser, arguments, 1) || !wiringOptions.read(parser) ||
        !Tool::integerOption(parser, milliampsOption, 0, 100000, milliamps))
        return Tool::FileError;
    wiringOptions.wiring.milliampsPerPixel = int(milliamps);
    const QString mapPath = parser.positionalArguments().constFirst();
    const QString outPath = parser.value(outputOption);
    const QStringList formats = parser.isSet(pixelsOption) ? QStringList{QStringLiteral("json")}
                                                           : QStringList{QStringLiteral("csv"), QStringLiteral("json")};
    if (!outPath.isEmpty() && !Tool::acceptOutputPath(outPath, {mapPath}, formats))
        return Tool::FileError;

    LumoMapModel model;
    if (!Tool::loadAnyMap(model, mapPath))
        return Tool::FileError;
    LumoWiring wiring(model, wiringOptions.wiring);
    if (!wiringOptions.filter(wiring))
        return Tool::FileError;
    Tool::reportUnplacedFixtures(wiring);
    const bool json = parser.isSet(jsonOption) || outPath.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
    if (parser.isSet(pixelsOption))
        return Tool::writeOutput(outPath, pixelLists(model, wiring)) ? Tool::Success : Tool::FileError;
    const bool ports = parser.isSet(portsOption);
    const bool written = Tool::writeOutput(outPath, [&](QIODevice &device) {
        RowWriter out(device, json, ports ? portColumns : nodeColumns);
        if (ports)
            portRows(wiring, out);
        else
            nodeRows(wiring, out);
        return out.finish();
    });
    return written ? Tool::Success : Tool::FileError;
}
