#ifndef MEASUREDOPERATION_H
#define MEASUREDOPERATION_H

// One benchmark operation, run once in the current process with its time and memory taken.
//
// The operations: the library's loadFromFile, loadFromText and save, and the reference passes over
// the same bytes (a bare QXmlSimpleReader pass with an empty handler, a QXmlStreamReader token
// loop, QDomDocument::setContent, and the DOM route of saving: the same document built as a
// QDomDocument and serialised with toString(1)).

#include <QString>
#include <QStringList>

enum class Operation
{
    LoadFromFile,
    LoadFromText,
    SaxPass,
    StreamReaderPass,
    DomSetContent,
    Save,
    DomSave,
};

struct OperationResult
{
    bool ok = false;
    QString error;
    qint64 nanoseconds = 0;    // wall-clock time
    qint64 cpuNanoseconds = 0; // user plus system time of the process during the operation
    qint64 bytes = 0;          // input bytes for the reading operations, output bytes for the saving ones
    qint64 baseKiB = 0;        // resident set size just before the operation
    qint64 peakKiB = 0;        // resident high-water mark during the operation, above baseKiB
    qint64 retainedBytes = -1; // heap the operation left allocated (the loaded model); -1 when not kept
};

namespace MeasuredOperation {

QString name(Operation operation);
bool fromName(const QString &name, Operation *operation);
QStringList names();
bool writesOutput(Operation operation);

// Prepares the operation's input (reads the text, or loads the model to save), then runs the
// operation between callgrind's instrumentation marks, with time and memory taken around it.
OperationResult run(Operation operation, const QString &inputPath, const QString &outputPath);

// The one-line form in which a child process hands its result to the parent, and back.
QString toLine(const OperationResult &result);
OperationResult fromLine(const QString &line);

} // namespace MeasuredOperation

#endif // MEASUREDOPERATION_H
