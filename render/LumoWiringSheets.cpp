#include "LumoWiringSheets.h"

#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoMapModel.h"
#include "LumoWiring.h"
#include "RecordKeys.h"
#include "RenderSupport_p.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>

// The sheets are planned before anything is drawn, so that every footer can say "page N of M":
//   - an overview of the whole wiring (unless the host leaves it out);
//   - per interface that places nodes, a page with its title, its port table and its drawing;
//   - where that drawing is too small for node numbers (they need about 14 points between
//     neighbouring nodes), detail pages: every port in a cell of its own, drawn large enough for its
//     numbers, the cells packed row by row; a port too long for one page is cut into runs of
//     consecutive nodes, each in its own cell.
// Each page takes the orientation in which its drawing comes out larger. Sheets without any of these
// pages (no overview, and no interface with nodes) are one portrait page that says so, so that the
// document is still a PDF a viewer opens.

namespace {

constexpr double titleHeight = 36.0;   // title line, detail line and rule
constexpr double footerHeight = 14.0;
constexpr double tableRow = 10.0;
constexpr double tableColumn[] = {30, 46, 42, 38, 48, 64, 64}; // port, portnum, fixtures, pixels, channels, first, last
constexpr double cellCaption = 12.0;
constexpr double cellGap = 6.0;
constexpr double indexColumn[] = {56, 230, 90, 40}; // key, name, IP, page

// Points between neighbouring nodes that their labels need: 6-point chain numbers (45% of the
// spacing) and a little more; addresses and universe/channel pairs are wider, and go above or below
// their dots where the next dot is too near.
double readableSpacing(LumoMapPicture::Numbers numbers)
{
    switch (numbers) {
    case LumoMapPicture::UniverseChannels:
        return 24.0;
    case LumoMapPicture::ChannelAddresses:
        return 18.0;
    case LumoMapPicture::NoNumbers:
    case LumoMapPicture::ChainNumbers:
        break;
    }
    return 14.0;
}

// A drawing on a detail page: one port, or one run of its nodes.
struct Cell
{
    int port = 0;     // the port's label
    int portIndex = 0; // its index in the interface's ports
    int fromNode = 0; // chain numbers of the run, from 1
    int toNode = 0;
    QSizeF size;
    QPointF at; // top left on the page's drawing area
};

struct Sheet
{
    enum Kind
    {
        Index,
        Overview,
        Interface,
        Details,
        NoNodes
    } kind = Overview;
    int interfaceIndex = -1; // for an index page: its first entry
    bool landscape = true;
    QList<Cell> cells;
};

// An index line: an interface of the wiring and the page its sheets begin on (0 for none).
struct IndexEntry
{
    int interfaceIndex = 0;
    int page = 0;
};

double tableWidth()
{
    double width = 0;
    for (double column : tableColumn)
        width += column;
    return width;
}

QList<const LumoWiredPort *> wiredPorts(const LumoWiredInterface &interface)
{
    QList<const LumoWiredPort *> ports;
    for (const LumoWiredPort &port : interface.ports) {
        if (!port.nodes.isEmpty())
            ports.append(&port);
    }
    return ports;
}

// The port table lists the ports with nodes, in side by side blocks of rows: as many blocks as the
// width holds and the ports need.
int tableBlocks(const LumoWiredInterface &interface, double width)
{
    const int ports = int(wiredPorts(interface).size());
    return std::max(1, std::min(int((width + 12) / (tableWidth() + 12)), (ports + 5) / 6));
}

double tableHeight(const LumoWiredInterface &interface, double width)
{
    const int blocks = tableBlocks(interface, width);
    const int rows = (int(wiredPorts(interface).size()) + blocks - 1) / blocks;
    return (rows + 1) * tableRow + 8;
}

QRectF paintRect(const LumoWiringSheetsOptions &options, bool landscape)
{
    const QPageLayout layout(QPageSize(options.pageSize()), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                             QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    return QRectF(QPointF(0, 0), layout.paintRectPoints().size());
}

// Where a sheet's drawing goes on a page of `page`'s size.
QRectF drawingArea(const Sheet &sheet, const LumoWiring &wiring, const QRectF &page)
{
    double top = titleHeight;
    if (sheet.kind == Sheet::Interface)
        top += tableHeight(wiring.interfaces.at(sheet.interfaceIndex), page.width());
    return page.adjusted(0, top, 0, -footerHeight);
}

QList<QPointF> placedPoints(const QList<LumoWiredNode> &nodes, int from = 1, int to = INT_MAX)
{
    QList<QPointF> points;
    for (const LumoWiredNode &node : nodes) {
        if (node.chainNumber >= from && node.chainNumber <= to && RenderSupport::drawable(node.position))
            points.append(node.position);
    }
    return points;
}

LumoExtent extentOf(const QList<QPointF> &points)
{
    LumoExtent extent;
    for (const QPointF &point : points)
        extent.include(point);
    return extent;
}

// The spacing of `points` on a drawing of `area`, in points; HUGE_VAL when they do not stand apart.
double spacingOn(const QList<QPointF> &points, const QRectF &area, double margin)
{
    const LumoExtent extent = extentOf(points);
    const double spacing = RenderSupport::typicalSpacing(points, extent);
    return spacing > 0 ? spacing * LumoMapViewport(extent, area, margin).scale() : HUGE_VAL;
}

// Chooses the orientation in which the sheet's nodes are drawn at the larger scale.
void orient(Sheet &sheet, const LumoWiring &wiring, const LumoExtent &extent, const LumoWiringSheetsOptions &options)
{
    const double margin = options.picture().margin();
    const double landscape =
        LumoMapViewport(extent, drawingArea(sheet, wiring, paintRect(options, true)), margin).scale();
    const double portrait =
        LumoMapViewport(extent, drawingArea(sheet, wiring, paintRect(options, false)), margin).scale();
    sheet.landscape = landscape >= portrait;
}

QFontMetricsF captionMetrics()
{
    QFont font;
    font.setPixelSize(8);
    font.setBold(true);
    return QFontMetricsF(font);
}

// A detail cell's caption: the port, and the run of its nodes when the cell holds part of them.
QString cellCaptionText(const LumoWiredPort &port, int fromNode, int toNode)
{
    QString caption = QStringLiteral("port %1 (portnum %2)").arg(port.port).arg(port.portnum);
    if (fromNode != 1 || toNode != port.nodes.size())
        caption += QStringLiteral(": nodes %1-%2 of %3").arg(fromNode).arg(toNode).arg(port.nodes.size());
    return caption;
}

// Cuts the port's chain into runs whose drawing at `scale` fits in `room`, and sizes their cells.
QList<Cell> cellsOf(const LumoWiredPort &port, int portIndex, const QSizeF &room, double margin,
                    double readable)
{
    const QList<QPointF> points = placedPoints(port.nodes);
    const double spacing = RenderSupport::typicalSpacing(points, extentOf(points));
    const double scale = spacing > 0 ? readable / spacing : 1.0;
    // Wide enough for the longest caption a run of this port can have.
    const double captionWidth = captionMetrics().horizontalAdvance(
                                    cellCaptionText(port, int(port.nodes.size()), int(port.nodes.size()))) +
                                8;
    const auto cellSize = [&](const LumoExtent &extent) {
        return QSizeF(std::max({150.0, captionWidth, extent.width() * scale + 2 * margin}),
                      std::max(110.0, extent.height() * scale + 2 * margin + cellCaption));
    };
    QList<Cell> cells;
    LumoExtent run;
    int from = 1;
    for (const LumoWiredNode &node : port.nodes) {
        LumoExtent grown = run;
        if (RenderSupport::drawable(node.position))
            grown.include(node.position);
        const QSizeF size = cellSize(grown);
        if (node.chainNumber > from && (size.width() > room.width() || size.height() > room.height())) {
            cells.append({port.port, portIndex, from, node.chainNumber - 1, cellSize(run), QPointF()});
            from = node.chainNumber;
            run = LumoExtent();
            if (RenderSupport::drawable(node.position))
                run.include(node.position);
        } else {
            run = grown;
        }
    }
    if (!port.nodes.isEmpty())
        cells.append({port.port, portIndex, from, int(port.nodes.size()), cellSize(run), QPointF()});
    for (Cell &cell : cells)
        cell.size = cell.size.boundedTo(room);
    return cells;
}

// Packs cells row by row into detail pages of `room`.
QList<Sheet> detailSheets(int interfaceIndex, const QList<Cell> &cells, const QSizeF &room)
{
    QList<Sheet> sheets;
    double x = 0, y = 0, rowHeight = 0;
    for (Cell cell : cells) {
        if (x > 0 && x + cell.size.width() > room.width()) {
            x = 0;
            y += rowHeight + cellGap;
            rowHeight = 0;
        }
        if (sheets.isEmpty() || y + cell.size.height() > room.height()) {
            sheets.append({Sheet::Details, interfaceIndex, true, {}});
            x = y = rowHeight = 0;
        }
        cell.at = QPointF(x, y);
        sheets.last().cells.append(cell);
        x += cell.size.width() + cellGap;
        rowHeight = std::max(rowHeight, cell.size.height());
    }
    return sheets;
}

// Index lines per page: a heading row, then one row per interface.
int indexRowsPerPage(const LumoWiring &wiring, const LumoWiringSheetsOptions &options)
{
    const QRectF area = drawingArea(Sheet{Sheet::Index, 0, false, {}}, wiring, paintRect(options, false));
    return std::max(1, int(area.height() / tableRow) - 1);
}

// Puts index pages in front of sheets that hold more than one interface's pages.
QList<Sheet> withIndex(const QList<Sheet> &sheets, const LumoWiring &wiring,
                       const LumoWiringSheetsOptions &options)
{
    const auto interfacePages = std::count_if(
        sheets.begin(), sheets.end(), [](const Sheet &sheet) { return sheet.kind == Sheet::Interface; });
    if (interfacePages < 2)
        return sheets;
    const int rows = indexRowsPerPage(wiring, options);
    QList<Sheet> indexed;
    for (int first = 0; first < wiring.interfaces.size(); first += rows)
        indexed.append({Sheet::Index, first, false, {}});
    return indexed + sheets;
}

// Every interface of the wiring with the page (from 1) its sheets begin on, 0 when it has none.
QList<IndexEntry> indexEntries(const QList<Sheet> &sheets, const LumoWiring &wiring)
{
    QList<IndexEntry> entries;
    for (int i = 0; i < wiring.interfaces.size(); ++i)
        entries.append({i, 0});
    for (int page = 0; page < sheets.size(); ++page) {
        const Sheet &sheet = sheets.at(page);
        if (sheet.kind == Sheet::Interface)
            entries[sheet.interfaceIndex].page = page + 1;
    }
    return entries;
}

void drawIndex(QPainter &painter, const QList<IndexEntry> &entries, const LumoWiring &wiring, int first,
               int rows, const QRectF &area)
{
    QFont font = painter.font();
    font.setPixelSize(8);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetricsF metrics(font);
    const auto row = [&](double top, const QStringList &cells) {
        double x = area.left();
        for (int c = 0; c < cells.size(); ++c) {
            const double width = indexColumn[c] - 6;
            // The page column is right-aligned; names too long for their column are shortened.
            painter.drawText(QRectF(x, top, width, tableRow),
                             (c == 3 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             metrics.elidedText(cells.at(c), Qt::ElideRight, width));
            x += indexColumn[c];
        }
    };
    painter.setPen(Qt::black);
    painter.setFont(bold);
    row(area.top(),
        {QStringLiteral("uid"), QStringLiteral("name"), QStringLiteral("IP"), QStringLiteral("page")});
    painter.setFont(font);
    const double width = indexColumn[0] + indexColumn[1] + indexColumn[2] + indexColumn[3];
    for (int r = 0; r < rows && first + r < entries.size(); ++r) {
        const IndexEntry &entry = entries.at(first + r);
        const LumoWiredInterface &interface = wiring.interfaces.at(entry.interfaceIndex);
        const double top = area.top() + (r + 1) * tableRow;
        if (r % 2 == 0)
            painter.fillRect(QRectF(area.left(), top, width, tableRow), QColor(238, 238, 238));
        row(top, {RecordKeys::hexKey(interface.uid), interface.record->name, interface.record->ip,
                  entry.page > 0 ? QString::number(entry.page) : QStringLiteral("no nodes")});
    }
}

QList<Sheet> plan(const LumoWiring &wiring, const LumoWiringSheetsOptions &options)
{
    QList<Sheet> sheets;
    if (options.overview()) {
        Sheet overview;
        orient(overview, wiring, wiring.extent, options);
        sheets.append(overview);
    }
    const double margin = options.picture().margin();
    const QRectF detailRoom = drawingArea(Sheet{Sheet::Details, -1, true, {}}, wiring, paintRect(options, true));
    const double readable = readableSpacing(options.picture().numbers());
    for (int i = 0; i < wiring.interfaces.size(); ++i) {
        const LumoWiredInterface &interface = wiring.interfaces.at(i);
        if (interface.nodeCount == 0)
            continue;
        Sheet sheet{Sheet::Interface, i, true, {}};
        orient(sheet, wiring, interface.extent, options);
        sheets.append(sheet);
        if (options.picture().numbers() == LumoMapPicture::NoNumbers && !options.picture().wiring())
            continue;
        QList<QPointF> points;
        for (const LumoWiredPort &port : interface.ports)
            points += placedPoints(port.nodes);
        if (spacingOn(points, drawingArea(sheet, wiring, paintRect(options, sheet.landscape)), margin) >=
            readable)
            continue;
        QList<Cell> cells;
        for (int p = 0; p < interface.ports.size(); ++p)
            cells += cellsOf(interface.ports.at(p), p, detailRoom.size(), margin, readable);
        sheets += detailSheets(i, cells, detailRoom.size());
    }
    if (sheets.isEmpty())
        sheets.append({Sheet::NoNodes, -1, false, {}});
    return withIndex(sheets, wiring, options);
}

QString placedText(qint64 universe, int channel)
{
    return universe < 0 ? QStringLiteral("-") : QStringLiteral("%1/%2").arg(universe).arg(channel);
}

void drawPortTable(QPainter &painter, const LumoWiredInterface &interface, const QRectF &area)
{
    QFont font = painter.font();
    font.setPixelSize(8);
    QFont bold = font;
    bold.setBold(true);
    const int blocks = tableBlocks(interface, area.width());
    const int rows = (int(wiredPorts(interface).size()) + blocks - 1) / blocks;
    const QStringList heads{QStringLiteral("port"),   QStringLiteral("portnum"),     QStringLiteral("fixtures"),
                            QStringLiteral("pixels"), QStringLiteral("channels"),    QStringLiteral("first u/ch"),
                            QStringLiteral("last u/ch")};
    const auto row = [&](double left, double top, const QStringList &cells) {
        double x = left;
        for (int c = 0; c < cells.size(); ++c) {
            painter.drawText(QRectF(x, top, tableColumn[c] - 6, tableRow), Qt::AlignRight | Qt::AlignVCenter,
                             cells.at(c));
            x += tableColumn[c];
        }
    };
    painter.setPen(Qt::black);
    const QList<const LumoWiredPort *> ports = wiredPorts(interface);
    for (int b = 0; b < blocks; ++b) {
        const double left = area.left() + b * (tableWidth() + 12);
        painter.setFont(bold);
        row(left, area.top(), heads);
        painter.setFont(font);
        for (int r = 0; r < rows && b * rows + r < ports.size(); ++r) {
            const LumoWiredPort &port = *ports.at(b * rows + r);
            const double top = area.top() + (r + 1) * tableRow;
            if (r % 2 == 0)
                painter.fillRect(QRectF(left, top, tableWidth(), tableRow), QColor(238, 238, 238));
            row(left, top,
                {QString::number(port.port), QString::number(port.portnum), QString::number(port.fixtureCount),
                 QString::number(port.nodes.size()), QString::number(port.channelSpan()),
                 placedText(port.firstUniverse, port.firstChannel), placedText(port.lastUniverse, port.lastChannel)});
        }
    }
}

void drawTitle(QPainter &painter, const QRectF &page, const QString &title, const QString &details)
{
    QFont titleFont = painter.font();
    titleFont.setPixelSize(14);
    titleFont.setBold(true);
    QFont detailFont = painter.font();
    detailFont.setPixelSize(9);
    painter.setPen(Qt::black);
    painter.setFont(titleFont);
    painter.drawText(QRectF(page.left(), page.top(), page.width(), 17), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(titleFont).elidedText(title, Qt::ElideRight, page.width()));
    painter.setFont(detailFont);
    painter.drawText(QRectF(page.left(), page.top() + 18, page.width(), 12), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(detailFont).elidedText(details, Qt::ElideRight, page.width()));
    painter.drawLine(QPointF(page.left(), page.top() + 32), QPointF(page.right(), page.top() + 32));
}

void drawFooter(QPainter &painter, const QRectF &page, const LumoWiringSheetsOptions &options, int number, int count)
{
    QFont font = painter.font();
    font.setPixelSize(8);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRectF line(page.left(), page.bottom() - 10, page.width(), 10);
    QStringList left;
    if (!options.fileName().isEmpty())
        left.append(options.fileName());
    if (!options.savedTime().isEmpty())
        left.append(QStringLiteral("saved %1").arg(options.savedTime()));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, left.join(QStringLiteral(" \u00b7 ")));
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("page %1 of %2").arg(number).arg(count));
}

QString interfaceTitle(const LumoWiredInterface &interface)
{
    return QStringLiteral("%1 (uid %2)").arg(interface.record->name, RecordKeys::hexKey(interface.uid));
}

QString interfaceDetails(const QString &mapName, const LumoWiredInterface &interface)
{
    int wired = 0;
    for (const LumoWiredPort &port : interface.ports)
        wired += port.nodes.isEmpty() ? 0 : 1;
    return QStringLiteral("%1 \u00b7 IP %2 \u00b7 uni %3 \u00b7 %4 nodes on %5 of %6 ports")
        .arg(mapName, interface.record->ip)
        .arg(interface.record->uni)
        .arg(interface.nodeCount)
        .arg(wired)
        .arg(interface.ports.size());
}

bool drawSheets(QPdfWriter &writer, QPainter &painter, const LumoMapModel &model, const LumoWiring &wiring,
                const LumoWiringSheetsOptions &options)
{
    writer.setResolution(72); // device units are points, so label sizes read as point sizes
    writer.setPageSize(QPageSize(options.pageSize()));
    writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    writer.setTitle(model.mapname.isEmpty() ? QStringLiteral("LumoMap wiring") : model.mapname);
    writer.setCreator(QStringLiteral("lumomap"));

    LumoWiringSheetsOptions sheetOptions = options;
    LumoMapPicture sheetPicture = options.picture();
    if (sheetPicture.wiring() && sheetPicture.numbers() == LumoMapPicture::NoNumbers) {
        sheetPicture.setNumbers(LumoMapPicture::ChainNumbers);
        sheetOptions.setPicture(sheetPicture);
    }
    const QString mapName = model.mapname.isEmpty() ? QStringLiteral("Unnamed map") : model.mapname;
    const QList<Sheet> sheets = plan(wiring, sheetOptions);
    const QList<IndexEntry> entries = indexEntries(sheets, wiring);
    const int indexRows = indexRowsPerPage(wiring, sheetOptions);
    for (int i = 0; i < sheets.size(); ++i) {
        const Sheet &sheet = sheets.at(i);
        writer.setPageOrientation(sheet.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        if (i == 0 ? !painter.begin(&writer) : !writer.newPage())
            return false;
        const QRectF page = paintRect(sheetOptions, sheet.landscape);
        painter.setFont(QFont()); // each page starts from the default font, not the last cell's caption
        painter.setViewport(page.toRect());
        painter.setWindow(page.toRect());
        drawFooter(painter, page, sheetOptions, i + 1, int(sheets.size()));
        LumoMapPicture picture = sheetPicture;
        picture.setPrint(true);
        if (sheet.kind != Sheet::Index && sheet.interfaceIndex >= 0)
            picture.setOnlyInterfaceUid(wiring.interfaces.at(sheet.interfaceIndex).uid);
        picture.setArea(drawingArea(sheet, wiring, page));
        if (sheet.kind == Sheet::NoNodes) {
            drawTitle(painter, page, mapName + QStringLiteral(": wiring"),
                      QStringLiteral("%1 interfaces \u00b7 no nodes").arg(wiring.interfaces.size()));
            painter.drawText(picture.area(), Qt::AlignCenter, QStringLiteral("The wiring has no nodes."));
            continue;
        }
        if (sheet.kind == Sheet::Index) {
            drawTitle(painter, page, mapName + QStringLiteral(": index"),
                      QStringLiteral("%1 interfaces, each with the page its sheets begin on")
                          .arg(wiring.interfaces.size()));
            drawIndex(painter, entries, wiring, sheet.interfaceIndex, indexRows, picture.area());
            continue;
        }
        if (sheet.kind == Sheet::Overview) {
            picture.setLabels(true);
            const int unnamed = RenderSupport::paintCountingUnlabelled(painter, model, wiring, picture);
            QString details = QStringLiteral("%1 interfaces \u00b7 %2 nodes")
                                  .arg(wiring.interfaces.size())
                                  .arg(wiring.nodeCount);
            if (unnamed > 0)
                details +=
                    QStringLiteral(" \u00b7 %1 not named here for want of room: see the index").arg(unnamed);
            drawTitle(painter, page, mapName + QStringLiteral(": overview"), details);
            continue;
        }
        const LumoWiredInterface &interface = wiring.interfaces.at(sheet.interfaceIndex);
        if (sheet.kind == Sheet::Interface) {
            drawTitle(painter, page, interfaceTitle(interface), interfaceDetails(mapName, interface));
            drawPortTable(painter, interface, page.adjusted(0, titleHeight, 0, 0));
            LumoMapPainter::paint(painter, model, wiring, picture);
            continue;
        }
        drawTitle(painter, page, interfaceTitle(interface) + QStringLiteral(": ports in detail"),
                  interfaceDetails(mapName, interface));
        for (const Cell &cell : sheet.cells) {
            const QRectF box(picture.area().topLeft() + cell.at, cell.size);
            QFont font = painter.font();
            font.setPixelSize(8);
            font.setBold(true);
            painter.setFont(font);
            painter.setPen(Qt::black);
            const LumoWiredPort &port = interface.ports.at(cell.portIndex);
            painter.drawText(QRectF(box.left() + 3, box.top(), box.width() - 6, cellCaption),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             cellCaptionText(port, cell.fromNode, cell.toNode));
            LumoMapPicture cellPicture = picture;
            cellPicture.setOnlyPort(cell.port);
            cellPicture.setFromNode(cell.fromNode);
            cellPicture.setToNode(cell.toNode);
            cellPicture.setArea(box.adjusted(0, cellCaption, 0, 0));
            LumoMapPainter::paint(painter, model, wiring, cellPicture);
            painter.setPen(QPen(QColor(160, 160, 160), 0.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
        }
    }
    return painter.end();
}

bool writeSheets(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                 const LumoWiringSheetsOptions &options)
{
    QPdfWriter writer(&device);
    QPainter painter;
    try {
        return drawSheets(writer, painter, model, wiring, options);
    } catch (const std::exception &) {
        RenderSupport::abandon(painter);
        return false;
    }
}

} // namespace

bool LumoWiringSheets::write(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                             const LumoWiringSheetsOptions &options)
{
    // Custom (which needs a size this API does not take) and values outside the enumeration name no paper.
    if (!QPageSize(options.pageSize()).isValid())
        return false;
    try {
        return writeSheets(device, model, wiring, options);
    } catch (const std::exception &) {
        return false;
    }
}
