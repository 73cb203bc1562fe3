// The map writer: the golden files (layout, escaping, defaults, encoding), failed writes, and the
// properties that hold for any document: the streaming writer equals the DOM route, and a save loads
// back to the same records. (A save cut anywhere is one of the hostile inputs.)

#include <TestSupport.h>

#include <MapDomWriter.h>
#include <MapTextWriter.h>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

using namespace TestSupport;

namespace {

const QDateTime saveTime(QDate(2026, 12, 4), QTime(19, 29, 19));

LumoNode *node(double x, double y, qint32 addr, bool skip, qint32 channels)
{
    auto *n = new LumoNode;
    *n = {x, y, addr, skip, channels, 0};
    return n;
}

// The document of tests/data/golden-map.xml: every kind of record with the awkward values of the
// format (all-ones keys, flags 10 and 255, reals that lose digits or need an exponent, a colour with
// alpha, an empty node list, an output without fixtures, markup, quotes, letters beyond ASCII, white
// space at both ends of a text) and, where a field is left alone, its default.
void fillGoldenModel(LumoMapModel &m)
{
    m.mapfileversion = 1; // the writer always writes 2
    m.setMapName(QStringLiteral("B\u00fchne Nord & <S\u00fcd> \"main\" 'stage'"));
    m.setCreatingAppName(QStringLiteral(" LumoEdit "));
    m.setCreatingAppVersion(QString());
    m.vminx = -12.5;
    m.vminy = 0.1;
    m.vmaxx = 1234.5678;
    m.vmaxy = 1e6;
    m.scalexfit = false;
    m.xoffset = 10001.25;
    m.yoffset = -0.001;
    m.xscale = 2.5e-7;

    auto *spot = new LumoFixtureTemplate;
    spot->uid = 0xFFFFFFFFu;
    spot->name = QStringLiteral("\u821e\u53f0 spot");
    spot->xoffset = 0.1;
    spot->yoffset = -3.0;
    spot->nodelist << node(0.0, 0.0, 1, false, 3) << node(-1.5, 1234.5678, -7, true, 4);
    auto *bare = new LumoFixtureTemplate;
    bare->uid = 7;
    bare->name = QLatin1String("");
    bare->locked = false;
    m.fixtureTemplates.insert(spot->uid, spot);
    m.fixtureTemplates.insert(bare->uid, bare);

    auto *controller = new LumoInterfaceTemplate; // uid stays all ones
    controller->name = QStringLiteral("Controller <16 ports>");
    controller->xoffset = -0.5;
    controller->yoffset = 123456.5;
    auto *idle = new LumoOutput{1, 0, {}, true};
    auto *busy = new LumoOutput{255, 3, {new LumoFixture}, true}; // a fixture of defaults
    auto *wash = new LumoFixture;
    wash->templateid = 7;
    wash->name = QStringLiteral("  Spot & Wash  ");
    wash->x = 1e6;
    wash->y = -0.5;
    wash->theta = 90.0;
    wash->baseaddr = -1;
    wash->layerid = 0xFFFFFFFFu;
    wash->groupid = 12;
    busy->fixtures << wash;
    controller->outputs << idle << busy;
    m.interfaceTemplates.insert(controller->uid, controller);

    auto *door = new LumoInterface; // uid, templateid and sn stay all ones
    door->region = 3;
    door->name = QStringLiteral("T\u00fcr 1 \"left\" & 'right'");
    door->x = -1234.5678;
    door->y = 0.1;
    door->theta = 1e-5;
    door->ip = QStringLiteral("10.0.0.1");
    door->flags = 10;
    door->ver = 65535;
    door->uni = 10;
    door->id = QLatin1String("");
    door->order = -2;
    auto *roof = new LumoInterface;
    roof->uid = 0x1a2b;
    roof->templateid = 0xabcdef01u;
    roof->name = QStringLiteral("\u5c4b\u6839 roof");
    roof->flags = 255;
    roof->sn = 0;
    roof->uni = 0xFFFFFFFFu;
    roof->vers = QStringLiteral("v1.2 > v1.1 ]]> <b>");
    for (LumoInterface *i : {door, roof}) {
        m.interfaces.insert(i->uid, i);
        m.interfacesByOrder.insert(i->order, i);
    }

    auto *north = new LumoRegion;
    north->number = 3;
    north->name = QStringLiteral("Nord & S\u00fcd");
    north->color = QColor(0x12, 0xab, 0xef, 0x80);
    m.regions.insert(north->number, north);
    m.regions.insert(0, new LumoRegion); // number 0, "New Region", red
}

// The children of <lumomap> as parts, one per child, with the records of each kind sorted: records
// of one kind follow the iteration order of a hash, which carries no meaning.
QStringList canonicalParts(const QString &text)
{
    static const QRegularExpression part(
        QStringLiteral("^ <(\\w+)>\\n.*?^ </\\1>\\n|^ <[^\\n]*\\n|^[^ ][^\\n]*\\n"),
        QRegularExpression::MultilineOption | QRegularExpression::DotMatchesEverythingOption);
    QStringList parts;
    auto it = part.globalMatch(text);
    while (it.hasNext())
        parts << it.next().captured(0);
    for (auto run = parts.begin(); run != parts.end();) {
        const auto kind = run->left(run->indexOf(QLatin1Char('>')));
        const auto end = std::find_if(
            run + 1, parts.end(), [&](const QString &p) { return !p.startsWith(kind + QLatin1Char('>')); });
        std::sort(run, end);
        run = end;
    }
    return parts;
}

// The save time written by a save of now becomes the golden file's.
QString withGoldenSaveTime(QString saved)
{
    static const QRegularExpression line(QStringLiteral("<savedatetime>([^<]*)</savedatetime>"));
    const QDateTime written = QDateTime::fromString(line.match(saved).captured(1), Qt::TextDate);
    if (!written.isValid() || qAbs(written.secsTo(QDateTime::currentDateTime())) > 120)
        return QStringLiteral("bad save time: ") + saved;
    return saved.replace(line, QStringLiteral("<savedatetime>Fri Dec 4 19:29:19 2026</savedatetime>"));
}

// Gives the stream an encoding that cannot hold the golden file's letters, as a Qt 5 stream on a
// file has under a Latin-1 locale.
// Seeded random documents: mostly small ones, every tenth large enough to be written in chunks.
void seedRows(quint32 seeds)
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("records");
    for (quint32 seed = 1; seed <= seeds; ++seed)
        QTest::addRow("seed %u", seed) << seed << (seed % 10 == 0 ? 300 : 12);
}

void useLatin1(QTextStream &stream)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("ISO-8859-1");
#else
    stream.setEncoding(QStringConverter::Latin1);
#endif
}

} // namespace

class TestWriter : public QObject
{
    Q_OBJECT

private slots:
    void goldenFiles_data();
    void goldenFiles();
    void failedWrites_data();
    void failedWrites();
    void saveToFile_data();
    void saveToFile();
    void streamingEqualsDomRoute_data() { seedRows(40); }
    void streamingEqualsDomRoute();
    void savedDocumentLoadsBack_data() { seedRows(40); }
    void savedDocumentLoadsBack();
};

void TestWriter::goldenFiles_data()
{
    QTest::addColumn<bool>("golden"); // the golden model, or a document of defaults
    QTest::addColumn<QString>("route");
    for (const char *route : {"string", "string with a field width", "Latin-1 file", "DOM"}) {
        QTest::addRow("golden map, %s", route) << true << QString::fromLatin1(route);
        QTest::addRow("defaults, %s", route) << false << QString::fromLatin1(route);
    }
}

// The text of every route equals the golden file, and a file written through a stream of any
// encoding reads back to the same records.
void TestWriter::goldenFiles()
{
    QFETCH(bool, golden);
    QFETCH(QString, route);

    LumoMapModel model;
    if (golden) {
        fillGoldenModel(model);
    } else {
        auto *t = new LumoFixtureTemplate;
        t->uid = 1;
        t->nodelist << new LumoNode;
        model.fixtureTemplates.insert(1, t);
        auto *i = new LumoInterfaceTemplate;
        i->outputs << new LumoOutput{0, 0, {new LumoFixture}, true};
        model.interfaceTemplates.insert(i->uid, i);
        model.interfaces.insert(0, new LumoInterface);
        model.regions.insert(0, new LumoRegion);
    }
    const QString expected = QString::fromUtf8(
        dataFile(golden ? QStringLiteral("golden-map.xml") : QStringLiteral("golden-defaults.xml")));
    QString text;
    if (route == QLatin1String("DOM")) {
        model.mapfileversion = 2;
        text = MapDomWriter::buildDocument(model, saveTime).toString(1);
        QDomDocument scratch;
        QDomElement parent = scratch.createElement(QStringLiteral("parent"));
        for (LumoFixtureTemplate *t : std::as_const(model.fixtureTemplates))
            QVERIFY(t->save(scratch, parent));
        for (LumoInterfaceTemplate *t : std::as_const(model.interfaceTemplates))
            QVERIFY(t->save(scratch, parent) && t->outputs.last()->fixtures.last()->save(scratch, parent));
        QVERIFY(model.interfaces.begin().value()->save(scratch, parent) &&
                model.regions.begin().value()->save(scratch, parent));
    } else if (route == QLatin1String("Latin-1 file")) {
        QFile file(writeTemporaryFile({}));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTextStream stream(&file);
        useLatin1(stream);
        QVERIFY(model.save(stream));
        file.close();
        text = withGoldenSaveTime(QString::fromUtf8(readFile(file.fileName())));
        LumoMapModel fromFile;
        LumoMapModel fromText;
        QVERIFY(loadFile(fromFile, file.fileName()) && load(fromText, expected));
        QCOMPARE(dump(fromFile), dump(fromText));
    } else {
        QTextStream stream(&text);
        stream.setFieldWidth(route.endsWith(QLatin1String("width")) ? 40 : 0);
        QVERIFY(model.save(stream));
        QCOMPARE(stream.fieldWidth(), route.endsWith(QLatin1String("width")) ? 40 : 0);
        text = withGoldenSaveTime(text);
    }
    QCOMPARE(model.getMapFileVersion(), 2u);
    QCOMPARE(canonicalParts(text), canonicalParts(expected));
}

void TestWriter::failedWrites_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("expected");
    QTest::newRow("writable buffer") << QStringLiteral("buffer") << true;
    QTest::newRow("read-only buffer") << QStringLiteral("read-only buffer") << false;
    QTest::newRow("file not open") << QStringLiteral("closed file") << false;
    QTest::newRow("full disk") << QStringLiteral("/dev/full") << false;
    QTest::newRow("stream without a target") << QStringLiteral("none") << false;
}

void TestWriter::failedWrites()
{
    QFETCH(QString, target);
    QFETCH(bool, expected);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    QFile file(target == QLatin1String("/dev/full") ? target
                                                    : QStringLiteral("/nonexistent/never-opened.xml"));
    QTextStream stream;
    if (target.endsWith(QLatin1String("buffer"))) {
        buffer.open(target == QLatin1String("buffer") ? QIODevice::WriteOnly : QIODevice::ReadOnly);
        stream.setDevice(&buffer);
    } else if (target != QLatin1String("none")) {
        QVERIFY(target == QLatin1String("closed file") || file.open(QIODevice::WriteOnly));
        stream.setDevice(&file);
    }
    LumoMapModel model;
    fillGoldenModel(model);
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const bool saved = model.save(stream); // Qt warns about the refused writes
    qInstallMessageHandler(previous);
    QCOMPARE(saved, expected);
    QCOMPARE(bytes.startsWith("<lumomap>\n") && bytes.endsWith("</lumomap>\n"), expected);
}

// Streamed through a string and through a device, the text equals the DOM route's, character for
// character, for any document: hostile texts, any real, null pointers in the collections.
void TestWriter::saveToFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason"); // null when the save succeeds
    QTest::newRow("new file") << QStringLiteral("new.xml") << QString();
    QTest::newRow("over an existing file") << QStringLiteral("old.xml") << QString();
    QTest::newRow("missing directory")
        << QStringLiteral("missing/new.xml") << QStringLiteral("No such file or directory");
    QTest::newRow("full disk") << QStringLiteral("full/old.xml") << QStringLiteral("File too large");
    QTest::newRow("read-only directory")
        << QStringLiteral("read-only/old.xml") << QStringLiteral("Permission denied");
}

// The file on disk is either the old one or the complete new one: a failed save leaves an existing
// file byte for byte, and lastError names the file and the reason.
void TestWriter::saveToFile()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QTemporaryDir directory;
    const QString path = directory.filePath(target);
    const QByteArray old = dataFile(QStringLiteral("golden-defaults.xml"));
    QVERIFY(target.startsWith(QLatin1String("missing")) || QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(!path.endsWith(QLatin1String("old.xml")) ||
            (file.open(QIODevice::WriteOnly) && file.write(old) > 0));
    file.close();
    LumoMapModel model;
    fillGoldenModel(model);
    bool saved = false;
    if (target.startsWith(QLatin1String("full"))) {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{1000, limit.rlim_max};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        saved = model.saveToFile(path);
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, handler);
    } else if (target.startsWith(QLatin1String("read-only"))) {
        // A child process without the privileges that would let it write anyway.
        QFile::setPermissions(QFileInfo(path).path(),
                              QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        const pid_t child = fork();
        if (child == 0)
            _exit((getuid() != 0 || setuid(65534) == 0) && !model.saveToFile(path) &&
                          model.lastError ==
                              QStringLiteral("Unable to save file: ") + path + QStringLiteral(": ") + reason
                      ? 0
                      : 1);
        int status = 1;
        waitpid(child, &status, 0);
        QCOMPARE(status, 0);
        model.lastError = QStringLiteral("Unable to save file: ") + path + QStringLiteral(": ") + reason;
    } else {
        saved = model.saveToFile(path);
    }
    QCOMPARE(saved, reason.isNull());
    QCOMPARE(model.lastError, reason.isNull() ? QString()
                                              : QStringLiteral("Unable to save file: ") + path +
                                                    QStringLiteral(": ") + reason);
    if (reason.isNull())
        QCOMPARE(canonicalParts(withGoldenSaveTime(QString::fromUtf8(readFile(path)))),
                 canonicalParts(QString::fromUtf8(dataFile(QStringLiteral("golden-map.xml")))));
    else if (path.endsWith(QLatin1String("old.xml")))
        QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files),
             QFile::exists(path) ? QStringList{QFileInfo(path).fileName()} : QStringList());
}

void TestWriter::streamingEqualsDomRoute()
{
    QFETCH(quint32, seed);
    QFETCH(int, records);
    LumoMapModel model;
    RandomMap(seed, RandomMap::Values::Any).fill(model, records);
    const QString dom = MapDomWriter::buildDocument(model, saveTime).toString(1);
    QString streamed;
    QTextStream stream(&streamed);
    QVERIFY(MapTextWriter::write(model, stream, saveTime));
    QCOMPARE(streamed, dom);
    QBuffer device;
    QBuffer domDevice;
    device.open(QIODevice::WriteOnly);
    domDevice.open(QIODevice::WriteOnly);
    QTextStream deviceStream(&device);
    QTextStream domStream(&domDevice);
    QVERIFY(MapTextWriter::write(model, deviceStream, saveTime));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    domStream.setCodec("UTF-8");
#endif
    domStream << dom << Qt::flush;
    QCOMPARE(device.data(), domDevice.data());
}

// A document of values the file carries loads back from its save with equal records, and saves to
// the same text again.
void TestWriter::savedDocumentLoadsBack()
{
    QFETCH(quint32, seed);
    QFETCH(int, records);
    LumoMapModel model;
    RandomMap(seed, RandomMap::Values::Exact).fill(model, records);
    const QString saved = saveToString(model);
    LumoMapModel loaded;
    QVERIFY2(load(loaded, saved), qPrintable(loaded.lastError));
    QCOMPARE(dump(loaded), dump(model));
    QCOMPARE(canonicalParts(saveToString(loaded)), canonicalParts(saved));
}

QTEST_GUILESS_MAIN(TestWriter)
#include "tst_writer.moc"
