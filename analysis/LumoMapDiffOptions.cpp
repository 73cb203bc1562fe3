#include "LumoMapDiff.h"

class LumoMapDiffOptionsData : public QSharedData
{
public:
    bool compareSaveTime = false;
    bool numberLegacyTemplatesFromZero = false;
};

LumoMapDiffOptions::LumoMapDiffOptions() : d(new LumoMapDiffOptionsData) {}
LumoMapDiffOptions::LumoMapDiffOptions(const LumoMapDiffOptions &other) = default;
LumoMapDiffOptions::LumoMapDiffOptions(LumoMapDiffOptions &&other) noexcept = default;
LumoMapDiffOptions &LumoMapDiffOptions::operator=(const LumoMapDiffOptions &other) = default;
LumoMapDiffOptions &LumoMapDiffOptions::operator=(LumoMapDiffOptions &&other) noexcept = default;
LumoMapDiffOptions::~LumoMapDiffOptions() = default;

bool LumoMapDiffOptions::compareSaveTime() const { return d->compareSaveTime; }
void LumoMapDiffOptions::setCompareSaveTime(bool compareSaveTime) { d->compareSaveTime = compareSaveTime; }

bool LumoMapDiffOptions::numberLegacyTemplatesFromZero() const { return d->numberLegacyTemplatesFromZero; }
void LumoMapDiffOptions::setNumberLegacyTemplatesFromZero(bool numberLegacyTemplatesFromZero)
{
    d->numberLegacyTemplatesFromZero = numberLegacyTemplatesFromZero;
}
