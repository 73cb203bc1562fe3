// Element text conversion: every kind with its edge values, and the same values reaching the fields
// of a document through the loader.

#include "LoaderTestSupport.h"

#include "ElementTextConversion.h"

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoRegion.h>

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>

using namespace LoaderTest;

namespace {

const QString prefix = QStringLiteral("Unable to parse file: ");

// Converts `text` by the kind named `kind` into a field that starts at `sentinel`, and returns the
// field's value afterwards as text (so a failed conversion shows the untouched sentinel).
QString convert(const QString &kind, const QString &text, bool &ok)
{
    using namespace ElementText;
    if (kind == QLatin1String("unsigned")) {
        quint32 v = 77;
        ok = toUnsigned(text, v);
        return QString::number(v);
    }
    if (kind == QLatin1String("hex")) {
        quint32 v = 77;
        ok = toHex(text, v);
        return QString::number(v);
    }
    if (kind == QLatin1String("signed")) {
        qint32 v = 77;
        ok = toSigned(text, v);
        return QString::number(v);
    }
    if (kind == QLatin1String("real")) {
        double v = 77;
        ok = toReal(text, v);
        return QString::number(v, 'g', QLocale::FloatingPointShortest);
    }
    if (kind == QLatin1String("flag")) {
        bool v = true;
        bool w = false;
        ok = toFlag(text, v);
        const bool okFromFalse = toFlag(text, w);
        // A failure leaves either starting value alone.
        if (!ok && !okFromFalse && v && !w)
            return QStringLiteral("kept");
        return v == w ? QString::number(v) : QStringLiteral("inconsistent");
    }
    if (kind == QLatin1String("byte")) {
        quint8 v = 77;
        ok = toByte(text, v);
        return QString::number(v);
    }
    if (kind == QLatin1String("hex byte")) {
        quint8 v = 77;
        ok = toHexByte(text, v);
        return QString::number(v);
    }
    if (kind == QLatin1String("short")) {
        quint16 v = 77;
        ok = toShort(text, v);
        return QString::number(v);
    }
    if (kind == QLatin1String("old coordinate") || kind == QLatin1String("old coordinate, translated")) {
        double v = 77;
        ok = toOldCoordinate(text, kind.endsWith(QLatin1String("translated")), v);
        return QString::number(v, 'g', QLocale::FloatingPointShortest);
    }
    if (kind == QLatin1String("colour")) {
        QColor v(Qt::blue);
        toColour(text, v);
        ok = true;
        return v.isValid() ? v.name() : QStringLiteral("invalid");
    }
    if (kind == QLatin1String("text")) {
        QString v = QStringLiteral("old");
        toText(text, v);
        ok = v == text;
        return v;
    }
    ok = false;
    return QStringLiteral("unknown kind");
}

} // namespace

class TestTextConversion : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data();
    void kinds();
    void numberKindsAgreeWithQString_data();
    void numberKindsAgreeWithQString();
    void throughTheLoader_data();
    void throughTheLoader();
    void failedTextLeavesTheField_data();
    void failedTextLeavesTheField();
    void uniReadsBackAsWritten_data();
    void uniReadsBackAsWritten();
};

void TestTextConversion::kinds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("value");

    auto row = [](const char *kind, const char *text, bool ok, const char *value) {
        QTest::addRow("%s: %s", kind, text)
            << QString::fromUtf8(kind) << QString::fromUtf8(text) << ok << QString::fromUtf8(value);
    };
    row("unsigned", "0", true, "0");
    row("unsigned", "12", true, "12");
    row("unsigned", "4294967295", true, "4294967295");
    row("unsigned", "4294967296", false, "77");
    row("unsigned", "99999999999", false, "77");
    row("unsigned", "18446744073709551615", false, "77");
    row("unsigned", "-1", false, "77");
    row("unsigned", "12a", false, "77");
    row("unsigned", "ff", false, "77");
    row("unsigned", "1.0", false, "77");
    row("hex", "ff", true, "255");
    row("hex", "FF", true, "255");
    row("hex", "10", true, "16");
    row("hex", "ffffffff", true, "4294967295");
    row("hex", "100000000", false, "77");
    row("hex", "fffffffffff", false, "77");
    row("hex", "g", false, "77");
    row("signed", "-2147483648", true, "-2147483648");
    row("signed", "2147483647", true, "2147483647");
    row("signed", "2147483648", false, "77");
    row("signed", "-2147483649", false, "77");
    row("signed", "12a", false, "77");
    row("signed", "1a", false, "77");
    row("real", "1e+06", true, "1e+06");
    row("real", "0.1", true, "0.1");
    row("real", "-12.5", true, "-12.5");
    row("real", "1234.57", true, "1234.57");
    row("real", "2.5e-07", true, "2.5e-07");
    row("real", "1,5", false, "77");
    row("real", "abc", false, "77");
    row("flag", "1", true, "1");
    row("flag", "2", true, "1");
    row("flag", "-1", true, "1");
    row("flag", "0", true, "0");
    row("flag", "true", false, "kept");
    row("flag", "99999999999", false, "kept");
    row("byte", "300", true, "44");
    row("byte", "255", true, "255");
    row("byte", "256", true, "0");
    row("byte", "4294967295", true, "255");
    row("byte", "4294967296", false, "77");
    row("byte", "-1", false, "77");
    row("hex byte", "1ff", true, "255");
    row("hex byte", "a", true, "10");
    row("hex byte", "ffffffff", true, "255");
    row("hex byte", "100000000", false, "77");
    row("short", "65537", true, "1");
    row("short", "-1", true, "65535");
    row("short", "65535", true, "65535");
    row("short", "2147483648", false, "77");
    row("old coordinate", "24", true, "24");
    row("old coordinate", "-36", true, "-36");
    row("old coordinate", "12.5", false, "77");
    row("old coordinate", "2147483648", false, "77");
    row("old coordinate, translated", "24", true, "20");
    row("old coordinate, translated", "36", true, "30");
    row("old coordinate, translated", "120", true, "100");
    row("old coordinate, translated", "7", true, "5.833333333333334");
    row("colour", "#00ff00", true, "#00ff00");
    row("colour", "green", true, "#008000");
    row("colour", "no colour", true, "invalid");
    row("text", "any <text> & more", true, "any <text> & more");
}

void TestTextConversion::kinds()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, value);

    bool converted = false;
    QCOMPARE(convert(kind, text, converted), value);
    QCOMPARE(converted, ok);
}

void TestTextConversion::numberKindsAgreeWithQString_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

// The number kinds take shortcuts for plain digits; whatever the text, they must accept exactly
// what QString's conversions accept (within 32 bits) and give the very same value.
void TestTextConversion::numberKindsAgreeWithQString()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const QString alphabet = QStringLiteral("0123456789012345678901234567890.-+eEaAfFx \u00a0");
    for (int round = 0; round < 20000; ++round) {
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
        case 2:
            text = QString::number(qint64(random.generate64()) >> random.bounded(64));
            break;
        default:
            text = QString::number(random.generate64() >> random.bounded(64), 16);
            break;
        }

        bool qtOk = false;
        const double qtReal = text.toDouble(&qtOk);
        double real = 0.5;
        const bool realOk = ElementText::toReal(text, real);
        QVERIFY2(realOk == qtOk, qPrintable(text));
        if (qtOk)
            QVERIFY2(std::memcmp(&real, &qtReal, sizeof real) == 0, qPrintable(text));

        const int qtInt = text.toInt(&qtOk, 10);
        qint32 signedValue = 5;
        QVERIFY2(ElementText::toSigned(text, signedValue) == qtOk, qPrintable(text));
        if (qtOk)
            QCOMPARE(signedValue, qtInt);

        for (int base : {10, 16}) {
            const unsigned long qtUnsigned = text.toULong(&qtOk, base);
            qtOk = qtOk && qtUnsigned <= 0xFFFFFFFFul;
            quint32 unsignedValue = 5;
            const bool ok = base == 10 ? ElementText::toUnsigned(text, unsignedValue)
                                       : ElementText::toHex(text, unsignedValue);
            QVERIFY2(ok == qtOk, qPrintable(text));
            if (qtOk)
                QCOMPARE(unsignedValue, quint32(qtUnsigned));
        }
    }
}

void TestTextConversion::throughTheLoader_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("error");    // null when the load succeeds
    QTest::addColumn<QString>("dumpLine"); // a line the dump of the loaded document holds

    const QString regionLine = QStringLiteral("region key=%1 number=%1 name=\"New Region\" color=#ff0000");
    QTest::newRow("region number with spaces")
        << QStringLiteral("<lumomap><region><number> 12 </number></region></lumomap>") << QString()
        << regionLine.arg(12);
    QTest::newRow("region number 10 is decimal")
        << QStringLiteral("<lumomap><region><number>10</number></region></lumomap>") << QString()
        << regionLine.arg(10);
    QTest::newRow("region number 12a")
        << QStringLiteral("<lumomap><region><number>12a</number></region></lumomap>")
        << prefix + QStringLiteral("characters: 12a") << QString();
    QTest::newRow("region number eleven nines")
        << QStringLiteral("<lumomap><region><number>99999999999</number></region></lumomap>")
        << prefix + QStringLiteral("characters: 99999999999") << QString();
    QTest::newRow("region name trimmed")
        << QStringLiteral(
               "<lumomap><region><number>1</number><name>  a  b </name><color>#00ff00</color></region>"
               "</lumomap>")
        << QString() << QStringLiteral("region key=1 number=1 name=\"a  b\" color=#00ff00");
    QTest::newRow("region colour unknown")
        << QStringLiteral(
               "<lumomap><region><number>1</number><color>no such colour</color></region></lumomap>")
        << QString() << QStringLiteral("region key=1 number=1 name=\"New Region\" color=invalid");
    QTest::newRow("template uid ff and hex 10")
        << QStringLiteral("<lumomap><fixturetemplate><uid>ff</uid></fixturetemplate>"
                          "<fixturetemplate><uid>10</uid><locked>-1</locked></fixturetemplate></lumomap>")
        << QString()
        << QStringLiteral(
               "fixturetemplate key=16 uid=16 name=\"Fixture Template\" locked=1 xoffset=0 yoffset=0 "
               "nodes=0");
    QTest::newRow("flag word") << QStringLiteral(
                                      "<lumomap><geometry><scalexfit>true</scalexfit></geometry></lumomap>")
                               << prefix + QStringLiteral("characters: true") << QString();
    QTest::newRow("portnum 300")
        << QStringLiteral("<lumomap><interfacetemplate><uid>1</uid><output><portnum>300</portnum>"
                          "<porttype>513</porttype></output></interfacetemplate></lumomap>")
        << QString() << QStringLiteral("  output portnum=44 porttype=1 fixtures=0 used=1");
    QTest::newRow("portnum above 32 bits")
        << QStringLiteral("<lumomap><interfacetemplate><output><portnum>4294967296</portnum></output>"
                          "</interfacetemplate></lumomap>")
        << prefix + QStringLiteral("characters: 4294967296") << QString();

    const QString interfaceLine = QStringLiteral("interface key=1 uid=1 templateid=4294967295 region=0 "
                                                 "name=\"Interface\" x=0 y=0 theta=0 ip=\"0.0.0.0\" "
                                                 "mac=\"BC:BC:DE:AD:BE:EF\" flags=%1 sn=4294967295 ver=%2 "
                                                 "uni=%3 vers=<null> id=\"Interface ID String\" "
                                                 "order=%4");
    auto interfaceDocument = [](const char *leaves) {
        return QStringLiteral("<lumomap><interface><uid>1</uid>") + QString::fromUtf8(leaves) +
               QStringLiteral("</interface></lumomap>");
    };
    QTest::newRow("flags 1ff") << interfaceDocument("<flags>1ff</flags>") << QString()
                               << interfaceLine.arg(255).arg(0).arg(0).arg(0);
    QTest::newRow("ver 65537") << interfaceDocument("<ver>65537</ver>") << QString()
                               << interfaceLine.arg(0).arg(1).arg(0).arg(0);
    QTest::newRow("ver -1") << interfaceDocument("<ver>-1</ver>") << QString()
                            << interfaceLine.arg(0).arg(65535).arg(0).arg(0);
    QTest::newRow("uni decimal") << interfaceDocument("<uni>10</uni>") << QString()
                                 << interfaceLine.arg(0).arg(0).arg(10).arg(0);
    QTest::newRow("uni largest") << interfaceDocument("<uni>4294967295</uni>") << QString()
                                 << interfaceLine.arg(0).arg(0).arg(4294967295u).arg(0);
    QTest::newRow("uni hex text") << interfaceDocument("<uni>ff</uni>")
                                  << prefix + QStringLiteral("characters: ff") << QString();
    QTest::newRow("order negative") << interfaceDocument("<order>-2147483648</order>") << QString()
                                    << interfaceLine.arg(0).arg(0).arg(0).arg(-2147483647 - 1);
    QTest::newRow("order too large") << interfaceDocument("<order>2147483648</order>")
                                     << prefix + QStringLiteral("characters: 2147483648") << QString();
    QTest::newRow("sn above 32 bits") << interfaceDocument("<sn>100000000</sn>")
                                      << prefix + QStringLiteral("characters: 100000000") << QString();
    QTest::newRow("node values")
        << QStringLiteral(
               "<lumomap><fixturetemplate><uid>2</uid><nodelist><node><x>-0.5</x><y>1e+06</y>"
               "<addr>-7</addr><skipnode>2</skipnode></node></nodelist></fixturetemplate></lumomap>")
        << QString() << QStringLiteral("  node x=-0.5 y=1000000 addr=-7 skipnode=1 channelCount=3 pn=0");
    QTest::newRow("real with comma") << QStringLiteral(
                                            "<lumomap><geometry><vminx>1,5</vminx></geometry></lumomap>")
                                     << prefix + QStringLiteral("characters: 1,5") << QString();
}

void TestTextConversion::throughTheLoader()
{
    QFETCH(QString, document);
    QFETCH(QString, error);
    QFETCH(QString, dumpLine);

    LumoMapModel model;
    QCOMPARE(model.loadFromText(document), error.isNull());
    if (!error.isNull()) {
        QCOMPARE(model.getLastError(), error);
        return;
    }
    const QStringList dump = ModelDump::dump(model, true);
    QVERIFY2(dump.contains(dumpLine), qPrintable(dump.join(QLatin1Char('\n'))));
}

void TestTextConversion::failedTextLeavesTheField_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QString>("field");

    QTest::newRow("region number") << QStringLiteral(
                                          "<lumomap><region><number>7</number><number>12a</number>")
                                   << QStringLiteral("characters: 12a") << QStringLiteral("7");
    QTest::newRow("node x") << QStringLiteral("<lumomap><fixturetemplate><nodelist><node><x>2.5</x><x>x</x>")
                            << QStringLiteral("characters: x") << QStringLiteral("2.5");
    QTest::newRow("interface ver") << QStringLiteral("<lumomap><interface><ver>9</ver><ver>70000000000</ver>")
                                   << QStringLiteral("characters: 70000000000") << QStringLiteral("9");
    QTest::newRow("geometry vminx") << QStringLiteral(
                                           "<lumomap><geometry><vminx>3</vminx><vminx>three</vminx>")
                                    << QStringLiteral("characters: three") << QStringLiteral("3");
}

void TestTextConversion::failedTextLeavesTheField()
{
    QFETCH(QString, document);
    QFETCH(QString, trace);
    QFETCH(QString, field);

    LumoMapModel model;
    LumoMapParser parser(&model);
    QVERIFY(!drive(parser, document));
    QCOMPARE(parser.errorString(), trace);
    QString value;
    if (parser.currentRegion)
        value = QString::number(parser.currentRegion->number);
    else if (parser.currentNode)
        value = QString::number(parser.currentNode->x);
    else if (parser.currentInterface)
        value = QString::number(parser.currentInterface->ver);
    else
        value = QString::number(model.vminx);
    QCOMPARE(value, field);
}

void TestTextConversion::uniReadsBackAsWritten_data()
{
    QTest::addColumn<quint32>("uni");
    QTest::newRow("0") << 0u;
    QTest::newRow("9") << 9u;
    QTest::newRow("10") << 10u;
    QTest::newRow("255") << 255u;
    QTest::newRow("largest") << 4294967295u;
}

void TestTextConversion::uniReadsBackAsWritten()
{
    QFETCH(quint32, uni);
    LumoMapModel model;
    auto *interface = new LumoInterface;
    interface->uid = 3;
    interface->uni = uni;
    model.interfaces.insert(3, interface);
    model.interfacesByOrder.insert(0, interface);

    LumoMapModel loaded;
    QVERIFY(loaded.loadFromText(saved(model)));
    QCOMPARE(loaded.interfaces.value(3)->uni, uni);
}

QTEST_GUILESS_MAIN(TestTextConversion)
#include "tst_text_conversion.moc"
