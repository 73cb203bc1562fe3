#ifndef LUMOMAPPARSER_H
#define LUMOMAPPARSER_H

// The SAX content handler that reads a map file (root <lumomap>) or a legacy map (root <map>) into
// a LumoMapModel. It keeps one state code per open element; start tags create records, element
// texts fill their fields and end tags hand the finished records to the model or to their parent
// record. LumoMapModel::loadFromFile and loadFromText drive it; a host may also drive its own
// QXmlSimpleReader with it. The parser owns the records it is still building; the model it fills
// is not owned.

#include "lumomap_export.h"

#include <QList>
#include <QStack>
#include <QString>
#include <QXmlDefaultHandler>

class LumoFixture;
class LumoFixtureTemplate;
class LumoInterface;
class LumoInterfaceTemplate;
class LumoMapModel;
class LumoRegion;
struct LumoNode;
struct LumoOutput;

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

    // The trace of the last callback, with any messages appended to it.
    using QXmlDefaultHandler::errorString;
    QString errorString();

    // Post-load calculation, run by loadFromFile after every parse; acts only after a legacy
    // controller was read. Places every used legacy fixture at the least position of its
    // template's nodes, each interface at the least position of its used fixtures, and makes
    // fixture positions relative to their interface.
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
};

#endif // LUMOMAPPARSER_H
