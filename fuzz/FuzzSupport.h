#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

// Helpers shared by the libFuzzer targets: turning fuzz bytes into a document text, saving a model
// to a string, the structural checks every loaded model must pass, and the canonical comparison of
// two models across a save. A failed check prints what differed and aborts, which libFuzzer records
// as a crash together with the input that caused it.

#include <ModelDump.h>

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QColor>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

[[noreturn]] inline void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

inline void require(bool condition, const char *what, const QString &detail = QString())
{
    if (!condition)
        fail(what, detail);
}

// Fuzz bytes as the text a host hands to loadFromText: decoded as UTF-8, invalid sequences
// becoming replacement characters.
inline QString textFromBytes(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<int>(size));
}

inline QString saveToString(LumoMapModel &model)
{
    QString text;
    QTextStream stream(&text);
    require(model.save(stream), "save into a string stream returned false");
    stream.flush();
    return text;
}

// The failure message of a load that did not find its file is the only one without this prefix.
inline void requireLoadMessage(const LumoMapModel &model, bool loaded)
{
    static const QString prefix = QStringLiteral("Unable to parse file: ");
    if (loaded)
        require(model.lastError.isNull(), "a successful load into a fresh model set lastError",
                model.lastError);
    else
        require(model.lastError.startsWith(prefix), "a failed load left an unexpected lastError",
                model.lastError);
}

// Every pointer the model's indexes hold must be a record the model owns: an index entry that
// outlived its record would be read after it was freed.
inline void requireConsistentIndexes(const LumoMapModel &model)
{
    QSet<const LumoFixture *> ownedFixtures;
    for (const LumoInterfaceTemplate *t : model.interfaceTemplates) {
        require(t != nullptr, "null interface template in the model");
        for (const LumoOutput *o : t->outputs) {
            require(o != nullptr, "null output in an interface template");
            for (const LumoFixture *f : o->fixtures) {
                require(f != nullptr, "null fixture on an output");
                ownedFixtures.insert(f);
            }
        }
    }
    for (const LumoFixture *f : model.fixturesByTemplate)
        require(ownedFixtures.contains(f),
                "fixturesByTemplate points at a fixture no interface template holds");
    QSet<const LumoInterface *> ownedInterfaces;
    for (const LumoInterface *i : model.interfaces) {
        require(i != nullptr, "null interface in the model");
        ownedInterfaces.insert(i);
        for (const LumoFixture *f : i->fixturesByTemplate)
            require(ownedFixtures.contains(f),
                    "an interface's fixturesByTemplate points at a fixture no template holds");
    }
    for (const LumoInterface *i : model.interfacesByOrder)
        require(ownedInterfaces.contains(i),
                "interfacesByOrder points at an interface the model does not hold");
    for (const LumoFixtureTemplate *t : model.fixtureTemplates) {
        require(t != nullptr, "null fixture template in the model");
        for (const LumoNode *n : t->nodelist)
            require(n != nullptr, "null node in a fixture template");
    }
    for (const LumoRegion *r : model.regions)
        require(r != nullptr, "null region in the model");
}

// After one load into a fresh model the order index holds each interface of a current-format map
// exactly once, under its order; a legacy map (recognised by its fixture index) enters none.
inline void requireOrderIndexMatches(const LumoMapModel &model)
{
    QStringList indexed;
    for (auto it = model.interfacesByOrder.cbegin(); it != model.interfacesByOrder.cend(); ++it)
        indexed << QStringLiteral("%1:%2").arg(it.key()).arg(it.value()->uid);
    indexed.sort();
    QStringList expected;
    if (model.fixturesByTemplate.isEmpty()) {
        for (const LumoInterface *i : model.interfaces)
            expected << QStringLiteral("%1:%2").arg(i->order).arg(i->uid);
    }
    expected.sort();
    require(indexed == expected, "interfacesByOrder does not match the interfaces",
            indexed.join(QLatin1Char(' ')) + QStringLiteral("\nexpected\n") +
                expected.join(QLatin1Char(' ')));
}

// The dump with the order index in a canonical order: entries with equal order stand in insertion
// order in the multi-map, which follows the record order of the file and so the hash order of
// the model that wrote it.
inline QStringList canonicalDump(const LumoMapModel &model, bool withOrderIndex)
{
    QStringList lines = ModelDump::dump(model);
    const QString indexLine = lines.takeLast();
    if (withOrderIndex) {
        QStringList entries = indexLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString head = entries.takeFirst();
        entries.sort();
        lines << head + QLatin1Char(' ') + entries.join(QLatin1Char(' '));
    }
    return lines;
}

inline double asWritten(double value)
{
    return QString::number(value, 'g', 6).toDouble();
}

// Applies to a loaded model the conversions that the map file makes by design, so that it can be
// compared with the model read back from its own save: real values keep six significant digits, a
// colour keeps only its red, green and blue (an invalid colour is written as black).
inline void reduceToFileForm(LumoMapModel &model)
{
    for (double *value : {&model.vminx, &model.vminy, &model.vmaxx, &model.vmaxy, &model.xoffset,
                          &model.yoffset, &model.xscale, &model.yscale})
        *value = asWritten(*value);
    for (LumoFixtureTemplate *t : model.fixtureTemplates) {
        t->xoffset = asWritten(t->xoffset);
        t->yoffset = asWritten(t->yoffset);
        for (LumoNode *n : t->nodelist) {
            n->x = asWritten(n->x);
            n->y = asWritten(n->y);
        }
    }
    for (LumoInterfaceTemplate *t : model.interfaceTemplates) {
        t->xoffset = asWritten(t->xoffset);
        t->yoffset = asWritten(t->yoffset);
        for (LumoOutput *o : t->outputs) {
            for (LumoFixture *f : o->fixtures) {
                f->x = asWritten(f->x);
                f->y = asWritten(f->y);
                f->theta = asWritten(f->theta);
            }
        }
    }
    for (LumoInterface *i : model.interfaces) {
        i->x = asWritten(i->x);
        i->y = asWritten(i->y);
        i->theta = asWritten(i->theta);
    }
    for (LumoRegion *r : model.regions)
        r->color = QColor(r->color.name());
}

inline void requireEqualDumps(const QStringList &expected, const QStringList &actual, const char *what)
{
    if (expected == actual)
        return;
    QString detail;
    for (int i = 0; i < qMax(expected.size(), actual.size()); ++i) {
        const QString left = expected.value(i);
        const QString right = actual.value(i);
        if (left != right) {
            detail = QStringLiteral("first difference at line %1:\n- %2\n+ %3").arg(i).arg(left, right);
            break;
        }
    }
    fail(what, detail);
}

} // namespace FuzzSupport

#endif // FUZZSUPPORT_H
