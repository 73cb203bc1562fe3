#include <LumoFixtureTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <cstdio>

int main()
{
    LumoMapModel model;
    model.setMapName(QStringLiteral("Consumer"));
    auto *region = new LumoRegion;
    region->number = model.getUniqueID();
    model.regions.insert(region->number, region);
    auto *fixtureTemplate = new LumoFixtureTemplate;
    fixtureTemplate->nodelist.append(new LumoNode);
    model.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
    const LumoMapModel copy(model);
    const bool ok = copy.getMapName() == QStringLiteral("Consumer") && copy.regions.size() == 1
                    && copy.fixtureTemplates.size() == 1 && copy.getLibraryMapFileVersion() == 2;
    std::puts(ok ? "consumer: ok" : "consumer: unexpected model");
    return ok ? 0 : 1;
}
