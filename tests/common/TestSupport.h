#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

// What the test suites and the fuzz targets share: a canonical dump that compares two documents
// whatever the iteration order of their hashes, seeded random documents, loading and saving the ways
// a host does, and the soundness checks every loaded document must pass. Every test loads through
// load() or loadFile(), so that every input of the suite takes the same road.

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoMapParser.h>
#include <LumoRegion.h>
#include <MapReadRoute.h>
#include <RecordFields.h>
#include <RecordKeys.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QXmlInputSource>
#include <QXmlSimpleReader>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace TestSupport {

// ---- The canonical dump: one line per record, records of a kind in key order.

inline QString field(double value)
{
    return QString::number(value, 'g', 17);
}
inline QString field(const QString &value)
{
    return value.isNull() ? QStringLiteral("<null>") : QLatin1Char('"') + value + QLatin1Char('"');
}
inline QString field(const QColor &value)
{
    return value.isValid() ? value.name() : QStringLiteral("invalid");
}
template <typename Integer> QString field(Integer value)
{
    return QString::number(value);
}
template <typename... Values> QString line(const char *kind, const Values &...values)
{
    return QStringList{QLatin1String(kind), field(values)...}.join(QLatin1Char(' '));
}

// `kind`, the `leading` values, then the fields of `fields` on `record` in list order.
template <typename Record, std::size_t N, typename... Values>
QString line(const char *kind, const Record &record, const RecordFields::Field<Record> (&fields)[N],
             const Values &...leading)
{
    QStringList values{line(kind, leading...)};
    RecordFields::forEach(fields, record, [&values](const auto &f, const auto &value) {
        if (f.name != MapElement::SaveDateTime) // a save writes the time of the save
            values << field(value);
    });
    return values.join(QLatin1Char(' '));
}

// The order index as "order:uid" entries in insertion order: equal orders keep the order of filing.
inline QStringList orderIndex(const LumoMapModel &model)
{
    QStringList entries;
    for (auto it = model.interfacesByOrder.cbegin(); it != model.interfacesByOrder.cend(); ++it)
        entries << QStringLiteral("%1:%2").arg(it.key()).arg(it.value() ? it.value()->uid : 0xFFFFFFFFu);
    return entries;
}

// Every stored field of every record, each record under its key; nodes, outputs and fixtures below
// their template. Fields the file does not store (used flags, a node's pn, the legacy indexes) come
// `withTransientFields`. The order index ends the dump with equal orders sorted, since their filing
// order follows the record order of whatever file the document was read from.
inline QStringList dump(const LumoMapModel &m, bool withTransientFields = false)
{
    namespace F = RecordFields;
    using RecordKeys::inKeyOrder;
    const auto transient = [withTransientFields](const QString &text) {
        return withTransientFields ? QLatin1Char(' ') + text : QString();
    };
    QStringList out{line("header", m, F::headerFields), line("geometry", m, F::geometryFields)};
    for (const auto &[key, t] : inKeyOrder(m.fixtureTemplates)) {
        out << line("fixturetemplate", *t, F::fixtureTemplateFields, key);
        for (const LumoNode *n : t->nodelist)
            out << line(" node", *n, F::nodeFields) + transient(field(n->pn));
    }
    for (const auto &[key, t] : inKeyOrder(m.interfaceTemplates)) {
        out << line("interfacetemplate", *t, F::interfaceTemplateFields, key);
        for (const LumoOutput *o : t->outputs) {
            out << line(" output", *o, F::outputFields) + transient(field(o->used));
            for (const LumoFixture *f : o->fixtures)
                out << line("  fixture", *f, F::fixtureFields) + transient(field(f->used));
        }
    }
    for (const auto &[key, i] : inKeyOrder(m.interfaces))
        out << line("interface", *i, F::interfaceFields, key) +
                   transient(field(i->fixturesByTemplate.size()));
    for (const auto &[key, r] : inKeyOrder(m.regions))
        out << line("region", *r, F::regionFields, key);
    QStringList index = orderIndex(m);
    std::sort(index.begin(), index.end());
    return out << QStringLiteral("order ") + index.join(QLatin1Char(' ')) +
                      transient(field(m.fixturesByTemplate.size()));
}

// ---- Loading and saving as a host does.

inline QString saveToString(LumoMapModel &model)
{
    QString saved;
    QTextStream stream(&saved);
    model.save(stream);
    return saved;
}

// Aborts with a message when `condition` fails: libFuzzer records the input as a crash.
inline void require(bool condition, const char *what, const QString &detail = QString())
{
    if (condition)
        return;
    std::fprintf(stderr, "CHECK FAILED: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

// A load as the read routes are compared: the dump with transient fields, the fixture indexes, the
// order index in insertion order, the result, lastError and the place of a failure. The legacy import
// numbers templates from the process-wide counter, so the uids in `counted` (those this load took from
// it) become their rank.
inline QStringList routeDump(LumoMapModel m, bool loaded, const QSet<quint32> &counted)
{
    QList<quint32> ranks(counted.cbegin(), counted.cend());
    std::sort(ranks.begin(), ranks.end());
    const auto relabel = [&ranks](quint32 uid) {
        const auto at = std::lower_bound(ranks.cbegin(), ranks.cend(), uid);
        return at != ranks.cend() && *at == uid ? 0xFFFF0000u + quint32(at - ranks.cbegin()) : uid;
    };
    const auto relabelIndex = [&](QHash<quint32, LumoFixture *> &index) {
        QHash<quint32, LumoFixture *> relabelled;
        for (auto it = index.cbegin(); it != index.cend(); ++it)
            relabelled.insert(relabel(it.key()), it.value());
        index = relabelled;
    };
    QHash<quint32, LumoFixtureTemplate *> templates;
    for (auto it = m.fixtureTemplates.cbegin(); it != m.fixtureTemplates.cend(); ++it) {
        it.value()->uid = relabel(it.value()->uid);
        templates.insert(relabel(it.key()), it.value());
    }
    m.fixtureTemplates = templates;
    for (LumoInterfaceTemplate *t : std::as_const(m.interfaceTemplates))
        for (LumoOutput *o : std::as_const(t->outputs))
            for (LumoFixture *f : std::as_const(o->fixtures))
                f->templateid = relabel(f->templateid);
    relabelIndex(m.fixturesByTemplate);
    for (LumoInterface *i : std::as_const(m.interfaces))
        relabelIndex(i->fixturesByTemplate);
    QStringList lines = dump(m, true) << orderIndex(m).join(QLatin1Char(' '))
                                      << QStringLiteral("%1 %2 at %3:%4")
                                             .arg(loaded)
                                             .arg(field(m.lastError))
                                             .arg(m.lastErrorLine())
                                             .arg(m.lastErrorColumn());
    const auto indexLines = [&lines](quint32 owner, const QHash<quint32, LumoFixture *> &index) {
        for (const auto &[key, f] : RecordKeys::inKeyOrder(index))
            lines << line("index", owner, key, f->templateid, f->name);
    };
    indexLines(~0u, m.fixturesByTemplate);
    for (const auto &[key, i] : RecordKeys::inKeyOrder(m.interfaces))
        indexLines(key, i->fixturesByTemplate);
    return lines;
}

// How the two read routes differ on one input loaded into `model` by `loadInto`: the subset reader
// (where the input lies within its subset) against QXmlSimpleReader alone, into a copy of `model` as
// it was. Empty when they agree or the subset reader did not take the input (`bySubset` says which).
// `model` keeps the load.
template <typename Load>
QString routeDifference(LumoMapModel &model, bool &loaded, Load loadInto, bool *bySubset = nullptr)
{
    LumoMapModel byReader(model);
    setMapReadRoute(MapReadRoute::SubsetWhereItApplies);
    loaded = loadInto(model);
    if (bySubset)
        *bySubset = lastLoadReadBySubsetReader();
    if (!lastLoadReadBySubsetReader())
        return QString();
    setMapReadRoute(MapReadRoute::QXmlSimpleReaderOnly);
    const bool readerLoaded = loadInto(byReader);
    setMapReadRoute(MapReadRoute::SubsetWhereItApplies);
    // Counter values are never handed out twice: the keys only one load added came from the counter.
    QSet<quint32> subsetKeys(model.fixtureTemplates.keyBegin(), model.fixtureTemplates.keyEnd());
    QSet<quint32> readerKeys(byReader.fixtureTemplates.keyBegin(), byReader.fixtureTemplates.keyEnd());
    const QSet<quint32> common = QSet<quint32>(subsetKeys).intersect(readerKeys);
    const QStringList subsetLines = routeDump(model, loaded, subsetKeys.subtract(common));
    const QStringList readerLines = routeDump(byReader, readerLoaded, readerKeys.subtract(common));
    for (qsizetype i = 0; i < qMax(subsetLines.size(), readerLines.size()); ++i) {
        if (subsetLines.value(i) != readerLines.value(i))
            return QStringLiteral("the read routes differ:\n- %1\n+ %2")
                .arg(readerLines.value(i), subsetLines.value(i));
    }
    return QString();
}

inline bool load(LumoMapModel &model, const QString &document)
{
    bool loaded = false;
    const QString difference =
        routeDifference(model, loaded, [&](LumoMapModel &m) { return m.loadFromText(document); });
    require(difference.isEmpty(), "loadFromText", difference);
    return loaded;
}

inline bool loadFile(LumoMapModel &model, const QString &path)
{
    bool loaded = false;
    const QString difference =
        routeDifference(model, loaded, [&](LumoMapModel &m) { return m.loadFromFile(path); });
    require(difference.isEmpty(), "loadFromFile", difference);
    return loaded;
}

// Writes `bytes` to a file in a temporary directory that lives as long as the process, in memory
// where the system offers it (the fuzz targets rewrite it for every input).
inline QString writeTemporaryFile(const QByteArray &bytes)
{
    static QTemporaryDir directory(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/lumomap-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/lumomap-XXXXXX"));
    const QString path = directory.filePath(QStringLiteral("map.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifdef LUMOMAP_TEST_DATA_DIR
inline QByteArray dataFile(const QString &name)
{
    return readFile(QStringLiteral(LUMOMAP_TEST_DATA_DIR "/") + name);
}
#endif

// Bytes decoded as a host decodes a file it hands to loadFromText: a byte-order mark picks UTF-16,
// anything else is UTF-8 (with an explicit size: Qt 5's QByteArray overload stops at a NUL).
inline QString decodeLikeAHost(const QByteArray &bytes)
{
    const bool little = bytes.startsWith("\xFF\xFE");
    if (!little && !bytes.startsWith("\xFE\xFF")) {
        const int skip = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        return QString::fromUtf8(bytes.constData() + skip, int(bytes.size()) - skip);
    }
    QString decoded;
    for (int i = 2; i + 1 < bytes.size(); i += 2)
        decoded += QChar(uchar(bytes.at(i + little)) << 8 | uchar(bytes.at(i + !little)));
    return decoded;
}

// Drives `parser` over `document` as the loaders do, for tests that look at the parser itself.
inline bool drive(LumoMapParser &parser, const QString &document)
{
    QXmlInputSource source;
    source.setData(document);
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    reader.setDeclHandler(&parser);
    reader.setDTDHandler(&parser);
    reader.setErrorHandler(&parser);
    return reader.parse(&source, false);
}

// ---- Soundness checks, shared with the fuzz targets.

// What is wrong with the pointers a document holds, or an empty string: no collection holds a null
// pointer, and every index entry points at a record the document owns (an entry that outlived its
// record would be read after it was freed).
inline QString indexProblem(const LumoMapModel &model)
{
    QSet<const void *> owned;
    for (const LumoInterfaceTemplate *t : model.interfaceTemplates) {
        for (const LumoOutput *o : t ? t->outputs : QList<LumoOutput *>{nullptr})
            owned.unite(o ? QSet<const void *>(o->fixtures.cbegin(), o->fixtures.cend())
                          : QSet<const void *>{o});
    }
    for (const LumoInterface *i : model.interfaces)
        owned.insert(i);
    for (const LumoFixtureTemplate *t : model.fixtureTemplates)
        owned.unite(t ? QSet<const void *>(t->nodelist.cbegin(), t->nodelist.cend()) : QSet<const void *>{t});
    if (owned.contains(nullptr) || model.regions.values().contains(nullptr))
        return QStringLiteral("a null record");
    QList<const void *> indexed(model.fixturesByTemplate.cbegin(), model.fixturesByTemplate.cend());
    for (const LumoInterface *i : model.interfaces)
        indexed += QList<const void *>(i->fixturesByTemplate.cbegin(), i->fixturesByTemplate.cend());
    indexed += QList<const void *>(model.interfacesByOrder.cbegin(), model.interfacesByOrder.cend());
    for (const void *record : std::as_const(indexed)) {
        if (!owned.contains(record))
            return QStringLiteral("an index entry points at a record the document does not hold");
    }
    return QString();
}

// What is wrong with one load into a fresh document, or an empty string: the result agrees with
// lastError and its place, the indexes are sound, and the order index of a current map holds each of
// its interfaces once, under its order (a legacy map, known by its fixture index, enters none).
inline QString loadProblem(const LumoMapModel &model, bool loaded)
{
    if (loaded != model.lastError.isNull() ||
        !(loaded || model.lastError.startsWith(QLatin1String("Unable to parse file: "))) ||
        (loaded && model.lastErrorLine() != 0) ||
        (model.lastErrorLine() == 0) != (model.lastErrorColumn() == 0))
        return QStringLiteral("result %1 with lastError %2 at %3:%4")
            .arg(loaded)
            .arg(model.lastError)
            .arg(model.lastErrorLine())
            .arg(model.lastErrorColumn());
    QStringList expected;
    for (const LumoInterface *i :
         model.fixturesByTemplate.isEmpty() ? model.interfaces : decltype(model.interfaces)())
        expected << QStringLiteral("%1:%2").arg(i->order).arg(i->uid);
    QStringList indexed = orderIndex(model);
    expected.sort();
    indexed.sort();
    if (loaded && indexed != expected)
        return QStringLiteral("order index ") + indexed.join(QLatin1Char(' '));
    return indexProblem(model);
}

// ---- Seeded random documents.

// With Values::Exact every value is one the file carries unchanged (reals of six significant digits,
// texts that are not blank and have no white space at their ends, opaque colours), so a save and a
// load give the same dump. With Values::Any the values are hostile: control characters, lone
// surrogates, empty and null texts, infinities and NaN, colours with alpha; such documents are for
// the writer alone (the dump does not take them).
class RandomMap
{
public:
    enum class Values
    {
        Exact,
        Any
    };

    RandomMap(quint32 seed, Values values) : m_random(seed), m_values(values) {}

    // Up to `most` records of each kind; keys collide now and then, and a later record replaces an
    // earlier one as a load would.
    void fill(LumoMapModel &m, int most)
    {
        m.mapname = text();
        m.appname = text();
        m.appversion = text();
        for (double *v :
             {&m.vminx, &m.vminy, &m.vmaxx, &m.vmaxy, &m.xoffset, &m.yoffset, &m.xscale, &m.yscale})
            *v = real();
        m.scalexfit = chance(50);
        m.scaleyfit = chance(50);
        for (int i = count(most); i > 0; --i) {
            auto *t = new LumoFixtureTemplate;
            fillTemplate(*t);
            for (int n = count(6); n > 0; --n)
                t->nodelist << new LumoNode{real(), real(), int32(), chance(30), chance(70) ? 3 : int32(), 0};
            file(m.fixtureTemplates, t->uid, t);
        }
        for (int i = count(most); i > 0; --i) {
            auto *t = new LumoInterfaceTemplate;
            fillTemplate(*t);
            for (int o = count(5); o > 0; --o) {
                t->outputs << new LumoOutput{
                    quint8(m_random.bounded(256)), quint8(m_random.bounded(256)), {}, true};
                for (int f = count(3); f > 0; --f)
                    t->outputs.last()->fixtures << fixture();
            }
            file(m.interfaceTemplates, t->uid, t);
        }
        for (int i = count(most); i > 0; --i) {
            auto *n = new LumoInterface;
            n->uid = key();
            n->templateid = key();
            n->region = uint32();
            n->name = text();
            n->x = real();
            n->y = real();
            n->theta = real();
            n->ip = text();
            n->mac = text();
            n->flags = quint8(m_random.bounded(256));
            n->sn = uint32();
            n->ver = quint16(m_random.bounded(65536));
            n->uni = uint32();
            n->vers = chance(30) ? QString() : text();
            n->id = text();
            n->order = chance(40) ? int(m_random.bounded(3)) : int32();
            file(m.interfaces, n->uid, n);
        }
        for (LumoInterface *n : std::as_const(m.interfaces))
            m.interfacesByOrder.insert(n->order, n);
        for (int i = count(most); i > 0; --i) {
            auto *r = new LumoRegion;
            r->number = key();
            r->name = text();
            r->color = QColor::fromRgba(m_random.generate() | (m_values == Values::Exact ? 0xff000000u : 0u));
            file(m.regions, r->number, r);
        }
        if (m_values == Values::Any && chance(25) && !m.regions.contains(7))
            m.regions.insert(7, nullptr); // a null record, which the writer skips
    }

    QString text()
    {
        static const QStringList pieces = {
            QStringLiteral("&"),
            QStringLiteral("<b>"),
            QStringLiteral("]]>"),
            QStringLiteral("\"q\" 'a'"),
            QStringLiteral("&amp;"),
            QStringLiteral("B\u00fchne"),
            QStringLiteral("\u821e"),
            QString::fromUcs4(U"\U0001F3AD"),
            QStringLiteral("a\tb\nc\r\nd"),
            QStringLiteral("plain"),
            QStringLiteral("<!-- x -->"),
            QStringLiteral("&#xd;"),
        };
        if (m_values == Values::Any && chance(15))
            return chance(50) ? QString() : QLatin1String("");
        QString t;
        for (int i = int(m_random.bounded(1, 5)); i > 0; --i) {
            if (m_values == Values::Any && chance(30))
                t += QChar(ushort(chance(50) ? m_random.bounded(0x20) : m_random.bounded(0xd800, 0xe000)));
            else
                t += pieces.at(int(m_random.bounded(int(pieces.size()))));
        }
        return m_values == Values::Exact ? QLatin1Char('x') + t + QLatin1Char('y') : t;
    }

    double real()
    {
        using Limits = std::numeric_limits<double>;
        static const double special[] = {0.0,
                                         -0.0,
                                         0.1,
                                         1234.5678,
                                         999999.5,
                                         2.5e-7,
                                         Limits::max(),
                                         Limits::denorm_min(),
                                         Limits::infinity(),
                                         Limits::quiet_NaN()};
        const double value =
            chance(30) ? special[m_random.bounded(int(std::size(special)))]
                       : (m_random.generateDouble() - 0.5) * std::pow(10.0, m_random.bounded(-8, 12));
        if (m_values == Values::Any)
            return value;
        return std::isfinite(value) ? QString::number(value, 'g', 6).toDouble() : 1.0;
    }

    bool chance(int percent) { return int(m_random.bounded(100)) < percent; }
    quint32 uint32() { return chance(25) ? 0xFFFFFFFFu : m_random.generate(); }
    quint32 key() { return chance(20) ? quint32(m_random.bounded(4)) : uint32(); }
    qint32 int32() { return qint32(m_random.generate()); }
    int count(int most) { return int(m_random.bounded(most + 1)); }

private:
    template <typename Template> void fillTemplate(Template &t)
    {
        t.uid = key();
        t.name = text();
        t.locked = chance(50);
        t.xoffset = real();
        t.yoffset = real();
    }

    LumoFixture *fixture()
    {
        if (m_values == Values::Any && chance(10))
            return nullptr; // skipped by the writer
        auto *f = new LumoFixture;
        f->templateid = key();
        f->name = text();
        f->x = real();
        f->y = real();
        f->theta = real();
        f->baseaddr = int32();
        f->layerid = uint32();
        f->groupid = uint32();
        return f;
    }

    template <typename Record> static void file(QHash<quint32, Record *> &hash, quint32 key, Record *record)
    {
        delete hash.value(key);
        hash.insert(key, record);
    }

    QRandomGenerator m_random;
    Values m_values;
};

} // namespace TestSupport

#endif // TESTSUPPORT_H
