#ifndef SUBSETPARSEREVENTS_H
#define SUBSETPARSEREVENTS_H

// What a parsing scan of the subset reader reports, in document order, handed straight to the
// entry points of the parser's private part for element names as bytes and text as UTF-8: the same
// state machine, conversions and filing as its QXmlSimpleReader callbacks. Each returns false to
// stop the scan.

#include "LumoMapParser_p.h"
#include "ParserStateTable.h"

#include <QLatin1String>

class SubsetParserEvents
{
public:
    explicit SubsetParserEvents(LumoMapParser &parser) : parser(LumoMapParserPrivate::of(parser)) {}

    // An element name is followed by at least 8 more readable bytes (see ParserState::PaddedName).
    bool startElement(QLatin1String name) { return parser.startElement(ParserState::PaddedName{name}); }
    bool endElement(QLatin1String name) { return parser.endElement(ParserState::PaddedName{name}); }
    // A whole element <name>text</name> whose text is ASCII without references, possibly empty:
    // the same as startElement, text (when not empty) and endElement in a row. After a refusal,
    // `startRefused` tells whether the start tag was refused (else the text or the end tag was).
    bool valueElement(QLatin1String name, const char *asciiText, qsizetype size, bool &startRefused)
    {
        return parser.valueElement(ParserState::PaddedName{name}, asciiText, size, startRefused);
    }
    // The text of an element since its previous tag, delivered before the next tag: pieces around
    // comments joined, references replaced. Never empty; valid until the call returns.
    bool text(const char *utf8, qsizetype size) { return parser.elementText(utf8, size); }

private:
    LumoMapParserPrivate &parser;
};

#endif // SUBSETPARSEREVENTS_H
