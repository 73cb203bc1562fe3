#include "MapDomWriter.h"

#include "DomElementSink.h"
#include "MapElementNames.h"
#include "MapRecordLayout.h"
#include "RecordKeys.h"

#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QDateTime>

namespace MapDomWriter {

namespace {

template <typename Record>
void appendRecords(QDomDocument &document, QDomElement &root, const QHash<quint32, Record *> &records)
{
    for (const auto &entry : RecordKeys::inKeyOrder(records))
        entry.record->save(document, root);
}

} // namespace

QDomDocument buildDocument(const LumoMapModel &model, const QDateTime &saveTime)
{
    QDomDocument document;
    QDomElement root = document.createElement(QString(MapElement::Lumomap));
    document.appendChild(root);

    DomElementSink sink(document, root);
    MapRecordLayout::writeHeader(sink, model, saveTime);
    MapRecordLayout::writeGeometry(sink, model);
    appendRecords(document, root, model.fixtureTemplates);
    appendRecords(document, root, model.interfaceTemplates);
    appendRecords(document, root, model.interfaces);
    appendRecords(document, root, model.regions);
    return document;
}

} // namespace MapDomWriter
