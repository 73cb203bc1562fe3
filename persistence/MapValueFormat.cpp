#include "MapValueFormat.h"

#include <QColor>
#include <QDateTime>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace MapValueFormat {

namespace {

AsciiText ascii(const char *text)
{
    AsciiText out;
    out.size = int(std::strlen(text));
    std::memcpy(out.data, text, size_t(out.size));
    return out;
}

template <typename Integer> AsciiText integer(Integer value, int base)
{
    AsciiText out;
    out.size = int(std::to_chars(out.data, out.data + sizeof out.data, value, base).ptr - out.data);
    return out;
}

// True when `magnitude` is exactly `odd` * 10^exponent10, for an odd `odd` below 10^7.
bool equalsExactly(double magnitude, quint64 odd, int exponent10)
{
    int exponent2 = 0;
    auto mantissa = static_cast<quint64>(std::ldexp(std::frexp(magnitude, &exponent2), 53));
    exponent2 -= 53;
    const int zeros = __builtin_ctzll(mantissa);
    mantissa >>= zeros;
    exponent2 += zeros;
    // odd * 10^k == odd * 5^k * 2^k: the odd parts and the powers of two must match.
    if (exponent2 != exponent10)
        return false;
    for (; exponent10 > 0; --exponent10) {
        odd *= 5;
        if (odd > mantissa)
            return false;
    }
    for (; exponent10 < 0; ++exponent10) {
        if (odd % 5 != 0)
            return false;
        odd /= 5;
    }
    return odd == mantissa;
}

} // namespace

AsciiText unsignedNumber(quint32 value)
{
    return integer(value, 10);
}

AsciiText signedNumber(qint32 value)
{
    return integer(value, 10);
}

AsciiText hexNumber(quint32 value)
{
    return integer(value, 16);
}

AsciiText real(double value)
{
    if (std::isnan(value))
        return ascii("nan");
    if (std::isinf(value))
        return ascii(value < 0 ? "-inf" : "inf");
    if (value == 0)
        return ascii("0");

    // Six significant digits, correctly rounded: "[-]d.ddddde[+-]dd[d]".
    char scientific[32];
    *std::to_chars(scientific, scientific + sizeof scientific - 1, value, std::chars_format::scientific, 5).ptr = 0;
    const bool negative = scientific[0] == '-';
    const char *mantissa = scientific + (negative ? 1 : 0);
    char digits[6] = {mantissa[0], mantissa[2], mantissa[3], mantissa[4], mantissa[5], mantissa[6]};
    int exponent = std::atoi(mantissa + 8);

    // std::to_chars rounds an exact tie to even, Qt away from zero: a tie rounded down to an even
    // last digit is rounded up here.
    quint64 kept = 0;
    for (char digit : digits)
        kept = kept * 10 + quint64(digit - '0');
    if (kept % 2 == 0 && equalsExactly(std::fabs(value), kept * 10 + 5, exponent - 6)) {
        int at = 5;
        while (at >= 0 && digits[at] == '9')
            digits[at--] = '0';
        if (at >= 0) {
            ++digits[at];
        } else {
            digits[0] = '1';
            ++exponent;
        }
    }

    int count = 6;
    while (count > 1 && digits[count - 1] == '0')
        --count;
    AsciiText out;
    char *p = out.data;
    if (negative)
        *p++ = '-';
    if (exponent < -4 || exponent > 5) {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            p = std::copy(digits + 1, digits + count, p);
        }
        *p++ = 'e';
        *p++ = exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude < 10)
            *p++ = '0';
        p = std::to_chars(p, out.data + sizeof out.data, magnitude).ptr;
    } else if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i)
            *p++ = i < count ? digits[i] : '0';
        if (count > exponent + 1) {
            *p++ = '.';
            p = std::copy(digits + exponent + 1, digits + count, p);
        }
    } else {
        *p++ = '0';
        *p++ = '.';
        for (int i = exponent; i < -1; ++i)
            *p++ = '0';
        p = std::copy(digits, digits + count, p);
    }
    out.size = int(p - out.data);
    return out;
}

QLatin1String flag(bool value)
{
    return value ? QLatin1String("1") : QLatin1String("0");
}

QString colour(const QColor &value)
{
    return value.name();
}

QString dateTime(const QDateTime &value)
{
    return value.toString(Qt::TextDate);
}

bool needsCharacterReference(const QChar *text, qsizetype size, qsizetype at)
{
    const char16_t c = text[at].unicode();
    if (c < 0xd800)
        return false;
    if (c >= 0xfffe)
        return true;
    if (c < 0xdc00) // a high surrogate needs a low one after it
        return at + 1 == size || !text[at + 1].isLowSurrogate();
    if (c < 0xe000) // a low surrogate needs a high one before it
        return at == 0 || !text[at - 1].isHighSurrogate();
    return false;
}

AsciiText characterReference(QChar character)
{
    AsciiText out = ascii("&#x");
    out.size = int(std::to_chars(out.data + 3, out.data + sizeof out.data, unsigned(character.unicode()), 16).ptr - out.data);
    out.data[out.size++] = ';';
    return out;
}

} // namespace MapValueFormat
