#ifndef LUMOFIXTURETEMPLATE_H
#define LUMOFIXTURETEMPLATE_H

/// \file
/// The fixture template record, LumoFixtureTemplate, and its light points, LumoNode.

#include "lumomap_export.h"

#include <QList>
#include <QString>

class QDomDocument;
class QDomElement;

/// One light point of a fixture template. A plain record: its creator sets what it needs.
struct LUMOMAP_EXPORT LumoNode
{
    double x = 0.0;          ///< `<x>`; position, horizontal
    double y = 0.0;          ///< `<y>`; position, vertical
    qint32 addr = 0;         ///< `<addr>`; channel address
    bool skipnode = false;   ///< `<skipnode>`; stored and loaded, not interpreted
    qint32 channelCount = 0; ///< `<channelCount>`; the map-file loader creates nodes with 3
    qint32 pn = 0;           ///< port of the legacy light the node came from; not stored in the map file
};

/// A fixture template: a named layout of nodes (light points). Fixtures place a template by its
/// `uid`. The document keeps fixture templates in LumoMapModel::fixtureTemplates, keyed by `uid`,
/// and owns them; a template owns the LumoNode records of its `nodelist`. Stored in the map file
/// as one `<fixturetemplate>` element holding a `<nodelist>` of `<node>` elements.
class LUMOMAP_EXPORT LumoFixtureTemplate
{
public:
    /// Takes the next value of the process-wide template counter as `uid`.
    LumoFixtureTemplate();
    /// Copies are deep: the copy owns copies of the source's nodes and keeps the source's `uid`;
    /// the template counter is not advanced.
    LumoFixtureTemplate(const LumoFixtureTemplate &other);
    /// Deep, as the copy constructor.
    LumoFixtureTemplate &operator=(const LumoFixtureTemplate &other);
    /// Deletes the nodes of `nodelist`.
    ~LumoFixtureTemplate();

    /// Returns the template counter's current value and advances it; changes no template.
    static int generateLumoFixtureTemplateUID();

    /// Bounding box of the nodes (every node counts, the offsets are not applied). Four zeros when
    /// there are no nodes; otherwise the least values are at most 1000000.0 and the greatest at
    /// least -1000000.0, the starting values of the search.
    void getBounds(double &minX, double &minY, double &maxX, double &maxY) const;

    /// Appends one `<fixturetemplate>` element, with its `<nodelist>`, as the last child of `parent`.
    /// Returns true.
    bool save(QDomDocument &document, QDomElement &parent);

    quint32 uid;     ///< next template counter value; `<uid>` (hex); the key in fixtureTemplates
    QString name;    ///< "Fixture Template"; `<name>`
    bool locked;     ///< true; `<locked>`; stored and loaded, not interpreted
    double xoffset;  ///< 0.0; `<xoffset>`
    double yoffset;  ///< 0.0; `<yoffset>`
    QList<LumoNode *> nodelist; ///< empty; `<nodelist>`; owned, in file order
};

#endif // LUMOFIXTURETEMPLATE_H
