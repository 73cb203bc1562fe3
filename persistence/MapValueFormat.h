#ifndef MAPVALUEFORMAT_H
#define MAPVALUEFORMAT_H

// The text encodings of the map file's leaf values, one function per encoding. Both routes that
// write a map file (the DOM route of the record save members and the streaming text writer) take
// every leaf text from here, so the two cannot drift apart.

#include <QString>

class QColor;
class QDateTime;

namespace MapValueFormat {

// Decimal digits, no sign, no leading zeros. Used for unsigned fields of 8, 16 and 32 bits.
QString unsignedNumber(quint32 value);
// Decimal digits with a leading minus sign for negative values.
QString signedNumber(qint32 value);
// Lower-case hexadecimal digits, no prefix, no padding (0xffffffff gives "ffffffff", 10 gives "a").
QString hexNumber(quint32 value);
// At most six significant digits, 'g' style: 0.1 gives "0.1", 1234.5678 gives "1234.57",
// 1e6 gives "1e+06". The decimal separator is always a full stop.
QString real(double value);
// "1" or "0".
QString flag(bool value);
// "#rrggbb" in lower case; the alpha channel is not stored.
QString colour(const QColor &value);
// The date and time in Qt's text form, e.g. "Fri Dec 4 19:29:19 2026".
QString dateTime(const QDateTime &value);

} // namespace MapValueFormat

#endif // MAPVALUEFORMAT_H
