#include "MapTextWriter.h"

#include "MapElementNames.h"
#include "MapValueFormat.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QDateTime>
#include <QTextStream>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

namespace MapTextWriter {

namespace {

namespace Format = MapValueFormat;

// Appends `text` escaped as the DOM serialiser escapes the text of an element.
void appendEscapedText(QString &out, const QString &text)
{
    const QChar *chars = text.constData();
    const qsizetype size = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const ushort c = chars[i].unicode();
        if (c > '>') // every character that needs escaping sorts at or below '>'
            continue;
        QLatin1String replacement;
        if (c == '&')
            replacement = QLatin1String("&amp;");
        else if (c == '<')
            replacement = QLatin1String("&lt;");
        else if (c == '>' && i >= 2 && chars[i - 1] == QLatin1Char(']') && chars[i - 2] == QLatin1Char(']'))
            replacement = QLatin1String("&gt;");
        else if (c == '\r')
            replacement = QLatin1String("&#xd;");
        else
            continue;
        out.append(chars + runStart, i - runStart);
        out.append(replacement);
        runStart = i + 1;
    }
    out.append(chars + runStart, size - runStart);
}

// Sets the stream up for the write and restores the caller's settings when it goes out of scope.
class StreamSettings
{
public:
    explicit StreamSettings(QTextStream &stream) : m_stream(stream), m_fieldWidth(stream.fieldWidth())
    {
        m_stream.setFieldWidth(0);
        if (!m_stream.device())
            return;
            // A file without an XML declaration is read as UTF-8, so the bytes have to be UTF-8.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        m_codec = m_stream.codec();
        m_stream.setCodec("UTF-8");
#else
        m_encoding = m_stream.encoding();
        m_stream.setEncoding(QStringConverter::Utf8);
#endif
    }

    ~StreamSettings()
    {
        m_stream.flush();
        if (m_stream.device()) {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
            if (m_codec)
                m_stream.setCodec(m_codec);
#else
            m_stream.setEncoding(m_encoding);
#endif
        }
        m_stream.setFieldWidth(m_fieldWidth);
    }

    StreamSettings(const StreamSettings &) = delete;
    StreamSettings &operator=(const StreamSettings &) = delete;

private:
    QTextStream &m_stream;
    int m_fieldWidth;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec *m_codec = nullptr;
#else
    QStringConverter::Encoding m_encoding = QStringConverter::Utf8;
#endif
};

// Writes elements in the layout of QDomDocument::toString(1), collecting the text in a chunk that
// is handed to the stream whenever it has grown past ChunkSize characters.
class ElementWriter
{
public:
    explicit ElementWriter(QTextStream &stream) : m_stream(stream) { m_chunk.reserve(ChunkSize + 1024); }

    void open(QLatin1String name)
    {
        indent();
        m_chunk += QLatin1Char('<');
        m_chunk += name;
        m_chunk += QLatin1String(">\n");
        ++m_depth;
    }

    void close(QLatin1String name)
    {
        --m_depth;
        indent();
        m_chunk += QLatin1String("</");
        m_chunk += name;
        m_chunk += QLatin1String(">\n");
        handOverIfFull();
    }

    void empty(QLatin1String name)
    {
        indent();
        m_chunk += QLatin1Char('<');
        m_chunk += name;
        m_chunk += QLatin1String("/>\n");
    }

    void leaf(QLatin1String name, const QString &text)
    {
        indent();
        m_chunk += QLatin1Char('<');
        m_chunk += name;
        m_chunk += QLatin1Char('>');
        appendEscapedText(m_chunk, text);
        m_chunk += QLatin1String("</");
        m_chunk += name;
        m_chunk += QLatin1String(">\n");
    }

    void finish()
    {
        if (!m_chunk.isEmpty())
            m_stream << m_chunk;
        m_chunk.clear();
    }

private:
    static constexpr int ChunkSize = 32 * 1024;

    void indent()
    {
        static const char spaces[] = "                ";
        int remaining = m_depth;
        while (remaining > 0) {
            const int step = qMin(remaining, int(sizeof(spaces) - 1));
            m_chunk += QLatin1String(spaces, step);
            remaining -= step;
        }
    }

    void handOverIfFull()
    {
        if (m_chunk.size() < ChunkSize)
            return;
        m_stream << m_chunk;
        m_chunk.clear();
        m_chunk.reserve(ChunkSize + 1024);
    }

    QTextStream &m_stream;
    QString m_chunk;
    int m_depth = 0;
};

void writeHeader(ElementWriter &out, const LumoMapModel &model, const QDateTime &saveTime)
{
    out.leaf(MapElement::MapFileVersion, Format::unsignedNumber(model.mapfileversion));
    out.leaf(MapElement::MapName, model.getMapName());
    out.leaf(MapElement::AppName, model.getCreatingAppName());
    out.leaf(MapElement::AppVersion, model.getCreatingAppVersion());
    out.leaf(MapElement::SaveDateTime, Format::dateTime(saveTime));
}

void writeGeometry(ElementWriter &out, const LumoMapModel &model)
{
    out.open(MapElement::Geometry);
    out.leaf(MapElement::VMinX, Format::real(model.vminx));
    out.leaf(MapElement::VMinY, Format::real(model.vminy));
    out.leaf(MapElement::VMaxX, Format::real(model.vmaxx));
    out.leaf(MapElement::VMaxY, Format::real(model.vmaxy));
    out.leaf(MapElement::ScaleXFit, Format::flag(model.scalexfit));
    out.leaf(MapElement::ScaleYFit, Format::flag(model.scaleyfit));
    out.leaf(MapElement::XOffset, Format::real(model.xoffset));
    out.leaf(MapElement::YOffset, Format::real(model.yoffset));
    out.leaf(MapElement::XScale, Format::real(model.xscale));
    out.leaf(MapElement::YScale, Format::real(model.yscale));
    out.close(MapElement::Geometry);
}

void writeNode(ElementWriter &out, const LumoNode &node)
{
    out.open(MapElement::Node);
    out.leaf(MapElement::X, Format::real(node.x));
    out.leaf(MapElement::Y, Format::real(node.y));
    out.leaf(MapElement::Addr, Format::signedNumber(node.addr));
    out.leaf(MapElement::SkipNode, Format::flag(node.skipnode));
    out.leaf(MapElement::ChannelCount, Format::signedNumber(node.channelCount));
    out.close(MapElement::Node);
}

void writeFixtureTemplate(ElementWriter &out, const LumoFixtureTemplate &fixtureTemplate)
{
    out.open(MapElement::FixtureTemplate);
    out.leaf(MapElement::Uid, Format::hexNumber(fixtureTemplate.uid));
    out.leaf(MapElement::Name, fixtureTemplate.name);
    out.leaf(MapElement::Locked, Format::flag(fixtureTemplate.locked));
    out.leaf(MapElement::XOffset, Format::real(fixtureTemplate.xoffset));
    out.leaf(MapElement::YOffset, Format::real(fixtureTemplate.yoffset));

    bool hasNodes = false;
    for (const LumoNode *node : fixtureTemplate.nodelist) {
        if (!node)
            continue;
        if (!hasNodes)
            out.open(MapElement::NodeList);
        hasNodes = true;
        writeNode(out, *node);
    }
    if (hasNodes)
        out.close(MapElement::NodeList);
    else
        out.empty(MapElement::NodeList);

    out.close(MapElement::FixtureTemplate);
}

void writeFixture(ElementWriter &out, const LumoFixture &fixture)
{
    out.open(MapElement::Fixture);
    out.leaf(MapElement::TemplateId, Format::hexNumber(fixture.templateid));
    out.leaf(MapElement::Name, fixture.name);
    out.leaf(MapElement::X, Format::real(fixture.x));
    out.leaf(MapElement::Y, Format::real(fixture.y));
    out.leaf(MapElement::Theta, Format::real(fixture.theta));
    out.leaf(MapElement::BaseAddr, Format::signedNumber(fixture.baseaddr));
    out.leaf(MapElement::LayerId, Format::unsignedNumber(fixture.layerid));
    out.leaf(MapElement::GroupId, Format::unsignedNumber(fixture.groupid));
    out.close(MapElement::Fixture);
}

void writeInterfaceTemplate(ElementWriter &out, const LumoInterfaceTemplate &interfaceTemplate)
{
    out.open(MapElement::InterfaceTemplate);
    out.leaf(MapElement::Uid, Format::hexNumber(interfaceTemplate.uid));
    out.leaf(MapElement::Name, interfaceTemplate.name);
    out.leaf(MapElement::Locked, Format::flag(interfaceTemplate.locked));
    out.leaf(MapElement::XOffset, Format::real(interfaceTemplate.xoffset));
    out.leaf(MapElement::YOffset, Format::real(interfaceTemplate.yoffset));
    for (const LumoOutput *output : interfaceTemplate.outputs) {
        if (!output)
            continue;
        out.open(MapElement::Output);
        out.leaf(MapElement::PortNum, Format::unsignedNumber(output->portnum));
        out.leaf(MapElement::PortType, Format::unsignedNumber(output->porttype));
        for (const LumoFixture *fixture : output->fixtures) {
            if (fixture)
                writeFixture(out, *fixture);
        }
        out.close(MapElement::Output);
    }
    out.close(MapElement::InterfaceTemplate);
}

void writeInterface(ElementWriter &out, const LumoInterface &interface)
{
    out.open(MapElement::Interface);
    out.leaf(MapElement::Uid, Format::hexNumber(interface.uid));
    out.leaf(MapElement::TemplateId, Format::hexNumber(interface.templateid));
    out.leaf(MapElement::RegionNumber, Format::unsignedNumber(interface.region));
    out.leaf(MapElement::Name, interface.name);
    out.leaf(MapElement::X, Format::real(interface.x));
    out.leaf(MapElement::Y, Format::real(interface.y));
    out.leaf(MapElement::Theta, Format::real(interface.theta));
    out.leaf(MapElement::Ip, interface.ip);
    out.leaf(MapElement::Mac, interface.mac);
    out.leaf(MapElement::Flags, Format::hexNumber(interface.flags));
    out.leaf(MapElement::Sn, Format::hexNumber(interface.sn));
    out.leaf(MapElement::Ver, Format::unsignedNumber(interface.ver));
    out.leaf(MapElement::Uni, Format::unsignedNumber(interface.uni));
    out.leaf(MapElement::Vers, interface.vers);
    out.leaf(MapElement::Id, interface.id);
    out.leaf(MapElement::Order, Format::signedNumber(interface.order));
    out.close(MapElement::Interface);
}

void writeRegion(ElementWriter &out, const LumoRegion &region)
{
    out.open(MapElement::Region);
    out.leaf(MapElement::Number, Format::unsignedNumber(region.number));
    out.leaf(MapElement::Name, region.name);
    out.leaf(MapElement::Color, Format::colour(region.color));
    out.close(MapElement::Region);
}

// Walks a snapshot of the collection (the container is copied, not its records), in the same
// iteration order as the DOM route.
template <typename Record, typename WriteRecord>
void writeRecords(ElementWriter &out, const QHash<quint32, Record *> &records, WriteRecord writeRecord)
{
    const QHash<quint32, Record *> snapshot = records;
    for (const Record *record : snapshot) {
        if (record)
            writeRecord(out, *record);
    }
}

} // namespace

bool write(const LumoMapModel &model, QTextStream &stream, const QDateTime &saveTime)
{
    if (!stream.device() && !stream.string())
        return false;
    {
        StreamSettings settings(stream);
        ElementWriter out(stream);
        out.open(MapElement::Lumomap);
        writeHeader(out, model, saveTime);
        writeGeometry(out, model);
        writeRecords(out, model.fixtureTemplates, writeFixtureTemplate);
        writeRecords(out, model.interfaceTemplates, writeInterfaceTemplate);
        writeRecords(out, model.interfaces, writeInterface);
        writeRecords(out, model.regions, writeRegion);
        out.close(MapElement::Lumomap);
        out.finish();
    } // flushes, then gives the stream its settings back
    return stream.status() == QTextStream::Ok;
}

} // namespace MapTextWriter
