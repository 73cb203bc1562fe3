// Fuzz target: the loader on arbitrary bytes through loadFromText. The seeds hold current and legacy
// maps and the dictionary the element names of both, so both dialects are reached. The result must
// agree with lastError and every index must point at records the document owns.

#include <TestSupport.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LumoMapModel model;
    const bool loaded =
        model.loadFromText(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    const QString problem = TestSupport::loadProblem(model, loaded);
    TestSupport::require(problem.isEmpty(), "unsound load", problem);
    return 0;
}
