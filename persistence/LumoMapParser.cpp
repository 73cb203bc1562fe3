// The parser's element state machine: start tags push a state and create records, end tags pop it
// and hand the finished records over. The states and the children each container accepts are in
// ParserStateTable.cpp; the element texts are stored by ParserTextFields.cpp and the legacy
// controllers and lights are converted by LegacyImport.cpp.

#include "LumoMapParser.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"
#include "ParserStateTable.h"
#include "RecordFiling.h"

#include <new>

namespace {

constexpr QLatin1String startElementTrace("startElement: ");
constexpr QLatin1String endElementTrace("endElement: ");
constexpr QLatin1String charactersTrace("characters: ");

// Replaces a record still under construction; the one it replaces was never handed over.
template <typename Record> bool replaceUnfinished(Record *&current)
{
    delete current;
    current = new (std::nothrow) Record();
    return current != nullptr;
}

bool isSpace(QChar c)
{
    return c.isSpace();
}

// Trims white space at both ends in place, keeping the string's buffer.
void trimInPlace(QString &text)
{
    int end = text.size();
    while (end > 0 && isSpace(text.at(end - 1)))
        --end;
    int begin = 0;
    while (begin < end && isSpace(text.at(begin)))
        ++begin;
    text.truncate(end);
    if (begin > 0)
        text.remove(0, begin);
}

} // namespace

LumoMapParser::LumoMapParser(LumoMapModel *model)
    : model(model), currentRegion(nullptr), currentInterface(nullptr), currentInterfaceTemplate(nullptr),
      currentOutput(nullptr), currentFixture(nullptr), currentFixtureTemplate(nullptr), currentNode(nullptr),
      lightController(0xFFFFFFFFu), nextPortnum(1), lightPn(0)
{}

LumoMapParser::~LumoMapParser()
{
    deleteUnfinishedRecords();
}

void LumoMapParser::deleteUnfinishedRecords()
{
    // The order matters: a fixture or output under construction is not yet held by its parent, while
    // the outputs of an unfinished legacy controller already are.
    delete currentNode;
    currentNode = nullptr;
    delete currentFixture;
    currentFixture = nullptr;
    if (currentOutput) {
        qDeleteAll(currentOutput->fixtures);
        delete currentOutput;
        currentOutput = nullptr;
    }
    delete currentFixtureTemplate;
    currentFixtureTemplate = nullptr;
    delete currentInterfaceTemplate;
    currentInterfaceTemplate = nullptr;
    delete currentInterface;
    currentInterface = nullptr;
    delete currentRegion;
    currentRegion = nullptr;
    if (ownsControllerTemplates) {
        qDeleteAll(controllerTemplates);
        // The outputs and fixtures went with the controller's interface template.
        controllerTemplates.clear();
        controllerFixtures.clear();
        controllerOutputs.clear();
        ownsControllerTemplates = false;
    }
}

void LumoMapParser::setTrace(QLatin1String callback, const QString &subject)
{
    // Rewritten in place for every callback, so the trace costs no allocation once it is warm.
    if (errorText.capacity() < 64)
        errorText.reserve(64);
    errorText.resize(0);
    errorText.append(callback);
    errorText.append(subject);
}

void LumoMapParser::appendMessage(const QString &message)
{
    errorText.append(message);
}

QString LumoMapParser::errorString()
{
    if (!pendingText.isEmpty()) {
        QString text = pendingText;
        trimInPlace(text);
        if (!text.isEmpty())
            setTrace(charactersTrace, text);
    }
    return errorText;
}

bool LumoMapParser::characters(const QString &text)
{
    // Stored when the element's next tag arrives, so that the pieces of one text are joined first.
    pendingText.append(text);
    return true;
}

bool LumoMapParser::processPendingText()
{
    if (pendingText.isEmpty())
        return true;
    trimInPlace(pendingText);
    if (pendingText.isEmpty())
        return true;
    setTrace(charactersTrace, pendingText);
    const bool stored = stateStack.isEmpty() || storeText(stateStack.top(), pendingText);
    pendingText.resize(0);
    return stored;
}

bool LumoMapParser::startElement(const QString &, const QString &, const QString &qName,
                                 const QXmlAttributes &)
{
    if (!processPendingText())
        return false;
    setTrace(startElementTrace, qName);

    if (stateStack.isEmpty()) {
        const int root = ParserState::rootState(qName);
        if (root == ParserState::NotListed) {
            appendMessage(QStringLiteral("Unable to parse map start tag.") +
                          QString::number(stateStack.size()));
            return false;
        }
        stateStack.push(root);
        return true;
    }
    if (stateStack.size() >= MaxElementDepth) {
        appendMessage(QStringLiteral("Refused: elements nested deeper than %1 levels.").arg(MaxElementDepth));
        return false;
    }

    const int parent = stateStack.top();
    const ParserState::Entry &parentEntry = ParserState::entry(parent);
    switch (parentEntry.kind) {
    case ParserState::Kind::Ignored:
        stateStack.push(parent);
        return true;
    case ParserState::Kind::Container: {
        const int state = ParserState::childState(parent, qName);
        if (state == ParserState::NotListed) {
            stateStack.push(parentEntry.unlisted);
            if (parent == ParserState::Lumomap)
                appendMessage(QStringLiteral("Unable to parse data."));
            return true;
        }
        stateStack.push(state);
        return startRecord(state);
    }
    case ParserState::Kind::Value:
    case ParserState::Kind::Unused:
        break;
    }
    return false; // an element inside a value element
}

bool LumoMapParser::startRecord(int state)
{
    switch (state) {
    case ParserState::Region:
        return replaceUnfinished(currentRegion);
    case ParserState::FixtureTemplate:
        return replaceUnfinished(currentFixtureTemplate);
    case ParserState::Node:
        if (!replaceUnfinished(currentNode))
            return false;
        currentNode->channelCount = 3;
        return true;
    case ParserState::InterfaceTemplate:
        nextPortnum = 1;
        return replaceUnfinished(currentInterfaceTemplate);
    case ParserState::Output:
        if (currentOutput) {
            qDeleteAll(currentOutput->fixtures);
            delete currentOutput;
        }
        currentOutput = new (std::nothrow) LumoOutput();
        if (!currentOutput)
            return false;
        currentOutput->portnum = static_cast<quint8>(static_cast<quint32>(nextPortnum) & 0xFFu);
        ++nextPortnum;
        currentOutput->used = true;
        return true;
    case ParserState::Fixture:
        return replaceUnfinished(currentFixture);
    case ParserState::Interface:
        return replaceUnfinished(currentInterface);
    case ParserState::LegacyController:
        return startLegacyController();
    case ParserState::LegacyLight:
        return startLegacyLight();
    default:
        return true;
    }
}

bool LumoMapParser::endElement(const QString &, const QString &, const QString &qName)
{
    if (!processPendingText())
        return false;
    setTrace(endElementTrace, qName);
    if (stateStack.isEmpty())
        return false; // an end tag without its start tag; the reader never delivers one
    const int state = stateStack.pop();
    if (qName == QLatin1String("lumomap"))
        return true;
    if (!ParserState::isNamed(state, qName))
        return true;
    return finishRecord(state);
}

bool LumoMapParser::finishRecord(int state)
{
    switch (state) {
    case ParserState::Region:
        if (!model || !currentRegion)
            return false;
        RecordFiling::fileRegion(*model, currentRegion);
        currentRegion = nullptr;
        return true;
    case ParserState::FixtureTemplate:
        if (!model || !currentFixtureTemplate)
            return false;
        RecordFiling::fileFixtureTemplate(*model, currentFixtureTemplate);
        currentFixtureTemplate = nullptr;
        return true;
    case ParserState::Node:
        if (!currentFixtureTemplate || !currentNode)
            return false;
        currentFixtureTemplate->nodelist.append(currentNode);
        currentNode = nullptr;
        return true;
    case ParserState::InterfaceTemplate:
        if (!model || !currentInterfaceTemplate)
            return false;
        RecordFiling::fileInterfaceTemplate(*model, currentInterfaceTemplate);
        currentInterfaceTemplate = nullptr;
        return true;
    case ParserState::Output:
        if (!currentInterfaceTemplate || !currentOutput)
            return false;
        currentInterfaceTemplate->outputs.append(currentOutput);
        currentOutput = nullptr;
        return true;
    case ParserState::Fixture:
        if (!currentOutput || !currentFixture)
            return false;
        currentOutput->fixtures.append(currentFixture);
        currentFixture = nullptr;
        return true;
    case ParserState::Interface:
        if (!model || !currentInterface)
            return false;
        RecordFiling::fileInterface(*model, currentInterface, true);
        currentInterface = nullptr;
        return true;
    case ParserState::LegacyController:
        return finishLegacyController();
    case ParserState::LegacyLight:
        return finishLegacyLight();
    default:
        return true;
    }
}

bool LumoMapParser::internalEntityDecl(const QString &name, const QString &)
{
    appendMessage(QStringLiteral("Refused: entity declaration ") + name +
                  QStringLiteral(" in the document type."));
    return false;
}

bool LumoMapParser::externalEntityDecl(const QString &name, const QString &, const QString &)
{
    appendMessage(QStringLiteral("Refused: external entity declaration ") + name +
                  QStringLiteral(" in the document type."));
    return false;
}

bool LumoMapParser::unparsedEntityDecl(const QString &name, const QString &, const QString &, const QString &)
{
    appendMessage(QStringLiteral("Refused: unparsed entity declaration ") + name +
                  QStringLiteral(" in the document type."));
    return false;
}
