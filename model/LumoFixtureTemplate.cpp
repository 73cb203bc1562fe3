#include "LumoFixtureTemplate.h"

#include <atomic>

namespace {

// The process-wide template counter: 0 when the library is loaded, advanced once by every default
// constructed fixture template and by every generateLumoFixtureTemplateUID() call. Atomic so that
// documents built on different threads never hand out the same uid.
std::atomic<quint32> templateCounter{0};

quint32 takeTemplateCounterValue()
{
    return templateCounter.fetch_add(1, std::memory_order_relaxed);
}

QList<LumoNode *> copyNodes(const QList<LumoNode *> &nodes)
{
    QList<LumoNode *> copies;
    copies.reserve(nodes.size());
    for (const LumoNode *node : nodes)
        copies.append(node ? new LumoNode(*node) : nullptr);
    return copies;
}

} // namespace

LumoFixtureTemplate::LumoFixtureTemplate()
    : uid(takeTemplateCounterValue()), name(QStringLiteral("Fixture Template")), locked(true), xoffset(0.0),
      yoffset(0.0)
{
}

LumoFixtureTemplate::LumoFixtureTemplate(const LumoFixtureTemplate &other)
    : uid(other.uid), name(other.name), locked(other.locked), xoffset(other.xoffset), yoffset(other.yoffset),
      nodelist(copyNodes(other.nodelist))
{
}

LumoFixtureTemplate &LumoFixtureTemplate::operator=(const LumoFixtureTemplate &other)
{
    if (this == &other)
        return *this;
    // Copy the nodes first, so that assigning a template from one that shares no nodes with it can
    // never read a node this assignment has already freed.
    QList<LumoNode *> copies = copyNodes(other.nodelist);
    qDeleteAll(nodelist);
    uid = other.uid;
    name = other.name;
    locked = other.locked;
    xoffset = other.xoffset;
    yoffset = other.yoffset;
    nodelist = copies;
    return *this;
}

LumoFixtureTemplate::~LumoFixtureTemplate()
{
    qDeleteAll(nodelist);
}

int LumoFixtureTemplate::generateLumoFixtureTemplateUID()
{
    return static_cast<int>(takeTemplateCounterValue());
}
