#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoFrame.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoMapPainter.h>
#include <LumoMapParser.h>
#include <LumoRegion.h>
#include <LumoWiring.h>

#include <QBuffer>
#include <QGuiApplication>

#include <QXmlInputSource>
#include <QXmlSimpleReader>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    LumoMapModel model;
    model.setMapName(QStringLiteral("Consumer"));
    auto *region = new LumoRegion;
    region->number = model.getUniqueID();
    model.regions.insert(region->number, region);
    auto *fixtureTemplate = new LumoFixtureTemplate;
    for (int addr : {1, 4}) {
        fixtureTemplate->nodelist.append(new LumoNode);
        fixtureTemplate->nodelist.last()->addr = addr;
        fixtureTemplate->nodelist.last()->x = addr;
    }
    model.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
    auto *interfaceTemplate = new LumoInterfaceTemplate;
    interfaceTemplate->uid = model.getUniqueID();
    interfaceTemplate->outputs.append(new LumoOutput);
    interfaceTemplate->outputs.last()->fixtures.append(new LumoFixture);
    interfaceTemplate->outputs.last()->fixtures.last()->templateid = fixtureTemplate->uid;
    model.interfaceTemplates.insert(interfaceTemplate->uid, interfaceTemplate);
    auto *controller = new LumoInterface;
    controller->uid = model.getUniqueID();
    controller->templateid = interfaceTemplate->uid;
    controller->region = region->number;
    model.interfaces.insert(controller->uid, controller);

    const LumoMapModel copy(model);
    const LumoWiring wiring(copy);
    LumoMapPicture picture;
    picture.setArea(QRectF(0, 0, 64, 48));
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    bool ok = copy.getMapName() == QStringLiteral("Consumer") && copy.getLibraryMapFileVersion() == 2
              && wiring.nodeCount == 2 && wiring.interfaces.value(0).ports.value(0).lastAddress == 6
              && LumoMapPainter::writePng(png, copy, wiring, picture) && png.data().startsWith("\x89PNG");
    const LumoFrame frame(wiring);
    ok = ok && frame.isValid() && frame.nodeCount() == 2 && frame.universeCount() == 1;

    // A host driving its own reader with the installed parser header alone.
    LumoMapModel parsed;
    LumoMapParser parser(&parsed);
    QXmlInputSource source;
    source.setData(QStringLiteral("<lumomap><mapname>Parsed</mapname><region/></lumomap>"));
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    ok = ok && reader.parse(&source, false) && parsed.getMapName() == QStringLiteral("Parsed")
         && parsed.regions.size() == 1 && parser.stateStack.isEmpty();
    std::puts(ok ? "consumer: ok" : "consumer: unexpected model, wiring, picture, frame or parse");
    return ok ? 0 : 1;
}
