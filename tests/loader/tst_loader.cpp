// The map loader: the messages of failed loads, documents that load alike, the
// conversion of element text by kind, versions, and the parser's trace when it runs without a model.

#include <TestSupport.h>

#include "ElementTextConversion.h"

#include <LumoMapFile.h>

#include <QtTest>

#include <cstring>
#include <functional>

using namespace TestSupport;

namespace {

const QString prefix = QStringLiteral("Unable to parse file: ");

QString goldenMap()
{
    return QString::fromUtf8(dataFile(QStringLiteral("golden-map.xml")));
}

// Converts `text` by `kind` into a field that starts at 77 (or true, for flags) and returns the field
// afterwards, so that a failed conversion shows the untouched value.
QString convert(const QString &kind, const QString &text, bool &ok)
{
    using namespace ElementText;
    const auto number = [](double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); };
    quint32 u = 77;
    qint32 s = 77;
    double d = 77;
    quint8 b = 77;
    quint16 h = 77;
    bool f = true;
    QColor c(Qt::blue);
    if (kind == QLatin1String("unsigned"))
        return (ok = toUnsigned(text, u)), QString::number(u);
    if (kind == QLatin1String("hex"))
        return (ok = toHex(text, u)), QString::number(u);
    if (kind == QLatin1String("signed"))
        return (ok = toSigned(text, s)), QString::number(s);
    if (kind == QLatin1String("real"))
        return (ok = toReal(text, d)), number(d);
    if (kind == QLatin1String("flag"))
        return (ok = toFlag(text, f)), QString::number(f);
    if (kind == QLatin1String("byte"))
        return (ok = toByte(text, b)), QString::number(b);
    if (kind == QLatin1String("hex byte"))
        return (ok = toHexByte(text, b)), QString::number(b);
    if (kind == QLatin1String("short"))
        return (ok = toShort(text, h)), QString::number(h);
    if (kind.startsWith(QLatin1String("old coordinate")))
        return (ok = toOldCoordinate(text, kind.endsWith(QLatin1String("translated")), d)), number(d);
    if (kind == QLatin1String("colour"))
        return (ok = toColour(text, c)), c.isValid() ? c.name() : QStringLiteral("invalid");
    QString t = QStringLiteral("old");
    return (ok = toText(text, t)), t;
}

QString nested(const QString &root, int levels)
{
    return QLatin1Char('<') + root + QLatin1Char('>') + QStringLiteral("<a>").repeated(levels) +
           QStringLiteral("</a>").repeated(levels) + QStringLiteral("</") + root + QLatin1Char('>');
}

} // namespace

class TestLoader : public QObject
{
    Q_OBJECT

private slots:
    void messages_data();
    void messages();
    void unreadablePaths();
    void anyMapFile_data();
    void anyMapFile();
    void equivalentDocuments_data();
    void equivalentDocuments();
    void conversions_data();
    void conversions();
    void conversionsAgreeWithQString();
    void displacedRecordHeldUnderAnotherKeyStays();
    void parserTrace_data();
    void parserTrace();
    void readRoutes_data();
    void readRoutes();
    void blockEdges_data();
    void blockEdges();
};

void TestLoader::messages_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("place"); // line:column of lastErrorLine() and lastErrorColumn()

    // Malformed XML before the first element: the reader's words and place.
    QTest::newRow("empty input") << QString()
                                 << prefix + QStringLiteral("unexpected end of file (line 1, column 1)")
                                 << "1:1";
    QTest::newRow("not XML") << QStringLiteral("hello")
                             << prefix +
                                    QStringLiteral("error occurred while parsing element (line 1, column 1)")
                             << "1:1";
    QTest::newRow("XML declaration without a version")
        << QStringLiteral("<?xml encoding=\"UTF-8\"?><lumomap/>")
        << prefix + QStringLiteral("version expected while reading the XML declaration (line 1, column 23)")
        << "1:23";
    QTest::newRow("second XML declaration")
        << QStringLiteral("<?xml version=\"1.0\"?>\n<?xml version=\"1.0\"?><lumomap/>")
        << prefix + QStringLiteral("invalid name for processing instruction (line 2, column 6)") << "2:6";
    QTest::newRow("document type without a name")
        << QStringLiteral("<!DOCTYPE><lumomap/>")
        << prefix +
               QStringLiteral("error occurred while parsing document type definition (line 1, column 10)")
        << "1:10";
    // After the first element, malformed XML and refusals alike: the trace, the place in the functions.
    QTest::newRow("unclosed root") << QStringLiteral("<lumomap>")
                                   << prefix + QStringLiteral("startElement: lumomap") << "1:10";
    QTest::newRow("cut after a value's text, which is kept")
        << QStringLiteral("<lumomap><mapname> abc </mapname") << prefix + QStringLiteral("characters: abc")
        << "1:33";
    QTest::newRow("mismatched end tag after text") << QStringLiteral("<lumomap><appname> a b </lumomap>")
                                                   << prefix + QStringLiteral("characters: a b") << "1:33";
    QTest::newRow("unknown root") << QStringLiteral("\r\n\r<maps/>")
                                  << prefix +
                                         QStringLiteral("startElement: mapsUnable to parse map start tag.0")
                                  << "3:6";
    QTest::newRow("element inside a value")
        << QStringLiteral("<lumomap><mapname><b\n\t/></mapname></lumomap>")
        << prefix + QStringLiteral("startElement: b") << "2:2";
    QTest::newRow("element after text inside a node value")
        << QStringLiteral("<lumomap><fixturetemplate><nodelist><node><x>1<y/></x></node></nodelist></"
                          "fixturetemplate></lumomap>")
        << prefix + QStringLiteral("startElement: y") << "1:49";
    QTest::newRow("text that is no number")
        << QString::fromUtf8("<lumomap>\r\n<x>\xc3\xa9\xf0\x9f\x8e\xad</x><region><number>12a</number\r\n></"
                             "region></lumomap>")
        << prefix + QStringLiteral("characters: 12a") << "2:38";
    QTest::newRow("pieces of one text fail as a whole")
        << QStringLiteral("<lumomap><region><number> 1<!-- -->x </number></region></lumomap>")
        << prefix + QStringLiteral("characters: 1x") << "1:46";
    QTest::newRow("end of input in an unlisted element")
        << QStringLiteral("<lumomap><foo>")
        << prefix + QStringLiteral("startElement: fooUnable to parse data.") << "1:15";
    QTest::newRow("legacy light naming a controller before any")
        << QStringLiteral("<map><light><controller>1a</controller></light></map>")
        << prefix + QStringLiteral("characters: 1a") << "1:39";
    QTest::newRow("legacy light refused at its end tag")
        << QStringLiteral("<map><c><s>1a</s></c><light><c>7</c></light \n></map>")
        << prefix + QStringLiteral(
                        "endElement: lightThe light names controller 7, which no earlier controller defines.")
        << "1:44";
    QTest::newRow("version too large")
        << QStringLiteral("<lumomap><mapfileversion>4294967296</mapfileversion></lumomap>")
        << prefix + QStringLiteral("characters: 4294967296") << "1:52";
    QTest::newRow("uni in hexadecimal")
        << QStringLiteral("<lumomap><interface><uni>ff</uni></interface></lumomap>")
        << prefix + QStringLiteral("characters: ff") << "1:33";
    QTest::newRow("257 levels") << nested(QStringLiteral("lumomap"), 256)
                                << prefix +
                                       QStringLiteral(
                                           "startElement: aRefused: elements nested deeper than 256 levels.")
                                << "1:777";
    const QString digits = QStringLiteral("1234567890").repeated(300);
    QTest::newRow("a text of 3000 characters, quoted by its first 1000")
        << QStringLiteral("<lumomap><region><number>%1x</number></region></lumomap>").arg(digits)
        << prefix + QStringLiteral("characters: ") + digits.left(1000) +
               QStringLiteral("... (the first 1000 of 3001 characters)")
        << "1:3035";
    const QString pair = QString::fromUcs4(U"\U0001F3AD");
    QTest::newRow("a surrogate pair at the 1000th character is left out whole")
        << QStringLiteral("<lumomap><region><number> %1%2%1 </number></region></lumomap>")
               .arg(digits.left(999), pair)
        << prefix + QStringLiteral("characters: ") + digits.left(999) +
               QStringLiteral("... (the first 999 of 2000 characters)")
        << "1:2036";
    QTest::newRow("entity declaration")
        << QStringLiteral(
               "<!DOCTYPE lumomap [<!ENTITY name \"Hall\">]><lumomap><mapname>&name;</mapname></lumomap>")
        << prefix + QStringLiteral("Refused: entity declaration name in the document type.") << "1:40";
}

// The same message and place through loadFromText and loadFromFile, in a copy too; a successful load
// into the same document clears the place.
void TestLoader::messages()
{
    QFETCH(QString, document);
    QFETCH(QString, error);
    QFETCH(QString, place);

    const auto placeOf = [](const LumoMapModel &m) {
        return QStringLiteral("%1:%2").arg(m.lastErrorLine()).arg(m.lastErrorColumn());
    };
    LumoMapModel fromText;
    QVERIFY(!load(fromText, document));
    QCOMPARE(fromText.lastError, error);
    QCOMPARE(placeOf(LumoMapModel(fromText)), place);
    QCOMPARE(fromText.mapname,
             document.contains(QLatin1String("abc")) ? QStringLiteral("abc") : QString(QLatin1String("")));
    LumoMapModel fromFile;
    QVERIFY(!loadFile(fromFile, writeTemporaryFile(document.toUtf8())));
    QCOMPARE(fromFile.lastError, error);
    QCOMPARE(placeOf(fromFile), place);
    QCOMPARE(indexProblem(fromFile), QString());
    QVERIFY(load(fromFile, QStringLiteral("<lumomap/>")));
    QCOMPARE(placeOf(fromFile), QStringLiteral("0:0"));
}

void TestLoader::unreadablePaths()
{
    LumoMapModel model;
    model.mapfileversion = 7;
    QVERIFY(!loadFile(model, QStringLiteral("/nonexistent/map.xml")));
    QCOMPARE(model.lastError, QStringLiteral("File does not exist."));
    QCOMPARE(model.mapfileversion, 7u);
    QVERIFY(!loadFile(model, QDir::tempPath()));
    QVERIFY2(model.lastError.startsWith(prefix) && model.lastError.size() > prefix.size(),
             qPrintable(model.lastError));
    QCOMPARE(model.lastErrorLine(), 0);
}

void TestLoader::anyMapFile_data()
{
    QTest::addColumn<QString>("name"); // of the file in a fresh directory; "" for the directory itself
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("error"); // lastError, null when the load succeeds
    QTest::addColumn<QString>("place");

    const auto row = [](const char *name, const char *file, const QByteArray &bytes,
                        LumoMapFile::Format format, const QString &error = QString(),
                        const char *place = "0:0") {
        QTest::newRow(name) << QString::fromUtf8(file) << bytes << int(format) << error
                            << QString::fromUtf8(place);
    };
    row("current map", "a.xml", "<lumomap/>", LumoMapFile::CurrentMap);
    row("legacy map", "a.txt", "<map/>", LumoMapFile::LegacyMap);
    row("JSON by its first character", "a.xml", " \n{\"format\": \"lumomap-json/1\"}", LumoMapFile::JsonMap);
    row("JSON by its name", "a.JSON", "[]", LumoMapFile::JsonMap,
        QStringLiteral("top level: expected an object"));
    row("JSON that is no JSON", "a.json", "{\n]", LumoMapFile::JsonMap,
        QStringLiteral("line 2, column 2: unterminated object"), "2:2");
    row("directory", "", "", LumoMapFile::Unknown, QStringLiteral("Is a directory."));
    row("empty", "a.xml", "", LumoMapFile::Unknown, QStringLiteral("the file is empty"));
    row("white space", "a.xml", " \n", LumoMapFile::Unknown,
        QStringLiteral("not XML: unexpected end of file at line 2, column 1"), "2:1");
    row("encoding the file is not in", "a.xml", "<?xml version='1.0' encoding='utf-16'?><lumomap/>",
        LumoMapFile::Unknown,
        QStringLiteral(
            "not XML: the XML declaration names the encoding utf-16, which the file is not written in "
            "at line 1, column 31"),
        "1:31");
    row("another root", "a.xml", "<html>\n<body/></html>", LumoMapFile::Unknown,
        QStringLiteral("not a map file: its root element is <html>; expected <lumomap> or <map>"), "1:6");
    row("entity declaration", "a.xml", "<!DOCTYPE map [<!ENTITY e 'x'>]><map/>", LumoMapFile::Unknown,
        prefix + QStringLiteral("Refused: entity declaration e in the document type. (line 1, column 30)"),
        "1:30");
    row("malformed map", "a.xml", "<lumomap><mapname>a</mapname>\n", LumoMapFile::CurrentMap,
        prefix + QStringLiteral("endElement: mapname (line 2, column 1: unexpected end of file)"), "2:1");
    row("refused legacy map", "a.xml", "<map><light><c>1a</c></light></map>", LumoMapFile::LegacyMap,
        prefix + QStringLiteral("characters: 1a (line 1, column 21)"), "1:21");
}

// LumoMapFile tells the kind of a file and names what is wrong with it, with the place where one is known.
void TestLoader::anyMapFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QFETCH(QString, error);
    QFETCH(QString, place);

    QTemporaryDir directory;
    const QString path = directory.filePath(name);
    QFile file(path);
    QVERIFY(name.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()));
    file.close();
    LumoMapModel model;
    LumoMapFile::Format found = LumoMapFile::JsonMap;
    QCOMPARE(LumoMapFile::load(path, model, &found), error.isNull());
    QCOMPARE(int(found), format);
    QCOMPARE(model.lastError, error);
    QCOMPARE(QStringLiteral("%1:%2").arg(model.lastErrorLine()).arg(model.lastErrorColumn()), place);
}

void TestLoader::equivalentDocuments_data()
{
    QTest::addColumn<QStringList>("documents"); // loaded one after the other
    QTest::addColumn<QString>("equivalent");

    const auto row = [](const char *name, const QString &document, const char *equivalent) {
        QTest::newRow(name) << QStringList{document} << QString::fromUtf8(equivalent);
    };
    row("unlisted subtree below lumomap",
        QStringLiteral(
            "<lumomap><foo><mapname>x</mapname><region><number>1</number></region></foo></lumomap>"),
        "<lumomap/>");
    row("unlisted subtree below a record",
        QStringLiteral("<lumomap><region><number>1</number><extra><name>x</name><extra><a/></extra></extra></"
                       "region></lumomap>"),
        "<lumomap><region><number>1</number></region></lumomap>");
    row("node without nodelist",
        QStringLiteral(
            "<lumomap><fixturetemplate><uid>3</uid><node><x>1</x></node></fixturetemplate></lumomap>"),
        "<lumomap><fixturetemplate><uid>3</uid><nodelist/></fixturetemplate></lumomap>");
    row("a node has three channels unless it says",
        QStringLiteral("<lumomap><fixturetemplate><uid>3</uid><nodelist><node><x>1</x></node></nodelist></"
                       "fixturetemplate></lumomap>"),
        "<lumomap><fixturetemplate><uid>3</uid><nodelist><node><x>1</x><channelCount>3</channelCount></node>"
        "</nodelist></fixturetemplate></lumomap>");
    row("map inside lumomap",
        QStringLiteral("<lumomap><map><controller><self>1</self></controller></map></lumomap>"),
        "<lumomap/>");
    row("current records inside map",
        QStringLiteral("<map><region><number>1</number></region><interface><uid>2</uid></interface></map>"),
        "<map/>");
    row("names are case-sensitive",
        QStringLiteral("<lumomap><MapName>x</MapName><Region><number>1</number></Region><region><Number>4</"
                       "Number></region></lumomap>"),
        "<lumomap><region/></lumomap>");
    row("values repeat, the last wins",
        QStringLiteral("<lumomap><mapname>a</mapname><mapname>b</mapname><region><name>n</name><number>2</"
                       "number><number>3</number></region></lumomap>"),
        "<lumomap><mapname>b</mapname><region><number>3</number><name>n</name></region></lumomap>");
    row("records repeat, the last wins",
        QStringLiteral("<lumomap><region><number>5</number><name>a</name></region><region><number>5</"
                       "number><name>b</name></region>"
                       "<interface><uid>1</uid><order>4</order></interface><interface><uid>1</uid><order>9</"
                       "order></interface>"
                       "<interfacetemplate><uid>2</uid><name>x</name><output/></interfacetemplate>"
                       "<interfacetemplate><uid>2</uid><name>y</name></interfacetemplate></lumomap>"),
        "<lumomap><region><number>5</number><name>b</name></region><interface><uid>1</uid><order>9</order></"
        "interface>"
        "<interfacetemplate><uid>2</uid><name>y</name></interfacetemplate></lumomap>");
    row("empty and blank values keep defaults",
        QStringLiteral("<lumomap><mapname/><region><number>  </number><name></name></region></lumomap>"),
        "<lumomap><region/></lumomap>");
    row("values are trimmed as QString::trimmed trims",
        QStringLiteral("<lumomap><mapname>&#11;abc&#12;\u00a0</mapname><region><number>1</"
                       "number><name>&#12;</name></region></lumomap>"),
        "<lumomap><mapname>abc</mapname><region><number>1</number></region></lumomap>");
    row("values are trimmed",
        QStringLiteral("<lumomap><region><number> 12 </number><name>\t a  b \n</name></region></lumomap>"),
        "<lumomap><region><number>12</number><name>a  b</name></region></lumomap>");
    row("attributes, comments, instructions and a declaration are ignored",
        QStringLiteral("<?xml version=\"1.0\"?><!-- c --><lumomap a=\"1\"><?pi x?><mapname "
                       "b=\"2\">m</mapname></lumomap>"),
        "<lumomap><mapname>m</mapname></lumomap>");
    row("a document type without entities",
        QStringLiteral("<!DOCTYPE lumomap SYSTEM \"/nonexistent.dtd\" [<!ELEMENT lumomap ANY>]><lumomap/>"),
        "<lumomap/>");
    row("text directly in containers is ignored, records of text alone are kept",
        QStringLiteral("<lumomap>t<region>u<number>3</number>v</region>w<geometry>g</geometry><region></region>"
                       "<interfacetemplate><uid>2</uid><output>o</output></interfacetemplate></lumomap>"),
        "<lumomap><region><number>3</number></region><region/><interfacetemplate><uid>2</uid><output/>"
        "</interfacetemplate></lumomap>");
    row("references",
        QStringLiteral("<lumomap><mapname>a &amp; &lt;b&gt; &#233;&#x4e2d;&quot;&apos;</mapname></lumomap>"),
        "<lumomap><mapname>a &amp; &lt;b> \u00e9\u4e2d\"'</mapname></lumomap>");
    row("pieces around comments and CDATA are joined, then trimmed",
        QStringLiteral("<lumomap><mapname> Tom <!-- c --> &amp; <![CDATA[<J> "
                       "]]></mapname><region><number>1<!-- -->2<![CDATA[3]]></number></region></lumomap>"),
        "<lumomap><mapname>Tom  &amp; &lt;J></mapname><region><number>123</number></region></lumomap>");
    row("outputs are numbered from 1 in each interface template",
        QStringLiteral(
            "<lumomap><interfacetemplate><uid>1</uid><output/><output><portnum>9</portnum></output><output/>"
            "<output><portnum>300</portnum><porttype>513</porttype></output></interfacetemplate>"
            "<interfacetemplate><uid>2</uid><output/><output/></interfacetemplate></lumomap>"),
        "<lumomap><interfacetemplate><uid>1</uid><output><portnum>1</portnum></output><output><portnum>9</"
        "portnum></output>"
        "<output><portnum>3</portnum></output><output><portnum>44</portnum><porttype>1</porttype></output></"
        "interfacetemplate>"
        "<interfacetemplate><uid>2</uid><output><portnum>1</portnum></output><output><portnum>2</portnum></"
        "output>"
        "</interfacetemplate></lumomap>");
    row("exactly 256 levels",
        QStringLiteral("<lumomap><mapname>m</mapname>") + nested(QStringLiteral("a"), 254) +
            QStringLiteral("</lumomap>"),
        "<lumomap><mapname>m</mapname></lumomap>");
    row("a version of its own",
        QStringLiteral("<lumomap><mapfileversion>4294967295</mapfileversion></lumomap>"),
        "<lumomap><mapfileversion>4294967295</mapfileversion></lumomap>");
    row("version 1 when none is named, also in a legacy map",
        QStringLiteral("<map><mapfileversion>3</mapfileversion></map>"),
        "<lumomap><mapfileversion>1</mapfileversion></lumomap>");
    QTest::newRow("loading twice keeps one record per key")
        << QStringList{goldenMap(), goldenMap()} << goldenMap();
}

void TestLoader::equivalentDocuments()
{
    QFETCH(QStringList, documents);
    QFETCH(QString, equivalent);

    LumoMapModel model;
    model.lastError = QStringLiteral("earlier"); // a successful load leaves it
    for (const QString &document : documents)
        QVERIFY(load(model, document) && model.lastError == QLatin1String("earlier"));
    LumoMapModel expected;
    QVERIFY(load(expected, equivalent));
    QCOMPARE(dump(model, true), dump(expected, true));
    QCOMPARE(orderIndex(model).size(), model.interfaces.size());
    QCOMPARE(indexProblem(model), QString());
}

void TestLoader::conversions_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("value");

    const auto row = [](const char *kind, const char *text, bool ok, const char *value) {
        QTest::addRow("%s: %s", kind, text)
            << QString::fromUtf8(kind) << QString::fromUtf8(text) << ok << QString::fromUtf8(value);
    };
    row("unsigned", "4294967296", false, "77");
    row("unsigned", "-1", false, "77");
    row("hex", "ff", true, "255");
    row("hex", "100000000", false, "77");
    row("signed", "1a", false, "77");
    row("real", "1e-320", true, "1e-320");
    row("real", "1,5", false, "77");
    row("real", "1e0.1", false, "77");
    row("flag", "2", true, "1");
    row("flag", "0", true, "0");
    row("flag", "true", false, "1");
    row("byte", "300", true, "44");
    row("byte", "-1", false, "77");
    row("hex byte", "1ff", true, "255");
    row("short", "65537", true, "1");
    row("short", "-1", true, "65535");
    row("old coordinate", "12.5", false, "77");
    row("old coordinate, translated", "7", true, "5.833333333333334");
    row("colour", "green", true, "#008000");
    row("colour", "no colour", true, "invalid");
    row("text", "any <text> & more", true, "any <text> & more");
}

void TestLoader::conversions()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, value);

    bool converted = !ok;
    QCOMPARE(convert(kind, text, converted), value);
    QCOMPARE(converted, ok);
}

// The number kinds take shortcuts for plain digits; whatever the text, they must accept exactly what
// QString's conversions accept (within 32 bits) and give the very same value.
void TestLoader::conversionsAgreeWithQString()
{
    QRandomGenerator random(1);
    const QString alphabet = QStringLiteral("0123456789012345678901234567890.-+eEaAfFx \u00a0");
    for (int round = 0; round < 100000; ++round) {
        QString text;
        switch (random.bounded(4)) {
        case 0:
            for (int n = 1 + random.bounded(24); n > 0; --n)
                text += alphabet.at(random.bounded(int(alphabet.size())));
            break;
        case 1:
            text =
                QString::number(double(qint64(random.generate64())) * std::pow(10.0, random.bounded(60) - 40),
                                'g', 1 + random.bounded(17));
            break;
        default:
            text = QString::number(qint64(random.generate64()) >> random.bounded(64),
                                   random.bounded(2) ? 10 : 16);
            break;
        }
        bool qtOk = false;
        const double qtReal = text.toDouble(&qtOk);
        double real = 0.5;
        QVERIFY2(ElementText::toReal(text, real) == qtOk, qPrintable(text));
        QVERIFY2(!qtOk || std::memcmp(&real, &qtReal, sizeof real) == 0, qPrintable(text));
        const int qtInt = text.toInt(&qtOk, 10);
        qint32 signedValue = 5;
        QVERIFY2(ElementText::toSigned(text, signedValue) == qtOk && (!qtOk || signedValue == qtInt),
                 qPrintable(text));
        for (int base : {10, 16}) {
            const unsigned long qtUnsigned = text.toULong(&qtOk, base);
            qtOk = qtOk && qtUnsigned <= 0xFFFFFFFFul;
            quint32 value = 5;
            const bool ok =
                base == 10 ? ElementText::toUnsigned(text, value) : ElementText::toHex(text, value);
            QVERIFY2(ok == qtOk && (!qtOk || value == quint32(qtUnsigned)), qPrintable(text));
        }
    }
}

void TestLoader::displacedRecordHeldUnderAnotherKeyStays()
{
    LumoMapModel model;
    auto *shared = new LumoRegion;
    shared->number = 6;
    model.regions.insert(6, shared);
    model.regions.insert(16, shared);
    QVERIFY(load(model, QStringLiteral("<lumomap><region><number>6</number></region></lumomap>")));
    QCOMPARE(model.regions.value(16), shared);
    QVERIFY(model.regions.value(6) != shared);
}

void TestLoader::parserTrace_data()
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
    QTest::newRow("text in a container, until the next callback")
        << QStringLiteral("<lumomap><region> loose text </lumomap>")
        << QStringLiteral("characters: loose text");
}

// A parser without a document stops at the first record or text it would store; the records it
// still holds are freed with it (the sanitizer build checks).
void TestLoader::parserTrace()
{
    QFETCH(QString, document);
    QFETCH(QString, trace);

    LumoMapParser parser(nullptr);
    QVERIFY(!drive(parser, document));
    QCOMPARE(parser.errorString(), trace);
    QVERIFY(!LumoMapParser(nullptr).endElement({}, {}, QStringLiteral("lumomap"))); // none is open
}

void TestLoader::readRoutes_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("bySubsetReader");
    QTest::newRow("as written") << QByteArray(
                                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<lumomap>\n <mapname>"
                                       "a &amp; &#xd;\xc3\xa9]]&gt;</mapname>\n <appname/>\n</lumomap>\n")
                                << true;
    QTest::newRow("comments, CR LF") << QByteArray(
                                            "<!-- c -->\r\n<map><c><s>1</s><!--x--></c ></map>\r\n<!---->")
                                     << true;
    QTest::newRow("too deep") << QByteArray("<lumomap>").append(QByteArray("<x>").repeated(256)) << true;
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf<lumomap/>") << false;
    QTest::newRow("other encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><lumomap/>")
                                    << false;
    QTest::newRow("document type") << QByteArray("<!DOCTYPE lumomap><lumomap/>") << false;
    QTest::newRow("CDATA") << QByteArray("<lumomap><mapname><![CDATA[a]]></mapname></lumomap>") << false;
    QTest::newRow("attribute") << QByteArray("<lumomap a=\"1\"/>") << false;
    QTest::newRow("instruction") << QByteArray("<lumomap><?pi x?></lumomap>") << false;
    QTest::newRow("prefixed name") << QByteArray("<lumomap><x:y/></lumomap>") << false;
    QTest::newRow("reference beyond U+FFFF") << QByteArray("<map><x>&#x1F600;</x></map>") << false;
    QTest::newRow("control character") << QByteArray("<map><x>\x01</x></map>") << false;
    QTest::newRow("literal ]]>") << QByteArray("<map><x>]]></x></map>") << false;
    QTest::newRow("-- in a comment") << QByteArray("<map><!-- a -- b --></map>") << false;
    QTest::newRow("malformed") << QByteArray("<map><x>1</map>") << false;
}

// Which documents the subset reader takes; whichever it is, the helpers compare the two routes.
void TestLoader::readRoutes()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, bySubsetReader);
    const QString path = writeTemporaryFile(document);
    QString text = QString::fromUtf8(document);
    if (document.startsWith("\xef\xbb\xbf") && !text.startsWith(QChar(0xFEFF)))
        text.prepend(QChar(0xFEFF)); // Qt 6 drops the mark while decoding
    for (const auto &loadInto :
         {std::function<bool(LumoMapModel &)>([&](LumoMapModel &m) { return m.loadFromFile(path); }),
          std::function<bool(LumoMapModel &)>([&](LumoMapModel &m) { return m.loadFromText(text); })}) {
        LumoMapModel model;
        bool loaded = false;
        bool bySubset = false;
        QCOMPARE(routeDifference(model, loaded, loadInto, &bySubset), QString());
        QCOMPARE(bySubset, bySubsetReader);
    }
}

void TestLoader::blockEdges_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("textBySubset"); // which route loadFromText takes, at every block size
    QTest::addColumn<bool>("fileBySubset"); // the same for loadFromFile of the document's UTF-8

    const auto file = [](const QString &path) {
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << QString::fromUtf8(readFile(path)) << true << true;
    };
    for (const char *name : {"stage.lumomap.xml", "legacy-facade.xml", "legacy-theatre.xml"})
        file(QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/") + QLatin1String(name));
    for (const char *name : {"golden-map.xml", "golden-defaults.xml"})
        file(QStringLiteral(LUMOMAP_TEST_DATA_DIR "/") + QLatin1String(name));

    // Each value moves across the block ends as the block size grows.
    const auto row = [](const char *name, const QString &values, bool bySubset = true) {
        const QString document = QStringLiteral("<lumomap>\n <mapname>%1</mapname>\n <region><number>1</number>"
                                                "<name>%1</name></region>\n</lumomap>\n")
                                     .arg(values);
        QTest::newRow(name) << document << bySubset << bySubset;
    };
    row("]]> escaped", QStringLiteral("a]]&gt;b ]]]&gt; ]&#93;&gt;"));
    row("]]> literal", QStringLiteral("a]]>b"), false);
    row("]> literal", QStringLiteral("a]>b"), false);
    row("referenced ] before >", QStringLiteral("a]&#93;>b"), false);
    row("] before a comment before >", QStringLiteral("a]<!-- -->>b"), false);
    row("text ending in &#xd;", QStringLiteral("ab&#xd;"));
    row("text ending in &#xd; and a space", QStringLiteral("&#xd; ab &#xd;&#xa; "));
    row("characters of 2, 3 and 4 bytes", QStringLiteral("\u00e9\u0800\u4e2d\uffe0") + QString::fromUcs4(U"\U0001F3AD\U0010FFFD"));
    row("references at every length of UTF-8",
        QStringLiteral("&#x7f;&#x80;&#x7FF;&#x800;&#xfffd;&#127;&#128;&#2047;&#2048;&#65533;"));
    row("references and comments close together",
        QStringLiteral("a&amp;b<!-- c -->&lt;<!---->&#233;<!-- \u00e9 -->&quot;&apos;&gt;z"));
    row("a comment between two texts", QStringLiteral("x<!-- c -->y"));
    // Refusals after every kind of line end, character and tag: both routes stop at the same place.
    QTest::newRow("a value refused at its end tag")
        << QStringLiteral("<lumomap>\r\n<x>\u00e9</x>\r<region >\n\t<number>1</number\r\n>\n") +
               QString::fromUcs4(U"\U0001F3AD") + QStringLiteral("<number> 1x </number\n></region></lumomap>")
        << true << true;
    QTest::newRow("a value refused at the next start tag")
        << QStringLiteral("<lumomap><region><number>1<!-- c\r\n -->x<y \r\n/></number></region></lumomap>")
        << true << true;
    QTest::newRow("an end tag refused")
        << QStringLiteral("<map><c><s>1a</s></c>\n<light><c>7</c></light\r\n></map>") << true << true;
    // Names are matched eight bytes at a time: one that differs only beyond its first eight is another.
    QTest::newRow("an unknown name that begins like a known one")
        << QStringLiteral("<lumomap><appversion>2</appversion><appversioX>1</appversioX></lumomap>") << true << true;
    QTest::newRow("comments around the root")
        << QStringLiteral("<!-- a --><lumomap><!-- b --><mapname>m</mapname><!-- c --></lumomap><!-- d -->")
        << true << true;
    // A lone surrogate has no UTF-8 form: the string goes to QXmlSimpleReader, its UTF-8 (with a
    // replacement) to the subset reader.
    QTest::newRow("a lone surrogate") << QStringLiteral("<lumomap><mapname>a") + QChar(0xdc00) +
                                             QStringLiteral("</mapname></lumomap>")
                                      << false << true;
}

// Every document through the subset reader at block sizes from 1 to 80 bytes and at the default,
// against QXmlSimpleReader: the block ends cut every kind of token.
void TestLoader::blockEdges()
{
    QFETCH(QString, document);
    QFETCH(bool, textBySubset);
    QFETCH(bool, fileBySubset);
    const QString path = writeTemporaryFile(document.toUtf8());
    const std::function<bool(LumoMapModel &)> loaders[] = {
        [&](LumoMapModel &m) { return m.loadFromText(document); },
        [&](LumoMapModel &m) { return m.loadFromFile(path); },
    };
    for (int blockBytes = 0; blockBytes <= 80; ++blockBytes) {
        setSubsetReaderBlockBytes(blockBytes);
        for (int route = 0; route < 2; ++route) {
            LumoMapModel model;
            bool loaded = false;
            bool bySubset = false;
            const QString difference = routeDifference(model, loaded, loaders[route], &bySubset);
            const QString where = QStringLiteral("%1, blocks of %2 bytes")
                                    .arg(QLatin1String(route ? "file" : "text"))
                                    .arg(blockBytes);
            QVERIFY2(difference.isEmpty(), qPrintable(where + QLatin1Char('\n') + difference));
            QVERIFY2(bySubset == (route ? fileBySubset : textBySubset), qPrintable(where));
        }
    }
    setSubsetReaderBlockBytes(0);
}

QTEST_GUILESS_MAIN(TestLoader)
#include "tst_loader.moc"
