#ifndef MAPTEXTWRITER_H
#define MAPTEXTWRITER_H

// The streaming writer of the map file: writes the document text as it produces it, without building
// a DOM tree or holding the whole text. Its output is, character for character, what
// MapDomWriter::buildDocument(model, saveTime).toString(1) gives: the same elements in the same order
// (each kind of record in ascending key order), one space of indentation per level, a line feed after
// every element, and the same escaping of text (see appendEscapedText in the source).
//
// Internal to the library and its tests; the header is not installed.

#include "lumomap_autotest_export.h"

class LumoMapModel;
class QDateTime;
class QTextStream;

namespace MapTextWriter {

// Writes the map document of `model` as it stands (mapfileversion as the model holds it), with
// `saveTime` as the save time, to `stream` and flushes the stream. For a stream on a device, the
// stream is flushed first (text written to it before goes out in its own encoding) and the document
// is then encoded as UTF-8 straight onto the device; the stream's encoding and settings stay as they
// are. A device stream that is to write a byte order mark gets the text through itself, switched to
// UTF-8 for the write and back afterwards. A stream on a QString receives the text as it is.
// Returns false when the stream has neither a device nor a string, when a device stream's status is
// not Ok before the write (nothing is written then), or when its status is not Ok after the flush (a
// device that refuses writes, a full disk); true otherwise.
LUMOMAP_AUTOTEST_EXPORT bool write(const LumoMapModel &model, QTextStream &stream, const QDateTime &saveTime);

} // namespace MapTextWriter

#endif // MAPTEXTWRITER_H
