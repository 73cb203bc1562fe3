#include "LumoMapPainter.h"

class LumoMapPictureData : public QSharedData
{
public:
    QRectF area;
    bool labels = false;
    bool wiring = false;
    LumoMapPicture::Numbers numbers = LumoMapPicture::NoNumbers;
    bool print = false;
    bool hasOnlyInterface = false;
    quint32 onlyInterfaceUid = 0;
    int onlyPort = 0;
    int fromNode = 0;
    int toNode = 0;
};

LumoMapPicture::LumoMapPicture() : d(new LumoMapPictureData) {}
LumoMapPicture::LumoMapPicture(const LumoMapPicture &other) = default;
LumoMapPicture::LumoMapPicture(LumoMapPicture &&other) noexcept = default;
LumoMapPicture &LumoMapPicture::operator=(const LumoMapPicture &other) = default;
LumoMapPicture &LumoMapPicture::operator=(LumoMapPicture &&other) noexcept = default;
LumoMapPicture::~LumoMapPicture() = default;

QRectF LumoMapPicture::area() const { return d->area; }
void LumoMapPicture::setArea(const QRectF &area) { d->area = area; }

bool LumoMapPicture::labels() const { return d->labels; }
void LumoMapPicture::setLabels(bool labels) { d->labels = labels; }

bool LumoMapPicture::wiring() const { return d->wiring; }
void LumoMapPicture::setWiring(bool wiring) { d->wiring = wiring; }

LumoMapPicture::Numbers LumoMapPicture::numbers() const { return d->numbers; }
void LumoMapPicture::setNumbers(Numbers numbers) { d->numbers = numbers; }

bool LumoMapPicture::print() const { return d->print; }
void LumoMapPicture::setPrint(bool print) { d->print = print; }

bool LumoMapPicture::hasOnlyInterface() const { return d->hasOnlyInterface; }
quint32 LumoMapPicture::onlyInterfaceUid() const { return d->hasOnlyInterface ? d->onlyInterfaceUid : 0; }
void LumoMapPicture::setOnlyInterfaceUid(quint32 uid)
{
    d->hasOnlyInterface = true;
    d->onlyInterfaceUid = uid;
}
void LumoMapPicture::clearOnlyInterface()
{
    d->hasOnlyInterface = false;
    d->onlyInterfaceUid = 0;
}

int LumoMapPicture::onlyPort() const { return d->onlyPort; }
void LumoMapPicture::setOnlyPort(int port) { d->onlyPort = port; }

int LumoMapPicture::fromNode() const { return d->fromNode; }
void LumoMapPicture::setFromNode(int chainNumber) { d->fromNode = chainNumber; }

int LumoMapPicture::toNode() const { return d->toNode; }
void LumoMapPicture::setToNode(int chainNumber) { d->toNode = chainNumber; }

QColor LumoMapPicture::unknownRegion() { return QColor(160, 160, 160); }

QColor LumoMapPicture::background() const { return d->print ? QColor(Qt::white) : QColor(24, 26, 32); }

// Labels stand above the outlines and first-node squares stick out of the chains' ends, so either
// needs more room than the dots alone.
double LumoMapPicture::margin() const { return d->labels || d->wiring ? 44.0 : 24.0; }
