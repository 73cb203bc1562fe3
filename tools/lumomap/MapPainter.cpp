#include "MapPainter.h"

#include "MapGeometry.h"

#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

MapViewport::MapViewport(const MapGeometry &geometry, const QSize &size, double margin)
{
    const Extent &extent = geometry.extent();
    const double availableWidth = std::max(1.0, size.width() - 2 * margin);
    const double availableHeight = std::max(1.0, size.height() - 2 * margin);
    if (extent.empty) {
        m_offset = QPointF(size.width() / 2.0, size.height() / 2.0);
        return;
    }
    // A map whose nodes stand on one line (or on one point) is scaled by the other side, or not at all.
    const double scaleX = extent.width() > 0 ? availableWidth / extent.width() : HUGE_VAL;
    const double scaleY = extent.height() > 0 ? availableHeight / extent.height() : HUGE_VAL;
    m_scale = std::min(scaleX, scaleY);
    if (m_scale == HUGE_VAL)
        m_scale = 1.0;
    const double left = margin + (availableWidth - extent.width() * m_scale) / 2.0;
    const double top = margin + (availableHeight - extent.height() * m_scale) / 2.0;
    m_offset = QPointF(left - extent.minX * m_scale, top - extent.minY * m_scale);
}

QPointF MapViewport::toPicture(const QPointF &mapPoint) const
{
    return mapPoint * m_scale + m_offset;
}

namespace {

QColor regionColor(const LumoMapModel &model, quint32 region)
{
    const LumoRegion *record = model.regions.value(region);
    if (!record)
        return MapPicture::unknownRegion();
    QColor color = record->color;
    color.setAlpha(255);
    return color;
}

double dotRadius(const QSize &size)
{
    return std::clamp(std::min(size.width(), size.height()) / 120.0, 2.0, 8.0);
}

void paintOutlines(QPainter &painter, const LumoMapModel &model, const MapGeometry &geometry,
                   const MapViewport &viewport, double padding)
{
    painter.setBrush(Qt::NoBrush);
    for (const PlacedInterface &interface : geometry.interfaces()) {
        if (interface.extent.empty)
            continue;
        QColor color = regionColor(model, interface.region);
        color.setAlpha(150);
        QPen pen(color, 1.5, Qt::DashLine);
        painter.setPen(pen);
        const QPointF topLeft = viewport.toPicture(QPointF(interface.extent.minX, interface.extent.minY));
        const QPointF bottomRight = viewport.toPicture(QPointF(interface.extent.maxX, interface.extent.maxY));
        painter.drawRect(QRectF(topLeft, bottomRight).adjusted(-padding, -padding, padding, padding));
    }
}

void paintNodes(QPainter &painter, const LumoMapModel &model, const MapGeometry &geometry,
                const MapViewport &viewport, double radius)
{
    painter.setPen(Qt::NoPen);
    for (const PlacedNode &node : geometry.nodes()) {
        painter.setBrush(regionColor(model, node.region));
        painter.drawEllipse(viewport.toPicture(node.position), radius, radius);
    }
}

void paintLabels(QPainter &painter, const MapGeometry &geometry, const MapViewport &viewport, double padding)
{
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    painter.setPen(QColor(230, 230, 230));
    for (const PlacedInterface &interface : geometry.interfaces()) {
        if (interface.extent.empty)
            continue;
        const QPointF topLeft = viewport.toPicture(QPointF(interface.extent.minX, interface.extent.minY));
        const QString label = interface.name + QStringLiteral(" (%1)").arg(interface.uid, 0, 16);
        painter.drawText(topLeft + QPointF(-padding, -padding - metrics.descent() - 2), label);
    }
}

} // namespace

void paintMap(QPainter &painter, const LumoMapModel &model, const MapGeometry &geometry,
              const MapPicture &picture)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(QPoint(0, 0), picture.size), MapPicture::background());
    const MapViewport viewport(geometry, picture.size, picture.margin());
    const double radius = dotRadius(picture.size);
    const double padding = 2 * radius;
    paintOutlines(painter, model, geometry, viewport, padding);
    paintNodes(painter, model, geometry, viewport, radius);
    if (picture.labels)
        paintLabels(painter, geometry, viewport, padding);
}
