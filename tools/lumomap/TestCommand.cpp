// lumomap test MAP --protocol sacn|artnet [options]: lights the map's nodes in a test pattern over sACN or
// Art-Net, so that the crew can check every port against the map, and says on one line what is lit.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoFrame.h>
#include <LumoMapModel.h>
#include <LumoOutputSender.h>
#include <LumoPacketRecorder.h>
#include <LumoPatternPlayer.h>
#include <LumoTestPattern.h>
#include <LumoWiring.h>

#include <QCommandLineParser>
#include <QFile>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

std::atomic<bool> interrupted{false};

extern "C" void interruptRun(int)
{
    interrupted = true;
}

// What the command line asks for, checked.
struct TestRun
{
    LumoOutputOptions output;
    LumoTestPattern pattern;
    qint64 stepMsecs = 500;
    qint64 durationMsecs = -1; // -1: until interrupted
    QString pcapPath;
};

// Prints what is lit: on a terminal over the same line, else a line each.
class StatusLine
{
public:
    void show(const QString &text)
    {
        shown = true;
        const QByteArray line = text.toUtf8();
        if (terminal)
            std::fprintf(stdout, "\r\033[K%s", line.constData());
        else
            std::fprintf(stdout, "%s\n", line.constData());
        std::fflush(stdout);
    }
    void finish()
    {
        if (terminal && shown)
            std::fprintf(stdout, "\n");
    }

private:
    const bool terminal = isatty(fileno(stdout)) == 1;
    bool shown = false;
};

void printWarnings(const QStringList &warnings)
{
    for (const QString &warning : warnings)
        Tool::printError(QStringLiteral("warning: ") + warning);
}

bool readOptions(const QCommandLineParser &parser, TestRun &run)
{
    const auto option = [](const char *name) { return QLatin1String(name); };
    const QString protocol = parser.value(option("protocol"));
    if (protocol != QLatin1String("sacn") && protocol != QLatin1String("artnet")) {
        Tool::printError(protocol.isEmpty() ? QStringLiteral("--protocol sacn or --protocol artnet is required")
                                            : QStringLiteral("invalid --protocol \"%1\": expected sacn or artnet").arg(protocol));
        return false;
    }
    const bool sacn = protocol == QLatin1String("sacn");
    run.output.setProtocol(sacn ? LumoOutputOptions::Sacn : LumoOutputOptions::ArtNet);
    LumoTestPattern::Kind kind = LumoTestPattern::Chase;
    if (!LumoTestPattern::kindFromName(parser.value(option("pattern")), kind)) {
        Tool::printError(QStringLiteral("invalid --pattern \"%1\": expected node, chase, fill, ports, colors, level or off")
                             .arg(parser.value(option("pattern"))));
        return false;
    }
    run.pattern.setKind(kind);
    qint64 value = 0;
    if (!Tool::integerOption(parser, option("node"), 1, 1 << 30, value))
        return false;
    run.pattern.setNode(int(value));
    if (!Tool::integerOption(parser, option("level"), 0, 255, value))
        return false;
    run.pattern.setLevel(int(value));
    if (!Tool::integerOption(parser, option("step-ms"), 1, 3600000, value))
        return false;
    run.stepMsecs = value;
    if (!Tool::integerOption(parser, option("fps"), 1, 44, value))
        return false;
    run.output.setFramesPerSecond(int(value));
    if (!Tool::integerOption(parser, option("priority"), 0, 200, value))
        return false;
    run.output.setPriority(int(value));
    if (parser.isSet(option("duration"))) {
        bool ok = false;
        const double seconds = parser.value(option("duration")).toDouble(&ok);
        if (!ok || !(seconds > 0) || seconds > 1e6) {
            Tool::printError(QStringLiteral("invalid --duration \"%1\": expected seconds, above 0 and at most 1000000")
                                 .arg(parser.value(option("duration"))));
            return false;
        }
        run.durationMsecs = qint64(seconds * 1000);
    }
    if (parser.isSet(option("to"))) {
        const QHostAddress to(parser.value(option("to")));
        if (to.protocol() != QAbstractSocket::IPv4Protocol || to.toIPv4Address() == 0) {
            Tool::printError(QStringLiteral("invalid --to \"%1\": expected an IPv4 address such as 127.0.0.1")
                                 .arg(parser.value(option("to"))));
            return false;
        }
        run.output.setDestination(to);
    }
    run.output.setMulticast(parser.isSet(option("multicast")));
    if (run.output.multicast() && !sacn) {
        Tool::printError(QStringLiteral("--multicast is for sACN only; Art-Net goes to each controller's IP or --to"));
        return false;
    }
    if (run.output.multicast() && parser.isSet(option("to"))) {
        Tool::printError(QStringLiteral("--multicast and --to exclude each other"));
        return false;
    }
    if (parser.isSet(option("source-name")))
        run.output.setSourceName(parser.value(option("source-name")));
    run.output.setDryRun(parser.isSet(option("dry-run")));
    if (run.output.dryRun() && run.durationMsecs < 0) {
        Tool::printError(QStringLiteral("--dry-run makes the packets of the whole run at once: give its --duration"));
        return false;
    }
    run.pcapPath = parser.value(option("pcap"));
    return true;
}

} // namespace

int runTestCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lights the map's nodes in a test pattern over sACN or Art-Net, to check every port against the map,\n"
        "and says on one line what is lit. Each controller's universes go to its IP (or all to --to).\n"
        "Runs until --duration ends or Ctrl-C; then sends one frame of zeros and ends the streams.\n"
        "Patterns: node (node K of each port), chase (one node at a time along each chain), fill (nodes\n"
        "1, 1-2, 1-3, ...), ports (on port P the first P nodes lit, the rest dim), colors (channel 1 of\n"
        "every node, then 2, then 3, ...), level (every node at the level), off. All other channels of\n"
        "the selected controllers are sent as 0."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("The map file, legacy map or JSON form."));
    const QList<QCommandLineOption> options = {
        {QStringLiteral("protocol"), QStringLiteral("sacn (E1.31, universes 1-63999) or artnet (ArtDmx, 0-32767)."),
         QStringLiteral("NAME")},
        {QStringLiteral("pattern"), QStringLiteral("node, chase (default), fill, ports, colors, level or off."),
         QStringLiteral("NAME"), QStringLiteral("chase")},
        {QStringLiteral("node"), QStringLiteral("The node the node pattern lights, from 1 (default 1)."),
         QStringLiteral("K"), QStringLiteral("1")},
        {QStringLiteral("level"), QStringLiteral("The level of a lit channel, 0-255 (default 255)."),
         QStringLiteral("N"), QStringLiteral("255")},
        {QStringLiteral("step-ms"), QStringLiteral("Milliseconds per step of chase, fill and colors (default 500)."),
         QStringLiteral("MS"), QStringLiteral("500")},
        {QStringLiteral("fps"), QStringLiteral("Frames a second, 1-44 (default 40)."), QStringLiteral("N"),
         QStringLiteral("40")},
        {QStringLiteral("duration"), QStringLiteral("Seconds to run (default: until interrupted)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("to"), QStringLiteral("Send every packet to this IPv4 address (a test receiver, a bench rig)."),
         QStringLiteral("ADDRESS")},
        {QStringLiteral("multicast"), QStringLiteral("sACN: send to each universe's multicast group 239.255.hi.lo.")},
        {QStringLiteral("priority"), QStringLiteral("sACN priority, 0-200 (default 100)."), QStringLiteral("N"),
         QStringLiteral("100")},
        {QStringLiteral("source-name"), QStringLiteral("sACN source name (default LumoMap)."), QStringLiteral("TEXT")},
        {QStringLiteral("pcap"), QStringLiteral("Also record every packet to this pcap file (tshark reads it)."),
         QStringLiteral("FILE")},
        {QStringLiteral("dry-run"), QStringLiteral("Send nothing: make the packets of the whole --duration at once "
                                                   "(for --pcap).")},
    };
    parser.addOptions(options);
    Tool::WiringOptions wiringOptions;
    wiringOptions.add(parser, true);
    if (!Tool::parseCommandLine(parser, arguments, 1) || !wiringOptions.read(parser))
        return Tool::FileError;
    TestRun run;
    if (!readOptions(parser, run))
        return Tool::FileError;
    const QString mapPath = parser.positionalArguments().constFirst();
    if (!run.pcapPath.isEmpty() && !Tool::acceptOutputPath(run.pcapPath, {mapPath}, {QStringLiteral("pcap")}))
        return Tool::FileError;

    LumoMapModel model;
    if (!Tool::loadAnyMap(model, mapPath))
        return Tool::FileError;
    LumoWiring wiring(model, wiringOptions.wiring);
    Tool::reportUnplacedFixtures(wiring);
    QList<quint32> uids;
    if (!wiringOptions.selectedInterfaces(wiring, uids))
        return Tool::FileError;
    // The selected controllers' universes are all sent; the pattern lights the selected ports.
    wiring.keepOnly(uids);
    run.pattern.setInterfaces(uids);
    run.pattern.setPort(wiringOptions.selectedPort());
    LumoFrame frame(wiring);
    if (!frame.isValid()) {
        Tool::printError(frame.errorString());
        return Tool::FileError;
    }
    if (run.pattern.portCount(frame) == 0 && run.pattern.kind() != LumoTestPattern::Off) {
        Tool::printError(QStringLiteral("the selected ports hold no nodes to light"));
        return Tool::FileError;
    }

    QFile pcap(run.pcapPath);
    std::unique_ptr<LumoPacketRecorder> recorder;
    if (!run.pcapPath.isEmpty()) {
        if (!pcap.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(run.pcapPath, pcap.errorString()));
            return Tool::FileError;
        }
        recorder = std::make_unique<LumoPacketRecorder>(&pcap);
    }
    LumoOutputSender sender(run.output);
    sender.setRecorder(recorder.get());
    if (!sender.start(frame)) {
        QString message = sender.errorString();
        if (sender.error() == LumoOutputSender::UniverseOutOfRange)
            message += QStringLiteral(" (--start-universe N)");
        Tool::printError(message);
        return Tool::FileError;
    }
    printWarnings(sender.takeWarnings());
    StatusLine status;
    LumoPatternPlayer player(sender, frame, run.pattern);
    player.setStepMsecs(run.stepMsecs);
    player.setDurationMsecs(run.durationMsecs);
    player.setStatusHandler([&status](const QString &text) { status.show(text); });
    player.setWarningHandler(printWarnings);
    player.setStopRequest([] { return interrupted.load(); });
    if (!run.output.dryRun()) {
        std::signal(SIGINT, interruptRun);
        std::signal(SIGTERM, interruptRun);
    }
    player.play();
    status.finish();
    printWarnings(sender.takeWarnings());
    if (recorder && !recorder->isValid()) {
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(run.pcapPath, recorder->errorString()));
        return Tool::FileError;
    }
    return Tool::Success;
}
