// Non-ASCII text survives a save through a QTextStream on a QFile and loadFromFile, also when the
// stream's own encoding cannot hold it (a Qt 5 stream under a Latin-1 locale, a Qt 6 stream set
// to Latin-1): the writer writes UTF-8, which a file without an XML declaration is read as.

#include "WriterTestModels.h"

#include <ModelDump.h>

#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

class TestWriterFileRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void nonAsciiNamesSurvive_data();
    void nonAsciiNamesSurvive();
};

void TestWriterFileRoundTrip::nonAsciiNamesSurvive_data()
{
    QTest::addColumn<bool>("latin1Default");
    QTest::newRow("stream with its default encoding") << false;
    QTest::newRow("stream whose default is Latin-1") << true;
}

void TestWriterFileRoundTrip::nonAsciiNamesSurvive()
{
    QFETCH(bool, latin1Default);

    // Values the file carries unchanged: reals within six significant digits, no white space at
    // the ends of texts.
    LumoMapModel model;
    model.setMapName(QStringLiteral("B\u00fchne Nord"));
    model.setCreatingAppName(QStringLiteral("\u821e\u53f0 & <Licht>"));
    model.setCreatingAppVersion(QStringLiteral("\u00e9t\u00e9 \u263a ") + QString::fromUcs4(U"\U0001F3AD"));
    model.vmaxx = 1234.5;
    auto *fixtureTemplate = new LumoFixtureTemplate;
    fixtureTemplate->uid = 0xFFFFFFFFu;
    fixtureTemplate->name = QStringLiteral("\u00c5ngstr\u00f6m \u03bb");
    fixtureTemplate->nodelist << WriterTestModels::node(0.5, -2.0, 12, true, 3);
    model.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
    auto *interfaceTemplate = new LumoInterfaceTemplate;
    interfaceTemplate->uid = 5;
    interfaceTemplate->name = QStringLiteral("\u041f\u0443\u043b\u044c\u0442");
    auto *output = new LumoOutput;
    output->portnum = 1;
    output->used = true;
    auto *fixture = new LumoFixture;
    fixture->templateid = 0xFFFFFFFFu;
    fixture->name = QStringLiteral("\u821e\u53f0 \"links\"");
    output->fixtures << fixture;
    interfaceTemplate->outputs << output;
    model.interfaceTemplates.insert(interfaceTemplate->uid, interfaceTemplate);
    auto *interface = new LumoInterface;
    interface->uid = 9;
    interface->templateid = 5;
    interface->region = 2;
    interface->name = QStringLiteral("T\u00fcr Nord");
    interface->vers = QStringLiteral("\u00df");
    interface->flags = 255;
    interface->ver = 65535;
    interface->uni = 42;
    WriterTestModels::insertInterface(model, interface);
    auto *region = new LumoRegion;
    region->number = 2;
    region->name = QStringLiteral("S\u00fcdb\u00fchne");
    model.regions.insert(region->number, region);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stage.xml"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTextStream stream(&file);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        QTextCodec *localeCodec = QTextCodec::codecForLocale();
        if (latin1Default) {
            QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
            stream.setCodec(QTextCodec::codecForLocale());
        }
        const bool saved = model.save(stream);
        QTextCodec::setCodecForLocale(localeCodec);
#else
        if (latin1Default)
            stream.setEncoding(QStringConverter::Latin1);
        const bool saved = model.save(stream);
#endif
        QVERIFY(saved);
    }

    LumoMapModel loaded;
    QVERIFY2(loaded.loadFromFile(path), qPrintable(loaded.getLastError()));
    QCOMPARE(ModelDump::dump(loaded), ModelDump::dump(model));
}

QTEST_GUILESS_MAIN(TestWriterFileRoundTrip)
#include "tst_writer_file_roundtrip.moc"
