#include "SubsetMapReader.h"

#include "LumoMapParser.h"
#include "MapByteSource.h"
#include "SubsetParserEvents.h"

#include <limits>
#include <memory>

namespace {

// Lines and columns as QXmlSimpleReader counts them in the text: a line ends at a line feed, a
// carriage return or the two together; a column counts UTF-16 code units, two for a character that
// takes four bytes of UTF-8.
class PlaceCounter
{
public:
    void add(char c)
    {
        if (c == '\r' || (c == '\n' && !afterCarriageReturn)) {
            ++line;
            column = 0;
        } else if (c != '\n' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            column += static_cast<unsigned char>(c) >= 0xF0 ? 2 : 1;
        }
        afterCarriageReturn = c == '\r';
    }
    // The place of the next character.
    void place(int &lineOut, int &columnOut) const
    {
        constexpr qint64 most = std::numeric_limits<int>::max();
        lineOut = int(qMin(line, most));
        columnOut = int(qMin(column + 1, most));
    }

private:
    qint64 line = 1;
    qint64 column = 0; // code units before the next character on its line
    bool afterCarriageReturn = false;
};

bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

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

bool SubsetMapReader::stopPosition(int &line, int &column)
{
    if (!source.rewind())
        return false;
    const qint64 tag = scanner.stopOffset();
    enum class Step
    {
        BeforeTag,
        AfterLess,
        Name,
        SpaceAfterName,
    };
    Step step = Step::BeforeTag;
    bool endTag = false;
    PlaceCounter counter;
    constexpr qint64 blockBytes = 64 * 1024;
    const std::unique_ptr<char[]> block(new char[blockBytes]);
    for (qint64 offset = 0;;) {
        const qint64 count = source.read(block.get(), blockBytes);
        if (count <= 0)
            return false;
        for (qint64 i = 0; i < count; ++i, ++offset) {
            const char c = block[i];
            if (step == Step::AfterLess) {
                step = Step::Name;
                endTag = c == '/';
            } else if (step == Step::Name && !isNameByte(c)) {
                if (endTag || !isSpace(c)) {
                    counter.place(line, column);
                    return true;
                }
                step = Step::SpaceAfterName;
            } else if (step == Step::SpaceAfterName && !isSpace(c)) {
                counter.place(line, column);
                return true;
            } else if (offset == tag) {
                step = Step::AfterLess;
            }
            counter.add(c);
        }
    }
}
