#ifndef HOSTILELOAD_H
#define HOSTILELOAD_H

// Loading one document through either loader, as a host would: loadFromFile reads the bytes from a
// file, loadFromText receives them decoded the way a host decodes a file (a byte-order mark picks
// UTF-16, anything else is UTF-8). Each load gets a fresh model and is timed.

#include <LumoMapModel.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#include <sys/resource.h>

namespace HostileLoad {

enum class Loader
{
    Text,
    File
};

inline const char *loaderName(Loader loader)
{
    return loader == Loader::Text ? "loadFromText" : "loadFromFile";
}

struct Outcome
{
    bool loaded = false;
    std::unique_ptr<LumoMapModel> model = std::make_unique<LumoMapModel>();
    qint64 milliseconds = 0;
};

inline QString decodeLikeAHost(const QByteArray &bytes)
{
    const auto byte = [&bytes](int i) { return static_cast<unsigned char>(bytes.at(i)); };
    if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool littleEndian = byte(0) == 0xFF;
        QString text;
        for (int i = 2; i + 1 < bytes.size(); i += 2) {
            const ushort unit = littleEndian ? static_cast<ushort>(byte(i) | byte(i + 1) << 8)
                                             : static_cast<ushort>(byte(i) << 8 | byte(i + 1));
            text.append(QChar(unit));
        }
        return text;
    }
    // With an explicit size: Qt 5's QByteArray overload stops at the first NUL byte.
    const int skip = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    return QString::fromUtf8(bytes.constData() + skip, bytes.size() - skip);
}

// Loads `bytes` through `loader` into a fresh model. The file loader writes them to `directory`.
inline Outcome load(Loader loader, const QByteArray &bytes, const QTemporaryDir &directory)
{
    Outcome outcome;
    QElapsedTimer timer;
    if (loader == Loader::Text) {
        const QString text = decodeLikeAHost(bytes);
        timer.start();
        outcome.loaded = outcome.model->loadFromText(text);
    } else {
        const QString path = directory.filePath(QStringLiteral("input.xml"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        file.close();
        timer.start();
        outcome.loaded = outcome.model->loadFromFile(path);
    }
    outcome.milliseconds = timer.elapsed();
    return outcome;
}

inline QByteArray readDataFile(const QString &name)
{
    QFile file(QStringLiteral(LUMOMAP_TEST_DATA_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read test data %s", qPrintable(name));
    return file.readAll();
}

// The peak resident size of the process so far, in MiB.
inline long peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace HostileLoad

#endif // HOSTILELOAD_H
