#include "LumoFixture.h"

LumoFixture::LumoFixture()
    : templateid(0xFFFFFFFFu), name(QStringLiteral("Fixture")), x(0.0), y(0.0), theta(0.0), baseaddr(0),
      layerid(0), groupid(0), used(false)
{
}
