// Hostile input through both loaders: entity expansion, deep nesting, truncation at every byte, NUL
// bytes, invalid UTF-8, UTF-16, numbers too long for their fields, many repeated keys and legacy
// lights that name what does not exist. Every load ends with the expected result and message, in
// bounded time and memory, with sound indexes; the sanitizer build adds leaks and memory errors.

#include <TestSupport.h>

#include <LumoMapJson.h>

#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <ctime>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

const int oneArena = mallopt(M_ARENA_MAX, 1);
const QString prefix = QStringLiteral("Unable to parse file: ");

long peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// `depth` counts every open element, the root and those of `path` included.
QByteArray nested(const QByteArray &root, const QByteArray &path, const QByteArray &element, int depth)
{
    const QList<QByteArray> outer = path.isEmpty() ? QList<QByteArray>() : path.split('/');
    const int repeated = depth - 1 - int(outer.size());
    QByteArray open = '<' + root + '>';
    QByteArray close = "</" + root + ">\n";
    for (const QByteArray &e : outer) {
        open += '<' + e + '>';
        close.prepend("</" + e + '>');
    }
    return open + QByteArray("<" + element + ">").repeated(repeated) +
           QByteArray("</" + element + ">").repeated(repeated) + close;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void hostile_data();
    void hostile();
    void cutAtEveryByte_data();
    void cutAtEveryByte();
    void deepNestingOnASmallStack();
    void outOfMemory_data();
    void outOfMemory();
};

void TestHostile::hostile_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");  // how lastError starts; null when the load succeeds
    QTest::addColumn<QString>("detail"); // what lastError, or else the dump of the document, contains

    const auto file = [](const char *name, const QString &error, const QString &detail) {
        QTest::newRow(name) << dataFile(QStringLiteral("hostile-%1.xml").arg(QLatin1String(name))) << error
                            << detail;
    };
    const QString refused = prefix + QStringLiteral("Refused: ");
    file("billion-laughs", refused + QStringLiteral("entity declaration lol "),
         QStringLiteral("in the document type."));
    file("entity-many-uses", refused + QStringLiteral("entity declaration e "), QString());
    file("external-entity", refused + QStringLiteral("external entity declaration secret "), QString());
    file("parameter-entity", refused + QStringLiteral("entity declaration "), QString());
    QTest::newRow("unparsed entity")
        << QByteArray(
               "<!DOCTYPE lumomap [<!NOTATION gif SYSTEM \"image/gif\"><!ENTITY pic SYSTEM \"pic.gif\" "
               "NDATA gif>]><lumomap/>")
        << refused + QStringLiteral("unparsed entity declaration pic in the document type.") << QString();
    file("doctype-without-entities", QString(), QStringLiteral("\"Declared\""));
    // NUL is not an XML character: the reader lets it pass in text and refuses it in a name.
    file("nul-byte", QString(), QStringLiteral("\"before") + QChar(0) + QStringLiteral("after\""));
    file("nul-in-name", prefix + QStringLiteral("startElement: lumomap"), QString());
    // Invalid UTF-8 decodes to replacement characters: kept in text, refused in a name.
    file("invalid-utf8", QString(), QStringLiteral("\"a\uFFFD("));
    file("invalid-utf8-in-name", prefix + QStringLiteral("startElement: lumomap"), QString());
    // A byte-order mark selects UTF-16 in either byte order.
    file("utf16le-bom", QString(), QStringLiteral("\"B\u00fchne \u2600 \U0001F3AD\""));
    file("utf16be-bom", QString(), QStringLiteral("region 7 7 \"\u00c9tage\""));
    const QString lightEnd = prefix + QStringLiteral("endElement: light");
    file("legacy-unknown-controller", lightEnd, QStringLiteral("controller 7,"));
    file("legacy-later-controller", lightEnd, QStringLiteral("controller 2b,"));
    file("legacy-port-16", lightEnd, QStringLiteral("port 16 "));
    file("legacy-port-minus-1", lightEnd, QStringLiteral("port -1 "));
    file("legacy-port-2147483648", prefix + QStringLiteral("characters: 2147483648"), QString());

    QTest::newRow("one entity of 50000 characters used 50000 times")
        << "<!DOCTYPE lumomap [<!ENTITY e \"" + QByteArray(50000, 'x') + "\">]>\n<lumomap><mapname>" +
               QByteArray("&e;").repeated(50000) + "</mapname></lumomap>"
        << refused + QStringLiteral("entity declaration e in the document type.") << QString();
    const QString tooDeep =
        QStringLiteral("Refused: elements nested deeper than %1 levels.").arg(LumoMapParser::MaxElementDepth);
    QTest::newRow("a million levels below lumomap")
        << nested("lumomap", "", "a", 1000000) << prefix + QStringLiteral("startElement: a") << tooDeep;
    QTest::newRow("a million levels below a node")
        << nested("lumomap", "fixturetemplate/nodelist/node", "a", 1000000)
        << prefix + QStringLiteral("startElement: a") << tooDeep;
    QTest::newRow("a million levels below a legacy light")
        << nested("map", "light", "lamp", 1000000) << prefix + QStringLiteral("startElement: lamp")
        << tooDeep;
    QTest::newRow("100000 levels, unclosed") << "<lumomap>" + QByteArray("<a>").repeated(100000)
                                             << prefix + QStringLiteral("startElement: a") << tooDeep;
    for (int extra : {-1, 0, 1}) {
        const int depth = LumoMapParser::MaxElementDepth + extra;
        QTest::addRow("%d levels", depth)
            << nested("lumomap", "region", "a", depth)
            << (extra > 0 ? prefix + QStringLiteral("startElement: a") : QString())
            << (extra > 0 ? tooDeep : QStringLiteral("region 0 0"));
    }
    // No integer field takes a number that does not fit its 32 bits, whatever its width; leading zeros
    // do not count, and reals take any magnitude.
    const QByteArray tooLong = "999999999999999999999999999999";
    for (const char *number :
         {"<mapfileversion>%</mapfileversion>",
          "<interfacetemplate><output><fixture><layerid>%</layerid></fixture></output>",
          "<fixturetemplate><uid>%</uid>", "<interface><sn>%</sn>",
          "<fixturetemplate><nodelist><node><addr>%</addr>", "<geometry><scalexfit>%",
          "<interfacetemplate><output><portnum>%", "<interface><flags>%", "<interface><ver>%"})
        QTest::addRow("30 digits in %s", number)
            << "<lumomap>" + QByteArray(number).replace('%', tooLong) + "<end/>"
            << prefix + QStringLiteral("characters: ") + tooLong << QString();
    for (const char *number :
         {"<c><s>%</s>", "<c><s>1</s></c><l><c>1</c><x>%</x>", "<c><s>1</s></c><l><pn>%"})
        QTest::addRow("30 digits in the legacy %s", number)
            << "<map>" + QByteArray(number).replace('%', tooLong) + "<end/>"
            << prefix + QStringLiteral("characters: ") + tooLong << QString();
    QTest::newRow("30 digits in a real")
        << "<lumomap><geometry><vminx>" + tooLong + "</vminx></geometry></lumomap>" << QString()
        << QStringLiteral("geometry 1e+30 ");
    QTest::newRow("leading zeros")
        << QByteArray("<lumomap><interface><flags>000000000000000000000ff</flags></interface></lumomap>")
        << QString() << QStringLiteral("\"BC:BC:DE:AD:BE:EF\" 255 ");
    QByteArray repeated = "<lumomap>\n";
    for (const char *name : {"first", "second"}) {
        for (int number = 0; number < 100000; ++number)
            repeated += "<region><number>" + QByteArray::number(number) + "</number><name>" + name +
                        "</name></region>\n";
    }
    QTest::newRow("100000 regions, each key twice")
        << repeated + "</lumomap>\n"
        << QString() << QStringLiteral("region 99999 99999 \"second\"");
}

void TestHostile::hostile()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);
    QFETCH(QString, detail);

    for (bool fromFile : {false, true}) {
        LumoMapModel model;
        const std::clock_t cpuBefore = std::clock();
        const bool loaded =
            fromFile ? loadFile(model, writeTemporaryFile(document)) : load(model, decodeLikeAHost(document));
        // Processor time, so that a busy machine does not fail the test: an unbounded expansion or a
        // quadratic scan takes minutes or exhausts memory, a sound load well under a second.
        const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QVERIFY2(cpuSeconds < 30 && peakResidentMiB() < 2048,
                 qPrintable(QStringLiteral("%1 s, %2 MiB").arg(cpuSeconds).arg(peakResidentMiB())));
        QCOMPARE(loaded, error.isNull());
        QVERIFY2(error.isNull() ? model.lastError.isNull() : model.lastError.startsWith(error),
                 qPrintable(model.lastError));
        const QString found = error.isNull() ? dump(model, true).join(QLatin1Char('\n')) : model.lastError;
        QVERIFY2(found.contains(detail), qPrintable(found.left(2000)));
        QCOMPARE(indexProblem(model), QString());
    }
}

void TestHostile::cutAtEveryByte_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("current map") << dataFile(QStringLiteral("hostile-truncation-current.xml"));
    QTest::newRow("legacy map") << dataFile(QStringLiteral("hostile-truncation-legacy.xml"));
    for (quint32 seed : {1, 2, 3}) {
        LumoMapModel model;
        TestSupport::RandomMap(seed, TestSupport::RandomMap::Values::Exact).fill(model, 1);
        QTest::addRow("saved random map %u", seed) << saveToString(model).toUtf8();
    }
}

// A map cut anywhere: every prefix that ends before the root's end tag fails with the parse message and
// leaves sound records; from the end tag on, the map loads whole. Template uids come from the process-wide
// counter, so they differ from load to load and are left out of the comparison.
void TestHostile::cutAtEveryByte()
{
    QFETCH(QByteArray, document);
    const int rootEnd = int(document.indexOf('>', document.lastIndexOf("</"))) + 1;
    const auto loadPart = [](LumoMapModel &model, const QByteArray &part, bool fromFile) {
        return fromFile ? loadFile(model, writeTemporaryFile(part)) : load(model, decodeLikeAHost(part));
    };
    const auto records = [](const LumoMapModel &model) {
        static const QRegularExpression uids(QStringLiteral("^fixturetemplate \\d+ \\d+|^  fixture \\d+"),
                                             QRegularExpression::MultilineOption);
        return dump(model, true).join(QLatin1Char('\n')).replace(uids, QStringLiteral("#"));
    };
    for (bool fromFile : {false, true}) {
        LumoMapModel whole;
        QVERIFY(loadPart(whole, document, fromFile));
        for (int cut = 0; cut <= document.size(); ++cut) {
            LumoMapModel model;
            const bool loaded = loadPart(model, document.left(cut), fromFile);
            QVERIFY2(loaded == (cut >= rootEnd), qPrintable(QString::number(cut)));
            QVERIFY(loaded || model.lastError.startsWith(prefix));
            QCOMPARE(indexProblem(model), QString());
            if (loaded)
                QCOMPARE(records(model), records(whole));
        }
    }
}

// Hosts load on worker threads too. 512 KiB is the smallest default stack of a secondary thread
// among the common platforms; the depth limit keeps the reader well inside it.
void TestHostile::deepNestingOnASmallStack()
{
    const QString document = QString::fromLatin1(nested("lumomap", "", "a", 100000));
    QString error;
    QThread *thread = QThread::create([&] {
        LumoMapModel model;
        load(model, document);
        error = model.lastError;
    });
    thread->setStackSize(512 * 1024);
    thread->start();
    QVERIFY(thread->wait(60000));
    delete thread;
    QVERIFY2(error.startsWith(prefix + QStringLiteral("startElement: aRefused: elements nested")),
             qPrintable(error));
}

void TestHostile::outOfMemory_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("subsetWhereItApplies"); // else QXmlSimpleReader alone

    // The documents are written once, into a directory that lives as long as the process.
    static QTemporaryDir directory;
    const auto document = [](const char *name, const QByteArray &body) {
        const QString path = directory.filePath(QLatin1String(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    };
    constexpr int textBytes = 1000 * 1000;
    constexpr int records = 10000;
    QByteArray regions = "<lumomap>\n";
    QByteArray repeated = "<lumomap>\n";
    QByteArray controllers = "<map>\n";
    for (int i = 0; i < records; ++i) {
        const QByteArray key = QByteArray::number(i);
        regions += "<region><number>" + key + "</number><name>region " + key + "</name></region>\n";
        repeated +=
            "<interface><uid>" + QByteArray::number(i % 5) + "</uid><order>" + key + "</order></interface>\n";
        if (i % 20 == 0)
            controllers += "<c><s>" + QByteArray::number(i % 1000, 16) + "</s><n>c</n></c>\n";
        controllers += "<l><x>" + key + "</x><y>7</y><c>" + QByteArray::number(i / 20 * 20 % 1000, 16) +
                       "</c><pn>" + QByteArray::number(i % 16) + "</pn></l>\n";
    }
    const QString documents[] = {
        document("ascii.xml", "<lumomap><mapname>" + QByteArray(textBytes, 'x') + "</mapname></lumomap>"),
        document("utf8.xml", "<lumomap><mapname>" + QByteArray("\xc3\xa9").repeated(textBytes / 2) +
                                 "</mapname></lumomap>"),
        document("records.xml", regions + "</lumomap>\n"),
        document("repeated-keys.xml", repeated + "</lumomap>\n"),
        document("legacy.xml", controllers + "</map>\n"),
    };
    // The JSON form: read through RapidJSON's reader, and through Qt's parser, which a lone surrogate
    // escape sends a document to; written from the map file of the regions.
    QByteArray jsonRegions = "{\"format\": \"lumomap-json/1\", \"regions\": [";
    for (int i = 0; i < records; ++i)
        jsonRegions +=
            QByteArray(i ? "," : "") + "{\"number\": " + QByteArray::number(i) + ", \"name\": \"region\"}";
    const QString jsonDocuments[] = {
        document("regions.json", jsonRegions + "]}"),
        document("regions-lone-surrogate.json", jsonRegions + "], \"mapname\": \"\\udc00\"}"),
    };
    for (const QString &path : jsonDocuments)
        QTest::addRow("%s, readJson", qPrintable(QFileInfo(path).baseName()))
            << path << QStringLiteral("readJson") << true;
    QTest::addRow("records, toJson") << documents[2] << QStringLiteral("toJson") << true;
    for (const QString &path : documents) {
        for (const char *operation : {"loadFromFile", "loadFromText", "save", "saveToFile"}) {
            for (bool subset : {true, false}) {
                if (subset || QByteArray(operation).startsWith("load"))
                    QTest::addRow("%s, %s%s", qPrintable(QFileInfo(path).baseName()), operation,
                                  QByteArray(operation).startsWith("load")
                                      ? (subset ? ", subset" : ", QXmlSimpleReader")
                                      : "")
                        << path << QString::fromLatin1(operation) << subset;
            }
        }
    }
}

namespace {

qint64 addressSpaceBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

// In a child process: prepares `operation` on the document at `path`, allows it `budget` bytes of
// address space beyond what the process holds, runs it and checks what it left. Returns what is
// wrong, or an empty string; a crash or an exception ends the child instead.
QString runWithin(qint64 budget, const QString &path, const QString &operation, bool subset)
{
    setMapReadRoute(subset ? MapReadRoute::SubsetWhereItApplies : MapReadRoute::QXmlSimpleReaderOnly);
    const bool readJson = operation == QLatin1String("readJson");
    const bool load = operation.startsWith(QLatin1String("load")) || readJson;
    LumoMapModel model;
    QString text;
    QFile json(path);
    if (operation == QLatin1String("loadFromText"))
        text = QString::fromUtf8(readFile(path));
    else if (readJson && !json.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open the document");
    else if (!load && !model.loadFromFile(path))
        return QStringLiteral("cannot load the document to save");
    QByteArray jsonText;
    QString saved;
    QTextStream stream(&saved);
    const QString target = path + QStringLiteral(".saved");

    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    const rlimit within{rlim_t(addressSpaceBytes() + budget), limit.rlim_max};
    setrlimit(RLIMIT_AS, &within);
    bool done = false;
    if (operation == QLatin1String("loadFromFile"))
        done = model.loadFromFile(path);
    else if (operation == QLatin1String("loadFromText"))
        done = model.loadFromText(text);
    else if (readJson)
        done = LumoMapJson::read(json, model);
    else if (operation == QLatin1String("toJson"))
        done = !(jsonText = LumoMapJson::toJson(model)).isEmpty();
    else if (operation == QLatin1String("save"))
        done = model.save(stream);
    else
        done = model.saveToFile(target);
    setrlimit(RLIMIT_AS, &limit);

    // Template uids come from the process-wide counter: they differ from load to load.
    const auto records = [](const LumoMapModel &m, bool withTransientFields) {
        static const QRegularExpression uids(QStringLiteral("^fixturetemplate \\d+ \\d+|^  fixture \\d+"),
                                             QRegularExpression::MultilineOption);
        return dump(m, withTransientFields).join(QLatin1Char('\n')).replace(uids, QStringLiteral("#"));
    };
    const QString &error = model.lastError;
    if (readJson) {
        // A failed read says why, in few words; a complete one is the read with enough memory.
        LumoMapModel enough;
        if (done ? !error.isNull() : error.isEmpty() || error.size() > 2000)
            return QStringLiteral("readJson %1 with lastError %2").arg(done).arg(error.left(200));
        if (done && (!LumoMapJson::fromJson(readFile(path), enough) ||
                     records(model, false) != records(enough, false)))
            return QStringLiteral("a read that differs from one with enough memory");
    } else if (operation == QLatin1String("toJson")) {
        if (done && jsonText != LumoMapJson::toJson(model))
            return QStringLiteral("a JSON text that differs from one with enough memory");
    } else if (load) {
        if (done ? !error.isNull()
                 : !error.startsWith(QLatin1String("Unable to parse file: ")) || error.size() > 2000)
            return QStringLiteral("load %1 with lastError %2").arg(done).arg(error.left(200));
        if (!indexProblem(model).isEmpty())
            return indexProblem(model);
        LumoMapModel enough;
        if (done && !(text.isNull() ? enough.loadFromFile(path) : enough.loadFromText(text)))
            return QStringLiteral("no load with enough memory");
        if (done && records(model, true) != records(enough, true))
            return QStringLiteral("a load that differs from one with enough memory");
    } else if (operation == QLatin1String("save")) {
        // The text of a save with enough memory, but for the time of the save.
        static const QRegularExpression time(QStringLiteral("<savedatetime>[^<]*</savedatetime>"));
        QString enough;
        QTextStream enoughStream(&enough);
        if (done != (stream.status() == QTextStream::Ok) ||
            (done && (!model.save(enoughStream) ||
                      saved.replace(time, QString()) != enough.replace(time, QString()))))
            return QStringLiteral("save %1 with a text of %2 characters").arg(done).arg(saved.size());
    } else if (done ? !error.isNull() || readFile(target).isEmpty()
                    : !error.startsWith(QLatin1String("Unable to save file: ")) || QFile::exists(target)) {
        return QStringLiteral("saveToFile %1 with lastError %2").arg(done).arg(error);
    }
    QFile::remove(target);
    return QString();
}

} // namespace

// Each operation in a child process whose address space is limited to a range of budgets, from far
// too little to enough: whatever runs out, the operation returns (false, with a message, or true),
// and the document it leaves is sound.
void TestHostile::outOfMemory()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("the sanitizers reserve address space of their own");
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    QSKIP("the sanitizers reserve address space of their own");
#endif
#endif
    QFETCH(QString, path);
    QFETCH(QString, operation);
    QFETCH(bool, subsetWhereItApplies);
    const qint64 size = QFileInfo(path).size();
    for (double times = 0.1; times < 13; times *= 1.5) {
        const qint64 budget = qint64(times * double(size));
        const pid_t child = fork();
        if (child == 0) {
            // A crash ends the child at once, without the test library's handler and its stack trace.
            for (int fatal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
                std::signal(fatal, SIG_DFL);
            const QString problem = runWithin(budget, path, operation, subsetWhereItApplies);
            if (!problem.isEmpty())
                std::fprintf(stderr, "%s\n", qPrintable(problem));
            std::fflush(stderr);
            _exit(problem.isEmpty() ? 0 : 1);
        }
        int status = 0;
        QVERIFY(child > 0 && waitpid(child, &status, 0) == child);
        QVERIFY2(
            WIFEXITED(status) && WEXITSTATUS(status) == 0,
            qPrintable(QStringLiteral("a budget of %1 bytes: %2")
                           .arg(budget)
                           .arg(WIFSIGNALED(status) ? QStringLiteral("signal %1").arg(WTERMSIG(status))
                                                    : QStringLiteral("exit %1").arg(WEXITSTATUS(status)))));
    }
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
