// Fixture geometry: the bounds of a template's nodes and the placement of a fixture at its nodes'
// least position. The post-load calculation as a whole is checked on legacy maps (tst_legacy_import).

#include <TestSupport.h>

#include <QtTest>

using Points = QList<QPointF>;

namespace {

void setNodes(LumoFixtureTemplate &fixtureTemplate, const Points &points)
{
    for (const QPointF &point : points)
        fixtureTemplate.nodelist.append(
            new LumoNode{point.x(), point.y(), 0, fixtureTemplate.nodelist.isEmpty(), 3, 0});
    if (!points.isEmpty())
        fixtureTemplate.nodelist.append(nullptr); // skipped
}

Points nodePoints(const LumoFixtureTemplate &fixtureTemplate)
{
    Points points;
    for (const LumoNode *node : fixtureTemplate.nodelist) {
        if (node)
            points.append(QPointF(node->x, node->y));
    }
    return points;
}

} // namespace

class TestGeometry : public QObject
{
    Q_OBJECT

private slots:
    void bounds_data();
    void bounds();
    void fixtureDimension_data();
    void fixtureDimension();
};

void TestGeometry::bounds_data()
{
    QTest::addColumn<Points>("nodes");
    QTest::addColumn<QRectF>("expected"); // left, top = least x, y; right, bottom = greatest x, y

    QTest::newRow("no nodes") << Points() << QRectF(QPointF(0, 0), QPointF(0, 0));
    QTest::newRow("three nodes, the first skipped")
        << Points{{2, 3}, {-1, 5}, {4, -2}} << QRectF(QPointF(-1, -2), QPointF(4, 5));
    QTest::newRow("one node") << Points{{7, 8}} << QRectF(QPointF(7, 8), QPointF(7, 8));
    QTest::newRow("beyond the search limits")
        << Points{{2000000, 5}} << QRectF(QPointF(1000000, 5), QPointF(2000000, 5));
    QTest::newRow("below the negative limit")
        << Points{{-3000000, -2500000}} << QRectF(QPointF(-3000000, -2500000), QPointF(-1000000, -1000000));
}

// Offsets are not applied, and skipped nodes count like any other.
void TestGeometry::bounds()
{
    QFETCH(Points, nodes);
    QFETCH(QRectF, expected);
    LumoFixtureTemplate fixtureTemplate;
    fixtureTemplate.xoffset = 50.0;
    setNodes(fixtureTemplate, nodes);
    double minX = -1, minY = -1, maxX = -1, maxY = -1;
    fixtureTemplate.getBounds(minX, minY, maxX, maxY);
    QCOMPARE(QRectF(QPointF(minX, minY), QPointF(maxX, maxY)), expected);
}

void TestGeometry::fixtureDimension_data()
{
    QTest::addColumn<Points>("nodes");
    QTest::addColumn<QPointF>("fixtureBefore");
    QTest::addColumn<QPointF>("fixtureAfter");
    QTest::addColumn<Points>("nodesAfter");

    QTest::newRow("least x and y from different nodes")
        << Points{{3, 7}, {5, 4}} << QPointF(100, 100) << QPointF(3, 4) << Points{{0, 3}, {2, 0}};
    QTest::newRow("negative positions") << Points{{-2, 1}, {4, -6}, {0, 0}} << QPointF(0, 0)
                                        << QPointF(-2, -6) << Points{{0, 7}, {6, 0}, {2, 6}};
    QTest::newRow("equal least values")
        << Points{{1, 1}, {1, 1}} << QPointF(9, 9) << QPointF(1, 1) << Points{{0, 0}, {0, 0}};
    QTest::newRow("no nodes keeps the position")
        << Points() << QPointF(12, 34) << QPointF(12, 34) << Points();
}

void TestGeometry::fixtureDimension()
{
    QFETCH(Points, nodes);
    QFETCH(QPointF, fixtureBefore);
    QFETCH(QPointF, fixtureAfter);
    QFETCH(Points, nodesAfter);

    LumoMapParser parser(nullptr);
    LumoFixtureTemplate fixtureTemplate;
    setNodes(fixtureTemplate, nodes);
    LumoFixture fixture;
    fixture.x = fixtureBefore.x();
    fixture.y = fixtureBefore.y();
    parser.calculateLumoFixtureDimension(&fixture, &fixtureTemplate);
    parser.calculateLumoFixtureDimension(nullptr, &fixtureTemplate);
    parser.calculateLumoFixtureDimension(&fixture, nullptr);
    QCOMPARE(QPointF(fixture.x, fixture.y), fixtureAfter);
    QCOMPARE(nodePoints(fixtureTemplate), nodesAfter);
}

QTEST_APPLESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
