#include "LumoPatchList.h"

#include "JsonTextWriter.h"
#include "RecordKeys.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoWiring.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

namespace {

// Text for a real: up to 12 significant digits, no trailing zeros.
QByteArray realText(double value)
{
    return QString::number(value, 'g', 12).toUtf8();
}

// The text of a real that JSON numbers cannot carry: "inf", "-inf" or "nan", as the JSON form writes it.
QString nonFiniteText(double value)
{
    return JsonTextWriter::nonFiniteName(value);
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
            return Cell(nonFiniteText(value));
        Cell cell(qint64(0));
        cell.type = Real;
        cell.number = value;
        return cell;
    }
    // A universe or a channel within it, or nothing for an address that lies in no universe.
    static Cell placed(qint64 value, qint64 universe) { return universe < 0 ? Cell() : Cell(value); }

    QVariant toVariant() const
    {
        switch (type) {
        case Null:
            break;
        case Flag:
            return QVariant(whole != 0);
        case Whole:
            return QVariant(whole);
        case Real:
            return QVariant(number);
        case Text:
            return QVariant(text);
        }
        return QVariant();
    }

    Type type = Null;
    qint64 whole = 0;
    double number = 0;
    QString text;

private:
    Cell() = default;
};

using Row = std::initializer_list<Cell>;

// Passes every row of the list to `sink.row()`.
template <typename Sink> void produceRows(const LumoWiring &wiring, LumoPatchList::Rows rows, Sink &sink)
{
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        const LumoInterface &record = *interface.record;
        const QString uid = RecordKeys::hexKey(interface.uid);
        for (const LumoWiredPort &port : interface.ports) {
            if (rows == LumoPatchList::PortRows) {
                if (!port.nodes.isEmpty())
                    sink.row({record.name, uid, record.ip, port.port, int(port.portnum), qint64(port.fixtureCount),
                              qint64(port.nodes.size()), qint64(port.skippedCount), qint64(port.channelSpan()),
                              Cell::placed(port.firstUniverse, port.firstUniverse),
                              Cell::placed(port.firstChannel, port.firstUniverse),
                              Cell::placed(port.lastUniverse, port.lastUniverse),
                              Cell::placed(port.lastChannel, port.lastUniverse), qint64(port.milliamps)});
                continue;
            }
            for (const LumoWiredNode &node : port.nodes)
                sink.row({record.name, uid, record.ip, qint64(record.uni), port.port, int(port.portnum),
                          node.fixture->name, node.fixture->baseaddr, node.chainNumber, node.node->addr,
                          qint64(node.address), node.node->channelCount, qint64(node.channels),
                          Cell::placed(node.universe, node.universe), Cell::placed(node.channel, node.universe),
                          node.node->skipnode, Cell::real(node.position.x()), Cell::real(node.position.y())});
        }
    }
}

// Collects the rows as values.
struct VariantRows
{
    void row(Row cells)
    {
        QVariantList values;
        values.reserve(int(cells.size()));
        for (const Cell &cell : cells)
            values.append(cell.toVariant());
        rows.append(values);
    }
    QList<QVariantList> rows;
};

// Writes the rows as CSV, in blocks of 64 KiB.
class CsvRows
{
public:
    CsvRows(QIODevice &device, const QStringList &columns) : m_device(device)
    {
        m_csv += columns.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    void row(Row cells)
    {
        bool first = true;
        for (const Cell &cell : cells) {
            if (!first)
                m_csv += ',';
            first = false;
            write(cell);
        }
        m_csv += "\r\n";
        if (m_csv.size() >= 64 * 1024)
            flush();
    }
    bool finish()
    {
        flush();
        return !m_failed;
    }

private:
    // A field: whole numbers of up to twelve digits as they are, larger ones and reals as realText(); flags
    // as 1 and 0, nothing as an empty field; a text quoted when it holds a comma, a quote or a line break,
    // with quotes doubled inside.
    void write(const Cell &cell)
    {
        switch (cell.type) {
        case Cell::Null:
            return;
        case Cell::Flag:
            m_csv += cell.whole ? '1' : '0';
            return;
        case Cell::Whole:
            if (cell.whole > -1000000000000 && cell.whole < 1000000000000) {
                char digits[24];
                m_csv.append(digits, int(std::to_chars(digits, digits + sizeof digits, cell.whole).ptr - digits));
            } else {
                m_csv += realText(double(cell.whole));
            }
            return;
        case Cell::Real:
            m_csv += realText(cell.number);
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
    QByteArray m_csv;
    bool m_failed = false;
};

// Writes the rows as a JSON array of objects, the members of each in byte order of the column names.
class JsonRows
{
public:
    JsonRows(QIODevice &device, const QStringList &columns) : m_json(&device), m_columns(columns)
    {
        for (int i = 0; i < columns.size(); ++i)
            m_order.append(i);
        std::sort(m_order.begin(), m_order.end(), [&](int left, int right) { return columns[left] < columns[right]; });
        m_json.beginArray();
    }
    void row(Row cells)
    {
        const Cell *values = cells.begin();
        m_json.beginObject();
        for (const int i : std::as_const(m_order)) {
            m_json.key(m_columns.at(i));
            write(values[i]);
        }
        m_json.endObject();
    }
    bool finish()
    {
        m_json.endArray();
        return m_json.finish();
    }

private:
    void write(const Cell &cell)
    {
        switch (cell.type) {
        case Cell::Null:
            m_json.null();
            break;
        case Cell::Flag:
            m_json.boolean(cell.whole != 0);
            break;
        case Cell::Whole:
            m_json.integer(cell.whole);
            break;
        case Cell::Real:
            m_json.real(cell.number);
            break;
        case Cell::Text:
            m_json.string(cell.text);
            break;
        }
    }

    JsonTextWriter m_json;
    const QStringList m_columns;
    QList<int> m_order;
};

template <typename Writer> bool writeRows(QIODevice &device, const LumoWiring &wiring, LumoPatchList::Rows rows)
{
    try {
        Writer writer(device, LumoPatchList::columns(rows));
        produceRows(wiring, rows, writer);
        return writer.finish();
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// A real in the pixel lists: a number, or the text of one JSON numbers cannot carry.
QJsonValue jsonReal(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(nonFiniteText(value));
}

} // namespace

QStringList LumoPatchList::columns(Rows rows)
{
    if (rows == PortRows)
        return {QStringLiteral("interface"),      QStringLiteral("uid"),           QStringLiteral("ip"),
                QStringLiteral("port"),           QStringLiteral("portnum"),       QStringLiteral("fixtures"),
                QStringLiteral("pixels"),         QStringLiteral("skipped"),       QStringLiteral("channels"),
                QStringLiteral("first_universe"), QStringLiteral("first_channel"), QStringLiteral("last_universe"),
                QStringLiteral("last_channel"),   QStringLiteral("milliamps")};
    return {QStringLiteral("interface"), QStringLiteral("uid"),      QStringLiteral("ip"),
            QStringLiteral("uni"),       QStringLiteral("port"),     QStringLiteral("portnum"),
            QStringLiteral("fixture"),   QStringLiteral("baseaddr"), QStringLiteral("node"),
            QStringLiteral("addr"),      QStringLiteral("address"),  QStringLiteral("channels"),
            QStringLiteral("counted_channels"), QStringLiteral("universe"), QStringLiteral("channel"),
            QStringLiteral("skip"),      QStringLiteral("x"),        QStringLiteral("y")};
}

QList<QVariantList> LumoPatchList::rows(const LumoWiring &wiring, Rows rows)
{
    try {
        VariantRows values;
        produceRows(wiring, rows, values);
        return values.rows;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

bool LumoPatchList::writeCsv(QIODevice &device, const LumoWiring &wiring, Rows rows)
{
    return writeRows<CsvRows>(device, wiring, rows);
}

bool LumoPatchList::writeJson(QIODevice &device, const LumoWiring &wiring, Rows rows)
{
    return writeRows<JsonRows>(device, wiring, rows);
}

QByteArray LumoPatchList::pixelsJson(const QString &mapName, const LumoWiring &wiring)
{
    try {
        QJsonArray interfaces;
        for (const LumoWiredInterface &interface : wiring.interfaces) {
            QJsonArray ports;
            for (const LumoWiredPort &port : interface.ports) {
                QJsonArray pixels;
                QJsonArray universes;
                QJsonArray skipped;
                for (const LumoWiredNode &node : port.nodes) {
                    pixels.append(QJsonArray{jsonReal(node.position.x()), jsonReal(node.position.y())});
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
        const QJsonObject root{{QStringLiteral("map"), mapName}, {QStringLiteral("interfaces"), interfaces}};
        return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
    } catch (const std::bad_alloc &) {
        return QByteArray();
    }
}
