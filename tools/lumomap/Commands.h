#ifndef COMMANDS_H
#define COMMANDS_H

// The subcommands of the lumomap tool. Each takes its own command line (the program name first,
// the subcommand's name removed) and returns the process exit code (see Tool::ExitCode).

#include <QStringList>

int runInfoCommand(const QStringList &arguments);
int runValidateCommand(const QStringList &arguments);
int runConvertCommand(const QStringList &arguments);
int runRenderCommand(const QStringList &arguments);
int runPatchCommand(const QStringList &arguments);
int runDiffCommand(const QStringList &arguments);
int runTestCommand(const QStringList &arguments);

#endif // COMMANDS_H
