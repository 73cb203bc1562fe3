#include "ToolSupport.h"

#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

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
