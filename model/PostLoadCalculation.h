#ifndef POSTLOADCALCULATION_H
#define POSTLOADCALCULATION_H

// The post-load calculation of a legacy import: the lights arrive as nodes in absolute canvas
// coordinates; afterwards nodes are relative to their fixture, fixtures relative to their
// interface, and interfaces absolute. LumoMapParser::additionalCalculation and
// calculateLumoFixtureDimension call it.
//
// Internal to the library; the header is not installed.

#include <QSet>

class LumoFixture;
class LumoFixtureTemplate;
class LumoInterface;
class LumoMapModel;

namespace PostLoadCalculation {

// Places `fixture` at the least node x and least node y of `fixtureTemplate` and makes the nodes
// relative to that point. Changes nothing when either is null or the template has no nodes.
void placeFixtureAtNodes(LumoFixture *fixture, LumoFixtureTemplate *fixtureTemplate);

// Every used fixture of `fixtures` that the document's fixture index holds takes the least position
// of its template's nodes; then each interface of `interfaces` moves to the least position of its
// used fixtures (visited in port order, so the result never depends on hash order), and those
// fixtures become relative to it. Records of the document outside the two sets stay as they are.
void placeLegacyImport(LumoMapModel &model, const QSet<const LumoInterface *> &interfaces,
                       const QSet<const LumoFixture *> &fixtures);

} // namespace PostLoadCalculation

#endif // POSTLOADCALCULATION_H
