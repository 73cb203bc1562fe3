// Fuzz target: the loader through loadFromFile, so that the reader decodes the raw bytes itself
// (byte-order marks, encodings) and the post-load calculation runs. A loaded document must save to a
// text that loads again.

#include <TestSupport.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace TestSupport;
    LumoMapModel model;
    const bool loaded =
        model.loadFromFile(writeTemporaryFile(QByteArray(reinterpret_cast<const char *>(data), int(size))));
    const QString problem = loadProblem(model, loaded);
    require(problem.isEmpty(), "unsound load", problem);
    if (loaded) {
        const QString saved = saveToString(model);
        LumoMapModel copy;
        require(copy.loadFromText(saved), "a saved document does not load again",
                copy.lastError + QLatin1Char('\n') + saved);
    }
    return 0;
}
