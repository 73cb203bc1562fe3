#include "LumoWiringSheets.h"

#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoMapModel.h"
#include "LumoWiring.h"
#include "RecordKeys.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

struct Sheet
{
    int interfaceIndex; // -1 for the overview
    QString title;
    QString details;
    LumoExtent extent;
};

QString portSummary(const LumoWiredInterface &interface)
{
    QStringList wired;
    int empty = 0;
    for (const LumoWiredPort &port : interface.ports) {
        if (port.nodes.isEmpty()) {
            ++empty;
            continue;
        }
        wired.append(QStringLiteral("port %1 (portnum %2): %3 nodes, channels %4-%5")
                         .arg(port.port)
                         .arg(port.portnum)
                         .arg(port.nodes.size())
                         .arg(port.firstAddress)
                         .arg(port.lastAddress));
    }
    QString text = wired.join(QStringLiteral("; "));
    if (empty)
        text += QStringLiteral("%1%2 ports without nodes")
                    .arg(wired.isEmpty() ? QString() : QStringLiteral("; "))
                    .arg(empty);
    return text;
}

QList<Sheet> sheetsOf(const LumoMapModel &model, const LumoWiring &wiring)
{
    const QString mapName = model.mapname.isEmpty() ? QStringLiteral("Unnamed map") : model.mapname;
    QList<Sheet> sheets{
        {-1, mapName + QStringLiteral(": overview"),
         QStringLiteral("%1 interfaces, %2 placed nodes").arg(wiring.interfaces.size()).arg(wiring.nodeCount),
         wiring.extent}};
    for (int i = 0; i < wiring.interfaces.size(); ++i) {
        const LumoWiredInterface &interface = wiring.interfaces.at(i);
        if (interface.nodeCount == 0)
            continue;
        sheets.append({i,
                       QStringLiteral("%1: interface %2 (uid %3)")
                           .arg(mapName, interface.record->name, RecordKeys::hexKey(interface.uid)),
                       QStringLiteral("IP %1, uni %2. %3")
                           .arg(interface.record->ip)
                           .arg(interface.record->uni)
                           .arg(portSummary(interface)),
                       interface.extent});
    }
    return sheets;
}

// Draws the title block at the top of `page` and returns the height it took.
double drawTitleBlock(QPainter &painter, const QRectF &page, const Sheet &sheet)
{
    QFont titleFont = painter.font();
    titleFont.setPixelSize(14);
    titleFont.setBold(true);
    QFont detailFont = painter.font();
    detailFont.setPixelSize(9);
    painter.setPen(Qt::black);
    painter.setFont(titleFont);
    QRectF used;
    painter.drawText(page, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, sheet.title, &used);
    double height = used.height() + 4;
    painter.setFont(detailFont);
    painter.drawText(page.adjusted(0, height, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     sheet.details, &used);
    height += used.height() + 6;
    painter.drawLine(QPointF(page.left(), page.top() + height), QPointF(page.right(), page.top() + height));
    return height + 4;
}

} // namespace

bool LumoWiringSheets::write(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                             const LumoWiringSheetsOptions &options)
{
    QPdfWriter writer(&device);
    writer.setResolution(72); // device units are points, so label sizes read as point sizes
    writer.setPageSize(QPageSize(options.pageSize));
    writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    writer.setTitle(model.mapname.isEmpty() ? QStringLiteral("LumoMap wiring") : model.mapname);
    writer.setCreator(QStringLiteral("lumomap"));

    const QList<Sheet> sheets = sheetsOf(model, wiring);
    QPainter painter;
    for (int i = 0; i < sheets.size(); ++i) {
        const Sheet &sheet = sheets.at(i);
        writer.setPageOrientation(sheet.extent.width() >= sheet.extent.height() ? QPageLayout::Landscape
                                                                                : QPageLayout::Portrait);
        if (i == 0 ? !painter.begin(&writer) : !writer.newPage())
            return false;
        const QRectF page(0, 0, writer.width(), writer.height());
        painter.setViewport(page.toRect());
        painter.setWindow(page.toRect());
        const double titleHeight = drawTitleBlock(painter, page, sheet);
        QFont footerFont = painter.font();
        footerFont.setPixelSize(8);
        painter.setFont(footerFont);
        painter.drawText(page, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("page %1 of %2, drawn by lumomap").arg(i + 1).arg(sheets.size()));
        LumoMapPicture sheetPicture = options.picture;
        sheetPicture.print = true;
        sheetPicture.onlyInterface = sheet.interfaceIndex;
        sheetPicture.area = page.adjusted(0, titleHeight, 0, -12);
        LumoMapPainter::paint(painter, model, wiring, sheetPicture);
    }
    return painter.end();
}
