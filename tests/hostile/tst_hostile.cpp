// Hostile input through both loaders: entity expansion, deep nesting, truncation at every byte, NUL
// bytes, invalid UTF-8, UTF-16, numbers too long for their fields, many repeated keys and legacy
// lights that name what does not exist. Every load ends with the expected result and message, in
// bounded time and memory, with sound indexes; the sanitizer build adds leaks and memory errors.

#include <TestSupport.h>

#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <ctime>

#include <sys/resource.h>

using namespace TestSupport;

namespace {

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

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
