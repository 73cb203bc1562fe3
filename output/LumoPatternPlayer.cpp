#include "LumoPatternPlayer.h"

#include "LumoFrame.h"
#include "LumoOutputSender.h"
#include "LumoTestPattern.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

class LumoPatternPlayerPrivate
{
public:
    LumoPatternPlayerPrivate(LumoOutputSender &sender, LumoFrame &frame, const LumoTestPattern &pattern)
        : sender(sender), frame(frame), pattern(pattern)
    {
    }

    // Milliseconds between two frames at the sender's rate.
    qint64 frameInterval() const { return std::max(1000 / std::max(sender.options().framesPerSecond(), 1), 1); }
    // Writes the step due `msecs` after the start into the frame when it is not there yet, and reports a
    // changed description.
    void showStepAt(qint64 msecs);
    // Hands the sender's warnings to the handler.
    void reportWarnings();
    bool playLive();
    bool playDry();

    LumoOutputSender &sender;
    LumoFrame &frame;
    const LumoTestPattern &pattern;
    qint64 stepMsecs = 500;
    qint64 durationMsecs = -1;
    std::function<void(const QString &)> statusHandler;
    std::function<void(const QStringList &)> warningHandler;
    std::function<bool()> stopRequest;
    int shownStep = -1;
    QString shownStatus;
};

void LumoPatternPlayerPrivate::showStepAt(qint64 msecs)
{
    const int step = int(msecs / stepMsecs % (qint64(1) << 30));
    if (step == shownStep)
        return;
    shownStep = step;
    pattern.apply(frame, step);
    const QString status = pattern.describe(frame, step);
    if (status == shownStatus)
        return;
    shownStatus = status;
    if (statusHandler)
        statusHandler(status);
}

void LumoPatternPlayerPrivate::reportWarnings()
{
    const QStringList warnings = sender.takeWarnings();
    if (!warnings.isEmpty() && warningHandler)
        warningHandler(warnings);
}

bool LumoPatternPlayerPrivate::playLive()
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(int(frameInterval()));
    bool played = true;
    // No exception may cross the event loop: one from a handler ends the run.
    QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
        try {
            const qint64 elapsed = clock.elapsed();
            if ((stopRequest && stopRequest()) || (durationMsecs >= 0 && elapsed >= durationMsecs)) {
                loop.quit();
                return;
            }
            showStepAt(elapsed);
            sender.send(frame);
            reportWarnings();
        } catch (...) {
            played = false;
            loop.quit();
        }
    });
    ticks.start();
    loop.exec();
    ticks.stop();
    sender.stop();
    return played;
}

bool LumoPatternPlayerPrivate::playDry()
{
    if (durationMsecs < 0)
        return false;
    const qint64 interval = frameInterval();
    for (qint64 msecs = 0; msecs < durationMsecs; msecs += interval) {
        showStepAt(msecs);
        sender.sendAt(frame, msecs);
        reportWarnings();
    }
    sender.stop(durationMsecs);
    return true;
}

LumoPatternPlayer::LumoPatternPlayer(LumoOutputSender &sender, LumoFrame &frame, const LumoTestPattern &pattern)
    : d(new LumoPatternPlayerPrivate(sender, frame, pattern))
{
}

LumoPatternPlayer::~LumoPatternPlayer() = default;

qint64 LumoPatternPlayer::stepMsecs() const
{
    return d->stepMsecs;
}

void LumoPatternPlayer::setStepMsecs(qint64 msecs)
{
    d->stepMsecs = std::max<qint64>(msecs, 1);
}

qint64 LumoPatternPlayer::durationMsecs() const
{
    return d->durationMsecs;
}

void LumoPatternPlayer::setDurationMsecs(qint64 msecs)
{
    d->durationMsecs = std::max<qint64>(msecs, -1);
}

void LumoPatternPlayer::setStatusHandler(const std::function<void(const QString &)> &handler)
{
    d->statusHandler = handler;
}

void LumoPatternPlayer::setWarningHandler(const std::function<void(const QStringList &)> &handler)
{
    d->warningHandler = handler;
}

void LumoPatternPlayer::setStopRequest(const std::function<bool()> &request)
{
    d->stopRequest = request;
}

bool LumoPatternPlayer::play()
{
    d->shownStep = -1;
    d->shownStatus.clear();
    try {
        return d->sender.options().dryRun() ? d->playDry() : d->playLive();
    } catch (...) {
        d->sender.stop();
        return false;
    }
}
