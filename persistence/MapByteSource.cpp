#include "MapByteSource.h"

#include <QIODevice>

DeviceByteSource::DeviceByteSource(QIODevice &device) : device(device) {}

qint64 DeviceByteSource::read(char *destination, qint64 capacity)
{
    return device.read(destination, capacity);
}

bool DeviceByteSource::rewind()
{
    return device.seek(0);
}

StringByteSource::StringByteSource(const QString &text) : text(text) {}

qint64 StringByteSource::read(char *destination, qint64 capacity)
{
    const char16_t *units = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype size = text.size();
    char *out = destination;
    // Every character takes at most 4 bytes.
    char *const last = destination + capacity - 4;
    qsizetype i = position;
    while (i < size && out <= last) {
        const char32_t u = units[i];
        if (u < 0x80) {
            *out++ = char(u);
            ++i;
            continue;
        }
        char32_t codePoint = u;
        qsizetype used = 1;
        if (u >= 0xD800 && u <= 0xDFFF) {
            if (u > 0xDBFF || i + 1 >= size || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return -1;
            codePoint = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            used = 2;
        }
        if (codePoint < 0x800) {
            *out++ = char(0xC0 | (codePoint >> 6));
        } else if (codePoint < 0x10000) {
            *out++ = char(0xE0 | (codePoint >> 12));
            *out++ = char(0x80 | ((codePoint >> 6) & 0x3F));
        } else {
            *out++ = char(0xF0 | (codePoint >> 18));
            *out++ = char(0x80 | ((codePoint >> 12) & 0x3F));
            *out++ = char(0x80 | ((codePoint >> 6) & 0x3F));
        }
        *out++ = char(0x80 | (codePoint & 0x3F));
        i += used;
    }
    position = i;
    return out - destination;
}

bool StringByteSource::rewind()
{
    position = 0;
    return true;
}
