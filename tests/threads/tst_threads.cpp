// Two threads each build, save and load their own documents at the same time, many rounds, through
// both loaders and both dialects. The process-wide template counter and the last unique identifier
// are shared by the threads: every value either hands out must be unique across both threads, and
// each thread must see its values rise. Built with the thread sanitizer, the run must stay free of
// reports.

#include <ModelDump.h>

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <thread>

namespace {

// What one thread saw. QtTest's checks are not thread-safe, so the workers only record and the
// test thread checks.
struct ThreadRecord
{
    QList<quint32> templateCounterValues; // in the order the thread received them
    QList<quint32> uniqueIds;             // likewise
    QStringList problems;
};

QString saveToString(LumoMapModel &model)
{
    QString text;
    QTextStream stream(&text);
    model.save(stream);
    stream.flush();
    return text;
}

void buildModel(LumoMapModel &model, int thread, int round, ThreadRecord &record)
{
    model.setMapName(QStringLiteral("thread %1 round %2").arg(thread).arg(round));
    model.setCreatingAppName(QStringLiteral("tst_threads"));
    model.vmaxx = 100.5 + round;

    for (int t = 0; t < 3; ++t) {
        auto *fixtureTemplate = new LumoFixtureTemplate;
        record.templateCounterValues << fixtureTemplate->uid;
        fixtureTemplate->name = QStringLiteral("template %1").arg(t);
        for (int n = 0; n < 4; ++n) {
            auto *node = new LumoNode;
            node->x = n * 0.25;
            node->y = -n;
            node->addr = n * 3;
            node->channelCount = 3;
            fixtureTemplate->nodelist << node;
        }
        model.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
    }
    record.templateCounterValues << static_cast<quint32>(
        LumoFixtureTemplate::generateLumoFixtureTemplateUID());

    auto *interfaceTemplate = new LumoInterfaceTemplate;
    interfaceTemplate->uid = model.getUniqueID();
    record.uniqueIds << interfaceTemplate->uid;
    for (int o = 0; o < 2; ++o) {
        auto *output = new LumoOutput;
        output->portnum = static_cast<quint8>(o + 1);
        for (int f = 0; f < 2; ++f) {
            auto *fixture = new LumoFixture;
            fixture->templateid =
                record.templateCounterValues.at(record.templateCounterValues.size() - 2 - f);
            fixture->name = QStringLiteral("fixture %1.%2").arg(o).arg(f);
            fixture->x = f * 1.5;
            output->fixtures << fixture;
        }
        interfaceTemplate->outputs << output;
    }
    model.interfaceTemplates.insert(interfaceTemplate->uid, interfaceTemplate);

    auto *region = new LumoRegion;
    region->number = model.getUniqueID();
    record.uniqueIds << region->number;
    region->name = QStringLiteral("region of thread %1").arg(thread);
    model.regions.insert(region->number, region);

    for (int i = 0; i < 2; ++i) {
        auto *interface = new LumoInterface;
        interface->uid = model.getUniqueID();
        record.uniqueIds << interface->uid;
        interface->templateid = interfaceTemplate->uid;
        interface->region = region->number;
        interface->order = i;
        interface->uni = static_cast<quint32>(round * 10 + i);
        model.interfaces.insert(interface->uid, interface);
        model.interfacesByOrder.insert(interface->order, interface);
    }
}

QString legacyMap(int thread, int round)
{
    const QString self = QString::number(0x1000 * (thread + 1) + round, 16);
    return QStringLiteral("<map><controller><self>%1</self><name>T%2</name></controller>"
                          "<light><controller>%1</controller><pn>%3</pn><x>12</x><y>24</y><ch>1</ch></light>"
                          "</map>")
        .arg(self)
        .arg(thread)
        .arg(round % 16);
}

void runRounds(int thread, int rounds, const QString &directory, ThreadRecord &record)
{
    const QString path = QStringLiteral("%1/thread-%2.xml").arg(directory).arg(thread);
    for (int round = 0; round < rounds; ++round) {
        LumoMapModel built;
        buildModel(built, thread, round, record);
        const QString text = saveToString(built);

        LumoMapModel fromText;
        if (!fromText.loadFromText(text)) {
            record.problems
                << QStringLiteral("round %1: loadFromText failed: %2").arg(round).arg(fromText.lastError);
            continue;
        }
        if (ModelDump::dump(fromText) != ModelDump::dump(built))
            record.problems << QStringLiteral("round %1: loadFromText changed the records").arg(round);

        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            record.problems << QStringLiteral("round %1: cannot write %2").arg(round).arg(path);
            continue;
        }
        file.write(saveToString(fromText).toUtf8());
        file.close();
        LumoMapModel fromFile;
        if (!fromFile.loadFromFile(path))
            record.problems
                << QStringLiteral("round %1: loadFromFile failed: %2").arg(round).arg(fromFile.lastError);
        else if (ModelDump::dump(fromFile) != ModelDump::dump(built))
            record.problems << QStringLiteral("round %1: loadFromFile changed the records").arg(round);

        LumoMapModel legacy;
        if (!legacy.loadFromText(legacyMap(thread, round))) {
            record.problems
                << QStringLiteral("round %1: legacy load failed: %2").arg(round).arg(legacy.lastError);
            continue;
        }
        if (legacy.fixtureTemplates.size() != 16)
            record.problems << QStringLiteral("round %1: legacy load made %2 fixture templates")
                                   .arg(round)
                                   .arg(legacy.fixtureTemplates.size());
        QList<quint32> legacyUids = legacy.fixtureTemplates.keys();
        std::sort(legacyUids.begin(), legacyUids.end());
        record.templateCounterValues << legacyUids;
        // A legacy map saved and read back as a current map keeps its records (the order index,
        // the last line of the dump, is filled only from a current map).
        LumoMapModel converted;
        if (!converted.loadFromText(saveToString(legacy)) ||
            ModelDump::dump(converted).mid(0, ModelDump::dump(converted).size() - 1) !=
                ModelDump::dump(legacy).mid(0, ModelDump::dump(legacy).size() - 1))
            record.problems
                << QStringLiteral("round %1: the converted legacy map did not read back").arg(round);
    }
}

// True when every value rises over the one before it. The counters are shared, so the other
// thread's values may fall in between, but a thread's own values must rise.
bool rising(const QList<quint32> &values)
{
    for (int i = 1; i < values.size(); ++i) {
        if (values.at(i) <= values.at(i - 1))
            return false;
    }
    return true;
}

} // namespace

class TestThreads : public QObject
{
    Q_OBJECT

private slots:
    void concurrentLoadsAndSaves();
};

void TestThreads::concurrentLoadsAndSaves()
{
    constexpr int rounds = 150;
    QTemporaryDir directory;
    QVERIFY(directory.isValid());

    ThreadRecord first;
    ThreadRecord second;
    std::thread firstThread(runRounds, 0, rounds, directory.path(), std::ref(first));
    std::thread secondThread(runRounds, 1, rounds, directory.path(), std::ref(second));
    firstThread.join();
    secondThread.join();

    QVERIFY2(first.problems.isEmpty(), qPrintable(first.problems.join(QLatin1Char('\n'))));
    QVERIFY2(second.problems.isEmpty(), qPrintable(second.problems.join(QLatin1Char('\n'))));

    // Per round: 3 templates built, 1 generated value, 16 legacy templates; 4 identifiers.
    QCOMPARE(first.templateCounterValues.size(), rounds * 20);
    QCOMPARE(second.uniqueIds.size(), rounds * 4);

    // The legacy templates of one round are recorded sorted by uid, so each thread's counter values
    // rise unless a value was handed out twice or the counter went back.
    QVERIFY(rising(first.templateCounterValues));
    QVERIFY(rising(second.templateCounterValues));
    QVERIFY(rising(first.uniqueIds));
    QVERIFY(rising(second.uniqueIds));

    const QList<quint32> counterValues = first.templateCounterValues + second.templateCounterValues;
    QCOMPARE(QSet<quint32>(counterValues.cbegin(), counterValues.cend()).size(), counterValues.size());
    const QList<quint32> ids = first.uniqueIds + second.uniqueIds;
    QCOMPARE(QSet<quint32>(ids.cbegin(), ids.cend()).size(), ids.size());
}

QTEST_GUILESS_MAIN(TestThreads)
#include "tst_threads.moc"
