#ifndef MAPVALUEFORMAT_H
#define MAPVALUEFORMAT_H

// The text encodings of the map file's leaf values, one function per encoding. Both routes that
// write a map file (the DOM route of the record save members and the streaming text writer) take
// every leaf text from here, so the two cannot drift apart. Numbers come as AsciiText, formatted in
// place without a heap allocation, because a large map writes hundreds of thousands of them.

#include "lumomap_autotest_export.h"

#include <QLatin1String>
#include <QString>

class QColor;
class QDateTime;

namespace MapValueFormat {

// A short ASCII text held in place.
struct AsciiText
{
    char data[40];
    int size = 0;
    QLatin1String view() const { return QLatin1String(data, size); }
};

// Decimal digits, no sign, no leading zeros. Used for unsigned fields of 8, 16 and 32 bits.
AsciiText unsignedNumber(quint32 value);
// Decimal digits with a leading minus sign for negative values.
AsciiText signedNumber(qint32 value);
// Lower-case hexadecimal digits, no prefix, no padding (0xffffffff gives "ffffffff", 10 gives "a").
AsciiText hexNumber(quint32 value);
// Exactly the text of QString::number(value, 'g', 6): six significant digits, rounded to nearest
// with exact ties away from zero; the exponent form ("1e+06", "1.5e-05") when the decimal exponent is
// below -4 or above 5; no trailing zeros; "inf", "-inf", "nan", and "0" for both zeros. The
// decimal separator is always a full stop. Exported to the tests, which hold it to Qt's text.
LUMOMAP_AUTOTEST_EXPORT AsciiText real(double value);
// "1" or "0".
QLatin1String flag(bool value);
// "#rrggbb" in lower case; the alpha channel is not stored.
QString colour(const QColor &value);
// The date and time in Qt's text form, e.g. "Fri Dec 4 19:29:19 2026".
QString dateTime(const QDateTime &value);

// Element text is written as it is, except for these code units, which the readers cannot take
// back as they stand and which are therefore written as hexadecimal character references such as
// "&#xffff;" (the readers turn such a reference back into exactly that code unit): U+FFFE and
// U+FFFF (the XML reader takes a literal one for the end of its input, so the load fails), and a
// surrogate without its partner (UTF-8 cannot encode it, so it would reach a file as a
// replacement character). `at` indexes `text`, a string of `size` code units.
bool needsCharacterReference(const QChar *text, qsizetype size, qsizetype at);
// "&#x" + lower-case hexadecimal digits + ";".
AsciiText characterReference(QChar character);

} // namespace MapValueFormat

#endif // MAPVALUEFORMAT_H
