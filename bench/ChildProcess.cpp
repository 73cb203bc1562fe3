#include "ChildProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

namespace {

QStringList measureArguments(Operation operation, const QString &inputPath, const QString &outputPath)
{
    QStringList arguments{QStringLiteral("--measure"), MeasuredOperation::name(operation),
                          QStringLiteral("--input"), inputPath};
    if (!outputPath.isEmpty())
        arguments << QStringLiteral("--output") << outputPath;
    return arguments;
}

// The total of the event counts in a callgrind profile: its "totals:" (or older "summary:") line.
qint64 profileTotal(const QString &profilePath)
{
    QFile profile(profilePath);
    if (!profile.open(QIODevice::ReadOnly))
        return -1;
    qint64 total = -1;
    while (!profile.atEnd()) {
        const QByteArray line = profile.readLine().trimmed();
        if (line.startsWith("totals:") || (total < 0 && line.startsWith("summary:")))
            total = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return total;
}

OperationResult resultFromOutput(const QByteArray &output)
{
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("result ")))
            return MeasuredOperation::fromLine(line);
    }
    OperationResult failed;
    failed.error = QStringLiteral("no result line from the child process");
    return failed;
}

} // namespace

namespace ChildProcess {

OperationResult measure(Operation operation, const QString &inputPath, const QString &outputPath)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), measureArguments(operation, inputPath, outputPath));
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit) {
        OperationResult failed;
        failed.error = QStringLiteral("child process failed: ") + child.errorString();
        return failed;
    }
    OperationResult result = resultFromOutput(child.readAllStandardOutput());
    if (!result.ok)
        result.error +=
            QStringLiteral("; stderr: ") + QString::fromUtf8(child.readAllStandardError()).simplified();
    return result;
}

qint64 countInstructions(Operation operation, const QString &inputPath, const QString &outputPath,
                         const QString &profilePath, QString *error)
{
    QStringList arguments{QStringLiteral("--tool=callgrind"), QStringLiteral("--instr-atstart=no"),
                          QStringLiteral("--callgrind-out-file=") + profilePath,
                          QCoreApplication::applicationFilePath()};
    arguments << measureArguments(operation, inputPath, outputPath);
    QProcess valgrind;
    valgrind.start(QStringLiteral("valgrind"), arguments);
    if (!valgrind.waitForFinished(-1) || valgrind.exitStatus() != QProcess::NormalExit ||
        valgrind.exitCode() != 0) {
        *error = QStringLiteral("valgrind failed: ") + valgrind.errorString() + QLatin1Char(' ') +
                 QString::fromUtf8(valgrind.readAllStandardError()).right(400).simplified();
        return -1;
    }
    const OperationResult result = resultFromOutput(valgrind.readAllStandardOutput());
    if (!result.ok) {
        *error = QStringLiteral("operation failed under callgrind: ") + result.error;
        return -1;
    }
    const qint64 total = profileTotal(profilePath);
    if (total < 0)
        *error = QStringLiteral("no totals in ") + profilePath;
    return total;
}

} // namespace ChildProcess
