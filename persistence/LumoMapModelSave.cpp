#include "MapTextWriter.h"

#include <LumoMapModel.h>

#include <QDateTime>
#include <QSaveFile>
#include <QTextStream>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

bool LumoMapModel::save(QTextStream &stream)
{
    mapfileversion = getLibraryMapFileVersion();
    return MapTextWriter::write(*this, stream, QDateTime::currentDateTime());
}

namespace {

// Why the device refused the text. A write that stops short (the disk fills up, the file reaches the
// size limit) leaves Qt without a message of its own, so one more byte written straight to the
// temporary file asks the system for the reason.
QString writeFailure(QSaveFile &file)
{
#ifdef Q_OS_UNIX
    errno = 0;
    if (file.handle() >= 0 && ::write(file.handle(), "\n", 1) < 0 && errno != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
#endif
    return file.errorString();
}

} // namespace

bool LumoMapModel::saveToFile(const QString &fileName)
{
    // QSaveFile writes a temporary file beside the target and renames it over the target only once
    // everything is written, so a failure at any point leaves the old file as it was. A failed
    // write is caught by save() itself: QSaveFile would still commit a text cut short.
    QSaveFile file(fileName);
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else {
        QTextStream stream(&file);
        if (!save(stream))
            reason = writeFailure(file);
        else if (!file.commit())
            reason = file.errorString();
    }
    if (reason.isNull())
        return true;
    file.cancelWriting();
    lastError = QStringLiteral("Unable to save file: ") + fileName + QStringLiteral(": ") + reason;
    return false;
}
