#include "MapDomWriter.h"

#include "DomLeaf.h"
#include "MapElementNames.h"
#include "MapValueFormat.h"

#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QDateTime>

namespace MapDomWriter {

namespace {

using DomLeaf::append;
namespace Format = MapValueFormat;

void appendHeader(QDomDocument &document, QDomElement &root, const LumoMapModel &model,
                  const QDateTime &saveTime)
{
    append(document, root, MapElement::MapFileVersion, Format::unsignedNumber(model.mapfileversion));
    append(document, root, MapElement::MapName, model.getMapName());
    append(document, root, MapElement::AppName, model.getCreatingAppName());
    append(document, root, MapElement::AppVersion, model.getCreatingAppVersion());
    append(document, root, MapElement::SaveDateTime, Format::dateTime(saveTime));
}

void appendGeometry(QDomDocument &document, QDomElement &root, const LumoMapModel &model)
{
    QDomElement geometry = DomLeaf::createContainer(document, MapElement::Geometry);
    append(document, geometry, MapElement::VMinX, Format::real(model.vminx));
    append(document, geometry, MapElement::VMinY, Format::real(model.vminy));
    append(document, geometry, MapElement::VMaxX, Format::real(model.vmaxx));
    append(document, geometry, MapElement::VMaxY, Format::real(model.vmaxy));
    append(document, geometry, MapElement::ScaleXFit, Format::flag(model.scalexfit));
    append(document, geometry, MapElement::ScaleYFit, Format::flag(model.scaleyfit));
    append(document, geometry, MapElement::XOffset, Format::real(model.xoffset));
    append(document, geometry, MapElement::YOffset, Format::real(model.yoffset));
    append(document, geometry, MapElement::XScale, Format::real(model.xscale));
    append(document, geometry, MapElement::YScale, Format::real(model.yscale));
    root.appendChild(geometry);
}

// Walks a snapshot of the collection (the container is copied, not its records).
template <typename Record>
void appendRecords(QDomDocument &document, QDomElement &root, const QHash<quint32, Record *> &records)
{
    const QHash<quint32, Record *> snapshot = records;
    for (Record *record : snapshot) {
        if (record)
            record->save(document, root);
    }
}

} // namespace

QDomDocument buildDocument(const LumoMapModel &model, const QDateTime &saveTime)
{
    QDomDocument document;
    QDomElement root = DomLeaf::createContainer(document, MapElement::Lumomap);
    document.appendChild(root);

    appendHeader(document, root, model, saveTime);
    appendGeometry(document, root, model);
    appendRecords(document, root, model.fixtureTemplates);
    appendRecords(document, root, model.interfaceTemplates);
    appendRecords(document, root, model.interfaces);
    appendRecords(document, root, model.regions);
    return document;
}

} // namespace MapDomWriter
