#ifndef LUMOMAPPARSER_H
#define LUMOMAPPARSER_H

/// \file
/// The SAX content handler that reads map files and legacy maps into a LumoMapModel.

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

/// The SAX content handler that reads a map file (root `<lumomap>`) or a legacy map (root `<map>`)
/// into a LumoMapModel.
///
/// It keeps one state code per open element; start tags create records, element texts fill their
/// fields and end tags hand the finished records to the model or to their parent record.
/// LumoMapModel::loadFromFile and LumoMapModel::loadFromText drive it; a host may also drive its own
/// QXmlSimpleReader with it (install it as the content handler, and as the declaration and DTD
/// handler so that entity declarations are refused). The parser owns the records it is still
/// building and frees those that a stopped parse leaves unfinished; the model it fills is not owned
/// and must outlive the parser.
///
/// Hostile input: elements may nest at most MaxElementDepth levels deep (real maps nest five), so
/// the reader, which recurses once per level, stays far from the end of its stack; and every entity
/// declaration in a document type declaration is refused, so no entity can be expanded without
/// limit and no external entity is ever read. Both stop the parse with a message in the trace.
///
/// The text of one element may reach characters() in several pieces (the reader splits it around
/// comments and CDATA sections); the pieces are joined and the whole text is trimmed and converted
/// when the next start or end tag arrives.
///
/// Binary compatibility: the class holds the members hosts use and one pointer to its private part,
/// which keeps everything else the reader needs, so its size and layout stay as they are when the
/// reader changes.
class LUMOMAP_EXPORT LumoMapParser : public QXmlDefaultHandler
{
public:
    /// A parser that fills `model`, which it does not own.
    explicit LumoMapParser(LumoMapModel *model);
    /// Frees the records still under construction, and the records that later records with the same
    /// key displaced during the parse and that the model no longer holds.
    ~LumoMapParser() override;

    LumoMapParser(const LumoMapParser &) = delete;
    LumoMapParser &operator=(const LumoMapParser &) = delete;

    /// A start tag: pushes the element's state and creates the record it stands for. Only `qName`
    /// is used. Returns false to stop the parse (an unknown root element, an element inside a value
    /// element, nesting deeper than MaxElementDepth, a legacy record that cannot be made).
    bool startElement(const QString &namespaceURI, const QString &localName, const QString &qName,
                      const QXmlAttributes &attributes) override;
    /// An end tag: pops the element's state and hands a finished record to its parent record or to
    /// the model under its key. Returns false to stop the parse.
    bool endElement(const QString &namespaceURI, const QString &localName, const QString &qName) override;
    /// A piece of element text; the pieces are joined and stored at the element's next tag, where a
    /// text that does not convert to its field stops the parse. Returns true.
    bool characters(const QString &text) override;

    /// Refuses the entity declaration `name` of a document type: returns false with a message.
    bool internalEntityDecl(const QString &name, const QString &value) override;
    /// Refuses the external entity declaration `name`: returns false with a message.
    bool externalEntityDecl(const QString &name, const QString &publicId, const QString &systemId) override;
    /// Refuses the unparsed entity declaration `name`: returns false with a message.
    bool unparsedEntityDecl(const QString &name, const QString &publicId, const QString &systemId,
                            const QString &notationName) override;

    /// The reader stopped on malformed input. Text still waiting for its element's next tag is stored
    /// as it would have been on arrival, and the trace names it. The loaders install the parser as the
    /// reader's error handler for this; a host driving its own reader may do the same. Returns false.
    bool fatalError(const QXmlParseException &exception) override;

    /// The end of the document: records displaced during the parse by later records with the same key
    /// are destroyed unless the model still holds them, and every pointer the model keeps to them is
    /// removed. Returns true.
    bool endDocument() override;

    /// The deepest nesting of elements accepted, the root counting as level 1.
    static constexpr int MaxElementDepth = 256;

    using QXmlDefaultHandler::errorString;
    /// The trace of the last callback ("startElement: ", "characters: " or "endElement: " followed by
    /// the element name or text), with any messages appended to it. Text still waiting for its
    /// element's next tag is named as the last callback. During a parse the trace is kept in a
    /// compact form; this writes it out into errorText and returns a copy.
    QString errorString();

    /// The post-load calculation, run by LumoMapModel::loadFromFile after every parse. It acts only on
    /// the legacy controllers this parse read, so records of earlier loads into the same document stay
    /// where they are: it places every used legacy fixture at the least position of its template's
    /// nodes, each interface at the least position of its used fixtures (visited in port order, so the
    /// result never depends on hash order), and makes fixture positions relative to their interface.
    /// Displaced records (see endDocument()) are released first.
    void additionalCalculation();
    /// Places `fixture` at the least node x and least node y of `fixtureTemplate` and makes the
    /// nodes relative to that point. Changes nothing when either is null or the template has no nodes.
    void calculateLumoFixtureDimension(LumoFixture *fixture, LumoFixtureTemplate *fixtureTemplate);

    QString errorText;                         ///< The trace as errorString() last wrote it; null at first.
    LumoMapModel *model;                       ///< The document being filled; not owned.
    LumoRegion *currentRegion;                 ///< The region under construction, or null.
    LumoInterface *currentInterface;           ///< The interface (or legacy controller) under construction.
    LumoInterfaceTemplate *currentInterfaceTemplate; ///< The interface template under construction.
    LumoOutput *currentOutput;                 ///< The output under construction, or null.
    LumoFixture *currentFixture;               ///< The fixture under construction, or null.
    LumoFixtureTemplate *currentFixtureTemplate; ///< The fixture template under construction, or null.
    LumoNode *currentNode;                     ///< The node or legacy light under construction, or null.
    quint32 lightController;                   ///< The controller the legacy light being read names.
    qint32 nextPortnum;                        ///< The `portnum` of the next output of the interface template.
    qint32 lightPn;                            ///< The port the legacy light being read names.
    QList<LumoOutput *> controllerOutputs;     ///< The 16 outputs of the latest legacy controller; not owned.
    QList<LumoFixture *> controllerFixtures;   ///< The 16 fixtures of the latest legacy controller; not owned.
    QList<LumoFixtureTemplate *> controllerTemplates; ///< The 16 fixture templates of the latest legacy controller; not owned.
    QStack<int> stateStack;                    ///< One state code per open element; the top is the innermost.

private:
    friend class LumoMapParserPrivate;
    const std::unique_ptr<LumoMapParserPrivate> d;
};

#endif // LUMOMAPPARSER_H
