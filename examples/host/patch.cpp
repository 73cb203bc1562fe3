// A host program that prints the patch of a map through LumoWiring: for every node, the controller,
// port, universe and channel its data goes to.
//
//   lumomap-host-patch MAP

#include <LumoFixture.h>
#include <LumoInterface.h>
#include <LumoMapModel.h>
#include <LumoWiring.h>

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    LumoMapModel map;
    if (argc < 2 || !map.loadFromFile(app.arguments().at(1))) {
        QTextStream(stderr) << "usage: lumomap-host-patch MAP\n" << map.getLastError() << "\n";
        return 1;
    }
    const LumoWiring wiring(map); // universes of 510 channels from each interface's uni
    for (const LumoWiredInterface &controller : wiring.interfaces) {
        for (const LumoWiredPort &port : controller.ports) {
            for (const LumoWiredNode &node : port.nodes)
                out << controller.record->ip << " port " << port.port << " node " << node.chainNumber
                    << " (" << node.fixture->name << "): universe " << node.universe << " channel " << node.channel
                    << "\n";
        }
    }
    return 0;
}
