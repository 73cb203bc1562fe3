// lumomap-bench: one run of one operation per process, for hyperfine and callgrind to drive.
//
//   lumomap-bench generate current|legacy COUNT FILE   writes a generated map (MapGenerator.h)
//   lumomap-bench MODE MAP [--output FILE] [--log FILE] measures MODE once on MAP
//
// Only the operation itself lies between the measuring points: starting Qt, reading the text for
// loadFromText and loading the model for the saves happen before them. Around the operation the
// program reads the process's CPU time (getrusage), resets and reads the kernel's resident high-water
// mark (/proc/self/clear_refs, VmHWM), and switches callgrind's instrumentation on and off, so that
// `valgrind --tool=callgrind --instr-atstart=no` counts the operation's instructions only. It prints
//   MODE BYTES WALL_NS CPU_NS PEAK_KIB MODEL_KIB
// (bytes read or written, for diff the bytes of one map; peak resident memory added by the operation;
// heap still held after it, which for a load is the model) on standard output, and appends the line to
// the --log file.

#include "MapGenerator.h"

#include <LumoFrame.h>
#include <LumoMapDiff.h>
#include <LumoMapJson.h>
#include <LumoMapModel.h>
#include <LumoOutputSender.h>
#include <LumoWiring.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QXmlDefaultHandler>
#include <QXmlInputSource>
#include <QXmlSimpleReader>
#include <QXmlStreamReader>

#include <cstdio>
#include <functional>
#include <malloc.h>
#include <thread>
#include <vector>
#include <sys/resource.h>
#include <valgrind/callgrind.h>

namespace {

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) // a /proc file reports size 0: read it line by line
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool resetPeakResident()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs")); // "5" sets VmHWM to the current VmRSS
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

qint64 cpuNanoseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval &t) { return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_usec) * 1000; };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

qint64 heapInUseBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "lumomap-bench: %s\n", qPrintable(message));
    return 2;
}

int generate(const QStringList &arguments)
{
    const QString kind = arguments.value(1);
    const int count = arguments.value(2).toInt();
    if (arguments.size() != 4 || (kind != QLatin1String("current") && kind != QLatin1String("legacy")) ||
        count <= 0)
        return fail(QStringLiteral("usage: generate current|legacy COUNT FILE"));
    QFile file(arguments.at(3));
    const QByteArray map =
        kind == QLatin1String("current") ? MapGenerator::currentMap(count) : MapGenerator::legacyMap(count);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(map) != map.size() ||
        !file.flush())
        return fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs one LumoMap operation once and prints: MODE BYTES WALL_NS CPU_NS PEAK_KIB MODEL_KIB.\n"
        "Modes: loadFromFile, loadFromText, save (to a file), saveToString, sax (a bare QXmlSimpleReader "
        "pass), stream (a bare QXmlStreamReader pass), writeJson (the JSON form to a file), readJson (MAP is "
        "the JSON form), diff (two loads of MAP compared), setNode and setNodes (every node of a frame set with\n"
        "three values, one call per node or one call for all; BYTES counts the channels set), sendFrames (5 s of sACN to 127.0.0.1 at 40 frames a second, every\n"
        "node changed in every frame, BYTES counts the packets); 'generate current|legacy COUNT FILE' writes a map."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("mode"), QStringLiteral("The operation, or generate."));
    parser.addPositionalArgument(QStringLiteral("map"), QStringLiteral("The map file to read."));
    parser.addOptions({{QStringLiteral("output"),
                        QStringLiteral("File that save writes (default MAP.saved)."), QStringLiteral("file")},
                       {QStringLiteral("log"), QStringLiteral("Also append the result line to this file."),
                        QStringLiteral("file")}});
    parser.process(application);
    const QStringList arguments = parser.positionalArguments();
    const QString mode = arguments.value(0);
    if (mode == QLatin1String("generate"))
        return generate(arguments);
    if (arguments.size() != 2)
        return fail(QStringLiteral("usage: MODE MAP (see --help)"));
    const QString mapPath = arguments.at(1);
    const QString outputPath = parser.isSet(QStringLiteral("output")) ? parser.value(QStringLiteral("output"))
                                                                      : mapPath + QStringLiteral(".saved");

    // Preparation: everything the operation needs that is not the operation.
    LumoMapModel model;
    LumoMapModel other; // diff's second map
    QFile input(mapPath), output(outputPath);
    QString text, saved;
    std::unique_ptr<LumoFrame> frame;
    std::unique_ptr<LumoOutputSender> sender;
    std::vector<quint8> values;
    QTextStream savedStream(&saved);
    QTextStream fileStream(&output);
    if (!input.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(mapPath, input.errorString()));
    qint64 bytes = input.size();
    std::function<bool()> operation;
    if (mode == QLatin1String("loadFromFile")) {
        operation = [&] { return model.loadFromFile(mapPath); };
    } else if (mode == QLatin1String("loadFromText")) {
        text = QString::fromUtf8(input.readAll());
        operation = [&] { return model.loadFromText(text); };
    } else if (mode == QLatin1String("save") || mode == QLatin1String("saveToString")) {
        if (!model.loadFromFile(mapPath))
            return fail(QStringLiteral("cannot load %1: %2").arg(mapPath, model.lastError));
        if (mode == QLatin1String("saveToString"))
            operation = [&] { return model.save(savedStream); };
        else if (output.open(QIODevice::WriteOnly | QIODevice::Truncate))
            operation = [&] { return model.save(fileStream) && output.flush(); };
        else
            return fail(QStringLiteral("cannot write %1: %2").arg(outputPath, output.errorString()));
    } else if (mode == QLatin1String("writeJson")) {
        if (!model.loadFromFile(mapPath))
            return fail(QStringLiteral("cannot load %1: %2").arg(mapPath, model.lastError));
        if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(QStringLiteral("cannot write %1: %2").arg(outputPath, output.errorString()));
        operation = [&] { return LumoMapJson::write(model, output) && output.flush(); };
    } else if (mode == QLatin1String("readJson")) {
        operation = [&] { return LumoMapJson::read(input, model, &model.lastError); };
    } else if (mode == QLatin1String("diff")) {
        if (!model.loadFromFile(mapPath) || !other.loadFromFile(mapPath))
            return fail(QStringLiteral("cannot load %1: %2").arg(mapPath, model.lastError));
        operation = [&] {
            int differences = 0;
            LumoMapDiffOptions options;
            // Two loads of a legacy map number their templates apart.
            options.setNumberLegacyTemplatesFromZero(true);
            LumoMapDiff::forEachDifference(model, other, options,
                                           [&](const LumoMapDifference &) { ++differences; });
            return differences == 0;
        };
    } else if (mode == QLatin1String("setNode") || mode == QLatin1String("setNodes")
               || mode == QLatin1String("sendFrames")) {
        if (!model.loadFromFile(mapPath))
            return fail(QStringLiteral("cannot load %1: %2").arg(mapPath, model.lastError));
        LumoWiringOptions wiringOptions;
        wiringOptions.setStartUniverse(1); // sACN starts at universe 1
        frame = std::make_unique<LumoFrame>(LumoWiring(model, wiringOptions));
        values.resize(size_t(frame->nodeCount()) * 3);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = quint8(i * 7);
        bytes = 0;
        for (int n = 0; n < frame->nodeCount(); ++n)
            bytes += std::min(frame->nodeChannels(n), 3);
        if (mode == QLatin1String("setNode")) {
            operation = [&] {
                for (int n = 0, count = frame->nodeCount(); n < count; ++n)
                    frame->setNode(n, values.data() + 3 * n, 3);
                return true;
            };
        } else if (mode == QLatin1String("setNodes")) {
            operation = [&] {
                frame->setNodes(0, frame->nodeCount(), values.data(), 3);
                return true;
            };
        } else {
            LumoOutputOptions options;
            options.setDestination(QHostAddress(QHostAddress::LocalHost));
            sender = std::make_unique<LumoOutputSender>(options);
            if (!sender->start(*frame))
                return fail(sender->errorString());
            operation = [&] {
                // Every node changes in every frame, so every universe is sent in every frame.
                QElapsedTimer clock;
                clock.start();
                for (int tick = 0; tick < 200; ++tick) {
                    for (quint8 &value : values)
                        ++value;
                    frame->setNodes(0, frame->nodeCount(), values.data(), 3);
                    sender->send(*frame);
                    std::this_thread::sleep_until(std::chrono::steady_clock::now() +
                                                  std::chrono::milliseconds(25 * (tick + 1) - clock.elapsed()));
                }
                bytes = sender->packetCount();
                return sender->stop();
            };
        }
    } else if (mode == QLatin1String("sax")) {
        operation = [&] {
            QXmlInputSource source(&input);
            QXmlDefaultHandler handler;
            QXmlSimpleReader reader;
            reader.setContentHandler(&handler);
            reader.setErrorHandler(&handler);
            return reader.parse(&source);
        };
    } else if (mode == QLatin1String("stream")) {
        operation = [&] {
            QXmlStreamReader reader(&input);
            while (!reader.atEnd())
                reader.readNext();
            return !reader.hasError();
        };
    } else {
        return fail(QStringLiteral("unknown mode '%1' (see --help)").arg(mode));
    }

    malloc_trim(0); // hand free heap back, so that the resident base is what the process holds
    const qint64 baseKiB = statusKiB("VmRSS:");
    const qint64 heapBefore = heapInUseBytes();
    if (!resetPeakResident())
        return fail(QStringLiteral("cannot reset the resident high-water mark (/proc/self/clear_refs)"));
    const qint64 cpuBefore = cpuNanoseconds();
    QElapsedTimer wall;
    wall.start();
    CALLGRIND_START_INSTRUMENTATION;
    const bool ok = operation();
    CALLGRIND_STOP_INSTRUMENTATION;
    const qint64 wallNs = wall.nsecsElapsed();
    const qint64 cpuNs = cpuNanoseconds() - cpuBefore;
    const qint64 peakKiB = statusKiB("VmHWM:") - baseKiB;
    const qint64 modelKiB = (heapInUseBytes() - heapBefore) / 1024;
    if (!ok)
        return fail(QStringLiteral("%1 failed on %2: %3").arg(mode, mapPath, model.lastError));
    if (mode == QLatin1String("save") || mode == QLatin1String("writeJson"))
        bytes = output.size();
    else if (mode == QLatin1String("saveToString"))
        bytes = saved.toUtf8().size();

    const QByteArray line = QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                                .arg(mode)
                                .arg(bytes)
                                .arg(wallNs)
                                .arg(cpuNs)
                                .arg(peakKiB)
                                .arg(modelKiB)
                                .toUtf8();
    std::fputs(line.constData(), stdout);
    QFile log(parser.value(QStringLiteral("log")));
    if (parser.isSet(QStringLiteral("log")) &&
        (!log.open(QIODevice::Append) || log.write(line) != line.size()))
        return fail(QStringLiteral("cannot append to %1: %2").arg(log.fileName(), log.errorString()));
    return 0;
}
