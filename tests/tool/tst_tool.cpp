// The lumomap tool run as a separate process from the source directory (so that the paths it prints
// are short and fixed): exit codes, messages and outputs of every command, round trips through
// convert, the CSV read back by Python's csv module, and what render draws.

#include <TestSupport.h>

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString sourceDir = QStringLiteral(LUMOMAP_SOURCE_DIR);

struct ToolRun
{
    int exitCode = -1; // -1 when the tool crashed or hung
    QString out;
    QString err;
};

// Runs the tool without a display or platform choice, so that render has to manage on its own.
// "@tmp@" in an argument stands for `tmp`. Arguments starting with "ulimit" run the tool with files
// limited to 4 KB, so that writing a larger file fails part-way; "env" followed by an assignment sets a
// variable for the tool; "python3" runs Python instead.
ToolRun run(QStringList arguments, const QString &tmp = QString())
{
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("@tmp@"), tmp);
    QString program = QStringLiteral(LUMOMAP_TOOL_PATH);
    if (arguments.value(0) == QLatin1String("ulimit")) {
        arguments = QStringList{"-c", "ulimit -f 4 && exec \"$@\"", "sh", program} + arguments.mid(1);
        program = QStringLiteral("/bin/sh");
    } else if (arguments.value(0) == QLatin1String("env")) {
        arguments.insert(2, program);
        program = QStringLiteral("/usr/bin/env");
        arguments.removeFirst();
    } else if (arguments.value(0) == QLatin1String("python3")) {
        program = arguments.takeFirst();
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(sourceDir);
    process.start(program, arguments);
    ToolRun result;
    if (!process.waitForFinished(120000))
        process.kill();
    else if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QByteArray readFile(const QString &path)
{
    QFile file(QDir(sourceDir).absoluteFilePath(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList dumpOf(const QString &path)
{
    LumoMapModel model;
    model.loadFromFile(path);
    return TestSupport::dump(model) << model.getLastError();
}

QJsonObject jsonOf(const QString &path, std::initializer_list<const char *> without = {})
{
    QJsonObject object = QJsonDocument::fromJson(readFile(path)).object();
    for (const char *key : without)
        object.remove(QLatin1String(key));
    return object;
}

// Matches of `pattern` in `text`; "." matches line breaks too.
int count(const QString &pattern, const QByteArray &text)
{
    int found = 0;
    auto matches = QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)
                       .globalMatch(QString::fromUtf8(text.constData(), text.size()));
    for (; matches.hasNext(); matches.next())
        ++found;
    return found;
}

const QString missing = QStringLiteral("tests/data/tool-no-such-map.xml");
const QString unparsable = QStringLiteral("tests/data/tool-unparsable.xml");
const QString stage = QStringLiteral("examples/stage.lumomap.xml");
const QString theatre = QStringLiteral("examples/legacy-theatre.xml");

} // namespace

class TestTool : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void convertRoundTrip_data();
    void convertRoundTrip();
    void renderPixels_data();
    void renderPixels();
};

// Each row runs the tool once. `out` is "golden:FILE" (stdout equals the file byte for byte) or a
// regular expression; `err` a regular expression. `input`, unless null, is written to
// @tmp@/input.json and @tmp@/input.txt first.
// `written` names a file that must not exist when `writtenGolden` is empty, must hold N matches of
// REGEX when it is "N REGEX", and must equal the golden file `writtenGolden` otherwise.
void TestTool::commands_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("writtenGolden");

    const QString none = QStringLiteral("^$");
    const auto row = [&](const char *name, const QStringList &arguments, int exitCode, const QString &out,
                         const QString &err = QStringLiteral("^$"), const QByteArray &input = {},
                         const QString &written = {}, const QString &golden = {}) {
        QTest::newRow(name) << arguments << input << exitCode << out << err << written << golden;
    };
    const auto fileError = [](const QString &path, const char *reason) {
        return QStringLiteral("^lumomap: cannot read \"%1\": %2\\n$")
            .arg(QRegularExpression::escape(path), reason);
    };
    const QString S = QStringLiteral("%1: no problems found\n");

    row("version", {"--version"}, 0, "^lumomap \\d+\\.\\d+\\.\\d+\\n$");
    row("help", {"--help"}, 0, "info MAP.*validate MAP.*convert IN OUT.*render MAP.*patch MAP.*diff OLD NEW");
    row("render help", {"render", "--help"}, 0,
        "--size <WxH>.*--labels.*--wiring.*--addresses.*--page <SIZE>");
    row("patch help", {"patch", "--help"}, 0, "channel address.*--json.*--pixels");
    row("no command", {}, 2, none, "^lumomap: no command given \\(see --help\\)\\n$");
    row("unknown command", {"frobnicate", stage}, 2, none, "^lumomap: unknown command \"frobnicate\"");
    row("unknown option", {"info", "--frob", stage}, 2, none,
        "^lumomap: Unknown option 'frob'\\. \\(see --help\\)\\n$");
    row("convert without OUT", {"convert", stage}, 2, none, "^lumomap: expected 2 file arguments, got 1");
    row("convert to png", {"convert", stage, "@tmp@/x.png"}, 2, none,
        "^lumomap: cannot write \"[^\"]*x.png\": the name must end in .xml or .json\\n$", {}, "@tmp@/x.png");
    row("convert to yaml", {"convert", stage, "@tmp@/x", "--to", "yaml"}, 2, none, "invalid --to \"yaml\"",
        {}, "@tmp@/x");
    row("render without -o", {"render", stage}, 2, none, "^lumomap: render needs an output file");
    row("render to jpg", {"render", stage, "-o", "@tmp@/m.jpg"}, 2, none,
        "the name must end in .png, .svg, .pdf or .html");
    row("render size zero", {"render", stage, "-o", "@tmp@/m.png", "--size", "0x10"}, 2, none,
        "invalid --size \"0x10\"");
    row("render page a5", {"render", stage, "-o", "@tmp@/m.pdf", "--page", "a5"}, 2, none,
        "invalid --page \"a5\"");

    for (const QString &command :
         QStringList{"info %1", "validate %1", "patch %1", "convert %1 @tmp@/out.png --to xml",
                     "render %1 -o @tmp@/out.png", "diff " + stage + " %1"}) {
        for (const QString &map : {missing, unparsable})
            row(qPrintable(command.section(QLatin1Char(' '), 0, 0) +
                           (map == missing ? " missing" : " unparsable")),
                command.arg(map).split(QLatin1Char(' ')), 2, none,
                fileError(map, map == missing ? "File does not exist\\." : "Unable to parse file: [^\\n]*"),
                {}, "@tmp@/out.png");
    }

    row("info legacy", {"info", theatre}, 0, "golden:tests/data/tool-info-legacy-theatre.txt");
    row("info json", {"info", "--json", stage}, 0, "golden:tests/data/tool-info-stage.json");

    const QString clean = QStringLiteral("tests/data/tool-legacy-port-order.xml");
    row("validate clean", {"validate", clean}, 0, S.arg(clean));
    row("validate clean strict json", {"validate", "--strict", "--json", clean}, 0, "\"findings\": \\[\\s*\\]");
    row("validate warnings", {"validate", stage}, 0,
        "^warning: interfaces 300, 301: send to universes 0-1: unicast to each controller's IP keeps them apart, "
        "multicast or broadcast would not\\n$");
    row("validate legacy strict", {"validate", "--strict", theatre}, 1,
        "^warning: interfaces 1a, 1b, 2c: share order 0\\nwarning: interfaces 1a, 1b, 2c: send to universes 0-3: "
        "[^\\n]+\\nwarning: interfaces 1a, 1b: send to universe 4: [^\\n]+\\n$");
    // Errors exit with 1, warnings with 0 (the findings themselves are the library's, tested there).
    row("validate error", {"validate", "tests/data/tool-shared-portnum.xml"}, 1,
        "golden:tests/data/tool-shared-portnum.validate.txt");
    row("validate json", {"validate", "--json", "tests/data/tool-shared-portnum.xml"}, 1,
        "\"check\": \"shared-portnum\",\\s*\"field\": \"portnum\",\\s*\"keys\": \\[\\s*\"200\"\\s*\\],\\s*"
        "\"kind\": \"interfacetemplate\",\\s*\"level\": \"error\"");
    row("validate universe size", {"validate", stage, "--universe-size", "500"}, 2, none,
        "^lumomap: invalid --universe-size \"500\": expected 510 or 512\\n$");
    // A port keeps its universes whatever the ports before it hold; names match in any case.
    row("patch universes per port", {"patch", "--ports", stage, "--universes-per-port", "8", "--interface",
                                     "downstage TRUSS"}, 0,
        "\\nDownstage Truss,301,10.0.0.32,1,1,2,8,0,24,0,1,0,24,480\\r\\n"
        "Downstage Truss,301,10.0.0.32,2,2,2,2,0,6,8,1,8,6,120\\r\\n$");
    row("validate universes per port", {"validate", theatre, "--universes-per-port", "1", "--universe-size", "512"}, 0,
        "^(warning: [^\\n]+\\n)+$");
    row("port the interface lacks", {"patch", stage, "--interface", "300", "--port", "99"}, 2, none,
        "^lumomap: invalid --port 99: interface 300 \"Upstage Truss\" has ports 1-2\\n$");
    row("port no interface has", {"patch", stage, "--port", "99"}, 2, none,
        "^lumomap: invalid --port 99: no interface has it \\(the most ports of one is 2\\)\\n$");
    row("render a port without nodes", {"render", theatre, "--interface", "1b", "--port", "9", "-o", "@tmp@/out.png"},
        2, none, "^lumomap: nothing to draw: interface 1b \"Stage Right\" port 9 has no nodes\\n$");
    // What a file that is no map is, and where.
    row("info of an empty file", {"info", "@tmp@/input.txt"}, 2, none,
        "^lumomap: cannot read \"[^\"]*input.txt\": the file is empty\\n$", QByteArray(""));
    row("info of text", {"info", "@tmp@/input.txt"}, 2, none,
        "^lumomap: cannot read \"[^\"]*input.txt\": not XML: .+ at line 1, column \\d+\\n$", "notes, not a map\n");
    row("info of html", {"info", "@tmp@/input.txt"}, 2, none,
        "^lumomap: cannot read \"[^\"]*\": not a map file: its root element is <html>; expected <lumomap> or <map>\\n$",
        "<html><body>a page</body></html>");
    row("info of a truncated map", {"info", "@tmp@/input.txt"}, 2, none,
        "^lumomap: cannot read \"[^\"]*\": Unable to parse file: endElement: mapname \\(line 2, column 1: .+\\)\\n$",
        "<lumomap><mapname>abc</mapname>\n");
    row("info of a bad value", {"info", "@tmp@/input.txt"}, 2, none,
        "^lumomap: cannot read \"[^\"]*\": Unable to parse file: characters: x1 \\(line 2, column 43\\)\\n$",
        "<lumomap>\n<r><a>x1</a></r><region><number>x1</number></region></lumomap>");
    // One controller, one port.
    row("info of one port", {"info", theatre, "--interface", "Stage Right", "--port", "2"}, 0,
        "\\n  interface 1b \"Stage Right\", ip 10.0.1.12, uni 0: 1 ports, 1 with nodes\\n"
        "    port 2 \\(portnum 1\\): nodes 1-6, channels 1-18, universe 1 channel 1 to universe 1 channel 18\\n$");
    row("unknown interface", {"patch", theatre, "--interface", "10.9.9.9"}, 2, none,
        "^lumomap: --interface \"10.9.9.9\" names no interface of the map");
    row("patch ports", {"patch", "--ports", theatre, "--start-universe", "3", "--universe-size", "512"}, 0,
        "golden:tests/data/tool-patch-ports-theatre.csv");
    row("patch leaves a fixture out", {"patch", "tests/data/tool-missing-fixture-template.xml"}, 0, ".",
        "^lumomap: warning: interface 300 \"Upstage Truss\" port 2 \\(portnum 2\\): fixture \"Spot R\" left out: "
        "templateid 1ff names no fixture template\\nlumomap: warning: interface 301 .+\\n$");
    // Nothing is written over the map being read, nor in a format the command does not write.
    row("patch over its map", {"patch", "@tmp@/keep.xml", "-o", "@tmp@/keep.xml"}, 2, none,
        "^lumomap: cannot write \"[^\"]*keep.xml\": it is the map being read; choose another output file\\n$", {},
        "@tmp@/keep.xml", stage);
    row("patch to xlsx", {"patch", stage, "-o", "@tmp@/p.xlsx"}, 2, none,
        "the name must end in .csv or .json\\n$", {}, "@tmp@/p.xlsx");

    const QString names = QStringLiteral("tests/data/tool-patch-names.xml");
    row("patch csv", {"patch", names}, 0, "golden:tests/data/tool-patch-names.csv");
    row("patch csv file", {"patch", names, "-o", "@tmp@/p.csv"}, 0, none, none, {}, "@tmp@/p.csv",
        "tests/data/tool-patch-names.csv");
    // Python's csv module reads the CSV as spreadsheets do: commas, quotes and line breaks survive.
    row("patch csv read by python",
        {"python3", "-c",
         "import csv, json, subprocess, sys\n"
         "text = subprocess.run(sys.argv[1:], capture_output=True).stdout\n"
         "print(json.dumps(list(csv.reader(text.decode().splitlines(keepends=True))), indent=1))",
         LUMOMAP_TOOL_PATH, "patch", names},
        0, "golden:tests/data/tool-patch-names-rows.json");
    row("patch pixels", {"patch", "--pixels", names}, 0, "golden:tests/data/tool-patch-names-pixels.json");
    row("patch json of json", {"patch", "--json", "tests/data/tool-patch-input.json"}, 0,
        "golden:tests/data/tool-patch-input-rows.json");
    row("render svg", {"render", theatre, "-o", "@tmp@/m.svg"}, 0, none, none, {}, "@tmp@/m.svg",
        "74 <(circle|ellipse)\\b");
    // Wiring sheets: a portrait index, an overview and one landscape page per interface.
    row("render pdf", {"render", theatre, "-o", "@tmp@/m.pdf", "--wiring"}, 0, none, none, {}, "@tmp@/m.pdf",
        "5 /Type /Page\\b(?!s)");
    row("render pdf a4", {"render", theatre, "-o", "@tmp@/m.pdf", "--addresses"}, 0, none, none, {},
        "@tmp@/m.pdf", "4 /MediaBox \\[0 0 842\\.0+ 595\\.0+\\]");
    row("render pdf one interface", {"render", theatre, "-o", "@tmp@/m.pdf", "--interface", "1a"}, 0, none, none, {},
        "@tmp@/m.pdf", "1 /Type /Page\\b(?!s)");
    // 300 nodes a unit apart: too close for numbers on the interface's page, so its port goes on in
    // runs of nodes on two more pages.
    QByteArray dense = "<map><controller><self>1</self><name>Dense</name></controller>";
    for (int i = 0; i < 300; ++i)
        dense += "<light><x>" + QByteArray::number(i) + "</x><y>0</y><channel>" + QByteArray::number(3 * i + 1) +
                 "</channel><controller>1</controller><pn>0</pn></light>";
    row("render pdf dense", {"render", "@tmp@/input.txt", "-o", "@tmp@/m.pdf"}, 0, none, none, dense + "</map>",
        "@tmp@/m.pdf", "4 /Type /Page\\b(?!s)");
    row("render html", {"render", theatre, "-o", "@tmp@/m.html"}, 0, none, none, {}, "@tmp@/m.html",
        "1 <canvas id=\"map\"");
    row("render pdf letter", {"render", theatre, "-o", "@tmp@/m.pdf", "--page", "letter"}, 0, none, none, {},
        "@tmp@/m.pdf", "4 /MediaBox \\[0 0 792\\.0+ 612\\.0+\\]");

    const QString changed = QStringLiteral("tests/data/tool-stage-changed.xml");
    row("diff same", {"diff", stage, stage}, 0, none);
    row("diff legacy same", {"diff", theatre, theatre}, 0, none);
    row("diff changed", {"diff", stage, changed}, 1, "golden:tests/data/tool-diff-stage-changed.txt");
    row("diff changed json all", {"diff", "--json", "--all", stage, changed}, 1,
        "golden:tests/data/tool-diff-stage-changed.json");
    // The JSON form's messages are the library's (tested there); the tool names the file.
    row("json syntax", {"convert", "@tmp@/input.json", "@tmp@/out.xml"}, 2, none,
        "^lumomap: cannot read \"[^\"]*input.json\": line 1, column 3: unterminated object\\n$", "{]", "@tmp@/out.xml");
    // A failed convert leaves an existing OUT as it was, whether reading or writing failed.
    for (const QString &in : {unparsable, QStringLiteral("tests/data/tool-patch-names-rows.json")})
        row(qPrintable("keep output, " + in), {"convert", in, "@tmp@/keep.xml"}, 2, none,
            "^lumomap: cannot read", {}, "@tmp@/keep.xml", stage);
    row("keep output, file size limit", {"ulimit", "convert", theatre, "@tmp@/keep.xml"}, -1, none, ".*", {},
        "@tmp@/keep.xml", stage);
    row("json values the map file cannot carry", {"convert", "@tmp@/input.json", "@tmp@/out.xml"}, 0, none,
        "^lumomap: warning: the map file cannot carry this value: geometry: vminx: 0.1234567 -> 0.123457\\n$",
        R"({"format": "lumomap-json/1", "geometry": {"vminx": 0.1234567, "xscale": "nan"}})");
}

void TestTool::commands()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, written);
    QFETCH(QString, writtenGolden);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFile(tmp.filePath(QStringLiteral("keep.xml")), readFile(stage)));
    if (!input.isNull()) {
        QVERIFY(writeFile(tmp.filePath(QStringLiteral("input.json")), input));
        QVERIFY(writeFile(tmp.filePath(QStringLiteral("input.txt")), input));
    }
    const ToolRun result = run(arguments, tmp.path());
    QVERIFY2(result.exitCode == exitCode,
             qPrintable(QStringLiteral("exit %1: %2").arg(result.exitCode).arg(result.err)));
    if (out.startsWith(QLatin1String("golden:")))
        QCOMPARE(result.out, QString::fromUtf8(readFile(out.mid(7))));
    else
        QVERIFY2(count(out, result.out.toUtf8()) > 0, qPrintable(result.out));
    QVERIFY2(count(err, result.err.toUtf8()) > 0, qPrintable(result.err));
    written.replace(QStringLiteral("@tmp@"), tmp.path());
    if (!written.isEmpty() && writtenGolden.isEmpty())
        QVERIFY2(!QFile::exists(written), qPrintable(written));
    else if (!written.isEmpty() && writtenGolden.at(0).isDigit())
        QCOMPARE(QString::number(count(writtenGolden.section(QLatin1Char(' '), 1), readFile(written))),
                 writtenGolden.section(QLatin1Char(' '), 0, 0));
    else if (!written.isEmpty())
        QCOMPARE(readFile(written), readFile(writtenGolden));
}

void TestTool::convertRoundTrip_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<bool>("translate");
    QTest::addColumn<QString>("difference"); // what diff finds between MAP and its conversion

    const QString version =
        QStringLiteral("^[^\\n]*\\n[^\\n]*\\n~ header: mapfileversion: 1 -> 2\\n0 records added, 0 "
                       "removed, 1 fields changed\\n$");
    QTest::newRow("legacy theatre") << theatre << false << version;
    QTest::newRow("legacy theatre, old coordinates")
        << theatre << true
        << QStringLiteral("\\n~ fixturetemplate 0 \"Stage Left\": nodelist\\[1\\]\\.x: 48 -> 40\\n");
    QTest::newRow("legacy facade") << QStringLiteral("examples/legacy-facade.xml") << false << version;
    QTest::newRow("current map") << stage << false << QStringLiteral("^$");
    QTest::newRow("legacy map, fixtures placed in port order")
        << QStringLiteral("tests/data/tool-legacy-port-order.xml") << false << version;
}

// MAP -> x.xml -> a.json -> b.xml -> c.json: the two map files hold the same records and the two JSON
// documents are equal but for the save time and the version, which every save of a map file sets.
void TestTool::convertRoundTrip()
{
    QFETCH(QString, map);
    QFETCH(bool, translate);
    QFETCH(QString, difference);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QStringList first{QStringLiteral("convert"), map, QStringLiteral("@tmp@/x.xml")};
    if (translate)
        first << QStringLiteral("--translate-old-coordinates");
    for (const QStringList &arguments : {first, QStringList{"convert", "@tmp@/x.xml", "@tmp@/a.json"},
                                         QStringList{"convert", "@tmp@/a.json", "@tmp@/b.xml"},
                                         QStringList{"convert", "--to", "json", "@tmp@/b.xml", "@tmp@/c"}}) {
        const ToolRun result = run(arguments, tmp.path());
        QVERIFY2(result.exitCode == 0 && result.err.isEmpty(), qPrintable(result.err));
    }
    QCOMPARE(dumpOf(tmp.filePath(QStringLiteral("b.xml"))), dumpOf(tmp.filePath(QStringLiteral("x.xml"))));
    const QJsonObject json =
        jsonOf(tmp.filePath(QStringLiteral("a.json")), {"savedatetime", "mapfileversion"});
    QVERIFY(!json.value(QStringLiteral("interfaces")).toArray().isEmpty());
    QCOMPARE(jsonOf(tmp.filePath(QStringLiteral("c")), {"savedatetime", "mapfileversion"}), json);

    // Every process has a hash seed of its own (QT_HASH_SEED=0 fixes it): the file does not depend on
    // it but for its save time.
    QCOMPARE(run(QStringList{"env", "QT_HASH_SEED=0"} + first.replaceInStrings("x.xml", "y.xml"), tmp.path())
                 .exitCode,
             0);
    static const QRegularExpression saveTime(QStringLiteral("<savedatetime>.*</savedatetime>"));
    QCOMPARE(QString::fromUtf8(readFile(tmp.filePath(QStringLiteral("y.xml")))).remove(saveTime),
             QString::fromUtf8(readFile(tmp.filePath(QStringLiteral("x.xml")))).remove(saveTime));
    const ToolRun diff = run({QStringLiteral("diff"), map, QStringLiteral("@tmp@/x.xml")}, tmp.path());
    QCOMPARE(diff.exitCode, difference == QLatin1String("^$") ? 0 : 1);
    QVERIFY2(count(difference, diff.out.toUtf8()) == 1, qPrintable(diff.out));
}

void TestTool::renderPixels_data()
{
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QRectF>("extent");         // of the placed nodes, in map coordinates
    QTest::addColumn<QList<QPointF>>("points"); // map points to look at
    QTest::addColumn<QList<QColor>>("colours"); // expected there; transparent: anything but the ground
    QTest::addColumn<double>(
        "ink"); // most ink inside the extent: 1 for pixels as far from the ground as can be

    const QByteArray render = readFile(QStringLiteral("tests/data/tool-render.lumomap.xml"));
    const QRectF extent(QPointF(50, 50), QPointF(150, 250));
    const QColor region1(0xe0, 0x30, 0x20), region2(0x20, 0x60, 0xe0), ground(24, 26, 32),
        chain(Qt::transparent);
    // Template 3 is placed by no interface; (50, 250) is where it, or a flipped y axis, would show.
    QTest::newRow("region colours") << render << QStringList() << extent
                                    << QList<QPointF>{{110, 220}, {150, 250}, {50, 50}, {50, 250}, {130, 235}}
                                    << QList<QColor>{region1, region1, region2, ground, ground} << 0.05;
    QTest::newRow("wiring") << render << QStringList{"--wiring"} << extent
                            << QList<QPointF>{{110, 220}, {50, 50}, {130, 235}, {50, 250}}
                            << QList<QColor>{region1, region2, chain, ground} << 0.1;
    // 100 x 100 nodes one unit apart on 252 pixels: marks sized from the spacing leave ground between
    // them (ink about 0.25) instead of running into one block (0.65, the region colour everywhere).
    QByteArray nodes;
    for (int i = 0; i < 10000; ++i)
        nodes += QStringLiteral("<node><x>%1</x><y>%2</y></node>").arg(i % 100).arg(i / 100).toUtf8();
    const QByteArray grid =
        "<lumomap><fixturetemplate><uid>1</uid><nodelist>" + nodes +
        "</nodelist></fixturetemplate><interfacetemplate><uid>2</uid><output><fixture><templateid>1"
        "</templateid></fixture></output></interfacetemplate><interface><uid>3</uid><templateid>2"
        "</templateid><region>5</region></interface><region><number>5</number><color>#40c080"
        "</color></region></lumomap>";
    QTest::newRow("dense grid") << grid << QStringList() << QRectF(0, 0, 99, 99) << QList<QPointF>{{0, 0}}
                                << QList<QColor>{chain} << 0.4;
    QTest::newRow("one node") << QByteArray(grid).replace(nodes, "<node><x>4</x><y>4</y></node>")
                              << QStringList() << QRectF(4, 4, 0, 0) << QList<QPointF>{{4, 4}}
                              << QList<QColor>{QColor(0x40, 0xc0, 0x80)} << 1.0;
}

void TestTool::renderPixels()
{
    QFETCH(QByteArray, map);
    QFETCH(QStringList, options);
    QFETCH(QRectF, extent);
    QFETCH(QList<QPointF>, points);
    QFETCH(QList<QColor>, colours);
    QFETCH(double, ink);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFile(tmp.filePath(QStringLiteral("map.xml")), map));
    const QSize size(300, 300);
    const ToolRun result =
        run(QStringList{"render", "@tmp@/map.xml", "-o", "@tmp@/map.png", "--size", "300x300"} + options,
            tmp.path());
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QImage image;
    QVERIFY(image.load(tmp.filePath(QStringLiteral("map.png")), "PNG"));
    QCOMPARE(image.size(), size);

    // Map points go into the picture less a margin (24 pixels, 44 with wiring), scaled uniformly and centred.
    const double margin = options.isEmpty() ? 24 : 44;
    const double scale = extent.isEmpty() ? 1.0
                                          : std::min((size.width() - 2 * margin) / extent.width(),
                                                     (size.height() - 2 * margin) / extent.height());
    const QPointF offset = QPointF(size.width(), size.height()) / 2 - extent.center() * scale;
    const QColor ground(24, 26, 32);
    for (int i = 0; i < points.size(); ++i) {
        const QPointF pixel = points.at(i) * scale + offset;
        const QColor found = image.pixelColor(int(pixel.x()), int(pixel.y()));
        QVERIFY2(colours.at(i).alpha() == 0 ? found != ground : found == colours.at(i),
                 qPrintable(QStringLiteral("at %1, %2: %3").arg(pixel.x()).arg(pixel.y()).arg(found.name())));
    }
    const QRect inside =
        QRectF(extent.topLeft() * scale + offset, extent.bottomRight() * scale + offset).toRect();
    double distance = 0; // from the ground, summed over the pixels inside
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            distance += std::max({std::abs(c.red() - 24), std::abs(c.green() - 26), std::abs(c.blue() - 32)});
        }
    }
    const double found = distance / 255 / ((inside.width() + 1) * (inside.height() + 1));
    QVERIFY2(found <= ink, qPrintable(QString::number(found)));
    QCOMPARE(image.pixelColor(0, 0), ground);
}

QTEST_GUILESS_MAIN(TestTool)
#include "tst_tool.moc"
