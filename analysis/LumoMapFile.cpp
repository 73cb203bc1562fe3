// Opening any map file: the kind is told by the name or the first character (JSON), else by the root
// element the XML loader met; a file that is no map is named for what it is, from what the load found.

#include "LumoMapFile.h"

#include "LumoMapJson.h"
#include "LumoMapModel.h"
#include "LumoMapModel_p.h"
#include "MapFileLoad.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {

bool fail(LumoMapModel &model, const QString &message, int line = 0, int column = 0)
{
    model.lastError = message;
    LumoMapModelPrivate::setErrorPosition(model, line, column);
    return false;
}

// Whether the first character of the file other than white space and a UTF-8 byte order mark is '{'.
// The device stays where it is.
bool startsLikeJson(QFile &file)
{
    QByteArray start = file.peek(4096);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    return start.trimmed().startsWith('{');
}

bool load(const QString &fileName, LumoMapModel &model, LumoMapFile::Format &format)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return fail(model, QStringLiteral("File does not exist."));
    if (info.isDir())
        return fail(model, QStringLiteral("Is a directory."));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(model, file.errorString() + QLatin1Char('.'));
    // A pipe is read once: only a regular file is looked into before the reader takes it.
    if (info.isFile() && info.size() == 0)
        return fail(model, QStringLiteral("the file is empty"));
    if (fileName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ||
        (info.isFile() && startsLikeJson(file))) {
        format = LumoMapFile::JsonMap;
        return LumoMapJson::read(file, model);
    }
    file.close();

    MapFileLoad report;
    const bool loaded = loadMapFile(model, fileName, report);
    if (report.root == MapFileLoad::Root::Current)
        format = LumoMapFile::CurrentMap;
    else if (report.root == MapFileLoad::Root::Legacy)
        format = LumoMapFile::LegacyMap;
    if (loaded)
        return true;
    const int line = model.lastErrorLine();
    const int column = model.lastErrorColumn();
    if (report.root == MapFileLoad::Root::Other)
        return fail(model,
                    QStringLiteral("not a map file: its root element is <%1>; expected <lumomap> or <map>")
                        .arg(report.rootName),
                    line, column);
    if (report.root == MapFileLoad::Root::None && !report.malformed.isEmpty())
        return fail(
            model,
            QStringLiteral("not XML: %1 at line %2, column %3").arg(report.malformed).arg(line).arg(column),
            line, column);
    // The loader's message names the last element or text the parser was given (or a refused
    // declaration); the place, and what was malformed there, follow it.
    if (line > 0)
        model.lastError +=
            QStringLiteral(" (line %1, column %2%3)")
                .arg(line)
                .arg(column)
                .arg(report.malformed.isEmpty() ? QString() : QStringLiteral(": ") + report.malformed);
    return false;
}

} // namespace

bool LumoMapFile::load(const QString &fileName, LumoMapModel &model, Format *format)
{
    Format found = Unknown;
    bool loaded = false;
    try {
        loaded = ::load(fileName, model, found);
    } catch (const std::exception &) {
        fail(model, QStringLiteral("Unable to parse file: Not enough memory to read the map."));
    }
    if (format)
        *format = found;
    return loaded;
}
