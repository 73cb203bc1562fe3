#ifndef LUMOTESTPATTERN_H
#define LUMOTESTPATTERN_H

/// \file
/// Test patterns that light a map's nodes to check the wiring against it (library LumoMapOutput,
/// target LumoMap::Output).

#include "lumomapoutput_export.h"

#include <QList>
#include <QSharedDataPointer>
#include <QString>

class LumoFrame;
class LumoTestPatternData;

/// A test pattern: which nodes of the selected ports are lit at each step, written into a LumoFrame.
///
/// Each step clears the frame, so every channel the pattern does not light (the other ports and
/// nodes of the frame's interfaces included) is sent as 0. Nodes are lit with every channel at
/// level(), but for LumoTestPattern::Colors.
///
/// A value class: copies are cheap and independent, and settings added later change neither its
/// size nor its layout.
class LUMOMAPOUTPUT_EXPORT LumoTestPattern
{
public:
    /// The patterns.
    enum Kind {
        Node,   ///< Node node() of each selected port lit, all else off; one step.
        Chase,  ///< One node at a time along each selected port's chain, in chain order, each chain
                ///< starting again after its last node.
        Fill,   ///< Nodes 1, then 1-2, then 1-3, ... of each selected port.
        Ports,  ///< On port P the first P nodes lit and the rest dim, to tell ports apart; one step.
        Colors, ///< Channel 1 of every selected node, then channel 2, then 3, ...: the colour order.
        Level,  ///< Every selected node at level(); one step.
        Off,    ///< Everything at 0; one step.
    };

    /// A chase at level 255 over every port.
    LumoTestPattern();
    /// A copy of `other`.
    LumoTestPattern(const LumoTestPattern &other);
    /// Makes this a copy of `other`.
    LumoTestPattern &operator=(const LumoTestPattern &other);
    /// Destroys the pattern.
    ~LumoTestPattern();

    /// The pattern; LumoTestPattern::Chase by default.
    Kind kind() const;
    /// Sets the pattern.
    void setKind(Kind kind);
    /// The pattern's name as the tool takes it: "node", "chase", "fill", "ports", "colors", "level"
    /// or "off".
    static QString kindName(Kind kind);
    /// The pattern named `name` (as kindName() gives it) in `kind`; false when there is none.
    static bool kindFromName(const QString &name, Kind &kind);

    /// The node that LumoTestPattern::Node lights, from 1; 1 by default.
    int node() const;
    /// Sets the node, at least 1.
    void setNode(int node);
    /// The level of a lit channel, 0-255; 255 by default. Dim nodes of LumoTestPattern::Ports get
    /// an eighth of it (at least 1).
    int level() const;
    /// Sets the level, kept within 0-255.
    void setLevel(int level);

    /// The uids of the interfaces whose ports the pattern lights; empty (the default) for all.
    QList<quint32> interfaces() const;
    /// Sets the interfaces.
    void setInterfaces(const QList<quint32> &uids);
    /// The port (its place on the controller, from 1) the pattern lights; 0 (the default) for all.
    int port() const;
    /// Sets the port; 0 or below for all.
    void setPort(int port);

    /// The steps of one cycle of the pattern on `frame`'s selected ports (at least 1); step numbers
    /// beyond it wrap.
    int stepCount(const LumoFrame &frame) const;
    /// The number of selected ports of `frame` that hold nodes.
    int portCount(const LumoFrame &frame) const;
    /// Writes step `step` into `frame`.
    void apply(LumoFrame &frame, int step) const;
    /// What step `step` lights, in one line for the person at the lights, such as "Stage Left port
    /// 4: node 3 of 6, universe 1 channel 7".
    QString describe(const LumoFrame &frame, int step) const;

private:
    QSharedDataPointer<LumoTestPatternData> d;
};

#endif // LUMOTESTPATTERN_H
