#ifndef MAPFILECARRIAGE_H
#define MAPFILECARRIAGE_H

// What a map file carries of a document's values, worked out in memory. A stored value goes into the
// map file as its element text (MapValueFormat) and comes back as the readers convert that text
// (ElementTextConversion, after trimming): a real keeps six significant digits, a colour loses its
// alpha (an invalid one reads back black), a text loses the white space at its ends, and a text left
// empty reads back as the field's default, since the readers store no empty text. Whole numbers and
// flags come back as they are written.
//
// Internal to the library; the header is not installed.

class LumoMapModel;

namespace MapFileCarriage {

// Gives every stored field of `model` the value that a map file written from it reads back as, without
// writing or reading a file. The version and the save time are left alone: every save writes its own.
// The records stay where they are; only their values change. May throw std::bad_alloc.
void carryThroughMapFile(LumoMapModel &model);

// Whether a map file written from `model` reads back with every stored value as it is: true when
// carryThroughMapFile() would change nothing. Changes nothing itself. May throw std::bad_alloc.
bool carriesEveryValue(const LumoMapModel &model);

} // namespace MapFileCarriage

#endif // MAPFILECARRIAGE_H
