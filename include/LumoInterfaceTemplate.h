#ifndef LUMOINTERFACETEMPLATE_H
#define LUMOINTERFACETEMPLATE_H

/// \file
/// The interface template record, LumoInterfaceTemplate, and its output ports, LumoOutput.

#include "lumomap_export.h"

#include <QList>
#include <QString>

class LumoFixture;
class QDomDocument;
class QDomElement;

/// One output port of an interface template. A plain record: its creator sets what it needs.
struct LUMOMAP_EXPORT LumoOutput
{
    quint8 portnum = 0;  ///< `<portnum>`; the map-file loader numbers outputs 1, 2, 3 ... in file order
    quint8 porttype = 0; ///< `<porttype>`
    QList<LumoFixture *> fixtures; ///< `<fixture>` elements; owned (deleted by the interface template)
    bool used = false;   ///< not stored; true for outputs read from a map file
};

/// An interface template: a named set of output ports. Interfaces place a template by its `uid`.
/// The document keeps interface templates in LumoMapModel::interfaceTemplates, keyed by `uid`, and
/// owns them; a template owns its LumoOutput records and, through them, the fixtures on each port.
/// Stored in the map file as one `<interfacetemplate>` element holding `<output>` elements.
class LUMOMAP_EXPORT LumoInterfaceTemplate
{
public:
    /// Does not advance the fixture template counter: interface templates have no counter.
    LumoInterfaceTemplate();
    /// Copies are deep: the copy owns copies of the source's outputs and of their fixtures.
    LumoInterfaceTemplate(const LumoInterfaceTemplate &other);
    /// Deep, as the copy constructor.
    LumoInterfaceTemplate &operator=(const LumoInterfaceTemplate &other);
    /// Deletes every output and every fixture on the outputs.
    ~LumoInterfaceTemplate();

    /// Appends one `<interfacetemplate>` element, with its outputs and their fixtures, as the last
    /// child of `parent`. Returns true.
    bool save(QDomDocument &document, QDomElement &parent);

    quint32 uid;    ///< 0xFFFFFFFF (never set); `<uid>` (hex); the key in interfaceTemplates
    QString name;   ///< "Interface Template"; `<name>`
    bool locked;    ///< true; `<locked>`; stored and loaded, not interpreted
    double xoffset; ///< 0.0; `<xoffset>`
    double yoffset; ///< 0.0; `<yoffset>`
    QList<LumoOutput *> outputs; ///< empty; `<output>` elements; owned, in file order
};

#endif // LUMOINTERFACETEMPLATE_H
