#ifndef SUBSETMAPREADER_H
#define SUBSETMAPREADER_H

// A load through the subset reader, in two readings of one source: the first checks that the
// document lies within the subset (see MapSubsetScanner.h) and touches nothing; only then does the
// second read it into a LumoMapParser, which files the records exactly as it does for
// QXmlSimpleReader. The loaders fall back to QXmlSimpleReader when the check fails, so a document
// is read by one route only.

#include "MapSubsetScanner.h"

#include <QString>

class LumoMapParser;
class MapByteSource;

class SubsetMapReader
{
public:
    explicit SubsetMapReader(MapByteSource &source);

    // The first reading. False also when the source cannot be read to its end or read again.
    bool documentIsWithinSubset();
    // The second reading, after a successful check: true when the whole document was parsed. On
    // failure `readerError` is empty when the parser stopped (its errorString() says why), else
    // it says what went wrong with the source: a document that changed between the two readings,
    // or one that could no longer be read.
    bool parse(LumoMapParser &parser, QString &readerError);
    // After a parse that the parser stopped: the place where QXmlSimpleReader stops for the same
    // refusal, the first character of the refused tag after its name and, in a start tag, after the
    // white space that follows it (LumoMapModel::lastErrorLine()). The document is read again from
    // its start up to that place. False when it cannot be read again.
    bool stopPosition(int &line, int &column);

private:
    MapByteSource &source;
    MapSubsetScanner scanner;
    MapSubsetScanner::Result checked = MapSubsetScanner::Result::OutOfSubset;
    qint64 checkedBytes = 0;
};

#endif // SUBSETMAPREADER_H
