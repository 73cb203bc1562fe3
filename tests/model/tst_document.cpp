#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QtTest>

#include <memory>

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void clearKeepsEverything();
    void lastErrorIsAReference();
    void uniqueIdsAreConsecutive();
    void uniqueIdSkipsTakenKeys_data();
    void uniqueIdSkipsTakenKeys();
    void uniqueIdContinuesAcrossDocuments();
    void copyIsDeepWithRebuiltIndexes();
    void copySurvivesSourceInEitherOrder_data();
    void copySurvivesSourceInEitherOrder();
    void assignmentReplacesRecords();
};

void TestDocument::defaults()
{
    LumoMapModel model;
    QCOMPARE(model.getMapFileVersion(), 2u);
    QCOMPARE(model.getLibraryMapFileVersion(), 2u);
    QCOMPARE(model.getBuildNumber(), 0);
    QCOMPARE(model.getVersion(), QStringLiteral("Custom KVXPlayer Version"));
    QVERIFY(model.getMapName().isEmpty());
    QVERIFY(!model.getMapName().isNull());
    QVERIFY(!model.getCreatingAppName().isNull());
    QVERIFY(!model.getCreatingAppVersion().isNull());
    QVERIFY(model.getSaveDateTime().isNull());
    QVERIFY(model.getLastError().isNull());
    QCOMPARE(model.getTranslateOldCoordinatesToNew(), false);
    QCOMPARE(model.scalexfit, true);
    QCOMPARE(model.scaleyfit, true);
    QCOMPARE(model.xscale, 1.0);
    QCOMPARE(model.yscale, 1.0);
    for (double value : {model.vminx, model.vminy, model.vmaxx, model.vmaxy, model.xoffset, model.yoffset})
        QCOMPARE(value, 0.0);
    QVERIFY(model.regions.isEmpty());
    QVERIFY(model.fixtureTemplates.isEmpty());
    QVERIFY(model.fixturesByTemplate.isEmpty());
    QVERIFY(model.interfaceTemplates.isEmpty());
    QVERIFY(model.interfaces.isEmpty());
    QVERIFY(model.interfacesByOrder.isEmpty());

    model.setMapName(QStringLiteral("Stage"));
    model.setCreatingAppName(QStringLiteral("Editor"));
    model.setCreatingAppVersion(QStringLiteral("3.1"));
    model.setTranslateOldCoordinatesToNew(true);
    QCOMPARE(model.getMapName(), QStringLiteral("Stage"));
    QCOMPARE(model.getCreatingAppName(), QStringLiteral("Editor"));
    QCOMPARE(model.getCreatingAppVersion(), QStringLiteral("3.1"));
    QCOMPARE(model.getTranslateOldCoordinatesToNew(), true);
}

void TestDocument::clearKeepsEverything()
{
    LumoMapModel model;
    model.setMapName(QStringLiteral("Kept"));
    model.vmaxx = 12.0;
    auto *region = new LumoRegion;
    model.regions.insert(region->number, region);
    QVERIFY(model.clear());
    QCOMPARE(model.regions.value(0), region);
    QCOMPARE(model.getMapName(), QStringLiteral("Kept"));
    QCOMPARE(model.vmaxx, 12.0);
}

void TestDocument::lastErrorIsAReference()
{
    LumoMapModel model;
    model.getLastError() = QStringLiteral("set by the host");
    QCOMPARE(model.getLastError(), QStringLiteral("set by the host"));
    QCOMPARE(model.lastError, QStringLiteral("set by the host"));
}

void TestDocument::uniqueIdsAreConsecutive()
{
    LumoMapModel model;
    const quint32 first = model.getUniqueID();
    QCOMPARE(model.getUniqueID(), first + 1);
}

void TestDocument::uniqueIdSkipsTakenKeys_data()
{
    QTest::addColumn<QString>("collection");
    QTest::newRow("fixture templates") << "fixtureTemplates";
    QTest::newRow("interface templates") << "interfaceTemplates";
    QTest::newRow("interfaces") << "interfaces";
    QTest::newRow("regions") << "regions";
}

static void takeKey(LumoMapModel &model, const QString &collection, quint32 key)
{
    if (collection == QLatin1String("fixtureTemplates")) {
        auto *record = new LumoFixtureTemplate;
        record->uid = key;
        model.fixtureTemplates.insert(key, record);
    } else if (collection == QLatin1String("interfaceTemplates")) {
        auto *record = new LumoInterfaceTemplate;
        record->uid = key;
        model.interfaceTemplates.insert(key, record);
    } else if (collection == QLatin1String("interfaces")) {
        auto *record = new LumoInterface;
        record->uid = key;
        model.interfaces.insert(key, record);
    } else {
        auto *record = new LumoRegion;
        record->number = key;
        model.regions.insert(key, record);
    }
}

void TestDocument::uniqueIdSkipsTakenKeys()
{
    QFETCH(QString, collection);
    LumoMapModel model;
    const quint32 n = model.getUniqueID();
    takeKey(model, collection, n + 1);
    takeKey(model, collection, n + 2);
    QCOMPARE(model.getUniqueID(), n + 3);

    // A key in another collection counts as well; the index of fixtures does not.
    const quint32 m = n + 3;
    takeKey(model, QStringLiteral("regions"), m + 1);
    model.fixturesByTemplate.insert(m + 2, nullptr);
    QCOMPARE(model.getUniqueID(), m + 2);
}

void TestDocument::uniqueIdContinuesAcrossDocuments()
{
    LumoMapModel first;
    const quint32 n = first.getUniqueID();
    LumoMapModel second;
    QCOMPARE(second.getUniqueID(), n + 1);
    QCOMPARE(first.getUniqueID(), n + 2);
}

// A model with one record of every kind and every index filled, as a legacy import leaves it.
static std::unique_ptr<LumoMapModel> makeFilledModel()
{
    auto model = std::make_unique<LumoMapModel>();
    model->setMapName(QStringLiteral("Facade"));
    model->savedatetime = QStringLiteral("Sun Dec 6 12:00:00 2026");
    model->vminx = -5.0;
    model->yscale = 2.0;
    model->scaleyfit = false;
    model->mapfileversion = 1;
    model->lastError = QStringLiteral("old failure");
    model->translateOldCoordinatesToNew = true;

    auto *region = new LumoRegion;
    region->number = 26;
    region->color = QColor(0, 128, 0);
    model->regions.insert(region->number, region);

    auto *fixtureTemplate = new LumoFixtureTemplate;
    fixtureTemplate->nodelist.append(new LumoNode);
    fixtureTemplate->nodelist.first()->x = 24.0;
    model->fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);

    auto *interfaceTemplate = new LumoInterfaceTemplate;
    interfaceTemplate->uid = 26;
    auto *output = new LumoOutput;
    auto *fixture = new LumoFixture;
    fixture->templateid = fixtureTemplate->uid;
    fixture->used = true;
    output->fixtures.append(fixture);
    interfaceTemplate->outputs.append(output);
    model->interfaceTemplates.insert(interfaceTemplate->uid, interfaceTemplate);
    model->fixturesByTemplate.insert(fixture->templateid, fixture);

    for (quint32 uid : {26u, 27u}) {
        auto *interface = new LumoInterface;
        interface->uid = uid;
        interface->templateid = 26;
        interface->order = 4;
        interface->fixturesByTemplate.insert(fixture->templateid, fixture);
        model->interfaces.insert(uid, interface);
        model->interfacesByOrder.insert(interface->order, interface);
    }
    return model;
}

void TestDocument::copyIsDeepWithRebuiltIndexes()
{
    auto source = makeFilledModel();
    const quint32 templateUid = source->fixtureTemplates.keys().first();
    const LumoMapModel copy(*source);

    QCOMPARE(copy.getMapName(), QStringLiteral("Facade"));
    QCOMPARE(copy.savedatetime, source->savedatetime);
    QCOMPARE(copy.vminx, -5.0);
    QCOMPARE(copy.yscale, 2.0);
    QCOMPARE(copy.scaleyfit, false);
    QCOMPARE(copy.mapfileversion, 1u);
    QCOMPARE(copy.lastError, QStringLiteral("old failure"));
    QCOMPARE(copy.translateOldCoordinatesToNew, true);

    QVERIFY(copy.regions.value(26) != source->regions.value(26));
    QVERIFY(copy.fixtureTemplates.value(templateUid) != source->fixtureTemplates.value(templateUid));
    QCOMPARE(copy.fixtureTemplates.value(templateUid)->uid, templateUid);
    QVERIFY(copy.interfaceTemplates.value(26) != source->interfaceTemplates.value(26));

    // Every index points into the copy's own records, where the source's pointed.
    const LumoFixture *copiedFixture = copy.interfaceTemplates.value(26)->outputs.first()->fixtures.first();
    QVERIFY(copiedFixture != source->fixturesByTemplate.value(templateUid));
    QCOMPARE(copy.fixturesByTemplate.value(templateUid), copiedFixture);
    for (quint32 uid : {26u, 27u})
        QCOMPARE(copy.interfaces.value(uid)->fixturesByTemplate.value(templateUid), copiedFixture);
    QCOMPARE(copy.interfacesByOrder.size(), 2);
    const QList<LumoInterface *> ordered = copy.interfacesByOrder.values(4);
    const QList<LumoInterface *> sourceOrdered = source->interfacesByOrder.values(4);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(ordered.at(i)->uid, sourceOrdered.at(i)->uid);
    QVERIFY(copy.interfaces.values().contains(ordered.at(0)));
    QVERIFY(copy.interfaces.values().contains(ordered.at(1)));

    // Changing the source's records does not reach the copy.
    source->regions.value(26)->name = QStringLiteral("changed");
    source->fixtureTemplates.value(templateUid)->nodelist.first()->x = -1.0;
    source->interfaces.value(27)->name = QStringLiteral("changed");
    QCOMPARE(copy.regions.value(26)->name, QStringLiteral("New Region"));
    QCOMPARE(copy.fixtureTemplates.value(templateUid)->nodelist.first()->x, 24.0);
    QCOMPARE(copy.interfaces.value(27)->name, QStringLiteral("Interface"));
}

void TestDocument::copySurvivesSourceInEitherOrder_data()
{
    QTest::addColumn<bool>("sourceFirst");
    QTest::newRow("source destroyed first") << true;
    QTest::newRow("copy destroyed first") << false;
}

void TestDocument::copySurvivesSourceInEitherOrder()
{
    QFETCH(bool, sourceFirst);
    auto source = makeFilledModel();
    auto copy = std::make_unique<LumoMapModel>(*source);
    if (sourceFirst) {
        source.reset();
        QCOMPARE(copy->interfacesByOrder.first()->fixturesByTemplate.values().first()->used, true);
        QCOMPARE(copy->regions.value(26)->color, QColor(0, 128, 0));
    } else {
        copy.reset();
        QCOMPARE(source->fixturesByTemplate.values().first()->used, true);
    }
}

void TestDocument::assignmentReplacesRecords()
{
    auto source = makeFilledModel();
    LumoMapModel target;
    auto *old = new LumoRegion; // freed by the assignment; the leak checker reports it otherwise
    old->number = 99;
    target.regions.insert(99, old);
    target = *source;
    QVERIFY(!target.regions.contains(99));
    QCOMPARE(target.interfaces.size(), 2);

    const LumoMapModel &self = target; // through a reference: clang rejects a literal x = x
    target = self;
    QCOMPARE(target.interfaces.size(), 2);
    QCOMPARE(target.interfacesByOrder.size(), 2);

    source.reset();
    QCOMPARE(target.getMapName(), QStringLiteral("Facade"));
    QCOMPARE(target.fixturesByTemplate.values().first()->used, true);
}

QTEST_APPLESS_MAIN(TestDocument)
#include "tst_document.moc"
