#include "MapByteSource.h"

#include <QIODevice>
#include <QtAlgorithms>

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define LUMOMAP_SSE2 1
#endif

DeviceByteSource::DeviceByteSource(QIODevice &device) : device(device) {}

qint64 DeviceByteSource::read(char *destination, qint64 capacity)
{
    return device.read(destination, capacity);
}

bool DeviceByteSource::rewind()
{
    return device.seek(0);
}

namespace {

// Copies the ASCII code units from `in` on as bytes to `out`, 16 at a time while 16 more units and
// 16 more bytes of room remain, and stops before the first unit beyond ASCII. The caller takes the
// rest one character at a time.
inline void copyAsciiRun(const char16_t *&in, const char16_t *end, char *&out, const char *stop)
{
#ifdef LUMOMAP_SSE2
    const __m128i beyondAscii = _mm_set1_epi16(short(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (qsizetype blocks = qMin<qsizetype>(end - in, stop - out) / 16; blocks > 0; --blocks) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + 8));
        // All 16 bytes are stored; only those of the leading ASCII units count.
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(low, high));
        const __m128i either = _mm_and_si128(_mm_or_si128(low, high), beyondAscii);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(either, zero)) != 0xFFFF) {
            // Two mask bits per ASCII unit, the first zero bit at the first unit beyond ASCII.
            const quint32 ascii =
                quint32(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(low, beyondAscii), zero))) |
                quint32(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(high, beyondAscii), zero))) << 16;
            const int run = int(qCountTrailingZeroBits(~ascii)) / 2;
            in += run;
            out += run;
            return;
        }
        in += 16;
        out += 16;
    }
#else
    Q_UNUSED(in);
    Q_UNUSED(end);
    Q_UNUSED(out);
    Q_UNUSED(stop);
#endif
}

// The UTF-8 form of the character at `units[i]` into `bytes`: its length (1 to 4), with the code
// units it takes in `used`, or 0 for an unpaired surrogate, which UTF-8 cannot hold.
inline int encodeCharacter(const char16_t *units, qsizetype i, qsizetype size, char *bytes, int &used)
{
    const char32_t u = units[i];
    used = 1;
    if (u < 0x80) {
        bytes[0] = char(u);
        return 1;
    }
    if (u < 0x800) {
        bytes[0] = char(0xC0 | (u >> 6));
        bytes[1] = char(0x80 | (u & 0x3F));
        return 2;
    }
    if (u < 0xD800 || u > 0xDFFF) {
        bytes[0] = char(0xE0 | (u >> 12));
        bytes[1] = char(0x80 | ((u >> 6) & 0x3F));
        bytes[2] = char(0x80 | (u & 0x3F));
        return 3;
    }
    if (u > 0xDBFF || i + 1 >= size || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
        return 0;
    const char32_t codePoint = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
    used = 2;
    bytes[0] = char(0xF0 | (codePoint >> 18));
    bytes[1] = char(0x80 | ((codePoint >> 12) & 0x3F));
    bytes[2] = char(0x80 | ((codePoint >> 6) & 0x3F));
    bytes[3] = char(0x80 | (codePoint & 0x3F));
    return 4;
}

} // namespace

StringByteSource::StringByteSource(const QString &text) : text(text) {}

qint64 StringByteSource::read(char *destination, qint64 capacity)
{
    char *out = destination;
    const char *const stop = destination + capacity;
    // First the rest of a character that the previous read cut.
    while (pendingBegin < pendingEnd && out < stop)
        *out++ = pending[pendingBegin++];

    const char16_t *const units = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    const char16_t *in = units + position;
    const char16_t *const end = units + size;
    while (in != end && out < stop) {
        copyAsciiRun(in, end, out, stop);
        if (in == end || out == stop)
            break;
        if (*in < 0x80) {
            *out++ = char(*in++);
            continue;
        }
        char bytes[4];
        int used = 0;
        const int length = encodeCharacter(units, in - units, size, bytes, used);
        if (length == 0) {
            if (out != destination)
                break; // the bytes before it first; the next read fails
            position = in - units;
            return -1;
        }
        in += used;
        const int fits = int(qMin<qint64>(length, stop - out));
        std::memcpy(out, bytes, size_t(fits));
        out += fits;
        if (fits < length) {
            // The rest of the character opens the next read.
            std::memcpy(pending, bytes + fits, size_t(length - fits));
            pendingBegin = 0;
            pendingEnd = length - fits;
        }
    }
    position = in - units;
    return out - destination;
}

bool StringByteSource::rewind()
{
    position = 0;
    pendingBegin = pendingEnd = 0;
    return true;
}
