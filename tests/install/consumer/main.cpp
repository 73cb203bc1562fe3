#include <LumoFixtureTemplate.h>
#include <LumoMapModel.h>
#include <LumoMapParser.h>
#include <LumoRegion.h>

#include <QXmlInputSource>
#include <QXmlSimpleReader>

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
    bool ok = copy.getMapName() == QStringLiteral("Consumer") && copy.regions.size() == 1
              && copy.fixtureTemplates.size() == 1 && copy.getLibraryMapFileVersion() == 2;

    // A host driving its own reader with the installed parser header alone.
    LumoMapModel parsed;
    LumoMapParser parser(&parsed);
    QXmlInputSource source;
    source.setData(QStringLiteral("<lumomap><mapname>Parsed</mapname><region/></lumomap>"));
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    ok = ok && reader.parse(&source, false) && parsed.getMapName() == QStringLiteral("Parsed")
         && parsed.regions.size() == 1 && parser.stateStack.isEmpty();

    std::puts(ok ? "consumer: ok" : "consumer: unexpected model");
    return ok ? 0 : 1;
}
