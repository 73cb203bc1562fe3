#ifndef LUMOPATTERNPLAYER_H
#define LUMOPATTERNPLAYER_H

/// \file
/// Plays a test pattern through a sender for a while (library LumoMapOutput, target LumoMap::Output).

#include "lumomapoutput_export.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class LumoFrame;
class LumoOutputSender;
class LumoPatternPlayerPrivate;
class LumoTestPattern;

/// Steps through a LumoTestPattern and sends each frame with a LumoOutputSender, for a set time or until
/// asked to stop; then ends the streams with LumoOutputSender::stop().
///
/// Step `s` of the pattern is shown from `s * stepMsecs()` milliseconds after the start (wrapping after
/// 2^30 steps); a frame goes out every `1000 / framesPerSecond` milliseconds of the sender's options.
/// When the sender's options ask for a dry run, play() makes every packet of the whole duration at once,
/// time-stamped as it would be sent; otherwise it sends in real time, running a local Qt event loop
/// (a QCoreApplication must exist).
///
/// The sender must have been started (LumoOutputSender::start()) with `frame`; the sender, the frame and
/// the pattern must outlive the player.
class LUMOMAPOUTPUT_EXPORT LumoPatternPlayer
{
public:
    /// A player of `pattern` that writes each step into `frame` and sends it with `sender`; it plays for
    /// 500 ms a step until stopped.
    LumoPatternPlayer(LumoOutputSender &sender, LumoFrame &frame, const LumoTestPattern &pattern);
    /// Destroys the player; the sender is left as it is.
    ~LumoPatternPlayer();
    LumoPatternPlayer(const LumoPatternPlayer &) = delete;
    LumoPatternPlayer &operator=(const LumoPatternPlayer &) = delete;

    /// Milliseconds per step of the pattern (default 500).
    qint64 stepMsecs() const;
    /// Sets the milliseconds per step; values below 1 count as 1.
    void setStepMsecs(qint64 msecs);
    /// Milliseconds to play; -1 (the default) plays until the stop request says so.
    qint64 durationMsecs() const;
    /// Sets the milliseconds to play; below 0, until the stop request says so.
    void setDurationMsecs(qint64 msecs);

    /// Called with LumoTestPattern::describe() whenever the description of what is lit changes.
    void setStatusHandler(const std::function<void(const QString &)> &handler);
    /// Called with LumoOutputSender::takeWarnings() after a frame was sent, when there are any.
    void setWarningHandler(const std::function<void(const QStringList &)> &handler);
    /// Asked before every frame of a live run; when it returns true, the run ends.
    void setStopRequest(const std::function<bool()> &request);

    /// Plays the pattern, then stops the sender (a frame of zeros, the end of the streams). False, having
    /// sent nothing, when a dry run has no duration.
    bool play();

private:
    std::unique_ptr<LumoPatternPlayerPrivate> d;
};

#endif // LUMOPATTERNPLAYER_H
