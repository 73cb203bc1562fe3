#ifndef ELEMENTTEXTCONVERSION_H
#define ELEMENTTEXTCONVERSION_H

// The conversions of trimmed element text into field values, one function per kind. Each number
// conversion returns false, and leaves `value` as it was, when the text is not a number in the
// kind's base or lies outside the kind's range: the unsigned kinds (unsigned, hex, byte, hex byte)
// accept what fits in 32 unsigned bits, the signed kinds (signed, flag, short, old coordinate)
// what fits in 32 signed bits. Byte, hex byte and short then keep only their low 8 or 16 bits.

#include <QColor>
#include <QString>

namespace ElementText {

// Element text as UTF-8 bytes, as the subset reader delivers it; not owned. Every conversion gives
// for it exactly what it gives for the same text as a QString.
struct Utf8
{
    const char *data;
    qsizetype size;

    QString toString() const;
};

// Any text, copied into a string of its own size. Never fails.
bool toText(const QString &text, QString &value);
bool toUnsigned(const QString &text, quint32 &value); // decimal
bool toHex(const QString &text, quint32 &value);      // hexadecimal digits, no prefix needed
bool toSigned(const QString &text, qint32 &value);    // decimal, optional sign
bool toReal(const QString &text, double &value);      // C locale, full stop as decimal separator
bool toFlag(const QString &text, bool &value);        // a decimal integer; true unless it is 0
bool toByte(const QString &text, quint8 &value);      // decimal, low 8 bits kept
bool toHexByte(const QString &text, quint8 &value);   // hexadecimal, low 8 bits kept
bool toShort(const QString &text, quint16 &value);    // signed decimal, low 16 bits kept
// Any text: a colour name or #rrggbb; an unknown name gives an invalid colour. Never fails.
bool toColour(const QString &text, QColor &value);
// A whole signed decimal number of the legacy map. With `translate` set the value is rescaled from
// the old coordinate grid to the new one: divided by 12.0, then multiplied by 10.0.
bool toOldCoordinate(const QString &text, bool translate, double &value);

bool toText(Utf8 text, QString &value);
bool toUnsigned(Utf8 text, quint32 &value);
bool toHex(Utf8 text, quint32 &value);
bool toSigned(Utf8 text, qint32 &value);
bool toReal(Utf8 text, double &value);
bool toFlag(Utf8 text, bool &value);
bool toByte(Utf8 text, quint8 &value);
bool toHexByte(Utf8 text, quint8 &value);
bool toShort(Utf8 text, quint16 &value);
bool toColour(Utf8 text, QColor &value);
bool toOldCoordinate(Utf8 text, bool translate, double &value);

} // namespace ElementText

#endif // ELEMENTTEXTCONVERSION_H
