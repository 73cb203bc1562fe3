#include "MeasuredOperation.h"

#include "MapDomWriter.h"
#include "ProcessMemory.h"

#include "LumoMapModel.h"

#include <QDateTime>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QXmlDefaultHandler>
#include <QXmlInputSource>
#include <QXmlSimpleReader>
#include <QXmlStreamReader>

#include <memory>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define LUMOMAP_BENCH_INSTRUMENTATION_ON() CALLGRIND_START_INSTRUMENTATION
#define LUMOMAP_BENCH_INSTRUMENTATION_OFF() CALLGRIND_STOP_INSTRUMENTATION
#else
#define LUMOMAP_BENCH_INSTRUMENTATION_ON()
#define LUMOMAP_BENCH_INSTRUMENTATION_OFF()
#endif

namespace {

struct OperationName
{
    Operation operation;
    const char *name;
};

const OperationName operationNames[] = {
    {Operation::LoadFromFile, "loadFromFile"},
    {Operation::LoadFromText, "loadFromText"},
    {Operation::SaxPass, "sax"},
    {Operation::StreamReaderPass, "stream"},
    {Operation::DomSetContent, "dom"},
    {Operation::Save, "save"},
    {Operation::DomSave, "domSave"},
};

// What an operation needs before it starts and what it leaves behind, kept alive until the
// memory figures are taken.
struct Workspace
{
    std::unique_ptr<LumoMapModel> model;
    QString text;
    QDomDocument document;
};

void prepareTextStream(QTextStream &stream)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("UTF-8");
#else
    Q_UNUSED(stream)
#endif
}

bool runSaxPass(const QString &inputPath)
{
    QFile file(inputPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlInputSource source(&file);
    QXmlDefaultHandler handler;
    QXmlSimpleReader reader;
    reader.setContentHandler(&handler);
    reader.setErrorHandler(&handler);
    return reader.parse(&source);
}

bool runStreamReaderPass(const QString &inputPath)
{
    QFile file(inputPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

bool runDomSetContent(const QString &inputPath, QDomDocument &document)
{
    QFile file(inputPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return document.setContent(&file);
}

bool runSave(LumoMapModel &model, const QString &outputPath)
{
    QFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream stream(&file);
    prepareTextStream(stream);
    const bool saved = model.save(stream);
    stream.flush();
    file.close();
    return saved && stream.status() == QTextStream::Ok;
}

// The whole DOM route, as a save through it would run: build the tree with the library's own DOM
// route builder, serialise it, write the string, discard both.
bool runDomSave(LumoMapModel &model, const QString &outputPath)
{
    QFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream stream(&file);
    prepareTextStream(stream);
    {
        model.mapfileversion = model.getLibraryMapFileVersion();
        const QDomDocument document = MapDomWriter::buildDocument(model, QDateTime::currentDateTime());
        stream << document.toString(1);
    }
    stream.flush();
    file.close();
    return stream.status() == QTextStream::Ok;
}

bool prepare(Operation operation, const QString &inputPath, Workspace &workspace, QString *error)
{
    switch (operation) {
    case Operation::LoadFromFile:
        workspace.model = std::make_unique<LumoMapModel>();
        return true;
    case Operation::LoadFromText: {
        QFile file(inputPath);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read ") + inputPath;
            return false;
        }
        workspace.text = QString::fromUtf8(file.readAll());
        workspace.model = std::make_unique<LumoMapModel>();
        return true;
    }
    case Operation::Save:
    case Operation::DomSave:
        workspace.model = std::make_unique<LumoMapModel>();
        if (!workspace.model->loadFromFile(inputPath)) {
            *error = QStringLiteral("cannot load the map to save: ") + workspace.model->getLastError();
            return false;
        }
        return true;
    case Operation::SaxPass:
    case Operation::StreamReaderPass:
    case Operation::DomSetContent:
        return true;
    }
    return false;
}

bool execute(Operation operation, const QString &inputPath, const QString &outputPath, Workspace &workspace)
{
    switch (operation) {
    case Operation::LoadFromFile:
        return workspace.model->loadFromFile(inputPath);
    case Operation::LoadFromText:
        return workspace.model->loadFromText(workspace.text);
    case Operation::SaxPass:
        return runSaxPass(inputPath);
    case Operation::StreamReaderPass:
        return runStreamReaderPass(inputPath);
    case Operation::DomSetContent:
        return runDomSetContent(inputPath, workspace.document);
    case Operation::Save:
        return runSave(*workspace.model, outputPath);
    case Operation::DomSave:
        return runDomSave(*workspace.model, outputPath);
    }
    return false;
}

bool keepsModel(Operation operation)
{
    return operation == Operation::LoadFromFile || operation == Operation::LoadFromText;
}

} // namespace

namespace MeasuredOperation {

QString name(Operation operation)
{
    for (const OperationName &entry : operationNames) {
        if (entry.operation == operation)
            return QLatin1String(entry.name);
    }
    return QString();
}

bool fromName(const QString &name, Operation *operation)
{
    for (const OperationName &entry : operationNames) {
        if (name == QLatin1String(entry.name)) {
            *operation = entry.operation;
            return true;
        }
    }
    return false;
}

QStringList names()
{
    QStringList list;
    for (const OperationName &entry : operationNames)
        list << QLatin1String(entry.name);
    return list;
}

bool writesOutput(Operation operation)
{
    return operation == Operation::Save || operation == Operation::DomSave;
}

OperationResult run(Operation operation, const QString &inputPath, const QString &outputPath)
{
    OperationResult result;
    Workspace workspace;
    if (!prepare(operation, inputPath, workspace, &result.error))
        return result;

    ProcessMemory::releaseFreeHeap();
    const qint64 heapBefore = ProcessMemory::heapInUseBytes();
    result.baseKiB = ProcessMemory::residentKiB();
    if (!ProcessMemory::resetPeak()) {
        // Without the reset the high-water mark would include the preparation (the loaded model of a
        // save, the text of loadFromText) and the figure would be wrong.
        result.error = QStringLiteral("cannot reset the resident high-water mark (/proc/self/clear_refs)");
        return result;
    }

    const qint64 cpuBefore = ProcessMemory::cpuTimeNanoseconds();
    QElapsedTimer timer;
    timer.start();
    LUMOMAP_BENCH_INSTRUMENTATION_ON();
    result.ok = execute(operation, inputPath, outputPath, workspace);
    LUMOMAP_BENCH_INSTRUMENTATION_OFF();
    result.nanoseconds = timer.nsecsElapsed();
    result.cpuNanoseconds = ProcessMemory::cpuTimeNanoseconds() - cpuBefore;

    result.peakKiB = ProcessMemory::peakResidentKiB() - result.baseKiB;
    if (keepsModel(operation))
        result.retainedBytes = ProcessMemory::heapInUseBytes() - heapBefore;
    result.bytes = QFileInfo(writesOutput(operation) ? outputPath : inputPath).size();
    if (!result.ok && result.error.isEmpty()) {
        result.error = workspace.model && !workspace.model->getLastError().isEmpty()
                           ? workspace.model->getLastError()
                           : QStringLiteral("operation failed");
    }
    return result;
}

QString toLine(const OperationResult &result)
{
    return QStringLiteral("result ok=%1 ns=%2 cpu=%3 bytes=%4 base=%5 peak=%6 retained=%7 error=%8")
        .arg(result.ok ? 1 : 0)
        .arg(result.nanoseconds)
        .arg(result.cpuNanoseconds)
        .arg(result.bytes)
        .arg(result.baseKiB)
        .arg(result.peakKiB)
        .arg(result.retainedBytes)
        .arg(result.error.simplified());
}

OperationResult fromLine(const QString &line)
{
    OperationResult result;
    if (!line.startsWith(QLatin1String("result "))) {
        result.error = QStringLiteral("no result line");
        return result;
    }
    const int errorAt = line.indexOf(QLatin1String(" error="));
    const QStringList fields = line.mid(7, errorAt - 7).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &field : fields) {
        const QString key = field.section(QLatin1Char('='), 0, 0);
        const qint64 value = field.section(QLatin1Char('='), 1).toLongLong();
        if (key == QLatin1String("ok"))
            result.ok = value != 0;
        else if (key == QLatin1String("ns"))
            result.nanoseconds = value;
        else if (key == QLatin1String("cpu"))
            result.cpuNanoseconds = value;
        else if (key == QLatin1String("bytes"))
            result.bytes = value;
        else if (key == QLatin1String("base"))
            result.baseKiB = value;
        else if (key == QLatin1String("peak"))
            result.peakKiB = value;
        else if (key == QLatin1String("retained"))
            result.retainedBytes = value;
    }
    if (errorAt >= 0)
        result.error = line.mid(errorAt + 7).trimmed();
    return result;
}

} // namespace MeasuredOperation
