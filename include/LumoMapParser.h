#ifndef LUMOMAPPARSER_H
#define LUMOMAPPARSER_H

// The SAX content handler that reads a map file (root <lumomap>) or a legacy map (root <map>) into
// a LumoMapModel. It keeps one state code per open element; start tags create records, element
// texts fill their fields and end tags hand the finished records to the model or to their parent
// record. LumoMapModel::loadFromFile and loadFromText drive it; a host may also drive its own
// QXmlSimpleReader with it (install it as the content handler, and as the declaration and DTD
// handler so that entity declarations are refused). The parser owns the records it is still
// building and frees those that a stopped parse leaves unfinished; the model it fills is not owned
// and must outlive the parser.
//
// Hostile input: elements may nest at most MaxElementDepth levels deep (real maps nest five), so
// the reader, which recurses once per level, stays far from the end of its stack; and every entity
// declaration in a document type declaration is refused, so no entity can be expanded without
// limit and no external entity is ever read. Both stop the parse with a message in the trace.
//
// The text of one element may reach characters() in several pieces (the reader splits it around
// comments and CDATA sections); the pieces are joined and the whole text is trimmed and converted
// when the next start or end tag arrives.

#include "lumomap_export.h"

#include <QList>
#include <QSet>
#include <QStack>
#include <QString>
#include <QXmlDefaultHandler>

#include <memory>

class LumoFixture;
class LumoFixtureTemplate;
class LumoInterface;
class LumoInterfaceTemplate;
class LumoMapModel;
class LumoRegion;
struct LumoNode;
struct LumoOutput;
namespace ElementText {
struct Utf8;
}
namespace ParserState {
struct PaddedName;
}
namespace RecordFiling {
struct DisplacedRecords;
}

class LUMOMAP_EXPORT LumoMapParser : public QXmlDefaultHandler
{
public:
    explicit LumoMapParser(LumoMapModel *model);
    ~LumoMapParser() override;

    LumoMapParser(const LumoMapParser &) = delete;
    LumoMapParser &operator=(const LumoMapParser &) = delete;

    bool startElement(const QString &namespaceURI, const QString &localName, const QString &qName,
                      const QXmlAttributes &attributes) override;
    bool endElement(const QString &namespaceURI, const QString &localName, const QString &qName) override;
    bool characters(const QString &text) override;

    // Entity declarations are refused (see above).
    bool internalEntityDecl(const QString &name, const QString &value) override;
    bool externalEntityDecl(const QString &name, const QString &publicId, const QString &systemId) override;
    bool unparsedEntityDecl(const QString &name, const QString &publicId, const QString &systemId,
                            const QString &notationName) override;

    // The reader stopped on malformed input. Text still waiting for its element's next tag is stored
    // as it would have been on arrival, and the trace names it. The loaders install the parser as the
    // reader's error handler for this; a host driving its own reader may do the same.
    bool fatalError(const QXmlParseException &exception) override;

    // Records displaced during the parse by later records with the same key stay alive until the end
    // of the parse; this destroys those that the model no longer holds and removes every pointer
    // the model keeps to them. endDocument(), the destructor and the loaders (before the post-load
    // calculation) call it; calling it again does nothing.
    void releaseDisplacedRecords();
    bool endDocument() override;

    // The deepest nesting of elements accepted, the root counting as level 1.
    static constexpr int MaxElementDepth = 256;

    // The trace of the last callback, with any messages appended to it. Text still waiting for its
    // element's next tag is named as the last callback. During a parse the trace is kept in a
    // compact form; errorString() writes it out into errorText and returns a copy.
    using QXmlDefaultHandler::errorString;
    QString errorString();

    // Post-load calculation, run by loadFromFile after every parse; acts only on the legacy
    // controllers this parse read, so records of earlier loads into the same document stay where
    // they are. Places every used legacy fixture at the least position of its template's nodes,
    // each interface at the least position of its used fixtures (visited in port order, so the
    // result never depends on hash order), and makes fixture positions relative to their interface.
    void additionalCalculation();
    // Places `fixture` at the least node x and least node y of `fixtureTemplate` and makes the
    // nodes relative to that point. Changes nothing when the template has no nodes.
    void calculateLumoFixtureDimension(LumoFixture *fixture, LumoFixtureTemplate *fixtureTemplate);

    QString errorText;
    LumoMapModel *model;
    LumoRegion *currentRegion;
    LumoInterface *currentInterface;
    LumoInterfaceTemplate *currentInterfaceTemplate;
    LumoOutput *currentOutput;
    LumoFixture *currentFixture;
    LumoFixtureTemplate *currentFixtureTemplate;
    LumoNode *currentNode;
    quint32 lightController;
    qint32 nextPortnum;
    qint32 lightPn;
    QList<LumoOutput *> controllerOutputs;            // the latest legacy controller's; not owned
    QList<LumoFixture *> controllerFixtures;          // the latest legacy controller's; not owned
    QList<LumoFixtureTemplate *> controllerTemplates; // the latest legacy controller's; not owned
    QStack<int> stateStack;

private:
    // The subset reader drives the same state machine through the entry points below.
    friend class SubsetParserEvents;
    template <typename Name> bool startElementNamed(const Name &name);
    template <typename Name> bool endElementNamed(const Name &name);
    // The whole text of the open element up to its next tag, as UTF-8.
    bool elementText(const char *utf8, qsizetype size);
    // <name>text</name> with the text in ASCII without references: the same as its start tag, its
    // text (when not empty) and its end tag in a row.
    bool valueElement(const ParserState::PaddedName &name, const char *asciiText, qsizetype size);

    enum class TraceCallback : quint8
    {
        None,
        StartElement,
        EndElement,
        Characters
    };
    void setTrace(TraceCallback callback, QLatin1String knownName);
    void setTrace(TraceCallback callback, const QString &subject);
    void appendMessage(const QString &message);
    bool processPendingText();
    template <typename Text> bool storeText(int state, const Text &text);
    bool storeTextOrTrace(int state, const ElementText::Utf8 &trimmed);
    bool startRecord(int state);
    bool finishRecord(int state);
    bool startLegacyController();
    bool finishLegacyController();
    bool startLegacyLight();
    bool finishLegacyLight();
    void deleteUnfinishedRecords();
    RecordFiling::DisplacedRecords &displacedRecords();
    // The fixtures a legacy interface indexes, in the order of its template's ports.
    QList<LumoFixture *> fixturesInPortOrder(const LumoInterface &interface) const;

    QString pendingText;                  // text of the open element not yet stored, pieces joined
    bool ownsControllerTemplates = false; // a legacy controller is open: its 16 templates are ours

    // The trace of the last callback: which callback, and its element name (one of the table's
    // names, or another name as the reader gave it) or its text, then the messages appended to it.
    TraceCallback traceCallback = TraceCallback::None;
    QLatin1String traceName;
    QString traceSubject;
    QString traceMessages;

    // The legacy interfaces and fixtures this parse filed, for the post-load calculation.
    QSet<const LumoInterface *> filedLegacyInterfaces;
    QSet<const LumoFixture *> filedLegacyFixtures;

    // Records displaced during this parse, released at its end; created by the first displacement.
    std::unique_ptr<RecordFiling::DisplacedRecords> displaced;
    quint8 childHints[84] = {}; // per state code 0 to 83: where to start looking up its next child
};

#endif // LUMOMAPPARSER_H
