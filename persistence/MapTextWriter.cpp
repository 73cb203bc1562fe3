#include "MapTextWriter.h"

#include "MapElementNames.h"
#include "MapRecordLayout.h"
#include "RecordKeys.h"

#include <QDateTime>
#include <QFileDevice>
#include <QTextStream>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

#include <cstring>
#include <memory>

namespace MapTextWriter {

namespace {

using MapValueFormat::AsciiText;

// Appends `text` as the text of an element. What is escaped and why:
//  - "&" as "&amp;" and "<" as "&lt;": markup otherwise;
//  - ">" as "&gt;" only where it closes "]]>", which may not stand in text;
//  - a carriage return as "&#xd;", as the DOM serialiser writes it (XML has readers turn a literal
//    one into a line feed);
//  - U+FFFE, U+FFFF and unpaired surrogates as character references such as "&#xffff;"
//    (MapValueFormat::needsCharacterReference): the XML reader takes a literal U+FFFE or U+FFFF for
//    the end of its input and fails, and UTF-8 has no form for a lone surrogate; the readers turn the
//    reference back into exactly that code unit;
//  - every other character, control characters and U+0000 included, as it is: the readers take
//    them back as they are, and the text matches what QDomDocument::toString gives for them.
template <typename Output> void appendEscapedText(Output &out, const QString &text)
{
    const QChar *chars = text.constData();
    const qsizetype size = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = chars[i].unicode();
        if (c > '>' && c < 0xd800) // nothing to escape in this range
            continue;
        AsciiText reference;
        QLatin1String replacement;
        if (c == '&')
            replacement = QLatin1String("&amp;");
        else if (c == '<')
            replacement = QLatin1String("&lt;");
        else if (c == '>' && i >= 2 && chars[i - 1] == QLatin1Char(']') && chars[i - 2] == QLatin1Char(']'))
            replacement = QLatin1String("&gt;");
        else if (c == '\r')
            replacement = QLatin1String("&#xd;");
        else if (c >= 0xd800 && MapValueFormat::needsCharacterReference(chars, size, i))
            replacement = (reference = MapValueFormat::characterReference(chars[i])).view();
        else
            continue;
        out.text(chars + runStart, i - runStart);
        out.ascii(0, replacement);
        runStart = i + 1;
    }
    out.text(chars + runStart, size - runStart);
}

// Encodes the document straight into UTF-8 and hands it to the device in blocks, past the stream
// and its UTF-16 buffer. Surrogates arrive here only in pairs (appendEscapedText).
class Utf8DeviceOutput
{
public:
    explicit Utf8DeviceOutput(QIODevice &device) : m_device(device) {}

    // Appends `indent` spaces, then the ASCII pieces, with one check for room.
    template <typename... Pieces> void ascii(int indent, Pieces... pieces)
    {
        makeRoom(indent + (qsizetype(0) + ... + pieces.size()));
        char *out = m_buffer + m_used;
        std::memset(out, ' ', size_t(indent));
        out += indent;
        ((std::memcpy(out, pieces.data(), size_t(pieces.size())), out += pieces.size()), ...);
        m_used = out - m_buffer;
    }

    void text(const QChar *chars, qsizetype size)
    {
        while (size > 0) {
            qsizetype slice = qMin(size, Capacity / 4);
            if (slice < size && chars[slice - 1].isHighSurrogate())
                --slice; // keep a pair in one slice
            makeRoom(slice * 3);
            char *out = m_buffer + m_used;
            for (qsizetype i = 0; i < slice; ++i) {
                const char32_t c = chars[i].unicode();
                if (c < 0x80) {
                    *out++ = char(c);
                } else if (c < 0x800) {
                    *out++ = char(0xc0 | (c >> 6));
                    *out++ = char(0x80 | (c & 0x3f));
                } else if (!QChar::isHighSurrogate(c)) {
                    *out++ = char(0xe0 | (c >> 12));
                    *out++ = char(0x80 | ((c >> 6) & 0x3f));
                    *out++ = char(0x80 | (c & 0x3f));
                } else {
                    const char32_t code = QChar::surrogateToUcs4(chars[i], chars[i + 1]);
                    ++i;
                    *out++ = char(0xf0 | (code >> 18));
                    *out++ = char(0x80 | ((code >> 12) & 0x3f));
                    *out++ = char(0x80 | ((code >> 6) & 0x3f));
                    *out++ = char(0x80 | (code & 0x3f));
                }
            }
            m_used = out - m_buffer;
            chars += slice;
            size -= slice;
        }
    }

    void handOverIfFull() {}

    // Writes what is left; false when the device refused any of the document.
    bool finish()
    {
        handOver();
        return !m_failed;
    }

private:
    static constexpr qsizetype Capacity = 64 * 1024;

    void makeRoom(qsizetype size)
    {
        if (m_used + size > Capacity)
            handOver();
    }

    void handOver()
    {
        // After a refused block nothing more is written: the file would have a hole.
        if (!m_failed && m_used > 0)
            m_failed = m_device.write(m_buffer, m_used) != m_used;
        m_used = 0;
    }

    QIODevice &m_device;
    char m_buffer[Capacity];
    qsizetype m_used = 0;
    bool m_failed = false;
};

// Writes the document as UTF-16 straight into the string of a stream on a string, which appends
// whatever it is given just so. The string grows by blocks (its capacity geometrically); the room
// not written is cut off at the end, also when the save stops on the way.
class StringOutput
{
public:
    explicit StringOutput(QString &string) : m_string(string), m_used(string.size()) {}
    ~StringOutput() { m_string.resize(m_used); }
    StringOutput(const StringOutput &) = delete;
    StringOutput &operator=(const StringOutput &) = delete;

    template <typename... Pieces> void ascii(int indent, Pieces... pieces)
    {
        char16_t *out = room(indent + (qsizetype(0) + ... + pieces.size()));
        for (int i = 0; i < indent; ++i)
            *out++ = u' ';
        ((out = widen(pieces, out)), ...);
        m_used = out - m_data;
    }

    void text(const QChar *chars, qsizetype size)
    {
        if (size == 0)
            return;
        char16_t *out = room(size);
        std::memcpy(out, chars, size_t(size) * sizeof(char16_t));
        m_used += size;
    }

    void handOverIfFull() {}
    bool finish() { return true; }

private:
    static constexpr qsizetype Block = 32 * 1024;

    static char16_t *widen(QLatin1String piece, char16_t *out)
    {
        const char *in = piece.data();
        for (qsizetype i = 0, n = piece.size(); i < n; ++i)
            out[i] = static_cast<unsigned char>(in[i]);
        return out + piece.size();
    }

    // Where `size` more units go.
    char16_t *room(qsizetype size)
    {
        if (!m_data || m_string.size() - m_used < size) {
            m_string.resize(m_used + qMax(size, Block));
            m_data = reinterpret_cast<char16_t *>(m_string.data());
        }
        return m_data + m_used;
    }

    QString &m_string;
    char16_t *m_data = nullptr;
    qsizetype m_used; // the string's length as written so far
};

// Collects the document as UTF-16 and hands it to the stream in chunks: for a device stream that is
// to put a byte order mark first, which the stream itself writes.
class StreamOutput
{
public:
    explicit StreamOutput(QTextStream &stream) : m_stream(stream) { m_chunk.reserve(ChunkSize + 1024); }

    template <typename... Pieces> void ascii(int indent, Pieces... pieces)
    {
        static const char spaces[] = "                ";
        for (; indent > 0; indent -= 16)
            m_chunk += QLatin1String(spaces, qMin(indent, 16));
        ((m_chunk += pieces), ...);
    }
    void text(const QChar *chars, qsizetype size) { m_chunk.append(chars, size); }

    void handOverIfFull()
    {
        if (m_chunk.size() < ChunkSize)
            return;
        m_stream << m_chunk;
        m_chunk.clear();
    }

    bool finish()
    {
        m_stream << m_chunk;
        m_chunk.clear();
        return true;
    }

private:
    static constexpr int ChunkSize = 32 * 1024;

    QTextStream &m_stream;
    QString m_chunk;
};

// Sets a device stream to UTF-8 for the write (a file without an XML declaration is read as UTF-8)
// and gives the stream its settings back when it goes out of scope. The stream is flushed before the
// switch, so that text the caller wrote just before goes out in the encoding it was written for.
class StreamSettings
{
public:
    explicit StreamSettings(QTextStream &stream) : m_stream(stream), m_fieldWidth(stream.fieldWidth())
    {
        m_stream.setFieldWidth(0);
        if (!m_stream.device())
            return;
        m_stream.flush();
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

// Writes elements in the layout of QDomDocument::toString(1) to an Output.
template <typename Output> class ElementWriter
{
public:
    explicit ElementWriter(Output &output) : m_out(output) {}

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
            m_out.ascii(m_depth, QLatin1String("<"), name, QLatin1String("/>\n"));
            m_pendingStartTag = QLatin1String();
        } else {
            --m_depth;
            m_out.ascii(m_depth, QLatin1String("</"), name, QLatin1String(">\n"));
        }
        m_out.handOverIfFull();
    }

    void leaf(QLatin1String name, const QString &text)
    {
        writePendingStartTag();
        m_out.ascii(m_depth, QLatin1String("<"), name, QLatin1String(">"));
        appendEscapedText(m_out, text);
        m_out.ascii(0, QLatin1String("</"), name, QLatin1String(">\n"));
    }

    // Numbers and flags: ASCII without anything to escape.
    void leaf(QLatin1String name, QLatin1String text)
    {
        writePendingStartTag();
        m_out.ascii(m_depth, QLatin1String("<"), name, QLatin1String(">"), text, QLatin1String("</"), name,
                    QLatin1String(">\n"));
    }
    void leaf(QLatin1String name, const AsciiText &text) { leaf(name, text.view()); }

private:
    void writePendingStartTag()
    {
        if (!m_pendingStartTag.data())
            return;
        m_out.ascii(m_depth, QLatin1String("<"), m_pendingStartTag, QLatin1String(">\n"));
        ++m_depth;
        m_pendingStartTag = QLatin1String();
    }

    Output &m_out;
    QLatin1String m_pendingStartTag; // an open element whose start tag is not written yet
    int m_depth = 0;
};

template <typename Output>
bool writeDocument(Output &output, const LumoMapModel &model, const QDateTime &saveTime)
{
    namespace Layout = MapRecordLayout;
    ElementWriter<Output> out(output);
    out.open(MapElement::Lumomap);
    Layout::writeHeader(out, model, saveTime);
    Layout::writeGeometry(out, model);
    for (const auto &entry : RecordKeys::inKeyOrder(model.fixtureTemplates))
        Layout::writeFixtureTemplate(out, *entry.record);
    for (const auto &entry : RecordKeys::inKeyOrder(model.interfaceTemplates))
        Layout::writeInterfaceTemplate(out, *entry.record);
    for (const auto &entry : RecordKeys::inKeyOrder(model.interfaces))
        Layout::writeInterface(out, *entry.record);
    for (const auto &entry : RecordKeys::inKeyOrder(model.regions))
        Layout::writeRegion(out, *entry.record);
    out.close(MapElement::Lumomap);
    return output.finish();
}

} // namespace

bool write(const LumoMapModel &model, QTextStream &stream, const QDateTime &saveTime)
{
    QIODevice *device = stream.device();
    if (!device && !stream.string())
        return false;
    if (!device) {
        StringOutput output(*stream.string());
        writeDocument(output, model, saveTime);
        return stream.status() == QTextStream::Ok;
    }
    if (!stream.generateByteOrderMark()) {
        stream.flush(); // the caller's text goes first, in the stream's own encoding
        if (stream.status() != QTextStream::Ok)
            return false;
        const auto output = std::make_unique<Utf8DeviceOutput>(*device);
        const auto file = qobject_cast<QFileDevice *>(device);
        if (!writeDocument(*output, model, saveTime) || (file && !file->flush()))
            stream.setStatus(QTextStream::WriteFailed);
        return stream.status() == QTextStream::Ok;
    }
    {
        StreamSettings settings(stream);
        StreamOutput output(stream);
        writeDocument(output, model, saveTime);
    } // flushes, then gives the stream its settings back
    return stream.status() == QTextStream::Ok;
}

} // namespace MapTextWriter
