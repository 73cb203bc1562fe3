// Hostile input through both loaders: entity expansion, deep nesting, truncation at every byte,
// NUL bytes, invalid UTF-8, UTF-16, numbers too long for their fields and legacy lights that name
// what does not exist. Each load must end with the expected result and message, in bounded time,
// without a crash; the sanitizer build adds leaks and memory errors to what fails the test.

#include "HostileLoad.h"

#include <ModelDump.h>

#include <LumoMapParser.h>

#include <QRegularExpression>

#include <QThread>
#include <QtTest>
#include <ctime>

using namespace HostileLoad;

Q_DECLARE_METATYPE(HostileLoad::Loader)

namespace {

// Generous bounds: a sanitizer build on a busy machine is many times slower than a release build,
// while an unbounded expansion or a quadratic scan takes minutes or exhausts memory.
constexpr qint64 maxMillisecondsPerLoad = 20000;
constexpr long maxPeakResidentMiB = 2048;

const QString parsePrefix = QStringLiteral("Unable to parse file: ");

void addForBothLoaders(const QString &name, const std::function<void(QTestData &)> &columns)
{
    for (Loader loader : {Loader::Text, Loader::File}) {
        QTestData &row =
            QTest::newRow(qPrintable(name + QLatin1Char(' ') + QLatin1String(loaderName(loader))));
        row << loader;
        columns(row);
    }
}

QByteArray nestedDocument(const QByteArray &root, const QByteArray &path, const QByteArray &element,
                          int depth)
{
    // `depth` counts every open element, the root and the elements of `path` included.
    const QList<QByteArray> pathElements = path.isEmpty() ? QList<QByteArray>() : path.split('/');
    const int repeated = depth - 1 - static_cast<int>(pathElements.size());
    QByteArray document = '<' + root + '>';
    for (const QByteArray &e : pathElements)
        document += '<' + e + '>';
    document.reserve(document.size() + repeated * (2 * element.size() + 5) + 64);
    const QByteArray open = '<' + element + '>';
    const QByteArray close = "</" + element + '>';
    for (int i = 0; i < repeated; ++i)
        document += open;
    for (int i = 0; i < repeated; ++i)
        document += close;
    for (auto it = pathElements.crbegin(); it != pathElements.crend(); ++it)
        document += "</" + *it + '>';
    document += "</" + root + ">\n";
    return document;
}

// The dump without the values of the process-wide template counter, which the legacy import gives
// its fixture templates and which differ from one load to the next.
QStringList withoutCounterValues(QStringList dump)
{
    static const QRegularExpression templateKey(QStringLiteral("^fixturetemplate key=\\d+ uid=\\d+"));
    static const QRegularExpression fixtureTemplateId(QStringLiteral("^(\\s+fixture templateid=)\\d+"));
    for (QString &line : dump) {
        line.replace(templateKey, QStringLiteral("fixturetemplate key=# uid=#"));
        line.replace(fixtureTemplateId, QStringLiteral("\\1#"));
    }
    return dump;
}

int endOfRootElement(const QByteArray &document, const QByteArray &root)
{
    const QByteArray endTag = "</" + root + '>';
    return static_cast<int>(document.lastIndexOf(endTag) + endTag.size());
}

void checkBounded(const Outcome &outcome)
{
    QVERIFY2(outcome.milliseconds < maxMillisecondsPerLoad,
             qPrintable(QStringLiteral("the load took %1 ms").arg(outcome.milliseconds)));
    QVERIFY2(peakResidentMiB() < maxPeakResidentMiB,
             qPrintable(QStringLiteral("peak resident size %1 MiB").arg(peakResidentMiB())));
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void hostileFiles_data();
    void hostileFiles();
    void entityUsedFiftyThousandTimes_data();
    void entityUsedFiftyThousandTimes();
    void deepNesting_data();
    void deepNesting();
    void nestingAtTheLimit_data();
    void nestingAtTheLimit();
    void deepNestingOnASmallStack();
    void truncatedAtEveryOffset_data();
    void truncatedAtEveryOffset();
    void numbersTooLong_data();
    void numbersTooLong();
    void manyRepeatedKeys_data();
    void manyRepeatedKeys();

private:
    QTemporaryDir m_directory;
};

void TestHostile::hostileFiles_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("expectedLoaded");
    // A failed load: lastError starts with this and contains `expectedMessage`. A successful
    // load into a fresh model leaves lastError null and its dump contains `expectedMessage`.
    QTest::addColumn<QString>("expectedErrorStart");
    QTest::addColumn<QString>("expectedMessage");

    const auto row = [](const char *file, bool loaded, const QString &errorStart, const QString &message) {
        addForBothLoaders(QLatin1String(file), [=](QTestData &data) {
            data << QStringLiteral("hostile-%1.xml").arg(QLatin1String(file)) << loaded << errorStart
                 << message;
        });
    };
    const QString nothing;

    // Entity declarations are refused before any element is read, so no callback has left a trace.
    row("billion-laughs", false, parsePrefix + QStringLiteral("Refused: entity declaration lol "),
        QStringLiteral("in the document type."));
    row("entity-many-uses", false, parsePrefix + QStringLiteral("Refused: entity declaration e "),
        QStringLiteral("in the document type."));
    row("external-entity", false,
        parsePrefix + QStringLiteral("Refused: external entity declaration secret "),
        QStringLiteral("in the document type."));
    row("parameter-entity", false, parsePrefix + QStringLiteral("Refused: entity declaration "),
        QStringLiteral("in the document type."));
    // A document type declaration without entities is harmless and loads.
    row("doctype-without-entities", true, nothing, QStringLiteral("mapname=\"Declared\""));

    // NUL is not an XML character. The reader lets it pass in text, where it stays an ordinary
    // character of the string; in a name it stops the parse at the enclosing start tag.
    row("nul-byte", true, nothing, QStringLiteral("mapname=\"before") + QChar(0) + QStringLiteral("after\""));
    row("nul-in-name", false, parsePrefix + QStringLiteral("startElement: lumomap"), nothing);

    // Invalid UTF-8 decodes to replacement characters: kept in text, refused in a name.
    row("invalid-utf8", true, nothing, QStringLiteral("mapname=\"a\uFFFD("));
    row("invalid-utf8-in-name", false, parsePrefix + QStringLiteral("startElement: lumomap"), nothing);

    // A byte-order mark selects UTF-16 in either byte order.
    row("utf16le-bom", true, nothing, QStringLiteral("mapname=\"B\u00fchne \u2600 \U0001F3AD\""));
    row("utf16be-bom", true, nothing, QStringLiteral("region key=7 number=7 name=\"\u00c9tage\""));

    // Legacy lights must name a controller read before them and one of its ports 0 to 15.
    const QString lightEnd = parsePrefix + QStringLiteral("endElement: light");
    row("legacy-unknown-controller", false, lightEnd, QStringLiteral("controller 7"));
    row("legacy-later-controller", false, lightEnd, QStringLiteral("controller 2b"));
    row("legacy-port-16", false, lightEnd, QStringLiteral("port 16 "));
    row("legacy-port-minus-1", false, lightEnd, QStringLiteral("port -1 "));
    // 2147483648 does not fit the signed port number, so its text already fails.
    row("legacy-port-2147483648", false, parsePrefix + QStringLiteral("characters: 2147483648"), nothing);
}

void TestHostile::hostileFiles()
{
    QFETCH(Loader, loader);
    QFETCH(QString, file);
    QFETCH(bool, expectedLoaded);
    QFETCH(QString, expectedErrorStart);
    QFETCH(QString, expectedMessage);

    const Outcome outcome = load(loader, readDataFile(file), m_directory);
    const QString &error = outcome.model->lastError;
    QCOMPARE(outcome.loaded, expectedLoaded);
    if (expectedLoaded) {
        QVERIFY2(error.isNull(), qPrintable(error));
        const QString dump = ModelDump::dump(*outcome.model, true).join(QLatin1Char('\n'));
        QVERIFY2(dump.contains(expectedMessage), qPrintable(dump));
    } else {
        QVERIFY2(error.startsWith(expectedErrorStart), qPrintable(error));
        QVERIFY2(error.contains(expectedMessage), qPrintable(error));
        ModelDump::dump(*outcome.model, true); // every record left behind is intact
    }
    checkBounded(outcome);
}

void TestHostile::entityUsedFiftyThousandTimes_data()
{
    QTest::addColumn<Loader>("loader");
    addForBothLoaders(QStringLiteral("50000 x 50000"), [](QTestData &) {});
}

// A 200 KB document whose text would expand to 2.5 billion characters.
void TestHostile::entityUsedFiftyThousandTimes()
{
    QFETCH(Loader, loader);
    QByteArray document =
        "<!DOCTYPE lumomap [<!ENTITY e \"" + QByteArray(50000, 'x') + "\">]>\n<lumomap><mapname>";
    for (int i = 0; i < 50000; ++i)
        document += "&e;";
    document += "</mapname></lumomap>\n";

    const Outcome outcome = load(loader, document, m_directory);
    QVERIFY(!outcome.loaded);
    QCOMPARE(outcome.model->lastError,
             parsePrefix + QStringLiteral("Refused: entity declaration e in the document type."));
    QCOMPARE(outcome.model->mapname, QString(QLatin1String("")));
    checkBounded(outcome);
}

void TestHostile::deepNesting_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<int>("depth");

    for (int depth : {1000, 100000, 1000000}) {
        const auto row = [depth](const char *name, const QByteArray &root, const QByteArray &path,
                                 const QByteArray &element) {
            addForBothLoaders(QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(depth),
                              [=](QTestData &data) { data << root << path << element << depth; });
        };
        row("unlisted below lumomap", "lumomap", "", "a");
        row("unlisted below a fixture template", "lumomap", "fixturetemplate/nodelist/node", "a");
        row("unlisted below map", "map", "", "a");
        row("unlisted below a legacy light", "map", "light", "lamp");
    }
}

// Unlisted elements may nest without limit in the format; the reader recurses once per level, so
// the loader stops at its depth limit with a message instead of overflowing the stack.
void TestHostile::deepNesting()
{
    QFETCH(Loader, loader);
    QFETCH(QByteArray, root);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, element);
    QFETCH(int, depth);

    const Outcome outcome = load(loader, nestedDocument(root, path, element, depth), m_directory);
    QVERIFY(!outcome.loaded);
    QCOMPARE(outcome.model->lastError, parsePrefix + QStringLiteral("startElement: ") +
                                           QString::fromLatin1(element) +
                                           QStringLiteral("Refused: elements nested deeper than %1 levels.")
                                               .arg(LumoMapParser::MaxElementDepth));
    ModelDump::dump(*outcome.model, true);
    checkBounded(outcome);
}

void TestHostile::nestingAtTheLimit_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("expectedLoaded");
    for (int extra : {-1, 0, 1}) {
        const int depth = LumoMapParser::MaxElementDepth + extra;
        addForBothLoaders(QStringLiteral("depth %1").arg(depth),
                          [=](QTestData &data) { data << depth << (extra <= 0); });
    }
}

void TestHostile::nestingAtTheLimit()
{
    QFETCH(Loader, loader);
    QFETCH(int, depth);
    QFETCH(bool, expectedLoaded);
    const Outcome outcome = load(loader, nestedDocument("lumomap", "region", "a", depth), m_directory);
    QCOMPARE(outcome.loaded, expectedLoaded);
    if (!expectedLoaded)
        QVERIFY(outcome.model->lastError.startsWith(parsePrefix + QStringLiteral("startElement: a")));
}

// Hosts load on worker threads too. 512 KiB is the smallest default stack of a secondary thread
// among the common platforms; the depth limit must keep the reader well inside it.
void TestHostile::deepNestingOnASmallStack()
{
    const QByteArray document = nestedDocument("lumomap", "", "a", 100000);
    bool loaded = true;
    QString error;
    QThread *thread = QThread::create([&] {
        LumoMapModel model;
        loaded = model.loadFromText(QString::fromLatin1(document));
        error = model.lastError;
    });
    thread->setStackSize(512 * 1024);
    thread->start();
    QVERIFY(thread->wait(60000));
    delete thread;
    QVERIFY(!loaded);
    QVERIFY2(error.startsWith(parsePrefix + QStringLiteral("startElement: aRefused: elements nested")),
             qPrintable(error));
}

void TestHostile::truncatedAtEveryOffset_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("root");
    addForBothLoaders(QStringLiteral("current map"), [](QTestData &data) {
        data << QStringLiteral("hostile-truncation-current.xml") << QByteArray("lumomap");
    });
    addForBothLoaders(QStringLiteral("legacy map"), [](QTestData &data) {
        data << QStringLiteral("hostile-truncation-legacy.xml") << QByteArray("map");
    });
}

// Every prefix of a valid map that ends before the root's end tag fails with the parse message;
// the records completed before the cut stay intact and are freed with the model. Once the end tag
// is complete the map loads whole.
void TestHostile::truncatedAtEveryOffset()
{
    QFETCH(Loader, loader);
    QFETCH(QString, file);
    QFETCH(QByteArray, root);

    const QByteArray document = readDataFile(file);
    const int rootEnd = endOfRootElement(document, root);
    QVERIFY(rootEnd > 0);
    const Outcome whole = load(loader, document, m_directory);
    QVERIFY2(whole.loaded, qPrintable(whole.model->lastError));
    const QStringList wholeDump = withoutCounterValues(ModelDump::dump(*whole.model, true));

    for (int offset = 0; offset <= document.size(); ++offset) {
        const Outcome outcome = load(loader, document.left(offset), m_directory);
        const QString where = QStringLiteral("cut at %1: %2").arg(offset).arg(outcome.model->lastError);
        if (offset < rootEnd) {
            QVERIFY2(!outcome.loaded, qPrintable(where));
            QVERIFY2(outcome.model->lastError.startsWith(parsePrefix), qPrintable(where));
            ModelDump::dump(*outcome.model, true);
        } else {
            QVERIFY2(outcome.loaded, qPrintable(where));
            QCOMPARE(withoutCounterValues(ModelDump::dump(*outcome.model, true)), wholeDump);
        }
    }
}

void TestHostile::numbersTooLong_data()
{
    QTest::addColumn<Loader>("loader");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("expectedLoaded");
    QTest::addColumn<QString>("expectedDumpLine");

    // One element of every number kind; %1 is the number's text.
    struct Kind
    {
        const char *name;
        const char *document;
        bool isReal;
    };
    const Kind kinds[] = {
        {"unsigned mapfileversion", "<lumomap><mapfileversion>%1</mapfileversion></lumomap>", false},
        {"unsigned region number", "<lumomap><region><number>%1</number></region></lumomap>", false},
        {"unsigned layerid",
         "<lumomap><interfacetemplate><output><fixture><layerid>%1</layerid></fixture></output></"
         "interfacetemplate>"
         "</lumomap>",
         false},
        {"unsigned interface region", "<lumomap><interface><region>%1</region></interface></lumomap>", false},
        {"unsigned uni", "<lumomap><interface><uni>%1</uni></interface></lumomap>", false},
        {"hex fixture template uid", "<lumomap><fixturetemplate><uid>%1</uid></fixturetemplate></lumomap>",
         false},
        {"hex sn", "<lumomap><interface><sn>%1</sn></interface></lumomap>", false},
        {"signed addr",
         "<lumomap><fixturetemplate><nodelist><node><addr>%1</addr></node></nodelist></fixturetemplate></"
         "lumomap>",
         false},
        {"signed order", "<lumomap><interface><order>%1</order></interface></lumomap>", false},
        {"flag scalexfit", "<lumomap><geometry><scalexfit>%1</scalexfit></geometry></lumomap>", false},
        {"flag locked", "<lumomap><interfacetemplate><locked>%1</locked></interfacetemplate></lumomap>",
         false},
        {"byte portnum",
         "<lumomap><interfacetemplate><output><portnum>%1</portnum></output></interfacetemplate></lumomap>",
         false},
        {"hex byte flags", "<lumomap><interface><flags>%1</flags></interface></lumomap>", false},
        {"short ver", "<lumomap><interface><ver>%1</ver></interface></lumomap>", false},
        {"real vminx", "<lumomap><geometry><vminx>%1</vminx></geometry></lumomap>", true},
        {"real fixture theta",
         "<lumomap><interfacetemplate><output><fixture><theta>%1</theta></fixture></output></"
         "interfacetemplate>"
         "</lumomap>",
         true},
        {"legacy hex self", "<map><controller><self>%1</self></controller></map>", false},
        {"legacy hex light controller", "<map><c><s>1</s></c><l><c>%1</c><pn>0</pn></l></map>", false},
        {"legacy old coordinate x", "<map><c><s>1</s></c><l><c>1</c><pn>0</pn><x>%1</x></l></map>", false},
        {"legacy signed channel", "<map><c><s>1</s></c><l><c>1</c><pn>0</pn><ch>%1</ch></l></map>", false},
        {"legacy signed pn", "<map><c><s>1</s></c><l><c>1</c><pn>%1</pn></l></map>", false},
    };
    const char *numbers[] = {"99999999999", "-99999999999", "999999999999999999999999999999"};
    for (const Kind &kind : kinds) {
        for (const char *number : numbers) {
            const QString text = QLatin1String(number);
            QString dumpLine;
            if (kind.isReal)
                dumpLine = QString::number(text.toDouble(), 'g', 17);
            addForBothLoaders(
                QStringLiteral("%1 %2 digits%3")
                    .arg(QLatin1String(kind.name))
                    .arg(text.size() - (text.startsWith(QLatin1Char('-')) ? 1 : 0))
                    .arg(text.startsWith(QLatin1Char('-')) ? QStringLiteral(" negative") : QString()),
                [&](QTestData &data) {
                    data << QString::fromLatin1(kind.document).arg(text) << text << kind.isReal << dumpLine;
                });
        }
        // Eleven digits with leading zeros still fit every kind.
        addForBothLoaders(QStringLiteral("%1 leading zeros").arg(QLatin1String(kind.name)),
                          [&](QTestData &data) {
                              data << QString::fromLatin1(kind.document).arg(QStringLiteral("00000000001"))
                                   << QStringLiteral("00000000001") << true << QString();
                          });
    }
}

// No integer field takes a number that does not fit its 32 bits, whatever its width: the load stops
// and names the text. Real values take any magnitude.
void TestHostile::numbersTooLong()
{
    QFETCH(Loader, loader);
    QFETCH(QString, document);
    QFETCH(QString, number);
    QFETCH(bool, expectedLoaded);
    QFETCH(QString, expectedDumpLine);

    const Outcome outcome = load(loader, document.toUtf8(), m_directory);
    QCOMPARE(outcome.loaded, expectedLoaded);
    if (expectedLoaded) {
        QVERIFY2(outcome.model->lastError.isNull(), qPrintable(outcome.model->lastError));
        if (!expectedDumpLine.isEmpty()) {
            const QString dump = ModelDump::dump(*outcome.model).join(QLatin1Char('\n'));
            QVERIFY2(dump.contains(expectedDumpLine), qPrintable(dump));
        }
    } else {
        QCOMPARE(outcome.model->lastError, parsePrefix + QStringLiteral("characters: ") + number);
    }
}

void TestHostile::manyRepeatedKeys_data()
{
    QTest::addColumn<Loader>("loader");
    addForBothLoaders(QStringLiteral("100000 regions twice"), [](QTestData &) {});
}

// Each record that repeats a key displaces the earlier one. Deciding whether the displaced record
// is still held under another key once took a pass over the whole collection per displacement, so
// an 8 MB map of 100000 regions written twice kept a core busy for many minutes.
void TestHostile::manyRepeatedKeys()
{
    QFETCH(Loader, loader);
    constexpr int regions = 100000;
    QByteArray document = "<lumomap>\n";
    document.reserve(regions * 2 * 40);
    for (int pass = 0; pass < 2; ++pass) {
        for (int number = 0; number < regions; ++number)
            document += "<region><number>" + QByteArray::number(number) + "</number><name>" +
                        (pass ? "second" : "first") + "</name></region>\n";
    }
    document += "</lumomap>\n";

    const std::clock_t cpuBefore = std::clock();
    const Outcome outcome = load(loader, document, m_directory);
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QVERIFY2(outcome.loaded, qPrintable(outcome.model->lastError));
    QCOMPARE(outcome.model->regions.size(), regions);
    QCOMPARE(outcome.model->regions.value(regions - 1)->name, QStringLiteral("second"));
    // Processor time, not wall time, so that a busy machine does not fail the test; a linear load
    // takes well under a second of it in a release build.
    QVERIFY2(cpuSeconds < 60,
             qPrintable(QStringLiteral("the load took %1 s of processor time").arg(cpuSeconds)));
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
