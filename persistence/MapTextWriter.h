#ifndef MAPTEXTWRITER_H
#define MAPTEXTWRITER_H

// The streaming writer of the map file: writes the document text straight to a QTextStream in
// chunks, without building a DOM tree or holding the whole text. Its output is, character for
// character, what MapDomWriter::buildDocument(model, saveTime).toString(1) gives: the same elements,
// one space of indentation per level, a line feed after every element, and the DOM serialiser's
// escaping of text ("&" as "&amp;", "<" as "&lt;", ">" as "&gt;" only where it closes "]]>", a
// carriage return as "&#xd;", every other character as it is).
//
// Internal to the library and its tools; the header is not installed.

#include "lumomap_export.h"

class LumoMapModel;
class QDateTime;
class QTextStream;

namespace MapTextWriter {

// Writes the map document of `model` as it stands (mapfileversion as the model holds it), with
// `saveTime` as the save time, to `stream` and flushes the stream. A stream that writes to a device
// is switched to UTF-8 for the write and set back to its previous encoding afterwards; a stream on
// a QString receives the text as it is. The stream's field width is set aside during the write.
// Returns false when the stream has neither a device nor a string, or when its status is not Ok
// after the flush (a device that refuses writes, a full disk); true otherwise.
LUMOMAP_EXPORT bool write(const LumoMapModel &model, QTextStream &stream, const QDateTime &saveTime);

} // namespace MapTextWriter

#endif // MAPTEXTWRITER_H
