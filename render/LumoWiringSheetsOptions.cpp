#include "LumoWiringSheets.h"

class LumoWiringSheetsOptionsData : public QSharedData
{
public:
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    LumoMapPicture picture;
    QString fileName;
    QString savedTime;
    bool overview = true;
};

LumoWiringSheetsOptions::LumoWiringSheetsOptions() : d(new LumoWiringSheetsOptionsData) {}
LumoWiringSheetsOptions::LumoWiringSheetsOptions(const LumoWiringSheetsOptions &other) = default;
LumoWiringSheetsOptions::LumoWiringSheetsOptions(LumoWiringSheetsOptions &&other) noexcept = default;
LumoWiringSheetsOptions &LumoWiringSheetsOptions::operator=(const LumoWiringSheetsOptions &other) = default;
LumoWiringSheetsOptions &
LumoWiringSheetsOptions::operator=(LumoWiringSheetsOptions &&other) noexcept = default;
LumoWiringSheetsOptions::~LumoWiringSheetsOptions() = default;

QPageSize::PageSizeId LumoWiringSheetsOptions::pageSize() const { return d->pageSize; }
void LumoWiringSheetsOptions::setPageSize(QPageSize::PageSizeId pageSize) { d->pageSize = pageSize; }

LumoMapPicture LumoWiringSheetsOptions::picture() const { return d->picture; }
void LumoWiringSheetsOptions::setPicture(const LumoMapPicture &picture) { d->picture = picture; }

QString LumoWiringSheetsOptions::fileName() const { return d->fileName; }
void LumoWiringSheetsOptions::setFileName(const QString &fileName) { d->fileName = fileName; }

QString LumoWiringSheetsOptions::savedTime() const { return d->savedTime; }
void LumoWiringSheetsOptions::setSavedTime(const QString &savedTime) { d->savedTime = savedTime; }

bool LumoWiringSheetsOptions::overview() const { return d->overview; }
void LumoWiringSheetsOptions::setOverview(bool overview) { d->overview = overview; }
