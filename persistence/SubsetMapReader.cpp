#include "SubsetMapReader.h"

#include "LumoMapParser.h"
#include "MapByteSource.h"
#include "ParserStateTable.h"

// The scanner's events, handed to the parser's entry points for element names as bytes and text as
// UTF-8 (the same state machine, conversions and filing as its QXmlSimpleReader callbacks).
class SubsetParserEvents final : public MapSubsetEvents
{
public:
    explicit SubsetParserEvents(LumoMapParser &parser) : parser(parser) {}

    bool startElement(QLatin1String name) override
    {
        return parser.startElementNamed(ParserState::PaddedName{name});
    }
    bool endElement(QLatin1String name) override
    {
        return parser.endElementNamed(ParserState::PaddedName{name});
    }
    bool text(const char *utf8, qsizetype size) override { return parser.elementText(utf8, size); }

private:
    LumoMapParser &parser;
};

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
