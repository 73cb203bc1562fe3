#ifndef MAPSUBSETSCANNER_H
#define MAPSUBSETSCANNER_H

// The scanner of the subset reader: it reads a document in blocks and either reports its elements
// and texts, or only checks that the document lies within the subset of XML it fully understands.
// The loaders run it twice over one input, first to check (nothing is touched), then to parse;
// everything outside the subset is read by QXmlSimpleReader instead. The subset is what the map
// writers produce, and a document within it gives exactly the events QXmlSimpleReader would give:
//
// - UTF-8 without a byte order mark, every sequence well-formed; the characters U+FEFF, U+FFFE and
//   U+FFFF and the control characters other than tab, line feed and carriage return are outside;
// - at the very start, optionally, one of the declarations <?xml version="1.0"?>,
//   <?xml version="1.0" encoding="UTF-8"?> or the same with encoding="utf-8";
// - one root element; before and after it only white space (space, tab, line feed, carriage
//   return) and comments;
// - elements without attributes: <name>, </name> and <name/>, white space allowed before the
//   closing > or />; names of at most 256 bytes made of ASCII letters, digits, '_', '.' and '-',
//   not starting with a digit, '.' or '-' (so no namespace prefixes); a whole tag within 1,024
//   bytes;
// - inside elements: text, comments and the references &lt; &gt; &amp; &apos; &quot;, and
//   character references &#DDD; or &#xHHH; of at most 8 digits naming tab, line feed, carriage
//   return or a character from U+0020 to U+FFFD other than a surrogate or U+FEFF;
// - a literal '>' in text right after a ']' (literal or referenced) is outside, as XML refuses
//   "]]>" in text; the writer writes "&gt;" there;
// - comments <!-- ... --> without "--" inside.
// Everything else is outside: document type declarations, CDATA sections, processing instructions,
// attributes, other encodings, and anything malformed. Elements nested deeper than
// LumoMapParser::MaxElementDepth are refused by the parser at their start tag, so the check stops
// there and leaves the rest of the document unread.

#include <QLatin1String>
#include <QtGlobal>

#include <memory>
#include <string>

class MapByteSource;
class SubsetParserEvents;

class MapSubsetScanner
{
public:
    enum class Result
    {
        Complete,    // the whole document lies within the subset (and every event was taken)
        DeepEnough,  // within the subset up to a start tag that the parser refuses for its depth
        OutOfSubset, // the document is not within the subset
        Stopped,     // an event handler returned false
        ReadError,   // the source could not be read
    };

    // The deepest nesting the parser accepts (LumoMapParser::MaxElementDepth).
    static constexpr int MaxDepth = 256;
    static constexpr int MaxNameBytes = 256;

    explicit MapSubsetScanner(MapByteSource &source);
    ~MapSubsetScanner();
    MapSubsetScanner(const MapSubsetScanner &) = delete;
    MapSubsetScanner &operator=(const MapSubsetScanner &) = delete;

    // Scans the source from where it stands; `events` null only checks.
    Result scan(SubsetParserEvents *events);
    // The bytes the last scan read from the source.
    qint64 bytesRead() const { return totalRead; }
    // After a scan that Stopped: the offset in the source of the '<' of the tag at which the handler
    // refused (for a refused text, the tag after the text).
    qint64 stopOffset() const { return stoppedAt; }

private:
    enum class Fill
    {
        More,
        NoMore,
        Error
    };
    template <bool Parsing> Result elements();
    void pushName(const char *name, int size); // below MaxDepth only
    void keepOpenNames();
    Fill refill(const char *keep);
    void endTextPiece();
    bool deliverText();
    Result declaration();
    Result textUntilMarkup();
    Result reference();
    Result comment();
    Result tag(bool &stop);
    Result needMoreOrFail(Fill fill);
    // The steps both text and comment loops take: Complete to go on from p, else the scan's result.
    Result multiByteCharacter();
    Result endOfBytesRead();
    // Notes that the handler refused at the tag whose '<' is at `tag`, and returns Stopped.
    Result stopped(const char *tag)
    {
        stoppedAt = totalRead - (end - tag);
        return Result::Stopped;
    }

    MapByteSource &source;
    SubsetParserEvents *events = nullptr;
    const qsizetype blockBytes; // the most bytes one read asks for
    const qsizetype bufferBytes;
    std::unique_ptr<char[]> buffer;
    const char *p = nullptr;   // the next byte to look at
    const char *end = nullptr; // the end of the bytes read; *end is always 0
    bool atEnd = false;
    qint64 totalRead = 0;
    qint64 stoppedAt = 0;

    const char *piece = nullptr; // start of the text piece being scanned, when events are wanted
    std::string text;            // text pieces and references gathered so far
    char lastCharacter = 0;      // the text's last character when it is ASCII, else 0
    bool rootSeen = false;
    int depth = 0;
    // The name of the open element at depth d (from 1): in the buffer, or copied to slot d of
    // MaxNameBytes bytes in openNames once the buffer moves on.
    const char *openName[MaxDepth + 1] = {};
    int nameSizes[MaxDepth + 1] = {};
    std::unique_ptr<char[]> openNames;
};

#endif // MAPSUBSETSCANNER_H
