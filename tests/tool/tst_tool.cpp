// The lumomap tool run as a separate process: exit codes and messages, info and validate output,
// convert round trips and failures, and the pictures render draws.

#include <TestSupport.h>

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString toolPath = QStringLiteral(LUMOMAP_TOOL_PATH);

QString sample(const char *name)
{
    return QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/") + QLatin1String(name);
}

QString testData(const char *name)
{
    return QStringLiteral(LUMOMAP_TEST_DATA_DIR "/") + QLatin1String(name);
}

struct ToolRun
{
    QProcess::ExitStatus status = QProcess::CrashExit;
    int exitCode = -1;
    QString out;
    QString err;

    bool exitedWith(int code) const { return status == QProcess::NormalExit && exitCode == code; }
};

// Runs `program` with `arguments` in an environment without any display or platform choice, so
// that render has to manage headless on its own.
ToolRun runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus();
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

ToolRun runTool(const QStringList &arguments)
{
    return runProgram(toolPath, arguments);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The legacy import numbers fixture templates from a process-wide counter, so the tool's process
// and this one give the same map different uids. Counting them from the least uid makes the two
// comparable; fixtures follow their templates.
void rebaseFixtureTemplateUids(LumoMapModel &model)
{
    const QList<quint32> keys = model.fixtureTemplates.keys();
    if (keys.isEmpty())
        return;
    const quint32 base = *std::min_element(keys.begin(), keys.end());
    QHash<quint32, LumoFixtureTemplate *> rebased;
    for (auto it = model.fixtureTemplates.cbegin(); it != model.fixtureTemplates.cend(); ++it) {
        it.value()->uid -= base;
        rebased.insert(it.key() - base, it.value());
    }
    model.fixtureTemplates = rebased;
    QHash<quint32, LumoFixture *> rebasedIndex;
    for (auto it = model.fixturesByTemplate.cbegin(); it != model.fixturesByTemplate.cend(); ++it)
        rebasedIndex.insert(it.key() - base, it.value());
    model.fixturesByTemplate = rebasedIndex;
    for (LumoInterface *interface : qAsConst(model.interfaces))
        interface->fixturesByTemplate.clear();
    for (LumoInterfaceTemplate *interfaceTemplate : qAsConst(model.interfaceTemplates)) {
        for (LumoOutput *output : qAsConst(interfaceTemplate->outputs)) {
            for (LumoFixture *fixture : qAsConst(output->fixtures)) {
                if (keys.contains(fixture->templateid))
                    fixture->templateid -= base;
            }
        }
    }
}

// The dump lists interfacesByOrder in the map's order, which for equal orders depends on the order
// of insertion; sorting the entries makes it comparable.
QStringList canonicalDump(const LumoMapModel &model)
{
    QStringList lines = TestSupport::dump(model);
    const QString prefix = QStringLiteral("interfacesByOrder ");
    for (QString &line : lines) {
        if (!line.startsWith(prefix))
            continue;
        QStringList entries = line.mid(prefix.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        std::sort(entries.begin(), entries.end());
        line = prefix + entries.join(QLatin1Char(' '));
    }
    return lines;
}

// The records of `path` as loadFromFile reads them, after a save (which sets mapfileversion to 2,
// as every converted file carries it) and with the interface order index a file load builds.
QStringList savedRecordsOf(const QString &path, bool translateOldCoordinates)
{
    LumoMapModel model;
    model.setTranslateOldCoordinatesToNew(translateOldCoordinates);
    if (!model.loadFromFile(path))
        return {QStringLiteral("load failed: ") + model.getLastError()};
    QString text;
    QTextStream stream(&text);
    model.save(stream);
    rebaseFixtureTemplateUids(model);
    // A legacy import leaves interfacesByOrder empty; loading a map file fills it from each
    // interface's order.
    if (model.interfacesByOrder.isEmpty()) {
        for (LumoInterface *interface : qAsConst(model.interfaces))
            model.interfacesByOrder.insert(interface->order, interface);
    }
    return canonicalDump(model);
}

QStringList loadedRecordsOf(const QString &path)
{
    LumoMapModel model;
    if (!model.loadFromFile(path))
        return {QStringLiteral("load failed: ") + model.getLastError()};
    rebaseFixtureTemplateUids(model);
    return canonicalDump(model);
}

// Where the tool puts an absolute map point: the extent of the placed nodes scaled uniformly into
// the picture less a 24-pixel margin on every side, centred.
QPoint expectedPixel(const QPointF &mapPoint, const QRectF &extent, const QSize &size)
{
    const double margin = 24.0;
    const double width = size.width() - 2 * margin;
    const double height = size.height() - 2 * margin;
    const double scale = std::min(width / extent.width(), height / extent.height());
    const double left = margin + (width - extent.width() * scale) / 2;
    const double top = margin + (height - extent.height() * scale) / 2;
    const QPointF picture((mapPoint.x() - extent.left()) * scale + left,
                          (mapPoint.y() - extent.top()) * scale + top);
    return QPoint(int(picture.x()), int(picture.y()));
}

const QColor background(24, 26, 32);

} // namespace

class TestTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void validate_data();
    void validate();
    void validateJson();
    void unreadableMap_data();
    void unreadableMap();
    void infoJson_data();
    void infoJson();
    void infoText();
    void convertRoundTrip_data();
    void convertRoundTrip();
    void convertOntoItself_data();
    void convertOntoItself();
    void failedConvertKeepsOutput_data();
    void failedConvertKeepsOutput();
    void renderPng();
    void renderDegenerateMap_data();
    void renderDegenerateMap();
    void renderSvg_data();
    void renderSvg();
};

void TestTool::initTestCase()
{
    QVERIFY2(QFile::exists(toolPath), qPrintable(toolPath));
}

void TestTool::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outPattern");
    QTest::addColumn<QString>("errPattern");

    const QString stage = sample("stage.lumomap.xml");
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << QStringLiteral("^lumomap \\d+\\.\\d+\\.\\d+\\n$") << QStringLiteral("^$");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                          << QStringLiteral("info MAP.*validate MAP.*convert IN OUT.*render MAP")
                          << QStringLiteral("^$");
    QTest::newRow("command help") << QStringList{QStringLiteral("render"), QStringLiteral("--help")} << 0
                                  << QStringLiteral("--size <WxH>.*--labels") << QStringLiteral("^$");
    QTest::newRow("no command") << QStringList() << 2 << QStringLiteral("^$")
                                << QStringLiteral("^lumomap: no command given \\(see --help\\)\\n$");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate"), stage} << 2
                                     << QStringLiteral("^$")
                                     << QStringLiteral(
                                            "^lumomap: unknown command \"frobnicate\" \\(see --help\\)\\n$");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("info"), QStringLiteral("--frob"), stage}
                                    << 2 << QStringLiteral("^$")
                                    << QStringLiteral(
                                           "^lumomap: Unknown option 'frob'\\. \\(see --help\\)\\n$");
    QTest::newRow("convert without OUT")
        << QStringList{QStringLiteral("convert"), stage} << 2 << QStringLiteral("^$")
        << QStringLiteral("^lumomap: expected 2 file arguments, got 1");
    QTest::newRow("render without -o")
        << QStringList{QStringLiteral("render"), stage} << 2 << QStringLiteral("^$")
        << QStringLiteral("^lumomap: render needs an output file");
    QTest::newRow("render to jpg")
        << QStringList{QStringLiteral("render"), stage, QStringLiteral("-o"), QStringLiteral("map.jpg")} << 2
        << QStringLiteral("^$") << QStringLiteral("^lumomap: cannot write \"map.jpg\": the name must end in");
    QTest::newRow("render size zero")
        << QStringList{QStringLiteral("render"), stage,
                       QStringLiteral("-o"),     QStringLiteral("map.png"),
                       QStringLiteral("--size"), QStringLiteral("0x10")}
        << 2 << QStringLiteral("^$") << QStringLiteral("^lumomap: invalid --size \"0x10\"");
}

void TestTool::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, outPattern);
    QFETCH(QString, errPattern);

    const ToolRun run = runTool(arguments);
    QVERIFY2(run.exitedWith(exitCode), qPrintable(run.err));
    const auto dotAll = QRegularExpression::DotMatchesEverythingOption;
    QVERIFY2(QRegularExpression(outPattern, dotAll).match(run.out).hasMatch(), qPrintable(run.out));
    QVERIFY2(QRegularExpression(errPattern, dotAll).match(run.err).hasMatch(), qPrintable(run.err));
    QVERIFY(run.err.count(QLatin1Char('\n')) <= 1);
}

void TestTool::validate_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expectedOut");

    const QString stage = sample("stage.lumomap.xml");
    QTest::newRow("good map") << stage << 0 << stage + QStringLiteral(": no problems found\n");
    QTest::newRow("fixture template")
        << testData("tool-missing-fixture-template.xml") << 1
        << QStringLiteral("fixture \"Spot R\" (interfacetemplate 200, portnum 2, fixture 2): "
                          "templateid 1ff names no fixture template\n");
    QTest::newRow("interface template") << testData("tool-missing-interface-template.xml") << 1
                                        << QStringLiteral("interface 301 \"Downstage Truss\": "
                                                          "templateid 2ff names no interface template\n");
    QTest::newRow("region") << testData("tool-missing-region.xml") << 1
                            << QStringLiteral(
                                   "interface 301 \"Downstage Truss\": region 7 names no region\n");
    QTest::newRow("shared order") << testData("tool-shared-order.xml") << 1
                                  << QStringLiteral("interfaces 300, 301: share order 1\n");
    QTest::newRow("shared portnum")
        << testData("tool-shared-portnum.xml") << 1
        << QStringLiteral("interfacetemplate 200 \"Truss Box\": 2 outputs share portnum 1\n");
    QTest::newRow("unused interface template")
        << testData("tool-unused-interface-template.xml") << 1
        << QStringLiteral("interfacetemplate 201 \"Spare Box\": used by no interface\n");
    QTest::newRow("shared addr") << testData("tool-shared-addr.xml") << 1
                                 << QStringLiteral("fixturetemplate 100 \"LED Bar\": "
                                                   "nodes at nodelist positions 2, 3 share addr 4\n");
    // The legacy import leaves every interface at order 0.
    QTest::newRow("legacy map") << sample("legacy-theatre.xml") << 1
                                << QStringLiteral("interfaces 1a, 1b, 2c: share order 0\n");
}

void TestTool::validate()
{
    QFETCH(QString, map);
    QFETCH(int, exitCode);
    QFETCH(QString, expectedOut);

    const ToolRun run = runTool({QStringLiteral("validate"), map});
    QVERIFY2(run.exitedWith(exitCode), qPrintable(run.err));
    QCOMPARE(run.out, expectedOut);
    QCOMPARE(run.err, QString());
}

void TestTool::validateJson()
{
    const QString map = testData("tool-shared-portnum.xml");
    const ToolRun run = runTool({QStringLiteral("validate"), QStringLiteral("--json"), map});
    QVERIFY(run.exitedWith(1));
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(root.value(QStringLiteral("file")).toString(), map);
    const QJsonArray findings = root.value(QStringLiteral("findings")).toArray();
    QCOMPARE(findings.size(), 1);
    const QJsonObject finding = findings.at(0).toObject();
    QCOMPARE(finding.value(QStringLiteral("check")).toString(), QStringLiteral("shared-portnum"));
    QCOMPARE(finding.value(QStringLiteral("record")).toString(),
             QStringLiteral("interfacetemplate 200 \"Truss Box\""));
    QCOMPARE(finding.value(QStringLiteral("message")).toString(),
             QStringLiteral("2 outputs share portnum 1"));

    const ToolRun clean =
        runTool({QStringLiteral("validate"), QStringLiteral("--json"), sample("stage.lumomap.xml")});
    QVERIFY(clean.exitedWith(0));
    QVERIFY(QJsonDocument::fromJson(clean.out.toUtf8())
                .object()
                .value(QStringLiteral("findings"))
                .toArray()
                .isEmpty());
}

void TestTool::unreadableMap_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("map");

    const QString missing = testData("tool-no-such-map.xml");
    const QString unparsable = testData("tool-unparsable.xml");
    const QString out = QDir::temp().filePath(QStringLiteral("lumomap-tool-test-never-written.png"));
    for (const QString &map : {missing, unparsable}) {
        const char *kind = map == missing ? "missing" : "unparsable";
        QTest::addRow("info %s", kind) << QStringList{QStringLiteral("info"), map} << map;
        QTest::addRow("validate %s", kind) << QStringList{QStringLiteral("validate"), map} << map;
        QTest::addRow("convert %s", kind) << QStringList{QStringLiteral("convert"), map, out} << map;
        QTest::addRow("render %s", kind)
            << QStringList{QStringLiteral("render"), map, QStringLiteral("-o"), out} << map;
    }
}

void TestTool::unreadableMap()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, map);

    // The message carries the library's own account of the failure.
    LumoMapModel model;
    QVERIFY(!model.loadFromFile(map));
    const QString expectedErr =
        QStringLiteral("lumomap: cannot read \"%1\": %2\n").arg(map, model.getLastError());

    const ToolRun run = runTool(arguments);
    QVERIFY2(run.exitedWith(2), qPrintable(run.err));
    QCOMPARE(run.err, expectedErr);
    QCOMPARE(run.out, QString());
    QVERIFY(!QFile::exists(QDir::temp().filePath(QStringLiteral("lumomap-tool-test-never-written.png"))));
}

void TestTool::infoJson_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<QString>("mapname");
    QTest::addColumn<int>("mapfileversion");
    QTest::addColumn<bool>("saveTimeRecorded");
    QTest::addColumn<QList<int>>("counts"); // fixture templates, nodes, interface templates, outputs,
                                            // fixtures, interfaces, regions
    QTest::addColumn<int>("placedNodes");
    QTest::addColumn<QRectF>("nodeBounds");

    // Every controller brings 16 fixture templates, 16 outputs and 16 fixtures.
    QTest::newRow("legacy theatre") << sample("legacy-theatre.xml") << QString() << 1 << false
                                    << QList<int>{48, 74, 3, 48, 48, 3, 3} << 74
                                    << QRectF(QPointF(0, 72), QPointF(624, 360));
    QTest::newRow("legacy facade") << sample("legacy-facade.xml") << QString() << 1 << false
                                   << QList<int>{48, 62, 3, 48, 48, 3, 3} << 62
                                   << QRectF(QPointF(60, 0), QPointF(660, 564));
    // Both interfaces place the same template: 2 x (2 bars of 4 nodes + 2 spots).
    QTest::newRow("stage") << sample("stage.lumomap.xml") << QStringLiteral("Studio Stage") << 2 << true
                           << QList<int>{2, 5, 1, 2, 4, 2, 2} << 20
                           << QRectF(QPointF(100, 60), QPointF(280, 230));
    // Template 3 is placed by no interface, so its node is counted but not placed.
    QTest::newRow("render map") << testData("tool-render.lumomap.xml") << QStringLiteral("Render test") << 2
                                << false << QList<int>{3, 4, 2, 2, 2, 2, 2} << 3
                                << QRectF(QPointF(50, 50), QPointF(150, 250));
}

void TestTool::infoJson()
{
    QFETCH(QString, map);
    QFETCH(QString, mapname);
    QFETCH(int, mapfileversion);
    QFETCH(bool, saveTimeRecorded);
    QFETCH(QList<int>, counts);
    QFETCH(int, placedNodes);
    QFETCH(QRectF, nodeBounds);

    const ToolRun run = runTool({QStringLiteral("info"), map, QStringLiteral("--json")});
    QVERIFY2(run.exitedWith(0), qPrintable(run.err));
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);

    QCOMPARE(root.value(QStringLiteral("file")).toString(), map);
    QCOMPARE(root.value(QStringLiteral("mapname")).toString(), mapname);
    QCOMPARE(root.value(QStringLiteral("mapfileversion")).toInt(), mapfileversion);
    QCOMPARE(root.value(QStringLiteral("savedatetime")).isString(), saveTimeRecorded);
    const QJsonObject countObject = root.value(QStringLiteral("counts")).toObject();
    const QStringList countNames{
        QStringLiteral("fixtureTemplates"), QStringLiteral("nodes"),    QStringLiteral("interfaceTemplates"),
        QStringLiteral("outputs"),          QStringLiteral("fixtures"), QStringLiteral("interfaces"),
        QStringLiteral("regions")};
    QCOMPARE(countObject.size(), countNames.size());
    for (int i = 0; i < countNames.size(); ++i)
        QCOMPARE(countObject.value(countNames.at(i)).toInt(-1), counts.at(i));
    QCOMPARE(root.value(QStringLiteral("placedNodes")).toInt(), placedNodes);
    const QJsonObject bounds = root.value(QStringLiteral("nodeBounds")).toObject();
    QCOMPARE(bounds.value(QStringLiteral("minx")).toDouble(), nodeBounds.left());
    QCOMPARE(bounds.value(QStringLiteral("miny")).toDouble(), nodeBounds.top());
    QCOMPARE(bounds.value(QStringLiteral("maxx")).toDouble(), nodeBounds.right());
    QCOMPARE(bounds.value(QStringLiteral("maxy")).toDouble(), nodeBounds.bottom());
    const QJsonObject geometry = root.value(QStringLiteral("geometry")).toObject();
    QCOMPARE(geometry.size(), 10);
    QCOMPARE(geometry.value(QStringLiteral("xscale")).toDouble(), 1.0);
}

void TestTool::infoText()
{
    const ToolRun run = runTool({QStringLiteral("info"), sample("stage.lumomap.xml")});
    QVERIFY2(run.exitedWith(0), qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("Map name:            Studio Stage\n")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("Created with:        LumoMap example 1.0.0\n")));
    QVERIFY(run.out.contains(QStringLiteral("Fixtures:            4\n")));
    QVERIFY(
        run.out.contains(QStringLiteral("Canvas:              (0, 0) to (400, 300), fit x yes, fit y yes")));
    QVERIFY(run.out.contains(QStringLiteral("Placed nodes:        20, from (100, 60) to (280, 230)\n")));
}

void TestTool::convertRoundTrip_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<bool>("translate");

    QTest::newRow("legacy theatre") << sample("legacy-theatre.xml") << false;
    QTest::newRow("legacy theatre, old coordinates") << sample("legacy-theatre.xml") << true;
    QTest::newRow("legacy facade") << sample("legacy-facade.xml") << false;
    QTest::newRow("legacy facade, old coordinates") << sample("legacy-facade.xml") << true;
    QTest::newRow("current map") << sample("stage.lumomap.xml") << false;
}

void TestTool::convertRoundTrip()
{
    QFETCH(QString, map);
    QFETCH(bool, translate);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("converted.lumomap.xml"));
    QStringList arguments{QStringLiteral("convert"), map, out};
    if (translate)
        arguments << QStringLiteral("--translate-old-coordinates");
    const ToolRun run = runTool(arguments);
    QVERIFY2(run.exitedWith(0), qPrintable(run.err));
    QCOMPARE(run.err, QString());

    QVERIFY(readFile(out).startsWith("<lumomap>\n <mapfileversion>2</mapfileversion>\n"));
    const QStringList expected = savedRecordsOf(map, translate);
    QCOMPARE(loadedRecordsOf(out), expected);
    if (translate) // the switch reached the import: the records differ from an unscaled load
        QVERIFY(expected != savedRecordsOf(map, false));
}

void TestTool::convertOntoItself_data()
{
    QTest::addColumn<QString>("map");
    QTest::newRow("legacy map") << sample("legacy-facade.xml");
    QTest::newRow("current map") << sample("stage.lumomap.xml");
}

void TestTool::convertOntoItself()
{
    QFETCH(QString, map);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("map.xml"));
    QVERIFY(QFile::copy(map, path));

    const ToolRun run = runTool({QStringLiteral("convert"), path, path});
    QVERIFY2(run.exitedWith(0), qPrintable(run.err));
    QCOMPARE(loadedRecordsOf(path), savedRecordsOf(map, false));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("map.xml")});
}

void TestTool::failedConvertKeepsOutput_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("unparsable input") << QStringLiteral("unparsable");
    QTest::newRow("missing input") << QStringLiteral("missing");
    QTest::newRow("unwritable directory") << QStringLiteral("unwritable");
    QTest::newRow("killed while writing") << QStringLiteral("file size limit");
}

void TestTool::failedConvertKeepsOutput()
{
    QFETCH(QString, failure);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("out.lumomap.xml"));
    const QByteArray previous = readFile(sample("stage.lumomap.xml"));
    QVERIFY(writeFile(out, previous));

    QString in = sample("legacy-theatre.xml");
    if (failure == QLatin1String("unparsable"))
        in = testData("tool-unparsable.xml");
    else if (failure == QLatin1String("missing"))
        in = dir.filePath(QStringLiteral("no-such-map.xml"));

    ToolRun run;
    if (failure == QLatin1String("unwritable")) {
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const bool enforced = !QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly);
        if (enforced)
            run = runTool({QStringLiteral("convert"), in, out});
        QFile::remove(dir.filePath(QStringLiteral("probe")));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        if (!enforced)
            QSKIP("directory permissions do not bind this user (root); the file size limit row covers write "
                  "failures");
        QVERIFY2(run.err.startsWith(QStringLiteral("lumomap: cannot write \"%1\": ").arg(out)),
                 qPrintable(run.err));
    } else if (failure == QLatin1String("file size limit")) {
        // The shell limits the size of files the tool may write to a few kilobytes: writing the
        // converted theatre map stops part-way (the tool is killed by SIGXFSZ or sees a write error).
        run = runProgram(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), QStringLiteral("ulimit -f 4 && exec \"$@\""),
                          QStringLiteral("sh"), toolPath, QStringLiteral("convert"), in, out});
        QVERIFY(!run.exitedWith(0));
    } else {
        run = runTool({QStringLiteral("convert"), in, out});
        QVERIFY2(run.err.startsWith(QStringLiteral("lumomap: cannot read \"%1\": ").arg(in)),
                 qPrintable(run.err));
    }
    if (failure != QLatin1String("file size limit")) {
        QVERIFY(run.exitedWith(2));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.lumomap.xml")});
    }
    QCOMPARE(readFile(out), previous);
}

void TestTool::renderPng()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("map.png"));
    const QSize size(300, 500);
    const ToolRun run =
        runTool({QStringLiteral("render"), testData("tool-render.lumomap.xml"), QStringLiteral("-o"), out,
                 QStringLiteral("--size"), QStringLiteral("300x500")});
    QVERIFY2(run.exitedWith(0), qPrintable(run.err));
    QCOMPARE(run.err, QString());

    QImage image;
    QVERIFY(image.load(out, "PNG"));
    QCOMPARE(image.size(), size);

    // Absolute positions: interface + fixture + node. Template 3 is placed by no interface and
    // does not take part in the extent.
    const QRectF extent(QPointF(50, 50), QPointF(150, 250));
    const QColor region1(0xe0, 0x30, 0x20);
    const QColor region2(0x20, 0x60, 0xe0);
    const struct
    {
        QPointF position;
        QColor color;
    } nodes[] = {{QPointF(110, 220), region1}, {QPointF(150, 250), region1}, {QPointF(50, 50), region2}};
    for (const auto &node : nodes) {
        const QPoint pixel = expectedPixel(node.position, extent, size);
        QCOMPARE(image.pixelColor(pixel), node.color);
    }

    // Corners, the empty middle of the map and the spot where a wrongly placed template 3 or a
    // flipped y axis would have put nodes stay background.
    for (const QPoint &pixel :
         {QPoint(0, 0), QPoint(299, 0), QPoint(0, 499), QPoint(299, 499), QPoint(250, 100), QPoint(100, 250),
          expectedPixel(QPointF(50, 250), extent, size)})
        QCOMPARE(image.pixelColor(pixel), background);
    int backgroundPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            backgroundPixels += image.pixelColor(x, y) == background ? 1 : 0;
    }
    QVERIFY2(backgroundPixels > image.width() * image.height() * 95 / 100,
             qPrintable(QString::number(backgroundPixels)));

    // Without --size the picture is 1024x768.
    const ToolRun defaultRun = runTool({QStringLiteral("render"), testData("tool-render.lumomap.xml"),
                                        QStringLiteral("-o"), out, QStringLiteral("--labels")});
    QVERIFY2(defaultRun.exitedWith(0), qPrintable(defaultRun.err));
    QVERIFY(image.load(out, "PNG"));
    QCOMPARE(image.size(), QSize(1024, 768));
}

void TestTool::renderDegenerateMap_data()
{
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<int>("regionPixels"); // pixels of the region colour: none, or some around the centre

    const QByteArray region = " <region>\n  <number>5</number>\n  <color>#40c080</color>\n </region>\n";
    const QByteArray placed =
        " <fixturetemplate>\n  <uid>1</uid>\n  <nodelist>\n%1  </nodelist>\n </fixturetemplate>\n"
        " <interfacetemplate>\n  <uid>2</uid>\n  <output>\n   <fixture>\n    "
        "<templateid>1</templateid>\n   </fixture>\n  </output>\n </interfacetemplate>\n"
        " <interface>\n  <uid>3</uid>\n  <templateid>2</templateid>\n  <region>5</region>\n"
        "  <x>70</x>\n  <y>-30</y>\n </interface>\n";
    const QByteArray node = "   <node>\n    <x>4</x>\n    <y>4</y>\n   </node>\n";
    QTest::newRow("empty map") << QByteArray("<lumomap>\n</lumomap>\n") << 0;
    QTest::newRow("interface without nodes")
        << QByteArray("<lumomap>\n" + QByteArray(placed).replace("%1", "") + region + "</lumomap>\n") << 0;
    QTest::newRow("one node") << QByteArray("<lumomap>\n" + QByteArray(placed).replace("%1", node) + region +
                                            "</lumomap>\n")
                              << 1;
    QTest::newRow("two nodes on one spot")
        << QByteArray("<lumomap>\n" + QByteArray(placed).replace("%1", node + node) + region + "</lumomap>\n")
        << 1;
}

// Maps without extent: nothing to draw, or all nodes on one point, which is drawn in the middle.
void TestTool::renderDegenerateMap()
{
    QFETCH(QByteArray, map);
    QFETCH(int, regionPixels);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString in = dir.filePath(QStringLiteral("map.xml"));
    const QString out = dir.filePath(QStringLiteral("map.png"));
    QVERIFY(writeFile(in, map));
    const ToolRun run = runTool({QStringLiteral("render"), in, QStringLiteral("-o"), out,
                                 QStringLiteral("--size"), QStringLiteral("200x100")});
    QVERIFY2(run.exitedWith(0), qPrintable(run.err));
    QImage image;
    QVERIFY(image.load(out, "PNG"));
    QCOMPARE(image.size(), QSize(200, 100));
    const QColor color(0x40, 0xc0, 0x80);
    int found = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            found += pixel == color ? 1 : 0;
            if (regionPixels == 0)
                QCOMPARE(pixel, background);
        }
    }
    if (regionPixels > 0) {
        QVERIFY(found > 0);
        QCOMPARE(image.pixelColor(100, 50), color);
        QCOMPARE(image.pixelColor(10, 10), background);
    }
}

void TestTool::renderSvg_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<int>("placedNodes");
    QTest::newRow("stage") << sample("stage.lumomap.xml") << 20;
    QTest::newRow("legacy theatre") << sample("legacy-theatre.xml") << 74;
    QTest::newRow("render map") << testData("tool-render.lumomap.xml") << 3;
}

void TestTool::renderSvg()
{
    QFETCH(QString, map);
    QFETCH(int, placedNodes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("map.svg"));
    const ToolRun run =
        runTool({QStringLiteral("render"), map, QStringLiteral("-o"), out, QStringLiteral("--labels")});
    QVERIFY2(run.exitedWith(0), qPrintable(run.err));

    QXmlStreamReader reader(readFile(out));
    int marks = 0;
    QString root;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (root.isEmpty())
            root = reader.name().toString();
        if (reader.name() == QLatin1String("circle") || reader.name() == QLatin1String("ellipse"))
            ++marks;
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(root, QStringLiteral("svg"));
    QCOMPARE(marks, placedNodes);
}

QTEST_GUILESS_MAIN(TestTool)
#include "tst_tool.moc"
