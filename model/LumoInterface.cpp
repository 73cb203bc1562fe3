#include "LumoInterface.h"

LumoInterface::LumoInterface()
    : uid(0xFFFFFFFFu), templateid(0xFFFFFFFFu), region(0), name(QStringLiteral("Interface")), x(0.0), y(0.0),
      theta(0.0), ip(QStringLiteral("0.0.0.0")), mac(QStringLiteral("BC:BC:DE:AD:BE:EF")), flags(0),
      sn(0xFFFFFFFFu), ver(0), uni(0), id(QStringLiteral("Interface ID String")), order(0)
{
}
