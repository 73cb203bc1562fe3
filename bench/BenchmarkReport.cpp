#include "BenchmarkReport.h"

#include "Statistics.h"

namespace {

constexpr double BytesPerMB = 1e6;
constexpr double LoadMemoryAllowanceMB = 20.0;
constexpr double LoadInstructionAllowance = 1.3;
constexpr double SaveSpeedupGoal = 5.0;
constexpr double SavePeakShareGoal = 5.0;

const Operation readingOperations[] = {Operation::LoadFromFile, Operation::LoadFromText, Operation::SaxPass,
                                       Operation::StreamReaderPass, Operation::DomSetContent};
const Operation savingOperations[] = {Operation::Save, Operation::DomSave};

QString describe(Operation operation)
{
    switch (operation) {
    case Operation::LoadFromFile:
        return QStringLiteral("`loadFromFile`");
    case Operation::LoadFromText:
        return QStringLiteral("`loadFromText`");
    case Operation::SaxPass:
        return QStringLiteral("bare `QXmlSimpleReader`, empty handler");
    case Operation::StreamReaderPass:
        return QStringLiteral("bare `QXmlStreamReader` token loop");
    case Operation::DomSetContent:
        return QStringLiteral("`QDomDocument::setContent`");
    case Operation::Save:
        return QStringLiteral("`save` (streaming)");
    case Operation::DomSave:
        return QStringLiteral("DOM route: build `QDomDocument`, `toString(1)`, write");
    }
    return QString();
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString row(const QStringList &cells)
{
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
}

QString headerRow(const QStringList &cells)
{
    QString text = row(cells);
    QStringList rule;
    for (int index = 0; index < cells.size(); ++index)
        rule << QStringLiteral("---");
    return text + row(rule);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("**met**") : QStringLiteral("**not met**");
}

} // namespace

void BenchmarkReport::addMap(const BenchmarkMap &map)
{
    maps << map;
}

void BenchmarkReport::addResult(const QString &mapLabel, Operation operation, const OperationResult &result)
{
    results[Key{mapLabel, operation}] << result;
}

void BenchmarkReport::addInstructions(const QString &mapLabel, Operation operation, qint64 count)
{
    instructions[Key{mapLabel, operation}] = count;
}

bool BenchmarkReport::has(const QString &map, Operation operation) const
{
    const auto found = results.constFind(Key{map, operation});
    return found != results.constEnd() && !found->isEmpty();
}

double BenchmarkReport::medianMilliseconds(const QString &map, Operation operation) const
{
    QVector<double> values;
    for (const OperationResult &result : results.value(Key{map, operation}))
        values << result.nanoseconds / 1e6;
    return summarize(values).median;
}

double BenchmarkReport::medianCpuMilliseconds(const QString &map, Operation operation) const
{
    QVector<double> values;
    for (const OperationResult &result : results.value(Key{map, operation}))
        values << result.cpuNanoseconds / 1e6;
    return summarize(values).median;
}

double BenchmarkReport::medianPeakMB(const QString &map, Operation operation) const
{
    QVector<double> values;
    for (const OperationResult &result : results.value(Key{map, operation}))
        values << result.peakKiB * 1024.0 / BytesPerMB;
    return summarize(values).median;
}

double BenchmarkReport::medianRetainedMB(const QString &map, Operation operation) const
{
    QVector<double> values;
    for (const OperationResult &result : results.value(Key{map, operation})) {
        if (result.retainedBytes >= 0)
            values << result.retainedBytes / BytesPerMB;
    }
    return values.isEmpty() ? -1 : summarize(values).median;
}

qint64 BenchmarkReport::bytes(const QString &map, Operation operation) const
{
    const QList<OperationResult> runs = results.value(Key{map, operation});
    return runs.isEmpty() ? 0 : runs.first().bytes;
}

QString BenchmarkReport::mapsTable() const
{
    QString text = QStringLiteral("### Maps\n\n");
    text += headerRow(
        {QStringLiteral("map"), QStringLiteral("bytes"), QStringLiteral("MB"), QStringLiteral("contents")});
    for (const BenchmarkMap &map : maps)
        text +=
            row({map.label, QString::number(map.bytes), fixed(map.bytes / BytesPerMB, 1), map.description});
    return text + QLatin1Char('\n');
}

QString BenchmarkReport::readingTable(const BenchmarkMap &map) const
{
    QString text =
        QStringLiteral("### Reading the %1 map (%2 MB)\n\n").arg(map.label, fixed(map.bytes / BytesPerMB, 1));
    text += headerRow({QStringLiteral("operation"), QStringLiteral("median ms"), QStringLiteral("min–max ms"),
                       QStringLiteral("CPU ms"), QStringLiteral("MB/s"), QStringLiteral("peak MB"),
                       QStringLiteral("model MB"), QStringLiteral("loadFromFile ÷ this"),
                       QStringLiteral("loadFromText ÷ this")});
    const double fileMs = medianMilliseconds(map.label, Operation::LoadFromFile);
    const double textMs = medianMilliseconds(map.label, Operation::LoadFromText);
    for (Operation operation : readingOperations) {
        if (!has(map.label, operation))
            continue;
        QVector<double> times;
        for (const OperationResult &result : results.value(Key{map.label, operation}))
            times << result.nanoseconds / 1e6;
        const Summary time = summarize(times);
        const double retained = medianRetainedMB(map.label, operation);
        text += row({describe(operation), fixed(time.median, 1),
                     fixed(time.min, 1) + QStringLiteral("–") + fixed(time.max, 1),
                     fixed(medianCpuMilliseconds(map.label, operation), 1),
                     fixed(map.bytes / BytesPerMB / (time.median / 1e3), 1),
                     fixed(medianPeakMB(map.label, operation), 1),
                     retained >= 0 ? fixed(retained, 1) : QStringLiteral("–"),
                     fileMs > 0 ? fixed(fileMs / time.median, 2) : QStringLiteral("–"),
                     textMs > 0 ? fixed(textMs / time.median, 2) : QStringLiteral("–")});
    }
    return text + QLatin1Char('\n');
}

QString BenchmarkReport::savingTable(const BenchmarkMap &map) const
{
    if (!has(map.label, Operation::Save) && !has(map.label, Operation::DomSave))
        return QString();
    QString text = QStringLiteral("### Saving the %1 map\n\n").arg(map.label);
    text += headerRow({QStringLiteral("operation"), QStringLiteral("output MB"), QStringLiteral("median ms"),
                       QStringLiteral("min–max ms"), QStringLiteral("CPU ms"), QStringLiteral("MB/s"),
                       QStringLiteral("peak MB")});
    for (Operation operation : savingOperations) {
        if (!has(map.label, operation))
            continue;
        QVector<double> times;
        for (const OperationResult &result : results.value(Key{map.label, operation}))
            times << result.nanoseconds / 1e6;
        const Summary time = summarize(times);
        const double outputMB = bytes(map.label, operation) / BytesPerMB;
        text += row({describe(operation), fixed(outputMB, 1), fixed(time.median, 1),
                     fixed(time.min, 1) + QStringLiteral("–") + fixed(time.max, 1),
                     fixed(medianCpuMilliseconds(map.label, operation), 1),
                     fixed(outputMB / (time.median / 1e3), 1), fixed(medianPeakMB(map.label, operation), 1)});
    }
    if (has(map.label, Operation::Save) && has(map.label, Operation::DomSave)) {
        text += QStringLiteral("\nDOM route ÷ streaming save: time %1×, peak memory %2×.\n")
                    .arg(fixed(medianMilliseconds(map.label, Operation::DomSave) /
                                   medianMilliseconds(map.label, Operation::Save),
                               1),
                         fixed(medianPeakMB(map.label, Operation::DomSave) /
                                   qMax(0.001, medianPeakMB(map.label, Operation::Save)),
                               1));
    }
    return text + QLatin1Char('\n');
}

QString BenchmarkReport::costPerByteTable() const
{
    QStringList header{QStringLiteral("operation")};
    QList<BenchmarkMap> current;
    for (const BenchmarkMap &map : maps) {
        if (!map.legacy) {
            current << map;
            header
                << QStringLiteral("%1 (%2 MB): CPU ns/byte").arg(map.label, fixed(map.bytes / BytesPerMB, 1));
        }
    }
    for (const BenchmarkMap &map : current)
        header << QStringLiteral("%1: peak MB").arg(map.label);
    QString text = QStringLiteral("### Cost per byte as maps grow (current format)\n\n") + headerRow(header);
    for (Operation operation :
         {Operation::LoadFromFile, Operation::LoadFromText, Operation::SaxPass, Operation::StreamReaderPass,
          Operation::DomSetContent, Operation::Save, Operation::DomSave}) {
        QStringList cells{describe(operation)};
        bool any = false;
        for (const BenchmarkMap &map : current) {
            const qint64 size = bytes(map.label, operation);
            any = any || has(map.label, operation);
            cells << (has(map.label, operation) && size > 0
                          ? fixed(medianCpuMilliseconds(map.label, operation) * 1e6 / size, 1)
                          : QStringLiteral("–"));
        }
        for (const BenchmarkMap &map : current)
            cells << (has(map.label, operation) ? fixed(medianPeakMB(map.label, operation), 1)
                                                : QStringLiteral("–"));
        if (any)
            text += row(cells);
    }
    return text +
           QStringLiteral("\nCPU time (user plus system, median) per byte of the input file for reading and "
                          "of the written file for saving; peak memory is the median rise of the resident "
                          "set during the operation. CPU time still depends on what else the machine "
                          "runs; the instruction counts below do not.\n\n");
}

QString BenchmarkReport::instructionsTable() const
{
    if (instructions.isEmpty())
        return QString();
    QString text = QStringLiteral("### Instructions (callgrind, Ir) per input byte\n\n");
    text += headerRow({QStringLiteral("map"), QStringLiteral("operation"), QStringLiteral("Ir"),
                       QStringLiteral("Ir per byte"), QStringLiteral("÷ bare QXmlSimpleReader")});
    for (const BenchmarkMap &map : maps) {
        const qint64 bare = instructions.value(Key{map.label, Operation::SaxPass}, -1);
        for (Operation operation : readingOperations) {
            const qint64 count = instructions.value(Key{map.label, operation}, -1);
            if (count < 0)
                continue;
            text += row({map.label, describe(operation), QString::number(count),
                         fixed(double(count) / map.bytes, 1),
                         bare > 0 ? fixed(double(count) / bare, 3) : QStringLiteral("–")});
        }
    }
    return text + QLatin1Char('\n');
}

QString BenchmarkReport::goals() const
{
    QString text = QStringLiteral("### Goals\n\n");
    for (const BenchmarkMap &map : maps) {
        const qint64 ours = instructions.value(Key{map.label, Operation::LoadFromFile}, -1);
        const qint64 bare = instructions.value(Key{map.label, Operation::SaxPass}, -1);
        if (ours > 0 && bare > 0) {
            const double ratio = double(ours) / bare;
            text += QStringLiteral("- %1 map: `loadFromFile` executes %2× the instructions of the bare "
                                   "`QXmlSimpleReader` pass (goal at most %3×): %4\n")
                        .arg(map.label, fixed(ratio, 3), fixed(LoadInstructionAllowance, 1),
                             verdict(ratio <= LoadInstructionAllowance));
        }
    }
    for (const BenchmarkMap &map : maps) {
        if (!has(map.label, Operation::LoadFromFile))
            continue;
        const double peak = medianPeakMB(map.label, Operation::LoadFromFile);
        const double model = medianRetainedMB(map.label, Operation::LoadFromFile);
        text += QStringLiteral("- %1 map: `loadFromFile` peaks %2 MB above its start for a model of %3 MB, "
                               "%4 MB beyond the model (goal at most %5 MB): %6\n")
                    .arg(map.label, fixed(peak, 1), fixed(model, 1), fixed(peak - model, 1),
                         fixed(LoadMemoryAllowanceMB, 0), verdict(peak - model <= LoadMemoryAllowanceMB));
    }
    const QString largest = QStringLiteral("large");
    if (has(largest, Operation::Save) && has(largest, Operation::DomSave)) {
        const double speedup =
            medianMilliseconds(largest, Operation::DomSave) / medianMilliseconds(largest, Operation::Save);
        const double savePeak = medianPeakMB(largest, Operation::Save);
        const double domPeak = medianPeakMB(largest, Operation::DomSave);
        text +=
            QStringLiteral("- large map: streaming `save` is %1× faster than the DOM route (goal at least "
                           "%2×): %3\n")
                .arg(fixed(speedup, 1), fixed(SaveSpeedupGoal, 0), verdict(speedup >= SaveSpeedupGoal));
        text +=
            QStringLiteral("- large map: streaming `save` peaks at %1 MB against %2 MB for the DOM route, "
                           "%3 of it (goal at most 1/%4): %5\n")
                .arg(fixed(savePeak, 1), fixed(domPeak, 1),
                     domPeak > 0 ? QStringLiteral("1/") + fixed(domPeak / qMax(0.001, savePeak), 1)
                                 : QStringLiteral("–"),
                     fixed(SavePeakShareGoal, 0), verdict(savePeak * SavePeakShareGoal <= domPeak));
    }
    return text + QLatin1Char('\n');
}

QString BenchmarkReport::markdown() const
{
    QString text = mapsTable();
    for (const BenchmarkMap &map : maps)
        text += readingTable(map);
    for (const BenchmarkMap &map : maps)
        text += savingTable(map);
    text += costPerByteTable();
    text += instructionsTable();
    text += goals();
    return text;
}
