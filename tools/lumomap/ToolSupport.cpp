#include "ToolSupport.h"

#include "MapJson.h"

#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <QXmlStreamReader>

#include <cstdio>

namespace Tool {

void printError(const QString &message)
{
    QString line = message;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTextStream err(stderr);
    useUtf8(err);
    err << QStringLiteral("lumomap: ") << line << QLatin1Char('\n');
}

bool loadMap(LumoMapModel &model, const QString &path, bool translateOldCoordinates)
{
    // loadFromFile reports a missing file itself; a directory or an unreadable file would reach
    // the XML reader as an empty input, so name those plainly before handing the path over.
    const QFileInfo info(path);
    if (info.exists() && (info.isDir() || !info.isReadable())) {
        printError(QStringLiteral("cannot read \"%1\": %2")
                       .arg(path, info.isDir() ? QStringLiteral("Is a directory.")
                                               : QStringLiteral("Permission denied.")));
        return false;
    }
    model.setTranslateOldCoordinatesToNew(translateOldCoordinates);
    if (model.loadFromFile(path))
        return true;
    printError(QStringLiteral("cannot read \"%1\": %2").arg(path, model.getLastError()));
    return false;
}

bool loadAnyMap(LumoMapModel &model, const QString &path, bool translateOldCoordinates, bool *wasJson)
{
    QFile file(path);
    const bool jsonName = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
    const bool json =
        jsonName || (file.open(QIODevice::ReadOnly) && file.peek(4096).trimmed().startsWith('{'));
    if (wasJson)
        *wasJson = json;
    if (!json)
        return loadMap(model, path, translateOldCoordinates);
    if (!file.isOpen() && !file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString()));
        return false;
    }
    QString error;
    if (mapFromJson(file.readAll(), model, error))
        return true;
    printError(QStringLiteral("cannot read \"%1\": %2").arg(path, error));
    return false;
}

bool isLegacyMap(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement) {
    }
    return reader.isStartElement() && reader.name() == QLatin1String("map");
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

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    printError(QStringLiteral("cannot write \"%1\": %2").arg(path, file.errorString()));
    return false;
}

bool writeOutput(const QString &path, const QByteArray &bytes)
{
    if (!path.isEmpty())
        return writeFileAtomically(path, bytes);
    QFile out;
    if (out.open(stdout, QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.flush())
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

QString formatReal(double value)
{
    return QString::number(value, 'g', 12);
}

QString formatHexKey(quint32 key)
{
    return QString::number(key, 16);
}

} // namespace Tool
