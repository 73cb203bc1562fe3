// Loading a map document into a LumoMapModel through a LumoMapParser bound to the document. A
// document within the subset the map writers produce (see MapSubsetScanner.h) is read by the
// subset reader, every other one by QXmlSimpleReader; the subset reader decides before it touches
// the model, and both routes give the same result. A load adds to what the document holds; a
// failure leaves its reason in lastError.

#include "LumoMapModel.h"

#include "LumoMapParser.h"
#include "LumoMapParser_p.h"
#include "MapByteSource.h"
#include "MapReadRoute.h"
#include "SubsetMapReader.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlInputSource>
#include <QXmlSimpleReader>

#include <memory>
#include <new>

namespace {

thread_local MapReadRoute chosenRoute = MapReadRoute::SubsetWhereItApplies;
thread_local bool lastReadBySubsetReader = false;

enum class PostLoad
{
    Run,
    Skip
};

// One of the two: `subset` when the document lies within the subset, else `source`.
struct Input
{
    SubsetMapReader *subset;
    QXmlInputSource *source;
};

bool parseInto(LumoMapModel &model, Input input, PostLoad postLoad)
{
    lastReadBySubsetReader = input.subset != nullptr;
    model.mapfileversion = 1; // a document without <mapfileversion> is version 1
    LumoMapParser parser(&model);

    bool parsed = false;
    QString readerError;
    QString outOfMemory;
    try {
        if (input.subset) {
            parsed = input.subset->parse(parser, readerError);
        } else {
            QXmlSimpleReader reader;
            reader.setContentHandler(&parser);
            reader.setDeclHandler(&parser);
            reader.setDTDHandler(&parser);
            reader.setErrorHandler(&parser);
            parsed = reader.parse(input.source, false);
        }
    } catch (const std::bad_alloc &) {
        outOfMemory = QStringLiteral("Not enough memory to read the map.");
    }
    if (!parsed)
        model.lastError = QStringLiteral("Unable to parse file: ") +
                          (readerError.isEmpty() ? parser.errorString() : readerError) + outOfMemory;
    // Displaced records are freed before the post-load calculation sees the document.
    LumoMapParserPrivate::of(parser).releaseDisplacedRecords();
    if (postLoad == PostLoad::Run)
        parser.additionalCalculation();
    return parsed;
}

// The subset reader over `bytes` when the document lies within its subset, else null: the document
// goes to QXmlSimpleReader, and so does one whose check runs out of memory.
std::unique_ptr<SubsetMapReader> subsetReaderFor(MapByteSource &bytes)
{
    if (chosenRoute != MapReadRoute::SubsetWhereItApplies)
        return nullptr;
    try {
        auto subset = std::make_unique<SubsetMapReader>(bytes);
        if (subset->documentIsWithinSubset())
            return subset;
    } catch (const std::bad_alloc &) {
    }
    return nullptr;
}

} // namespace

void setMapReadRoute(MapReadRoute route)
{
    chosenRoute = route;
}

bool lastLoadReadBySubsetReader()
{
    return lastReadBySubsetReader;
}

bool LumoMapModel::loadFromFile(QString fileName)
{
    if (!QFile::exists(fileName)) {
        lastError = QStringLiteral("File does not exist.");
        return false;
    }
    QFile file(fileName);
    // Only a regular file can be read twice; a pipe or a device goes to QXmlSimpleReader alone.
    if (QFileInfo(fileName).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        DeviceByteSource bytes(file);
        if (const auto subset = subsetReaderFor(bytes))
            return parseInto(*this, {subset.get(), nullptr}, PostLoad::Run);
        file.close();
    }
    // The input source opens the file and reads it in blocks as the reader asks for more.
    QXmlInputSource source(&file);
    return parseInto(*this, {nullptr, &source}, PostLoad::Run);
}

bool LumoMapModel::loadFromText(const QString &text)
{
    StringByteSource bytes(text);
    if (const auto subset = subsetReaderFor(bytes))
        return parseInto(*this, {subset.get(), nullptr}, PostLoad::Skip);
    QXmlInputSource source;
    source.setData(text);
    return parseInto(*this, {nullptr, &source}, PostLoad::Skip);
}
