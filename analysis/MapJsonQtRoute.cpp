// The second route of the JSON reader: Qt's parser (QJsonDocument) decides whether the text is JSON and
// says where it is not; its tree is then walked into a MapFormReader, keys in the order Qt keeps them.

#include "LumoMapJson_p.h"

#include "HashRoom.h"
#include "LumoMapModel.h"
#include "LumoMapModel_p.h"
#include "MapFormReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <new>

using MapJsonForm::FormatName;

namespace {

// Walks Qt's tree of a document into the reader, keys in the order Qt keeps them.
bool walk(const QJsonValue &json, MapFormReader &reader)
{
    switch (json.type()) {
    case QJsonValue::Object: {
        if (!reader.startObject())
            return false;
        const QJsonObject object = json.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            const QString name = it.key();
            const QByteArray utf8 = name.toUtf8();
            if (!reader.key(utf8.constData(), std::size_t(utf8.size()), &name) || !walk(it.value(), reader))
                return false;
        }
        return reader.endObject();
    }
    case QJsonValue::Array: {
        if (!reader.startArray())
            return false;
        const QJsonArray array = json.toArray();
        for (auto it = array.constBegin(); it != array.constEnd(); ++it) {
            const QJsonValue element = *it;
            if (!walk(element, reader))
                return false;
        }
        return reader.endArray();
    }
    case QJsonValue::Bool: {
        FormValue value{FormValue::Bool};
        value.flag = json.toBool();
        return reader.value(value);
    }
    case QJsonValue::Double: {
        FormValue value{FormValue::Number};
        value.number = json.toDouble() + 0.0;
        return reader.value(value);
    }
    case QJsonValue::String: {
        const QString text = json.toString();
        FormValue value{FormValue::String};
        value.text = &text;
        return reader.value(value);
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return reader.value(FormValue{FormValue::Null});
}

// Qt 6 builds the tree of a document inside functions declared noexcept: running out of memory there
// ends the process instead of throwing. So the memory the tree may take is asked for first and handed
// back at once; when it cannot be had, std::bad_alloc is thrown here, before Qt's parser starts. A value
// of the tree takes 16 bytes and at least two bytes of text, and its strings take at most twice their
// text: 20 bytes per byte of text covers the tree with the room its lists take while they grow.
void ensureRoomToParse(const QByteArray &bytes)
{
    constexpr std::size_t bytesPerTextByte = 20;
    void *room = HashRoom::allocate(bytesPerTextByte * std::size_t(bytes.size()) + 4096);
    if (!room)
        throw std::bad_alloc();
    std::free(room);
}

} // namespace

// The second route: Qt's parser decides whether the text is JSON and says where it is not; its tree
// then goes through the reader.
bool LumoMapJsonPrivate::readThroughQt(const QByteArray &bytes, LumoMapModel &model, QString &error)
{
    ensureRoomToParse(bytes);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // Columns count UTF-16 code units, as in the XML loaders' places.
        const QByteArray before = bytes.left(parseError.offset);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        const int line = int(before.count('\n')) + 1;
        const int column =
            int(QString::fromUtf8(before.constData() + lineStart, int(before.size() - lineStart)).size()) + 1;
        error = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(parseError.errorString());
        LumoMapModelPrivate::setErrorPosition(model, line, column);
        return false;
    }
    MapFormReader reader(model, true);
    if (!document.isObject())
        error = QStringLiteral("top level: expected an object");
    else if (document.object().value(QStringLiteral("format")).toString() != FormatName)
        error = QStringLiteral("format: expected \"%1\"").arg(FormatName);
    else if (!walk(document.object(), reader))
        error = reader.error();
    reader.finish();
    return error.isEmpty();
}
