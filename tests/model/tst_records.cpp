#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoRegion.h>

#include <QtTest>

#include <memory>

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void regionDefaults();
    void fixtureDefaults();
    void interfaceDefaults();
    void interfaceTemplateDefaults();
    void fixtureTemplateDefaults();
    void templateCounterNumbering();
    void fixtureTemplateCopyIsDeep_data();
    void fixtureTemplateCopyIsDeep();
    void fixtureTemplateAssignmentReplacesNodes();
    void interfaceTemplateCopyIsDeep_data();
    void interfaceTemplateCopyIsDeep();
    void interfaceTemplateAssignmentAndSelfAssignment();
    void interfaceTemplateDestroysOutputsAndFixtures();
    void interfaceLeavesIndexedFixturesAlive();
};

void TestRecords::regionDefaults()
{
    const LumoRegion region;
    QCOMPARE(region.number, 0u);
    QCOMPARE(region.name, QStringLiteral("New Region"));
    QCOMPARE(region.color, QColor(Qt::red));
}

void TestRecords::fixtureDefaults()
{
    const LumoFixture fixture;
    QCOMPARE(fixture.templateid, 0xFFFFFFFFu);
    QCOMPARE(fixture.name, QStringLiteral("Fixture"));
    QCOMPARE(fixture.x, 0.0);
    QCOMPARE(fixture.y, 0.0);
    QCOMPARE(fixture.theta, 0.0);
    QCOMPARE(fixture.baseaddr, 0);
    QCOMPARE(fixture.layerid, 0u);
    QCOMPARE(fixture.groupid, 0u);
    QCOMPARE(fixture.used, false);
}

void TestRecords::interfaceDefaults()
{
    const LumoInterface interface;
    QCOMPARE(interface.uid, 0xFFFFFFFFu);
    QCOMPARE(interface.templateid, 0xFFFFFFFFu);
    QCOMPARE(interface.region, 0u);
    QCOMPARE(interface.name, QStringLiteral("Interface"));
    QCOMPARE(interface.x, 0.0);
    QCOMPARE(interface.y, 0.0);
    QCOMPARE(interface.theta, 0.0);
    QCOMPARE(interface.ip, QStringLiteral("0.0.0.0"));
    QCOMPARE(interface.mac, QStringLiteral("BC:BC:DE:AD:BE:EF"));
    QCOMPARE(interface.flags, quint8(0));
    QCOMPARE(interface.sn, 0xFFFFFFFFu);
    QCOMPARE(interface.ver, quint16(0));
    QCOMPARE(interface.uni, 0u);
    QVERIFY(interface.vers.isNull());
    QCOMPARE(interface.id, QStringLiteral("Interface ID String"));
    QCOMPARE(interface.order, 0);
    QVERIFY(interface.fixturesByTemplate.isEmpty());
}

void TestRecords::interfaceTemplateDefaults()
{
    const int before = LumoFixtureTemplate::generateLumoFixtureTemplateUID();
    const LumoInterfaceTemplate interfaceTemplate;
    QCOMPARE(LumoFixtureTemplate::generateLumoFixtureTemplateUID(), before + 1);
    QCOMPARE(interfaceTemplate.uid, 0xFFFFFFFFu);
    QCOMPARE(interfaceTemplate.name, QStringLiteral("Interface Template"));
    QCOMPARE(interfaceTemplate.locked, true);
    QCOMPARE(interfaceTemplate.xoffset, 0.0);
    QCOMPARE(interfaceTemplate.yoffset, 0.0);
    QVERIFY(interfaceTemplate.outputs.isEmpty());

    const LumoOutput output;
    QCOMPARE(output.portnum, quint8(0));
    QCOMPARE(output.porttype, quint8(0));
    QVERIFY(output.fixtures.isEmpty());
    QCOMPARE(output.used, false);
}

void TestRecords::fixtureTemplateDefaults()
{
    const LumoFixtureTemplate fixtureTemplate;
    QCOMPARE(fixtureTemplate.name, QStringLiteral("Fixture Template"));
    QCOMPARE(fixtureTemplate.locked, true);
    QCOMPARE(fixtureTemplate.xoffset, 0.0);
    QCOMPARE(fixtureTemplate.yoffset, 0.0);
    QVERIFY(fixtureTemplate.nodelist.isEmpty());

    const LumoNode node;
    QCOMPARE(node.x, 0.0);
    QCOMPARE(node.y, 0.0);
    QCOMPARE(node.addr, 0);
    QCOMPARE(node.skipnode, false);
    QCOMPARE(node.channelCount, 0);
    QCOMPARE(node.pn, 0);
}

void TestRecords::templateCounterNumbering()
{
    const LumoFixtureTemplate first;
    const LumoFixtureTemplate second;
    QCOMPARE(second.uid, first.uid + 1);

    const int generated = LumoFixtureTemplate::generateLumoFixtureTemplateUID();
    QCOMPARE(quint32(generated), second.uid + 1);
    const LumoFixtureTemplate third;
    QCOMPARE(third.uid, second.uid + 2);
    // Generating a value changes no template.
    QCOMPARE(second.uid, first.uid + 1);
}

static LumoFixtureTemplate *makeTemplate(int nodeCount)
{
    auto *fixtureTemplate = new LumoFixtureTemplate;
    fixtureTemplate->name = QStringLiteral("Bar %1").arg(nodeCount);
    fixtureTemplate->locked = false;
    fixtureTemplate->xoffset = 1.5;
    fixtureTemplate->yoffset = -2.5;
    for (int i = 0; i < nodeCount; ++i) {
        auto *node = new LumoNode;
        node->x = i;
        node->y = 2 * i;
        node->addr = 3 * i;
        node->skipnode = i % 2;
        node->channelCount = 4;
        node->pn = i;
        fixtureTemplate->nodelist.append(node);
    }
    return fixtureTemplate;
}

void TestRecords::fixtureTemplateCopyIsDeep_data()
{
    QTest::addColumn<int>("nodeCount");
    QTest::newRow("no nodes") << 0;
    QTest::newRow("one node") << 1;
    QTest::newRow("five nodes") << 5;
}

void TestRecords::fixtureTemplateCopyIsDeep()
{
    QFETCH(int, nodeCount);
    std::unique_ptr<LumoFixtureTemplate> source(makeTemplate(nodeCount));
    const int counterBefore = LumoFixtureTemplate::generateLumoFixtureTemplateUID();
    const LumoFixtureTemplate copy(*source);
    QCOMPARE(LumoFixtureTemplate::generateLumoFixtureTemplateUID(), counterBefore + 1);

    QCOMPARE(copy.uid, source->uid);
    QCOMPARE(copy.name, source->name);
    QCOMPARE(copy.locked, false);
    QCOMPARE(copy.xoffset, 1.5);
    QCOMPARE(copy.yoffset, -2.5);
    QCOMPARE(copy.nodelist.size(), nodeCount);
    for (int i = 0; i < nodeCount; ++i)
        QVERIFY(copy.nodelist.at(i) != source->nodelist.at(i));

    // Changing and then destroying the source leaves the copy as it was.
    if (nodeCount > 0)
        source->nodelist.first()->x = 99.0;
    source.reset();
    for (int i = 0; i < nodeCount; ++i) {
        const LumoNode *node = copy.nodelist.at(i);
        QCOMPARE(node->x, double(i));
        QCOMPARE(node->y, double(2 * i));
        QCOMPARE(node->addr, 3 * i);
        QCOMPARE(node->skipnode, bool(i % 2));
        QCOMPARE(node->channelCount, 4);
        QCOMPARE(node->pn, i);
    }
}

void TestRecords::fixtureTemplateAssignmentReplacesNodes()
{
    std::unique_ptr<LumoFixtureTemplate> source(makeTemplate(3));
    LumoFixtureTemplate target;
    target.nodelist.append(new LumoNode); // freed by the assignment; a leak check reports it otherwise
    target = *source;
    QCOMPARE(target.uid, source->uid);
    QCOMPARE(target.nodelist.size(), 3);
    QVERIFY(target.nodelist.first() != source->nodelist.first());

    const LumoFixtureTemplate &self = target; // through a reference: clang rejects a literal x = x
    target = self;
    QCOMPARE(target.nodelist.size(), 3);
    source.reset();
    QCOMPARE(target.nodelist.at(2)->addr, 6);
}

static LumoInterfaceTemplate *makeInterfaceTemplate(const QList<int> &fixturesPerOutput)
{
    auto *interfaceTemplate = new LumoInterfaceTemplate;
    interfaceTemplate->uid = 77;
    interfaceTemplate->name = QStringLiteral("Rack");
    interfaceTemplate->locked = false;
    interfaceTemplate->xoffset = 3.0;
    interfaceTemplate->yoffset = 4.0;
    quint8 port = 1;
    for (int count : fixturesPerOutput) {
        auto *output = new LumoOutput;
        output->portnum = port++;
        output->porttype = 2;
        output->used = true;
        for (int i = 0; i < count; ++i) {
            auto *fixture = new LumoFixture;
            fixture->templateid = quint32(100 * output->portnum + i);
            fixture->name = QStringLiteral("F%1").arg(i);
            output->fixtures.append(fixture);
        }
        interfaceTemplate->outputs.append(output);
    }
    return interfaceTemplate;
}

void TestRecords::interfaceTemplateCopyIsDeep_data()
{
    QTest::addColumn<QList<int>>("fixturesPerOutput");
    QTest::newRow("no outputs") << QList<int>();
    QTest::newRow("empty output") << QList<int>{0};
    QTest::newRow("several outputs") << QList<int>{2, 0, 3};
}

void TestRecords::interfaceTemplateCopyIsDeep()
{
    QFETCH(QList<int>, fixturesPerOutput);
    std::unique_ptr<LumoInterfaceTemplate> source(makeInterfaceTemplate(fixturesPerOutput));
    const LumoInterfaceTemplate copy(*source);
    QCOMPARE(copy.uid, 77u);
    QCOMPARE(copy.name, QStringLiteral("Rack"));
    QCOMPARE(copy.locked, false);
    QCOMPARE(copy.xoffset, 3.0);
    QCOMPARE(copy.yoffset, 4.0);
    QCOMPARE(copy.outputs.size(), fixturesPerOutput.size());
    for (int o = 0; o < fixturesPerOutput.size(); ++o) {
        QVERIFY(copy.outputs.at(o) != source->outputs.at(o));
        QCOMPARE(copy.outputs.at(o)->fixtures.size(), fixturesPerOutput.at(o));
        for (int f = 0; f < fixturesPerOutput.at(o); ++f)
            QVERIFY(copy.outputs.at(o)->fixtures.at(f) != source->outputs.at(o)->fixtures.at(f));
    }

    for (LumoOutput *output : source->outputs) {
        output->portnum = 200;
        for (LumoFixture *fixture : output->fixtures)
            fixture->name = QStringLiteral("changed");
    }
    source.reset();
    for (int o = 0; o < fixturesPerOutput.size(); ++o) {
        const LumoOutput *output = copy.outputs.at(o);
        QCOMPARE(output->portnum, quint8(o + 1));
        QCOMPARE(output->porttype, quint8(2));
        QCOMPARE(output->used, true);
        for (int f = 0; f < fixturesPerOutput.at(o); ++f) {
            QCOMPARE(output->fixtures.at(f)->name, QStringLiteral("F%1").arg(f));
            QCOMPARE(output->fixtures.at(f)->templateid, quint32(100 * (o + 1) + f));
        }
    }
}

void TestRecords::interfaceTemplateAssignmentAndSelfAssignment()
{
    std::unique_ptr<LumoInterfaceTemplate> source(makeInterfaceTemplate({1, 2}));
    std::unique_ptr<LumoInterfaceTemplate> target(makeInterfaceTemplate({4}));
    *target = *source;
    *target = *target;
    source.reset();
    QCOMPARE(target->outputs.size(), 2);
    QCOMPARE(target->outputs.at(1)->fixtures.size(), 2);
    QCOMPARE(target->outputs.at(1)->fixtures.at(1)->name, QStringLiteral("F1"));
}

void TestRecords::interfaceTemplateDestroysOutputsAndFixtures()
{
    // The leak checker of the sanitizer build reports any output or fixture left behind; a null
    // output and a null fixture are skipped.
    auto *interfaceTemplate = makeInterfaceTemplate({3, 0, 1});
    interfaceTemplate->outputs.append(nullptr);
    interfaceTemplate->outputs.first()->fixtures.append(nullptr);
    delete interfaceTemplate;
}

void TestRecords::interfaceLeavesIndexedFixturesAlive()
{
    auto *fixture = new LumoFixture;
    fixture->name = QStringLiteral("kept");
    {
        LumoInterface interface;
        interface.fixturesByTemplate.insert(5, fixture);
        const LumoInterface copy(interface);
        QCOMPARE(copy.fixturesByTemplate.value(5), fixture);
    }
    QCOMPARE(fixture->name, QStringLiteral("kept"));
    delete fixture;
}

QTEST_APPLESS_MAIN(TestRecords)
#include "tst_records.moc"
