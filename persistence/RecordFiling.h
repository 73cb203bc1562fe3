#ifndef RECORDFILING_H
#define RECORDFILING_H

// Filing a finished record into the document's collection under its key. A record already filed
// under that key is displaced: it leaves the collection at once, but it is only destroyed by
// release(), at the end of the parse. Then each displaced record that its collection no longer holds
// under any key is destroyed, a displaced interface leaves interfacesByOrder, and the fixtures of a
// displaced interface template leave fixturesByTemplate of the document and of every interface; so
// nothing the document holds points at a destroyed record. Deferring the work to one pass per
// collection keeps a document with many repeated keys linear in time, and no pointer is compared
// with the address of a record that was freed while the parse went on.
//
// Running out of memory: a filing either completes or changes nothing (the record then stays with
// the caller), and release() needs no memory of its own, since the room it works in is reserved as
// records are displaced. So a load that runs out of memory at any point leaves a sound document.

#include <vector>

class LumoFixture;
class LumoFixtureTemplate;
class LumoInterface;
class LumoInterfaceTemplate;
class LumoMapModel;
class LumoRegion;

namespace RecordFiling {

struct DisplacedRecords
{
    std::vector<LumoRegion *> regions;
    std::vector<LumoFixtureTemplate *> fixtureTemplates;
    std::vector<LumoInterfaceTemplate *> interfaceTemplates;
    std::vector<LumoInterface *> interfaces;
    // The room release() works in: a mark for each record of the longest list, and the fixtures of
    // the displaced interface templates.
    std::vector<unsigned char> marks;
    std::vector<const LumoFixture *> fixtures;
};

void fileRegion(LumoMapModel &model, LumoRegion *region, DisplacedRecords &displaced);
void fileFixtureTemplate(LumoMapModel &model, LumoFixtureTemplate *fixtureTemplate,
                         DisplacedRecords &displaced);
void fileInterfaceTemplate(LumoMapModel &model, LumoInterfaceTemplate *interfaceTemplate,
                           DisplacedRecords &displaced);
// Files the interface under its uid and, when `byOrder` is set, also under its order in
// interfacesByOrder (a further entry when that order is present already).
void fileInterface(LumoMapModel &model, LumoInterface *interface, bool byOrder, DisplacedRecords &displaced);

// Destroys the displaced records as described above and empties `displaced`. Should an index of the
// document that another object shares need a copy of its own to drop an entry, and no memory be
// left for it, the records that index still points at are left alive rather than destroyed.
void release(LumoMapModel &model, DisplacedRecords &displaced) noexcept;

} // namespace RecordFiling

#endif // RECORDFILING_H
