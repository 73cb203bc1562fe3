#include "LumoInterfaceTemplate.h"

#include "LumoFixture.h"

namespace {

LumoOutput *copyOutput(const LumoOutput &output)
{
    auto *copy = new LumoOutput(output);
    for (LumoFixture *&fixture : copy->fixtures) {
        if (fixture)
            fixture = new LumoFixture(*fixture);
    }
    return copy;
}

QList<LumoOutput *> copyOutputs(const QList<LumoOutput *> &outputs)
{
    QList<LumoOutput *> copies;
    copies.reserve(outputs.size());
    for (const LumoOutput *output : outputs)
        copies.append(output ? copyOutput(*output) : nullptr);
    return copies;
}

void deleteOutputs(const QList<LumoOutput *> &outputs)
{
    for (LumoOutput *output : outputs) {
        if (!output)
            continue;
        qDeleteAll(output->fixtures);
        delete output;
    }
}

} // namespace

LumoInterfaceTemplate::LumoInterfaceTemplate()
    : uid(0xFFFFFFFFu), name(QStringLiteral("Interface Template")), locked(true), xoffset(0.0), yoffset(0.0)
{
}

LumoInterfaceTemplate::LumoInterfaceTemplate(const LumoInterfaceTemplate &other)
    : uid(other.uid), name(other.name), locked(other.locked), xoffset(other.xoffset), yoffset(other.yoffset),
      outputs(copyOutputs(other.outputs))
{
}

LumoInterfaceTemplate &LumoInterfaceTemplate::operator=(const LumoInterfaceTemplate &other)
{
    if (this == &other)
        return *this;
    QList<LumoOutput *> copies = copyOutputs(other.outputs);
    deleteOutputs(outputs);
    uid = other.uid;
    name = other.name;
    locked = other.locked;
    xoffset = other.xoffset;
    yoffset = other.yoffset;
    outputs = copies;
    return *this;
}

LumoInterfaceTemplate::~LumoInterfaceTemplate()
{
    deleteOutputs(outputs);
}
