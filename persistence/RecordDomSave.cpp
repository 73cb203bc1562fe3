// The record save members: each appends its record's container element, with every leaf in the
// order of the map file, as the last child of the parent it is given.

#include "DomElementSink.h"
#include "MapRecordLayout.h"

bool LumoFixtureTemplate::save(QDomDocument &document, QDomElement &parent)
{
    DomElementSink sink(document, parent);
    MapRecordLayout::writeFixtureTemplate(sink, *this);
    return true;
}

bool LumoInterfaceTemplate::save(QDomDocument &document, QDomElement &parent)
{
    DomElementSink sink(document, parent);
    MapRecordLayout::writeInterfaceTemplate(sink, *this);
    return true;
}

bool LumoFixture::save(QDomDocument &document, QDomElement &parent)
{
    DomElementSink sink(document, parent);
    MapRecordLayout::writeFixture(sink, *this);
    return true;
}

bool LumoInterface::save(QDomDocument &document, QDomElement &parent)
{
    DomElementSink sink(document, parent);
    MapRecordLayout::writeInterface(sink, *this);
    return true;
}

bool LumoRegion::save(QDomDocument &document, QDomElement &parent)
{
    DomElementSink sink(document, parent);
    MapRecordLayout::writeRegion(sink, *this);
    return true;
}
