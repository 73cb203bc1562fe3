// The legacy map import: what controllers and lights become, long and short names, the coordinate
// switch, the post-load calculation of a file load, failures and unfinished records. Each case is
// summed up in one text that names every record the import touched. (The sample maps go through the
// tool's convert tests.)

#include <TestSupport.h>

#include <QtTest>

using namespace TestSupport;

namespace {

const QString prefix = QStringLiteral("Unable to parse file: ");

QString controller(const char *self, const char *name = "Hall")
{
    return QStringLiteral(
               "<controller><self>%1</self><name>%2</name><ipaddress>10.0.0.5</ipaddress></controller>")
        .arg(QLatin1String(self), QLatin1String(name));
}

QString light(const char *controllerKey, int pn, int x, int y, int channel = 7)
{
    return QString::asprintf(
        "<light><x>%d</x><y>%d</y><channel>%d</channel><controller>%s</controller><pn>%d</pn></light>", x, y,
        channel, controllerKey, pn);
}

QString legacyMap(const QString &body)
{
    return QStringLiteral("<map>") + body + QStringLiteral("</map>");
}

QString point(double x, double y)
{
    return QStringLiteral("(%1, %2)").arg(field(x), field(y));
}

// One line per interface with its region and what its 16 fixtures share, one line per port that a
// light reached, then the counts of the collections and indexes.
QString summary(const LumoMapModel &model)
{
    QStringList lines;
    for (const auto &[key, i] : RecordKeys::inKeyOrder(model.interfaces)) {
        const LumoRegion *region = model.regions.value(i->region);
        const LumoInterfaceTemplate *ports = model.interfaceTemplates.value(i->templateid);
        QStringList shared;
        QStringList used;
        quint32 previousUid = 0;
        for (const LumoOutput *output : ports->outputs) {
            for (const LumoFixture *f : output->fixtures) {
                const LumoFixtureTemplate *t = model.fixtureTemplates.value(f->templateid);
                const bool successive = output == ports->outputs.first() || t->uid == previousUid + 1;
                previousUid = t->uid;
                const QString common =
                    QStringLiteral("%1 layer %2 %3%4%5")
                        .arg(field(f->name))
                        .arg(f->layerid)
                        .arg(field(t->name), t->locked ? QStringLiteral(" locked") : QString(),
                             successive ? QString() : QStringLiteral(" uid gap"));
                if (!shared.contains(common))
                    shared << common;
                if (!output->used && !f->used && t->nodelist.isEmpty())
                    continue;
                QString line = QStringLiteral("  port %1%2 fixture%3 at %4")
                                   .arg(output->portnum)
                                   .arg(output->used ? QString() : QStringLiteral(" unused"),
                                        f->used ? QString() : QStringLiteral(" unused"), point(f->x, f->y));
                for (const LumoNode *n : t->nodelist)
                    line += QStringLiteral(" node %1 ch %2 pn %3 count %4")
                                .arg(point(n->x, n->y))
                                .arg(n->addr)
                                .arg(n->pn)
                                .arg(n->channelCount);
                used << line;
            }
        }
        lines << QStringLiteral("%1 %2 %3 at %4 template %5 region %6 %7 ports %8: %9")
                     .arg(RecordKeys::hexKey(key), field(i->name), i->ip, point(i->x, i->y),
                          RecordKeys::hexKey(i->templateid),
                          region ? field(region->name) : QStringLiteral("none"),
                          region ? region->color.name() : QString(), QString::number(ports->outputs.size()),
                          shared.join(QStringLiteral(" | ")))
              << used;
    }
    QStringList regions;
    for (const auto &entry : RecordKeys::inKeyOrder(model.regions))
        regions << field(entry.record->name);
    lines << QStringLiteral("templates %1 indexed %2 ordered %3 version %4 regions %5")
                 .arg(model.fixtureTemplates.size())
                 .arg(model.fixturesByTemplate.size())
                 .arg(model.interfacesByOrder.size())
                 .arg(model.mapfileversion)
                 .arg(regions.join(QLatin1Char(' ')));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestLegacyImport : public QObject
{
    Q_OBJECT

private slots:
    void import_data();
    void import();
};

void TestLegacyImport::import_data()
{
    QTest::addColumn<QStringList>("documents"); // loaded one after the other into one document
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<bool>("translate");
    QTest::addColumn<QString>("error"); // of the last load; null when every load succeeds
    QTest::addColumn<QString>("expected");

    const QString hall = QStringLiteral("1a \"Hall\" 10.0.0.5 at (0, 0) template 1a region \"New Layer: 26\" "
                                        "#008000 ports 16: \"Hall\" layer 26 \"Hall\"");
    const QString counts =
        QStringLiteral("\ntemplates 16 indexed 16 ordered 0 version 1 regions \"New Layer: 26\"");
    const QString port3 = QStringLiteral("\n  port 3 fixture at (0, 0) node (%1, %2) ch 7 pn 3 count 0");
    const QString shortHall = QStringLiteral("<c><s>1a</s><n>Hall</n><ip>10.0.0.5</ip></c>");

    QTest::newRow("controller, long names")
        << QStringList{legacyMap(controller("1A"))} << false << false << QString() << hall + counts;
    QTest::newRow("controller, mixed names in any order")
        << QStringList{legacyMap(
               QStringLiteral("<c><ipaddress> 10.0.0.5 </ipaddress><n>Hall</n><self>1a</self></c>"))}
        << false << false << QString() << hall + counts;
    QTest::newRow("light as read") << QStringList{legacyMap(controller("1A") + light("1A", 3, 24, 36))}
                                   << false << false << QString() << hall + port3.arg(24).arg(36) + counts;
    QTest::newRow("light rescaled, short names")
        << QStringList{legacyMap(shortHall +
                                 QStringLiteral("<l><x>24</x><y>36</y><ch>7</ch><c>1a</c><pn>3</pn></l>"))}
        << false << true << QString() << hall + port3.arg(20).arg(30) + counts;
    QTest::newRow("two lights on one port, in document order")
        << QStringList{legacyMap(controller("1A") + light("1a", 3, 1, 2, 10) + light("1a", 3, 5, 6, 11))}
        << false << false << QString()
        << hall +
               QStringLiteral("\n  port 3 fixture at (0, 0) node (1, 2) ch 10 pn 3 count 0 node (5, 6) ch 11 "
                              "pn 3 count 0") +
               counts;
    QTest::newRow("light without pn after pn 3 marks port 3, its node is dropped")
        << QStringList{legacyMap(
               controller("1A") + light("1a", 3, 1, 2) +
               QStringLiteral("<light><x>9</x><y>9</y><controller>1a</controller></light>"))}
        << false << false << QString() << hall + port3.arg(1).arg(2) + counts;
    QTest::newRow("pn starts at 0 in each parse")
        << QStringList{legacyMap(controller("1A") + light("1a", 3, 1, 2)),
                       legacyMap(controller("2b", "B") + QStringLiteral("<l><x>4</x><y>5</y><c>2b</c></l>"))}
        << false << false << QString()
        << hall + port3.arg(1).arg(2) +
               QStringLiteral(
                   "\n2b \"B\" 10.0.0.5 at (0, 0) template 2b region \"New Layer: 43\" #008000 ports 16: "
                   "\"B\" layer 43 \"B\"\n  port 0 fixture at (0, 0) node (4, 5) ch 0 pn 0 count 0\n"
                   "templates 32 indexed 32 ordered 0 version 1 regions \"New Layer: 26\" \"New Layer: 43\"");
    QTest::newRow("controller without self takes all ones, a light without controller joins it")
        << QStringList{QStringLiteral("<map><c><n>Hall</n></c><l><x>3</x><y>4</y><pn>2</pn></l></map>")}
        << false << false << QString()
        << QStringLiteral(
               "ffffffff \"Hall\" 0.0.0.0 at (0, 0) template ffffffff region none  ports 16: \"Hall\" layer "
               "0 \"Hall\"\n  port 2 fixture at (0, 0) node (3, 4) ch 0 pn 2 count 0\ntemplates 16 indexed "
               "16 "
               "ordered 0 version 1 regions \"New Layer: 4294967295\"");
    QTest::newRow("file load places the interface and makes positions relative")
        << QStringList{legacyMap(controller("1A") + light("1A", 3, 24, 36))} << true << false << QString()
        << QString(hall).replace(QStringLiteral("at (0, 0)"), QStringLiteral("at (24, 36)")) +
               port3.arg(0).arg(0) + counts;
    QTest::newRow("controllers sharing a key: the second one stays")
        << QStringList{legacyMap(controller("5", "A") + light("5", 1, 10, 20) + light("5", 2, 30, 40) +
                                 controller("5", "B") + light("5", 2, 50, 60) + light("5", 4, 70, 80))}
        << true << false << QString()
        << QStringLiteral(
               "5 \"B\" 10.0.0.5 at (50, 60) template 5 region \"New Layer: 5\" #008000 ports 16: \"B\" "
               "layer 5 \"B\"\n  port 2 fixture at (0, 0) node (0, 0) ch 7 pn 2 count 0\n  port 4 fixture "
               "at (20, 20) node (0, 0) ch 7 pn 4 count 0\ntemplates 32 indexed 16 ordered 0 version 1 "
               "regions \"New Layer: 5\"");

    QTest::newRow("a second file load leaves the first one's records where they are")
        << QStringList{legacyMap(controller("1", "A") + light("1", 0, 10, 10) + light("1", 1, 50, 20)),
                       legacyMap(controller("2", "B") + light("2", 0, 5, 5))}
        << true << false << QString()
        << QStringLiteral(
               "1 \"A\" 10.0.0.5 at (10, 10) template 1 region \"New Layer: 1\" #008000 ports 16: \"A\" "
               "layer 1 \"A\"\n  port 0 fixture at (0, 0) node (0, 0) ch 7 pn 0 count 0\n  port 1 fixture "
               "at (40, 10) node (0, 0) ch 7 pn 1 count 0\n2 \"B\" 10.0.0.5 at (5, 5) template 2 region "
               "\"New Layer: 2\" #008000 ports 16: \"B\" layer 2 \"B\"\n  port 0 fixture at (0, 0) node "
               "(0, 0) ch 7 pn 0 count 0\ntemplates 32 indexed 32 ordered 0 version 1 regions \"New "
               "Layer: 1\" \"New Layer: 2\"");
    QTest::newRow("fixtures are placed in port order")
        << QStringList{legacyMap(controller("1A") + light("1a", 3, 24, 36) + light("1a", 4, 0, 0) +
                                 light("1a", 5, 50, 10))}
        << true << false << QString()
        << QString(hall).replace(QStringLiteral("at (0, 0)"), QStringLiteral("at (50, 10)")) +
               QStringLiteral(
                   "\n  port 3 fixture at (-26, 26) node (0, 0) ch 7 pn 3 count 0\n  port 4 fixture at "
                   "(-50, -10) node (0, 0) ch 7 pn 4 count 0\n  port 5 fixture at (0, 0) node (0, 0) ch 7 "
                   "pn 5 count 0") +
               counts;
    // Only an interface at exactly (0, 0) takes the next light's position: one on the y axis keeps x 0.
    QTest::newRow("a light on an axis starts the placement once")
        << QStringList{legacyMap(controller("1A") + light("1a", 1, 0, 30) + light("1a", 2, 20, 10))}
        << true << false << QString()
        << QString(hall).replace(QStringLiteral("at (0, 0)"), QStringLiteral("at (0, 10)")) +
               QStringLiteral("\n  port 1 fixture at (0, 20) node (0, 0) ch 7 pn 1 count 0\n  port 2 fixture "
                              "at (20, 0) node (0, 0) ch 7 pn 2 count 0") +
               counts;
    QTest::newRow("a template loaded earlier keeps its uid")
        << QStringList{QStringLiteral("<lumomap><fixturetemplate><uid>%next</uid><nodelist><node/></nodelist>"
                                      "</fixturetemplate></lumomap>"),
                       legacyMap(controller("1a"))}
        << false << false << QString()
        << hall + QString(counts).replace(QStringLiteral("templates 16"), QStringLiteral("templates 17"));
    const auto failed = [](const char *trace) {
        return QStringLiteral("Unable to parse file: ") + QLatin1String(trace);
    };
    QTest::newRow("light before any controller")
        << QStringList{legacyMap(light("1a", 0, 1, 1) + controller("1a"))} << false << false
        << failed("characters: 1a") << QStringLiteral("templates 0 indexed 0 ordered 0 version 1 regions ");
    QTest::newRow("fractional coordinate")
        << QStringList{legacyMap(controller("1a") + QStringLiteral("<light><x>12.5</x></light>"))} << false
        << false << failed("characters: 12.5") << hall + counts;
    QTest::newRow("hex channel") << QStringList{legacyMap(controller("1a") +
                                                          QStringLiteral("<l><ch>1f</ch></l>"))}
                                 << true << false << failed("characters: 1f") << hall + counts;
    QTest::newRow("self not hex, the unfinished controller is freed")
        << QStringList{legacyMap(QStringLiteral("<c><s>xyz</s></c>"))} << false << false
        << failed("characters: xyz") << QStringLiteral("templates 0 indexed 0 ordered 0 version 1 regions ");
    QTest::newRow("unknown controller")
        << QStringList{legacyMap(controller("1a") + light("7", 0, 1, 1))} << false << false
        << failed("endElement: lightThe light names controller 7, which no earlier controller defines.")
        << hall + counts;
    QTest::newRow("controller defined later")
        << QStringList{legacyMap(controller("1a") + light("2b", 0, 1, 1) + controller("2b"))} << false
        << false
        << failed("endElement: lightThe light names controller 2b, which no earlier controller defines.")
        << hall + counts;
    QTest::newRow("port 16")
        << QStringList{legacyMap(controller("1a") + light("1a", 16, 1, 1))} << false << false
        << failed("endElement: lightThe light names port 16 of controller 1a, outside its ports 0 to 15.")
        << hall + counts;
    QTest::newRow("port -1, short names")
        << QStringList{legacyMap(controller("1a") + QStringLiteral("<l><c>1a</c><pn>-1</pn></l>"))} << false
        << false
        << failed("endElement: lThe light names port -1 of controller 1a, outside its ports 0 to 15.")
        << hall + counts;
    QTest::newRow("port too large for 32 bits")
        << QStringList{legacyMap(controller("1a") + light("1a", 0, 1, 1) +
                                 QStringLiteral("<l><pn>99999999999</pn></l>"))}
        << false << false << failed("characters: 99999999999")
        << hall + QStringLiteral("\n  port 0 fixture at (0, 0) node (1, 1) ch 7 pn 0 count 0") + counts;
    QTest::newRow("light on a current-format interface without a fixture on the port")
        << QStringList{QStringLiteral(
                           "<lumomap><interfacetemplate><uid>5</uid><output/></interfacetemplate>"
                           "<interface><uid>1</uid><templateid>5</templateid></interface></lumomap>"),
                       legacyMap(controller("2") + QStringLiteral("<l><c>1</c><pn>0</pn></l>"))}
        << false << false
        << failed("endElement: lThe light names port 0 of controller 1, outside its ports 0 to 15.")
        << QStringLiteral(
               "1 \"Interface\" 0.0.0.0 at (0, 0) template 5 region none  ports 1: \n2 \"Hall\" 10.0.0.5 at "
               "(0, 0) template 2 region \"New Layer: 2\" #008000 ports 16: \"Hall\" layer 2 \"Hall\"\n"
               "templates 16 indexed 16 ordered 1 version 1 regions \"New Layer: 2\"");
    QTest::newRow("unfinished second controller and light are freed")
        << QStringList{QStringLiteral(
               "<map><c><s>1a</s><n>Hall</n><ip>10.0.0.5</ip></c><c><s>2</s><l><x>1</x>")}
        << false << false << failed("endElement: x") << hall + counts;
    QTest::newRow("unfinished light is freed")
        << QStringList{legacyMap(controller("1a")).chopped(6) + QStringLiteral("<l><x>1</x><y>")} << true
        << false << failed("startElement: y") << hall + counts;
}

void TestLegacyImport::import()
{
    QFETCH(QStringList, documents);
    QFETCH(bool, fromFile);
    QFETCH(bool, translate);
    QFETCH(QString, error);
    QFETCH(QString, expected);

    LumoMapModel model;
    model.setTranslateOldCoordinatesToNew(translate);
    // %next stands for the uid the template counter hands out next.
    const quint32 next = quint32(LumoFixtureTemplate::generateLumoFixtureTemplateUID()) + 1;
    for (QString document : documents) {
        const bool last = document == documents.constLast();
        document.replace(QLatin1String("%next"), RecordKeys::hexKey(next));
        const bool loaded =
            fromFile ? loadFile(model, writeTemporaryFile(document.toUtf8())) : load(model, document);
        QCOMPARE(loaded, !last || error.isNull());
    }
    QCOMPARE(model.lastError, error);
    QCOMPARE(summary(model), expected);
    QCOMPARE(indexProblem(model), QString());
}

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "tst_legacy_import.moc"
