#include "LumoMapCheck.h"

class LumoMapCheckOptionsData : public QSharedData
{
public:
    LumoWiringOptions wiring;
    int maxPixelsPerPort = 1024;
};

LumoMapCheckOptions::LumoMapCheckOptions() : d(new LumoMapCheckOptionsData) {}
LumoMapCheckOptions::LumoMapCheckOptions(const LumoMapCheckOptions &other) = default;
LumoMapCheckOptions::LumoMapCheckOptions(LumoMapCheckOptions &&other) noexcept = default;
LumoMapCheckOptions &LumoMapCheckOptions::operator=(const LumoMapCheckOptions &other) = default;
LumoMapCheckOptions &LumoMapCheckOptions::operator=(LumoMapCheckOptions &&other) noexcept = default;
LumoMapCheckOptions::~LumoMapCheckOptions() = default;

LumoWiringOptions LumoMapCheckOptions::wiring() const { return d->wiring; }
void LumoMapCheckOptions::setWiring(const LumoWiringOptions &wiring) { d->wiring = wiring; }

int LumoMapCheckOptions::maxPixelsPerPort() const { return d->maxPixelsPerPort; }
void LumoMapCheckOptions::setMaxPixelsPerPort(int maxPixelsPerPort) { d->maxPixelsPerPort = maxPixelsPerPort; }
