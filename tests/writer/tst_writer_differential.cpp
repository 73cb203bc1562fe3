// The streaming writer against the DOM route: for many seeded random models full of hostile text
// and extreme numbers, the text written to a stream equals QDomDocument::toString(1) of the
// document that the record save members build, character for character.

#include "WriterTestModels.h"
#include "WriterTestText.h"

#include <MapDomWriter.h>
#include <MapTextWriter.h>

#include <QBuffer>
#include <QDateTime>
#include <QTextStream>
#include <QtTest>

class TestWriterDifferential : public QObject
{
    Q_OBJECT

private slots:
    void streamingEqualsDomRoute_data();
    void streamingEqualsDomRoute();
    void deviceBytesEqualDomRoute_data();
    void deviceBytesEqualDomRoute();

private:
    const QDateTime m_saveTime{QDate(2026, 1, 31), QTime(23, 59, 58)};
};

namespace {

void addSeedRows()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("models");
    QTest::addColumn<int>("maxRecords");
    // Many small models for the escaping and encoding rules ...
    for (quint32 seed = 1; seed <= 40; ++seed)
        QTest::addRow("small models, seed %u", seed) << seed << 25 << 3;
    // ... and a few large ones, whose text is handed to the stream in several chunks.
    for (quint32 seed = 1001; seed <= 1003; ++seed)
        QTest::addRow("large model, seed %u", seed) << seed << 1 << 400;
}

} // namespace

void TestWriterDifferential::streamingEqualsDomRoute_data()
{
    addSeedRows();
}

void TestWriterDifferential::streamingEqualsDomRoute()
{
    QFETCH(quint32, seed);
    QFETCH(int, models);
    QFETCH(int, maxRecords);

    WriterTestModels::RandomModelMaker maker(seed);
    for (int i = 0; i < models; ++i) {
        LumoMapModel model;
        maker.fill(model, maxRecords);

        QString streamed;
        QTextStream stream(&streamed);
        QVERIFY(MapTextWriter::write(model, stream, m_saveTime));
        const QString dom = MapDomWriter::buildDocument(model, m_saveTime).toString(1);
        const QString difference = WriterTestText::firstDifference(streamed, dom);
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("model %1: ").arg(i) + difference));
    }
}

void TestWriterDifferential::deviceBytesEqualDomRoute_data()
{
    addSeedRows();
}

// Through a device the bytes equal the DOM route's text written to a UTF-8 stream, so chunking and
// encoding add nothing and lose nothing.
void TestWriterDifferential::deviceBytesEqualDomRoute()
{
    QFETCH(quint32, seed);
    QFETCH(int, models);
    QFETCH(int, maxRecords);

    WriterTestModels::RandomModelMaker maker(seed ^ 0x5a5a5a5au);
    for (int i = 0; i < models; ++i) {
        LumoMapModel model;
        maker.fill(model, maxRecords);

        QByteArray streamedBytes;
        QBuffer streamedBuffer(&streamedBytes);
        QVERIFY(streamedBuffer.open(QIODevice::WriteOnly));
        QTextStream stream(&streamedBuffer);
        QVERIFY(MapTextWriter::write(model, stream, m_saveTime));

        QByteArray domBytes;
        QBuffer domBuffer(&domBytes);
        QVERIFY(domBuffer.open(QIODevice::WriteOnly));
        QTextStream domStream(&domBuffer);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        domStream.setCodec("UTF-8");
#endif
        domStream << MapDomWriter::buildDocument(model, m_saveTime).toString(1);
        domStream.flush();

        if (streamedBytes != domBytes) {
            qsizetype at = 0;
            while (at < streamedBytes.size() && at < domBytes.size() &&
                   streamedBytes.at(at) == domBytes.at(at))
                ++at;
            QFAIL(qPrintable(QStringLiteral("model %1: bytes differ at %2 (sizes %3 and %4)")
                                 .arg(i)
                                 .arg(at)
                                 .arg(streamedBytes.size())
                                 .arg(domBytes.size())));
        }
    }
}

QTEST_GUILESS_MAIN(TestWriterDifferential)
#include "tst_writer_differential.moc"
