#include "LumoMapModel.h"
#include "LumoMapModel_p.h"

#include <QHash>
#include <QMutex>
#include <QTime>

#include <atomic>
#include <cstdlib>

namespace {

// The places of the documents whose last load failed with one (LumoMapModel_p.h). Most documents
// never have one: while the table is empty, no call takes the lock.
struct ErrorPosition
{
    int line;
    int column;
};

struct ErrorPositions
{
    QMutex mutex;
    QHash<const LumoMapModel *, ErrorPosition> byModel;
    std::atomic<int> count{0};
};

// Never destroyed: a document that is itself a static object may be destroyed after every other
// static object, at the very end of the process, and still removes its entry.
ErrorPositions &errorPositions()
{
    static ErrorPositions *const positions = new ErrorPositions;
    return *positions;
}

ErrorPosition errorPositionOf(const LumoMapModel *model)
{
    ErrorPositions &positions = errorPositions();
    if (positions.count.load(std::memory_order_acquire) == 0)
        return {0, 0};
    QMutexLocker lock(&positions.mutex);
    return positions.byModel.value(model, ErrorPosition{0, 0});
}

} // namespace

void LumoMapModelPrivate::setErrorPosition(const LumoMapModel &model, int line, int column)
{
    ErrorPositions &positions = errorPositions();
    if (line <= 0 || column <= 0) {
        if (positions.count.load(std::memory_order_acquire) == 0)
            return;
        QMutexLocker lock(&positions.mutex);
        if (positions.byModel.remove(&model) > 0)
            positions.count.fetch_sub(1, std::memory_order_release);
        return;
    }
    QMutexLocker lock(&positions.mutex);
    const qsizetype before = positions.byModel.size();
    positions.byModel.insert(&model, ErrorPosition{line, column});
    if (positions.byModel.size() > before)
        positions.count.fetch_add(1, std::memory_order_release);
}

LumoMapModel::LumoMapModel()
    : mapfileversion(2), mapname(QLatin1String("")), appname(QLatin1String("")), appversion(QLatin1String("")),
      vminx(0.0), vminy(0.0), vmaxx(0.0), vmaxy(0.0), scalexfit(true), scaleyfit(true), xoffset(0.0),
      xscale(1.0), yoffset(0.0), yscale(1.0), translateOldCoordinatesToNew(false)
{
    std::srand(static_cast<unsigned>(QTime::currentTime().msec()));
}

LumoMapModel::LumoMapModel(const LumoMapModel &other)
    : mapfileversion(other.mapfileversion), mapname(other.mapname), appname(other.appname),
      appversion(other.appversion), savedatetime(other.savedatetime), vminx(other.vminx), vminy(other.vminy),
      vmaxx(other.vmaxx), vmaxy(other.vmaxy), scalexfit(other.scalexfit), scaleyfit(other.scaleyfit),
      xoffset(other.xoffset), xscale(other.xscale), yoffset(other.yoffset), yscale(other.yscale),
      translateOldCoordinatesToNew(other.translateOldCoordinatesToNew), lastError(other.lastError)
{
    copyRecordsFrom(other);
    LumoMapModelPrivate::setErrorPosition(*this, other.lastErrorLine(), other.lastErrorColumn());
}

LumoMapModel &LumoMapModel::operator=(const LumoMapModel &other)
{
    if (this == &other)
        return *this;
    LumoMapModel copy(other);
    LumoMapModelPrivate::setErrorPosition(*this, copy.lastErrorLine(), copy.lastErrorColumn());
    deleteRecords();
    mapfileversion = copy.mapfileversion;
    mapname = copy.mapname;
    appname = copy.appname;
    appversion = copy.appversion;
    savedatetime = copy.savedatetime;
    vminx = copy.vminx;
    vminy = copy.vminy;
    vmaxx = copy.vmaxx;
    vmaxy = copy.vmaxy;
    scalexfit = copy.scalexfit;
    scaleyfit = copy.scaleyfit;
    xoffset = copy.xoffset;
    xscale = copy.xscale;
    yoffset = copy.yoffset;
    yscale = copy.yscale;
    translateOldCoordinatesToNew = copy.translateOldCoordinatesToNew;
    lastError = copy.lastError;
    // The temporary's records move over; the emptied temporary then destroys nothing.
    regions.swap(copy.regions);
    fixtureTemplates.swap(copy.fixtureTemplates);
    fixturesByTemplate.swap(copy.fixturesByTemplate);
    interfaceTemplates.swap(copy.interfaceTemplates);
    interfaces.swap(copy.interfaces);
    interfacesByOrder.swap(copy.interfacesByOrder);
    return *this;
}

LumoMapModel::~LumoMapModel()
{
    deleteRecords();
    LumoMapModelPrivate::setErrorPosition(*this, 0, 0);
}

bool LumoMapModel::clear()
{
    return true;
}

QString LumoMapModel::getVersion() const
{
    return QStringLiteral("Custom KVXPlayer Version");
}

int LumoMapModel::getBuildNumber() const
{
    return 0;
}

quint32 LumoMapModel::getLibraryMapFileVersion() const
{
    return 2;
}

quint32 LumoMapModel::getMapFileVersion() const
{
    return mapfileversion;
}

void LumoMapModel::setMapName(const QString &name)
{
    mapname = name;
}

QString LumoMapModel::getMapName() const
{
    return mapname;
}

void LumoMapModel::setCreatingAppName(const QString &name)
{
    appname = name;
}

QString LumoMapModel::getCreatingAppName() const
{
    return appname;
}

void LumoMapModel::setCreatingAppVersion(const QString &version)
{
    appversion = version;
}

QString LumoMapModel::getCreatingAppVersion() const
{
    return appversion;
}

QString LumoMapModel::getSaveDateTime() const
{
    return savedatetime;
}

QString &LumoMapModel::getLastError()
{
    return lastError;
}

int LumoMapModel::lastErrorLine() const
{
    return errorPositionOf(this).line;
}

int LumoMapModel::lastErrorColumn() const
{
    return errorPositionOf(this).column;
}

void LumoMapModel::setTranslateOldCoordinatesToNew(bool translate)
{
    translateOldCoordinatesToNew = translate;
}

bool LumoMapModel::getTranslateOldCoordinatesToNew() const
{
    return translateOldCoordinatesToNew;
}

namespace {

// The last identifier handed out by getUniqueID, shared by every document of the process. It starts
// from one value of rand(), drawn on the first call; atomic so that threads never receive the same
// value.
std::atomic<quint32> &lastUniqueId()
{
    static std::atomic<quint32> last{static_cast<quint32>(std::rand())};
    return last;
}

} // namespace

quint32 LumoMapModel::getUniqueID()
{
    for (;;) {
        const quint32 candidate = lastUniqueId().fetch_add(1, std::memory_order_relaxed) + 1;
        if (!fixtureTemplates.contains(candidate) && !interfaceTemplates.contains(candidate)
            && !interfaces.contains(candidate) && !regions.contains(candidate)) {
            return candidate;
        }
    }
}
