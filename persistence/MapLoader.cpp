// Loading a map document into a LumoMapModel: the reader streams the input through a LumoMapParser
// bound to the document. A load adds to what the document holds; a failure leaves its reason in
// lastError.

#include "LumoMapModel.h"

#include "LumoMapParser.h"

#include <QFile>
#include <QXmlInputSource>
#include <QXmlSimpleReader>

#include <new>

namespace {

enum class PostLoad
{
    Run,
    Skip
};

bool parseInto(LumoMapModel &model, QXmlInputSource &source, PostLoad postLoad)
{
    model.mapfileversion = 1; // a document without <mapfileversion> is version 1
    LumoMapParser parser(&model);
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    reader.setDeclHandler(&parser);
    reader.setDTDHandler(&parser);
    reader.setErrorHandler(&parser);

    bool parsed = false;
    QString outOfMemory;
    try {
        parsed = reader.parse(&source, false);
    } catch (const std::bad_alloc &) {
        outOfMemory = QStringLiteral("Not enough memory to read the map.");
    }
    if (!parsed)
        model.lastError = QStringLiteral("Unable to parse file: ") + parser.errorString() + outOfMemory;
    parser.releaseDisplacedRecords();
    if (postLoad == PostLoad::Run)
        parser.additionalCalculation();
    return parsed;
}

} // namespace

bool LumoMapModel::loadFromFile(QString fileName)
{
    if (!QFile::exists(fileName)) {
        lastError = QStringLiteral("File does not exist.");
        return false;
    }
    QFile file(fileName);
    // The input source opens the file and reads it in blocks as the reader asks for more.
    QXmlInputSource source(&file);
    return parseInto(*this, source, PostLoad::Run);
}

bool LumoMapModel::loadFromText(const QString &text)
{
    QXmlInputSource source;
    source.setData(text);
    return parseInto(*this, source, PostLoad::Skip);
}
