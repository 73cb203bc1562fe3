// The document and its records: deep copies whose indexes point at the copy's own records, copies
// that outlive their source (the sanitizer build checks every record is freed once), the template
// counter, unique identifiers, the bounds of a template's nodes and the placement of a fixture at its
// nodes' least position. The post-load calculation as a whole is checked on legacy maps.

#include <TestSupport.h>

#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

// Every record, node, output and fixture a document holds, by address.
QSet<const void *> addresses(const LumoMapModel &m)
{
    QSet<const void *> all;
    for (const LumoFixtureTemplate *t : m.fixtureTemplates) {
        all << t;
        for (const LumoNode *n : t->nodelist)
            all << n;
    }
    for (const LumoInterfaceTemplate *t : m.interfaceTemplates) {
        all << t;
        for (const LumoOutput *o : t->outputs) {
            all << o;
            for (const LumoFixture *f : o->fixtures)
                all << f;
        }
    }
    for (const LumoInterface *i : m.interfaces)
        all << i;
    for (const LumoRegion *r : m.regions)
        all << r;
    return all;
}

// A random document with a legacy import added, so that every index is filled.
std::unique_ptr<LumoMapModel> filledModel(quint32 seed)
{
    auto model = std::make_unique<LumoMapModel>();
    RandomMap(seed, RandomMap::Values::Exact).fill(*model, 6);
    loadFile(*model, QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/legacy-theatre.xml"));
    model->lastError = QStringLiteral("old failure");
    model->translateOldCoordinatesToNew = true;
    model->savedatetime = QStringLiteral("Sun Dec 6 12:00:00 2026");
    return model;
}

QStringList fullDump(const LumoMapModel &m)
{
    return dump(m, true) << orderIndex(m) << m.lastError << m.savedatetime
                         << QString::number(m.translateOldCoordinatesToNew);
}

using Points = QList<QPointF>;

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

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void copies_data();
    void copies();
    void templateAssignment();
    void templateCounter();
    void uniqueIds_data();
    void uniqueIds();
    void nodeGeometry_data();
    void nodeGeometry();
};

void TestModel::copies_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how :
         {"copy, source destroyed first", "copy, copy destroyed first", "assignment", "self-assignment"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void TestModel::copies()
{
    QFETCH(QString, how);
    auto source = filledModel(7);
    // The flags away from their defaults too, so that a copy that leaves one out shows.
    source->scalexfit = source->scaleyfit = false;
    const QStringList expected = fullDump(*source);
    QVERIFY(source->clear()); // changes nothing
    QCOMPARE(fullDump(*source), expected);

    auto copy = std::make_unique<LumoMapModel>();
    RandomMap(8, RandomMap::Values::Exact).fill(*copy, 6); // replaced by an assignment
    copy->scalexfit = copy->scaleyfit = true; // the opposite of the source's
    if (how.startsWith(QLatin1String("copy")))
        copy = std::make_unique<LumoMapModel>(*source);
    else if (how == QLatin1String("assignment"))
        *copy = *source;
    if (how == QLatin1String("self-assignment")) {
        copy = std::move(source);
        const LumoMapModel &self = *copy; // through a reference: clang rejects a literal x = x
        *copy = self;
    } else {
        QVERIFY(!addresses(*copy).intersects(addresses(*source)));
        if (how.endsWith(QLatin1String("copy destroyed first"))) {
            copy.reset();
            QCOMPARE(fullDump(*source), expected);
            return;
        }
        source.reset();
    }
    QCOMPARE(fullDump(*copy), expected);
    QCOMPARE(indexProblem(*copy), QString()); // the indexes point at the copy's own records
}

// Templates assigned over templates with records of their own, and onto themselves, carry every
// field and own copies of their nodes, outputs and fixtures.
void TestModel::templateAssignment()
{
    LumoMapModel source;
    RandomMap(3, RandomMap::Values::Exact).fill(source, 8);
    LumoMapModel copies(source);
    for (auto it = copies.fixtureTemplates.begin(); it != copies.fixtureTemplates.end(); ++it) {
        auto *assigned = new LumoFixtureTemplate;
        assigned->nodelist << new LumoNode;
        *assigned = *source.fixtureTemplates.value(it.key());
        *assigned = static_cast<const LumoFixtureTemplate &>(*assigned);
        delete std::exchange(it.value(), assigned);
    }
    for (auto it = copies.interfaceTemplates.begin(); it != copies.interfaceTemplates.end(); ++it) {
        auto *assigned = new LumoInterfaceTemplate;
        assigned->outputs << new LumoOutput{1, 1, {new LumoFixture, nullptr}, true} << nullptr;
        *assigned = *source.interfaceTemplates.value(it.key());
        *assigned = static_cast<const LumoInterfaceTemplate &>(*assigned);
        delete std::exchange(it.value(), assigned);
    }
    QCOMPARE(dump(copies, true), dump(source, true));
    QVERIFY(!addresses(copies).intersects(addresses(source)));
}

void TestModel::templateCounter()
{
    const LumoFixtureTemplate first;
    const LumoFixtureTemplate second;
    const int generated = LumoFixtureTemplate::generateLumoFixtureTemplateUID();
    const LumoFixtureTemplate third(second); // a copy takes no value
    const LumoFixtureTemplate fourth;
    QCOMPARE(second.uid, first.uid + 1);
    QCOMPARE(third.uid, second.uid);
    QCOMPARE(fourth.uid, second.uid + 2);
    QCOMPARE(quint32(generated), second.uid + 1);
}

void TestModel::uniqueIds_data()
{
    QTest::addColumn<QString>("collection");
    QTest::addColumn<bool>("skipped");
    QTest::newRow("fixture templates") << QStringLiteral("fixture templates") << true;
    QTest::newRow("interface templates") << QStringLiteral("interface templates") << true;
    QTest::newRow("interfaces") << QStringLiteral("interfaces") << true;
    QTest::newRow("regions") << QStringLiteral("regions") << true;
    QTest::newRow("the fixture index") << QStringLiteral("fixture index") << false;
}

// Identifiers follow each other across documents, skipping the keys this document holds.
void TestModel::uniqueIds()
{
    QFETCH(QString, collection);
    QFETCH(bool, skipped);
    LumoMapModel model;
    const quint32 n = model.getUniqueID();
    QCOMPARE(LumoMapModel().getUniqueID(), n + 1);
    for (quint32 key : {n + 2, n + 3}) {
        if (collection == QLatin1String("fixture templates"))
            model.fixtureTemplates.insert(key, new LumoFixtureTemplate);
        else if (collection == QLatin1String("interface templates"))
            model.interfaceTemplates.insert(key, new LumoInterfaceTemplate);
        else if (collection == QLatin1String("interfaces"))
            model.interfaces.insert(key, new LumoInterface);
        else if (collection == QLatin1String("regions"))
            model.regions.insert(key, new LumoRegion);
        else
            model.fixturesByTemplate.insert(key, nullptr);
    }
    QCOMPARE(model.getUniqueID(), skipped ? n + 4 : n + 2);
}

void TestModel::nodeGeometry_data()
{
    QTest::addColumn<Points>("nodes");
    QTest::addColumn<QRectF>("bounds");   // left, top = least x, y; right, bottom = greatest x, y
    QTest::addColumn<QPointF>("fixture"); // placed at the nodes' least x and y, from (9, 9)
    QTest::addColumn<Points>("nodesAfter");
    QTest::newRow("no nodes") << Points() << QRectF(0, 0, 0, 0) << QPointF(9, 9) << Points();
    QTest::newRow("one node") << Points{{7, 8}} << QRectF(7, 8, 0, 0) << QPointF(7, 8) << Points{{0, 0}};
    QTest::newRow("least x and y from different nodes")
        << Points{{2, 3}, {-1, 5}, {4, -2}} << QRectF(QPointF(-1, -2), QPointF(4, 5)) << QPointF(-1, -2)
        << Points{{3, 5}, {0, 7}, {5, 0}};
    QTest::newRow("equal least values")
        << Points{{1, 1}, {1, 1}} << QRectF(1, 1, 0, 0) << QPointF(1, 1) << Points{{0, 0}, {0, 0}};
    QTest::newRow("bounds searched from fixed limits")
        << Points{{2000000, 5}} << QRectF(QPointF(1000000, 5), QPointF(2000000, 5)) << QPointF(2000000, 5)
        << Points{{0, 0}};
    QTest::newRow("below the negative limit")
        << Points{{-3000000, -2500000}} << QRectF(QPointF(-3000000, -2500000), QPointF(-1000000, -1000000))
        << QPointF(-3000000, -2500000) << Points{{0, 0}};
}

// The bounds of a template's nodes (offsets are not applied, skipped nodes count like any other) and
// a fixture placed at its nodes' least position, the nodes made relative to it.
void TestModel::nodeGeometry()
{
    QFETCH(Points, nodes);
    QFETCH(QRectF, bounds);
    QFETCH(QPointF, fixture);
    QFETCH(Points, nodesAfter);
    LumoFixtureTemplate fixtureTemplate;
    fixtureTemplate.xoffset = 50.0;
    setNodes(fixtureTemplate, nodes);
    double minX = -1, minY = -1, maxX = -1, maxY = -1;
    fixtureTemplate.getBounds(minX, minY, maxX, maxY);
    QCOMPARE(QRectF(QPointF(minX, minY), QPointF(maxX, maxY)), bounds);
    LumoMapParser parser(nullptr);
    LumoFixture placed;
    placed.x = placed.y = 9;
    parser.calculateLumoFixtureDimension(&placed, &fixtureTemplate);
    parser.calculateLumoFixtureDimension(nullptr, &fixtureTemplate);
    parser.calculateLumoFixtureDimension(&placed, nullptr);
    QCOMPARE(QPointF(placed.x, placed.y), fixture);
    QCOMPARE(nodePoints(fixtureTemplate), nodesAfter);
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
