#ifndef TOOLSUPPORT_H
#define TOOLSUPPORT_H

// What every subcommand shares: the exit codes, the one-line error message on stderr, loading a map
// and the command-line parser set-up.

#include <QString>
#include <QStringList>

class LumoMapModel;
class QCommandLineParser;
class QTextStream;

namespace Tool {

enum ExitCode
{
    Success = 0,
    FindingsReported = 1, // validate found errors in the map; diff found differences
    FileError = 2,        // a file could not be read or written; also wrong command-line usage
};

// Prints "lumomap: <message>" on stderr as one line (line breaks inside the message become spaces).
void printError(const QString &message);

// Loads `path` into `model` with loadFromFile (so the post-load calculation runs). On failure prints
// one line naming the file and the library's lastError and returns false.
bool loadMap(LumoMapModel &model, const QString &path, bool translateOldCoordinates = false);

// Loads a map file, a legacy map or the JSON form of a map (MapJson.h). JSON is recognised by the
// extension .json or by text that starts with "{"; the rest goes to loadMap.
// `wasJson`, when given, tells which kind was read.
bool loadAnyMap(LumoMapModel &model, const QString &path, bool translateOldCoordinates = false,
                bool *wasJson = nullptr);

// True when the file's document element is the legacy map's <map>.
bool isLegacyMap(const QString &path);

// Adds --help and --version, parses `arguments` (program name first). Handles --help and --version
// itself (printing to stdout and exiting with 0), reports a parse error or a wrong number of
// positional arguments on stderr and returns false.
bool parseCommandLine(QCommandLineParser &parser, const QStringList &arguments, int positionalCount);

// Writes `bytes` to `path` through QSaveFile, so an existing file is replaced only by the complete
// new content. On failure prints "cannot write" with the reason and returns false.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);

// Writes `bytes` to standard output when `path` is empty, otherwise to the file as above.
bool writeOutput(const QString &path, const QByteArray &bytes);

// Makes `stream` write UTF-8 (the default of Qt 6; Qt 5 would use the locale's codec).
void useUtf8(QTextStream &stream);

// Text for a number of the canvas: up to 12 significant digits, no trailing zeros.
QString formatReal(double value);
// A record key as the map file writes it: lower-case hexadecimal without prefix.
QString formatHexKey(quint32 key);

} // namespace Tool

#endif // TOOLSUPPORT_H
