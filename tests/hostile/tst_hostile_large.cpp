// A map of about 100 MB made of many small elements, generated here and read through loadFromFile:
// the load must finish within bounded time and memory and keep every record. Labelled slow.

#include "HostileLoad.h"

#include <LumoFixtureTemplate.h>

#include <QtTest>

using namespace HostileLoad;

class TestHostileLarge : public QObject
{
    Q_OBJECT

private slots:
    void hundredMegabyteMap();
};

void TestHostileLarge::hundredMegabyteMap()
{
    constexpr int templates = 1000;
    constexpr int nodesPerTemplate = 1100;
    constexpr qint64 targetBytes = 100 * 1000 * 1000;

    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("large.xml"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<lumomap>\n <mapname>large</mapname>\n");
        QByteArray chunk;
        for (int t = 0; t < templates; ++t) {
            chunk = " <fixturetemplate>\n  <uid>" + QByteArray::number(t + 1, 16) + "</uid>\n  <nodelist>\n";
            for (int n = 0; n < nodesPerTemplate; ++n) {
                chunk += "   <node><x>" + QByteArray::number(n) + "</x><y>" + QByteArray::number(t) +
                         "</y><addr>" + QByteArray::number(n * 3) +
                         "</addr><skipnode>0</skipnode><channelCount>3</channelCount></node>\n";
            }
            chunk += "  </nodelist>\n </fixturetemplate>\n";
            QCOMPARE(file.write(chunk), qint64(chunk.size()));
        }
        file.write("</lumomap>\n");
        QVERIFY(file.size() >= targetBytes);
        qInfo("generated %lld bytes", static_cast<long long>(file.size()));
    }

    const long residentBefore = peakResidentMiB();
    LumoMapModel model;
    QElapsedTimer timer;
    timer.start();
    const bool loaded = model.loadFromFile(path);
    const qint64 milliseconds = timer.elapsed();
    qInfo("loaded in %lld ms; peak resident size %ld MiB before, %ld MiB after",
          static_cast<long long>(milliseconds), residentBefore, peakResidentMiB());

    QVERIFY2(loaded, qPrintable(model.lastError));
    QCOMPARE(model.mapname, QStringLiteral("large"));
    QCOMPARE(model.fixtureTemplates.size(), templates);
    const LumoFixtureTemplate *last = model.fixtureTemplates.value(templates);
    QVERIFY(last);
    QCOMPARE(last->nodelist.size(), nodesPerTemplate);
    QCOMPARE(last->nodelist.last()->addr, (nodesPerTemplate - 1) * 3);
    QCOMPARE(last->nodelist.last()->y, double(templates - 1));

    // About 1.1 million nodes of 32 bytes; the reader streams the file in blocks and builds no
    // tree, so memory grows with the records, not with several copies of the text.
    QVERIFY2(
        peakResidentMiB() - residentBefore < 1024,
        qPrintable(
            QStringLiteral("peak resident size grew by %1 MiB").arg(peakResidentMiB() - residentBefore)));
    QVERIFY2(milliseconds < 300000, qPrintable(QStringLiteral("the load took %1 ms").arg(milliseconds)));
}

QTEST_GUILESS_MAIN(TestHostileLarge)
#include "tst_hostile_large.moc"
