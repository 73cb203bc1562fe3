#include "ElementTextConversion.h"

namespace ElementText {

namespace {

// Fast paths for the plain forms that the writer produces. Each accepts only texts whose value it
// computes exactly as the QString conversion would, and reports false for anything else, which is
// then left to QString. Leading zeros and plus signs always take the slow road.

// The code units of a text: UTF-16 for a QString, bytes for UTF-8. The plain forms are ASCII, which
// both encodings spell with the same unit values.
inline const char16_t *unitsOf(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.constData());
}

inline const unsigned char *unitsOf(Utf8 text)
{
    return reinterpret_cast<const unsigned char *>(text.data);
}

inline qsizetype sizeOf(const QString &text)
{
    return text.size();
}

inline qsizetype sizeOf(Utf8 text)
{
    return text.size;
}

int digitValue(char16_t c, int base)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (base == 16) {
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
    }
    return -1;
}

// Up to 9 decimal or 7 hexadecimal digits, optionally after a minus sign when `allowMinus` is set.
template <typename Text> bool plainInteger(const Text &text, int base, bool allowMinus, qint64 &value)
{
    const auto *p = unitsOf(text);
    const qsizetype n = sizeOf(text);
    qsizetype i = 0;
    bool negative = false;
    if (allowMinus && n > 0 && p[0] == u'-') {
        negative = true;
        i = 1;
    }
    const qsizetype digits = n - i;
    if (digits < 1 || digits > (base == 10 ? 9 : 7))
        return false;
    if (digits > 1 && p[i] == u'0')
        return false;
    qint64 number = 0;
    if (base == 10) {
        for (; i < n; ++i) {
            const unsigned d = unsigned(p[i]) - unsigned(u'0');
            if (d > 9)
                return false;
            number = number * 10 + d;
        }
    } else {
        for (; i < n; ++i) {
            const int d = digitValue(p[i], base);
            if (d < 0)
                return false;
            number = number * base + d;
        }
    }
    value = negative ? -number : number;
    return true;
}

// A decimal with at most 15 digits, an optional fraction and an optional exponent, whose power of
// ten stays within 10^22: the digits form an exact double and one multiplication or division by an
// exact power of ten rounds correctly, giving the same double as any correct conversion.
template <typename Text> bool plainReal(const Text &text, double &value)
{
    static const double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const auto *p = unitsOf(text);
    const qsizetype n = sizeOf(text);
    qsizetype i = 0;
    const bool negative = n > 0 && p[0] == u'-';
    if (negative)
        i = 1;
    qint64 mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    const qsizetype integerStart = i;
    while (i < n && p[i] >= u'0' && p[i] <= u'9') {
        if (++digits > 15)
            return false; // the digits might not form an exact double
        mantissa = mantissa * 10 + (p[i] - u'0');
        ++i;
    }
    const qsizetype integerDigits = i - integerStart;
    if (integerDigits < 1 || (integerDigits > 1 && p[integerStart] == u'0'))
        return false;
    if (i < n && p[i] == u'.') {
        ++i;
        const qsizetype fractionStart = i;
        while (i < n && p[i] >= u'0' && p[i] <= u'9') {
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + (p[i] - u'0');
            ++i;
        }
        fractionDigits = int(i - fractionStart);
        if (fractionDigits < 1)
            return false;
    }
    int exponent = 0;
    if (i < n && (p[i] == u'e' || p[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (p[i] == u'+' || p[i] == u'-')) {
            negativeExponent = p[i] == u'-';
            ++i;
        }
        const qsizetype exponentStart = i;
        while (i < n && p[i] >= u'0' && p[i] <= u'9' && i - exponentStart < 3) {
            exponent = exponent * 10 + (p[i] - u'0');
            ++i;
        }
        if (i == exponentStart)
            return false;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != n)
        return false;
    exponent -= fractionDigits;
    if (exponent < -22 || exponent > 22)
        return false;
    double number = double(mantissa);
    if (exponent > 0)
        number *= powersOfTen[exponent];
    else if (exponent < 0)
        number /= powersOfTen[-exponent];
    value = negative ? -number : number;
    return true;
}

// The text as QString's own conversions take it, for what the fast paths leave to them.
const QString &qtText(const QString &text)
{
    return text;
}

QString qtText(Utf8 text)
{
    return text.toString();
}

// QString::toULong is 64 bits wide on LP64 platforms; the map's unsigned fields are 32 bits wide.
template <typename Text> bool unsigned32From(const Text &text, int base, quint32 &value)
{
    qint64 plain = 0;
    if (plainInteger(text, base, false, plain)) {
        value = quint32(plain);
        return true;
    }
    bool ok = false;
    const unsigned long number = qtText(text).toULong(&ok, base);
    if (!ok || number > 0xFFFFFFFFul)
        return false;
    value = static_cast<quint32>(number);
    return true;
}

template <typename Text> bool signedFrom(const Text &text, qint32 &value)
{
    qint64 plain = 0;
    if (plainInteger(text, 10, true, plain)) {
        value = qint32(plain);
        return true;
    }
    bool ok = false;
    const int number = qtText(text).toInt(&ok, 10);
    if (!ok)
        return false;
    value = number;
    return true;
}

template <typename Text> bool realFrom(const Text &text, double &value)
{
    if (plainReal(text, value))
        return true;
    bool ok = false;
    const double number = qtText(text).toDouble(&ok);
    if (!ok)
        return false;
    value = number;
    return true;
}

// The kinds built on the signed and unsigned conversions read alike from both forms of text.
template <typename Text> bool flagFrom(const Text &text, bool &value)
{
    qint32 number = 0;
    if (!toSigned(text, number))
        return false;
    value = number != 0;
    return true;
}

template <typename Text> bool byteFrom(const Text &text, int base, quint8 &value)
{
    quint32 number = 0;
    if (!unsigned32From(text, base, number))
        return false;
    value = static_cast<quint8>(number & 0xFFu);
    return true;
}

template <typename Text> bool shortFrom(const Text &text, quint16 &value)
{
    qint32 number = 0;
    if (!toSigned(text, number))
        return false;
    value = static_cast<quint16>(static_cast<quint32>(number) & 0xFFFFu);
    return true;
}

template <typename Text> bool oldCoordinateFrom(const Text &text, bool translate, double &value)
{
    qint32 number = 0;
    if (!toSigned(text, number))
        return false;
    double coordinate = static_cast<double>(number);
    if (translate) {
        // Division first, then multiplication: 7 becomes 5.833333333333334, not 5.833333333333333.
        coordinate = coordinate / 12.0;
        coordinate = coordinate * 10.0;
    }
    value = coordinate;
    return true;
}

} // namespace

QString Utf8::toString() const
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QString::fromUtf8(data, size);
#else
    return QString::fromUtf8(data, int(size));
#endif
}

bool toText(const QString &text, QString &value)
{
    value = QString(text.constData(), text.size());
    return true;
}

bool toText(Utf8 text, QString &value)
{
    value = text.toString();
    return true;
}

bool toUnsigned(const QString &text, quint32 &value)
{
    return unsigned32From(text, 10, value);
}

bool toUnsigned(Utf8 text, quint32 &value)
{
    return unsigned32From(text, 10, value);
}

bool toHex(const QString &text, quint32 &value)
{
    return unsigned32From(text, 16, value);
}

bool toHex(Utf8 text, quint32 &value)
{
    return unsigned32From(text, 16, value);
}

bool toSigned(const QString &text, qint32 &value)
{
    return signedFrom(text, value);
}

bool toSigned(Utf8 text, qint32 &value)
{
    return signedFrom(text, value);
}

bool toReal(const QString &text, double &value)
{
    return realFrom(text, value);
}

bool toReal(Utf8 text, double &value)
{
    return realFrom(text, value);
}

bool toFlag(const QString &text, bool &value)
{
    return flagFrom(text, value);
}

bool toFlag(Utf8 text, bool &value)
{
    return flagFrom(text, value);
}

bool toByte(const QString &text, quint8 &value)
{
    return byteFrom(text, 10, value);
}

bool toByte(Utf8 text, quint8 &value)
{
    return byteFrom(text, 10, value);
}

bool toHexByte(const QString &text, quint8 &value)
{
    return byteFrom(text, 16, value);
}

bool toHexByte(Utf8 text, quint8 &value)
{
    return byteFrom(text, 16, value);
}

bool toShort(const QString &text, quint16 &value)
{
    return shortFrom(text, value);
}

bool toShort(Utf8 text, quint16 &value)
{
    return shortFrom(text, value);
}

bool toColour(const QString &text, QColor &value)
{
    QColor colour;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    colour = QColor::fromString(text);
#else
    colour.setNamedColor(text);
#endif
    value = colour;
    return true;
}

bool toColour(Utf8 text, QColor &value)
{
    return toColour(text.toString(), value);
}

bool toOldCoordinate(const QString &text, bool translate, double &value)
{
    return oldCoordinateFrom(text, translate, value);
}

bool toOldCoordinate(Utf8 text, bool translate, double &value)
{
    return oldCoordinateFrom(text, translate, value);
}

} // namespace ElementText
