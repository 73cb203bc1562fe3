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

// Six significant digits of a positive finite `magnitude`, correctly rounded, exact ties away from
// zero as Qt rounds them: std::to_chars gives the digits, but rounds a tie to even.
void sixDigitsExactly(double magnitude, quint32 &kept, int &exponent)
{
    char scientific[32]; // "d.ddddde[+-]dd[d]"
    *std::to_chars(scientific, scientific + sizeof scientific - 1, magnitude, std::chars_format::scientific,
                   5)
         .ptr = 0;
    kept = quint32(scientific[0] - '0');
    for (int at = 2; at < 7; ++at)
        kept = kept * 10 + quint32(scientific[at] - '0');
    exponent = std::atoi(scientific + 8);
    if (kept % 2 == 0 && equalsExactly(magnitude, quint64(kept) * 10 + 5, exponent - 6) &&
        ++kept == 1000000) {
        kept = 100000;
        ++exponent;
    }
}

// The same for most values in a fraction of the time: one multiplication or division by an exact
// power of ten scales `magnitude` to [1e5, 1e6), with an error of at most half a unit in the last
// place (about 6e-11 there). Returns false, for the exact route to decide, when the scaled value lies
// closer than 1e-9 to a rounding boundary, or when the power of ten is not exact as a double.
bool sixDigitsQuickly(double magnitude, quint32 &kept, int &exponent)
{
    static const double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    int binaryExponent = 0;
    std::frexp(magnitude, &binaryExponent); // magnitude lies in [2^(e-1), 2^e)
    exponent = int(std::floor((binaryExponent - 1) * 0.30102999566398120)); // floor(log10) or one less
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int scale = 5 - exponent;
        if (scale < -22 || scale > 22)
            return false;
        const double scaled = scale >= 0 ? magnitude * powersOfTen[scale] : magnitude / powersOfTen[-scale];
        if (scaled >= 1e6) {
            ++exponent;
            continue;
        }
        const double whole = std::floor(scaled);
        const double fraction = scaled - whole;
        if (std::fabs(fraction - 0.5) < 1e-9)
            return false;
        kept = quint32(whole) + (fraction > 0.5 ? 1 : 0);
        if (kept == 1000000) {
            kept = 100000;
            ++exponent;
        }
        return true;
    }
    return false;
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

    // The value as six significant digits `kept` (100000 to 999999) times 10^(exponent - 5).
    quint32 kept = 0;
    int exponent = 0;
    if (!sixDigitsQuickly(std::fabs(value), kept, exponent))
        sixDigitsExactly(std::fabs(value), kept, exponent);
    char digits[6];
    for (int at = 5; at >= 0; --at, kept /= 10)
        digits[at] = char('0' + kept % 10);

    int count = 6;
    while (count > 1 && digits[count - 1] == '0')
        --count;
    AsciiText out;
    char *p = out.data;
    if (value < 0)
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
    out.size =
        int(std::to_chars(out.data + 3, out.data + sizeof out.data, unsigned(character.unicode()), 16).ptr -
            out.data);
    out.data[out.size++] = ';';
    return out;
}

} // namespace MapValueFormat
