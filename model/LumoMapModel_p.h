#ifndef LUMOMAPMODEL_P_H
#define LUMOMAPMODEL_P_H

//
//  W A R N I N G
//  -------------
//
// This file is not part of the LumoMap API. It may change from version to version without notice; it
// is not installed.
//
// The place where the last failed load of a document stopped. LumoMapModel is a class with public
// members and no private pointer, so its size is part of the binary interface and it can take no new
// member; the place is kept beside the document instead, in a table keyed by its address, holding
// only the documents whose last load failed with a place. The document removes its entry when it is
// destroyed; a copy takes the place of its original, as it takes its lastError.

class LumoMapModel;

namespace LumoMapModelPrivate {

// Sets the place of the last failure of `model`: line and column from 1, or 0 and 0 for a failure
// without a place and for a successful load. Setting a place may run out of memory (std::bad_alloc);
// setting 0 and 0 needs no memory and throws nothing.
void setErrorPosition(const LumoMapModel &model, int line, int column);

} // namespace LumoMapModelPrivate

#endif // LUMOMAPMODEL_P_H
