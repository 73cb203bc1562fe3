// Fuzz target: the writer differential. LumoMapModel::save streams the map file without building a
// tree; the DOM route (MapDomWriter) builds the QDomDocument and serialises it with toString(1). Both
// must give the same text, character for character, for
//  - the document the bytes load into, when they load as a map file or legacy map;
//  - a random document seeded by the bytes, with hostile texts and any reals, whose map name and a
//    region name are the bytes taken as UTF-16 code units (control characters, lone surrogates, "]]>").
// Both routes take reals from MapValueFormat::real, so it is held to QString::number(value, 'g', 6)
// on its own: every 8 bytes as a double, and as whole digits and a half (an exact tie at six digits).

#include <TestSupport.h>

#include <MapDomWriter.h>
#include <MapTextWriter.h>
#include <MapValueFormat.h>

#include <QDateTime>

#include <cmath>
#include <cstring>

namespace {

void requireSameText(const LumoMapModel &model)
{
    static const QDateTime saveTime(QDate(2026, 12, 4), QTime(19, 29, 19));
    QString streamed;
    QTextStream stream(&streamed);
    TestSupport::require(MapTextWriter::write(model, stream, saveTime),
                         "MapTextWriter::write returned false");
    const QString fromDom = MapDomWriter::buildDocument(model, saveTime).toString(1);
    TestSupport::require(streamed == fromDom, "the streamed save differs from the DOM route",
                         streamed + QStringLiteral("\n---- DOM route:\n") + fromDom);
}

void requireRealAsQt(double value)
{
    const QString written(MapValueFormat::real(value).view());
    const QString expected = QString::number(value, 'g', 6);
    TestSupport::require(written == expected, "MapValueFormat::real differs from QString::number",
                         QStringLiteral("%1: %2, Qt %3").arg(value, 0, 'g', 17).arg(written, expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    for (size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double value;
        std::memcpy(&value, data + at, sizeof value);
        requireRealAsQt(value);
        requireRealAsQt(std::floor(std::fmod(std::fabs(value), 1e6)) + 0.5);
    }
    LumoMapModel loaded;
    if (loaded.loadFromText(QString::fromUtf8(bytes, int(size))))
        requireSameText(loaded);

    LumoMapModel built;
    TestSupport::RandomMap(qHash(QByteArray::fromRawData(bytes, int(size))),
                           TestSupport::RandomMap::Values::Any)
        .fill(built, 3);
    const QString units(reinterpret_cast<const QChar *>(data), int(size / 2));
    built.mapname = units;
    auto *region = new LumoRegion;
    region->name = units.mid(1);
    delete built.regions.value(region->number);
    built.regions.insert(region->number, region);
    requireSameText(built);
    return 0;
}
