// The map writer: the golden files (layout, escaping, defaults, encoding), failed writes, and the
// properties that hold for any document: the streaming writer equals the DOM route, and a save loads
// back to the same records. (A save cut anywhere is one of the hostile inputs.)

#include <TestSupport.h>

#include <MapDomWriter.h>
#include <MapTextWriter.h>
#include <MapValueFormat.h>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

using namespace TestSupport;
using DrawReal = double (*)(QRandomGenerator &);
Q_DECLARE_METATYPE(DrawReal)

namespace {

const QDateTime saveTime(QDate(2026, 12, 4), QTime(19, 29, 19));

// The document of tests/data/golden-map.xml: every kind of record with the awkward values of the
// format (all-ones keys, flags 10 and 255, reals that lose digits or need an exponent, an empty node
// list, an output without fixtures, markup, quotes, letters beyond ASCII) and, where a field is left
// alone, its default. It is read from the file itself; then the values a load cannot give are set:
// white space at both ends of a text, empty and null texts, reals of more than six digits, a colour
// with alpha.
void fillGoldenModel(LumoMapModel &m)
{
    QVERIFY(load(m, QString::fromUtf8(dataFile(QStringLiteral("golden-map.xml")))));
    m.mapfileversion = 1; // the writer always writes 2
    m.setCreatingAppName(QStringLiteral(" LumoEdit "));
    m.setCreatingAppVersion(QString());
    m.vmaxx = 1234.5678;
    m.xoffset = 10001.25;
    m.fixtureTemplates.value(7)->name = QLatin1String("");
    m.fixtureTemplates.value(0xFFFFFFFFu)->nodelist.last()->y = 1234.5678;
    LumoInterfaceTemplate *controller = m.interfaceTemplates.value(0xFFFFFFFFu);
    controller->yoffset = 123456.5;
    controller->outputs.last()->fixtures.last()->name = QStringLiteral("  Spot & Wash  ");
    LumoInterface *door = m.interfaces.value(0xFFFFFFFFu);
    door->x = -1234.5678;
    door->id = QLatin1String("");
    m.regions.value(3)->color.setAlpha(0x80);
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

// Seeded random documents: mostly small ones, every tenth large enough to be written in chunks.
void seedRows(quint32 seeds)
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("records");
    for (quint32 seed = 1; seed <= seeds; ++seed)
        QTest::addRow("seed %u", seed) << seed << (seed % 10 == 0 ? 300 : 12);
}

// Gives the stream an encoding that cannot hold the golden file's letters, as a Qt 5 stream on a
// file has under a Latin-1 locale.
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
    void charactersReadBack_data();
    void charactersReadBack();
    void realsAsQt_data();
    void realsAsQt();
    void callerTextAroundASave_data();
    void callerTextAroundASave();
    void headerSetters_data();
    void headerSetters();
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
        // What each record's save member appends stands in the document as it is.
        QCOMPARE(parent.childNodes().count(),
                 model.fixtureTemplates.size() + model.interfaceTemplates.size() * 2 + 2);
        const auto flat = [](QString t) { return t.remove(QLatin1Char(' ')).remove(QLatin1Char('\n')); };
        for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
            QString part;
            QTextStream stream(&part);
            e.save(stream, 1);
            stream.flush();
            QVERIFY2(part.size() > 20 && flat(text).contains(flat(part)), qPrintable(part));
        }
    } else if (route == QLatin1String("Latin-1 file")) {
        QFile file(writeTemporaryFile({}));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTextStream stream(&file);
        useLatin1(stream);
        QVERIFY(model.save(stream));
        file.close();
        text = withGoldenSaveTime(QString::fromUtf8(readFile(file.fileName())));
    } else {
        QTextStream stream(&text);
        stream.setFieldWidth(route.endsWith(QLatin1String("width")) ? 40 : 0);
        QVERIFY(model.save(stream));
        QCOMPARE(stream.fieldWidth(), route.endsWith(QLatin1String("width")) ? 40 : 0);
        text = withGoldenSaveTime(text);
    }
    QCOMPARE(model.getMapFileVersion(), 2u);
    QCOMPARE(text, expected);
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
    QTest::newRow("stream failed before") << QStringLiteral("failed buffer") << false;
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
        buffer.open(target == QLatin1String("read-only buffer") ? QIODevice::ReadOnly : QIODevice::WriteOnly);
        stream.setDevice(&buffer);
        if (target.startsWith(QLatin1String("failed")))
            stream.setStatus(QTextStream::WriteFailed); // nothing more may reach the device
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
    QVERIFY(expected || bytes.isEmpty());
}

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
    const QString error =
        reason.isNull() ? QString() : QStringLiteral("Unable to save file: %1: %2").arg(path, reason);
    const QByteArray old = dataFile(QStringLiteral("golden-defaults.xml"));
    QVERIFY(target.startsWith(QLatin1String("missing")) || QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(!path.endsWith(QLatin1String("old.xml")) ||
            (file.open(QIODevice::WriteOnly) && file.write(old) > 0));
    file.close();
    LumoMapModel model;
    fillGoldenModel(model);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{1000, limit.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    if (target.startsWith(QLatin1String("full")))
        setrlimit(RLIMIT_FSIZE, &small);
    if (target.startsWith(QLatin1String("read-only"))) {
        // A child process without the privileges that would let it write anyway.
        QFile::setPermissions(QFileInfo(path).path(), QFile::ReadOwner | QFile::ExeOwner);
        const pid_t child = fork();
        if (child == 0)
            _exit((getuid() != 0 || setuid(65534) == 0) && !model.saveToFile(path) && model.lastError == error
                      ? 0
                      : 1);
        int status = 1;
        waitpid(child, &status, 0);
        QCOMPARE(status, 0);
    } else {
        QCOMPARE(model.saveToFile(path), reason.isNull());
        QCOMPARE(model.lastError, error);
    }
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, handler);
    if (reason.isNull())
        QCOMPARE(withGoldenSaveTime(QString::fromUtf8(readFile(path))),
                 QString::fromUtf8(dataFile(QStringLiteral("golden-map.xml"))));
    else if (path.endsWith(QLatin1String("old.xml")))
        QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files),
             QFile::exists(path) ? QStringList{QFileInfo(path).fileName()} : QStringList());
}

// Streamed through a string and through a device, the text equals the DOM route's, character for
// character, for any document: hostile texts, any real, null pointers in the collections.
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
    QCOMPARE(withGoldenSaveTime(saveToString(loaded)), withGoldenSaveTime(saved));
}

void TestWriter::charactersReadBack_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("U+0000") << QString(QChar(0)) << QByteArray("\0", 1);
    QTest::newRow("carriage return") << QString(QChar(0xd)) << QByteArray("&#xd;");
    QTest::newRow("U+E000 private use, as it is") << QString(QChar(0xe000)) << QByteArray("\xee\x80\x80");
    QTest::newRow("U+FF21 fullwidth A, as it is") << QString(QChar(0xff21)) << QByteArray("\xef\xbc\xa1");
    QTest::newRow("U+FFFD, as it is") << QString(QChar(0xfffd)) << QByteArray("\xef\xbf\xbd");
    QTest::newRow("U+FFFE") << QString(QChar(0xfffe)) << QByteArray("&#xfffe;");
    QTest::newRow("U+FFFF") << QString(QChar(0xffff)) << QByteArray("&#xffff;");
    QTest::newRow("lone high surrogate") << QString(QChar(0xd800)) << QByteArray("&#xd800;");
    QTest::newRow("lone low surrogate") << QString(QChar(0xdfff)) << QByteArray("&#xdfff;");
    QTest::newRow("halves reversed") << QString(QChar(0xdc00)) + QChar(0xd800)
                                     << QByteArray("&#xdc00;&#xd800;");
    QTest::newRow("high surrogate before a pair")
        << QString(QChar(0xd800)) + QChar(0xd83c) + QChar(0xdfad) << QByteArray("&#xd800;\xf0\x9f\x8e\xad");
}

// Every character reads back exactly, from a file and from a string, in the header and in a record.
void TestWriter::charactersReadBack()
{
    QFETCH(QString, character);
    QFETCH(QByteArray, written);
    const QString text = QLatin1Char('a') + character + QLatin1Char('b');
    LumoMapModel model;
    model.mapname = text;
    model.regions.insert(0, new LumoRegion);
    model.regions.value(0)->name = text;
    QFile file(writeTemporaryFile({}));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QTextStream stream(&file);
    QVERIFY(model.save(stream));
    file.close();
    QVERIFY(readFile(file.fileName()).contains("<mapname>a" + written + "b</mapname>"));
    LumoMapModel fromFile, fromText;
    QVERIFY(loadFile(fromFile, file.fileName()) && load(fromText, saveToString(model)));
    for (const LumoMapModel *loaded : {&fromFile, &fromText}) {
        QCOMPARE(loaded->mapname, text);
        QVERIFY(loaded->regions.value(0) && loaded->regions.value(0)->name == text);
    }
}

void TestWriter::realsAsQt_data()
{
    QTest::addColumn<DrawReal>("draw");
    QTest::newRow("any bits") << DrawReal([](QRandomGenerator &random) {
        const quint64 bits = random.generate64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    });
    QTest::newRow("exact ties") << DrawReal([](QRandomGenerator &random) {
        const double tie = random.bounded(100000, 1000000) * 10.0 + 5;
        const int shift = random.bounded(-1, 9);
        return shift < 0 ? tie / 10 : tie * std::pow(10.0, shift);
    });
    QTest::newRow("near ties") << DrawReal([](QRandomGenerator &random) {
        return (random.bounded(100000, 1000000) + 0.5) * std::pow(10.0, random.bounded(-30, 30));
    });
}

// The writer formats reals itself, to exactly the text of QString::number(value, 'g', 6).
void TestWriter::realsAsQt()
{
    QFETCH(DrawReal, draw);
    QRandomGenerator random(7);
    for (int i = 0; i < 200000; ++i) {
        const double value = draw(random);
        const QString written(MapValueFormat::real(value).view());
        if (written != QString::number(value, 'g', 6))
            QFAIL(qPrintable(QStringLiteral("%1 written as %2").arg(value, 0, 'g', 17).arg(written)));
    }
}

void TestWriter::callerTextAroundASave_data()
{
    QTest::addColumn<bool>("latin1"); // or UTF-8 with a byte order mark
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("Latin-1") << true << QByteArray("\xe9\n") << QByteArray("\xe9");
    QTest::newRow("UTF-8 with a byte order mark")
        << false << QByteArray("\xef\xbb\xbf\xc3\xa9\n") << QByteArray("\xc3\xa9");
}

// Text the caller writes to the stream before and after a save keeps the stream's encoding; the map
// between them is UTF-8.
void TestWriter::callerTextAroundASave()
{
    QFETCH(bool, latin1);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QTextStream stream(&buffer);
    if (latin1)
        useLatin1(stream);
    stream.setGenerateByteOrderMark(!latin1);
    LumoMapModel model;
    fillGoldenModel(model);
    stream << QStringLiteral("\u00e9\n");
    QVERIFY(model.save(stream));
    stream << QStringLiteral("\u00e9") << Qt::flush;
    const QByteArray bytes = buffer.data();
    QVERIFY(bytes.startsWith(before + "<lumomap>\n") && bytes.endsWith("</lumomap>\n" + after));
    QVERIFY(bytes.contains("<mapname>B\u00fchne Nord &amp; &lt;S\u00fcd>")); // UTF-8
}

using HeaderSetter = void (LumoMapModel::*)(const QString &);
using HeaderGetter = QString (LumoMapModel::*)() const;
Q_DECLARE_METATYPE(HeaderSetter)
Q_DECLARE_METATYPE(HeaderGetter)

void TestWriter::headerSetters_data()
{
    QTest::addColumn<HeaderSetter>("set");
    QTest::addColumn<HeaderGetter>("get");
    QTest::addColumn<QByteArray>("element");
    QTest::newRow("map name") << &LumoMapModel::setMapName << &LumoMapModel::getMapName << QByteArray("mapname");
    QTest::newRow("application") << &LumoMapModel::setCreatingAppName << &LumoMapModel::getCreatingAppName
                                 << QByteArray("appname");
    QTest::newRow("application version") << &LumoMapModel::setCreatingAppVersion
                                         << &LumoMapModel::getCreatingAppVersion << QByteArray("appversion");
}

// What a header setter sets reaches the file, and a load gives it back through the getter.
void TestWriter::headerSetters()
{
    QFETCH(HeaderSetter, set);
    QFETCH(HeaderGetter, get);
    QFETCH(QByteArray, element);
    const QString value = QStringLiteral("B\u00fchne & S\u00fcd");
    LumoMapModel model;
    (model.*set)(value);
    const QString path = writeTemporaryFile({});
    QVERIFY(model.saveToFile(path));
    const QByteArray written = "\n <" + element + ">" + value.toUtf8().replace("&", "&amp;") + "</" + element + ">\n";
    QVERIFY2(readFile(path).contains(written), readFile(path).constData());
    LumoMapModel loaded;
    QVERIFY(loadFile(loaded, path));
    QCOMPARE((loaded.*get)(), value);
}

QTEST_GUILESS_MAIN(TestWriter)
#include "tst_writer.moc"
