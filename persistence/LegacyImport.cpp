// The legacy map import: every controller becomes an interface with an interface template of 16
// outputs, each output carrying one fixture with a fixture template of its own, and a region; every
// light becomes a node of the fixture template on the port of the controller it names.

#include "LumoMapParser.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"
#include "RecordFiling.h"

#include <QColor>

#include <new>

namespace {

constexpr int controllerPorts = 16;

QString hexKey(quint32 key)
{
    return QString::number(key, 16);
}

} // namespace

bool LumoMapParser::startLegacyController()
{
    // Records of a controller left unfinished by a client's own event sequence are not leaked.
    deleteUnfinishedRecords();

    currentInterface = new (std::nothrow) LumoInterface();
    currentInterfaceTemplate = new (std::nothrow) LumoInterfaceTemplate();
    if (!currentInterface || !currentInterfaceTemplate)
        return false;
    currentInterface->templateid = currentInterfaceTemplate->uid;

    controllerOutputs.clear();
    controllerTemplates.clear();
    controllerFixtures.clear();
    ownsControllerTemplates = true;
    for (int port = 0; port < controllerPorts; ++port) {
        auto *output = new (std::nothrow) LumoOutput();
        if (!output)
            return false;
        output->portnum = static_cast<quint8>(port);
        currentInterfaceTemplate->outputs.append(output);
        controllerOutputs.append(output);

        auto *fixture = new (std::nothrow) LumoFixture();
        if (!fixture)
            return false;
        output->fixtures.append(fixture);
        controllerFixtures.append(fixture);

        auto *fixtureTemplate = new (std::nothrow) LumoFixtureTemplate();
        if (!fixtureTemplate)
            return false;
        fixtureTemplate->locked = false;
        // A uid the document already holds would replace a template loaded earlier.
        while (model && model->fixtureTemplates.contains(fixtureTemplate->uid))
            fixtureTemplate->uid = static_cast<quint32>(fixtureTemplate->generateLumoFixtureTemplateUID());
        controllerTemplates.append(fixtureTemplate);
        fixture->templateid = fixtureTemplate->uid;
    }
    return true;
}

bool LumoMapParser::finishLegacyController()
{
    if (!model || !currentInterface || !currentInterfaceTemplate)
        return false;

    for (LumoFixtureTemplate *fixtureTemplate : std::as_const(controllerTemplates))
        RecordFiling::fileFixtureTemplate(*model, fixtureTemplate, displacedRecords());
    ownsControllerTemplates = false;
    for (LumoFixture *fixture : std::as_const(controllerFixtures)) {
        model->fixturesByTemplate.insert(fixture->templateid, fixture);
        currentInterface->fixturesByTemplate.insert(fixture->templateid, fixture);
        filedLegacyFixtures.insert(fixture);
    }
    filedLegacyInterfaces.insert(currentInterface);

    currentRegion = new (std::nothrow) LumoRegion();
    if (currentRegion) {
        currentRegion->number = currentInterface->uid;
        currentRegion->name = QStringLiteral("New Layer: ") + QString::number(currentRegion->number);
        currentRegion->color = QColor(QStringLiteral("green"));
        RecordFiling::fileRegion(*model, currentRegion, displacedRecords());
        currentRegion = nullptr;
    }

    RecordFiling::fileInterface(*model, currentInterface, false, displacedRecords());
    currentInterface = nullptr;
    RecordFiling::fileInterfaceTemplate(*model, currentInterfaceTemplate, displacedRecords());
    currentInterfaceTemplate = nullptr;
    return true;
}

bool LumoMapParser::startLegacyLight()
{
    delete currentNode;
    currentNode = new (std::nothrow) LumoNode();
    if (!currentNode)
        return false;
    lightController = 0xFFFFFFFFu;
    return true;
}

bool LumoMapParser::finishLegacyLight()
{
    if (!model || !currentNode)
        return false;

    const LumoInterface *controller = model->interfaces.value(lightController);
    if (!controller) {
        appendMessage(QStringLiteral("The light names controller ") + hexKey(lightController) +
                      QStringLiteral(", which no earlier controller defines."));
        return false;
    }
    const LumoInterfaceTemplate *controllerTemplate = model->interfaceTemplates.value(controller->templateid);
    if (!controllerTemplate) {
        appendMessage(QStringLiteral("The light names controller ") + hexKey(lightController) +
                      QStringLiteral(", which has no interface template."));
        return false;
    }
    if (lightPn < 0 || lightPn >= controllerPorts || lightPn >= controllerTemplate->outputs.size() ||
        !controllerTemplate->outputs.at(lightPn) ||
        controllerTemplate->outputs.at(lightPn)->fixtures.isEmpty() ||
        !controllerTemplate->outputs.at(lightPn)->fixtures.constFirst()) {
        appendMessage(QStringLiteral("The light names port ") + QString::number(lightPn) +
                      QStringLiteral(" of controller ") + hexKey(lightController) +
                      QStringLiteral(", outside its ports 0 to 15."));
        return false;
    }

    LumoOutput *output = controllerTemplate->outputs.at(lightPn);
    output->portnum = static_cast<quint8>(static_cast<quint32>(lightPn) & 0xFFu);
    output->used = true;
    LumoFixture *fixture = output->fixtures.constFirst();
    fixture->used = true;

    LumoFixtureTemplate *fixtureTemplate = model->fixtureTemplates.value(fixture->templateid);
    if (fixtureTemplate && currentNode->pn == lightPn)
        fixtureTemplate->nodelist.append(currentNode);
    else
        delete currentNode; // a light whose own pn is not the port used is not placed
    currentNode = nullptr;
    return true;
}
