#ifndef RECORDFILING_H
#define RECORDFILING_H

// Filing a finished record into the document's collection under its key. A record already filed
// under that key is displaced: it is destroyed, unless the collection still holds it under another
// key, and nothing the document holds keeps pointing at it. A displaced interface leaves
// interfacesByOrder; the fixtures of a displaced interface template leave fixturesByTemplate of the
// document and of every interface.

class LumoFixtureTemplate;
class LumoInterface;
class LumoInterfaceTemplate;
class LumoMapModel;
class LumoRegion;

namespace RecordFiling {

void fileRegion(LumoMapModel &model, LumoRegion *region);
void fileFixtureTemplate(LumoMapModel &model, LumoFixtureTemplate *fixtureTemplate);
void fileInterfaceTemplate(LumoMapModel &model, LumoInterfaceTemplate *interfaceTemplate);
// Files the interface under its uid and, when `byOrder` is set, also under its order in
// interfacesByOrder (a further entry when that order is present already).
void fileInterface(LumoMapModel &model, LumoInterface *interface, bool byOrder);

} // namespace RecordFiling

#endif // RECORDFILING_H
