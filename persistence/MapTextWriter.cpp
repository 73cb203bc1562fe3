#include "MapTextWriter.h"

#include "MapElementNames.h"
#include "MapRecordLayout.h"

#include <QDateTime>
#include <QTextStream>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

namespace MapTextWriter {

namespace {

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

    // The start tag waits until the element's first child arrives: an element that stays empty is
    // written as <name/>, as the DOM serialiser writes a childless element.
    void open(QLatin1String name)
    {
        writePendingStartTag();
        m_pendingStartTag = name;
    }

    void close(QLatin1String name)
    {
        if (m_pendingStartTag.data()) {
            indent();
            m_chunk += QLatin1Char('<');
            m_chunk += name;
            m_chunk += QLatin1String("/>\n");
            m_pendingStartTag = QLatin1String();
        } else {
            --m_depth;
            indent();
            m_chunk += QLatin1String("</");
            m_chunk += name;
            m_chunk += QLatin1String(">\n");
        }
        handOverIfFull();
    }

    void leaf(QLatin1String name, const QString &text)
    {
        writePendingStartTag();
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

    void writePendingStartTag()
    {
        if (!m_pendingStartTag.data())
            return;
        indent();
        m_chunk += QLatin1Char('<');
        m_chunk += m_pendingStartTag;
        m_chunk += QLatin1String(">\n");
        ++m_depth;
        m_pendingStartTag = QLatin1String();
    }

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
    QLatin1String m_pendingStartTag; // an open element whose start tag is not written yet
    int m_depth = 0;
};

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
        MapRecordLayout::writeHeader(out, model, saveTime);
        MapRecordLayout::writeGeometry(out, model);
        writeRecords(out, model.fixtureTemplates, MapRecordLayout::writeFixtureTemplate<ElementWriter>);
        writeRecords(out, model.interfaceTemplates, MapRecordLayout::writeInterfaceTemplate<ElementWriter>);
        writeRecords(out, model.interfaces, MapRecordLayout::writeInterface<ElementWriter>);
        writeRecords(out, model.regions, MapRecordLayout::writeRegion<ElementWriter>);
        out.close(MapElement::Lumomap);
        out.finish();
    } // flushes, then gives the stream its settings back
    return stream.status() == QTextStream::Ok;
}

} // namespace MapTextWriter
