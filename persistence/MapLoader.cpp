// Loading a map document into a LumoMapModel through a LumoMapParser bound to the document. A
// document within the subset the map writers produce (see MapSubsetScanner.h) is read by the
// subset reader, every other one by QXmlSimpleReader; the subset reader decides before it touches
// the model, and both routes give the same result. A load adds to what the document holds; a
// failure leaves its reason in lastError and its place in the document's error position (the
// subset reader finds the place QXmlSimpleReader gives for the same refusal).

#include "LumoMapModel.h"

#include "LumoMapModel_p.h"
#include "LumoMapParser.h"
#include "LumoMapParser_p.h"
#include "MapByteSource.h"
#include "MapFileLoad.h"
#include "MapReadRoute.h"
#include "SubsetMapReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

// One of the two: `subset` when the document lies within the subset, else `source`. `file`, when the
// document is read from one, lets a failure look at the file's first bytes; `report` takes what the
// load found out.
struct Input
{
    SubsetMapReader *subset;
    QXmlInputSource *source;
    QIODevice *file = nullptr;
    MapFileLoad *report = nullptr;
};

// The message of a load that ran out of memory before it could say more. A string literal is static
// data: assigning it needs no memory, nor does clearing the place.
void setOutOfMemoryError(LumoMapModel &model) noexcept
{
    model.lastError = QStringLiteral("Unable to parse file: Not enough memory to read the map.");
    LumoMapModelPrivate::setErrorPosition(model, 0, 0);
}

// When a file's XML declaration names UTF-16 or UTF-32 (or UCS-2, UCS-4) while the file starts with
// that declaration in single bytes, QXmlSimpleReader decodes the whole file in the named encoding and
// finds no XML in it, "at line 1, column 1". This names the encoding instead, at its place in the
// declaration; null when the file is not such a case.
QString declaredEncodingMismatch(QIODevice *file, int &line, int &column)
{
    if (!file || !file->isOpen() || !file->seek(0))
        return QString();
    const QByteArray start = file->read(256);
    static const QRegularExpression declaration(
        QStringLiteral("^<\\?xml\\s[^>]*?encoding\\s*=\\s*[\"']((?:utf|ucs)-?(?:16|32|2|4)[^\"']*)[\"']"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = declaration.match(QString::fromLatin1(start));
    if (!match.hasMatch())
        return QString();
    const QString before = match.captured(0).left(match.capturedStart(1));
    line = int(before.count(QLatin1Char('\n'))) + 1;
    column = int(before.size() - before.lastIndexOf(QLatin1Char('\n')));
    return QStringLiteral("the XML declaration names the encoding %1, which the file is not written in")
        .arg(match.captured(1));
}

// "Unable to parse file: " and why: the parser's trace of the last element or text it was given, with
// its own messages. Malformed XML before the first element leaves no trace: the message says what the
// reader found and where instead ("unexpected end of file (line 1, column 1)").
QString failureMessage(const QString &trace, const QString &malformed, int line, int column)
{
    QString message = QStringLiteral("Unable to parse file: ") + trace;
    if (!trace.isEmpty() || malformed.isEmpty())
        return message;
    return message + malformed + QStringLiteral(" (line %1, column %2)").arg(line).arg(column);
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
            int line = 0;
            int column = 0;
            QString malformed;
            if (outOfMemory || !readerError.isEmpty() || !parser) {
                model.lastError =
                    QStringLiteral("Unable to parse file: ") + readerError +
                    (parser && readerError.isEmpty() ? parser->errorString() : QString()) +
                    (outOfMemory ? QStringLiteral("Not enough memory to read the map.") : QString());
            } else {
                const LumoMapParserPrivate &d = LumoMapParserPrivate::of(*parser);
                if (input.subset) {
                    if (!input.subset->stopPosition(line, column))
                        line = column = 0;
                } else {
                    line = d.stopLine;
                    column = d.stopColumn;
                    malformed = d.readerReason;
                    if (!malformed.isEmpty() && d.rootState < 0) {
                        const QString encoding = declaredEncodingMismatch(input.file, line, column);
                        if (!encoding.isNull())
                            malformed = encoding;
                    }
                }
                model.lastError = failureMessage(parser->errorString(), malformed, line, column);
            }
            LumoMapModelPrivate::setErrorPosition(model, line, column);
            if (input.report)
                input.report->malformed = malformed;
        } catch (const std::exception &) {
            setOutOfMemoryError(model);
        }
    } else {
        LumoMapModelPrivate::setErrorPosition(model, 0, 0);
    }
    if (!parser)
        return false;
    if (input.report) {
        const LumoMapParserPrivate &d = LumoMapParserPrivate::of(*parser);
        input.report->root = d.rootState == ParserState::Lumomap     ? MapFileLoad::Root::Current
                             : d.rootState == ParserState::LegacyMap ? MapFileLoad::Root::Legacy
                             : !d.refusedRoot.isNull()               ? MapFileLoad::Root::Other
                                                                     : MapFileLoad::Root::None;
        input.report->rootName = d.refusedRoot;
    }
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

bool loadMapFile(LumoMapModel &model, const QString &fileName, MapFileLoad &report)
{
    return guarded(model, [&] {
        if (!QFile::exists(fileName)) {
            model.lastError = QStringLiteral("File does not exist.");
            LumoMapModelPrivate::setErrorPosition(model, 0, 0);
            return false;
        }
        QFile file(fileName);
        // Only a regular file can be read twice; a pipe or a device goes to QXmlSimpleReader alone.
        if (QFileInfo(fileName).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            DeviceByteSource bytes(file);
            if (const auto subset = subsetReaderFor(bytes))
                return parseInto(model, {subset.get(), nullptr, &file, &report}, PostLoad::Run);
            file.close();
        }
        // The input source reads the file in blocks as the reader asks for more.
        if (!file.open(QIODevice::ReadOnly)) {
            model.lastError =
                QStringLiteral("Unable to parse file: ") + file.errorString() + QLatin1Char('.');
            LumoMapModelPrivate::setErrorPosition(model, 0, 0);
            return false;
        }
        QXmlInputSource source(&file);
        return parseInto(model, {nullptr, &source, &file, &report}, PostLoad::Run);
    });
}

bool LumoMapModel::loadFromFile(QString fileName)
{
    MapFileLoad report;
    return loadMapFile(*this, fileName, report);
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
