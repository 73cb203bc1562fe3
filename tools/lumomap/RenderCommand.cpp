// lumomap render MAP -o OUT: a PNG or SVG picture (LumoMapPainter), PDF wiring sheets
// (LumoWiringSheets) or the map page (LumoMapPage), written through QSaveFile, so that a failed render
// leaves an existing file as it was.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapModel.h>
#include <LumoMapPage.h>
#include <LumoMapPainter.h>
#include <LumoWiring.h>
#include <LumoWiringSheets.h>

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

constexpr int largestSide = 16384;

bool parseSize(const QString &text, QSize &size)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    size = QSize(match.captured(1).toInt(), match.captured(2).toInt());
    return size.width() >= 1 && size.height() >= 1 && size.width() <= largestSide && size.height() <= largestSide;
}

} // namespace

int runRenderCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws every placed node of a map at its absolute position (interface + fixture + node\n"
        "position) as a dot in the colour of its interface's region (a ring for a skipped node), with a\n"
        "dashed outline around each interface's nodes, scaled to fit with a margin; y grows downward.\n"
        "With --wiring it draws, for every port, the chain through its nodes in wiring order (see the\n"
        "README) as a line with direction marks, marks each chain's first node with a square and the\n"
        "port number, and labels each node with its number along the chain (--addresses: its channel\n"
        "address; --universes: its universe and channel). Marks, lines and labels are sized from the\n"
        "spacing of the nodes on the page; labels that would be smaller than 6 pixels or overlap another\n"
        "label are left out.\n"
        "The format follows the extension of OUT: .png, .svg, .pdf for wiring sheets (an overview page,\n"
        "then per interface a page with its port table and drawing, and where its nodes stand too close\n"
        "for their numbers, further pages with its ports drawn larger; with --interface or --port just\n"
        "those sheets), or .html for the map page, one self-contained file to open in a browser, offline:\n"
        "pan, zoom, find, tap a node for its patch values and chain, port tables, print. Sheets and the\n"
        "page show the wiring unless --no-wiring is given."));
    parser.addPositionalArgument(QStringLiteral("MAP"), QStringLiteral("map file, legacy map or JSON form"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Picture to write (.png, .svg, .pdf or .html)."),
                                          QStringLiteral("OUT"));
    const QCommandLineOption sizeOption(
        QStringLiteral("size"), QStringLiteral("Picture size in pixels for PNG and SVG (default 1024x768)."),
        QStringLiteral("WxH"), QStringLiteral("1024x768"));
    const QCommandLineOption labelsOption(QStringLiteral("labels"),
                                          QStringLiteral("Write each interface's name and uid above it."));
    const QCommandLineOption wiringOption(QStringLiteral("wiring"),
                                          QStringLiteral("Draw the chains and number the nodes along them."));
    const QCommandLineOption addressesOption(
        QStringLiteral("addresses"),
        QStringLiteral("Like --wiring, but label nodes with their channel addresses."));
    const QCommandLineOption noWiringOption(QStringLiteral("no-wiring"),
                                            QStringLiteral("Leave the wiring out of sheets and the page."));
    const QCommandLineOption universesOption(
        QStringLiteral("universes"),
        QStringLiteral("Like --wiring, but label nodes with their universes and channels."));
    const QCommandLineOption pageOption(QStringLiteral("page"),
                                        QStringLiteral("Paper size for PDF: a4 (default) or letter."),
                                        QStringLiteral("SIZE"), QStringLiteral("a4"));
    parser.addOptions({outputOption, sizeOption, labelsOption, wiringOption, noWiringOption, addressesOption,
                       universesOption, pageOption});
    Tool::WiringOptions wiringOptions;
    wiringOptions.add(parser, true);
    if (!Tool::parseCommandLine(parser, arguments, 1) || !wiringOptions.read(parser))
        return Tool::FileError;

    const QString mapPath = parser.positionalArguments().constFirst();
    const QString outPath = parser.value(outputOption);
    if (outPath.isEmpty()) {
        Tool::printError(QStringLiteral("render needs an output file: -o OUT.png, OUT.svg, OUT.pdf or OUT.html"));
        return Tool::FileError;
    }
    if (!Tool::acceptOutputPath(outPath, {mapPath},
                                {QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf"), QStringLiteral("html")}))
        return Tool::FileError;
    const QString extension = outPath.section(QLatin1Char('.'), -1).toLower();
    // Sheets and the page are for wiring: they show it unless told not to; pictures on request.
    const bool forWiring = extension == QLatin1String("pdf") || extension == QLatin1String("html");
    LumoMapPicture picture;
    picture.setLabels(parser.isSet(labelsOption));
    picture.setWiring(forWiring ? !parser.isSet(noWiringOption)
                                : parser.isSet(wiringOption) || parser.isSet(addressesOption) ||
                                      parser.isSet(universesOption));
    if (picture.wiring())
        picture.setNumbers(parser.isSet(universesOption)   ? LumoMapPicture::UniverseChannels
                           : parser.isSet(addressesOption) ? LumoMapPicture::ChannelAddresses
                                                           : LumoMapPicture::ChainNumbers);
    QSize size;
    if (!parseSize(parser.value(sizeOption), size)) {
        Tool::printError(QStringLiteral("invalid --size \"%1\": expected WxH, each from 1 to %2")
                             .arg(parser.value(sizeOption))
                             .arg(largestSide));
        return Tool::FileError;
    }
    picture.setArea(QRectF(QPointF(0, 0), QSizeF(size)));
    const QString page = parser.value(pageOption).toLower();
    if (page != QLatin1String("a4") && page != QLatin1String("letter")) {
        Tool::printError(
            QStringLiteral("invalid --page \"%1\": expected a4 or letter").arg(parser.value(pageOption)));
        return Tool::FileError;
    }

    LumoMapModel model;
    if (!Tool::loadAnyMap(model, mapPath))
        return Tool::FileError;
    LumoWiring wiring(model, wiringOptions.wiring);
    if (!wiringOptions.filter(wiring))
        return Tool::FileError;
    Tool::reportUnplacedFixtures(wiring);
    if (wiringOptions.filtered() && wiring.nodeCount == 0) {
        const QString chosen = wiring.interfaces.size() == 1 ? wiring.interfaces.constFirst().description()
                                                             : QStringLiteral("the interfaces chosen");
        Tool::printError(QStringLiteral("nothing to draw: %1%2 has no nodes")
                             .arg(chosen, wiringOptions.selectedPort() > 0
                                              ? QStringLiteral(" port %1").arg(wiringOptions.selectedPort())
                                              : QString()));
        return Tool::FileError;
    }

    QSaveFile file(outPath);
    if (!file.open(QIODevice::WriteOnly)) {
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(outPath, file.errorString()));
        return Tool::FileError;
    }
    // Sheets and the page name the map file and when it was saved: as the map says, else the file's time.
    const QString fileName = QFileInfo(mapPath).fileName();
    const QString savedTime = model.savedatetime.isEmpty()
                                  ? QFileInfo(mapPath).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                  : model.savedatetime;
    bool drawn = false;
    if (extension == QLatin1String("pdf")) {
        LumoWiringSheetsOptions sheets;
        sheets.setPageSize(page == QLatin1String("letter") ? QPageSize::Letter : QPageSize::A4);
        sheets.setPicture(picture);
        sheets.setFileName(fileName);
        sheets.setSavedTime(savedTime);
        sheets.setOverview(!wiringOptions.filtered());
        drawn = LumoWiringSheets::write(file, model, wiring, sheets);
    } else if (extension == QLatin1String("html")) {
        LumoMapPageOptions pageOptions;
        pageOptions.setPicture(picture);
        pageOptions.setFileName(fileName);
        pageOptions.setSavedTime(savedTime);
        drawn = LumoMapPage::write(file, model, wiring, pageOptions);
    } else if (extension == QLatin1String("svg")) {
        drawn = LumoMapPainter::writeSvg(file, model, wiring, picture);
    } else {
        drawn = LumoMapPainter::writePng(file, model, wiring, picture);
    }
    if (!drawn || !file.commit()) {
        file.cancelWriting();
        const QString reason = drawn ? file.errorString() : QStringLiteral("drawing failed");
        Tool::printError(QStringLiteral("cannot write \"%1\": %2").arg(outPath, reason));
        return Tool::FileError;
    }
    return Tool::Success;
}
