#include "MapTextWriter.h"

#include <LumoMapModel.h>

#include <QDateTime>
#include <QSaveFile>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <exception>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

enum class Written
{
    Whole,
    Failed,
    OutOfMemory,
};

// The save itself. Running out of memory (or of the sizes the containers can hold) stops it: the
// stream's status then says the write failed, and no exception reaches the host.
Written writeMap(LumoMapModel &model, QTextStream &stream) noexcept
{
    try {
        model.mapfileversion = model.getLibraryMapFileVersion();
        return MapTextWriter::write(model, stream, QDateTime::currentDateTime()) ? Written::Whole
                                                                               : Written::Failed;
    } catch (const std::exception &) {
        stream.setStatus(QTextStream::WriteFailed);
        return Written::OutOfMemory;
    }
}

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

bool LumoMapModel::save(QTextStream &stream)
{
    return writeMap(*this, stream) == Written::Whole;
}

bool LumoMapModel::saveToFile(const QString &fileName)
{
    // QSaveFile writes a temporary file beside the target and renames it over the target only once
    // everything is written, so a failure at any point leaves the old file as it was. A failed
    // write is caught by save() itself: QSaveFile would still commit a text cut short.
    try {
        QSaveFile file(fileName);
        QString reason;
        if (!file.open(QIODevice::WriteOnly)) {
            reason = file.errorString();
        } else {
            QTextStream stream(&file);
            const Written written = writeMap(*this, stream);
            if (written == Written::OutOfMemory)
                reason = QStringLiteral("Not enough memory to write the map.");
            else if (written == Written::Failed)
                reason = writeFailure(file);
            else if (!file.commit())
                reason = file.errorString();
        }
        if (reason.isNull())
            return true;
        file.cancelWriting();
        lastError = QStringLiteral("Unable to save file: ") + fileName + QStringLiteral(": ") + reason;
    } catch (const std::exception &) {
        // The temporary file goes with the QSaveFile; a string literal needs no memory.
        lastError = QStringLiteral("Unable to save file: Not enough memory to write the map.");
    }
    return false;
}
