#include "LumoWiring.h"

// The options as set; LumoWiring normalises them where it takes them.
class LumoWiringOptionsData : public QSharedData
{
public:
    int universeSize = 510;
    qint64 startUniverse = -1;
    int channelsPerNode = 3;
    int milliampsPerPixel = 60;
    int universesPerPort = 0;
};

LumoWiringOptions::LumoWiringOptions() : d(new LumoWiringOptionsData) {}
LumoWiringOptions::LumoWiringOptions(const LumoWiringOptions &other) = default;
LumoWiringOptions::LumoWiringOptions(LumoWiringOptions &&other) noexcept = default;
LumoWiringOptions &LumoWiringOptions::operator=(const LumoWiringOptions &other) = default;
LumoWiringOptions &LumoWiringOptions::operator=(LumoWiringOptions &&other) noexcept = default;
LumoWiringOptions::~LumoWiringOptions() = default;

int LumoWiringOptions::universeSize() const { return d->universeSize; }
void LumoWiringOptions::setUniverseSize(int universeSize) { d->universeSize = universeSize; }

qint64 LumoWiringOptions::startUniverse() const { return d->startUniverse; }
void LumoWiringOptions::setStartUniverse(qint64 startUniverse) { d->startUniverse = startUniverse; }

int LumoWiringOptions::channelsPerNode() const { return d->channelsPerNode; }
void LumoWiringOptions::setChannelsPerNode(int channelsPerNode) { d->channelsPerNode = channelsPerNode; }

int LumoWiringOptions::milliampsPerPixel() const { return d->milliampsPerPixel; }
void LumoWiringOptions::setMilliampsPerPixel(int milliampsPerPixel) { d->milliampsPerPixel = milliampsPerPixel; }

int LumoWiringOptions::universesPerPort() const { return d->universesPerPort; }
void LumoWiringOptions::setUniversesPerPort(int universesPerPort) { d->universesPerPort = universesPerPort; }
