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

// Deciding whether a displaced record is still held under another key takes a pass over its
// collection. While a FilingScope for the model lives on this thread (the loaders open one around
// each parse), each collection is counted once, at its first displacement, and the counts are kept
// up to date by every filing, so a document with many repeated keys costs linear time, not
// quadratic. Nothing else may change the model's collections while the scope lives.
class FilingScope
{
public:
    explicit FilingScope(const LumoMapModel &model);
    ~FilingScope();
    FilingScope(const FilingScope &) = delete;
    FilingScope &operator=(const FilingScope &) = delete;

    struct State;

private:
    State *m_state;
};

void fileRegion(LumoMapModel &model, LumoRegion *region);
void fileFixtureTemplate(LumoMapModel &model, LumoFixtureTemplate *fixtureTemplate);
void fileInterfaceTemplate(LumoMapModel &model, LumoInterfaceTemplate *interfaceTemplate);
// Files the interface under its uid and, when `byOrder` is set, also under its order in
// interfacesByOrder (a further entry when that order is present already).
void fileInterface(LumoMapModel &model, LumoInterface *interface, bool byOrder);

} // namespace RecordFiling

#endif // RECORDFILING_H
