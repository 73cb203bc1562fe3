// The map loader and its state machine: the state table itself, every failure with its exact
// message, versions, repeated loads, skipped elements, names, output numbering, text split into
// pieces, and the displaced records.

#include "LoaderTestSupport.h"

#include "ParserStateTable.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoRegion.h>

#include <QtTest>

using namespace LoaderTest;

namespace {

const QString prefix = QStringLiteral("Unable to parse file: ");

// A document with one record of every kind and a header; keys chosen by hand.
const char fullDocument[] = R"(<lumomap>
 <mapfileversion>2</mapfileversion>
 <mapname>Hall</mapname>
 <appname>Editor</appname>
 <appversion>3.1</appversion>
 <savedatetime>Fri Dec 4 19:29:19 2026</savedatetime>
 <geometry><vminx>-1</vminx><vminy>-2</vminy><vmaxx>3</vmaxx><vmaxy>4</vmaxy><scalexfit>0</scalexfit>
  <scaleyfit>1</scaleyfit><xoffset>5</xoffset><yoffset>6</yoffset><xscale>7</xscale><yscale>8</yscale></geometry>
 <fixturetemplate><uid>a</uid><name>Bar</name><locked>0</locked><xoffset>1.5</xoffset><yoffset>2.5</yoffset>
  <nodelist><node><x>1</x><y>2</y><addr>3</addr><skipnode>1</skipnode><channelCount>4</channelCount></node>
   <node><x>5</x><y>6</y></node></nodelist></fixturetemplate>
 <interfacetemplate><uid>b</uid><name>Box</name><locked>1</locked><xoffset>0</xoffset><yoffset>0</yoffset>
  <output><portnum>1</portnum><porttype>2</porttype>
   <fixture><templateid>a</templateid><name>F</name><x>1</x><y>2</y><theta>3</theta><baseaddr>-4</baseaddr>
    <layerid>5</layerid><groupid>6</groupid></fixture></output></interfacetemplate>
 <interface><uid>c</uid><templateid>b</templateid><region>7</region><name>I</name><x>1</x><y>2</y><theta>3</theta>
  <ip>10.0.0.1</ip><mac>AA:BB</mac><flags>ff</flags><sn>dead</sn><ver>3</ver><uni>10</uni><vers>v1</vers>
  <id>ID</id><order>-3</order></interface>
 <interface><uid>d</uid><order>-3</order></interface>
 <region><number>7</number><name>Left</name><color>#00ff00</color></region>
</lumomap>
)";

QString nested(const QString &root, const QString &inner, int levels)
{
    QString text = QLatin1Char('<') + root + QLatin1Char('>');
    text.reserve(levels * 7 + 40);
    for (int i = 0; i < levels; ++i)
        text += QLatin1Char('<') + inner + QLatin1Char('>');
    for (int i = 0; i < levels; ++i)
        text += QStringLiteral("</") + inner + QLatin1Char('>');
    return text + QStringLiteral("</") + root + QLatin1Char('>');
}

} // namespace

class TestLoader : public QObject
{
    Q_OBJECT

private slots:
    void stateTableIsConsistent();

    void failures_data();
    void failures();
    void parserWithoutModel_data();
    void parserWithoutModel();
    void missingFile();
    void emptyFile();
    void successKeepsLastError();

    void fullDocumentLoads();
    void mapFileVersion_data();
    void mapFileVersion();
    void loadingTwiceKeepsOneRecordPerKey();
    void displacedRecordsAreReplaced();
    void manyDisplacedRecordsTakeLinearTime_data();
    void manyDisplacedRecordsTakeLinearTime();

    void equivalentDocuments_data();
    void equivalentDocuments();
    void outputNumbering();

    void textPieces_data();
    void textPieces();
    void textInContainerNamedByTrace();

    void hostile_data();
    void hostile();
    void doctypeWithoutEntitiesLoads_data();
    void doctypeWithoutEntitiesLoads();
    void deepNestingOnSmallStack();
};

void TestLoader::stateTableIsConsistent()
{
    using namespace ParserState;
    int unused = 0;
    for (int code = 0; code < Count; ++code) {
        const Entry &state = entry(code);
        QCOMPARE(state.code, code);
        if (state.kind == Kind::Unused) {
            ++unused;
            continue;
        }
        QVERIFY(state.path);
        const QString path = QLatin1String(state.path);
        if (state.kind == Kind::Ignored) {
            QCOMPARE(state.unlisted, code);
            continue;
        }
        // The last name of the path is the state's own name.
        QVERIFY2(path.endsWith(state.name), state.path);
        if (state.kind == Kind::Container) {
            const bool legacy = path.startsWith(QLatin1String("map"));
            QCOMPARE(state.unlisted, legacy ? int(IgnoredInLegacyMap) : int(IgnoredInLumomap));
        }
        // Every child points at a state whose path continues the parent's, under its name or alias.
        for (int i = 0; i < state.childCount; ++i) {
            const Child &child = state.children[i];
            const Entry &childState = entry(child.state);
            QCOMPARE(QLatin1String(childState.path), path + QLatin1Char('/') + childState.name);
            QVERIFY(child.name == childState.name || child.name == childState.alias);
            QCOMPARE(ParserState::childState(code, QString(child.name)), child.state);
            // The parser starts each lookup where the previous sibling was found: from any start the
            // same child is found, and the next lookup is set to begin after it.
            for (int start = 0; start <= state.childCount; ++start) {
                quint8 hint = quint8(start);
                QCOMPARE(ParserState::child(code, QString(child.name), hint), &child);
                QCOMPARE(int(hint), i + 1);
            }
        }
        // Every value and container below the root is listed by its parent.
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash > 0) {
            bool found = false;
            for (int parent = 0; parent < Count && !found; ++parent) {
                const Entry &candidate = entry(parent);
                if (candidate.kind != Kind::Container || QLatin1String(candidate.path) != path.left(slash))
                    continue;
                found = ParserState::childState(parent, QString(state.name)) == code;
                if (state.alias.size() > 0)
                    QCOMPARE(ParserState::childState(parent, QString(state.alias)), code);
            }
            QVERIFY2(found, state.path);
        }
    }
    QCOMPARE(unused, 2);
    QCOMPARE(entry(75).kind, Kind::Unused);
    QCOMPARE(entry(76).kind, Kind::Unused);
}

void TestLoader::failures_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty input") << QString() << prefix;
    QTest::newRow("not XML") << QStringLiteral("hello") << prefix;
    QTest::newRow("unclosed root") << QStringLiteral("<lumomap>")
                                   << prefix + QStringLiteral("startElement: lumomap");
    QTest::newRow("mismatched end tag after text")
        << QStringLiteral("<lumomap><mapname> a b </lumomap>") << prefix + QStringLiteral("characters: a b");
    QTest::newRow("root maps") << QStringLiteral("<maps/>")
                               << prefix +
                                      QStringLiteral("startElement: mapsUnable to parse map start tag.0");
    QTest::newRow("root in capitals")
        << QStringLiteral("<LumoMap/>")
        << prefix + QStringLiteral("startElement: LumoMapUnable to parse map start tag.0");
    QTest::newRow("element inside mapname") << QStringLiteral("<lumomap><mapname><b/></mapname></lumomap>")
                                            << prefix + QStringLiteral("startElement: b");
    QTest::newRow("element inside legacy pn")
        << QStringLiteral("<map><c><s>1</s></c><l><pn><x/></pn></l></map>")
        << prefix + QStringLiteral("startElement: x");
    QTest::newRow("element inside node x after text")
        << QStringLiteral(
               "<lumomap><fixturetemplate><nodelist><node><x>1<y/></x></node></nodelist></fixturetemplate>"
               "</lumomap>")
        << prefix + QStringLiteral("startElement: y");
    QTest::newRow("text that is no number")
        << QStringLiteral("<lumomap><region><number>12a</number></region></lumomap>")
        << prefix + QStringLiteral("characters: 12a");
    QTest::newRow("end right after an unlisted element")
        << QStringLiteral("<lumomap><foo>")
        << prefix + QStringLiteral("startElement: fooUnable to parse data.");
    QTest::newRow("legacy light before any controller")
        << QStringLiteral("<map><light><controller>1a</controller></light></map>")
        << prefix + QStringLiteral("characters: 1a");
}

void TestLoader::failures()
{
    QFETCH(QString, document);
    QFETCH(QString, error);

    LumoMapModel model;
    QVERIFY(!model.loadFromText(document));
    QCOMPARE(model.getLastError(), error);

    // The same text through a file gives the same message.
    QTemporaryDir dir;
    LumoMapModel fromFile;
    QVERIFY(!fromFile.loadFromFile(writeFile(dir, QStringLiteral("map.xml"), document.toUtf8())));
    QCOMPARE(fromFile.getLastError(), error);
}

void TestLoader::parserWithoutModel_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("trace");

    QTest::newRow("region") << QStringLiteral("<lumomap><region><name>R</name></region></lumomap>")
                            << QStringLiteral("endElement: region");
    QTest::newRow("fixture template") << QStringLiteral("<lumomap><fixturetemplate/></lumomap>")
                                      << QStringLiteral("endElement: fixturetemplate");
    QTest::newRow("interface template")
        << QStringLiteral(
               "<lumomap><interfacetemplate><output><fixture/></output></interfacetemplate></lumomap>")
        << QStringLiteral("endElement: interfacetemplate");
    QTest::newRow("interface") << QStringLiteral("<lumomap><interface/></lumomap>")
                               << QStringLiteral("endElement: interface");
    QTest::newRow("legacy controller")
        << QStringLiteral("<map><c><n>Hall</n></c></map>") << QStringLiteral("endElement: c");
    QTest::newRow("header text") << QStringLiteral("<lumomap><mapname> Hall </mapname></lumomap>")
                                 << QStringLiteral("characters: Hall");
}

void TestLoader::parserWithoutModel()
{
    QFETCH(QString, document);
    QFETCH(QString, trace);

    // The unfinished records stay with the parser, which frees them (the sanitizer build checks).
    LumoMapParser parser(nullptr);
    QVERIFY(!drive(parser, document));
    QCOMPARE(parser.errorString(), trace);
}

void TestLoader::missingFile()
{
    LumoMapModel model;
    model.mapfileversion = 7;
    QVERIFY(!model.loadFromFile(QStringLiteral("/nonexistent/lumomap/map.xml")));
    QCOMPARE(model.getLastError(), QStringLiteral("File does not exist."));
    QCOMPARE(model.getMapFileVersion(), 7u);
}

void TestLoader::emptyFile()
{
    QTemporaryDir dir;
    LumoMapModel model;
    QVERIFY(!model.loadFromFile(writeFile(dir, QStringLiteral("empty.xml"), QByteArray())));
    QCOMPARE(model.getLastError(), prefix);
    QCOMPARE(model.getMapFileVersion(), 1u);

    // A directory exists but cannot be read as a file.
    LumoMapModel fromDirectory;
    QVERIFY(!fromDirectory.loadFromFile(dir.path()));
    QCOMPARE(fromDirectory.getLastError(), prefix);
}

void TestLoader::successKeepsLastError()
{
    LumoMapModel model;
    model.getLastError() = QStringLiteral("earlier");
    QVERIFY(model.loadFromText(QStringLiteral("<lumomap/>")));
    QCOMPARE(model.getLastError(), QStringLiteral("earlier"));
}

void TestLoader::fullDocumentLoads()
{
    LumoMapModel model;
    QVERIFY2(model.loadFromText(QString::fromUtf8(fullDocument)), qPrintable(model.getLastError()));
    QVERIFY(model.getLastError().isNull());
    QCOMPARE(model.getMapFileVersion(), 2u);
    QCOMPARE(model.getSaveDateTime(), QStringLiteral("Fri Dec 4 19:29:19 2026"));

    const QStringList expected = {
        QStringLiteral("header mapfileversion=2 mapname=\"Hall\" appname=\"Editor\" appversion=\"3.1\""),
        QStringLiteral("geometry -1 -2 3 4 0 1 5 6 7 8"),
        QStringLiteral("fixturetemplate key=10 uid=10 name=\"Bar\" locked=0 xoffset=1.5 yoffset=2.5 nodes=2"),
        QStringLiteral("  node x=1 y=2 addr=3 skipnode=1 channelCount=4 pn=0"),
        QStringLiteral("  node x=5 y=6 addr=0 skipnode=0 channelCount=3 pn=0"),
        QStringLiteral("interfacetemplate key=11 uid=11 name=\"Box\" locked=1 xoffset=0 yoffset=0 outputs=1"),
        QStringLiteral("  output portnum=1 porttype=2 fixtures=1 used=1"),
        QStringLiteral(
            "    fixture templateid=10 name=\"F\" x=1 y=2 theta=3 baseaddr=-4 layerid=5 groupid=6 used=0"),
        QStringLiteral(
            "interface key=12 uid=12 templateid=11 region=7 name=\"I\" x=1 y=2 theta=3 ip=\"10.0.0.1\" "
            "mac=\"AA:BB\" flags=255 sn=57005 ver=3 uni=10 vers=\"v1\" id=\"ID\" order=-3"),
        QStringLiteral(
            "interface key=13 uid=13 templateid=4294967295 region=0 name=\"Interface\" x=0 y=0 theta=0 "
            "ip=\"0.0.0.0\" mac=\"BC:BC:DE:AD:BE:EF\" flags=0 sn=4294967295 ver=0 uni=0 vers=<null> "
            "id=\"Interface ID String\" order=-3"),
        QStringLiteral("region key=7 number=7 name=\"Left\" color=#00ff00"),
    };
    const QStringList dump = ModelDump::dump(model, true);
    QCOMPARE(dump.mid(0, expected.size()), expected);
    // Both interfaces with order -3 are kept.
    QCOMPARE(model.interfacesByOrder.values(-3).size(), 2);
    QVERIFY(model.fixturesByTemplate.isEmpty());
}

void TestLoader::mapFileVersion_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<uint>("version");

    QTest::newRow("none") << QStringLiteral("<lumomap><mapname>x</mapname></lumomap>") << true << 1u;
    QTest::newRow("empty root") << QStringLiteral("<lumomap/>") << true << 1u;
    QTest::newRow("given") << QStringLiteral("<lumomap><mapfileversion>7</mapfileversion></lumomap>") << true
                           << 7u;
    QTest::newRow("largest") << QStringLiteral(
                                    "<lumomap><mapfileversion>4294967295</mapfileversion></lumomap>")
                             << true << 4294967295u;
    QTest::newRow("legacy") << QStringLiteral("<map/>") << true << 1u;
    QTest::newRow("ignored in legacy map")
        << QStringLiteral("<map><mapfileversion>3</mapfileversion></map>") << true << 1u;
    QTest::newRow("failed after it was read")
        << QStringLiteral("<lumomap><mapfileversion>5</mapfileversion><mapname><x/></mapname></lumomap>")
        << false << 5u;
    QTest::newRow("too large") << QStringLiteral(
                                      "<lumomap><mapfileversion>4294967296</mapfileversion></lumomap>")
                               << false << 1u;
}

void TestLoader::mapFileVersion()
{
    QFETCH(QString, document);
    QFETCH(bool, ok);
    QFETCH(uint, version);

    LumoMapModel model;
    QCOMPARE(model.loadFromText(document), ok);
    QCOMPARE(model.getMapFileVersion(), version);
    saved(model);
    QCOMPARE(model.getMapFileVersion(), 2u);
}

void TestLoader::loadingTwiceKeepsOneRecordPerKey()
{
    const QString document = QString::fromUtf8(fullDocument);
    LumoMapModel once;
    QVERIFY(once.loadFromText(document));

    LumoMapModel twice;
    QVERIFY(twice.loadFromText(document));
    QVERIFY(twice.loadFromText(document));
    QCOMPARE(twice.regions.size(), 1);
    QCOMPARE(twice.fixtureTemplates.size(), 1);
    QCOMPARE(twice.interfaceTemplates.size(), 1);
    QCOMPARE(twice.interfaces.size(), 2);
    // The interfaces of the first load were destroyed, and left the order index with them.
    QCOMPARE(twice.interfacesByOrder.size(), 2);
    for (LumoInterface *interface : std::as_const(twice.interfacesByOrder))
        QCOMPARE(twice.interfaces.value(interface->uid), interface);
    QCOMPARE(ModelDump::dump(twice, true), ModelDump::dump(once, true));

    // The document survives copying and destruction (the sanitizer build checks every record once).
    LumoMapModel copy(twice);
    QCOMPARE(ModelDump::dump(copy, true), ModelDump::dump(once, true));
}

void TestLoader::displacedRecordsAreReplaced()
{
    LumoMapModel model;
    QVERIFY(
        model.loadFromText(QStringLiteral("<lumomap>"
                                          "<region><number>5</number><name>first</name></region>"
                                          "<region><number>5</number><name>second</name></region>"
                                          "<interface><uid>1</uid><order>4</order><name>a</name></interface>"
                                          "<interface><uid>1</uid><order>9</order><name>b</name></interface>"
                                          "<interfacetemplate><uid>2</uid><name>x</name></interfacetemplate>"
                                          "<interfacetemplate><uid>2</uid><name>y</name></interfacetemplate>"
                                          "</lumomap>")));
    QCOMPARE(model.regions.size(), 1);
    QCOMPARE(model.regions.value(5)->name, QStringLiteral("second"));
    QCOMPARE(model.interfaces.value(1)->name, QStringLiteral("b"));
    QCOMPARE(model.interfacesByOrder.size(), 1);
    QCOMPARE(model.interfacesByOrder.value(9), model.interfaces.value(1));
    QCOMPARE(model.interfaceTemplates.value(2)->name, QStringLiteral("y"));

    // A record the host holds under two keys is not destroyed when one of them is displaced.
    auto *shared = new LumoRegion;
    shared->number = 6;
    model.regions.insert(6, shared);
    model.regions.insert(16, shared);
    QVERIFY(model.loadFromText(QStringLiteral("<lumomap><region><number>6</number></region></lumomap>")));
    QCOMPARE(model.regions.value(16), shared);
    QCOMPARE(shared->number, 6u);
}

void TestLoader::manyDisplacedRecordsTakeLinearTime_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("interfaces");

    // Every interface has order 0 and every key comes twice: each displaced interface leaves an
    // order index whose entries all share one key.
    QString current = QStringLiteral("<lumomap>");
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 30000; ++i) {
            current += QStringLiteral(
                           "<interfacetemplate><uid>%1</uid><output><fixture/></output></interfacetemplate>"
                           "<interface><uid>%1</uid></interface>")
                           .arg(i, 0, 16);
        }
    }
    QTest::newRow("interfaces and templates, all of order 0")
        << current + QStringLiteral("</lumomap>") << 30000;

    QString legacy = QStringLiteral("<map>");
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 3000; ++i)
            legacy += QStringLiteral("<c><s>%1</s></c><l><c>%1</c><pn>%2</pn></l>").arg(i, 0, 16).arg(i % 16);
    }
    QTest::newRow("legacy controllers") << legacy + QStringLiteral("</map>") << 3000;
}

void TestLoader::manyDisplacedRecordsTakeLinearTime()
{
    QFETCH(QString, document);
    QFETCH(int, interfaces);

    QElapsedTimer timer;
    timer.start();
    LumoMapModel model;
    QVERIFY(model.loadFromText(document));
    QCOMPARE(model.interfaces.size(), interfaces);
    QVERIFY(model.interfacesByOrder.size() == interfaces || model.interfacesByOrder.isEmpty());
    QCOMPARE(model.interfaceTemplates.size(), interfaces);
    // Only the second legacy controller of each key is indexed.
    QVERIFY(model.fixturesByTemplate.size() == 16 * interfaces || model.fixturesByTemplate.isEmpty());
    // A pass over a collection per displaced record took minutes here; linear work takes well
    // under a second, even in a sanitizer build.
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
}

void TestLoader::equivalentDocuments_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("equivalent");

    QTest::newRow("unlisted subtree below lumomap")
        << QStringLiteral(
               "<lumomap><foo><mapname>x</mapname><region><number>1</number></region></foo></lumomap>")
        << QStringLiteral("<lumomap/>");
    QTest::newRow("unlisted subtree below a record")
        << QStringLiteral(
               "<lumomap><region><number>1</number><extra><name>x</name><extra><a/></extra></extra>"
               "</region></lumomap>")
        << QStringLiteral("<lumomap><region><number>1</number></region></lumomap>");
    QTest::newRow("node without nodelist")
        << QStringLiteral(
               "<lumomap><fixturetemplate><uid>3</uid><node><x>1</x></node></fixturetemplate></lumomap>")
        << QStringLiteral("<lumomap><fixturetemplate><uid>3</uid><nodelist/></fixturetemplate></lumomap>");
    QTest::newRow("map inside lumomap")
        << QStringLiteral("<lumomap><map><controller><self>1</self></controller></map></lumomap>")
        << QStringLiteral("<lumomap/>");
    QTest::newRow("region inside map")
        << QStringLiteral("<map><region><number>1</number></region><interface><uid>2</uid></interface></map>")
        << QStringLiteral("<map/>");
    QTest::newRow("lamp inside map") << QStringLiteral("<map><lamp><light><x>1</x></light></lamp></map>")
                                     << QStringLiteral("<map/>");
    QTest::newRow("names are case-sensitive")
        << QStringLiteral("<lumomap><MapName>x</MapName><Region><number>1</number></Region>"
                          "<region><Number>4</Number></region></lumomap>")
        << QStringLiteral("<lumomap><region/></lumomap>");
    QTest::newRow("value elements repeat, last wins")
        << QStringLiteral(
               "<lumomap><mapname>a</mapname><mapname>b</mapname><region><name>n</name><number>2</number>"
               "<number>3</number></region></lumomap>")
        << QStringLiteral(
               "<lumomap><mapname>b</mapname><region><number>3</number><name>n</name></region></lumomap>");
    QTest::newRow("empty and blank values keep defaults")
        << QStringLiteral("<lumomap><mapname/><region><number>  </number><name></name></region></lumomap>")
        << QStringLiteral("<lumomap><region/></lumomap>");
    QTest::newRow("attributes, comments, instructions and a declaration are ignored")
        << QStringLiteral(
               "<?xml version=\"1.0\"?><!-- c --><lumomap a=\"1\"><?pi x?><mapname b=\"2\">m</mapname>"
               "</lumomap>")
        << QStringLiteral("<lumomap><mapname>m</mapname></lumomap>");
    QTest::newRow("text directly in containers is ignored")
        << QStringLiteral("<lumomap>t<region>u<number>1</number>v</region>w<geometry>g</geometry></lumomap>")
        << QStringLiteral("<lumomap><region><number>1</number></region></lumomap>");
    QTest::newRow("entity references of the format")
        << QStringLiteral("<lumomap><mapname>a &amp; &lt;b&gt; &#233;</mapname></lumomap>")
        << QStringLiteral("<lumomap><mapname>a &amp; &lt;b> \u00e9</mapname></lumomap>");
}

void TestLoader::equivalentDocuments()
{
    QFETCH(QString, document);
    QFETCH(QString, equivalent);

    LumoMapModel model;
    QVERIFY2(model.loadFromText(document), qPrintable(model.getLastError()));
    QCOMPARE(ModelDump::dump(model, true), dumpOf(equivalent));
}

void TestLoader::outputNumbering()
{
    LumoMapModel model;
    QVERIFY(model.loadFromText(
        QStringLiteral("<lumomap>"
                       "<interfacetemplate><uid>1</uid><output/><output><portnum>9</portnum>"
                       "</output><output/><output><portnum>300</portnum></output>"
                       "</interfacetemplate>"
                       "<interfacetemplate><uid>2</uid><output/><output/></interfacetemplate>"
                       "</lumomap>")));
    QList<int> first;
    for (const LumoOutput *output : std::as_const(model.interfaceTemplates.value(1)->outputs)) {
        first << output->portnum;
        QVERIFY(output->used);
        QCOMPARE(output->porttype, quint8(0));
    }
    QCOMPARE(first, (QList<int>{1, 9, 3, 44}));
    QList<int> second;
    for (const LumoOutput *output : std::as_const(model.interfaceTemplates.value(2)->outputs))
        second << output->portnum;
    QCOMPARE(second, (QList<int>{1, 2}));
}

void TestLoader::textPieces_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("mapname");
    QTest::addColumn<uint>("regionNumber");
    QTest::addColumn<QString>("error");

    const QString open = QStringLiteral("<lumomap><mapname>");
    const QString close = QStringLiteral("</mapname></lumomap>");
    QTest::newRow("comment") << open + QStringLiteral("Tom<!-- -->&amp; Jerry") + close << true
                             << QStringLiteral("Tom& Jerry") << 0u << QString();
    QTest::newRow("CDATA") << open + QStringLiteral("<![CDATA[a]]>b") + close << true << QStringLiteral("ab")
                           << 0u << QString();
    QTest::newRow("CDATA holding markup") << open + QStringLiteral(" <![CDATA[<x> & y]]> ") + close << true
                                          << QStringLiteral("<x> & y") << 0u << QString();
    QTest::newRow("trimmed after joining") << open + QStringLiteral(" Tom <!-- c --> Jerry ") + close << true
                                           << QStringLiteral("Tom  Jerry") << 0u << QString();
    QTest::newRow("number in pieces")
        << QStringLiteral("<lumomap><region><number>1<!-- -->2<![CDATA[3]]></number></region></lumomap>")
        << true << QString() << 123u << QString();
    QTest::newRow("joined text fails as a whole")
        << QStringLiteral("<lumomap><region><number> 1<!-- -->x </number></region></lumomap>") << false
        << QString() << 0u << prefix + QStringLiteral("characters: 1x");
}

void TestLoader::textPieces()
{
    QFETCH(QString, document);
    QFETCH(bool, ok);
    QFETCH(QString, mapname);
    QFETCH(uint, regionNumber);
    QFETCH(QString, error);

    LumoMapModel model;
    QCOMPARE(model.loadFromText(document), ok);
    if (!ok) {
        QCOMPARE(model.getLastError(), error);
        return;
    }
    if (!mapname.isNull())
        QCOMPARE(model.getMapName(), mapname);
    if (regionNumber) {
        QCOMPARE(model.regions.size(), 1);
        QCOMPARE(model.regions.cbegin().key(), regionNumber);
    }
}

void TestLoader::textInContainerNamedByTrace()
{
    // The trace names text found directly inside a container until the next callback replaces it.
    LumoMapParser parser(nullptr);
    QVERIFY(!drive(parser, QStringLiteral("<lumomap><region> loose text </lumomap>")));
    QCOMPARE(parser.errorString(), QStringLiteral("characters: loose text"));
}

void TestLoader::hostile_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("error");

    const QString tooDeep =
        prefix + QStringLiteral("startElement: aRefused: elements nested deeper than 256 levels.");
    QTest::newRow("257 levels") << nested(QStringLiteral("lumomap"), QStringLiteral("a"), 256) << tooDeep;
    QTest::newRow("1000 levels") << nested(QStringLiteral("lumomap"), QStringLiteral("a"), 999) << tooDeep;
    QTest::newRow("100000 levels") << nested(QStringLiteral("lumomap"), QStringLiteral("a"), 99999)
                                   << tooDeep;
    QTest::newRow("100000 levels in a legacy map")
        << nested(QStringLiteral("map"), QStringLiteral("a"), 99999) << tooDeep;
    QTest::newRow("100000 levels, unclosed")
        << QStringLiteral("<lumomap>") + QStringLiteral("<a>").repeated(99999) << tooDeep;

    const QString refused = prefix + QStringLiteral("Refused: entity declaration %1 in the document type.");
    QTest::newRow("internal entity, unused")
        << QStringLiteral("<!DOCTYPE lumomap [<!ENTITY e \"x\">]><lumomap/>")
        << refused.arg(QStringLiteral("e"));
    QTest::newRow("internal entity, used")
        << QStringLiteral(
               "<!DOCTYPE lumomap [<!ENTITY name \"Hall\">]><lumomap><mapname>&name;</mapname></lumomap>")
        << refused.arg(QStringLiteral("name"));
    QTest::newRow("parameter entity") << QStringLiteral("<!DOCTYPE lumomap [<!ENTITY % p \"x\">]><lumomap/>")
                                      << refused.arg(QStringLiteral("%p"));
    QTest::newRow("external entity")
        << QStringLiteral("<!DOCTYPE lumomap [<!ENTITY ext SYSTEM \"file:///etc/passwd\">]>"
                          "<lumomap><mapname>&ext;</mapname></lumomap>")
        << prefix + QStringLiteral("Refused: external entity declaration ext in the document type.");
    QTest::newRow("unparsed entity")
        << QStringLiteral("<!DOCTYPE lumomap [<!NOTATION gif SYSTEM \"image/gif\">"
                          "<!ENTITY pic SYSTEM \"pic.gif\" NDATA gif>]><lumomap/>")
        << prefix + QStringLiteral("Refused: unparsed entity declaration pic in the document type.");

    QString laughs = QStringLiteral("<!DOCTYPE lumomap [<!ENTITY lol0 \"lol\">");
    for (int i = 1; i < 10; ++i) {
        laughs += QStringLiteral("<!ENTITY lol%1 \"").arg(i);
        for (int j = 0; j < 10; ++j)
            laughs += QStringLiteral("&lol%1;").arg(i - 1);
        laughs += QStringLiteral("\">");
    }
    laughs += QStringLiteral("]><lumomap><mapname>&lol9;</mapname></lumomap>");
    QTest::newRow("billion laughs") << laughs << refused.arg(QStringLiteral("lol0"));

    // One 50,000-character entity used 50,000 times in text.
    const QString uses = QStringLiteral("&big;").repeated(50000);
    QTest::newRow("one large entity used many times")
        << QStringLiteral("<!DOCTYPE lumomap [<!ENTITY big \"") + QString(50000, QLatin1Char('x')) +
               QStringLiteral("\">]><lumomap><mapname>") + uses + QStringLiteral("</mapname></lumomap>")
        << refused.arg(QStringLiteral("big"));
}

void TestLoader::hostile()
{
    QFETCH(QString, document);
    QFETCH(QString, error);

    LumoMapModel model;
    QVERIFY(!model.loadFromText(document));
    QCOMPARE(model.getLastError(), error);
    QVERIFY(model.getMapName().isEmpty());

    QTemporaryDir dir;
    LumoMapModel fromFile;
    QVERIFY(!fromFile.loadFromFile(writeFile(dir, QStringLiteral("hostile.xml"), document.toUtf8())));
    QCOMPARE(fromFile.getLastError(), error);
}

void TestLoader::doctypeWithoutEntitiesLoads_data()
{
    QTest::addColumn<QString>("document");

    QTest::newRow("bare") << QStringLiteral("<!DOCTYPE lumomap><lumomap><mapname>m</mapname></lumomap>");
    QTest::newRow("external subset, never read") << QStringLiteral(
        "<!DOCTYPE lumomap SYSTEM \"/nonexistent/lumomap.dtd\"><lumomap><mapname>m</mapname>"
        "</lumomap>");
    QTest::newRow("element declarations")
        << QStringLiteral("<!DOCTYPE lumomap [<!ELEMENT lumomap ANY><!ELEMENT mapname (#PCDATA)>]>"
                          "<lumomap><mapname>m</mapname></lumomap>");
    QTest::newRow("exactly 256 levels") << QStringLiteral("<lumomap><mapname>m</mapname>") +
                                               nested(QStringLiteral("a"), QStringLiteral("a"), 254) +
                                               QStringLiteral("</lumomap>");
}

void TestLoader::doctypeWithoutEntitiesLoads()
{
    QFETCH(QString, document);
    LumoMapModel model;
    QVERIFY2(model.loadFromText(document), qPrintable(model.getLastError()));
    QCOMPARE(model.getMapName(), QStringLiteral("m"));
}

void TestLoader::deepNestingOnSmallStack()
{
    // The nesting limit keeps the reader's recursion shallow enough for a thread with a small stack.
    const QString document = nested(QStringLiteral("lumomap"), QStringLiteral("a"), 100000);
    bool loaded = true;
    QString error;
    QThread *thread = QThread::create([&] {
        LumoMapModel model;
        loaded = model.loadFromText(document);
        error = model.getLastError();
    });
    thread->setStackSize(1024 * 1024);
    thread->start();
    QVERIFY(thread->wait(60000));
    delete thread;
    QVERIFY(!loaded);
    QVERIFY(error.endsWith(QStringLiteral("Refused: elements nested deeper than 256 levels.")));
}

QTEST_GUILESS_MAIN(TestLoader)
#include "tst_loader.moc"
