// A host program of the LumoMap library: builds a small map, saves it, loads it back and prints
// what it loaded.
//
//   lumomap-host-example [FILE]     (default: example-map.xml in the current directory)

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? app.arguments().at(1) : QStringLiteral("example-map.xml");

    LumoMapModel map; // owns every record put into its collections
    map.setMapName(QStringLiteral("Foyer"));
    map.setCreatingAppName(QStringLiteral("lumomap-host-example"));
    map.setCreatingAppVersion(QStringLiteral("1.0"));

    // A fixture template: an LED bar of four RGB nodes, 10 units apart.
    auto *bar = new LumoFixtureTemplate; // uid from the process-wide template counter
    bar->name = QStringLiteral("LED Bar");
    for (int i = 0; i < 4; ++i) {
        auto *node = new LumoNode;
        node->x = 10.0 * i;
        node->addr = 1 + 3 * i;
        node->channelCount = 3;
        bar->nodelist.append(node); // the template owns its nodes
    }
    map.fixtureTemplates.insert(bar->uid, bar);

    // An interface template with one output carrying one bar.
    auto *box = new LumoInterfaceTemplate;
    box->uid = map.getUniqueID();
    box->name = QStringLiteral("Wall Box");
    auto *output = new LumoOutput;
    output->portnum = 1;
    auto *fixture = new LumoFixture;
    fixture->templateid = bar->uid;
    fixture->name = QStringLiteral("Bar above the door");
    fixture->y = 5.0;
    output->fixtures.append(fixture); // the interface template owns its outputs and their fixtures
    box->outputs.append(output);
    map.interfaceTemplates.insert(box->uid, box);

    // A region, and an interface placing the template in it.
    auto *region = new LumoRegion;
    region->number = 1;
    region->name = QStringLiteral("Entrance");
    region->color = QColor(255, 160, 0);
    map.regions.insert(region->number, region);

    auto *interface = new LumoInterface;
    interface->uid = map.getUniqueID();
    interface->templateid = box->uid;
    interface->region = region->number;
    interface->name = QStringLiteral("Door");
    interface->ip = QStringLiteral("10.0.0.5");
    interface->x = 100.0;
    interface->y = 40.0;
    map.interfaces.insert(interface->uid, interface);
    map.interfacesByOrder.insert(interface->order, interface);

    // Save atomically: the file is either the old one or the complete new one.
    if (!map.saveToFile(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(map.getLastError()));
        return 1;
    }

    // Load it back into a fresh document.
    LumoMapModel loaded;
    if (!loaded.loadFromFile(path)) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), qPrintable(loaded.getLastError()));
        return 1;
    }

    QTextStream out(stdout);
    out << "Loaded \"" << loaded.getMapName() << "\" (map file version " << loaded.getMapFileVersion()
        << ") from " << path << "\n";
    for (const LumoInterface *i : loaded.interfaces) {
        const LumoInterfaceTemplate *t = loaded.interfaceTemplates.value(i->templateid);
        const LumoRegion *r = loaded.regions.value(i->region);
        out << "interface " << i->name << " at " << i->ip << ", region "
            << (r ? r->name : QStringLiteral("?")) << " " << (r ? r->color.name() : QString())
            << ", template " << (t ? t->name : QStringLiteral("?")) << "\n";
        for (const LumoOutput *o : t ? t->outputs : QList<LumoOutput *>()) {
            for (const LumoFixture *f : o->fixtures) {
                const LumoFixtureTemplate *ft = loaded.fixtureTemplates.value(f->templateid);
                out << "  port " << int(o->portnum) << ": " << f->name << " at (" << f->x << ", " << f->y
                    << "), " << (ft ? ft->nodelist.size() : 0) << " nodes of "
                    << (ft ? ft->name : QStringLiteral("?")) << "\n";
            }
        }
    }
    return 0;
}
