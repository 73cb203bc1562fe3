// Fuzz target: the loader on arbitrary bytes through loadFromText. The seed corpus holds current and
// legacy maps, so both dialects are reached; the dictionary holds the element names of both.
// Checks: no crash, leak or sanitizer report; the result agrees with lastError; the indexes of a
// loaded model only point at records it owns.

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LumoMapModel model;
    const bool loaded = model.loadFromText(FuzzSupport::textFromBytes(data, size));
    FuzzSupport::requireLoadMessage(model, loaded);
    FuzzSupport::requireConsistentIndexes(model);
    if (loaded)
        FuzzSupport::requireOrderIndexMatches(model);
    return 0;
}
