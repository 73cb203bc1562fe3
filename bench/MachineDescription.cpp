#include "MachineDescription.h"

#include <QFile>
#include <QSysInfo>
#include <QThread>
#include <QtGlobal>

namespace {

// The value of the first line of a /proc file that starts with `key`, after its colon.
QString procField(const QString &path, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    // Files under /proc report size 0, so read until the end rather than asking atEnd().
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(key))
            return line.section(QLatin1Char(':'), 1).trimmed();
    }
    return QStringLiteral("unknown");
}

} // namespace

namespace MachineDescription {

QString markdown()
{
    return QStringLiteral("- CPU: %1, %2 logical processors (QThread::idealThreadCount)\n"
                          "- memory: %3\n"
                          "- system: %4, kernel %5\n"
                          "- Qt: built against %6, running on %7\n")
        .arg(procField(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name")))
        .arg(QThread::idealThreadCount())
        .arg(procField(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal")))
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion(), QStringLiteral(QT_VERSION_STR),
             QString::fromLatin1(qVersion()));
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromUtf8(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

} // namespace MachineDescription
