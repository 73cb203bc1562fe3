// A map of about 100 MB made of many small elements, generated here and read through loadFromFile:
// the load keeps every record and its memory grows with the records, not with copies of the text.
// Labelled slow.

#include <TestSupport.h>

#include <QtTest>

#include <sys/resource.h>

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
    QTemporaryDir directory;
    QFile file(directory.filePath(QStringLiteral("large.xml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<lumomap>\n <mapname>large</mapname>\n");
    for (int t = 0; t < templates; ++t) {
        QByteArray chunk =
            " <fixturetemplate>\n  <uid>" + QByteArray::number(t + 1, 16) + "</uid>\n  <nodelist>\n";
        for (int n = 0; n < nodesPerTemplate; ++n)
            chunk += "   <node><x>" + QByteArray::number(n) + "</x><y>" + QByteArray::number(t) +
                     "</y><addr>" + QByteArray::number(n * 3) +
                     "</addr><skipnode>0</skipnode><channelCount>3</channelCount></node>\n";
        file.write(chunk + "  </nodelist>\n </fixturetemplate>\n");
    }
    file.write("</lumomap>\n");
    file.close();
    QVERIFY(file.size() >= 100 * 1000 * 1000);

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    LumoMapModel model;
    QVERIFY2(TestSupport::loadFile(model, file.fileName()), qPrintable(model.lastError));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    QCOMPARE(model.mapname, QStringLiteral("large"));
    QCOMPARE(model.fixtureTemplates.size(), templates);
    const LumoFixtureTemplate *last = model.fixtureTemplates.value(templates);
    QCOMPARE(last->nodelist.size(), nodesPerTemplate);
    QCOMPARE(last->nodelist.last()->addr, (nodesPerTemplate - 1) * 3);
    QCOMPARE(last->nodelist.last()->y, double(templates - 1));
    // About 1.1 million nodes of 32 bytes and their lists.
    QVERIFY2(
        after.ru_maxrss - before.ru_maxrss < 1024 * 1024,
        qPrintable(
            QStringLiteral("peak resident size grew by %1 KiB").arg(after.ru_maxrss - before.ru_maxrss)));
}

QTEST_GUILESS_MAIN(TestHostileLarge)
#include "tst_hostile_large.moc"
