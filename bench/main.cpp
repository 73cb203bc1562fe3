// lumomap-bench: generates large maps and measures the library's load and save beside reference passes
// of Qt's XML classes over the same bytes. Every measured operation runs in a fresh child process of
// this program (the --measure mode), so that its time and its peak memory are its own.

#include "BenchmarkReport.h"
#include "ChildProcess.h"
#include "MachineDescription.h"
#include "MapGenerator.h"
#include "MeasuredOperation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

struct MapPlan
{
    QString label;
    bool legacy;
    CurrentMapShape current;
    LegacyMapShape legacyShape;
};

QList<MapPlan> allMaps()
{
    auto current = [](const char *label, int interfaces) {
        MapPlan plan{QLatin1String(label), false, CurrentMapShape{}, LegacyMapShape{}};
        plan.current.interfaces = interfaces;
        return plan;
    };
    MapPlan legacy{QStringLiteral("legacy"), true, CurrentMapShape{}, LegacyMapShape{}};
    legacy.legacyShape.controllers = 2000;
    legacy.legacyShape.lightsPerPort = 9;
    return {current("small", 125), current("medium", 500), current("large", 2000), legacy};
}

QString describe(const MapPlan &plan)
{
    if (plan.legacy) {
        const int lights = plan.legacyShape.controllers * 16 * plan.legacyShape.lightsPerPort;
        return QStringLiteral("legacy map: %1 controllers, %2 lights (%3 per port)")
            .arg(plan.legacyShape.controllers)
            .arg(lights)
            .arg(plan.legacyShape.lightsPerPort);
    }
    const CurrentMapShape &shape = plan.current;
    return QStringLiteral("%1 interfaces, %1 interface templates × %2 outputs × 1 fixture, %3 fixture "
                          "templates × %4 nodes, %1 regions")
        .arg(shape.interfaces)
        .arg(shape.outputsPerTemplate)
        .arg(shape.interfaces * shape.outputsPerTemplate)
        .arg(shape.nodesPerFixtureTemplate);
}

QList<Operation> operationsFor(const MapPlan &plan)
{
    QList<Operation> operations{Operation::LoadFromFile, Operation::LoadFromText, Operation::SaxPass,
                                Operation::StreamReaderPass, Operation::DomSetContent};
    if (!plan.legacy)
        operations << Operation::Save << Operation::DomSave;
    return operations;
}

void progress(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int measureInThisProcess(const QCommandLineParser &parser)
{
    Operation operation;
    if (!MeasuredOperation::fromName(parser.value(QStringLiteral("measure")), &operation)) {
        progress(QStringLiteral("unknown operation; one of: ") +
                 MeasuredOperation::names().join(QLatin1Char(' ')));
        return 2;
    }
    const OperationResult result = MeasuredOperation::run(operation, parser.value(QStringLiteral("input")),
                                                          parser.value(QStringLiteral("output")));
    std::printf("%s\n", MeasuredOperation::toLine(result).toUtf8().constData());
    return result.ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumomap-bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Generates large maps and measures LumoMap's load and save beside Qt's XML classes. "
                       "Prints a Markdown report on standard output and progress on standard error."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("repetitions"), QStringLiteral("Repetitions of every measurement (default 5)."),
         QStringLiteral("n"), QStringLiteral("5")},
        {QStringLiteral("maps"),
         QStringLiteral("Maps to measure, comma-separated (default small,medium,large,legacy)."),
         QStringLiteral("list"), QStringLiteral("small,medium,large,legacy")},
        {QStringLiteral("work-dir"),
         QStringLiteral("Directory for the generated maps, saved files and profiles "
                        "(default: a temporary directory, removed afterwards)."),
         QStringLiteral("dir")},
        {QStringLiteral("callgrind"),
         QStringLiteral("Also count instructions with callgrind for loadFromFile and "
                        "the bare QXmlSimpleReader pass.")},
        {QStringLiteral("callgrind-maps"),
         QStringLiteral(
             "Maps to count instructions on (default: every measured map, so that the counts per byte "
             "show how the cost grows with the map)."),
         QStringLiteral("list"), QStringLiteral("small,medium,large,legacy")},
        {QStringLiteral("report"), QStringLiteral("Also write the report to this file."),
         QStringLiteral("file")},
        {QStringLiteral("source"),
         QStringLiteral(
             "Which source tree was measured, for the report (scripts/bench.sh passes the git revision)."),
         QStringLiteral("text")},
        {QStringLiteral("measure"),
         QStringLiteral("Run one operation once in this process and print its result "
                        "line (used for the child processes and for callgrind)."),
         QStringLiteral("operation")},
        {QStringLiteral("input"), QStringLiteral("Input map of --measure."), QStringLiteral("file")},
        {QStringLiteral("output"), QStringLiteral("Output file of --measure save and domSave."),
         QStringLiteral("file")},
    });
    parser.process(application);

    if (parser.isSet(QStringLiteral("measure")))
        return measureInThisProcess(parser);

    const int repetitions = qMax(1, parser.value(QStringLiteral("repetitions")).toInt());
    const QStringList wanted =
        parser.value(QStringLiteral("maps")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    QTemporaryDir temporaryDir;
    const QString workDir = parser.isSet(QStringLiteral("work-dir"))
                                ? parser.value(QStringLiteral("work-dir"))
                                : temporaryDir.path();
    if (workDir.isEmpty() || !QDir().mkpath(workDir)) {
        progress(QStringLiteral("cannot create the work directory"));
        return 1;
    }

    const QDateTime startTime = QDateTime::currentDateTime();
    const QString loadAverageAtStart = MachineDescription::loadAverage();
    BenchmarkReport report;
    QList<QPair<MapPlan, BenchmarkMap>> maps;
    for (const MapPlan &plan : allMaps()) {
        if (!wanted.contains(plan.label))
            continue;
        BenchmarkMap map{plan.label, plan.legacy, QDir(workDir).filePath(plan.label + QStringLiteral(".xml")),
                         0, describe(plan)};
        progress(QStringLiteral("generating %1").arg(map.path));
        map.bytes = plan.legacy ? MapGenerator::writeLegacyMap(map.path, plan.legacyShape)
                                : MapGenerator::writeCurrentMap(map.path, plan.current);
        if (map.bytes < 0) {
            progress(QStringLiteral("cannot write ") + map.path);
            return 1;
        }
        report.addMap(map);
        maps.append({plan, map});
    }

    bool allSucceeded = true;
    for (const auto &entry : maps) {
        const BenchmarkMap &map = entry.second;
        const QString savedPath = QDir(workDir).filePath(map.label + QStringLiteral("-saved.xml"));
        QSet<int> failed;
        // Repetitions outermost, so that a slow spell of a shared machine touches every operation alike.
        for (int repetition = 1; repetition <= repetitions; ++repetition) {
            for (Operation operation : operationsFor(entry.first)) {
                if (failed.contains(int(operation)))
                    continue;
                const OperationResult result = ChildProcess::measure(operation, map.path, savedPath);
                progress(QStringLiteral("%1 %2 #%3: %4 ms, peak %5 KiB%6")
                             .arg(map.label, MeasuredOperation::name(operation))
                             .arg(repetition)
                             .arg(result.nanoseconds / 1e6, 0, 'f', 1)
                             .arg(result.peakKiB)
                             .arg(result.ok ? QString() : QStringLiteral(" FAILED: ") + result.error));
                if (!result.ok) {
                    failed.insert(int(operation));
                    allSucceeded = false;
                    continue;
                }
                report.addResult(map.label, operation, result);
            }
        }
    }

    if (parser.isSet(QStringLiteral("callgrind"))) {
        const QStringList profiled =
            parser.value(QStringLiteral("callgrind-maps")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const auto &entry : maps) {
            const BenchmarkMap &map = entry.second;
            if (!profiled.contains(map.label))
                continue;
            for (Operation operation : {Operation::SaxPass, Operation::LoadFromFile}) {
                const QString profilePath = QDir(workDir).filePath(
                    QStringLiteral("callgrind.%1.%2.out").arg(map.label, MeasuredOperation::name(operation)));
                progress(QStringLiteral("callgrind %1 %2 -> %3")
                             .arg(map.label, MeasuredOperation::name(operation), profilePath));
                QString error;
                const qint64 count =
                    ChildProcess::countInstructions(operation, map.path, QString(), profilePath, &error);
                if (count < 0) {
                    progress(error);
                    allSucceeded = false;
                    continue;
                }
                report.addInstructions(map.label, operation, count);
            }
        }
    }

    QString text =
        QStringLiteral("## Benchmark run started %1, finished %2\n\n")
            .arg(startTime.toString(Qt::ISODate), QDateTime::currentDateTime().toString(Qt::ISODate));
    text += MachineDescription::markdown();
    if (parser.isSet(QStringLiteral("source")))
        text += QStringLiteral("- source: %1\n").arg(parser.value(QStringLiteral("source")));
    text += QStringLiteral("- load average (1, 5, 15 min) at start: %1; at end: %2\n")
                .arg(loadAverageAtStart, MachineDescription::loadAverage());
    text +=
        QStringLiteral("- repetitions: %1 per figure; times are medians with min–max; MB = 10^6 bytes\n\n")
            .arg(repetitions);
    text += report.markdown();
    std::printf("%s", text.toUtf8().constData());
    if (parser.isSet(QStringLiteral("report"))) {
        QFile file(parser.value(QStringLiteral("report")));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text.toUtf8());
    }
    return allSucceeded ? 0 : 1;
}
