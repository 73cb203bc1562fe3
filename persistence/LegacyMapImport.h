#ifndef LEGACYMAPIMPORT_H
#define LEGACYMAPIMPORT_H

// The legacy map import: every controller becomes an interface with an interface template of 16
// outputs, each output carrying one fixture with a fixture template of its own, and a region; every
// light becomes a node of the fixture template on the port of the controller it names. The parser's
// private part holds one import and calls it for the legacy states (70 to 81). The import works on
// the parser's public fields, which the format fixes (the records under construction,
// lightController, lightPn and the controller lists), and keeps its own state here: whether the
// templates of an open controller are still its own, and the interfaces and fixtures this parse
// filed, on which the post-load calculation acts.
//
// Internal to the library; the header is not installed.

#include <QSet>
#include <QString>

class LumoFixture;
class LumoInterface;
class LumoMapParser;

namespace RecordFiling {
struct DisplacedRecords;
}

class LegacyMapImport
{
public:
    explicit LegacyMapImport(LumoMapParser &parser) : parser(parser) {}

    LegacyMapImport(const LegacyMapImport &) = delete;
    LegacyMapImport &operator=(const LegacyMapImport &) = delete;

    // A controller's start tag: its interface, interface template, 16 outputs, 16 fixtures and 16
    // fixture templates. The records of an earlier unfinished controller must be freed first.
    bool startController();
    // Its end tag: the templates, the interface, the interface template and a new region go to the
    // model; the fixtures enter both fixture indexes.
    bool finishController(RecordFiling::DisplacedRecords &displaced);
    bool startLight();
    // A light's end tag: the node goes to the fixture template on the port it names. False, with the
    // reason in `refusal`, for a light that names a controller or port that does not exist.
    bool finishLight(QString &refusal);
    // The text of a legacy value element (states 71 to 81) into its fields. Other states are left to
    // the caller: the result is then true.
    template <typename Text> bool storeText(int state, const Text &text);

    // Frees the 16 fixture templates of a controller whose end tag never came; the outputs and
    // fixtures go with its interface template, which the parser frees.
    void deleteUnfinishedController();
    // The post-load calculation over the interfaces and fixtures of this parse (PostLoadCalculation).
    void placeImportedRecords();

private:
    LumoMapParser &parser;
    bool ownsControllerTemplates = false; // a controller is open: its 16 templates are ours
    qsizetype filedControllerTemplates = 0; // those of them filed so far by finishController()

    // The legacy interfaces and fixtures this parse filed, for the post-load calculation.
    QSet<const LumoInterface *> filedInterfaces;
    QSet<const LumoFixture *> filedFixtures;
};

#endif // LEGACYMAPIMPORT_H
