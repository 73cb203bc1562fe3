// The lumomap command-line tool: looks at, checks, converts and draws fixture maps. main() picks the
// subcommand; commandSummary below is the list of commands that `lumomap --help` prints.

#include "Commands.h"
#include "ToolSupport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

namespace {

struct Subcommand
{
    const char *name;
    int (*run)(const QStringList &arguments);
    bool needsGui; // painting text needs a QGuiApplication
};

const Subcommand subcommands[] = {
    {"info", runInfoCommand, false},       {"validate", runValidateCommand, false},
    {"convert", runConvertCommand, false}, {"render", runRenderCommand, true},
    {"patch", runPatchCommand, false},     {"diff", runDiffCommand, false},
    {"test", runTestCommand, false},
};

const QString commandSummary = QStringLiteral(
    "Looks at, checks, converts, draws, patches and compares LumoMap fixture maps (current map files,\n"
    "legacy maps and the JSON form of a map).\n"
    "\n"
    "Commands:\n"
    "  info MAP [--json]                     header, record counts, canvas, node extent, wiring per port\n"
    "  validate MAP [--json] [--strict]      reports errors (broken references, shared portnums, IP\n"
    "                                        addresses) and warnings (shared orders, addrs and channels,\n"
    "                                        unused templates, nodes crossing universes, full ports)\n"
    "  convert IN OUT [--to json|xml] [--translate-old-coordinates]\n"
    "                                        writes IN as a current map file or as JSON\n"
    "  render MAP -o OUT.png|OUT.svg|OUT.pdf [--size WxH] [--labels] [--wiring] [--addresses]\n"
    "         [--page a4|letter]             draws the nodes coloured by region, the wiring on request;\n"
    "                                        PDF: wiring sheets, an index, an overview, pages per interface\n"
    "  patch MAP [-o OUT.csv|OUT.json] [--json] [--pixels] [--ports]\n"
    "                                        the patch list, one row per node in wiring order, or the\n"
    "                                        port table, one row per port\n"
    "  diff OLD NEW [--json] [--all]         records added, removed and changed, field by field\n"
    "  test MAP --protocol sacn|artnet [--pattern NAME] [--to ADDRESS] [--duration SECONDS] ...\n"
    "                                        lights the nodes in a test pattern over sACN or Art-Net\n"
    "\n"
    "info, validate, render and patch count channels in universes: --universe-size 510|512,\n"
    "--start-universe N, --channels-per-node N; info, render and patch show one controller or one\n"
    "port with --interface KEY (uid, name or IP; repeatable) and --port N (from 1).\n"
    "Run 'lumomap COMMAND --help' for the options of a command.\n"
    "Exit codes: 0 success, 1 validate found errors or diff found differences, 2 a file could not\n"
    "be read or written (or the command line was wrong).");

const Subcommand *findSubcommand(const char *name)
{
    for (const Subcommand &subcommand : subcommands) {
        if (std::strcmp(subcommand.name, name) == 0)
            return &subcommand;
    }
    return nullptr;
}

// stderr carries the tool's own one-line messages; Qt's diagnostics (for instance about a missing
// runtime directory on a headless machine) are shown only when LUMOMAP_QT_DIAGNOSTICS is set.
void dropQtDiagnostics(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        Tool::printError(message);
}

// The index in argv of the first argument that is not an option, or 0.
int subcommandIndex(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            return i;
    }
    return 0;
}

// Handles "lumomap", "lumomap --help", "lumomap --version" and unknown options.
int runWithoutSubcommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(commandSummary);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("info, validate, convert, render, patch, diff or test"));
    if (Tool::parseCommandLine(parser, arguments, 0))
        Tool::printError(QStringLiteral("no command given (see --help)"));
    return Tool::FileError;
}

} // namespace

int main(int argc, char **argv)
{
    const int index = subcommandIndex(argc, argv);
    const Subcommand *subcommand = index > 0 ? findSubcommand(argv[index]) : nullptr;

    // The tool never opens a window: drawing goes to an image or an SVG file, so it asks for the
    // offscreen platform unless the user chose one. This keeps render working without a display.
    if (subcommand && subcommand->needsGui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    if (qEnvironmentVariableIsEmpty("LUMOMAP_QT_DIAGNOSTICS"))
        qInstallMessageHandler(dropQtDiagnostics);

    std::unique_ptr<QCoreApplication> application;
    if (subcommand && subcommand->needsGui)
        application = std::make_unique<QGuiApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumomap"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMOMAP_TOOL_VERSION));

    QStringList arguments = QCoreApplication::arguments();
    if (index == 0)
        return runWithoutSubcommand(arguments);
    if (!subcommand) {
        Tool::printError(QStringLiteral("unknown command \"%1\" (see --help)").arg(arguments.at(index)));
        return Tool::FileError;
    }
    arguments.removeAt(index);
    return subcommand->run(arguments);
}
