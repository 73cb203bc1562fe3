#ifndef WIRINGSHEETS_H
#define WIRINGSHEETS_H

// The PDF of wiring sheets: an overview page with the whole map, then one page per interface that
// places nodes, scaled to fill the page, each under a title block (map name, interface name, uid,
// IP and uni, and its ports with their node counts and channels). Pages are portrait or landscape,
// whichever suits the drawing; the marks and labels are those of the picture given.

#include <QPageSize>

class LumoMapModel;
class QIODevice;
struct MapPicture;
struct MapWiring;

bool writeWiringSheets(QIODevice &device, const LumoMapModel &model, const MapWiring &wiring,
                       const MapPicture &picture, QPageSize::PageSizeId pageSize);

#endif // WIRINGSHEETS_H
