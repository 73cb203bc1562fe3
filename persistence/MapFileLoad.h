#ifndef MAPFILELOAD_H
#define MAPFILELOAD_H

// A load from a file as LumoMapModel::loadFromFile does it, telling beyond its result and lastError
// what the file turned out to be: LumoMapFile names a file that is no map by it. Internal to the
// library.

#include <QString>

class LumoMapModel;

struct MapFileLoad
{
    enum class Root
    {
        None,    // no element was read: the file is missing, cannot be opened, or the XML fails before it
        Current, // <lumomap>
        Legacy,  // <map>
        Other,   // another root element, refused; its name is in rootName
    };
    Root root = Root::None;
    QString rootName;
    // When the XML itself is malformed: what the reader found, without its place (empty when the
    // document is well-formed as far as it was read, or the parser refused first).
    QString malformed;
};

// LumoMapModel::loadFromFile, filling `report`.
bool loadMapFile(LumoMapModel &model, const QString &fileName, MapFileLoad &report);

#endif // MAPFILELOAD_H
