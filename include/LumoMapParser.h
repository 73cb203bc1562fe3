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
//
// Binary compatibility: the class holds the members hosts use and one pointer to its private part,
// which keeps everything else the reader needs; so the size and layout of the class stay as they
// are when the reader changes.

#include "lumomap_export.h"

#include <QList>
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
class LumoMapParserPrivate;

class LUMOMAP_EXPORT LumoMapParser : public QXmlDefaultHandler
{
public:
    explicit LumoMapParser(LumoMapModel *model);
    // Frees the records still under construction, and the records that later records with the same
    // key displaced during the parse and that the model no longer holds.
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

    // The end of the document: records displaced during the parse by later records with the same key
    // are destroyed unless the model still holds them, and every pointer the model keeps to them is
    // removed. Returns true.
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
    // Displaced records (see endDocument) are released first.
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
    friend class LumoMapParserPrivate;
    const std::unique_ptr<LumoMapParserPrivate> d;
};

#endif // LUMOMAPPARSER_H
