// lumomap render MAP -o OUT.svg|OUT.png [--size WxH] [--labels]: draws the placed nodes of a map,
// coloured by region, into a PNG image or an SVG file. The output is written through QSaveFile, so
// a failed render leaves an existing file as it was.

#include "Commands.h"
#include "MapGeometry.h"
#include "MapPainter.h"
#include "ToolSupport.h"

#include <LumoMapModel.h>

#include <QCommandLineParser>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgGenerator>

namespace {

constexpr int largestSide = 16384;

bool parseSize(const QString &text, QSize &size)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    size = QSize(match.captured(1).toInt(), match.captured(2).toInt());
    return size.width() >= 1 && size.height() >= 1 && size.width() <= largestSide &&
           size.height() <= largestSide;
}

bool renderPng(QSaveFile &file, const LumoMapModel &model, const MapGeometry &geometry,
               const MapPicture &picture)
{
    QImage image(picture.size, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    {
        QPainter painter(&image);
        paintMap(painter, model, geometry, picture);
    }
    return image.save(&file, "PNG");
}

bool renderSvg(QSaveFile &file, const LumoMapModel &model, const MapGeometry &geometry,
               const MapPicture &picture)
{
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setSize(picture.size);
    generator.setViewBox(QRect(QPoint(0, 0), picture.size));
    generator.setTitle(model.mapname.isEmpty() ? QStringLiteral("LumoMap") : model.mapname);
    generator.setDescription(QStringLiteral("Fixture map drawn by lumomap"));
    QPainter painter;
    if (!painter.begin(&generator))
        return false;
    paintMap(painter, model, geometry, picture);
    return painter.end();
}

} // namespace

int runRenderCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws every placed node of a map at its absolute position (interface + fixture + node\n"
        "position) as a dot in the colour of its interface's region, with a dashed outline around\n"
        "each interface's nodes, scaled to fit the picture with a margin; y grows downward.\n"
        "The format follows the extension of OUT: .png or .svg."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file or legacy map"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Picture to write (.png or .svg)."),
                                          QStringLiteral("OUT"));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Picture size in pixels (default 1024x768)."),
                                        QStringLiteral("WxH"), QStringLiteral("1024x768"));
    const QCommandLineOption labelsOption(QStringLiteral("labels"),
                                          QStringLiteral("Write each interface's name and uid above it."));
    parser.addOption(outputOption);
    parser.addOption(sizeOption);
    parser.addOption(labelsOption);
    if (!Tool::parseCommandLine(parser, arguments, 1))
        return Tool::FileError;

    const QString outPath = parser.value(outputOption);
    if (outPath.isEmpty()) {
        Tool::printError(QStringLiteral("render needs an output file: -o OUT.png or -o OUT.svg"));
        return Tool::FileError;
    }
    const bool svg = outPath.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    if (!svg && !outPath.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        Tool::printError(
            QStringLiteral("cannot write \"%1\": the name must end in .png or .svg").arg(outPath));
        return Tool::FileError;
    }
    MapPicture picture;
    picture.labels = parser.isSet(labelsOption);
    if (!parseSize(parser.value(sizeOption), picture.size)) {
        Tool::printError(QStringLiteral("invalid --size \"%1\": expected WxH, each from 1 to %2")
                             .arg(parser.value(sizeOption))
                             .arg(largestSide));
        return Tool::FileError;
    }

    const QString mapPath = parser.positionalArguments().constFirst();
    LumoMapModel model;
    if (!Tool::loadMap(model, mapPath))
        return Tool::FileError;
    const MapGeometry geometry(model);

    QSaveFile file(outPath);
    if (!file.open(QIODevice::WriteOnly)) {
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(outPath, file.errorString()));
        return Tool::FileError;
    }
    const bool drawn =
        svg ? renderSvg(file, model, geometry, picture) : renderPng(file, model, geometry, picture);
    if (!drawn || !file.commit()) {
        file.cancelWriting();
        const QString reason = drawn ? file.errorString() : QStringLiteral("drawing failed");
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(outPath, reason));
        return Tool::FileError;
    }
    return Tool::Success;
}
