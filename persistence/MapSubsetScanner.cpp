// The scanning loops of the subset reader (the subset is described in MapSubsetScanner.h). The
// bytes are read into one buffer in blocks; a 0 byte always follows the bytes read, so that every
// loop over a class of bytes stops at the end of the buffer without a separate bounds check, and a
// token cut by the end of the buffer is scanned again once more bytes have been read behind it.

#include "MapSubsetScanner.h"

#include "LumoMapParser.h"
#include "MapByteSource.h"
#include "MapReadRoute.h"
#include "SubsetParserEvents.h"

#include <QtAlgorithms>
#include <QtEndian>

#include <cstring>

namespace {

static_assert(MapSubsetScanner::MaxDepth == LumoMapParser::MaxElementDepth,
              "the scanner stops where the parser refuses to go deeper");

#ifdef LUMOMAP_SUBSET_BLOCK_BYTES
// The fuzzing builds read in tiny blocks, so that tokens are cut by the end of a block all the time.
constexpr qsizetype DefaultBlockBytes = LUMOMAP_SUBSET_BLOCK_BYTES;
#else
constexpr qsizetype DefaultBlockBytes = 64 * 1024;
#endif
constexpr qsizetype MaxTagBytes = 1024;
constexpr qsizetype MaxReferenceBytes = 12; // &#x, 8 digits and ;
// Zero bytes after the buffer, so that names can be copied and compared a word at a time.
constexpr qsizetype WordSlack = 16;

// The block size of the scanners this thread creates; 0 for the default (setSubsetReaderBlockBytes).
thread_local qsizetype blockBytesOfThisThread = 0;

enum ByteClass : quint8
{
    Plain,
    Less,
    Ampersand,
    Greater,
    Dash,
    Lead2, // first byte of a 2-byte UTF-8 sequence
    Lead3,
    Lead4,
    Refused, // a control character, a byte no UTF-8 sequence starts with, or the 0 after the bytes read
};

struct ByteTable
{
    quint8 of[256];
};

constexpr ByteTable characterClasses(bool inComment)
{
    ByteTable table{};
    for (int c = 0; c < 256; ++c) {
        quint8 kind = Plain;
        if (c < 0x20)
            kind = c == '\t' || c == '\n' || c == '\r' ? Plain : Refused;
        else if (c >= 0xF5)
            kind = Refused;
        else if (c >= 0xF0)
            kind = Lead4;
        else if (c >= 0xE0)
            kind = Lead3;
        else if (c >= 0xC2)
            kind = Lead2;
        else if (c >= 0x80)
            kind = Refused;
        else if (inComment)
            kind = c == '-' ? Dash : Plain;
        else if (c == '<')
            kind = Less;
        else if (c == '&')
            kind = Ampersand;
        else if (c == '>')
            kind = Greater;
        table.of[c] = kind;
    }
    return table;
}

constexpr ByteTable textClasses = characterClasses(false);
constexpr ByteTable commentClasses = characterClasses(true);

// 1: may start a name; 2: may continue a name only.
constexpr ByteTable nameClasses()
{
    ByteTable table{};
    for (int c = 0; c < 256; ++c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        const bool other = (c >= '0' && c <= '9') || c == '.' || c == '-';
        table.of[c] = letter ? 1 : other ? 2 : 0;
    }
    return table;
}

constexpr ByteTable nameBytes = nameClasses();

inline quint8 classOf(const ByteTable &table, const char *at)
{
    return table.of[static_cast<unsigned char>(*at)];
}

inline quint64 word(const char *at)
{
    return qFromLittleEndian<quint64>(at);
}

// Whether the `size` bytes at `a` and `b` are equal; up to 7 bytes after each are read.
inline bool sameBytes(const char *a, const char *b, int size)
{
    int i = 0;
    for (; i + 8 <= size; i += 8) {
        if (word(a + i) != word(b + i))
            return false;
    }
    const int rest = size - i;
    return rest == 0 || ((word(a + i) ^ word(b + i)) & (~quint64(0) >> (64 - 8 * rest))) == 0;
}

// The first byte at or after `at` that is not a lowercase ASCII letter, found a word at a time:
// most element names are all lowercase, and the byte loop that follows then looks only at the byte
// that ends the run. Stops at the 0 after the bytes read, so it never reads past the word slack.
inline const char *afterLowercaseRun(const char *at)
{
    constexpr quint64 highBits = 0x8080808080808080u;
    for (;;) {
        const quint64 bytes = word(at);
        const quint64 low7 = bytes & ~highBits;
        // A byte's high bit is set in fromA when its low seven bits are 'a' (0x61) or above, in
        // pastZ when they are '{' (0x7B) or above; neither sum carries into the next byte.
        const quint64 fromA = low7 + 0x1F1F1F1F1F1F1F1Fu;
        const quint64 pastZ = low7 + 0x0505050505050505u;
        const quint64 notLowercase = ~(fromA & ~pastZ & ~bytes) & highBits;
        if (notLowercase != 0)
            return at + qCountTrailingZeroBits(notLowercase) / 8;
        at += 8;
    }
}

// The first byte after the name that starts at `at`; `at` itself when no name starts there.
inline const char *afterName(const char *at)
{
    if (nameBytes.of[static_cast<unsigned char>(*at)] != 1)
        return at;
    at = afterLowercaseRun(at + 1);
    while (nameBytes.of[static_cast<unsigned char>(*at)] != 0)
        ++at;
    return at;
}

constexpr ByteTable spaceClasses()
{
    ByteTable table{};
    table.of[int(' ')] = table.of[int('\n')] = table.of[int('\t')] = table.of[int('\r')] = 1;
    return table;
}

constexpr ByteTable spaceBytes = spaceClasses();

inline bool isSpace(char c)
{
    return spaceBytes.of[static_cast<unsigned char>(c)] != 0;
}

// The first byte at or after `at` whose class in `table` is not Plain. A local pointer: the loop over
// `char` bytes would otherwise store the scanner's member p at every byte, since a char may alias it.
inline const char *afterPlain(const ByteTable &table, const char *at)
{
    while (classOf(table, at) == Plain)
        ++at;
    return at;
}

// The first byte at or after `at` that is not white space. The indentation after a line break is
// skipped eight spaces at a time.
inline const char *afterWhiteSpace(const char *at)
{
    while (isSpace(*at)) {
        ++at;
        for (;;) {
            const quint64 notSpaces = word(at) ^ 0x2020202020202020u;
            if (notSpaces != 0) {
                at += qCountTrailingZeroBits(notSpaces) / 8;
                break;
            }
            at += 8;
        }
    }
    return at;
}

// Where the end tag ends whose name, `name` of `size` bytes, starts at `at` (after "</"), or null
// when the bytes at `at` are not that name and '>'.
inline const char *afterEndTag(const char *at, const char *name, int size, const char *end)
{
    if (end - at > size && sameBytes(at, name, size) && at[size] == '>')
        return at + size + 1;
    return nullptr;
}

inline bool inRange(char c, unsigned char low, unsigned char high)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= low && u <= high;
}

// The length (2 to 4) of the UTF-8 sequence at `at` when it is well-formed and its character lies
// within the subset, 0 when not, -1 when the bytes read end inside it and more may follow.
int sequenceLength(const char *at, const char *end, bool atEnd)
{
    const auto lead = static_cast<unsigned char>(at[0]);
    const int length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (end - at < length)
        return atEnd ? 0 : -1;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead == 0xE0)
        low = 0xA0; // shorter forms
    else if (lead == 0xED)
        high = 0x9F; // surrogates
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F; // beyond U+10FFFF
    if (!inRange(at[1], low, high))
        return 0;
    for (int i = 2; i < length; ++i) {
        if (!inRange(at[i], 0x80, 0xBF))
            return 0;
    }
    if (lead == 0xEF) {
        const auto second = static_cast<unsigned char>(at[1]);
        const auto third = static_cast<unsigned char>(at[2]);
        if ((second == 0xBB && third == 0xBF) || (second == 0xBF && third >= 0xBE))
            return 0; // U+FEFF, U+FFFE, U+FFFF
    }
    return length;
}

// When the start tag that ends at `from` is followed by text of plain bytes and the end tag of its
// element, named `name` of `size` bytes: where that end tag ends, with the text's bounds (its
// leading white space skipped, as between tags) in `text` and `textEnd`. Else null. Any plain text
// ends at the latest at the 0 after the bytes read.
const char *afterValueElement(const char *name, int size, const char *from, const char *end,
                              const char *&text, const char *&textEnd)
{
    const char *at = afterWhiteSpace(from);
    text = at;
    while (classOf(textClasses, at) == Plain)
        ++at;
    textEnd = at;
    if (at[0] != '<' || at[1] != '/')
        return nullptr;
    return afterEndTag(at + 2, name, size, end);
}

bool allowedReference(quint32 c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD && c != 0xFEFF);
}

void appendUtf8(std::string &out, quint32 c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// The value of a predefined entity reference whose name starts at `at`, with `available` bytes
// read, and its length including the ';'; 0 when it is none of the five.
quint32 predefinedEntity(const char *at, qsizetype available, qsizetype &length)
{
    static const struct
    {
        const char *name;
        qsizetype length;
        char value;
    } entities[] = {
        {"lt;", 3, '<'}, {"gt;", 3, '>'}, {"amp;", 4, '&'}, {"apos;", 5, '\''}, {"quot;", 5, '"'}};
    for (const auto &entity : entities) {
        if (available >= entity.length && std::memcmp(at, entity.name, size_t(entity.length)) == 0) {
            length = entity.length;
            return quint32(entity.value);
        }
    }
    return 0;
}

} // namespace

void setSubsetReaderBlockBytes(qsizetype bytes)
{
    blockBytesOfThisThread = qMax<qsizetype>(bytes, 0);
}

// The buffer holds one block behind the longest run of bytes a refill keeps: a tag cut by the end of
// the bytes read (at most MaxTagBytes; the shorter tokens keep fewer).
MapSubsetScanner::MapSubsetScanner(MapByteSource &source)
    : source(source), blockBytes(blockBytesOfThisThread > 0 ? blockBytesOfThisThread : DefaultBlockBytes),
      bufferBytes(blockBytes + MaxTagBytes), buffer(new char[size_t(bufferBytes) + 1 + WordSlack]()),
      openNames(new char[size_t(MaxDepth + 1) * MaxNameBytes + WordSlack]())
{}

void MapSubsetScanner::pushName(const char *name, int size)
{
    // The callers have stopped at MaxDepth already.
    ++depth;
    openName[depth] = name;
    nameSizes[depth] = size;
}

MapSubsetScanner::~MapSubsetScanner() = default;

void MapSubsetScanner::keepOpenNames()
{
    // The names of the open elements still in the buffer move to their slots before it changes.
    const char *const first = buffer.get();
    const char *const last = first + bufferBytes;
    for (int d = 1; d <= depth; ++d) {
        if (openName[d] >= first && openName[d] <= last) {
            char *slot = openNames.get() + qsizetype(d) * MaxNameBytes;
            std::memcpy(slot, openName[d], size_t(nameSizes[d]));
            openName[d] = slot;
        }
    }
}

MapSubsetScanner::Fill MapSubsetScanner::refill(const char *keep)
{
    keepOpenNames();
    if (piece) {
        // The text piece so far is kept aside; it goes on from the kept bytes.
        if (keep > piece) {
            lastCharacter = keep[-1];
            if (events)
                text.append(piece, size_t(keep - piece));
        }
    }
    char *const start = buffer.get();
    const qsizetype kept = end - keep;
    const qsizetype offset = p - keep;
    std::memmove(start, keep, size_t(kept));
    char *newEnd = start + kept;
    p = start + offset;
    if (piece)
        piece = start;
    Fill fill = Fill::NoMore;
    if (kept >= bufferBytes) {
        fill = Fill::Error; // no token of the subset is this long; the loops never keep so much
    } else if (!atEnd) {
        // One block at most, whatever room is left, so that a block end may fall on any byte.
        const qint64 count = source.read(newEnd, qMin(blockBytes, bufferBytes - kept));
        if (count < 0) {
            fill = Fill::Error;
        } else if (count == 0) {
            atEnd = true;
        } else {
            newEnd += count;
            totalRead += count;
            fill = Fill::More;
        }
    }
    *newEnd = 0;
    end = newEnd;
    return fill;
}

MapSubsetScanner::Result MapSubsetScanner::needMoreOrFail(Fill fill)
{
    if (fill == Fill::Error)
        return Result::ReadError;
    return fill == Fill::More ? Result::Complete : Result::OutOfSubset;
}

MapSubsetScanner::Result MapSubsetScanner::multiByteCharacter()
{
    // p is at the first byte of a UTF-8 sequence; a sequence cut by the end of the bytes read is
    // looked at again after a refill.
    const int length = sequenceLength(p, end, atEnd);
    if (length > 0) {
        p += length;
        return Result::Complete;
    }
    if (length == 0)
        return Result::OutOfSubset;
    return needMoreOrFail(refill(p));
}

MapSubsetScanner::Result MapSubsetScanner::endOfBytesRead()
{
    // p is at a byte its loop refuses: within the subset only the 0 after the bytes read.
    if (p != end)
        return Result::OutOfSubset;
    return needMoreOrFail(refill(p));
}

void MapSubsetScanner::endTextPiece()
{
    if (p > piece) {
        lastCharacter = p[-1];
        if (events)
            text.append(piece, size_t(p - piece));
    }
    piece = nullptr;
}

MapSubsetScanner::Result MapSubsetScanner::scan(SubsetParserEvents *handler)
{
    events = handler;
    p = end = buffer.get();
    buffer[0] = 0;
    atEnd = false;
    totalRead = 0;
    piece = nullptr;
    text.clear();
    lastCharacter = 0;
    rootSeen = false;
    depth = 0;

    Result result = declaration();
    while (result == Result::Complete) {
        if (depth > 0) {
            result = events ? elements<true>() : elements<false>();
            continue;
        }
        {
            // Before and after the root element: white space and comments only.
            p = afterWhiteSpace(p);
            if (p == end) {
                const Fill fill = refill(p);
                if (fill == Fill::More)
                    continue;
                if (fill == Fill::Error)
                    return Result::ReadError;
                return rootSeen ? Result::Complete : Result::OutOfSubset;
            }
            if (*p != '<')
                return Result::OutOfSubset;
            while (end - p < 4 && !atEnd) {
                if (refill(p) == Fill::Error)
                    return Result::ReadError;
            }
            if (p[1] == '!') {
                result = comment();
                continue;
            }
        }
        bool stop = false;
        result = tag(stop);
        if (stop)
            break;
    }
    return result;
}

template <bool Parsing> MapSubsetScanner::Result MapSubsetScanner::elements()
{
    // Inside the root element. The loop takes the common forms at once: a text piece of plain
    // bytes followed by a start tag <name> or by the end tag of the open element. Anything else is
    // left to textUntilMarkup() and tag(), which take every form of the subset.
    while (depth > 0) {
        // White space alone between tags means nothing to the parser: it is not delivered.
        p = afterWhiteSpace(p);
        piece = p;
        p = afterPlain(textClasses, p);
        // textUntilMarkup() takes a comment, and a '<' that ends the bytes read (the 0 follows it),
        // which may start one: it reads on first. One test finds both '!' and 0; the bytes 0x01 and
        // ' ' that it lets through as well are refused there.
        if (*p != '<' || (p[1] | 0x21) == 0x21) {
            const Result result = textUntilMarkup();
            if (result != Result::Complete)
                return result;
        } else {
            if (Parsing && p != piece && !events->text(piece, p - piece))
                return stopped(p);
            piece = nullptr;
        }
        // p is at the '<' of a tag.
        const char *q = p + 1;
        if (*q == '/') {
            const int size = nameSizes[depth];
            if (const char *after = afterEndTag(q + 1, openName[depth], size, end)) {
                if (Parsing && !events->endElement(QLatin1String(q + 1, size)))
                    return stopped(p);
                --depth;
                p = after;
                continue;
            }
        } else {
            const char *const name = q;
            q = afterName(name);
            const int size = int(q - name);
            if (size > 0 && *q == '>' && size <= MaxNameBytes && depth < MaxDepth) {
                if (Parsing) {
                    // Most elements hold a value: start tag, text and end tag go to the parser at once.
                    const char *text = nullptr;
                    const char *textEnd = nullptr;
                    if (const char *after = afterValueElement(name, size, q + 1, end, text, textEnd)) {
                        bool startRefused = false;
                        if (!events->valueElement(QLatin1String(name, size), text, textEnd - text,
                                                  startRefused))
                            return stopped(startRefused ? p : textEnd);
                        p = after;
                        continue;
                    }
                }
                pushName(name, size);
                if (Parsing && !events->startElement(QLatin1String(name, size)))
                    return stopped(p);
                p = q + 1;
                continue;
            }
        }
        bool stop = false;
        const Result result = tag(stop);
        if (stop)
            return result;
    }
    return Result::Complete;
}

MapSubsetScanner::Result MapSubsetScanner::declaration()
{
    static const char *const accepted[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
        "<?xml version=\"1.0\"?>",
    };
    while (end - p < 64 && !atEnd) {
        if (refill(p) == Fill::Error)
            return Result::ReadError;
    }
    if (end - p < 2 || p[0] != '<' || p[1] != '?')
        return Result::Complete;
    for (const char *form : accepted) {
        const size_t length = std::strlen(form);
        if (size_t(end - p) >= length && std::memcmp(p, form, length) == 0) {
            p += length;
            return Result::Complete;
        }
    }
    return Result::OutOfSubset;
}

MapSubsetScanner::Result MapSubsetScanner::textUntilMarkup()
{
    // The caller has started the piece.
    for (;;) {
        p = afterPlain(textClasses, p);
        switch (classOf(textClasses, p)) {
        case Less:
            if (end - p < 4 && !atEnd) {
                const Fill fill = refill(p);
                if (fill == Fill::Error)
                    return Result::ReadError;
                continue;
            }
            if (p[1] == '!') {
                endTextPiece();
                const Result result = comment();
                if (result != Result::Complete)
                    return result;
                piece = p;
                continue;
            }
            if (events && !deliverText())
                return stopped(p);
            piece = nullptr;
            text.clear();
            lastCharacter = 0;
            return Result::Complete;
        case Ampersand: {
            endTextPiece();
            const Result result = reference();
            if (result != Result::Complete)
                return result;
            piece = p;
            continue;
        }
        case Greater:
            if ((p > piece ? p[-1] : lastCharacter) == ']')
                return Result::OutOfSubset;
            ++p;
            continue;
        case Lead2:
        case Lead3:
        case Lead4: {
            const Result result = multiByteCharacter();
            if (result != Result::Complete)
                return result;
            continue;
        }
        default: {
            const Result result = endOfBytesRead();
            if (result != Result::Complete)
                return result; // the document ends inside an element
            continue;
        }
        }
    }
}

bool MapSubsetScanner::deliverText()
{
    if (text.empty()) {
        if (p == piece)
            return true;
        return events->text(piece, p - piece);
    }
    text.append(piece, size_t(p - piece));
    return events->text(text.data(), qsizetype(text.size()));
}

MapSubsetScanner::Result MapSubsetScanner::reference()
{
    while (end - p < MaxReferenceBytes && !atEnd) {
        if (refill(p) == Fill::Error)
            return Result::ReadError;
    }
    const char *q = p + 1;
    quint32 value = 0;
    if (*q == '#') {
        ++q;
        const bool hex = *q == 'x';
        if (hex)
            ++q;
        const char *const digits = q;
        for (; q - digits < 8; ++q) {
            const auto c = static_cast<unsigned char>(*q);
            quint32 digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                break;
            value = value * (hex ? 16 : 10) + digit;
        }
        if (q == digits || *q != ';' || !allowedReference(value))
            return Result::OutOfSubset;
        ++q;
    } else {
        qsizetype length = 0;
        value = predefinedEntity(q, end - q, length);
        if (value == 0)
            return Result::OutOfSubset;
        q += length;
    }
    if (events)
        appendUtf8(text, value);
    lastCharacter = value < 0x80 ? char(value) : 0;
    p = q;
    return Result::Complete;
}

MapSubsetScanner::Result MapSubsetScanner::comment()
{
    // p is at "<!"; only a comment may start here.
    if (p[2] != '-' || p[3] != '-')
        return Result::OutOfSubset;
    p += 4;
    for (;;) {
        p = afterPlain(commentClasses, p);
        switch (classOf(commentClasses, p)) {
        case Dash:
            if (end - p < 3 && !atEnd) {
                if (refill(p) == Fill::Error)
                    return Result::ReadError;
                continue;
            }
            if (p[1] != '-') {
                ++p;
                continue;
            }
            if (p[2] != '>')
                return Result::OutOfSubset; // "--" inside a comment, or the document ends
            p += 3;
            return Result::Complete;
        case Lead2:
        case Lead3:
        case Lead4: {
            const Result result = multiByteCharacter();
            if (result != Result::Complete)
                return result;
            continue;
        }
        default: {
            const Result result = endOfBytesRead();
            if (result != Result::Complete)
                return result;
            continue;
        }
        }
    }
}

MapSubsetScanner::Result MapSubsetScanner::tag(bool &stop)
{
    stop = true;
    // p is at '<'. A tag cut by the end of the bytes read is scanned again after a refill.
    for (;;) {
        const char *q = p + 1;
        const bool closing = *q == '/';
        if (closing)
            ++q;
        const char *const name = q;
        q = afterName(name);
        const char *const nameEnd = q;
        bool empty = false;
        bool complete = false;
        if (nameEnd == name) {
            if (q != end)
                return Result::OutOfSubset;
        } else {
            q = afterWhiteSpace(q);
            if (*q == '>') {
                ++q;
                complete = true;
            } else if (*q == '/' && !closing) {
                if (q + 1 != end) {
                    if (q[1] != '>')
                        return Result::OutOfSubset;
                    q += 2;
                    empty = true;
                    complete = true;
                }
            } else if (q != end) {
                return Result::OutOfSubset;
            }
        }
        if (q - p > MaxTagBytes || nameEnd - name > MaxNameBytes)
            return Result::OutOfSubset;
        if (!complete) {
            const Result result = needMoreOrFail(refill(p));
            if (result != Result::Complete)
                return result;
            continue;
        }

        const QLatin1String elementName(name, nameEnd - name);
        if (closing) {
            if (depth == 0)
                return Result::OutOfSubset;
            const int nameSize = nameSizes[depth];
            if (nameSize != elementName.size() || std::memcmp(openName[depth], name, size_t(nameSize)) != 0)
                return Result::OutOfSubset;
            if (events && !events->endElement(elementName))
                return stopped(p);
            --depth;
        } else {
            if (depth == 0) {
                if (rootSeen)
                    return Result::OutOfSubset;
                rootSeen = true;
            }
            if (depth == MaxDepth) {
                // The parser refuses this start tag; what follows is never read.
                if (events && !events->startElement(elementName))
                    return stopped(p);
                return Result::DeepEnough;
            }
            if (events && !events->startElement(elementName))
                return stopped(p);
            if (empty) {
                if (events && !events->endElement(elementName))
                    return stopped(p);
            } else {
                pushName(name, int(elementName.size()));
            }
        }
        p = q;
        stop = false;
        return Result::Complete;
    }
}
