// Frames against the patch list, the sender's refusals, rate and keep-alive (counted in a dry run),
// which nodes each test pattern lights, and a pattern played for a while. What the packets hold is checked by receivers others wrote
// (tests/output).

#include <FrameCheck.h>
#include <TestSupport.h>

#include <LumoFrame.h>
#include <LumoOutputSender.h>
#include <LumoPatternPlayer.h>
#include <LumoTestPattern.h>

#include <QRandomGenerator>
#include <QTest>

Q_DECLARE_METATYPE(LumoOutputOptions::Protocol)
Q_DECLARE_METATYPE(LumoOutputSender::Error)
Q_DECLARE_METATYPE(LumoTestPattern::Kind)

namespace {

void loadStage(LumoMapModel &map)
{
    QVERIFY(map.loadFromFile(QStringLiteral(LUMOMAP_SOURCE_DIR "/examples/stage.lumomap.xml")));
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void againstPatchList_data();
    void againstPatchList();
    void sender_data();
    void sender();
    void patterns_data();
    void patterns();
    void player_data();
    void player();
};

void TestFrames::againstPatchList_data()
{
    QTest::addColumn<quint32>("firstSeed");
    QTest::addColumn<qint64>("startUniverse");
    QTest::addRow("random maps") << 1u << qint64(-2);
    QTest::addRow("random maps at the top universe") << 1000u << qint64(65535);
    QTest::addRow("random maps below the top universe") << 2000u << qint64(65533);
}

void TestFrames::againstPatchList()
{
    QFETCH(quint32, firstSeed);
    QFETCH(qint64, startUniverse);
    for (quint32 seed = firstSeed; seed < firstSeed + 300; ++seed) {
        QRandomGenerator random(seed);
        LumoMapModel map;
        LumoWiringOptions options = FrameCheck::buildMap(map, [&](int least, int most) {
            return random.bounded(least, most + 1);
        });
        if (startUniverse >= -1)
            options.setStartUniverse(startUniverse);
        const LumoWiring wiring(map, options);
        LumoFrame frame(wiring);
        const QString difference =
            FrameCheck::difference(wiring, frame, [](int node, int channel) { return quint8(node * 7 + channel + 1); });
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(difference)));
    }
}

void TestFrames::sender_data()
{
    QTest::addColumn<LumoOutputOptions::Protocol>("protocol");
    QTest::addColumn<qint64>("startUniverse");
    QTest::addColumn<QString>("firstIp"); // of the first interface; the second has 10.0.0.32
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("multicast");
    QTest::addColumn<int>("fps");
    QTest::addColumn<bool>("changing"); // a new frame every 25 ms, or the same one
    QTest::addColumn<LumoOutputSender::Error>("error");
    QTest::addColumn<int>("packets");   // in one second, then with the end of the streams
    QTest::addColumn<int>("warnings");

    const auto sacn = LumoOutputOptions::Sacn;
    const auto artnet = LumoOutputOptions::ArtNet;
    const QString ip = QStringLiteral("10.0.0.31");
    // Each of the two interfaces uses two universes: four streams.
    QTest::addRow("sACN universe 0") << sacn << qint64(-1) << ip << QString() << false << 40 << false
                                     << LumoOutputSender::UniverseOutOfRange << 0 << 0;
    QTest::addRow("sACN universe 64000") << sacn << qint64(63999) << ip << QString() << false << 40 << false
                                         << LumoOutputSender::UniverseOutOfRange << 0 << 0;
    QTest::addRow("Art-Net port-address 32768") << artnet << qint64(32767) << ip << QString() << false << 40 << false
                                                << LumoOutputSender::UniverseOutOfRange << 0 << 0;
    QTest::addRow("Art-Net multicast") << artnet << qint64(0) << ip << QString() << true << 40 << false
                                       << LumoOutputSender::InvalidOptions << 0 << 0;
    QTest::addRow("unchanged, sent again after 800 ms, three terminations")
        << sacn << qint64(63998) << ip << QString() << false << 40 << false << LumoOutputSender::NoError << 8 << 0;
    QTest::addRow("unchanged Art-Net, one frame of zeros to end")
        << artnet << qint64(0) << ip << QString() << false << 40 << false << LumoOutputSender::NoError << 8 << 0;
    // One universe changes every frame; the three others are sent again after 800 ms.
    QTest::addRow("changing at 40 a second") << sacn << qint64(1) << ip << QString() << false << 40 << true
                                             << LumoOutputSender::NoError << 46 << 0;
    QTest::addRow("changing, at most 10 a second") << artnet << qint64(1) << ip << QString() << false << 10 << true
                                                   << LumoOutputSender::NoError << 16 << 0;
    QTest::addRow("interface without IP left out") << sacn << qint64(1) << QStringLiteral("0.0.0.0") << QString()
                                                   << false << 40 << false << LumoOutputSender::NoError << 4 << 1;
    QTest::addRow("interface without IP sent to one address")
        << sacn << qint64(1) << QString() << QStringLiteral("127.0.0.1") << false << 40 << false
        << LumoOutputSender::NoError << 8 << 1; // both controllers send universes 1 and 2 to one receiver
    QTest::addRow("sACN multicast") << sacn << qint64(1) << QString() << QString() << true << 40 << false
                                    << LumoOutputSender::NoError << 8 << 1;
}

void TestFrames::sender()
{
    QFETCH(LumoOutputOptions::Protocol, protocol);
    QFETCH(qint64, startUniverse);
    QFETCH(QString, firstIp);
    QFETCH(QString, to);
    QFETCH(bool, multicast);
    QFETCH(int, fps);
    QFETCH(bool, changing);
    QFETCH(LumoOutputSender::Error, error);
    QFETCH(int, packets);
    QFETCH(int, warnings);

    LumoMapModel map;
    loadStage(map);
    map.interfaces.value(0x300)->ip = firstIp;
    LumoWiringOptions wiringOptions;
    wiringOptions.setStartUniverse(startUniverse);
    LumoFrame frame(LumoWiring(map, wiringOptions));
    LumoOutputOptions options;
    options.setProtocol(protocol);
    options.setDestination(QHostAddress(to));
    options.setMulticast(multicast);
    options.setFramesPerSecond(fps);
    options.setDryRun(true);
    LumoOutputSender sender(options);
    QCOMPARE(sender.start(frame), error == LumoOutputSender::NoError);
    QCOMPARE(sender.error(), error);
    QCOMPARE(sender.packetCount(), qint64(0));
    if (error != LumoOutputSender::NoError) {
        QVERIFY(sender.errorString().contains(QLatin1String("universe")) != (error == LumoOutputSender::InvalidOptions));
        QVERIFY(!sender.sendAt(frame, 0));
        return;
    }
    for (int msecs = 0; msecs < 1000; msecs += 25) {
        const quint8 level = quint8(msecs / 25 + 1);
        if (changing)
            frame.setNode(0, &level, 1);
        QVERIFY(sender.sendAt(frame, msecs));
    }
    QCOMPARE(sender.packetCount(), qint64(packets));
    const int streams = packets == 4 ? 2 : 4;
    QVERIFY(sender.stop(1000));
    QCOMPARE(sender.packetCount(), qint64(packets + streams * (protocol == LumoOutputOptions::Sacn ? 4 : 1)));
    QCOMPARE(int(sender.takeWarnings().size()), warnings);
    QVERIFY(!sender.sendAt(frame, 1025)); // stopped
}

void TestFrames::patterns_data()
{
    QTest::addColumn<LumoTestPattern::Kind>("kind");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("step");
    // Per port of the first interface (8 and 2 nodes), the level of each node; the second interface's
    // ports are left dark by the selection.
    QTest::addColumn<QList<QByteArray>>("levels");
    QTest::addColumn<QString>("description");

    const QByteArray l(1, char(200));
    const QByteArray o(1, '\0');
    const QByteArray dim(1, char(25));
    QTest::addRow("chase") << LumoTestPattern::Chase << 0 << 2 << QList<QByteArray>{o + o + l + o + o + o + o + o, l + o}
                           << QStringLiteral("Upstage Truss port 1: node 3 of 8, universe 7 channel 7 (and 1 more port)");
    QTest::addRow("chase wraps") << LumoTestPattern::Chase << 2 << 9 << QList<QByteArray>{o.repeated(8), o + l}
                                 << QStringLiteral("Upstage Truss port 2: node 2 of 2, universe 8 channel 4");
    QTest::addRow("fill") << LumoTestPattern::Fill << 1 << 2 << QList<QByteArray>{l + l + l + o + o + o + o + o, o + o}
                          << QStringLiteral("Upstage Truss port 1: nodes 1-3 of 8, the last at universe 7 channel 7");
    QTest::addRow("ports") << LumoTestPattern::Ports << 0 << 0 << QList<QByteArray>{l + dim.repeated(7), l + l}
                           << QStringLiteral("on port P the first P nodes lit, the rest dim: Upstage Truss port 1: "
                                             "1 nodes lit of 8 (and 1 more port)");
    QTest::addRow("node 8, beyond the second port") << LumoTestPattern::Node << 0 << 5
                                                    << QList<QByteArray>{o.repeated(7) + l, o + o}
                                                    << QStringLiteral("Upstage Truss port 1: node 8 of 8, universe 7 "
                                                                      "channel 22 (and 1 more port)");
    QTest::addRow("off") << LumoTestPattern::Off << 0 << 0 << QList<QByteArray>{o.repeated(8), o + o}
                         << QStringLiteral("everything off");
}

void TestFrames::patterns()
{
    QFETCH(LumoTestPattern::Kind, kind);
    QFETCH(int, port);
    QFETCH(int, step);
    QFETCH(QList<QByteArray>, levels);
    QFETCH(QString, description);

    LumoMapModel map;
    loadStage(map);
    LumoWiringOptions options;
    options.setStartUniverse(7);
    LumoFrame frame(LumoWiring(map, options));
    LumoTestPattern pattern;
    pattern.setKind(kind);
    pattern.setLevel(200);
    pattern.setNode(8);
    pattern.setInterfaces({0x300});
    pattern.setPort(port);
    frame.setNodeLevel(frame.nodeCount() - 1, 99); // the pattern starts from a dark frame
    pattern.apply(frame, step);
    QCOMPARE(pattern.describe(frame, step), description);
    QByteArray expected[2];
    for (int p = 0; p < 2; ++p) {
        expected[p] = QByteArray(510, '\0');
        for (int n = 0; n < levels.at(p).size(); ++n)
            expected[p].replace(3 * n, 3, QByteArray(3, levels.at(p).at(n)));
    }
    QCOMPARE(frame.universeData(frame.universeIndex(0x300, 7)), expected[0]);
    QCOMPARE(frame.universeData(frame.universeIndex(0x300, 8)), expected[1]);
    for (int u = 0; u < frame.universeCount(); ++u) {
        if (frame.universeInterface(u) != 0x300)
            QCOMPARE(int(frame.universeData(u).count('\0')), 510);
    }
}

void TestFrames::player_data()
{
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("stepMsecs");
    QTest::addColumn<bool>("played");
    QTest::addColumn<QStringList>("statuses"); // the end of each status reported, in order

    QTest::addRow("chase, a status per step") << qint64(350) << qint64(100) << true
                                              << QStringList{QStringLiteral("node 1 of 8, universe 7 channel 1"),
                                                             QStringLiteral("node 2 of 8, universe 7 channel 4"),
                                                             QStringLiteral("node 3 of 8, universe 7 channel 7"),
                                                             QStringLiteral("node 4 of 8, universe 7 channel 10")};
    QTest::addRow("a step longer than the run") << qint64(500) << qint64(1000) << true
                                                << QStringList{QStringLiteral("node 1 of 8, universe 7 channel 1")};
    QTest::addRow("no time: the streams end at once") << qint64(0) << qint64(100) << true << QStringList{};
    QTest::addRow("a dry run needs a duration") << qint64(-1) << qint64(100) << false << QStringList{};
}

void TestFrames::player()
{
    QFETCH(qint64, duration);
    QFETCH(qint64, stepMsecs);
    QFETCH(bool, played);
    QFETCH(QStringList, statuses);

    LumoMapModel map;
    loadStage(map);
    LumoWiringOptions wiringOptions;
    wiringOptions.setStartUniverse(7);
    LumoFrame frame(LumoWiring(map, wiringOptions));
    LumoTestPattern pattern;
    pattern.setInterfaces({0x300});
    pattern.setPort(1);
    LumoOutputOptions options;
    options.setDryRun(true);
    LumoOutputSender sender(options);
    QVERIFY(sender.start(frame));
    LumoPatternPlayer player(sender, frame, pattern);
    player.setDurationMsecs(duration);
    player.setStepMsecs(stepMsecs);
    QStringList reported;
    player.setStatusHandler([&reported](const QString &status) { reported.append(status); });
    QCOMPARE(player.play(), played);
    QCOMPARE(reported.size(), statuses.size());
    for (int i = 0; i < statuses.size(); ++i)
        QVERIFY2(reported.at(i).endsWith(statuses.at(i)), qPrintable(reported.at(i)));
    // A played run ends the streams; a refused one sends nothing and leaves the sender running.
    QCOMPARE(sender.packetCount() > 0, played);
    QCOMPARE(sender.sendAt(frame, duration + 1000), !played);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
