#include "ElementTextConversion.h"

namespace ElementText {

namespace {

// QString::toULong is 64 bits wide on LP64 platforms; the map's unsigned fields are 32 bits wide.
bool toUnsigned32(const QString &text, int base, quint32 &value)
{
    bool ok = false;
    const unsigned long number = text.toULong(&ok, base);
    if (!ok || number > 0xFFFFFFFFul)
        return false;
    value = static_cast<quint32>(number);
    return true;
}

} // namespace

void toText(const QString &text, QString &value)
{
    value = QString(text.constData(), text.size());
}

bool toUnsigned(const QString &text, quint32 &value)
{
    return toUnsigned32(text, 10, value);
}

bool toHex(const QString &text, quint32 &value)
{
    return toUnsigned32(text, 16, value);
}

bool toSigned(const QString &text, qint32 &value)
{
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok)
        return false;
    value = number;
    return true;
}

bool toReal(const QString &text, double &value)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok)
        return false;
    value = number;
    return true;
}

bool toFlag(const QString &text, bool &value)
{
    qint32 number = 0;
    if (!toSigned(text, number))
        return false;
    value = number != 0;
    return true;
}

bool toByte(const QString &text, quint8 &value)
{
    quint32 number = 0;
    if (!toUnsigned32(text, 10, number))
        return false;
    value = static_cast<quint8>(number & 0xFFu);
    return true;
}

bool toHexByte(const QString &text, quint8 &value)
{
    quint32 number = 0;
    if (!toUnsigned32(text, 16, number))
        return false;
    value = static_cast<quint8>(number & 0xFFu);
    return true;
}

bool toShort(const QString &text, quint16 &value)
{
    qint32 number = 0;
    if (!toSigned(text, number))
        return false;
    value = static_cast<quint16>(static_cast<quint32>(number) & 0xFFFFu);
    return true;
}

void toColour(const QString &text, QColor &value)
{
    QColor colour;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    colour = QColor::fromString(text);
#else
    colour.setNamedColor(text);
#endif
    value = colour;
}

bool toOldCoordinate(const QString &text, bool translate, double &value)
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

} // namespace ElementText
