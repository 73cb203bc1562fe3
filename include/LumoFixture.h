#ifndef LUMOFIXTURE_H
#define LUMOFIXTURE_H

/// \file
/// The fixture record, LumoFixture.

#include "lumomap_export.h"

#include <QString>

class QDomDocument;
class QDomElement;

/// A fixture: one placement of a fixture template, named by the template's `uid`. Fixtures hang on
/// the output ports of an interface template (LumoOutput::fixtures), which owns them; the document's
/// and an interface's `fixturesByTemplate` only index them. Stored in the map file as one `<fixture>`
/// element inside its `<output>`.
class LUMOMAP_EXPORT LumoFixture
{
public:
    /// A fixture with the defaults below.
    LumoFixture();

    /// Appends one `<fixture>` element, with its leaves, as the last child of `parent`. Returns true.
    bool save(QDomDocument &document, QDomElement &parent);

    quint32 templateid; ///< 0xFFFFFFFF (never set); `<templateid>` (hex); uid of the fixture template
    QString name;       ///< "Fixture"; `<name>`
    double x;           ///< 0.0; `<x>`
    double y;           ///< 0.0; `<y>`
    double theta;       ///< 0.0; `<theta>`; stored and loaded, not interpreted
    qint32 baseaddr;    ///< 0; `<baseaddr>`
    quint32 layerid;    ///< 0; `<layerid>`
    quint32 groupid;    ///< 0; `<groupid>`
    bool used;          ///< false; not stored; set by the legacy import when a light names the port
};

#endif // LUMOFIXTURE_H
