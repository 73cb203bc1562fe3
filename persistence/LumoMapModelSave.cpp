#include "MapTextWriter.h"

#include <LumoMapModel.h>

#include <QDateTime>

bool LumoMapModel::save(QTextStream &stream)
{
    mapfileversion = getLibraryMapFileVersion();
    return MapTextWriter::write(*this, stream, QDateTime::currentDateTime());
}
