#include "LumoMapPainter.h"

#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"
#include "LumoWiring.h"
#include "RecordKeys.h"
#include "RenderSupport_p.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QSvgGenerator>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Grid cells of the spacing estimate and of the label space are kept in standard containers: an
// insertion into a QHash that runs out of memory ends the process (Qt 6.4 declares it noexcept),
// where these throw std::bad_alloc, which the entry points catch.
using Cell = std::pair<qint64, qint64>;
struct CellHash
{
    std::size_t operator()(const Cell &cell) const
    {
        return std::hash<quint64>()(quint64(cell.first) * 0x9E3779B97F4A7C15ull ^ quint64(cell.second));
    }
};
template <typename Value> using CellMap = std::unordered_map<Cell, std::vector<Value>, CellHash>;

} // namespace

LumoMapViewport::LumoMapViewport(const LumoExtent &extent, const QRectF &area, double margin)
{
    const double availableWidth = std::max(1.0, area.width() - 2 * margin);
    const double availableHeight = std::max(1.0, area.height() - 2 * margin);
    if (extent.empty) {
        m_offset = area.center();
        return;
    }
    // The extent's sides are taken in halves, which a double holds even for an extent from -1e308 to
    // 1e308, where the whole sides overflow; halving is exact, so other maps scale as before.
    const double halfWidth = extent.maxX / 2 - extent.minX / 2;
    const double halfHeight = extent.maxY / 2 - extent.minY / 2;
    // A map whose nodes stand on one line (or on one point) is scaled by the other side, or not at all.
    const double scaleX = halfWidth > 0 ? availableWidth / 2 / halfWidth : HUGE_VAL;
    const double scaleY = halfHeight > 0 ? availableHeight / 2 / halfHeight : HUGE_VAL;
    m_scale = std::min(scaleX, scaleY);
    if (m_scale == HUGE_VAL)
        m_scale = 1.0;
    const double left = area.left() + margin + (availableWidth / 2 - halfWidth * m_scale);
    const double top = area.top() + margin + (availableHeight / 2 - halfHeight * m_scale);
    m_mapOrigin = QPointF(extent.minX, extent.minY);
    m_offset = QPointF(left, top);
}

QPointF LumoMapViewport::toPicture(const QPointF &mapPoint) const
{
    const QPointF fromOrigin = mapPoint - m_mapOrigin;
    if (std::isfinite(fromOrigin.x()) && std::isfinite(fromOrigin.y()))
        return fromOrigin * m_scale + m_offset;
    // A point as far from the origin as a double reaches: the difference in halves.
    return (mapPoint / 2 - m_mapOrigin / 2) * m_scale * 2 + m_offset;
}

namespace RenderSupport {

bool paintableArea(const QRectF &area)
{
    const double edges[] = {area.left(), area.top(), area.right(), area.bottom()};
    for (const double edge : edges) {
        if (!(std::abs(edge) <= greatestCoordinate)) // also false for NaN
            return false;
    }
    return area.width() > 0 && area.height() > 0;
}

void abandon(QPainter &painter) noexcept
{
    try {
        if (QPaintEngine *engine = painter.paintEngine())
            engine->setActive(false);
        if (painter.isActive())
            painter.end();
    } catch (...) {
        // Nothing more can be done for a painter that fails even to stop.
    }
}

bool drawable(const QPointF &mapPoint)
{
    return std::isfinite(mapPoint.x()) && std::isfinite(mapPoint.y());
}

QColor regionColor(const LumoMapModel &model, quint32 region)
{
    const LumoRegion *record = model.regions.value(region);
    if (!record || !record->color.isValid())
        return LumoMapPicture::unknownRegion();
    QColor color = record->color;
    color.setAlpha(255);
    return color;
}

// The typical distance from a node to its nearest neighbour, in map units: the median over a
// sample of nodes, found through a grid of cells about as large as the average spacing (a node
// whose nearest neighbour is farther than a cell away is left out of the sample). Nodes on the same
// spot do not count. 0 when no two nodes stand apart.
double typicalSpacing(const QList<QPointF> &points, const LumoExtent &extent)
{
    if (points.size() < 2 || extent.empty)
        return 0.0;
    // Nodes spread over an area stand about sqrt(area / n) apart, nodes along a line length / n.
    const double cell = std::max(std::sqrt(extent.width() * extent.height() / points.size()),
                                 std::max(extent.width(), extent.height()) / points.size());
    if (!(cell > 0) || !std::isfinite(cell))
        return 0.0;
    const auto cellOf = [&](const QPointF &p) {
        return Cell(qint64(std::floor((p.x() - extent.minX) / cell)), qint64(std::floor((p.y() - extent.minY) / cell)));
    };
    CellMap<int> grid;
    for (int i = 0; i < points.size(); ++i)
        grid[cellOf(points.at(i))].push_back(i);

    QList<double> nearest;
    const int step = std::max<int>(1, points.size() / 4000);
    for (int i = 0; i < points.size(); i += step) {
        const auto home = cellOf(points.at(i));
        double best = HUGE_VAL;
        for (qint64 dx = -1; dx <= 1; ++dx) {
            for (qint64 dy = -1; dy <= 1; ++dy) {
                const auto found = grid.find(Cell(home.first + dx, home.second + dy));
                if (found == grid.end())
                    continue;
                for (int j : found->second) {
                    const QPointF d = points.at(j) - points.at(i);
                    const double distance = std::hypot(d.x(), d.y());
                    if (distance > 0)
                        best = std::min(best, distance);
                }
            }
        }
        if (best < HUGE_VAL)
            nearest.append(best);
    }
    if (nearest.isEmpty())
        return cell;
    std::nth_element(nearest.begin(), nearest.begin() + nearest.size() / 2, nearest.end());
    return nearest.at(nearest.size() / 2);
}

} // namespace RenderSupport

namespace {

using RenderSupport::drawable;

bool showsNode(const LumoMapPicture &picture, int chainNumber)
{
    return picture.onlyPort() <= 0 ||
           (chainNumber >= picture.fromNode() && (picture.toNode() <= 0 || chainNumber <= picture.toNode()));
}
using RenderSupport::regionColor;
using RenderSupport::typicalSpacing;

constexpr double largestRadius = 8.0;
constexpr double smallestRadius = 0.5;
constexpr double smallestNodeLabel = 6.0;
constexpr double smallestArrow = 2.5; // device units: about a millimetre on a printed sheet

// Remembers where labels and dots went, so that a label overlapping either is left out, as is one
// that would reach outside the picture's area (where it would be cut).
class LabelSpace
{
public:
    explicit LabelSpace(const QRectF &bounds) : m_bounds(bounds) {}

    // Takes `rect` for a label when it lies within the area and overlaps nothing taken before.
    bool take(const QRectF &rect)
    {
        if (!m_bounds.contains(rect) || !isFree(rect))
            return false;
        occupy(rect);
        return true;
    }

    // Marks `rect` (a dot) as taken, wherever it lies.
    void occupy(const QRectF &rect)
    {
        if (!withinLimit(rect))
            return;
        for (int x = cellOf(rect.left()); x <= cellOf(rect.right()); ++x) {
            for (int y = cellOf(rect.top()); y <= cellOf(rect.bottom()); ++y)
                m_cells[Cell(x, y)].push_back(rect);
        }
    }

private:
    static bool withinLimit(const QRectF &rect)
    {
        const double limit = 1e6; // far outside any picture
        return std::abs(rect.left()) < limit && std::abs(rect.right()) < limit &&
               std::abs(rect.top()) < limit && std::abs(rect.bottom()) < limit;
    }
    static int cellOf(double coordinate) { return int(std::floor(coordinate / cellSize)); }

    bool isFree(const QRectF &rect) const
    {
        if (!withinLimit(rect))
            return false;
        for (int x = cellOf(rect.left()); x <= cellOf(rect.right()); ++x) {
            for (int y = cellOf(rect.top()); y <= cellOf(rect.bottom()); ++y) {
                const auto found = m_cells.find(Cell(x, y));
                if (found == m_cells.end())
                    continue;
                for (const QRectF &taken : found->second) {
                    if (taken.intersects(rect))
                        return false;
                }
            }
        }
        return true;
    }

    static constexpr double cellSize = 48.0;
    QRectF m_bounds;
    CellMap<QRectF> m_cells;
};

// Where a label goes beside the box it names.
enum class LabelPlace
{
    RightHigh,
    RightLow,
    AboveLeft,
    AboveRight,
    AboveCentre,
    BelowLeft,
    BelowRight,
    BelowCentre,
    Left
};

// The top left corner of a label of `size` at `place` beside `box`.
QPointF labelCorner(const QRectF &box, const QSizeF &size, LabelPlace place)
{
    const double gap = 2.0;
    const double above = box.top() - gap - size.height();
    const double below = box.bottom() + gap;
    const double centreX = box.center().x() - size.width() / 2;
    switch (place) {
    case LabelPlace::RightHigh:
        return QPointF(box.right() + gap, box.center().y() - size.height() * 0.85);
    case LabelPlace::RightLow:
        return QPointF(box.right() + gap, box.center().y() - size.height() * 0.15);
    case LabelPlace::AboveLeft:
        return QPointF(box.left(), above);
    case LabelPlace::AboveRight:
        return QPointF(box.right() - size.width(), above);
    case LabelPlace::AboveCentre:
        return QPointF(centreX, above);
    case LabelPlace::BelowLeft:
        return QPointF(box.left(), below);
    case LabelPlace::BelowRight:
        return QPointF(box.right() - size.width(), below);
    case LabelPlace::BelowCentre:
        return QPointF(centreX, below);
    case LabelPlace::Left:
        break;
    }
    return QPointF(box.left() - gap - size.width(), box.center().y() - size.height() / 2);
}

// Everything one picture is painted with, worked out once.
struct Scene
{
    const LumoMapModel &model;
    const LumoMapPicture &picture;
    QList<const LumoWiredInterface *> interfaces;
    LumoMapViewport viewport;
    double radius;
    QColor ink; // labels and first-node marks

    // Whether the picture shows `port` (all ports unless it shows one alone).
    bool shows(const LumoWiredPort &port) const
    {
        return picture.onlyPort() <= 0 || picture.onlyPort() == port.port;
    }
    // Whether the picture shows the node numbered `chainNumber` of a port it shows.
    bool shows(int chainNumber) const { return showsNode(picture, chainNumber); }

    // Draws `text` beside `box` (a dot, a square, an outline) at the first of `places` where it stays
    // inside the picture and overlaps no label or dot drawn before. Returns false, drawing nothing,
    // when there is no such place.
    bool drawLabel(QPainter &painter, LabelSpace &space, const QRectF &box, const QList<LabelPlace> &places,
                   const QString &text, double pixelSize) const
    {
        QFont font = painter.font();
        font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
        const QFontMetricsF metrics(font);
        const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
        for (const LabelPlace place : places) {
            const QRectF rect(labelCorner(box, size, place), size);
            if (!space.take(rect))
                continue;
            painter.setFont(font);
            painter.setPen(ink);
            painter.drawText(rect.topLeft() + QPointF(0, metrics.ascent()), text);
            return true;
        }
        return false;
    }
};

QColor chainColor(int portIndex, bool print)
{
    const double hue = std::fmod(0.58 + portIndex * 0.618034, 1.0);
    return QColor::fromHsvF(hue, print ? 0.9 : 0.55, print ? 0.6 : 1.0);
}

// Outlines show where each interface's nodes are. When the interfaces' boxes cover the drawing more
// than twice over, the outlines would only hide the nodes, so they are left out.
bool outlinesHelp(const Scene &scene)
{
    LumoExtent all;
    double boxes = 0.0;
    for (const LumoWiredInterface *interface : scene.interfaces) {
        all.include(interface->extent);
        boxes += interface->extent.width() * interface->extent.height();
    }
    return scene.interfaces.size() < 2 || boxes <= 2 * all.width() * all.height();
}

void paintOutlines(QPainter &painter, const Scene &scene)
{
    // A drawing of one port shows no interface outline: it would lie around nodes not drawn.
    if (!outlinesHelp(scene) || scene.picture.onlyPort() > 0)
        return;
    painter.setBrush(Qt::NoBrush);
    const double padding = 2 * scene.radius + 2;
    for (const LumoWiredInterface *interface : scene.interfaces) {
        if (interface->extent.empty)
            continue;
        QColor color = regionColor(scene.model, interface->record->region);
        color.setAlpha(150);
        painter.setPen(QPen(color, std::clamp(scene.radius * 0.4, 0.5, 1.5), Qt::DashLine));
        const QPointF topLeft =
            scene.viewport.toPicture(QPointF(interface->extent.minX, interface->extent.minY));
        const QPointF bottomRight =
            scene.viewport.toPicture(QPointF(interface->extent.maxX, interface->extent.maxY));
        // Cut to just outside the picture, so that a far larger outline is not dashed all along.
        const QRectF outline = QRectF(topLeft, bottomRight).adjusted(-padding, -padding, padding, padding);
        const QRectF shown = outline.intersected(scene.picture.area().adjusted(-8, -8, 8, 8));
        if (!shown.isEmpty())
            painter.drawRect(shown);
    }
}

// A filled arrowhead of `size` whose tip is at `tip`, pointing along `unit`.
// Labels keep clear of it.
void paintArrow(QPainter &painter, LabelSpace &space, const QPointF &tip, const QPointF &unit, double size)
{
    const QPointF normal(-unit.y(), unit.x());
    const QPointF base = tip - unit * size;
    const QPointF corners[] = {tip, base + normal * (size / 2), base - normal * (size / 2)};
    painter.drawPolygon(corners, 3);
    space.occupy(QPolygonF({corners[0], corners[1], corners[2]}).boundingRect());
}

void paintChains(QPainter &painter, const Scene &scene, LabelSpace &space)
{
    const double lineWidth = std::clamp(scene.radius * 0.35, 0.25, 2.0);
    const double arrow = std::max({scene.radius * 1.4, lineWidth * 4, smallestArrow});
    for (const LumoWiredInterface *interface : scene.interfaces) {
        for (int p = 0; p < interface->ports.size(); ++p) {
            if (!scene.shows(interface->ports.at(p)))
                continue;
            const QList<LumoWiredNode> &nodes = interface->ports.at(p).nodes;
            const QColor color = chainColor(p, scene.picture.print());
            painter.setPen(QPen(color, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            QPainterPath path;
            bool started = false;
            for (const LumoWiredNode &node : nodes) {
                if (!drawable(node.position) || !scene.shows(node.chainNumber))
                    continue;
                const QPointF point = scene.viewport.toPicture(node.position);
                started ? path.lineTo(point) : path.moveTo(point);
                started = true;
            }
            painter.drawPath(path);
            // A direction mark halfway along every segment long enough to show it beside the dots; a
            // chain none of whose segments is, gets one mark beyond its last node instead, so that its
            // direction shows at every scale.
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            bool marked = false;
            QPointF lastFrom, lastTo;
            int segments = 0;
            for (int i = 1; i < nodes.size(); ++i) {
                if (!drawable(nodes.at(i - 1).position) || !drawable(nodes.at(i).position) ||
                    !scene.shows(nodes.at(i - 1).chainNumber) || !scene.shows(nodes.at(i).chainNumber))
                    continue;
                const QPointF from = scene.viewport.toPicture(nodes.at(i - 1).position);
                const QPointF to = scene.viewport.toPicture(nodes.at(i).position);
                const QPointF along = to - from;
                const double length = std::hypot(along.x(), along.y());
                if (length <= 0)
                    continue;
                lastFrom = from;
                lastTo = to;
                ++segments;
                if (length < 2 * scene.radius + arrow)
                    continue;
                paintArrow(painter, space, (from + to) / 2 + along / length * (arrow / 2), along / length,
                           arrow);
                marked = true;
            }
            if (!marked && segments > 0) {
                const QPointF along = lastTo - lastFrom;
                const QPointF unit = along / std::hypot(along.x(), along.y());
                paintArrow(painter, space, lastTo + unit * (scene.radius + arrow + lineWidth), unit, arrow);
            }
        }
    }
}

void paintNodes(QPainter &painter, const Scene &scene, LabelSpace &space)
{
    const double ring = std::clamp(scene.radius * 0.4, 0.25, 1.5);
    for (const LumoWiredInterface *interface : scene.interfaces) {
        const QColor color = regionColor(scene.model, interface->record->region);
        for (const LumoWiredPort &port : interface->ports) {
            if (!scene.shows(port))
                continue;
            for (const LumoWiredNode &node : port.nodes) {
                if (!drawable(node.position) || !scene.shows(node.chainNumber))
                    continue;
                const QPointF centre = scene.viewport.toPicture(node.position);
                space.occupy(
                    QRectF(centre - QPointF(scene.radius, scene.radius), QSizeF(2, 2) * scene.radius));
                if (node.node->skipnode) {
                    painter.setPen(QPen(color, ring));
                    painter.setBrush(Qt::NoBrush);
                    painter.drawEllipse(centre, scene.radius - ring / 2, scene.radius - ring / 2);
                } else {
                    painter.setPen(Qt::NoPen);
                    painter.setBrush(color);
                    painter.drawEllipse(centre, scene.radius, scene.radius);
                }
            }
        }
    }
}

// The first node of every chain gets a square around its dot. Where chains start close together the
// squares shrink to 60% of the typical distance between first nodes, so that they never merge into
// bars, and are left out below 1.5 pixels. Returns the squares' side, 0 when they are left out.
double paintFirstNodes(QPainter &painter, const Scene &scene, LabelSpace &space)
{
    QList<QPointF> starts;
    LumoExtent startExtent;
    for (const LumoWiredInterface *interface : scene.interfaces) {
        for (const LumoWiredPort &port : interface->ports) {
            if (!scene.shows(port) || port.nodes.isEmpty() || !drawable(port.nodes.constFirst().position) ||
                !scene.shows(1))
                continue;
            starts.append(port.nodes.constFirst().position);
            startExtent.include(starts.constLast());
        }
    }
    const double lineWidth = std::clamp(scene.radius * 0.5, 0.5, 2.0);
    double side = 2 * scene.radius + 2 * lineWidth + 1;
    const double startSpacing = typicalSpacing(starts, startExtent) * scene.viewport.scale();
    if (startSpacing > 0 && side > 0.6 * startSpacing)
        side = 0.6 * startSpacing;
    if (side < 1.5)
        return 0.0;
    painter.setPen(QPen(scene.ink, std::min(lineWidth, side / 4)));
    painter.setBrush(Qt::NoBrush);
    for (const LumoWiredInterface *interface : scene.interfaces) {
        for (const LumoWiredPort &port : interface->ports) {
            if (!scene.shows(port) || port.nodes.isEmpty() || !drawable(port.nodes.constFirst().position) ||
                !scene.shows(1))
                continue;
            const QPointF centre = scene.viewport.toPicture(port.nodes.constFirst().position);
            painter.drawRect(QRectF(centre - QPointF(side / 2, side / 2), QSizeF(side, side)));
            space.occupy(QRectF(centre - QPointF(side / 2, side / 2), QSizeF(side, side)));
        }
    }
    return side;
}

// Beside each first node's square of `side`, its port's label, where labels fit (as for node labels,
// but from 8 pixels of spacing on, since it matters more).
void paintPortLabels(QPainter &painter, const Scene &scene, LabelSpace &space, double spacing, double side)
{
    const double labelSize = std::min(11.0, spacing * 0.6);
    for (const LumoWiredInterface *interface : scene.interfaces) {
        for (const LumoWiredPort &port : interface->ports) {
            if (!scene.shows(port) || port.nodes.isEmpty() || !drawable(port.nodes.constFirst().position) ||
                !scene.shows(1))
                continue;
            const QPointF centre = scene.viewport.toPicture(port.nodes.constFirst().position);
            // A drawing of one port is captioned with the port already.
            if (labelSize < smallestNodeLabel || scene.picture.onlyPort() > 0)
                continue;
            const QString label = QStringLiteral("port %1 (portnum %2)").arg(port.port).arg(port.portnum);
            const QRectF square(centre - QPointF(side / 2, side / 2), QSizeF(side, side));
            scene.drawLabel(painter, space, square,
                            {LabelPlace::AboveLeft, LabelPlace::AboveRight, LabelPlace::BelowLeft,
                             LabelPlace::BelowRight, LabelPlace::Left, LabelPlace::RightHigh},
                            label, labelSize);
        }
    }
}

QString nodeLabel(LumoMapPicture::Numbers numbers, const LumoWiredNode &node)
{
    switch (numbers) {
    case LumoMapPicture::ChannelAddresses:
        return QString::number(node.address);
    case LumoMapPicture::UniverseChannels:
        return node.universe < 0 ? QStringLiteral("-") : QStringLiteral("%1/%2").arg(node.universe).arg(node.channel);
    case LumoMapPicture::NoNumbers:
    case LumoMapPicture::ChainNumbers:
        break;
    }
    return QString::number(node.chainNumber);
}

// Labels each node beside its dot; a chain's first node, beside its square of `firstSide` (0 for none).
void paintNodeLabels(QPainter &painter, const Scene &scene, LabelSpace &space, double spacing,
                     double firstSide)
{
    const double size = std::min(11.0, spacing * 0.45);
    if (size < smallestNodeLabel)
        return;
    for (const LumoWiredInterface *interface : scene.interfaces) {
        for (const LumoWiredPort &port : interface->ports) {
            if (!scene.shows(port))
                continue;
            for (const LumoWiredNode &node : port.nodes) {
                if (!drawable(node.position) || !scene.shows(node.chainNumber))
                    continue;
                const QString text = nodeLabel(scene.picture.numbers(), node);
                const QPointF centre = scene.viewport.toPicture(node.position);
                const double half =
                    node.chainNumber == 1 ? std::max(scene.radius, firstSide / 2) : scene.radius;
                const QRectF mark(centre - QPointF(half, half), QSizeF(2, 2) * half);
                scene.drawLabel(painter, space, mark,
                                {LabelPlace::RightHigh, LabelPlace::RightLow, LabelPlace::AboveCentre,
                                 LabelPlace::BelowCentre, LabelPlace::Left},
                                text, size);
            }
        }
    }
}

// Writes each interface's name and key beside its outline, where it fits: whole and large first,
// then whole and small, then its key alone. Returns how many interfaces got no label at all.
int paintInterfaceLabels(QPainter &painter, const Scene &scene, LabelSpace &space)
{
    const double padding = 2 * scene.radius + 2;
    const QList<LabelPlace> places{LabelPlace::AboveLeft,  LabelPlace::AboveRight, LabelPlace::BelowLeft,
                                   LabelPlace::BelowRight, LabelPlace::Left,       LabelPlace::RightHigh};
    int unlabelled = 0;
    for (const LumoWiredInterface *interface : scene.interfaces) {
        if (interface->extent.empty)
            continue;
        const QRectF outline =
            QRectF(scene.viewport.toPicture(QPointF(interface->extent.minX, interface->extent.minY)),
                   scene.viewport.toPicture(QPointF(interface->extent.maxX, interface->extent.maxY)))
                .adjusted(-padding, -padding, padding, padding);
        const QString key = RecordKeys::hexKey(interface->uid);
        const QString label = interface->record->name + QStringLiteral(" (%1)").arg(key);
        if (!scene.drawLabel(painter, space, outline, places, label, 12) &&
            !scene.drawLabel(painter, space, outline, places, label, 7) &&
            !scene.drawLabel(painter, space, outline, places, key, 7))
            ++unlabelled;
    }
    return unlabelled;
}

// Paints the picture with the painter, saving its state first; `saved` tells whether the state is
// saved and not yet restored, for when painting stops half way. Returns how many interfaces got no
// label (0 unless the picture has labels()).
int paintScene(QPainter &painter, const LumoMapModel &model, const LumoWiring &wiring,
               const LumoMapPicture &picture, bool &saved)
{
    QList<const LumoWiredInterface *> interfaces;
    LumoExtent extent;
    QList<QPointF> points;
    for (const LumoWiredInterface &interface : wiring.interfaces) {
        if (picture.hasOnlyInterface() && picture.onlyInterfaceUid() != interface.uid)
            continue;
        interfaces.append(&interface);
        for (const LumoWiredPort &port : interface.ports) {
            if (picture.onlyPort() > 0 && picture.onlyPort() != port.port)
                continue;
            for (const LumoWiredNode &node : port.nodes) {
                if (!drawable(node.position) || !showsNode(picture, node.chainNumber))
                    continue;
                points.append(node.position);
                extent.include(node.position);
            }
        }
    }
    const LumoMapViewport viewport(extent, picture.area(), picture.margin());
    const double spacing = typicalSpacing(points, extent) * viewport.scale();
    const double radius =
        spacing > 0 ? std::clamp(spacing * 0.35, smallestRadius, largestRadius) : largestRadius;
    const Scene scene{model,    picture, interfaces,
                      viewport, radius,  picture.print() ? QColor(20, 20, 20) : QColor(235, 235, 235)};

    painter.save();
    saved = true;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(picture.area(), picture.background());
    painter.setClipRect(picture.area());
    LabelSpace space(picture.area());
    paintOutlines(painter, scene);
    if (picture.wiring())
        paintChains(painter, scene, space);
    paintNodes(painter, scene, space);
    const double side = picture.wiring() ? paintFirstNodes(painter, scene, space) : 0.0;
    const int unlabelled = picture.labels() ? paintInterfaceLabels(painter, scene, space) : 0;
    // A single node, or nodes on one spot, have no spacing: their labels get the largest size.
    const double labelSpacing = spacing > 0 ? spacing : 100.0;
    if (side > 0)
        paintPortLabels(painter, scene, space, labelSpacing, side);
    if (picture.numbers() != LumoMapPicture::NoNumbers)
        paintNodeLabels(painter, scene, space, labelSpacing, side);
    painter.restore();
    saved = false;
    return unlabelled;
}

// The whole pixels of `side`, rounded; 0 for a side below half a pixel or beyond `most`.
int pixels(double side, double most)
{
    const double rounded = std::round(side);
    return rounded >= 1 && rounded <= most ? int(rounded) : 0;
}

} // namespace

int RenderSupport::paintCountingUnlabelled(QPainter &painter, const LumoMapModel &model,
                                           const LumoWiring &wiring, const LumoMapPicture &picture)
{
    if (!RenderSupport::paintableArea(picture.area()))
        return 0;
    bool saved = false;
    try {
        return paintScene(painter, model, wiring, picture, saved);
    } catch (const std::exception &) {
        // Painting stops where memory ran out; the painter is left as it was given.
        if (saved)
            painter.restore();
    }
    return 0;
}

void LumoMapPainter::paint(QPainter &painter, const LumoMapModel &model, const LumoWiring &wiring,
                           const LumoMapPicture &picture)
{
    RenderSupport::paintCountingUnlabelled(painter, model, wiring, picture);
}

bool LumoMapPainter::writePng(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                              const LumoMapPicture &picture)
{
    if (!RenderSupport::paintableArea(picture.area()))
        return false;
    // QPainter rasterises in 16.16 fixed point: an image wider or higher than 32767 pixels would
    // not be painted right.
    const QSize size(pixels(picture.area().width(), 32767), pixels(picture.area().height(), 32767));
    if (size.isEmpty())
        return false;
    try {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return false;
        {
            QPainter painter(&image);
            paint(painter, model, wiring, picture);
        }
        return image.save(&device, "PNG");
    } catch (const std::exception &) {
        return false;
    }
}

bool LumoMapPainter::writeSvg(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                              const LumoMapPicture &picture)
{
    if (!RenderSupport::paintableArea(picture.area()))
        return false;
    try {
        QSvgGenerator generator;
        QPainter painter;
        try {
            generator.setOutputDevice(&device);
            // A vector drawing of any size: an area smaller than a pixel still gets one.
            generator.setSize(QSize(int(std::clamp(std::round(picture.area().width()), 1.0, double(INT_MAX))),
                                    int(std::clamp(std::round(picture.area().height()), 1.0, double(INT_MAX)))));
            generator.setViewBox(picture.area());
            generator.setTitle(model.mapname.isEmpty() ? QStringLiteral("LumoMap") : model.mapname);
            generator.setDescription(QStringLiteral("Fixture map drawn by LumoMap"));
            if (!painter.begin(&generator))
                return false;
            paint(painter, model, wiring, picture);
            return painter.end();
        } catch (const std::exception &) {
            RenderSupport::abandon(painter);
            return false;
        }
    } catch (const std::exception &) {
        return false;
    }
}
