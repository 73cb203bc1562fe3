#ifndef TOOLSUPPORT_H
#define TOOLSUPPORT_H

// What every subcommand shares: the exit codes, the one-line error message on stderr, loading a map,
// the command-line parser set-up, the wiring options and filters, and writing output files.

#include <LumoWiring.h>

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class LumoMapModel;
class QCommandLineParser;
class QIODevice;
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

// Loads a map file, a legacy map or the JSON form of a map (LumoMapFile). On failure prints one line
// naming the file and what is wrong with it and returns false. `wasJson`, when given, tells whether the
// file held JSON.
bool loadAnyMap(LumoMapModel &model, const QString &path, bool translateOldCoordinates = false,
                bool *wasJson = nullptr);

// Adds --help and --version, parses `arguments` (program name first). Handles --help and --version
// itself (printing to stdout and exiting with 0), reports a parse error or a wrong number of
// positional arguments on stderr and returns false.
bool parseCommandLine(QCommandLineParser &parser, const QStringList &arguments, int positionalCount);

// Reads an option's value as a whole number from `least` to `most`; prints an error and returns false
// when it is not one.
bool integerOption(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 least, qint64 most,
                   qint64 &value);
bool integerOption(const QCommandLineParser &parser, const QString &name, qint64 least, qint64 most, qint64 &value);

// The options that set how channels are counted (LumoWiringOptions) and which interfaces and ports a
// command shows. add() puts them on a parser; read() takes their values after parsing.
class WiringOptions
{
public:
    void add(QCommandLineParser &parser, bool withFilters);
    bool read(const QCommandLineParser &parser);

    LumoWiringOptions wiring;
    // Keeps the interfaces and the port the command line names in `wiring`; false with a message when
    // an --interface names no interface of the map or a kept interface has no such --port.
    bool filter(LumoWiring &wiring) const;
    // The uids of the interfaces the command line names (empty for all); false with a message when an
    // --interface names no interface of `wiring` or when --port names a port that one of them (or, with
    // no --interface, every interface) lacks. Names match without regard to case.
    bool selectedInterfaces(const LumoWiring &wiring, QList<quint32> &uids) const;
    // The port the command line names, from 1; 0 for all.
    int selectedPort() const { return port; }
    // True when the command line names interfaces or a port to keep.
    bool filtered() const { return !interfaces.isEmpty() || port > 0; }

private:
    QCommandLineOption universeSize{QStringLiteral("universe-size"),
                                    QStringLiteral("Channels per universe: 510 (default) or 512."),
                                    QStringLiteral("N"), QStringLiteral("510")};
    QCommandLineOption startUniverse{QStringLiteral("start-universe"),
                                     QStringLiteral("The universe of every interface's first port (default: its uni)."),
                                     QStringLiteral("N")};
    QCommandLineOption channelsPerNode{
        QStringLiteral("channels-per-node"),
        QStringLiteral("The channels of a node whose channelCount is 0, as every legacy light's (default 3)."),
        QStringLiteral("N"), QStringLiteral("3")};
    QCommandLineOption universesPerPort{
        QStringLiteral("universes-per-port"),
        QStringLiteral("Give each port N universes: port P starts at the first universe + (P - 1) x N, so that a "
                       "change on one port never moves another (default: each port right after the one before)."),
        QStringLiteral("N")};
    QCommandLineOption interfaceFilter{
        QStringLiteral("interface"),
        QStringLiteral("Only the interface with this uid (hexadecimal), name or IP; may be repeated."),
        QStringLiteral("KEY")};
    QCommandLineOption portFilter{QStringLiteral("port"),
                                  QStringLiteral("Only the port with this label (its place on the controller, from 1)."),
                                  QStringLiteral("N")};
    bool hasSelectedPort(const LumoWiring &wiring, const QList<quint32> &uids) const;

    bool withFilters = false;
    QStringList interfaces;
    int port = 0;
};

// Names on stderr, as warnings, every fixture the wiring leaves out because the map holds no template
// of its templateid.
void reportUnplacedFixtures(const LumoWiring &wiring);

// Refuses an output that would replace one of the inputs, or whose extension is not one of
// `extensions` (lower case, without the dot); prints why and returns false.
bool acceptOutputPath(const QString &output, const QStringList &inputs, const QStringList &extensions);

// Writes `bytes` to standard output when `path` is empty, otherwise to the file through QSaveFile, so
// that an existing file is replaced only by the complete new content; on failure prints "cannot write"
// with the reason and returns false.
bool writeOutput(const QString &path, const QByteArray &bytes);

// The same for output produced as it is written: `produce` writes to the device it is given and returns
// false when the device refused some of it. writeFileAtomically() always writes to the file.
bool writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &produce);
bool writeOutput(const QString &path, const std::function<bool(QIODevice &)> &produce);

// Makes `stream` write UTF-8 (the default of Qt 6; Qt 5 would use the locale's codec).
void useUtf8(QTextStream &stream);

} // namespace Tool

#endif // TOOLSUPPORT_H
