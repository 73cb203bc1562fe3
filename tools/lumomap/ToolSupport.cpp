#include "ToolSupport.h"

#include <LumoFixture.h>
#include <LumoInterface.h>
#include <LumoMapFile.h>
#include <LumoMapModel.h>
#include <RecordKeys.h>

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace Tool {

void printError(const QString &message)
{
    QString line = message;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextStream err(stderr);
    useUtf8(err);
    err << QStringLiteral("lumomap: ") << line << QLatin1Char('\n');
}

bool loadAnyMap(LumoMapModel &model, const QString &path, bool translateOldCoordinates, bool *wasJson)
{
    model.setTranslateOldCoordinatesToNew(translateOldCoordinates);
    LumoMapFile::Format format = LumoMapFile::Unknown;
    const bool loaded = LumoMapFile::load(path, model, &format);
    if (wasJson)
        *wasJson = format == LumoMapFile::JsonMap;
    if (!loaded)
        printError(QStringLiteral("cannot read \"%1\": %2").arg(path, model.getLastError()));
    return loaded;
}

bool parseCommandLine(QCommandLineParser &parser, const QStringList &arguments, int positionalCount)
{
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    if (!parser.parse(arguments)) {
        printError(parser.errorText() + QStringLiteral(" (see --help)"));
        return false;
    }
    if (parser.isSet(helpOption))
        parser.showHelp(Success);
    if (parser.isSet(versionOption))
        parser.showVersion();
    if (parser.positionalArguments().size() != positionalCount) {
        printError(QStringLiteral("expected %1 file argument%2, got %3 (see --help)")
                       .arg(positionalCount)
                       .arg(positionalCount == 1 ? QString() : QStringLiteral("s"))
                       .arg(parser.positionalArguments().size()));
        return false;
    }
    return true;
}

bool integerOption(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 least, qint64 most,
                   qint64 &value)
{
    return integerOption(parser, option.names().constLast(), least, most, value);
}

bool integerOption(const QCommandLineParser &parser, const QString &name, qint64 least, qint64 most, qint64 &value)
{
    bool ok = false;
    const QString text = parser.value(name);
    value = text.toLongLong(&ok);
    if (ok && value >= least && value <= most)
        return true;
    printError(QStringLiteral("invalid --%1 \"%2\": expected a whole number from %3 to %4")
                   .arg(name, text)
                   .arg(least)
                   .arg(most));
    return false;
}

void WiringOptions::add(QCommandLineParser &parser, bool filters)
{
    withFilters = filters;
    parser.addOptions({universeSize, startUniverse, channelsPerNode, universesPerPort});
    if (filters)
        parser.addOptions({interfaceFilter, portFilter});
}

bool WiringOptions::read(const QCommandLineParser &parser)
{
    const QString size = parser.value(universeSize);
    if (size != QLatin1String("510") && size != QLatin1String("512")) {
        printError(QStringLiteral("invalid --universe-size \"%1\": expected 510 or 512").arg(size));
        return false;
    }
    wiring.setUniverseSize(size.toInt());
    qint64 value = 0;
    if (parser.isSet(startUniverse)) {
        if (!integerOption(parser, startUniverse, 0, 0xFFFFFFFFll, value))
            return false;
        wiring.setStartUniverse(value);
    }
    if (!integerOption(parser, channelsPerNode, 1, 512, value))
        return false;
    wiring.setChannelsPerNode(int(value));
    if (parser.isSet(universesPerPort)) {
        if (!integerOption(parser, universesPerPort, 1, 65536, value))
            return false;
        wiring.setUniversesPerPort(int(value));
    }
    if (!withFilters)
        return true;
    interfaces = parser.values(interfaceFilter);
    if (parser.isSet(portFilter)) {
        if (!integerOption(parser, portFilter, 1, 256, value))
            return false;
        port = int(value);
    }
    return true;
}

bool WiringOptions::filter(LumoWiring &wired) const
{
    QList<quint32> uids;
    if (!selectedInterfaces(wired, uids))
        return false;
    wired.keepOnly(uids, port);
    return true;
}

bool WiringOptions::selectedInterfaces(const LumoWiring &wired, QList<quint32> &uids) const
{
    for (const QString &key : interfaces) {
        const QList<quint32> named = wired.interfacesNamed(key);
        uids += named;
        if (named.isEmpty()) {
            printError(QStringLiteral("--interface \"%1\" names no interface of the map (a uid in hexadecimal, "
                                      "a name or an IP)")
                           .arg(key));
            return false;
        }
    }
    return port == 0 || hasSelectedPort(wired, uids);
}

// True when every interface of `uids` has the port --port names or, when `uids` is empty, when some
// interface has it; otherwise says which ports there are.
bool WiringOptions::hasSelectedPort(const LumoWiring &wired, const QList<quint32> &uids) const
{
    int most = 0;
    for (const LumoWiredInterface &interface : wired.interfaces) {
        const int count = int(interface.ports.size());
        most = std::max(most, count);
        if (uids.contains(interface.uid) && port > count) {
            printError(QStringLiteral("invalid --port %1: %2 has %3")
                           .arg(port)
                           .arg(interface.description(),
                                count == 0 ? QStringLiteral("no ports") : QStringLiteral("ports 1-%1").arg(count)));
            return false;
        }
    }
    if (uids.isEmpty() && port > most) {
        printError(QStringLiteral("invalid --port %1: no interface has it (the most ports of one is %2)")
                       .arg(port)
                       .arg(most));
        return false;
    }
    return true;
}

void reportUnplacedFixtures(const LumoWiring &wiring)
{
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        for (const LumoUnplacedFixture &unplaced : interface.unplacedFixtures)
            printError(QStringLiteral("warning: %1 port %2 (portnum %3): fixture \"%4\" left out: "
                                      "templateid %5 names no fixture template")
                           .arg(interface.description())
                           .arg(unplaced.port)
                           .arg(unplaced.portnum)
                           .arg(unplaced.fixture->name, RecordKeys::hexKey(unplaced.fixture->templateid)));
    }
}

bool acceptOutputPath(const QString &output, const QStringList &inputs, const QStringList &extensions)
{
    const QFileInfo target(output);
    for (const QString &input : inputs) {
        const QFileInfo source(input);
        if (target.exists() && source.exists() && target.canonicalFilePath() == source.canonicalFilePath()) {
            printError(QStringLiteral("cannot write \"%1\": it is the map being read; choose another output file")
                           .arg(output));
            return false;
        }
    }
    const QString extension = target.suffix().toLower();
    if (!extensions.contains(extension)) {
        QString names = QLatin1Char('.') + extensions.constLast();
        if (extensions.size() > 1)
            names = QLatin1Char('.') + extensions.mid(0, extensions.size() - 1).join(QStringLiteral(", .")) +
                    QStringLiteral(" or ") + names;
        printError(QStringLiteral("cannot write \"%1\": the name must end in %2").arg(output, names));
        return false;
    }
    return true;
}

bool writeOutput(const QString &path, const QByteArray &bytes)
{
    return writeOutput(path, [&bytes](QIODevice &out) { return out.write(bytes) == bytes.size(); });
}

bool writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &produce)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && produce(file) && file.commit())
        return true;
    printError(QStringLiteral("cannot write \"%1\": %2").arg(path, file.errorString()));
    return false;
}

bool writeOutput(const QString &path, const std::function<bool(QIODevice &)> &produce)
{
    if (!path.isEmpty())
        return writeFileAtomically(path, produce);
    QFile out;
    if (out.open(stdout, QIODevice::WriteOnly) && produce(out) && out.flush())
        return true;
    printError(QStringLiteral("cannot write to standard output: %1").arg(out.errorString()));
    return false;
}

void useUtf8(QTextStream &stream)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("UTF-8");
#else
    Q_UNUSED(stream)
#endif
}

} // namespace Tool
