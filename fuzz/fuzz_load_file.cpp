// Fuzz target: the loader through loadFromFile, so that the reader decodes the raw bytes itself
// (byte-order marks, encodings) and the post-load calculation runs on every fuzzed document. The
// loaded model is then saved and the saved text must load again.

#include "FuzzSupport.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

const QString &inputPath()
{
    static const QString path = [] {
        // A file in memory where the system offers one: the target rewrites it for every input.
        const QDir shm(QStringLiteral("/dev/shm"));
        const QDir directory = shm.exists() ? shm : QDir::temp();
        const QString p = directory.filePath(QStringLiteral("lumomap-fuzz-load-file-%1.xml").arg(getpid()));
        std::atexit([] { QFile::remove(inputPath()); });
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace FuzzSupport;

    QFile file(inputPath());
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the fuzz input file");
    require(file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) ==
                static_cast<qint64>(size),
            "short write of the fuzz input file");
    file.close();

    LumoMapModel model;
    const bool loaded = model.loadFromFile(inputPath());
    requireLoadMessage(model, loaded);
    requireConsistentIndexes(model);
    if (!loaded)
        return 0;
    requireOrderIndexMatches(model);

    const QString saved = saveToString(model);
    LumoMapModel copy;
    require(copy.loadFromText(saved), "a model loaded from a file does not load again after saving",
            copy.lastError + QStringLiteral("\n") + saved);
    requireConsistentIndexes(copy);
    return 0;
}
