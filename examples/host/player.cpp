// A show player of a few lines on the LumoMap libraries: plays a colour wipe across a map's nodes over
// sACN, each controller's universes to its IP (or all to ADDRESS), for SECONDS, then ends the streams.
// Every controller's first port starts at universe 1, the first one sACN carries.
//
//   lumomap-host-player MAP [ADDRESS [SECONDS]]     (default: each controller's IP, 10 seconds)

#include <LumoFrame.h>
#include <LumoMapModel.h>
#include <LumoOutputSender.h>
#include <LumoWiring.h>

#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: lumomap-host-player MAP [ADDRESS [SECONDS]]\n");
        return 2;
    }
    LumoMapModel map;
    if (!map.loadFromFile(arguments.at(1))) {
        std::fprintf(stderr, "%s\n", qPrintable(map.lastError));
        return 2;
    }
    LumoWiringOptions wiringOptions;
    wiringOptions.setStartUniverse(1);
    const LumoWiring wiring(map, wiringOptions);
    LumoFrame frame(wiring);
    LumoOutputOptions options; // sACN, priority 100, 40 frames a second
    if (arguments.size() > 2)
        options.setDestination(QHostAddress(arguments.at(2)));
    LumoOutputSender sender(options);
    if (!sender.start(frame)) {
        std::fprintf(stderr, "%s\n", qPrintable(sender.errorString()));
        return 2;
    }

    // Each node's place across the map, from 0 at the left to 1 at the right, in the frame's node order.
    std::vector<double> across;
    for (const LumoWiredInterface &interface : wiring.interfaces)
        for (const LumoWiredPort &port : interface.ports)
            for (const LumoWiredNode &node : port.nodes)
                across.push_back(wiring.extent.width() > 0 ? (node.position.x() - wiring.extent.minX) / wiring.extent.width() : 0);

    const qint64 seconds = arguments.size() > 3 ? arguments.at(3).toLongLong() : 10;
    QElapsedTimer clock;
    clock.start();
    std::vector<quint8> colours(across.size() * 3);
    while (clock.elapsed() < seconds * 1000) {
        const double time = clock.elapsed() / 4000.0; // one wipe every four seconds
        for (size_t n = 0; n < across.size(); ++n) {
            const QColor colour = QColor::fromHsvF(std::fmod(across[n] - time + 2.0, 1.0), 1.0, 1.0);
            colours[3 * n] = quint8(colour.red());
            colours[3 * n + 1] = quint8(colour.green());
            colours[3 * n + 2] = quint8(colour.blue());
        }
        frame.setNodes(0, frame.nodeCount(), colours.data(), 3);
        sender.send(frame); // at most 40 frames a second; unchanged universes are kept alive
        for (const QString &warning : sender.takeWarnings())
            std::fprintf(stderr, "warning: %s\n", qPrintable(warning));
        QThread::msleep(25);
    }
    sender.stop(); // a frame of zeros, then the end of every stream
    std::printf("%lld packets sent\n", sender.packetCount());
    return 0;
}
