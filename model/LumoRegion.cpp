#include "LumoRegion.h"

LumoRegion::LumoRegion() : number(0), name(QStringLiteral("New Region")), color(Qt::red) {}
