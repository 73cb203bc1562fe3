// The legacy map import: what a controller and its lights become, long and short names, the
// coordinate switch, the post-load calculation after a file load, the failures, controllers that
// share a key, unfinished records, and the sample maps of the examples.

#include "../loader/LoaderTestSupport.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoRegion.h>

#include <QDir>
#include <QSet>
#include <QtTest>

#include <algorithm>

using namespace LoaderTest;

namespace {

const QString prefix = QStringLiteral("Unable to parse file: ");

QString controller(const char *self, const char *name = "Hall")
{
    return QStringLiteral(
               "<controller><self>%1</self><name>%2</name><ipaddress>10.0.0.5</ipaddress></controller>")
        .arg(QString::fromUtf8(self), QString::fromUtf8(name));
}

QString light(const char *controllerKey, int pn, int x, int y, int channel = 7)
{
    return QStringLiteral(
               "<light><x>%1</x><y>%2</y><channel>%3</channel><controller>%4</controller><pn>%5</pn>"
               "</light>")
        .arg(x)
        .arg(y)
        .arg(channel)
        .arg(QString::fromUtf8(controllerKey))
        .arg(pn);
}

QString legacyMap(const QString &body)
{
    return QStringLiteral("<map>") + body + QStringLiteral("</map>");
}

// The fixture on `port` of the interface template filed under `key`.
LumoFixture *fixtureOn(LumoMapModel &model, quint32 key, int port)
{
    return model.interfaceTemplates.value(key)->outputs.at(port)->fixtures.constFirst();
}

LumoFixtureTemplate *templateOn(LumoMapModel &model, quint32 key, int port)
{
    return model.fixtureTemplates.value(fixtureOn(model, key, port)->templateid);
}

// The dump without its last line, the order index: legacy interfaces are not entered there, while
// the same interfaces read back from a map file are.
QStringList recordsOf(const LumoMapModel &model, bool withTransientFields = false)
{
    QStringList dump = ModelDump::dump(model, withTransientFields);
    dump.removeLast();
    return dump;
}

// Every fixture an index points at is held by an output of an interface template of the model.
bool indexesPointAtLiveFixtures(const LumoMapModel &model)
{
    QSet<const LumoFixture *> held;
    for (const LumoInterfaceTemplate *t : model.interfaceTemplates) {
        for (const LumoOutput *output : t->outputs) {
            for (const LumoFixture *fixture : output->fixtures)
                held.insert(fixture);
        }
    }
    for (const LumoFixture *fixture : model.fixturesByTemplate) {
        if (!held.contains(fixture))
            return false;
    }
    for (const LumoInterface *interface : model.interfaces) {
        for (const LumoFixture *fixture : interface->fixturesByTemplate) {
            if (!held.contains(fixture))
                return false;
        }
    }
    return true;
}

} // namespace

class TestLegacyImport : public QObject
{
    Q_OBJECT

private slots:
    void controllerRecords_data();
    void controllerRecords();
    void lightPlacement_data();
    void lightPlacement();
    void twoLightsOnOnePort();
    void lightWithoutPnAfterPn3();
    void lightPnStartsAtZeroForEachParse();
    void controllerWithoutSelf();
    void postLoadOnlyAfterFileLoad();
    void failures_data();
    void failures();
    void lightOnACurrentFormatInterface_data();
    void lightOnACurrentFormatInterface();
    void unfinishedRecordsAreFreed_data();
    void unfinishedRecordsAreFreed();
    void controllersSharingAKey();
    void sampleMapsSurviveSaving_data();
    void sampleMapsSurviveSaving();
};

void TestLegacyImport::controllerRecords_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("long names") << legacyMap(controller("1A"));
    QTest::newRow("short names") << QStringLiteral("<map><c><s>1a</s><n>Hall</n><ip>10.0.0.5</ip></c></map>");
    QTest::newRow("mixed names, any order")
        << QStringLiteral("<map><c><ipaddress> 10.0.0.5 </ipaddress><n>Hall</n><self>1a</self></c></map>");
}

void TestLegacyImport::controllerRecords()
{
    QFETCH(QString, document);

    LumoMapModel model;
    QVERIFY2(model.loadFromText(document), qPrintable(model.getLastError()));
    QCOMPARE(model.getMapFileVersion(), 1u);
    QVERIFY(model.interfacesByOrder.isEmpty());

    QCOMPARE(model.interfaces.size(), 1);
    const LumoInterface *interface = model.interfaces.value(26);
    QVERIFY(interface);
    QCOMPARE(interface->uid, 26u);
    QCOMPARE(interface->templateid, 26u);
    QCOMPARE(interface->region, 26u);
    QCOMPARE(interface->name, QStringLiteral("Hall"));
    QCOMPARE(interface->ip, QStringLiteral("10.0.0.5"));

    QCOMPARE(model.interfaceTemplates.size(), 1);
    const LumoInterfaceTemplate *interfaceTemplate = model.interfaceTemplates.value(26);
    QVERIFY(interfaceTemplate);
    QCOMPARE(interfaceTemplate->name, QStringLiteral("Hall"));
    QCOMPARE(interfaceTemplate->outputs.size(), 16);

    QCOMPARE(model.fixtureTemplates.size(), 16);
    QList<quint32> templateIds;
    for (int port = 0; port < 16; ++port) {
        const LumoOutput *output = interfaceTemplate->outputs.at(port);
        QCOMPARE(int(output->portnum), port);
        QCOMPARE(output->porttype, quint8(0));
        QVERIFY(!output->used);
        QCOMPARE(output->fixtures.size(), 1);
        const LumoFixture *fixture = output->fixtures.constFirst();
        QCOMPARE(fixture->name, QStringLiteral("Hall"));
        QCOMPARE(fixture->layerid, 26u);
        QVERIFY(!fixture->used);
        const LumoFixtureTemplate *fixtureTemplate = model.fixtureTemplates.value(fixture->templateid);
        QVERIFY(fixtureTemplate);
        QCOMPARE(fixtureTemplate->name, QStringLiteral("Hall"));
        QVERIFY(!fixtureTemplate->locked);
        QVERIFY(fixtureTemplate->nodelist.isEmpty());
        QCOMPARE(model.fixturesByTemplate.value(fixture->templateid), fixture);
        QCOMPARE(interface->fixturesByTemplate.value(fixture->templateid), fixture);
        templateIds << fixture->templateid;
    }
    for (int port = 1; port < 16; ++port)
        QCOMPARE(templateIds.at(port), templateIds.at(port - 1) + 1); // successive counter values
    QCOMPARE(model.fixturesByTemplate.size(), 16);
    QCOMPARE(interface->fixturesByTemplate.size(), 16);

    QCOMPARE(model.regions.size(), 1);
    const LumoRegion *region = model.regions.value(26);
    QVERIFY(region);
    QCOMPARE(region->name, QStringLiteral("New Layer: 26"));
    QCOMPARE(region->color, QColor(0, 128, 0));
}

void TestLegacyImport::lightPlacement_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("translate");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");

    const QString longNames = legacyMap(controller("1A") + light("1A", 3, 24, 36));
    const QString shortNames = QStringLiteral(
        "<map><c><s>1a</s><n>Hall</n></c><l><x>24</x><y>36</y><ch>7</ch><c>1a</c><pn>3</pn></l></map>");
    QTest::newRow("as read") << longNames << false << 24.0 << 36.0;
    QTest::newRow("as read, short names") << shortNames << false << 24.0 << 36.0;
    QTest::newRow("rescaled") << longNames << true << 20.0 << 30.0;
    QTest::newRow("rescaled, short names") << shortNames << true << 20.0 << 30.0;
    QTest::newRow("rescaled, division first")
        << legacyMap(controller("1A") + light("1A", 3, 7, 120)) << true << 5.833333333333334 << 100.0;
    QTest::newRow("negative") << legacyMap(controller("1A") + light("1A", 3, -12, -24)) << true << -10.0
                              << -20.0;
}

void TestLegacyImport::lightPlacement()
{
    QFETCH(QString, document);
    QFETCH(bool, translate);
    QFETCH(double, x);
    QFETCH(double, y);

    LumoMapModel model;
    model.setTranslateOldCoordinatesToNew(translate);
    QVERIFY2(model.loadFromText(document), qPrintable(model.getLastError()));

    const LumoFixtureTemplate *port3 = templateOn(model, 26, 3);
    QCOMPARE(port3->nodelist.size(), 1);
    const LumoNode *node = port3->nodelist.constFirst();
    QCOMPARE(node->x, x); // exact: the rescaling divides first, then multiplies
    QCOMPARE(node->y, y);
    QCOMPARE(node->addr, 7);
    QCOMPARE(node->pn, 3);
    QCOMPARE(node->channelCount, 0);
    QVERIFY(!node->skipnode);

    const LumoOutput *output = model.interfaceTemplates.value(26)->outputs.at(3);
    QVERIFY(output->used);
    QVERIFY(fixtureOn(model, 26, 3)->used);
    for (int port = 0; port < 16; ++port) {
        if (port == 3)
            continue;
        QVERIFY(!model.interfaceTemplates.value(26)->outputs.at(port)->used);
        QVERIFY(!fixtureOn(model, 26, port)->used);
        QVERIFY(templateOn(model, 26, port)->nodelist.isEmpty());
    }
}

void TestLegacyImport::twoLightsOnOnePort()
{
    LumoMapModel model;
    QVERIFY(model.loadFromText(
        legacyMap(controller("1A") + light("1a", 3, 1, 2, 10) + light("1a", 3, 5, 6, 11))));
    const LumoFixtureTemplate *port3 = templateOn(model, 26, 3);
    QCOMPARE(port3->nodelist.size(), 2);
    QCOMPARE(port3->nodelist.at(0)->addr, 10);
    QCOMPARE(port3->nodelist.at(1)->addr, 11);
    QCOMPARE(port3->nodelist.at(1)->x, 5.0);
}

void TestLegacyImport::lightWithoutPnAfterPn3()
{
    LumoMapModel model;
    QVERIFY(model.loadFromText(legacyMap(controller("1A") + light("1a", 3, 1, 2) +
                                         QStringLiteral("<light><x>9</x><y>9</y><controller>1a</controller>"
                                                        "</light>"))));
    // The second light takes port 3 from the first, but its own pn 0 differs: its node is dropped.
    QCOMPARE(templateOn(model, 26, 3)->nodelist.size(), 1);
    QCOMPARE(templateOn(model, 26, 3)->nodelist.constFirst()->x, 1.0);
    QVERIFY(templateOn(model, 26, 0)->nodelist.isEmpty());
    QVERIFY(fixtureOn(model, 26, 3)->used);
    QVERIFY(!fixtureOn(model, 26, 0)->used);
}

void TestLegacyImport::lightPnStartsAtZeroForEachParse()
{
    LumoMapModel model;
    QVERIFY(model.loadFromText(legacyMap(controller("1A") + light("1a", 3, 1, 2))));
    // A new parse: the light without pn goes to port 0, not to the port of the earlier parse.
    QVERIFY(model.loadFromText(legacyMap(
        controller("2B") + QStringLiteral("<light><x>4</x><y>5</y><controller>2b</controller></light>"))));
    QCOMPARE(templateOn(model, 0x2b, 0)->nodelist.size(), 1);
    QCOMPARE(templateOn(model, 0x2b, 0)->nodelist.constFirst()->pn, 0);
    QVERIFY(templateOn(model, 0x2b, 3)->nodelist.isEmpty());
    QVERIFY(fixtureOn(model, 0x2b, 0)->used);
}

void TestLegacyImport::controllerWithoutSelf()
{
    LumoMapModel model;
    QVERIFY(
        model.loadFromText(QStringLiteral("<map><c><n>Hall</n></c><l><x>3</x><y>4</y><pn>2</pn></l></map>")));
    const LumoInterface *interface = model.interfaces.value(0xFFFFFFFFu);
    QVERIFY(interface);
    QCOMPARE(interface->templateid, 0xFFFFFFFFu);
    QCOMPARE(model.regions.value(0xFFFFFFFFu)->name, QStringLiteral("New Layer: 4294967295"));
    // A light without a controller element is wired to it.
    QCOMPARE(templateOn(model, 0xFFFFFFFFu, 2)->nodelist.size(), 1);
}

void TestLegacyImport::postLoadOnlyAfterFileLoad()
{
    const QString document = legacyMap(controller("1A") + light("1A", 3, 24, 36));

    LumoMapModel fromText;
    QVERIFY(fromText.loadFromText(document));
    QCOMPARE(fromText.interfaces.value(26)->x, 0.0);
    QCOMPARE(fromText.interfaces.value(26)->y, 0.0);
    QCOMPARE(fixtureOn(fromText, 26, 3)->x, 0.0);
    QCOMPARE(templateOn(fromText, 26, 3)->nodelist.constFirst()->x, 24.0);
    QCOMPARE(templateOn(fromText, 26, 3)->nodelist.constFirst()->y, 36.0);

    QTemporaryDir dir;
    LumoMapModel fromFile;
    QVERIFY(fromFile.loadFromFile(writeFile(dir, QStringLiteral("legacy.xml"), document.toUtf8())));
    QCOMPARE(fromFile.interfaces.value(26)->x, 24.0);
    QCOMPARE(fromFile.interfaces.value(26)->y, 36.0);
    QCOMPARE(fixtureOn(fromFile, 26, 3)->x, 0.0);
    QCOMPARE(fixtureOn(fromFile, 26, 3)->y, 0.0);
    QCOMPARE(templateOn(fromFile, 26, 3)->nodelist.constFirst()->x, 0.0);
    QCOMPARE(templateOn(fromFile, 26, 3)->nodelist.constFirst()->y, 0.0);
}

void TestLegacyImport::failures_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("error");

    QTest::newRow("light before any controller")
        << legacyMap(light("1a", 0, 1, 1) + controller("1a")) << prefix + QStringLiteral("characters: 1a");
    QTest::newRow("fractional coordinate")
        << legacyMap(controller("1a") + QStringLiteral("<light><x>12.5</x></light>"))
        << prefix + QStringLiteral("characters: 12.5");
    QTest::newRow("hex channel") << legacyMap(controller("1a") + QStringLiteral("<l><ch>1f</ch></l>"))
                                 << prefix + QStringLiteral("characters: 1f");
    QTest::newRow("self not hex") << legacyMap(QStringLiteral("<c><s>xyz</s></c>"))
                                  << prefix + QStringLiteral("characters: xyz");
    QTest::newRow("unknown controller")
        << legacyMap(controller("1a") + light("7", 0, 1, 1))
        << prefix +
               QStringLiteral("endElement: lightThe light names controller 7, which no earlier controller "
                              "defines.");
    QTest::newRow("controller defined later")
        << legacyMap(controller("1a") + light("2b", 0, 1, 1) + controller("2b"))
        << prefix +
               QStringLiteral("endElement: lightThe light names controller 2b, which no earlier controller "
                              "defines.");
    QTest::newRow("port 16") << legacyMap(controller("1a") + light("1a", 16, 1, 1))
                             << prefix + QStringLiteral(
                                             "endElement: lightThe light names port 16 of controller 1a, "
                                             "outside its ports 0 to 15.");
    QTest::newRow("port -1, short names")
        << legacyMap(controller("1a") + QStringLiteral("<l><c>1a</c><pn>-1</pn></l>"))
        << prefix + QStringLiteral(
                        "endElement: lThe light names port -1 of controller 1a, outside its ports 0 to 15.");
    QTest::newRow("port too large for 32 bits")
        << legacyMap(controller("1a") + light("1a", 0, 1, 1) + QStringLiteral("<l><pn>99999999999</pn></l>"))
        << prefix + QStringLiteral("characters: 99999999999");
}

void TestLegacyImport::failures()
{
    QFETCH(QString, document);
    QFETCH(QString, error);

    LumoMapModel model;
    QVERIFY(!model.loadFromText(document));
    QCOMPARE(model.getLastError(), error);
    QVERIFY(indexesPointAtLiveFixtures(model));

    QTemporaryDir dir;
    LumoMapModel fromFile;
    QVERIFY(!fromFile.loadFromFile(writeFile(dir, QStringLiteral("legacy.xml"), document.toUtf8())));
    QCOMPARE(fromFile.getLastError(), error);
}

void TestLegacyImport::lightOnACurrentFormatInterface_data()
{
    QTest::addColumn<int>("port");
    QTest::newRow("port beyond its outputs") << 1;
    QTest::newRow("port without a fixture") << 0;
}

void TestLegacyImport::lightOnACurrentFormatInterface()
{
    QFETCH(int, port);

    // An interface read earlier from a map file may be named by a legacy light; its template has a
    // single output without fixtures.
    LumoMapModel model;
    QVERIFY(model.loadFromText(
        QStringLiteral("<lumomap><interfacetemplate><uid>5</uid><output/></interfacetemplate>"
                       "<interface><uid>1</uid><templateid>5</templateid></interface>"
                       "</lumomap>")));
    QVERIFY(!model.loadFromText(
        legacyMap(controller("2") + QStringLiteral("<l><c>1</c><pn>%1</pn></l>").arg(port))));
    QCOMPARE(model.getLastError(),
             prefix + QStringLiteral("endElement: lThe light names port %1 of controller 1, "
                                     "outside its ports 0 to 15.")
                          .arg(port));
    QVERIFY(indexesPointAtLiveFixtures(model));
}

void TestLegacyImport::unfinishedRecordsAreFreed_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("fixtureTemplates");

    // The sanitizer build reports any record left behind.
    QTest::newRow("controller") << QStringLiteral("<map><c><s>1</s><n>Hall</n>") << 0;
    QTest::newRow("controller with a bad name element")
        << QStringLiteral("<map><c><s>1</s><n><b/></n></c></map>") << 0;
    QTest::newRow("second controller") << QStringLiteral("<map><c><s>1</s></c><c><s>2</s>") << 16;
    QTest::newRow("light") << QStringLiteral("<map><c><s>1</s></c><l><x>1</x><y>") << 16;
    QTest::newRow("current-format records")
        << QStringLiteral("<lumomap><interfacetemplate><uid>1</uid><output><fixture><name>f</name>") << 0;
    QTest::newRow("node") << QStringLiteral("<lumomap><fixturetemplate><uid>1</uid><nodelist><node><x>1</x>")
                          << 0;
}

void TestLegacyImport::unfinishedRecordsAreFreed()
{
    QFETCH(QString, document);
    QFETCH(int, fixtureTemplates);

    LumoMapModel model;
    QVERIFY(!model.loadFromText(document));
    QCOMPARE(model.fixtureTemplates.size(), fixtureTemplates);
    QVERIFY(model.interfaceTemplates.size() <= 1);
    QVERIFY(indexesPointAtLiveFixtures(model));
}

void TestLegacyImport::controllersSharingAKey()
{
    const QString document =
        legacyMap(controller("5", "First") + light("5", 1, 10, 20) + light("5", 2, 30, 40) +
                  controller("5", "Second") + light("5", 2, 50, 60) + light("5", 4, 70, 80));
    QTemporaryDir dir;
    LumoMapModel model;
    QVERIFY2(model.loadFromFile(writeFile(dir, QStringLiteral("shared.xml"), document.toUtf8())),
             qPrintable(model.getLastError()));

    // One interface, template and region under the key, the second controller's; all 32 fixture
    // templates stay, and the indexes only know the fixtures that still exist.
    QCOMPARE(model.interfaces.size(), 1);
    QCOMPARE(model.interfaceTemplates.size(), 1);
    QCOMPARE(model.regions.size(), 1);
    QCOMPARE(model.interfaces.value(5)->name, QStringLiteral("Second"));
    QCOMPARE(model.interfaceTemplates.value(5)->name, QStringLiteral("Second"));
    QCOMPARE(model.fixtureTemplates.size(), 32);
    QCOMPARE(model.fixturesByTemplate.size(), 16);
    QVERIFY(indexesPointAtLiveFixtures(model));

    // The post-load calculation saw only the second controller's fixtures: ports 2 and 4.
    QCOMPARE(model.interfaces.value(5)->x, 50.0);
    QCOMPARE(model.interfaces.value(5)->y, 60.0);
    QCOMPARE(fixtureOn(model, 5, 4)->x, 20.0);
    QCOMPARE(fixtureOn(model, 5, 4)->y, 20.0);

    LumoMapModel copy(model);
    QVERIFY(indexesPointAtLiveFixtures(copy));
    QCOMPARE(ModelDump::dump(copy, true), ModelDump::dump(model, true));
    const QString text = saved(copy);
    LumoMapModel reloaded;
    QVERIFY(reloaded.loadFromText(text));
    QCOMPARE(recordsOf(reloaded), recordsOf(copy));
    QCOMPARE(reloaded.interfacesByOrder.size(), 1);
}

void TestLegacyImport::sampleMapsSurviveSaving_data()
{
    QTest::addColumn<QString>("path");
    const QDir examples(QStringLiteral(LUMOMAP_SOURCE_DIR "/examples"));
    const QStringList samples = examples.entryList({QStringLiteral("legacy*.xml")}, QDir::Files, QDir::Name);
    QVERIFY(!samples.isEmpty());
    for (const QString &name : samples)
        QTest::newRow(qPrintable(name)) << examples.filePath(name);
}

void TestLegacyImport::sampleMapsSurviveSaving()
{
    QFETCH(QString, path);

    LumoMapModel model;
    QVERIFY2(model.loadFromFile(path), qPrintable(model.getLastError()));
    QVERIFY(model.interfaces.size() >= 2);
    int usedFixtures = 0;
    for (const LumoInterfaceTemplate *t : std::as_const(model.interfaceTemplates)) {
        for (const LumoOutput *output : t->outputs)
            usedFixtures += output->fixtures.constFirst()->used ? 1 : 0;
    }
    QVERIFY(usedFixtures >= 2);
    QVERIFY(indexesPointAtLiveFixtures(model));

    QTemporaryDir dir;
    const QString savedPath = dir.filePath(QStringLiteral("saved.xml"));
    {
        QFile file(savedPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTextStream stream(&file);
        QVERIFY(model.save(stream));
    }
    LumoMapModel reloaded;
    QVERIFY2(reloaded.loadFromFile(savedPath), qPrintable(reloaded.getLastError()));
    QCOMPARE(recordsOf(reloaded), recordsOf(model));
    QVERIFY(model.interfacesByOrder.isEmpty());
    QCOMPARE(reloaded.interfacesByOrder.size(), reloaded.interfaces.size());
}

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "tst_legacy_import.moc"
