#include "LumoOutputOptions.h"

#include <algorithm>

class LumoOutputOptionsData : public QSharedData
{
public:
    LumoOutputOptions::Protocol protocol = LumoOutputOptions::Sacn;
    QHostAddress destination;
    bool multicast = false;
    int priority = 100;
    QString sourceName = QStringLiteral("LumoMap");
    QUuid cid;
    bool preview = false;
    int framesPerSecond = 40;
    bool dryRun = false;
};

LumoOutputOptions::LumoOutputOptions() : d(new LumoOutputOptionsData) {}
LumoOutputOptions::LumoOutputOptions(const LumoOutputOptions &other) = default;
LumoOutputOptions &LumoOutputOptions::operator=(const LumoOutputOptions &other) = default;
LumoOutputOptions::~LumoOutputOptions() = default;

LumoOutputOptions::Protocol LumoOutputOptions::protocol() const { return d->protocol; }
void LumoOutputOptions::setProtocol(Protocol protocol) { d->protocol = protocol == ArtNet ? ArtNet : Sacn; }

QHostAddress LumoOutputOptions::destination() const { return d->destination; }
void LumoOutputOptions::setDestination(const QHostAddress &address) { d->destination = address; }

bool LumoOutputOptions::multicast() const { return d->multicast; }
void LumoOutputOptions::setMulticast(bool multicast) { d->multicast = multicast; }

int LumoOutputOptions::priority() const { return d->priority; }
void LumoOutputOptions::setPriority(int priority) { d->priority = std::clamp(priority, 0, 200); }

QString LumoOutputOptions::sourceName() const { return d->sourceName; }
void LumoOutputOptions::setSourceName(const QString &name)
{
    // The packet's field holds 64 bytes with a terminating zero.
    QString kept = name.left(63);
    if (!kept.isEmpty() && kept.at(kept.size() - 1).isHighSurrogate())
        kept.chop(1);
    while (kept.toUtf8().size() > 63)
        kept.chop(kept.size() >= 2 && kept.at(kept.size() - 1).isLowSurrogate() ? 2 : 1);
    d->sourceName = kept;
}

QUuid LumoOutputOptions::cid() const { return d->cid; }
void LumoOutputOptions::setCid(const QUuid &cid) { d->cid = cid; }

bool LumoOutputOptions::preview() const { return d->preview; }
void LumoOutputOptions::setPreview(bool preview) { d->preview = preview; }

int LumoOutputOptions::framesPerSecond() const { return d->framesPerSecond; }
void LumoOutputOptions::setFramesPerSecond(int framesPerSecond)
{
    d->framesPerSecond = std::clamp(framesPerSecond, 1, 1000);
}

bool LumoOutputOptions::dryRun() const { return d->dryRun; }
void LumoOutputOptions::setDryRun(bool dryRun) { d->dryRun = dryRun; }
