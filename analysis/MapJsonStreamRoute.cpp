// The usual route of the JSON reader: RapidJSON's SAX reader over the bytes as they are read from the
// device, its events passed on to a MapFormReader. A document this route does not take to its end goes
// to the route through Qt's parser (MapJsonQtRoute.cpp), which settles it.

#include "LumoMapJson_p.h"

#include "ElementTextConversion.h"
#include "MapFormReader.h"
#include "RecordFields.h"

#include <QIODevice>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

// RapidJSON reports a broken internal invariant through this macro; the library throws nothing and
// prints nothing, and the reader does not rely on it.
#define RAPIDJSON_ASSERT(x) static_cast<void>(0)
#if defined(__SSE2__)
#define RAPIDJSON_SSE2 // white space skipped 16 bytes at a time
#endif
#include <rapidjson/reader.h>

namespace {

// The memory of RapidJSON's reader stack, which holds the text of the string or number being read.
// Where RapidJSON's own allocator returns null when no memory is left, and the reader then writes
// through that null pointer, this one throws std::bad_alloc, which the entry points catch.
class ReaderStackAllocator
{
public:
    [[maybe_unused]] static constexpr bool kNeedFree = true; // of RapidJSON's allocator concept
    void *Malloc(std::size_t size) { return Realloc(nullptr, 0, size); }
    void *Realloc(void *block, std::size_t, std::size_t size)
    {
        if (size == 0) {
            std::free(block);
            return nullptr;
        }
        void *moved = std::realloc(block, size);
        if (!moved)
            throw std::bad_alloc();
        return moved;
    }
    static void Free(void *block) { std::free(block); }
};

// The room the stack starts with: longer strings make it grow.
constexpr std::size_t ReaderStackBytes = 4096;

} // namespace

namespace rapidjson {
namespace internal {
// The reader's stack takes its first block when it is made, so its pointers are never null. RapidJSON
// 1.1.0's stack takes it on the first push instead, after adding the size of that push to its null
// pointer (internal/stack.h), which is undefined behaviour: a build with the undefined-behaviour
// sanitizer would stop at every read, whatever flags the library itself is built with.
template <>
inline Stack<ReaderStackAllocator>::Stack(ReaderStackAllocator *allocator, size_t stackCapacity)
    : allocator_(allocator), ownAllocator_(nullptr), stack_(nullptr), stackTop_(nullptr), stackEnd_(nullptr),
      initialCapacity_(stackCapacity > 0 ? stackCapacity : 1)
{
    Resize(initialCapacity_); // the allocator is the caller's: nothing is left to free if this throws
}
} // namespace internal
} // namespace rapidjson

namespace {

// The header and geometry values of a model, to put back when the first route gives up.
class HeaderSnapshot
{
public:
    explicit HeaderSnapshot(const LumoMapModel &model)
    {
        const auto keep = [this](const auto &, const auto &value) {
            m_values.push_back(QVariant::fromValue(value));
        };
        RecordFields::forEach(RecordFields::headerFields, model, keep);
        RecordFields::forEach(RecordFields::geometryFields, model, keep);
    }
    void restore(LumoMapModel &model) const
    {
        std::size_t at = 0;
        const auto put = [&](const auto &, auto &value) {
            value = qvariant_cast<std::decay_t<decltype(value)>>(m_values[at++]);
        };
        RecordFields::forEach(RecordFields::headerFields, model, put);
        RecordFields::forEach(RecordFields::geometryFields, model, put);
    }

private:
    std::vector<QVariant> m_values;
};

// A number's text as the JSON reader gives it, converted as a map file's reals are (RapidJSON's own
// conversion, in its 1.1.0 release, counts the leading zeros of a zero significand with an exponent,
// which is undefined), read where that is certainly what Qt's parser reads: whole numbers as the
// nearest double (Qt converts the qint64 it reads, which gives the same double), other numbers
// correctly rounded unless the result is zero, subnormal or beyond the range of a double, where only
// Qt's rules (it refuses a number that underflows to zero) settle it on the other route. Zero is +0,
// as Qt reads "-0".
bool readNumber(const char *text, std::size_t size, double &number)
{
    const char *end = text + size;
    if (!ElementText::toReal(ElementText::Utf8{text, qsizetype(size)}, number))
        return false;
    const bool whole = std::none_of(text, end, [](char c) { return c == '.' || c == 'e' || c == 'E'; });
    if (whole && std::isfinite(number)) {
        number += 0.0; // -0 becomes +0
        return true;
    }
    return std::isfinite(number) && std::fabs(number) >= std::numeric_limits<double>::min();
}

// RapidJSON puts an escaped lone low surrogate ("\udc00") into a string as the three bytes of its code
// point (ED B0 80), which are not UTF-8; Qt's parser keeps it as a lone UTF-16 unit. A string value
// holding one is left to Qt's parser. (A key holding one is no key of the form, and a document with a
// wrong key takes its message from Qt's parser anyway.)
bool holdsEncodedSurrogate(const char *text, std::size_t size)
{
    const char *const end = text + size;
    for (const char *at = text;
         (at = static_cast<const char *>(std::memchr(at, 0xED, std::size_t(end - at)))); ++at) {
        if (end - at > 1 && (uchar(at[1]) & 0xE0) == 0xA0)
            return true;
    }
    return false;
}

// The RapidJSON handler: passes the events on to the MapFormReader. An event it does not take (the
// parser's typed numbers, which it does not give with kParseNumbersAsStringsFlag) gives the text over
// to Qt's parser.
class SaxEvents : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, SaxEvents>
{
public:
    explicit SaxEvents(MapFormReader &reader) : m_reader(reader) {}

    bool Null() { return m_reader.value(FormValue{FormValue::Null}); }
    bool Bool(bool flag)
    {
        FormValue value{FormValue::Bool};
        value.flag = flag;
        return m_reader.value(value);
    }
    // Numbers come as their text (kParseNumbersAsStringsFlag).
    bool RawNumber(const char *text, rapidjson::SizeType size, bool)
    {
        FormValue value{FormValue::Number};
        if (!readNumber(text, size, value.number))
            return m_reader.giveUp();
        return m_reader.value(value);
    }
    bool String(const char *text, rapidjson::SizeType size, bool)
    {
        if (holdsEncodedSurrogate(text, size))
            return m_reader.giveUp();
        FormValue value{FormValue::String};
        value.utf8 = text;
        value.size = size;
        return m_reader.value(value);
    }
    bool StartObject() { return m_reader.startObject(); }
    bool Key(const char *text, rapidjson::SizeType size, bool) { return m_reader.key(text, size); }
    bool EndObject(rapidjson::SizeType) { return m_reader.endObject(); }
    bool StartArray() { return m_reader.startArray(); }
    bool EndArray(rapidjson::SizeType) { return m_reader.endArray(); }
    bool Default() { return m_reader.giveUp(); }

private:
    MapFormReader &m_reader;
};

// RapidJSON's input stream over a QIODevice, read in blocks of 64 KiB. Peek() gives '\0' at the end.
// For a sequential device the bytes read are kept, so that Qt's parser can read them again.
class DeviceStream
{
public:
    using Ch = char;

    explicit DeviceStream(QIODevice &device) : m_device(device), m_keep(device.isSequential())
    {
        m_block.resize(BlockBytes);
        m_begin = m_at = m_end = m_block.constData();
    }

    Q_ALWAYS_INLINE Ch Peek()
    {
        if (Q_UNLIKELY(m_at == m_end) && !refill())
            return '\0';
        return *m_at;
    }
    Q_ALWAYS_INLINE Ch Take()
    {
        if (Q_UNLIKELY(m_at == m_end) && !refill())
            return '\0';
        return *m_at++;
    }
    std::size_t Tell() const { return std::size_t(m_before + (m_at - m_begin)); }
    Ch *PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch *) { return 0; }

    // Skips white space a block at a time (RapidJSON's own scan, 16 bytes at a step where it can).
    void skipWhitespace()
    {
        for (;;) {
#if defined(RAPIDJSON_SSE2)
            m_at = rapidjson::SkipWhitespace_SIMD(m_at, m_end);
#else
            m_at = rapidjson::SkipWhitespace(m_at, m_end);
#endif
            if (m_at != m_end || !refill())
                return;
        }
    }

    // Every byte was read (an embedded '\0' looks like the end to RapidJSON).
    bool atEnd()
    {
        return m_at == m_end && !refill();
    }

    // The bytes read so far and the rest of the device: the whole document for Qt's parser.
    QByteArray document(qint64 start)
    {
        if (!m_keep && m_device.seek(start))
            return m_device.readAll();
        return m_kept + m_device.readAll();
    }

private:
    static constexpr int BlockBytes = 64 * 1024;

    Q_NEVER_INLINE bool refill()
    {
        m_before += m_end - m_begin;
        const qint64 got = m_device.read(m_block.data(), BlockBytes);
        m_begin = m_at = m_block.constData();
        m_end = m_at + std::max<qint64>(got, 0);
        if (m_keep && got > 0)
            m_kept.append(m_at, int(got));
        return got > 0;
    }

    QIODevice &m_device;
    const bool m_keep;
    QByteArray m_block;
    QByteArray m_kept;
    const char *m_begin; // the block
    const char *m_at;
    const char *m_end;
    qint64 m_before = 0;
};

} // namespace

namespace rapidjson {
// RapidJSON's white space skipping for the device stream: a scan of the block instead of a call per byte.
template <> inline void SkipWhitespace(DeviceStream &stream)
{
    stream.skipWhitespace();
}
} // namespace rapidjson

bool LumoMapJsonPrivate::readStream(QIODevice &device, LumoMapModel &model, QString &error)
{
    const qint64 start = device.isSequential() ? 0 : device.pos();
    const HeaderSnapshot header(model);
    DeviceStream stream(device);
    {
        MapFormReader reader(model, false);
        SaxEvents events(reader);
        ReaderStackAllocator stackAllocator;
        rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ReaderStackAllocator> parser(
            &stackAllocator, ReaderStackBytes);
        // Recursive (not iterative) parsing, the faster: the reader stops it at MaxDepth.
        constexpr unsigned flags =
            rapidjson::kParseValidateEncodingFlag | rapidjson::kParseNumbersAsStringsFlag;
        if (!parser.Parse<flags>(stream, events).IsError() && stream.atEnd() && reader.complete()) {
            reader.finish();
            error.clear();
            return true;
        }
        reader.rollBack();
        header.restore(model);
    }
    error.clear();
    return LumoMapJsonPrivate::readThroughQt(stream.document(start), model, error);
}
