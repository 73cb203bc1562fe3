#include "SubsetMapReader.h"

#include "LumoMapParser.h"
#include "MapByteSource.h"
#include "SubsetParserEvents.h"

SubsetMapReader::SubsetMapReader(MapByteSource &source) : source(source), scanner(source) {}

bool SubsetMapReader::documentIsWithinSubset()
{
    checked = scanner.scan(nullptr);
    checkedBytes = scanner.bytesRead();
    const bool within =
        checked == MapSubsetScanner::Result::Complete || checked == MapSubsetScanner::Result::DeepEnough;
    return within && source.rewind();
}

bool SubsetMapReader::parse(LumoMapParser &parser, QString &readerError)
{
    SubsetParserEvents events(parser);
    const MapSubsetScanner::Result result = scanner.scan(&events);
    if (result == MapSubsetScanner::Result::Stopped)
        return false;
    if (result == MapSubsetScanner::Result::Complete && checked == MapSubsetScanner::Result::Complete &&
        scanner.bytesRead() == checkedBytes)
        return parser.endDocument();
    readerError = result == MapSubsetScanner::Result::ReadError
                      ? QStringLiteral("the document could not be read again.")
                      : QStringLiteral("the document changed while it was read.");
    return false;
}
