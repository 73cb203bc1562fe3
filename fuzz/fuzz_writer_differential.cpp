// Fuzz target: the writer differential. LumoMapModel::save streams the map file without building a
// tree; the DOM route (MapDomWriter) builds the QDomDocument and serialises it with toString(1). The
// two must give the same text, character for character, for every model:
//  - the model that the fuzz bytes load into, when they load as a map file or legacy map;
//  - a model built directly from the fuzz bytes, whose strings may hold any UTF-16 code unit
//    (control characters, lone surrogates, "]]>", carriage returns) and whose numbers may take any
//    value, including those no map file can produce.
// It also holds the writer's own formatting of reals to QString::number(value, 'g', 6), on values
// taken from the fuzz bytes as they stand and on those of the model.

#include "FuzzSupport.h"

#include <MapDomWriter.h>
#include <MapTextWriter.h>
#include <MapValueFormat.h>

#include <QDateTime>
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

const QDateTime &saveTime()
{
    static const QDateTime time(QDate(2026, 12, 4), QTime(19, 29, 19));
    return time;
}

void requireSameText(const LumoMapModel &model)
{
    QString streamed;
    QTextStream stream(&streamed);
    FuzzSupport::require(MapTextWriter::write(model, stream, saveTime()),
                         "MapTextWriter::write returned false");
    const QString fromDom = MapDomWriter::buildDocument(model, saveTime()).toString(1);
    if (streamed == fromDom)
        return;
    int at = 0;
    while (at < streamed.size() && at < fromDom.size() && streamed.at(at) == fromDom.at(at))
        ++at;
    FuzzSupport::fail("streamed save differs from the DOM route",
                      QStringLiteral("first difference at character %1\nstreamed: %2\nDOM:      %3")
                          .arg(at)
                          .arg(streamed.mid(qMax(0, at - 40), 80), fromDom.mid(qMax(0, at - 40), 80)));
}

QString anyString(FuzzedDataProvider &in)
{
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, 24);
    QString s;
    for (size_t i = 0; i < length; ++i) {
        // Mostly characters of the markup and plain letters, sometimes any code unit at all.
        static const char markup[] = "<>&]\r\n\t ;#x";
        if (in.ConsumeBool())
            s.append(QLatin1Char(markup[in.ConsumeIntegralInRange<size_t>(0, sizeof markup - 2)]));
        else
            s.append(QChar(in.ConsumeIntegral<quint16>()));
    }
    return s;
}

void requireRealAsQt(double value)
{
    const QString written(MapValueFormat::real(value).view());
    const QString expected = QString::number(value, 'g', 6);
    FuzzSupport::require(written == expected, "MapValueFormat::real differs from QString::number",
                         QStringLiteral("%1: %2, Qt %3").arg(value, 0, 'g', 17).arg(written, expected));
}

double pickDouble(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
        return in.ConsumeFloatingPoint<double>();
    case 1:
        return in.ConsumeIntegralInRange<int>(-100000, 100000) / 8.0;
    case 2: {
        const double special[] = {0.0,
                                  -0.0,
                                  1e+06,
                                  1e-05,
                                  1234.5678,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::max()};
        return special[in.ConsumeIntegralInRange<size_t>(0, std::size(special) - 1)];
    }
    case 3: { // an exact tie at the seventh significant digit, which Qt rounds away from zero
        const double tie = in.ConsumeIntegralInRange<int>(100000, 999999) * 10.0 + 5;
        const int shift = in.ConsumeIntegralInRange<int>(-1, 8);
        return shift < 0 ? tie / 10 : tie * std::pow(10.0, shift);
    }
    default:
        return static_cast<double>(in.ConsumeIntegral<qint32>());
    }
}

double anyDouble(FuzzedDataProvider &in)
{
    const double value = pickDouble(in);
    requireRealAsQt(value);
    return value;
}

void buildModel(FuzzedDataProvider &in, LumoMapModel &model)
{
    model.mapfileversion = in.ConsumeIntegral<quint32>();
    model.mapname = anyString(in);
    model.appname = anyString(in);
    if (in.ConsumeBool())
        model.appversion = QString(); // a null string is written like an empty one
    else
        model.appversion = anyString(in);
    for (double *value : {&model.vminx, &model.vminy, &model.vmaxx, &model.vmaxy, &model.xoffset,
                          &model.yoffset, &model.xscale, &model.yscale})
        *value = anyDouble(in);
    model.scalexfit = in.ConsumeBool();
    model.scaleyfit = in.ConsumeBool();

    const int templates = in.ConsumeIntegralInRange<int>(0, 3);
    for (int t = 0; t < templates; ++t) {
        auto *fixtureTemplate = new LumoFixtureTemplate;
        fixtureTemplate->uid = in.ConsumeIntegral<quint32>();
        fixtureTemplate->name = anyString(in);
        fixtureTemplate->locked = in.ConsumeBool();
        fixtureTemplate->xoffset = anyDouble(in);
        fixtureTemplate->yoffset = anyDouble(in);
        const int nodes = in.ConsumeIntegralInRange<int>(0, 3);
        for (int n = 0; n < nodes; ++n) {
            auto *node = new LumoNode;
            node->x = anyDouble(in);
            node->y = anyDouble(in);
            node->addr = in.ConsumeIntegral<qint32>();
            node->skipnode = in.ConsumeBool();
            node->channelCount = in.ConsumeIntegral<qint32>();
            fixtureTemplate->nodelist << node;
        }
        delete model.fixtureTemplates.value(fixtureTemplate->uid);
        model.fixtureTemplates.insert(fixtureTemplate->uid, fixtureTemplate);
    }

    const int interfaceTemplates = in.ConsumeIntegralInRange<int>(0, 2);
    for (int t = 0; t < interfaceTemplates; ++t) {
        auto *interfaceTemplate = new LumoInterfaceTemplate;
        interfaceTemplate->uid = in.ConsumeIntegral<quint32>();
        interfaceTemplate->name = anyString(in);
        interfaceTemplate->locked = in.ConsumeBool();
        interfaceTemplate->xoffset = anyDouble(in);
        interfaceTemplate->yoffset = anyDouble(in);
        const int outputs = in.ConsumeIntegralInRange<int>(0, 3);
        for (int o = 0; o < outputs; ++o) {
            auto *output = new LumoOutput;
            output->portnum = in.ConsumeIntegral<quint8>();
            output->porttype = in.ConsumeIntegral<quint8>();
            const int fixtures = in.ConsumeIntegralInRange<int>(0, 2);
            for (int f = 0; f < fixtures; ++f) {
                auto *fixture = new LumoFixture;
                fixture->templateid = in.ConsumeIntegral<quint32>();
                fixture->name = anyString(in);
                fixture->x = anyDouble(in);
                fixture->y = anyDouble(in);
                fixture->theta = anyDouble(in);
                fixture->baseaddr = in.ConsumeIntegral<qint32>();
                fixture->layerid = in.ConsumeIntegral<quint32>();
                fixture->groupid = in.ConsumeIntegral<quint32>();
                output->fixtures << fixture;
            }
            interfaceTemplate->outputs << output;
        }
        delete model.interfaceTemplates.value(interfaceTemplate->uid);
        model.interfaceTemplates.insert(interfaceTemplate->uid, interfaceTemplate);
    }

    const int interfaces = in.ConsumeIntegralInRange<int>(0, 2);
    for (int i = 0; i < interfaces; ++i) {
        auto *interface = new LumoInterface;
        interface->uid = in.ConsumeIntegral<quint32>();
        interface->templateid = in.ConsumeIntegral<quint32>();
        interface->region = in.ConsumeIntegral<quint32>();
        interface->name = anyString(in);
        interface->x = anyDouble(in);
        interface->y = anyDouble(in);
        interface->theta = anyDouble(in);
        interface->ip = anyString(in);
        interface->mac = anyString(in);
        interface->flags = in.ConsumeIntegral<quint8>();
        interface->sn = in.ConsumeIntegral<quint32>();
        interface->ver = in.ConsumeIntegral<quint16>();
        interface->uni = in.ConsumeIntegral<quint32>();
        if (in.ConsumeBool())
            interface->vers = anyString(in);
        interface->id = anyString(in);
        interface->order = in.ConsumeIntegral<qint32>();
        delete model.interfaces.value(interface->uid);
        model.interfaces.insert(interface->uid, interface);
    }

    const int regions = in.ConsumeIntegralInRange<int>(0, 2);
    for (int r = 0; r < regions; ++r) {
        auto *region = new LumoRegion;
        region->number = in.ConsumeIntegral<quint32>();
        region->name = anyString(in);
        if (in.ConsumeBool())
            region->color = QColor(); // invalid
        else
            region->color = QColor::fromRgb(in.ConsumeIntegral<quint8>(), in.ConsumeIntegral<quint8>(),
                                            in.ConsumeIntegral<quint8>(), in.ConsumeIntegral<quint8>());
        delete model.regions.value(region->number);
        model.regions.insert(region->number, region);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        LumoMapModel loaded;
        if (loaded.loadFromText(FuzzSupport::textFromBytes(data, size)))
            requireSameText(loaded);
    }
    for (size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double value;
        std::memcpy(&value, data + at, sizeof value);
        requireRealAsQt(value);
    }
    FuzzedDataProvider in(data, size);
    LumoMapModel built;
    buildModel(in, built);
    requireSameText(built);
    return 0;
}
