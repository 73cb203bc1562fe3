#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

// Runs one measured operation in a fresh process of this program, so that its time and peak memory
// are its own and not those of whatever ran before it in the same process.

#include "MeasuredOperation.h"

namespace ChildProcess {

OperationResult measure(Operation operation, const QString &inputPath, const QString &outputPath);

// Runs the operation once under callgrind, with instrumentation only around the operation itself,
// and returns the instructions executed (Ir), or -1 on failure. The profile stays at profilePath
// for callgrind_annotate.
qint64 countInstructions(Operation operation, const QString &inputPath, const QString &outputPath,
                         const QString &profilePath, QString *error);

} // namespace ChildProcess

#endif // CHILDPROCESS_H
