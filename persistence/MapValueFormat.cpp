#include "MapValueFormat.h"

#include <QColor>
#include <QDateTime>

namespace MapValueFormat {

QString unsignedNumber(quint32 value)
{
    return QString::number(value, 10);
}

QString signedNumber(qint32 value)
{
    return QString::number(value, 10);
}

QString hexNumber(quint32 value)
{
    return QString::number(value, 16);
}

QString real(double value)
{
    // QString::number never applies a locale, so the separator is a full stop everywhere.
    return QString::number(value, 'g', 6);
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString colour(const QColor &value)
{
    return value.name();
}

QString dateTime(const QDateTime &value)
{
    return value.toString(Qt::TextDate);
}

} // namespace MapValueFormat
