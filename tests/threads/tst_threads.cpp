// Two threads each build, save and load their own documents at the same time, many rounds, through
// both loaders and both dialects. The process-wide template counter and the last unique identifier
// are shared: every value either thread receives is unique across both, and each thread sees its
// own values rise. Built with the thread sanitizer, the run stays free of reports.

#include <TestSupport.h>

#include <QtTest>

#include <thread>

using namespace TestSupport;

namespace {

// What one thread saw. QtTest's checks are not thread-safe, so the workers only record.
struct ThreadRecord
{
    QList<quint32> counterValues; // template counter values, in the order received
    QList<quint32> uniqueIds;
    QStringList problems;
};

QStringList records(const LumoMapModel &model)
{
    QStringList lines = dump(model);
    lines.removeLast(); // the order index: a legacy import fills none
    return lines;
}

void runRounds(int thread, int rounds, const QString &path, ThreadRecord &seen)
{
    const auto check = [&](bool ok, int round, const char *what) {
        if (!ok)
            seen.problems
                << QStringLiteral("thread %1 round %2: %3").arg(thread).arg(round).arg(QLatin1String(what));
    };
    for (int round = 0; round < rounds; ++round) {
        LumoMapModel built;
        RandomMap(quint32(thread * 1000 + round), RandomMap::Values::Exact).fill(built, 4);
        auto *own = new LumoFixtureTemplate;
        seen.counterValues << own->uid << quint32(LumoFixtureTemplate::generateLumoFixtureTemplateUID());
        delete built.fixtureTemplates.value(own->uid);
        built.fixtureTemplates.insert(own->uid, own);
        seen.uniqueIds << built.getUniqueID() << built.getUniqueID();

        LumoMapModel fromText;
        check(load(fromText, saveToString(built)) && dump(fromText) == dump(built), round, "loadFromText");
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  file.write(saveToString(fromText).toUtf8()) > 0,
              round, "write");
        file.close();
        LumoMapModel fromFile;
        check(loadFile(fromFile, path) && dump(fromFile) == dump(built), round, "loadFromFile");

        LumoMapModel legacy;
        const QString self = RecordKeys::hexKey(quint32(0x1000 * (thread + 1) + round));
        check(load(legacy,
                   QStringLiteral("<map><c><s>%1</s><n>T</n></c><l><c>%1</c><pn>%2</pn><x>12</x></l></map>")
                       .arg(self)
                       .arg(round % 16)) &&
                  legacy.fixtureTemplates.size() == 16,
              round, "legacy load");
        for (const auto &entry : RecordKeys::inKeyOrder(legacy.fixtureTemplates))
            seen.counterValues << entry.key;
        LumoMapModel converted;
        check(load(converted, saveToString(legacy)) && records(converted) == records(legacy), round,
              "converted legacy map");
    }
}

bool rising(const QList<quint32> &values)
{
    return std::adjacent_find(values.cbegin(), values.cend(), std::greater_equal<quint32>()) == values.cend();
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
    ThreadRecord first;
    ThreadRecord second;
    std::thread firstThread(runRounds, 0, rounds, directory.filePath(QStringLiteral("0.xml")),
                            std::ref(first));
    std::thread secondThread(runRounds, 1, rounds, directory.filePath(QStringLiteral("1.xml")),
                             std::ref(second));
    firstThread.join();
    secondThread.join();

    QVERIFY2(first.problems.isEmpty(), qPrintable(first.problems.join(QLatin1Char('\n'))));
    QVERIFY2(second.problems.isEmpty(), qPrintable(second.problems.join(QLatin1Char('\n'))));
    QCOMPARE(first.counterValues.size(), rounds * 18);
    for (const ThreadRecord *seen : {&first, &second})
        QVERIFY(rising(seen->counterValues) && rising(seen->uniqueIds));
    const QList<quint32> counterValues = first.counterValues + second.counterValues;
    QCOMPARE(QSet<quint32>(counterValues.cbegin(), counterValues.cend()).size(), counterValues.size());
    const QList<quint32> ids = first.uniqueIds + second.uniqueIds;
    QCOMPARE(QSet<quint32>(ids.cbegin(), ids.cend()).size(), ids.size());
}

QTEST_GUILESS_MAIN(TestThreads)
#include "tst_threads.moc"
