// The parser's element state machine: start tags push a state and create records, end tags pop it
// and hand the finished records over. The public parser forwards its callbacks to its private part
// (LumoMapParser_p.h), which the subset reader drives directly. The states and the children each
// container accepts are in ParserStateTable.cpp; the element texts are stored by
// ParserTextFields.cpp and the legacy controllers and lights are converted by LegacyMapImport.

#include "LumoMapParser.h"
#include "LumoMapParser_p.h"

#include "ElementTextConversion.h"
#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"
#include "ParserStateTable.h"
#include "PostLoadCalculation.h"
#include "RecordFiling.h"
#include "RecordLoadDefaults.h"

#include <new>
#include <utility>

namespace {

// Replaces a record still under construction; the one it replaces was never handed over.
template <typename Record> bool replaceUnfinished(Record *&current)
{
    delete current;
    current = new (std::nothrow) Record();
    return current != nullptr;
}

// White space as QString::trimmed sees it: tab, line feed, vertical tab, form feed, carriage return
// and space in ASCII, and QChar::isSpace beyond it.
bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    if (u <= 0x7f)
        return u == u' ' || (u >= u'\t' && u <= u'\r');
    return c.isSpace();
}

// An element name for the trace: the reader's string, or the subset reader's bytes.
const QString &nameText(const QString &name)
{
    return name;
}

QString nameText(ParserState::PaddedName name)
{
    return QString(name.bytes);
}

bool isAsciiSpace(char c)
{
    // What QChar::isSpace counts as white space below U+0080.
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The text without the ASCII white space at either end.
ElementText::Utf8 trimmedAscii(const char *utf8, qsizetype size)
{
    qsizetype begin = 0;
    while (begin < size && isAsciiSpace(utf8[begin]))
        ++begin;
    qsizetype end = size;
    while (end > begin && isAsciiSpace(utf8[end - 1]))
        --end;
    return {utf8 + begin, end - begin};
}

// The text without the white space at either end, as QString::trimmed gives it, without a copy.
QStringView trimmedView(const QString &text)
{
    const QChar *p = text.constData();
    qsizetype end = text.size();
    while (end > 0 && isSpace(p[end - 1]))
        --end;
    qsizetype begin = 0;
    while (begin < end && isSpace(p[begin]))
        ++begin;
    return QStringView(p + begin, end - begin);
}

bool isBlank(const QString &text)
{
    const QChar *p = text.constData();
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        if (!isSpace(p[i]))
            return false;
    }
    return true;
}

} // namespace

LumoMapParser::LumoMapParser(LumoMapModel *model)
    : model(model), currentRegion(nullptr), currentInterface(nullptr), currentInterfaceTemplate(nullptr),
      currentOutput(nullptr), currentFixture(nullptr), currentFixtureTemplate(nullptr), currentNode(nullptr),
      lightController(0xFFFFFFFFu), nextPortnum(1), lightPn(0),
      d(std::make_unique<LumoMapParserPrivate>(*this))
{}

LumoMapParser::~LumoMapParser()
{
    d->deleteUnfinishedRecords();
    d->releaseDisplacedRecords();
}

bool LumoMapParser::startElement(const QString &, const QString &, const QString &qName,
                                 const QXmlAttributes &)
{
    return d->noteRefusal(d->startElement(qName));
}

bool LumoMapParser::endElement(const QString &, const QString &, const QString &qName)
{
    return d->noteRefusal(d->endElement(qName));
}

bool LumoMapParser::characters(const QString &text)
{
    return d->characters(text);
}

bool LumoMapParser::fatalError(const QXmlParseException &exception)
{
    return d->fatalError(exception.lineNumber(), exception.columnNumber(), exception.message());
}

bool LumoMapParser::endDocument()
{
    d->releaseDisplacedRecords();
    return true;
}

QString LumoMapParser::errorString()
{
    return d->errorString();
}

void LumoMapParser::additionalCalculation()
{
    d->releaseDisplacedRecords();
    d->legacy.placeImportedRecords();
}

void LumoMapParser::calculateLumoFixtureDimension(LumoFixture *fixture, LumoFixtureTemplate *fixtureTemplate)
{
    PostLoadCalculation::placeFixtureAtNodes(fixture, fixtureTemplate);
}

bool LumoMapParser::internalEntityDecl(const QString &name, const QString &)
{
    d->appendMessage(QStringLiteral("Refused: entity declaration ") + name +
                     QStringLiteral(" in the document type."));
    return d->noteRefusal(false);
}

bool LumoMapParser::externalEntityDecl(const QString &name, const QString &, const QString &)
{
    d->appendMessage(QStringLiteral("Refused: external entity declaration ") + name +
                     QStringLiteral(" in the document type."));
    return d->noteRefusal(false);
}

bool LumoMapParser::unparsedEntityDecl(const QString &name, const QString &, const QString &, const QString &)
{
    d->appendMessage(QStringLiteral("Refused: unparsed entity declaration ") + name +
                     QStringLiteral(" in the document type."));
    return d->noteRefusal(false);
}

// ---- The private part.

LumoMapParserPrivate::LumoMapParserPrivate(LumoMapParser &parser) : q(parser), legacy(parser) {}

void LumoMapParserPrivate::releaseDisplacedRecords()
{
    if (q.model)
        RecordFiling::release(*q.model, displaced);
}

void LumoMapParserPrivate::deleteUnfinishedRecords()
{
    // The order matters: a fixture or output under construction is not yet held by its parent, while
    // the outputs of an unfinished legacy controller already are.
    delete q.currentNode;
    q.currentNode = nullptr;
    delete q.currentFixture;
    q.currentFixture = nullptr;
    if (q.currentOutput) {
        qDeleteAll(q.currentOutput->fixtures);
        delete q.currentOutput;
        q.currentOutput = nullptr;
    }
    delete q.currentFixtureTemplate;
    q.currentFixtureTemplate = nullptr;
    delete q.currentInterfaceTemplate;
    q.currentInterfaceTemplate = nullptr;
    delete q.currentInterface;
    q.currentInterface = nullptr;
    delete q.currentRegion;
    q.currentRegion = nullptr;
    legacy.deleteUnfinishedController();
}

void LumoMapParserPrivate::setTrace(TraceCallback callback, QLatin1String knownName)
{
    traceCallback = callback;
    traceName = knownName;
    if (!traceSubject.isNull()) {
        traceSubject = QString();
        traceSubjectSize = 0;
    }
    if (!traceMessages.isEmpty())
        traceMessages.resize(0);
}

void LumoMapParserPrivate::setTrace(TraceCallback callback, QStringView subject)
{
    setTrace(callback, QLatin1String());
    qsizetype kept = qMin(subject.size(), TraceTextLimit);
    if (kept < subject.size() && subject.at(kept - 1).isHighSurrogate())
        --kept;
    traceSubject = subject.left(kept).toString();
    traceSubjectSize = subject.size();
}

void LumoMapParserPrivate::setTextTrace(const ElementText::Utf8 &text)
{
    // A character takes at most 4 bytes, so these bytes, cut back to the start of a character,
    // hold more characters than are kept.
    qsizetype head = qMin(text.size, 4 * (TraceTextLimit + 1));
    while (head < text.size && (static_cast<unsigned char>(text.data[head]) & 0xC0) == 0x80)
        --head;
    const QString start = ElementText::Utf8{text.data, head}.toString();
    // The UTF-16 length of the rest: one unit per character, two for those beyond U+FFFF.
    qsizetype size = start.size();
    for (qsizetype i = head; i < text.size; ++i) {
        const auto byte = static_cast<unsigned char>(text.data[i]);
        size += ((byte & 0xC0) != 0x80 ? 1 : 0) + (byte >= 0xF0 ? 1 : 0);
    }
    setTrace(TraceCallback::Characters, QStringView(start));
    traceSubjectSize = size;
}

void LumoMapParserPrivate::appendMessage(const QString &message)
{
    traceMessages.append(message);
}

QString LumoMapParserPrivate::errorString()
{
    if (!pendingText.isEmpty()) {
        const QStringView text = trimmedView(pendingText);
        if (!text.isEmpty())
            setTrace(TraceCallback::Characters, text);
    }
    QLatin1String callback;
    switch (traceCallback) {
    case TraceCallback::None:
        break;
    case TraceCallback::StartElement:
        callback = QLatin1String("startElement: ");
        break;
    case TraceCallback::EndElement:
        callback = QLatin1String("endElement: ");
        break;
    case TraceCallback::Characters:
        callback = QLatin1String("characters: ");
        break;
    }
    if (traceCallback != TraceCallback::None) {
        QString subject = traceSubject.isNull() ? QString(traceName) : traceSubject;
        if (traceSubjectSize > traceSubject.size())
            subject += QStringLiteral("... (the first %1 of %2 characters)")
                           .arg(traceSubject.size())
                           .arg(traceSubjectSize);
        q.errorText = callback + subject + traceMessages;
    }
    else if (!traceMessages.isEmpty())
        q.errorText = traceMessages;
    return q.errorText;
}

bool LumoMapParserPrivate::characters(const QString &text)
{
    // Stored when the element's next tag arrives, so that the pieces of one text are joined first.
    // White space before the first piece would be trimmed anyway; it is the layout between elements.
    if (pendingText.isEmpty() && isBlank(text))
        return true;
    pendingText.append(text.constData(), text.size());
    return true;
}

bool LumoMapParserPrivate::processPendingText()
{
    if (pendingText.isEmpty())
        return true;
    const QStringView text = trimmedView(pendingText);
    bool stored = true;
    if (!text.isEmpty() && !q.stateStack.isEmpty()) {
        if (text.size() == pendingText.size()) {
            stored = storeText(std::as_const(q.stateStack).top(), pendingText);
            if (!stored)
                setTrace(TraceCallback::Characters, QStringView(pendingText));
        } else {
            const QString trimmed = text.toString();
            stored = storeText(std::as_const(q.stateStack).top(), trimmed);
            if (!stored)
                setTrace(TraceCallback::Characters, trimmed);
        }
    }
    pendingText.resize(0);
    return stored;
}

bool LumoMapParserPrivate::fatalError(int line, int column, const QString &readerMessage)
{
    stopLine = line;
    stopColumn = column;
    if (!refused)
        readerReason = readerMessage;
    const QStringView text = trimmedView(pendingText);
    if (!text.isEmpty())
        setTrace(TraceCallback::Characters, text);
    processPendingText();
    return false;
}

template <typename Name> bool LumoMapParserPrivate::startElement(const Name &qName)
{
    if (!pendingText.isEmpty() && !processPendingText())
        return false;

    if (q.stateStack.isEmpty()) {
        const ParserState::Child *root = ParserState::rootChild(qName);
        if (!root) {
            refusedRoot = nameText(qName);
            setTrace(TraceCallback::StartElement, refusedRoot);
            appendMessage(QStringLiteral("Unable to parse map start tag.") +
                          QString::number(q.stateStack.size()));
            return false;
        }
        setTrace(TraceCallback::StartElement, root->name);
        q.stateStack.push(root->state);
        if (rootState < 0)
            rootState = root->state;
        return true;
    }
    if (q.stateStack.size() >= LumoMapParser::MaxElementDepth) {
        setTrace(TraceCallback::StartElement, nameText(qName));
        appendMessage(QStringLiteral("Refused: elements nested deeper than %1 levels.")
                          .arg(LumoMapParser::MaxElementDepth));
        return false;
    }

    const int parent = std::as_const(q.stateStack).top();
    const ParserState::Entry &parentEntry = ParserState::entry(parent);
    switch (parentEntry.kind) {
    case ParserState::Kind::Ignored:
        setTrace(TraceCallback::StartElement, nameText(qName));
        q.stateStack.push(parent);
        return true;
    case ParserState::Kind::Container: {
        const ParserState::Child *child = ParserState::child(parent, qName, childHints[parent]);
        if (!child) {
            setTrace(TraceCallback::StartElement, nameText(qName));
            q.stateStack.push(parentEntry.unlisted);
            if (parent == ParserState::Lumomap)
                appendMessage(QStringLiteral("Unable to parse data."));
            return true;
        }
        setTrace(TraceCallback::StartElement, child->name);
        q.stateStack.push(child->state);
        return !ParserState::opensRecord(child->state) || startRecord(child->state);
    }
    case ParserState::Kind::Value:
    case ParserState::Kind::Unused:
        break;
    }
    setTrace(TraceCallback::StartElement, nameText(qName));
    return false; // an element inside a value element
}

bool LumoMapParserPrivate::startRecord(int state)
{
    switch (state) {
    case ParserState::Region:
        return replaceUnfinished(q.currentRegion);
    case ParserState::FixtureTemplate:
        return replaceUnfinished(q.currentFixtureTemplate);
    case ParserState::Node:
        if (!replaceUnfinished(q.currentNode))
            return false;
        RecordLoadDefaults::startNode(*q.currentNode);
        return true;
    case ParserState::InterfaceTemplate:
        q.nextPortnum = 1;
        return replaceUnfinished(q.currentInterfaceTemplate);
    case ParserState::Output:
        if (q.currentOutput) {
            qDeleteAll(q.currentOutput->fixtures);
            delete q.currentOutput;
        }
        q.currentOutput = new (std::nothrow) LumoOutput();
        if (!q.currentOutput)
            return false;
        RecordLoadDefaults::startOutput(*q.currentOutput, q.nextPortnum);
        ++q.nextPortnum;
        return true;
    case ParserState::Fixture:
        return replaceUnfinished(q.currentFixture);
    case ParserState::Interface:
        return replaceUnfinished(q.currentInterface);
    case ParserState::LegacyController:
        // Records of a controller left unfinished by a client's own event sequence are not leaked.
        deleteUnfinishedRecords();
        return legacy.startController();
    case ParserState::LegacyLight:
        return legacy.startLight();
    default:
        return true;
    }
}

template <typename Name> bool LumoMapParserPrivate::endElement(const Name &qName)
{
    if (!pendingText.isEmpty() && !processPendingText())
        return false;
    if (q.stateStack.isEmpty()) {
        setTrace(TraceCallback::EndElement, nameText(qName));
        return false; // an end tag without its start tag; the reader never delivers one
    }
    const int state = q.stateStack.pop();
    const QLatin1String ownName = ParserState::ownName(state, qName);
    if (ownName.size() == 0) {
        // An unlisted element, or a client's event sequence whose names do not match its states.
        setTrace(TraceCallback::EndElement, nameText(qName));
        return true;
    }
    setTrace(TraceCallback::EndElement, ownName);
    return !ParserState::opensRecord(state) || finishRecord(state);
}

// The subset reader's names (SubsetParserEvents).
template bool LumoMapParserPrivate::startElement(const ParserState::PaddedName &);
template bool LumoMapParserPrivate::endElement(const ParserState::PaddedName &);

bool LumoMapParserPrivate::elementText(const char *utf8, qsizetype size)
{
    // The same as characters() followed by the processing at the next tag, without the copy: the
    // text arrives whole, as UTF-8.
    const ElementText::Utf8 trimmed = trimmedAscii(utf8, size);
    if (trimmed.size == 0)
        return true;
    if (static_cast<unsigned char>(trimmed.data[0]) >= 0x80 ||
        static_cast<unsigned char>(trimmed.data[trimmed.size - 1]) >= 0x80) {
        // Other white space may stand at either end: the QString route trims it.
        pendingText = ElementText::Utf8{utf8, size}.toString();
        return processPendingText();
    }
    if (q.stateStack.isEmpty())
        return true;
    return storeTextOrTrace(std::as_const(q.stateStack).top(), trimmed);
}

bool LumoMapParserPrivate::storeTextOrTrace(int state, const ElementText::Utf8 &trimmed)
{
    const bool stored = storeText(state, trimmed);
    if (!stored)
        setTextTrace(trimmed);
    return stored;
}

bool LumoMapParserPrivate::valueElement(const ParserState::PaddedName &name, const char *asciiText,
                                        qsizetype size, bool &startRefused)
{
    // The element's state is never pushed, and the trace of its start tag, which its end tag would
    // replace at once, is never set. Every case other than a listed value element of a container
    // takes the three steps.
    const ParserState::Child *child = nullptr;
    if (pendingText.isEmpty() && !q.stateStack.isEmpty() &&
        q.stateStack.size() < LumoMapParser::MaxElementDepth) {
        const int parent = std::as_const(q.stateStack).top();
        if (ParserState::entry(parent).kind == ParserState::Kind::Container)
            child = ParserState::child(parent, name, childHints[parent]);
    }
    if (!child || ParserState::entry(child->state).kind != ParserState::Kind::Value) {
        startRefused = !startElement(name);
        return !startRefused && (size == 0 || elementText(asciiText, size)) && endElement(name);
    }

    const ElementText::Utf8 trimmed = trimmedAscii(asciiText, size);
    if (trimmed.size != 0 && !storeTextOrTrace(child->state, trimmed)) {
        q.stateStack.push(child->state); // where the start tag would have left the stack
        return false;
    }
    setTrace(TraceCallback::EndElement, child->name);
    return true;
}

bool LumoMapParserPrivate::finishRecord(int state)
{
    switch (state) {
    case ParserState::Region:
        if (!q.model || !q.currentRegion)
            return false;
        RecordFiling::fileRegion(*q.model, q.currentRegion, displaced);
        q.currentRegion = nullptr;
        return true;
    case ParserState::FixtureTemplate:
        if (!q.model || !q.currentFixtureTemplate)
            return false;
        RecordFiling::fileFixtureTemplate(*q.model, q.currentFixtureTemplate, displaced);
        q.currentFixtureTemplate = nullptr;
        return true;
    case ParserState::Node:
        if (!q.currentFixtureTemplate || !q.currentNode)
            return false;
        q.currentFixtureTemplate->nodelist.append(q.currentNode);
        q.currentNode = nullptr;
        return true;
    case ParserState::InterfaceTemplate:
        if (!q.model || !q.currentInterfaceTemplate)
            return false;
        RecordFiling::fileInterfaceTemplate(*q.model, q.currentInterfaceTemplate, displaced);
        q.currentInterfaceTemplate = nullptr;
        return true;
    case ParserState::Output:
        if (!q.currentInterfaceTemplate || !q.currentOutput)
            return false;
        q.currentInterfaceTemplate->outputs.append(q.currentOutput);
        q.currentOutput = nullptr;
        return true;
    case ParserState::Fixture:
        if (!q.currentOutput || !q.currentFixture)
            return false;
        q.currentOutput->fixtures.append(q.currentFixture);
        q.currentFixture = nullptr;
        return true;
    case ParserState::Interface:
        if (!q.model || !q.currentInterface)
            return false;
        RecordFiling::fileInterface(*q.model, q.currentInterface, true, displaced);
        q.currentInterface = nullptr;
        return true;
    case ParserState::LegacyController:
        return legacy.finishController(displaced);
    case ParserState::LegacyLight: {
        QString refusal;
        const bool placed = legacy.finishLight(refusal);
        if (!refusal.isEmpty())
            appendMessage(refusal);
        return placed;
    }
    default:
        return true;
    }
}
