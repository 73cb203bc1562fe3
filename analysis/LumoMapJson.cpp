#include "LumoMapJson.h"

#include "LumoFixture.h"
#include "LumoFixtureTemplate.h"
#include "LumoInterface.h"
#include "LumoInterfaceTemplate.h"
#include "LumoMapModel.h"
#include "LumoRegion.h"
#include "MapJsonObject.h"
#include "RecordKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

const QString formatName = QStringLiteral("lumomap-json/1");

} // namespace

QJsonValue jsonReal(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return value;
}

namespace {

QJsonValue real(double value)
{
    return jsonReal(value);
}

QJsonValue text(const QString &value)
{
    return value.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

QJsonValue hex(quint32 value)
{
    return QString::number(value, 16);
}

QJsonValue color(const QColor &value)
{
    if (!value.isValid())
        return QJsonValue::Null;
    return value.name(value.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb);
}

QJsonObject fixtureTemplateToJson(const LumoFixtureTemplate &record)
{
    QJsonArray nodes;
    for (const LumoNode *node : record.nodelist) {
        if (node)
            nodes.append(QJsonObject{{QStringLiteral("x"), real(node->x)},
                                     {QStringLiteral("y"), real(node->y)},
                                     {QStringLiteral("addr"), node->addr},
                                     {QStringLiteral("skipnode"), node->skipnode},
                                     {QStringLiteral("channelCount"), node->channelCount}});
    }
    return {
        {QStringLiteral("uid"), hex(record.uid)},          {QStringLiteral("name"), text(record.name)},
        {QStringLiteral("locked"), record.locked},         {QStringLiteral("xoffset"), real(record.xoffset)},
        {QStringLiteral("yoffset"), real(record.yoffset)}, {QStringLiteral("nodelist"), nodes}};
}

QJsonObject fixtureToJson(const LumoFixture &record)
{
    return {{QStringLiteral("templateid"), hex(record.templateid)},
            {QStringLiteral("name"), text(record.name)},
            {QStringLiteral("x"), real(record.x)},
            {QStringLiteral("y"), real(record.y)},
            {QStringLiteral("theta"), real(record.theta)},
            {QStringLiteral("baseaddr"), record.baseaddr},
            {QStringLiteral("layerid"), qint64(record.layerid)},
            {QStringLiteral("groupid"), qint64(record.groupid)}};
}

QJsonObject interfaceTemplateToJson(const LumoInterfaceTemplate &record)
{
    QJsonArray outputs;
    for (const LumoOutput *output : record.outputs) {
        if (!output)
            continue;
        QJsonArray fixtures;
        for (const LumoFixture *fixture : output->fixtures) {
            if (fixture)
                fixtures.append(fixtureToJson(*fixture));
        }
        outputs.append(QJsonObject{{QStringLiteral("portnum"), output->portnum},
                                   {QStringLiteral("porttype"), output->porttype},
                                   {QStringLiteral("fixtures"), fixtures}});
    }
    return {
        {QStringLiteral("uid"), hex(record.uid)},          {QStringLiteral("name"), text(record.name)},
        {QStringLiteral("locked"), record.locked},         {QStringLiteral("xoffset"), real(record.xoffset)},
        {QStringLiteral("yoffset"), real(record.yoffset)}, {QStringLiteral("outputs"), outputs}};
}

QJsonObject interfaceToJson(const LumoInterface &record)
{
    return {{QStringLiteral("uid"), hex(record.uid)},
            {QStringLiteral("templateid"), hex(record.templateid)},
            {QStringLiteral("region"), qint64(record.region)},
            {QStringLiteral("name"), text(record.name)},
            {QStringLiteral("x"), real(record.x)},
            {QStringLiteral("y"), real(record.y)},
            {QStringLiteral("theta"), real(record.theta)},
            {QStringLiteral("ip"), text(record.ip)},
            {QStringLiteral("mac"), text(record.mac)},
            {QStringLiteral("flags"), hex(record.flags)},
            {QStringLiteral("sn"), hex(record.sn)},
            {QStringLiteral("ver"), record.ver},
            {QStringLiteral("uni"), qint64(record.uni)},
            {QStringLiteral("vers"), text(record.vers)},
            {QStringLiteral("id"), text(record.id)},
            {QStringLiteral("order"), record.order}};
}

QJsonObject regionToJson(const LumoRegion &record)
{
    return {{QStringLiteral("number"), qint64(record.number)},
            {QStringLiteral("name"), text(record.name)},
            {QStringLiteral("color"), color(record.color)}};
}

template <typename Record>
QJsonArray recordsToJson(const QHash<quint32, Record *> &records, QJsonObject (*toJson)(const Record &))
{
    QJsonArray array;
    for (const auto &entry : RecordKeys::inKeyOrder(records))
        array.append(toJson(*entry.record));
    return array;
}

// Reads the fields of one JSON object. Every getter leaves its target alone when the key is absent
// (the record keeps its default, as the map file's loader does) unless the key is required. The
// first problem is kept in `error` and later calls do nothing; finish() also reports keys that no
// getter asked for, so a misspelt field name is not silently dropped.
class FieldReader
{
public:
    FieldReader(const QJsonValue &value, const QString &path, QString &error)
        : m_object(value.toObject()), m_path(path), m_error(error)
    {
        if (m_error.isEmpty() && !value.isObject())
            fail(m_path, QStringLiteral("expected an object"));
    }

    void real(const char *key, double &target)
    {
        const QJsonValue value = take(key, false);
        if (value.isDouble())
            target = value.toDouble();
        else if (value.toString() == QLatin1String("nan"))
            target = std::numeric_limits<double>::quiet_NaN();
        else if (value.toString() == QLatin1String("inf") || value.toString() == QLatin1String("-inf"))
            target = value.toString().startsWith(QLatin1Char('-')) ? -HUGE_VAL : HUGE_VAL;
        else if (!value.isUndefined())
            failAt(key, QStringLiteral("expected a number or \"inf\", \"-inf\", \"nan\""));
    }

    void flag(const char *key, bool &target)
    {
        const QJsonValue value = take(key, false);
        if (value.isBool())
            target = value.toBool();
        else if (!value.isUndefined())
            failAt(key, QStringLiteral("expected true or false"));
    }

    void text(const char *key, QString &target)
    {
        const QJsonValue value = take(key, false);
        if (value.isString())
            target = value.toString();
        else if (value.isNull())
            target = QString();
        else if (!value.isUndefined())
            failAt(key, QStringLiteral("expected a string or null"));
    }

    template <typename Integer> void hex(const char *key, Integer &target, bool required = false)
    {
        const QJsonValue value = take(key, required);
        if (value.isUndefined())
            return;
        bool ok = false;
        const QString digits = value.toString();
        const qulonglong number = digits.toULongLong(&ok, 16);
        if (value.isString() && ok && digits.size() <= 8 && !digits.startsWith(QLatin1Char('+')) &&
            number <= std::numeric_limits<Integer>::max())
            target = Integer(number);
        else
            failAt(key, QStringLiteral("expected a string of hexadecimal digits up to %1")
                            .arg(uint(std::numeric_limits<Integer>::max()), 0, 16));
    }

    template <typename Integer> void integer(const char *key, Integer &target, bool required = false)
    {
        const QJsonValue value = take(key, required);
        if (value.isUndefined())
            return;
        const double number = value.toDouble(0.5);
        if (value.isDouble() && number == std::floor(number) &&
            number >= std::numeric_limits<Integer>::min() && number <= std::numeric_limits<Integer>::max())
            target = Integer(number);
        else
            failAt(key, QStringLiteral("expected a whole number from %1 to %2")
                            .arg(qint64(std::numeric_limits<Integer>::min()))
                            .arg(qint64(std::numeric_limits<Integer>::max())));
    }

    void color(const char *key, QColor &target)
    {
        const QJsonValue value = take(key, false);
        static const QRegularExpression pattern(QStringLiteral("^#([0-9a-fA-F]{6}|[0-9a-fA-F]{8})$"));
        if (value.isNull())
            target = QColor();
        else if (value.isString() && pattern.match(value.toString()).hasMatch())
            target = QColor(value.toString()); // #aarrggbb carries the alpha first
        else if (!value.isUndefined())
            failAt(key, QStringLiteral("expected \"#rrggbb\", \"#aarrggbb\" or null"));
    }

    QJsonArray array(const char *key)
    {
        const QJsonValue value = take(key, false);
        if (!value.isUndefined() && !value.isArray())
            failAt(key, QStringLiteral("expected an array"));
        return value.toArray();
    }

    QJsonValue value(const char *key) { return take(key, false); }
    QString pathOf(const char *key) const
    {
        return m_path.isEmpty() ? QLatin1String(key) : m_path + QLatin1Char('.') + QLatin1String(key);
    }

    bool finish()
    {
        if (m_error.isEmpty()) {
            for (const QString &key : m_object.keys()) {
                if (!m_asked.contains(key)) {
                    fail(m_path, QStringLiteral("unexpected key \"%1\"").arg(key));
                    break;
                }
            }
        }
        return m_error.isEmpty();
    }

    void fail(const QString &path, const QString &message)
    {
        if (m_error.isEmpty())
            m_error = (path.isEmpty() ? QStringLiteral("top level") : path) + QStringLiteral(": ") + message;
    }

private:
    QJsonValue take(const char *key, bool required)
    {
        const QString name = QLatin1String(key);
        m_asked.insert(name);
        if (!m_error.isEmpty())
            return QJsonValue(QJsonValue::Undefined);
        const QJsonValue value = m_object.value(name);
        if (required && value.isUndefined())
            failAt(key, QStringLiteral("missing; this key is required"));
        return value;
    }

    void failAt(const char *key, const QString &message) { fail(pathOf(key), message); }

    QJsonObject m_object;
    QString m_path;
    QString &m_error;
    QSet<QString> m_asked;
};

QString indexed(const QString &path, int index)
{
    return QStringLiteral("%1[%2]").arg(path).arg(index);
}

std::unique_ptr<LumoFixtureTemplate> fixtureTemplateFromJson(const QJsonValue &value, const QString &path,
                                                             QString &error)
{
    auto record = std::make_unique<LumoFixtureTemplate>();
    FieldReader reader(value, path, error);
    reader.hex("uid", record->uid, true);
    reader.text("name", record->name);
    reader.flag("locked", record->locked);
    reader.real("xoffset", record->xoffset);
    reader.real("yoffset", record->yoffset);
    const QJsonArray nodes = reader.array("nodelist");
    for (int i = 0; i < nodes.size() && error.isEmpty(); ++i) {
        auto node = std::make_unique<LumoNode>();
        node->channelCount = 3; // as the map file's loader creates nodes
        FieldReader nodeReader(nodes.at(i), indexed(reader.pathOf("nodelist"), i), error);
        nodeReader.real("x", node->x);
        nodeReader.real("y", node->y);
        nodeReader.integer("addr", node->addr);
        nodeReader.flag("skipnode", node->skipnode);
        nodeReader.integer("channelCount", node->channelCount);
        if (nodeReader.finish())
            record->nodelist.append(node.release());
    }
    return reader.finish() ? std::move(record) : nullptr;
}

std::unique_ptr<LumoFixture> fixtureFromJson(const QJsonValue &value, const QString &path, QString &error)
{
    auto record = std::make_unique<LumoFixture>();
    FieldReader reader(value, path, error);
    reader.hex("templateid", record->templateid);
    reader.text("name", record->name);
    reader.real("x", record->x);
    reader.real("y", record->y);
    reader.real("theta", record->theta);
    reader.integer("baseaddr", record->baseaddr);
    reader.integer("layerid", record->layerid);
    reader.integer("groupid", record->groupid);
    return reader.finish() ? std::move(record) : nullptr;
}

std::unique_ptr<LumoInterfaceTemplate> interfaceTemplateFromJson(const QJsonValue &value, const QString &path,
                                                                 QString &error)
{
    auto record = std::make_unique<LumoInterfaceTemplate>();
    FieldReader reader(value, path, error);
    reader.hex("uid", record->uid, true);
    reader.text("name", record->name);
    reader.flag("locked", record->locked);
    reader.real("xoffset", record->xoffset);
    reader.real("yoffset", record->yoffset);
    const QJsonArray outputs = reader.array("outputs");
    for (int i = 0; i < outputs.size() && error.isEmpty(); ++i) {
        auto output = std::make_unique<LumoOutput>();
        output->portnum = quint8(i + 1); // as the map file's loader numbers outputs
        output->used = true;
        const QString outputPath = indexed(reader.pathOf("outputs"), i);
        FieldReader outputReader(outputs.at(i), outputPath, error);
        outputReader.integer("portnum", output->portnum);
        outputReader.integer("porttype", output->porttype);
        const QJsonArray fixtures = outputReader.array("fixtures");
        for (int f = 0; f < fixtures.size() && error.isEmpty(); ++f) {
            if (auto fixture = fixtureFromJson(fixtures.at(f),
                                               indexed(outputPath + QStringLiteral(".fixtures"), f), error))
                output->fixtures.append(fixture.release());
        }
        const bool complete = outputReader.finish();
        record->outputs.append(output.release()); // the template owns the output and its fixtures
        if (!complete)
            break;
    }
    return reader.finish() ? std::move(record) : nullptr;
}

std::unique_ptr<LumoInterface> interfaceFromJson(const QJsonValue &value, const QString &path, QString &error)
{
    auto record = std::make_unique<LumoInterface>();
    FieldReader reader(value, path, error);
    reader.hex("uid", record->uid, true);
    reader.hex("templateid", record->templateid);
    reader.integer("region", record->region);
    reader.text("name", record->name);
    reader.real("x", record->x);
    reader.real("y", record->y);
    reader.real("theta", record->theta);
    reader.text("ip", record->ip);
    reader.text("mac", record->mac);
    reader.hex("flags", record->flags);
    reader.hex("sn", record->sn);
    reader.integer("ver", record->ver);
    reader.integer("uni", record->uni);
    reader.text("vers", record->vers);
    reader.text("id", record->id);
    reader.integer("order", record->order);
    return reader.finish() ? std::move(record) : nullptr;
}

std::unique_ptr<LumoRegion> regionFromJson(const QJsonValue &value, const QString &path, QString &error)
{
    auto record = std::make_unique<LumoRegion>();
    FieldReader reader(value, path, error);
    reader.integer("number", record->number, true);
    reader.text("name", record->name);
    reader.color("color", record->color);
    return reader.finish() ? std::move(record) : nullptr;
}

// Reads one array of records into `records`, keyed by `keyOf`; a key given twice is an error, since
// the second record would silently replace the first.
template <typename Record, typename Read, typename Key>
void recordsFromJson(FieldReader &reader, const char *name, QHash<quint32, Record *> &records, Read read,
                     Key keyOf, int keyBase, QString &error)
{
    const QJsonArray array = reader.array(name);
    for (int i = 0; i < array.size() && error.isEmpty(); ++i) {
        const QString path = indexed(reader.pathOf(name), i);
        std::unique_ptr<Record> record = read(array.at(i), path, error);
        if (!record)
            return;
        const quint32 key = keyOf(*record);
        if (records.contains(key)) {
            reader.fail(path, QStringLiteral("the key %1 is given twice").arg(key, 0, keyBase));
            return;
        }
        records.insert(key, record.release());
    }
}

} // namespace

QJsonObject mapToJsonObject(const LumoMapModel &model)
{
    return {
        {QStringLiteral("format"), formatName},
        {QStringLiteral("mapfileversion"), qint64(model.mapfileversion)},
        {QStringLiteral("mapname"), text(model.mapname)},
        {QStringLiteral("appname"), text(model.appname)},
        {QStringLiteral("appversion"), text(model.appversion)},
        {QStringLiteral("savedatetime"), text(model.savedatetime)},
        {QStringLiteral("geometry"), QJsonObject{{QStringLiteral("vminx"), real(model.vminx)},
                                                 {QStringLiteral("vminy"), real(model.vminy)},
                                                 {QStringLiteral("vmaxx"), real(model.vmaxx)},
                                                 {QStringLiteral("vmaxy"), real(model.vmaxy)},
                                                 {QStringLiteral("scalexfit"), model.scalexfit},
                                                 {QStringLiteral("scaleyfit"), model.scaleyfit},
                                                 {QStringLiteral("xoffset"), real(model.xoffset)},
                                                 {QStringLiteral("yoffset"), real(model.yoffset)},
                                                 {QStringLiteral("xscale"), real(model.xscale)},
                                                 {QStringLiteral("yscale"), real(model.yscale)}}},
        {QStringLiteral("fixtureTemplates"), recordsToJson(model.fixtureTemplates, fixtureTemplateToJson)},
        {QStringLiteral("interfaceTemplates"),
         recordsToJson(model.interfaceTemplates, interfaceTemplateToJson)},
        {QStringLiteral("interfaces"), recordsToJson(model.interfaces, interfaceToJson)},
        {QStringLiteral("regions"), recordsToJson(model.regions, regionToJson)}};
}

namespace {

bool mapFromJson(const QByteArray &bytes, LumoMapModel &model, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const QByteArray before = bytes.left(parseError.offset);
        const int line = before.count('\n') + 1;
        const int column = parseError.offset - (before.lastIndexOf('\n') + 1) + 1;
        error = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(parseError.errorString());
        return false;
    }
    error.clear();
    FieldReader reader(document.object(), QString(), error);
    if (!document.isObject())
        reader.fail(QString(), QStringLiteral("expected an object"));
    if (reader.value("format").toString() != formatName)
        reader.fail(QStringLiteral("format"), QStringLiteral("expected \"%1\"").arg(formatName));
    reader.integer("mapfileversion", model.mapfileversion);
    reader.text("mapname", model.mapname);
    reader.text("appname", model.appname);
    reader.text("appversion", model.appversion);
    reader.text("savedatetime", model.savedatetime);
    const QJsonValue geometry = reader.value("geometry");
    if (!geometry.isUndefined()) {
        FieldReader geometryReader(geometry, QStringLiteral("geometry"), error);
        geometryReader.real("vminx", model.vminx);
        geometryReader.real("vminy", model.vminy);
        geometryReader.real("vmaxx", model.vmaxx);
        geometryReader.real("vmaxy", model.vmaxy);
        geometryReader.flag("scalexfit", model.scalexfit);
        geometryReader.flag("scaleyfit", model.scaleyfit);
        geometryReader.real("xoffset", model.xoffset);
        geometryReader.real("yoffset", model.yoffset);
        geometryReader.real("xscale", model.xscale);
        geometryReader.real("yscale", model.yscale);
        geometryReader.finish();
    }
    const auto uidOf = [](const auto &record) { return record.uid; };
    recordsFromJson(reader, "fixtureTemplates", model.fixtureTemplates, fixtureTemplateFromJson, uidOf, 16,
                    error);
    recordsFromJson(reader, "interfaceTemplates", model.interfaceTemplates, interfaceTemplateFromJson, uidOf,
                    16, error);
    recordsFromJson(reader, "interfaces", model.interfaces, interfaceFromJson, uidOf, 16, error);
    recordsFromJson(
        reader, "regions", model.regions, regionFromJson,
        [](const LumoRegion &record) { return record.number; }, 10, error);
    // The order index is rebuilt from each interface's order, as loading a map file does.
    for (LumoInterface *interface : std::as_const(model.interfaces))
        model.interfacesByOrder.insert(interface->order, interface);
    return reader.finish();
}

} // namespace

QByteArray LumoMapJson::toJson(const LumoMapModel &model)
{
    return QJsonDocument(mapToJsonObject(model)).toJson(QJsonDocument::Indented);
}

bool LumoMapJson::fromJson(const QByteArray &bytes, LumoMapModel &model, QString *errorMessage)
{
    QString error;
    const bool read = mapFromJson(bytes, model, error);
    if (!read && errorMessage)
        *errorMessage = error;
    return read;
}
