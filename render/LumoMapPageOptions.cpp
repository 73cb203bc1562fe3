#include "LumoMapPage.h"

class LumoMapPageOptionsData : public QSharedData
{
public:
    LumoMapPicture picture;
    QString fileName;
    QString savedTime;
};

LumoMapPageOptions::LumoMapPageOptions() : d(new LumoMapPageOptionsData) {}
LumoMapPageOptions::LumoMapPageOptions(const LumoMapPageOptions &other) = default;
LumoMapPageOptions::LumoMapPageOptions(LumoMapPageOptions &&other) noexcept = default;
LumoMapPageOptions &LumoMapPageOptions::operator=(const LumoMapPageOptions &other) = default;
LumoMapPageOptions &LumoMapPageOptions::operator=(LumoMapPageOptions &&other) noexcept = default;
LumoMapPageOptions::~LumoMapPageOptions() = default;

LumoMapPicture LumoMapPageOptions::picture() const { return d->picture; }
void LumoMapPageOptions::setPicture(const LumoMapPicture &picture) { d->picture = picture; }

QString LumoMapPageOptions::fileName() const { return d->fileName; }
void LumoMapPageOptions::setFileName(const QString &fileName) { d->fileName = fileName; }

QString LumoMapPageOptions::savedTime() const { return d->savedTime; }
void LumoMapPageOptions::setSavedTime(const QString &savedTime) { d->savedTime = savedTime; }
