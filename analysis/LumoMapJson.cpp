// The public entry points of the JSON form: the writer (MapJsonWriter.cpp) and the reader's two routes
// (MapJsonStreamRoute.cpp, MapJsonQtRoute.cpp) behind them. Running out of memory ends an entry point
// with false and a message, as the map file's loaders do.

#include "LumoMapJson.h"
#include "LumoMapJson_p.h"

#include "JsonTextWriter.h"
#include "LumoMapModel.h"
#include "LumoMapModel_p.h"

#include <QBuffer>

#include <exception>
#include <memory>

namespace {

// A literal's text needs no memory of its own, so it can be given when none is left.
QString outOfMemory()
{
    return QStringLiteral("Not enough memory to read the map.");
}

} // namespace

QByteArray LumoMapJson::toJson(const LumoMapModel &model)
{
    try {
        JsonTextWriter out;
        LumoMapJsonPrivate::writeMap(out, model);
        out.finish();
        return std::move(out.text());
    } catch (const std::exception &) {
        return QByteArray();
    }
}

bool LumoMapJson::write(const LumoMapModel &model, QIODevice &device)
{
    try {
        JsonTextWriter out(&device);
        LumoMapJsonPrivate::writeMap(out, model);
        return out.finish();
    } catch (const std::exception &) {
        return false;
    }
}

bool LumoMapJson::fromJson(const QByteArray &bytes, LumoMapModel &model, QString *errorMessage)
{
    std::unique_ptr<QBuffer> buffer; // made inside the try: a QObject allocates when constructed
    try {
        buffer = std::make_unique<QBuffer>();
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
    } catch (const std::exception &) {
        LumoMapModelPrivate::setErrorPosition(model, 0, 0);
        model.lastError = outOfMemory();
        if (errorMessage)
            *errorMessage = model.lastError;
        return false;
    }
    return read(*buffer, model, errorMessage);
}

bool LumoMapJson::read(QIODevice &device, LumoMapModel &model, QString *errorMessage)
{
    LumoMapModelPrivate::setErrorPosition(model, 0, 0);
    bool read = false;
    QString error;
    try {
        read = LumoMapJsonPrivate::readStream(device, model, error);
    } catch (const std::exception &) {
        // The records read so far stay in the model, as after any other failure.
        LumoMapModelPrivate::setErrorPosition(model, 0, 0);
        error = outOfMemory();
    }
    if (!read) {
        model.lastError = error;
        if (errorMessage)
            *errorMessage = error;
    }
    return read;
}
