#ifndef WRITERTESTMODELS_H
#define WRITERTESTMODELS_H

// Models for the writer tests: the hand-made model of the golden file, and seeded random models
// full of hostile text and extreme numbers for comparing the streaming writer with the DOM route.

#include <LumoFixture.h>
#include <LumoFixtureTemplate.h>
#include <LumoInterface.h>
#include <LumoInterfaceTemplate.h>
#include <LumoMapModel.h>
#include <LumoRegion.h>

#include <QRandomGenerator>
#include <QStringList>

#include <cmath>
#include <limits>

namespace WriterTestModels {

inline LumoNode *node(double x, double y, qint32 addr, bool skip, qint32 channelCount)
{
    auto *n = new LumoNode;
    n->x = x;
    n->y = y;
    n->addr = addr;
    n->skipnode = skip;
    n->channelCount = channelCount;
    return n;
}

inline void insertInterface(LumoMapModel &model, LumoInterface *interface)
{
    model.interfaces.insert(interface->uid, interface);
    model.interfacesByOrder.insert(interface->order, interface);
}

// The model of tests/data/golden-map.xml: every kind of record, with the awkward values of the
// format (all-ones identifiers, flags 10 and 255, ver 65535, reals that lose digits or need an
// exponent, negatives, a colour with alpha, an empty node list, an output without fixtures, markup
// characters, quotes, non-ASCII letters, white space at both ends of a text).
inline void fillGoldenModel(LumoMapModel &model)
{
    model.mapfileversion = 1; // the writer always writes 2
    model.setMapName(QStringLiteral("B\u00fchne Nord & <S\u00fcd> \"main\" 'stage'"));
    model.setCreatingAppName(QStringLiteral(" LumoEdit "));
    model.setCreatingAppVersion(QString());
    model.vminx = -12.5;
    model.vminy = 0.1;
    model.vmaxx = 1234.5678;
    model.vmaxy = 1e6;
    model.scalexfit = false;
    model.scaleyfit = true;
    model.xoffset = 10001.25;
    model.yoffset = -0.001;
    model.xscale = 2.5e-7;
    model.yscale = 1.0;

    auto *spot = new LumoFixtureTemplate;
    spot->uid = 0xFFFFFFFFu;
    spot->name = QStringLiteral("\u821e\u53f0 spot");
    spot->locked = true;
    spot->xoffset = 0.1;
    spot->yoffset = -3.0;
    spot->nodelist << node(0.0, 0.0, 1, false, 3) << node(-1.5, 1234.5678, -7, true, 4);
    model.fixtureTemplates.insert(spot->uid, spot);

    auto *bare = new LumoFixtureTemplate;
    bare->uid = 7;
    bare->name = QLatin1String("");
    bare->locked = false;
    bare->xoffset = 0.0;
    bare->yoffset = 0.0;
    model.fixtureTemplates.insert(bare->uid, bare);

    auto *controller = new LumoInterfaceTemplate; // uid stays all ones
    controller->name = QStringLiteral("Controller <16 ports>");
    controller->xoffset = -0.5;
    controller->yoffset = 123456.5;
    auto *idle = new LumoOutput;
    idle->portnum = 1;
    idle->porttype = 0;
    auto *busy = new LumoOutput;
    busy->portnum = 255;
    busy->porttype = 3;
    busy->fixtures << new LumoFixture; // all defaults: templateid all ones
    auto *wash = new LumoFixture;
    wash->templateid = 7;
    wash->name = QStringLiteral("  Spot & Wash  ");
    wash->x = 1e6;
    wash->y = -0.5;
    wash->theta = 90.0;
    wash->baseaddr = -1;
    wash->layerid = 0xFFFFFFFFu;
    wash->groupid = 12;
    busy->fixtures << wash;
    controller->outputs << idle << busy;
    model.interfaceTemplates.insert(controller->uid, controller);

    auto *door = new LumoInterface; // uid, templateid and sn stay all ones
    door->region = 3;
    door->name = QStringLiteral("T\u00fcr 1 \"left\" & 'right'");
    door->x = -1234.5678;
    door->y = 0.1;
    door->theta = 1e-5;
    door->ip = QStringLiteral("10.0.0.1");
    door->flags = 10;
    door->ver = 65535;
    door->uni = 10;
    door->id = QLatin1String("");
    door->order = -2;
    insertInterface(model, door);

    auto *roof = new LumoInterface;
    roof->uid = 0x1a2b;
    roof->templateid = 0xabcdef01u;
    roof->region = 0;
    roof->name = QStringLiteral("\u5c4b\u6839 roof");
    roof->flags = 255;
    roof->sn = 0;
    roof->ver = 0;
    roof->uni = 0xFFFFFFFFu;
    roof->vers = QStringLiteral("v1.2 > v1.1 ]]> <b>");
    roof->order = 0;
    insertInterface(model, roof);

    auto *north = new LumoRegion;
    north->number = 3;
    north->name = QStringLiteral("Nord & S\u00fcd");
    north->color = QColor(0x12, 0xab, 0xef, 0x80);
    model.regions.insert(north->number, north);

    auto *fallback = new LumoRegion; // number 0, "New Region", red
    model.regions.insert(fallback->number, fallback);
}

// Seeded random models for the differential test.
class RandomModelMaker
{
public:
    explicit RandomModelMaker(quint32 seed) : m_random(seed) {}

    // Text that exercises every escaping rule: markup characters, "]]>" and its near misses,
    // quotes, tabs, line ends, control characters, non-BMP characters, lone surrogates, empty
    // and null strings.
    QString hostileText()
    {
        static const QStringList pieces = {
            QStringLiteral("&"),
            QStringLiteral("<"),
            QStringLiteral(">"),
            QStringLiteral("]]>"),
            QStringLiteral("]]"),
            QStringLiteral("]>"),
            QStringLiteral("]]]>"),
            QStringLiteral("\""),
            QStringLiteral("'"),
            QStringLiteral("\t"),
            QStringLiteral("\n"),
            QStringLiteral("\r"),
            QStringLiteral("\r\n"),
            QStringLiteral("&amp;"),
            QStringLiteral("<!-- x -->"),
            QStringLiteral("<![CDATA["),
            QStringLiteral("B\u00fchne"),
            QStringLiteral("\u821e\u53f0"),
            QStringLiteral(" "),
            QStringLiteral("plain"),
            QStringLiteral("&#xd;"),
            QString(QChar(0xfffe)) + QChar(0xffff) + QChar(0xfeff),
            QString::fromUcs4(U"\U0001F3AD\U0001D11E"),
        };
        switch (m_random.bounded(12)) {
        case 0:
            return QString();
        case 1:
            return QLatin1String("");
        default:
            break;
        }
        QString text;
        const int parts = int(m_random.bounded(1, 8));
        for (int i = 0; i < parts; ++i) {
            switch (m_random.bounded(5)) {
            case 0: // any control character, U+0000 included
                text += QChar(ushort(m_random.bounded(0x20)));
                break;
            case 1: // a lone surrogate half, or both halves in the wrong order
                text += QChar(ushort(m_random.bounded(0xd800, 0xe000)));
                break;
            default:
                text += pieces.at(int(m_random.bounded(pieces.size())));
                break;
            }
        }
        return text;
    }

    double real()
    {
        static const double specials[] = {0.0,
                                          -0.0,
                                          0.1,
                                          1234.5678,
                                          1e6,
                                          10001.25,
                                          -0.5,
                                          999999.5,
                                          1e-5,
                                          std::numeric_limits<double>::max(),
                                          std::numeric_limits<double>::lowest(),
                                          std::numeric_limits<double>::denorm_min(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::quiet_NaN()};
        if (m_random.bounded(3) == 0)
            return specials[m_random.bounded(int(sizeof(specials) / sizeof(specials[0])))];
        return (m_random.generateDouble() - 0.5) * std::pow(10.0, m_random.bounded(-8, 12));
    }

    quint32 u32() { return m_random.bounded(4) == 0 ? 0xFFFFFFFFu : m_random.generate(); }
    qint32 s32() { return qint32(m_random.generate()); }
    bool flag() { return m_random.bounded(2) == 1; }

    // A model with up to `maxRecords` records of each kind; some collections hold null pointers.
    void fill(LumoMapModel &model, int maxRecords)
    {
        model.mapfileversion = u32();
        model.mapname = hostileText();
        model.appname = hostileText();
        model.appversion = hostileText();
        model.vminx = real();
        model.vminy = real();
        model.vmaxx = real();
        model.vmaxy = real();
        model.scalexfit = flag();
        model.scaleyfit = flag();
        model.xoffset = real();
        model.yoffset = real();
        model.xscale = real();
        model.yscale = real();

        const int templates = int(m_random.bounded(maxRecords + 1));
        for (int i = 0; i < templates; ++i) {
            auto *t = new LumoFixtureTemplate;
            t->uid = u32();
            t->name = hostileText();
            t->locked = flag();
            t->xoffset = real();
            t->yoffset = real();
            const int nodes = int(m_random.bounded(4));
            for (int n = 0; n < nodes; ++n)
                t->nodelist << (m_random.bounded(8) == 0 ? nullptr
                                                         : node(real(), real(), s32(), flag(), s32()));
            delete model.fixtureTemplates.value(t->uid);
            model.fixtureTemplates.insert(t->uid, t);
        }
        const int interfaceTemplates = int(m_random.bounded(maxRecords + 1));
        for (int i = 0; i < interfaceTemplates; ++i) {
            auto *t = new LumoInterfaceTemplate;
            t->uid = u32();
            t->name = hostileText();
            t->locked = flag();
            t->xoffset = real();
            t->yoffset = real();
            const int outputs = int(m_random.bounded(4));
            for (int o = 0; o < outputs; ++o) {
                auto *output = new LumoOutput;
                output->portnum = quint8(m_random.bounded(256));
                output->porttype = quint8(m_random.bounded(256));
                const int fixtures = int(m_random.bounded(3));
                for (int f = 0; f < fixtures; ++f)
                    output->fixtures << fixture();
                t->outputs << output;
            }
            delete model.interfaceTemplates.value(t->uid);
            model.interfaceTemplates.insert(t->uid, t);
        }
        const int interfaces = int(m_random.bounded(maxRecords + 1));
        for (int i = 0; i < interfaces; ++i) {
            auto *interface = new LumoInterface;
            interface->uid = u32();
            interface->templateid = u32();
            interface->region = u32();
            interface->name = hostileText();
            interface->x = real();
            interface->y = real();
            interface->theta = real();
            interface->ip = hostileText();
            interface->mac = hostileText();
            interface->flags = quint8(m_random.bounded(256));
            interface->sn = u32();
            interface->ver = quint16(m_random.bounded(65536));
            interface->uni = u32();
            interface->vers = hostileText();
            interface->id = hostileText();
            interface->order = s32();
            delete model.interfaces.value(interface->uid);
            model.interfaces.insert(interface->uid, interface);
        }
        const int regions = int(m_random.bounded(maxRecords + 1));
        for (int i = 0; i < regions; ++i) {
            auto *region = new LumoRegion;
            region->number = u32();
            region->name = hostileText();
            region->color = QColor::fromRgb(m_random.generate());
            region->color.setAlpha(int(m_random.bounded(256)));
            delete model.regions.value(region->number);
            model.regions.insert(region->number, region);
        }
        const quint32 emptyKey = u32();
        if (m_random.bounded(4) == 0 && !model.regions.contains(emptyKey))
            model.regions.insert(emptyKey, nullptr);
    }

private:
    LumoFixture *fixture()
    {
        if (m_random.bounded(8) == 0)
            return nullptr;
        auto *f = new LumoFixture;
        f->templateid = u32();
        f->name = hostileText();
        f->x = real();
        f->y = real();
        f->theta = real();
        f->baseaddr = s32();
        f->layerid = u32();
        f->groupid = u32();
        return f;
    }

    QRandomGenerator m_random;
};

} // namespace WriterTestModels

#endif // WRITERTESTMODELS_H
