#include "LegacyMapImport.h"

#include "ElementTextConversion.h"
#include "HashRoom.h"
#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoMapParser.h"
#include "LumoRegion.h"
#include "ParserStateTable.h"
#include "PostLoadCalculation.h"
#include "RecordFiling.h"
#include "RecordKeys.h"

#include <QColor>

#include <memory>
#include <new>

namespace {

constexpr int controllerPorts = 16;

} // namespace

bool LegacyMapImport::startController()
{
    LumoMapParser &p = parser;
    p.currentInterface = new (std::nothrow) LumoInterface();
    p.currentInterfaceTemplate = new (std::nothrow) LumoInterfaceTemplate();
    if (!p.currentInterface || !p.currentInterfaceTemplate)
        return false;
    p.currentInterface->templateid = p.currentInterfaceTemplate->uid;

    p.controllerOutputs.clear();
    p.controllerTemplates.clear();
    p.controllerFixtures.clear();
    ownsControllerTemplates = true;
    filedControllerTemplates = 0;
    // Each record is held by a list before the next allocation, so that running out of memory
    // leaks nothing: the interface template owns its outputs and their fixtures, and
    // controllerTemplates the fixture templates.
    for (int port = 0; port < controllerPorts; ++port) {
        std::unique_ptr<LumoOutput> output(new (std::nothrow) LumoOutput());
        if (!output)
            return false;
        output->portnum = static_cast<quint8>(port);
        p.currentInterfaceTemplate->outputs.append(output.get());
        LumoOutput *const heldOutput = output.release();
        p.controllerOutputs.append(heldOutput);

        std::unique_ptr<LumoFixture> fixture(new (std::nothrow) LumoFixture());
        if (!fixture)
            return false;
        heldOutput->fixtures.append(fixture.get());
        LumoFixture *const heldFixture = fixture.release();
        p.controllerFixtures.append(heldFixture);

        std::unique_ptr<LumoFixtureTemplate> fixtureTemplate(new (std::nothrow) LumoFixtureTemplate());
        if (!fixtureTemplate)
            return false;
        fixtureTemplate->locked = false;
        // A uid the document already holds would replace a template loaded earlier.
        while (p.model && p.model->fixtureTemplates.contains(fixtureTemplate->uid))
            fixtureTemplate->uid = static_cast<quint32>(fixtureTemplate->generateLumoFixtureTemplateUID());
        heldFixture->templateid = fixtureTemplate->uid;
        p.controllerTemplates.append(fixtureTemplate.get());
        fixtureTemplate.release();
    }
    return true;
}

bool LegacyMapImport::finishController(RecordFiling::DisplacedRecords &displaced)
{
    LumoMapParser &p = parser;
    if (!p.model || !p.currentInterface || !p.currentInterfaceTemplate)
        return false;
    LumoMapModel &model = *p.model;

    // The records go to the document one at a time, each filing complete or not made, and nothing
    // the document holds points at a record the parser still owns: so running out of memory at any
    // step leaves a sound document, and the parser frees the rest.
    for (; filedControllerTemplates < p.controllerTemplates.size(); ++filedControllerTemplates)
        RecordFiling::fileFixtureTemplate(model, p.controllerTemplates.at(filedControllerTemplates), displaced);
    ownsControllerTemplates = false;
    // The outputs and their fixtures go with the interface template, before the indexes point at them.
    RecordFiling::fileInterfaceTemplate(model, p.currentInterfaceTemplate, displaced);
    p.currentInterfaceTemplate = nullptr;
    const qsizetype fixtures = p.controllerFixtures.size();
    HashRoom::ensureRoomToInsert(model.fixturesByTemplate, fixtures);
    HashRoom::ensureRoomToInsert(p.currentInterface->fixturesByTemplate, fixtures);
    HashRoom::ensureRoomToInsert(filedFixtures, fixtures);
    for (LumoFixture *fixture : std::as_const(p.controllerFixtures)) {
        model.fixturesByTemplate.insert(fixture->templateid, fixture);
        p.currentInterface->fixturesByTemplate.insert(fixture->templateid, fixture);
        filedFixtures.insert(fixture);
    }

    p.currentRegion = new (std::nothrow) LumoRegion();
    if (p.currentRegion) {
        p.currentRegion->number = p.currentInterface->uid;
        p.currentRegion->name = QStringLiteral("New Layer: ") + QString::number(p.currentRegion->number);
        p.currentRegion->color = QColor(QStringLiteral("green"));
        RecordFiling::fileRegion(model, p.currentRegion, displaced);
        p.currentRegion = nullptr;
    }

    RecordFiling::fileInterface(model, p.currentInterface, false, displaced);
    LumoInterface *const filed = p.currentInterface;
    p.currentInterface = nullptr;
    HashRoom::ensureRoomToInsert(filedInterfaces);
    filedInterfaces.insert(filed);
    return true;
}

bool LegacyMapImport::startLight()
{
    LumoMapParser &p = parser;
    delete p.currentNode;
    p.currentNode = new (std::nothrow) LumoNode();
    if (!p.currentNode)
        return false;
    p.lightController = 0xFFFFFFFFu;
    return true;
}

bool LegacyMapImport::finishLight(QString &refusal)
{
    LumoMapParser &p = parser;
    if (!p.model || !p.currentNode)
        return false;
    const LumoMapModel &model = *p.model;
    const qint32 pn = p.lightPn;

    const LumoInterface *controller = model.interfaces.value(p.lightController);
    if (!controller) {
        refusal = QStringLiteral("The light names controller ") + RecordKeys::hexKey(p.lightController) +
                  QStringLiteral(", which no earlier controller defines.");
        return false;
    }
    const LumoInterfaceTemplate *controllerTemplate = model.interfaceTemplates.value(controller->templateid);
    if (!controllerTemplate) {
        refusal = QStringLiteral("The light names controller ") + RecordKeys::hexKey(p.lightController) +
                  QStringLiteral(", which has no interface template.");
        return false;
    }
    if (pn < 0 || pn >= controllerPorts || pn >= controllerTemplate->outputs.size() ||
        !controllerTemplate->outputs.at(pn) || controllerTemplate->outputs.at(pn)->fixtures.isEmpty() ||
        !controllerTemplate->outputs.at(pn)->fixtures.constFirst()) {
        refusal = QStringLiteral("The light names port ") + QString::number(pn) +
                  QStringLiteral(" of controller ") + RecordKeys::hexKey(p.lightController) +
                  QStringLiteral(", outside its ports 0 to 15.");
        return false;
    }

    LumoOutput *output = controllerTemplate->outputs.at(pn);
    output->portnum = static_cast<quint8>(static_cast<quint32>(pn) & 0xFFu);
    output->used = true;
    LumoFixture *fixture = output->fixtures.constFirst();
    fixture->used = true;

    LumoFixtureTemplate *fixtureTemplate = model.fixtureTemplates.value(fixture->templateid);
    if (fixtureTemplate && p.currentNode->pn == pn)
        fixtureTemplate->nodelist.append(p.currentNode);
    else
        delete p.currentNode; // a light whose own pn is not the port used is not placed
    p.currentNode = nullptr;
    return true;
}

template <typename Text> bool LegacyMapImport::storeText(int state, const Text &text)
{
    using namespace ElementText;
    namespace S = ParserState;
    LumoMapParser &p = parser;
    LumoInterface *const interface = p.currentInterface;
    LumoInterfaceTemplate *const interfaceTemplate = p.currentInterfaceTemplate;
    LumoNode *const node = p.currentNode;

    switch (state) {
    // Controller: the texts fan out to every record made for the controller.
    case S::LegacyControllerSelf: {
        quint32 self = 0;
        if (!interface || !toHex(text, self))
            return false;
        interface->uid = self;
        interface->templateid = self;
        interface->region = self;
        if (interfaceTemplate)
            interfaceTemplate->uid = self;
        for (LumoFixture *controllerFixture : std::as_const(p.controllerFixtures))
            controllerFixture->layerid = self;
        return true;
    }
    case S::LegacyControllerName: {
        if (!interface)
            return false;
        toText(text, interface->name);
        if (interfaceTemplate)
            interfaceTemplate->name = interface->name;
        for (LumoFixture *controllerFixture : std::as_const(p.controllerFixtures))
            controllerFixture->name = interface->name;
        for (LumoFixtureTemplate *controllerTemplate : std::as_const(p.controllerTemplates))
            controllerTemplate->name = interface->name;
        return true;
    }
    case S::LegacyControllerIpAddress:
        return interface && toText(text, interface->ip);

    // Light: the node keeps its position and channel; controller and port wait for the end tag.
    case S::LegacyLightX:
        return node && p.model && toOldCoordinate(text, p.model->getTranslateOldCoordinatesToNew(), node->x);
    case S::LegacyLightY:
        return node && p.model && toOldCoordinate(text, p.model->getTranslateOldCoordinatesToNew(), node->y);
    case S::LegacyLightChannel:
        return node && toSigned(text, node->addr);
    case S::LegacyLightController:
        return !p.controllerFixtures.isEmpty() && toHex(text, p.lightController);
    case S::LegacyLightPn: {
        if (!node)
            return false;
        qint32 pn = 0;
        const bool converted = toSigned(text, pn);
        p.lightPn = pn; // 0 when the text does not convert
        if (!converted)
            return false;
        node->pn = pn;
        return true;
    }
    default:
        return true;
    }
}

// The reader's strings and the subset reader's UTF-8 bytes.
template bool LegacyMapImport::storeText(int, const QString &);
template bool LegacyMapImport::storeText(int, const ElementText::Utf8 &);

void LegacyMapImport::deleteUnfinishedController()
{
    if (!ownsControllerTemplates)
        return;
    LumoMapParser &p = parser;
    // Those filed before the parse stopped belong to the document.
    for (qsizetype i = filedControllerTemplates; i < p.controllerTemplates.size(); ++i)
        delete p.controllerTemplates.at(i);
    // The outputs and fixtures went with the controller's interface template.
    p.controllerTemplates.clear();
    p.controllerFixtures.clear();
    p.controllerOutputs.clear();
    ownsControllerTemplates = false;
}

void LegacyMapImport::placeImportedRecords()
{
    if (parser.model && !filedFixtures.isEmpty())
        PostLoadCalculation::placeLegacyImport(*parser.model, filedInterfaces, filedFixtures);
}
