#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoMapParser.h>

#include <QtTest>

#include <memory>

using Points = QList<QPointF>;

class TestGeometry : public QObject
{
    Q_OBJECT

private slots:
    void bounds_data();
    void bounds();
    void fixtureDimension_data();
    void fixtureDimension();
    void postLoadPlacesInterfaces_data();
    void postLoadPlacesInterfaces();
    void postLoadMovesUsedFixturesToTheirNodes();
    void postLoadNeedsALegacyController();
};

static void setNodes(LumoFixtureTemplate &fixtureTemplate, const Points &points)
{
    qDeleteAll(fixtureTemplate.nodelist);
    fixtureTemplate.nodelist.clear();
    for (const QPointF &point : points) {
        auto *node = new LumoNode;
        node->x = point.x();
        node->y = point.y();
        fixtureTemplate.nodelist.append(node);
    }
}

static Points nodePoints(const LumoFixtureTemplate &fixtureTemplate)
{
    Points points;
    for (const LumoNode *node : fixtureTemplate.nodelist)
        points.append(QPointF(node->x, node->y));
    return points;
}

void TestGeometry::bounds_data()
{
    QTest::addColumn<Points>("nodes");
    QTest::addColumn<QRectF>("expected"); // left, top = least x, y; right, bottom = greatest x, y

    QTest::newRow("no nodes") << Points() << QRectF(QPointF(0, 0), QPointF(0, 0));
    QTest::newRow("three nodes") << Points{{2, 3}, {-1, 5}, {4, -2}} << QRectF(QPointF(-1, -2), QPointF(4, 5));
    QTest::newRow("one node") << Points{{7, 8}} << QRectF(QPointF(7, 8), QPointF(7, 8));
    QTest::newRow("beyond the search limits")
        << Points{{2000000, 5}} << QRectF(QPointF(1000000, 5), QPointF(2000000, 5));
    QTest::newRow("below the negative limit")
        << Points{{-3000000, -2500000}} << QRectF(QPointF(-3000000, -2500000), QPointF(-1000000, -1000000));
}

void TestGeometry::bounds()
{
    QFETCH(Points, nodes);
    QFETCH(QRectF, expected);
    LumoFixtureTemplate fixtureTemplate;
    fixtureTemplate.xoffset = 50.0; // offsets are not applied
    fixtureTemplate.yoffset = -50.0;
    setNodes(fixtureTemplate, nodes);
    if (!nodes.isEmpty())
        fixtureTemplate.nodelist.first()->skipnode = true; // skipped nodes count like any other

    double minX = -1, minY = -1, maxX = -1, maxY = -1;
    fixtureTemplate.getBounds(minX, minY, maxX, maxY);
    QCOMPARE(minX, expected.left());
    QCOMPARE(minY, expected.top());
    QCOMPARE(maxX, expected.right());
    QCOMPARE(maxY, expected.bottom());
}

void TestGeometry::fixtureDimension_data()
{
    QTest::addColumn<Points>("nodes");
    QTest::addColumn<QPointF>("fixtureBefore");
    QTest::addColumn<QPointF>("fixtureAfter");
    QTest::addColumn<Points>("nodesAfter");

    QTest::newRow("least x and y from different nodes")
        << Points{{3, 7}, {5, 4}} << QPointF(100, 100) << QPointF(3, 4) << Points{{0, 3}, {2, 0}};
    QTest::newRow("negative positions")
        << Points{{-2, 1}, {4, -6}, {0, 0}} << QPointF(0, 0) << QPointF(-2, -6) << Points{{0, 7}, {6, 0}, {2, 6}};
    QTest::newRow("first node is the least") << Points{{1, 1}, {2, 2}} << QPointF(9, 9) << QPointF(1, 1)
                                             << Points{{0, 0}, {1, 1}};
    QTest::newRow("no nodes keeps the position") << Points() << QPointF(12, 34) << QPointF(12, 34) << Points();
}

void TestGeometry::fixtureDimension()
{
    QFETCH(Points, nodes);
    QFETCH(QPointF, fixtureBefore);
    QFETCH(QPointF, fixtureAfter);
    QFETCH(Points, nodesAfter);

    LumoMapModel model;
    LumoMapParser parser(&model);
    LumoFixtureTemplate fixtureTemplate;
    setNodes(fixtureTemplate, nodes);
    LumoFixture fixture;
    fixture.x = fixtureBefore.x();
    fixture.y = fixtureBefore.y();

    parser.calculateLumoFixtureDimension(&fixture, &fixtureTemplate);
    QCOMPARE(QPointF(fixture.x, fixture.y), fixtureAfter);
    QCOMPARE(nodePoints(fixtureTemplate), nodesAfter);
}

// A model shaped as a legacy import leaves it: one interface whose fixtures (one per template, each
// on the interface template's outputs) are indexed by template uid in the model and the interface.
struct LegacyShapedModel
{
    LumoMapModel model;
    LumoInterface *interface = nullptr;
    QList<LumoFixture *> fixtures;
    QList<LumoFixtureTemplate *> templates;

    // The fixtures get their positions and used flags in the order in which the interface's index
    // visits them, so that `fixtures` and the expectations of a test follow that order.
    explicit LegacyShapedModel(const QList<QPointF> &fixturePositions, const QList<bool> &used)
    {
        interface = new LumoInterface;
        interface->uid = 26;
        interface->templateid = 26;
        auto *interfaceTemplate = new LumoInterfaceTemplate;
        interfaceTemplate->uid = 26;
        for (int i = 0; i < fixturePositions.size(); ++i) {
            auto *fixtureTemplate = new LumoFixtureTemplate;
            auto *fixture = new LumoFixture;
            fixture->templateid = fixtureTemplate->uid;
            auto *output = new LumoOutput;
            output->fixtures.append(fixture);
            interfaceTemplate->outputs.append(output);
            model.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
            model.fixturesByTemplate.insert(fixture->templateid, fixture);
            interface->fixturesByTemplate.insert(fixture->templateid, fixture);
        }
        model.interfaceTemplates.insert(26, interfaceTemplate);
        model.interfaces.insert(26, interface);

        fixtures = interface->fixturesByTemplate.values();
        for (int i = 0; i < fixtures.size(); ++i) {
            fixtures.at(i)->x = fixturePositions.at(i).x();
            fixtures.at(i)->y = fixturePositions.at(i).y();
            fixtures.at(i)->used = used.at(i);
            templates.append(model.fixtureTemplates.value(fixtures.at(i)->templateid));
        }
    }

    // Runs only the interface phase: templates without nodes leave the fixtures where they are.
    void run()
    {
        LumoMapParser parser(&model);
        parser.controllerTemplates = templates;
        parser.controllerFixtures = fixtures;
        parser.additionalCalculation();
    }
};

void TestGeometry::postLoadPlacesInterfaces_data()
{
    QTest::addColumn<Points>("fixtures");
    QTest::addColumn<QList<bool>>("used");
    QTest::addColumn<QPointF>("interfaceAfter");
    QTest::addColumn<Points>("fixturesAfter");

    QTest::newRow("least of two used fixtures")
        << Points{{10, 20}, {5, 30}} << QList<bool>{true, true} << QPointF(5, 20) << Points{{5, 0}, {0, 10}};
    QTest::newRow("origin rule applies to every used fixture")
        << Points{{0, 0}, {5, 5}} << QList<bool>{true, true} << QPointF(5, 5) << Points{{-5, -5}, {0, 0}};
    QTest::newRow("unused fixture keeps its place and moves nothing")
        << Points{{1, 2}, {8, 9}} << QList<bool>{false, true} << QPointF(8, 9) << Points{{1, 2}, {0, 0}};
    QTest::newRow("no used fixture") << Points{{3, 4}} << QList<bool>{false} << QPointF(0, 0) << Points{{3, 4}};
}

void TestGeometry::postLoadPlacesInterfaces()
{
    QFETCH(Points, fixtures);
    QFETCH(QList<bool>, used);
    QFETCH(QPointF, interfaceAfter);
    QFETCH(Points, fixturesAfter);

    LegacyShapedModel legacy(fixtures, used);
    legacy.run();

    QCOMPARE(QPointF(legacy.interface->x, legacy.interface->y), interfaceAfter);
    for (int i = 0; i < fixtures.size(); ++i)
        QCOMPARE(QPointF(legacy.fixtures.at(i)->x, legacy.fixtures.at(i)->y), fixturesAfter.at(i));
}

void TestGeometry::postLoadMovesUsedFixturesToTheirNodes()
{
    LegacyShapedModel legacy({{0, 0}, {0, 0}}, {true, false});
    setNodes(*legacy.templates.at(0), {{24, 36}, {30, 40}});
    setNodes(*legacy.templates.at(1), {{7, 7}});
    legacy.run();

    // The used fixture took its nodes' least position, the interface took the fixture's, and both
    // the nodes and the fixture became relative to their parent.
    QCOMPARE(QPointF(legacy.interface->x, legacy.interface->y), QPointF(24, 36));
    QCOMPARE(QPointF(legacy.fixtures.at(0)->x, legacy.fixtures.at(0)->y), QPointF(0, 0));
    QCOMPARE(nodePoints(*legacy.templates.at(0)), (Points{{0, 0}, {6, 4}}));
    // The unused fixture and its template's nodes are left alone.
    QCOMPARE(QPointF(legacy.fixtures.at(1)->x, legacy.fixtures.at(1)->y), QPointF(0, 0));
    QCOMPARE(nodePoints(*legacy.templates.at(1)), (Points{{7, 7}}));
}

void TestGeometry::postLoadNeedsALegacyController()
{
    LegacyShapedModel legacy({{10, 20}}, {true});
    setNodes(*legacy.templates.at(0), {{24, 36}});
    LumoMapParser parser(&legacy.model); // no controller was read: its lists are empty
    parser.additionalCalculation();
    QCOMPARE(QPointF(legacy.fixtures.at(0)->x, legacy.fixtures.at(0)->y), QPointF(10, 20));
    QCOMPARE(nodePoints(*legacy.templates.at(0)), (Points{{24, 36}}));
    QCOMPARE(QPointF(legacy.interface->x, legacy.interface->y), QPointF(0, 0));
}

QTEST_APPLESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
