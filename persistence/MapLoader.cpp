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

#include <exception>
#include <memory>

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

// The message of a load that ran out of memory before it could say more. A string literal is static
// data: assigning it needs no memory.
void setOutOfMemoryError(LumoMapModel &model) noexcept
{
    model.lastError = QStringLiteral("Unable to parse file: Not enough memory to read the map.");
}

// Runs `load`; a load that runs out of memory (or of the sizes the containers can hold) anywhere,
// also while it writes its message, returns false with a message, so that no exception reaches the
// host.
template <typename Load> bool guarded(LumoMapModel &model, Load load) noexcept
{
    try {
        return load();
    } catch (const std::exception &) {
        setOutOfMemoryError(model);
        return false;
    }
}

bool parseInto(LumoMapModel &model, Input input, PostLoad postLoad)
{
    lastReadBySubsetReader = input.subset != nullptr;
    model.mapfileversion = 1; // a document without <mapfileversion> is version 1
    std::unique_ptr<LumoMapParser> parser;

    bool parsed = false;
    bool outOfMemory = false;
    QString readerError;
    try {
        parser = std::make_unique<LumoMapParser>(&model);
        if (input.subset) {
            parsed = input.subset->parse(*parser, readerError);
        } else {
            QXmlSimpleReader reader;
            reader.setContentHandler(parser.get());
            reader.setDeclHandler(parser.get());
            reader.setDTDHandler(parser.get());
            reader.setErrorHandler(parser.get());
            parsed = reader.parse(input.source, false);
        }
    } catch (const std::exception &) {
        parsed = false;
        outOfMemory = true;
    }
    if (!parsed) {
        // The parser's trace quotes at most the first characters of a text, so this needs little
        // memory; should even that be missing, the message says only what ran out.
        try {
            model.lastError = QStringLiteral("Unable to parse file: ") +
                              (!readerError.isEmpty() ? readerError
                               : parser               ? parser->errorString()
                                                      : QString()) +
                              (outOfMemory ? QStringLiteral("Not enough memory to read the map.") : QString());
        } catch (const std::exception &) {
            setOutOfMemoryError(model);
        }
    }
    if (!parser)
        return false;
    // Displaced records are freed before the post-load calculation sees the document; freeing
    // needs no memory.
    LumoMapParserPrivate::of(*parser).releaseDisplacedRecords();
    if (postLoad == PostLoad::Run) {
        // The calculation changes no position unless it has all the memory it needs.
        try {
            parser->additionalCalculation();
        } catch (const std::exception &) {
            if (parsed)
                setOutOfMemoryError(model);
            return false;
        }
    }
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
    } catch (const std::exception &) {
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
    return guarded(*this, [&] {
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
    });
}

bool LumoMapModel::loadFromText(const QString &text)
{
    return guarded(*this, [&] {
        StringByteSource bytes(text);
        if (const auto subset = subsetReaderFor(bytes))
            return parseInto(*this, {subset.get(), nullptr}, PostLoad::Skip);
        QXmlInputSource source;
        source.setData(text);
        return parseInto(*this, {nullptr, &source}, PostLoad::Skip);
    });
}
