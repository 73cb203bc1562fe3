// The map file writer: the golden file, the DOM route of the record save members, failed writes
// and the handling of the caller's stream.

#include "WriterTestModels.h"
#include "WriterTestText.h"

#include <MapDomWriter.h>
#include <MapTextWriter.h>

#include <QBuffer>
#include <QDateTime>
#include <QDomDocument>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#endif

#include <functional>

namespace {

const QDateTime fixedSaveTime(QDate(2026, 12, 4), QTime(19, 29, 19));

QString goldenText()
{
    return WriterTestText::readUtf8File(QStringLiteral(LUMOMAP_TEST_DATA_DIR "/golden-map.xml"));
}

// Checks the save time line of a text saved now and puts the golden file's line in its place.
bool replaceSaveTimeLine(QString &saved, const QString &golden)
{
    static const QRegularExpression line(QStringLiteral(" <savedatetime>([^<]*)</savedatetime>\n"));
    const QRegularExpressionMatch savedLine = line.match(saved);
    const QRegularExpressionMatch goldenLine = line.match(golden);
    if (!savedLine.hasMatch() || !goldenLine.hasMatch())
        return false;
    const QDateTime written = QDateTime::fromString(savedLine.captured(1), Qt::TextDate);
    if (!written.isValid() || qAbs(written.secsTo(QDateTime::currentDateTime())) > 120)
        return false;
    saved.replace(savedLine.capturedStart(), savedLine.capturedLength(), goldenLine.captured(0));
    return true;
}

// Makes the stream's own encoding one that cannot hold the golden file's letters, as a Qt 5
// stream on a file has it under a Latin-1 locale, and restores the default afterwards.
class NonUtf8StreamDefault
{
public:
    explicit NonUtf8StreamDefault(QTextStream &stream)
    {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        m_localeCodec = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
        stream.setCodec(QTextCodec::codecForLocale());
#else
        stream.setEncoding(QStringConverter::Latin1);
#endif
    }
    ~NonUtf8StreamDefault()
    {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        QTextCodec::setCodecForLocale(m_localeCodec);
#endif
    }
    static bool isInForce(const QTextStream &stream)
    {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        return stream.codec()->name() == "ISO-8859-1";
#else
        return stream.encoding() == QStringConverter::Latin1;
#endif
    }

private:
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec *m_localeCodec = nullptr;
#endif
};

QStringList childNames(const QDomElement &element)
{
    QStringList names;
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        names << child.tagName();
    return names;
}

} // namespace

using RecordSave = std::function<bool(QDomDocument &, QDomElement &)>;
Q_DECLARE_METATYPE(RecordSave)

class TestWriter : public QObject
{
    Q_OBJECT

private slots:
    void goldenFile_data();
    void goldenFile();
    void emptyModel();
    void domRouteMatchesGoldenFile();
    void recordSaveAppendsAfterExistingChildren_data();
    void recordSaveAppendsAfterExistingChildren();
    void failedWriteIsReported_data();
    void failedWriteIsReported();
    void callerFieldWidthDoesNotReachTheText();
};

void TestWriter::goldenFile_data()
{
    QTest::addColumn<bool>("throughFile");
    QTest::newRow("stream on a string") << false;
    QTest::newRow("stream on a file, Latin-1 by default") << true;
}

void TestWriter::goldenFile()
{
    QFETCH(bool, throughFile);
    const QString golden = goldenText();
    QVERIFY(!golden.isEmpty());

    LumoMapModel model;
    WriterTestModels::fillGoldenModel(model);
    QString saved;
    if (throughFile) {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("map.xml")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTextStream stream(&file);
        NonUtf8StreamDefault latin1(stream);
        QVERIFY(model.save(stream));
        QVERIFY2(NonUtf8StreamDefault::isInForce(stream), "the caller's encoding is not restored");
        file.close();
        saved = WriterTestText::readUtf8File(file.fileName());
    } else {
        QTextStream stream(&saved);
        QVERIFY(model.save(stream));
    }

    QCOMPARE(model.getMapFileVersion(), 2u);
    QVERIFY(model.getSaveDateTime().isNull());
    QVERIFY2(replaceSaveTimeLine(saved, golden), qPrintable(saved.left(400)));
    QCOMPARE(WriterTestText::canonicalParts(saved), WriterTestText::canonicalParts(golden));
}

void TestWriter::emptyModel()
{
    LumoMapModel model;
    const QString expected = QStringLiteral("<lumomap>\n"
                                            " <mapfileversion>2</mapfileversion>\n"
                                            " <mapname></mapname>\n"
                                            " <appname></appname>\n"
                                            " <appversion></appversion>\n"
                                            " <savedatetime>Fri Dec 4 19:29:19 2026</savedatetime>\n"
                                            " <geometry>\n"
                                            "  <vminx>0</vminx>\n"
                                            "  <vminy>0</vminy>\n"
                                            "  <vmaxx>0</vmaxx>\n"
                                            "  <vmaxy>0</vmaxy>\n"
                                            "  <scalexfit>1</scalexfit>\n"
                                            "  <scaleyfit>1</scaleyfit>\n"
                                            "  <xoffset>0</xoffset>\n"
                                            "  <yoffset>0</yoffset>\n"
                                            "  <xscale>1</xscale>\n"
                                            "  <yscale>1</yscale>\n"
                                            " </geometry>\n"
                                            "</lumomap>\n");
    QString streamed;
    QTextStream stream(&streamed);
    QVERIFY(MapTextWriter::write(model, stream, fixedSaveTime));
    QCOMPARE(streamed, expected);
    QCOMPARE(MapDomWriter::buildDocument(model, fixedSaveTime).toString(1), expected);
}

void TestWriter::domRouteMatchesGoldenFile()
{
    LumoMapModel model;
    WriterTestModels::fillGoldenModel(model);
    model.mapfileversion = 2;
    const QString dom = MapDomWriter::buildDocument(model, fixedSaveTime).toString(1);
    QCOMPARE(WriterTestText::canonicalParts(dom), WriterTestText::canonicalParts(goldenText()));
}

void TestWriter::recordSaveAppendsAfterExistingChildren_data()
{
    QTest::addColumn<RecordSave>("save");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("children");

    auto region = std::make_shared<LumoRegion>();
    QTest::newRow("region") << RecordSave([region](QDomDocument &d, QDomElement &p) {
        return region->save(d, p);
    }) << QStringLiteral("region")
                            << QStringList{QStringLiteral("number"), QStringLiteral("name"),
                                           QStringLiteral("color")};
    auto fixture = std::make_shared<LumoFixture>();
    QTest::newRow("fixture")
        << RecordSave([fixture](QDomDocument &d, QDomElement &p) { return fixture->save(d, p); })
        << QStringLiteral("fixture")
        << QStringLiteral("templateid name x y theta baseaddr layerid groupid").split(QLatin1Char(' '));
    auto interface = std::make_shared<LumoInterface>();
    QTest::newRow("interface")
        << RecordSave([interface](QDomDocument &d, QDomElement &p) { return interface->save(d, p); })
        << QStringLiteral("interface")
        << QStringLiteral("uid templateid region name x y theta ip mac flags sn ver uni vers id order")
               .split(QLatin1Char(' '));
    auto fixtureTemplate = std::make_shared<LumoFixtureTemplate>();
    QTest::newRow("fixture template")
        << RecordSave(
               [fixtureTemplate](QDomDocument &d, QDomElement &p) { return fixtureTemplate->save(d, p); })
        << QStringLiteral("fixturetemplate")
        << QStringLiteral("uid name locked xoffset yoffset nodelist").split(QLatin1Char(' '));
    auto interfaceTemplate = std::make_shared<LumoInterfaceTemplate>();
    interfaceTemplate->outputs << new LumoOutput << new LumoOutput;
    QTest::newRow("interface template")
        << RecordSave(
               [interfaceTemplate](QDomDocument &d, QDomElement &p) { return interfaceTemplate->save(d, p); })
        << QStringLiteral("interfacetemplate")
        << QStringLiteral("uid name locked xoffset yoffset output output").split(QLatin1Char(' '));
}

void TestWriter::recordSaveAppendsAfterExistingChildren()
{
    QFETCH(RecordSave, save);
    QFETCH(QString, tag);
    QFETCH(QStringList, children);

    QDomDocument document;
    QDomElement parent = document.createElement(QStringLiteral("parent"));
    document.appendChild(parent);
    parent.appendChild(document.createElement(QStringLiteral("first")));
    parent.appendChild(document.createTextNode(QStringLiteral("between")));
    parent.appendChild(document.createElement(QStringLiteral("second")));

    QVERIFY(save(document, parent));
    QVERIFY(save(document, parent));

    const QDomNodeList nodes = parent.childNodes();
    QCOMPARE(nodes.count(), 5);
    QCOMPARE(nodes.at(0).toElement().tagName(), QStringLiteral("first"));
    QCOMPARE(nodes.at(1).toText().data(), QStringLiteral("between"));
    QCOMPARE(nodes.at(2).toElement().tagName(), QStringLiteral("second"));
    for (int i = 3; i < 5; ++i) {
        const QDomElement appended = nodes.at(i).toElement();
        QCOMPARE(appended.tagName(), tag);
        QCOMPARE(childNames(appended), children);
    }
}

void TestWriter::failedWriteIsReported_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("expected");
    QTest::newRow("writable buffer") << QStringLiteral("buffer") << true;
    QTest::newRow("read-only buffer") << QStringLiteral("read-only buffer") << false;
    QTest::newRow("file not open") << QStringLiteral("closed file") << false;
    QTest::newRow("full disk") << QStringLiteral("/dev/full") << false;
    QTest::newRow("stream without a target") << QStringLiteral("none") << false;
}

void TestWriter::failedWriteIsReported()
{
    QFETCH(QString, target);
    QFETCH(bool, expected);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    QTemporaryDir dir;
    QFile file;
    QTextStream stream;
    if (target == QLatin1String("buffer") || target == QLatin1String("read-only buffer")) {
        buffer.open(target == QLatin1String("buffer") ? QIODevice::WriteOnly : QIODevice::ReadOnly);
        stream.setDevice(&buffer);
    } else if (target == QLatin1String("closed file")) {
        file.setFileName(dir.filePath(QStringLiteral("never-opened.xml")));
        stream.setDevice(&file);
    } else if (target == QLatin1String("/dev/full")) {
        if (!QFile::exists(target))
            QSKIP("no /dev/full on this system");
        file.setFileName(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        stream.setDevice(&file);
    }

    LumoMapModel model;
    WriterTestModels::fillGoldenModel(model);
    // Qt warns about the refused writes; they are expected here.
    const QtMessageHandler previousHandler =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const bool saved = model.save(stream);
    qInstallMessageHandler(previousHandler);
    QCOMPARE(saved, expected);
    QCOMPARE(model.getMapFileVersion(), 2u);
    if (expected)
        QVERIFY(bytes.startsWith("<lumomap>\n") && bytes.endsWith("</lumomap>\n"));
}

void TestWriter::callerFieldWidthDoesNotReachTheText()
{
    LumoMapModel model;
    WriterTestModels::fillGoldenModel(model);
    QString plain;
    QTextStream plainStream(&plain);
    QVERIFY(MapTextWriter::write(model, plainStream, fixedSaveTime));

    QString padded;
    QTextStream paddedStream(&padded);
    paddedStream.setFieldWidth(40);
    QVERIFY(MapTextWriter::write(model, paddedStream, fixedSaveTime));
    QCOMPARE(paddedStream.fieldWidth(), 40);
    QCOMPARE(padded, plain);
}

QTEST_GUILESS_MAIN(TestWriter)
#include "tst_writer.moc"
