// Fuzz target: the round trip. Whenever the bytes load, the document is saved and the text loaded
// into a fresh document, which must be sound; saved and loaded once more, it must come back with the
// very same records. (The first save may change values by design: reals keep six significant
// digits, texts lose the white space at their ends.)

#include <TestSupport.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace TestSupport;
    LumoMapModel original;
    if (!original.loadFromText(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size))))
        return 0;
    const QString firstText = saveToString(original);
    LumoMapModel first;
    require(first.loadFromText(firstText), "a saved document does not load again",
            first.lastError + QLatin1Char('\n') + firstText);
    require(loadProblem(first, true).isEmpty(), "unsound reload", loadProblem(first, true));
    require(first.interfaces.size() == original.interfaces.size() &&
                first.fixtureTemplates.size() == original.fixtureTemplates.size(),
            "records lost across a save and load");
    LumoMapModel second;
    require(second.loadFromText(saveToString(first)) && dump(second) == dump(first),
            "records changed across the second save and load",
            (dump(first) + dump(second)).join(QLatin1Char('\n')));
    return 0;
}
