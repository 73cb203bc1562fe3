// Fuzz target: the JSON reader's two routes. Whatever the bytes, reading them as the library does
// (RapidJSON's SAX reader, which gives the text over to Qt's parser where it must) and reading them
// through Qt's parser alone give the same result: the same records, or the same message and place. A
// text that reads is written again and reads back to the same text.

#include <TestSupport.h>

#include <LumoMapJson.h>
#include <LumoMapJson_p.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace TestSupport;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    LumoMapModel usual;
    QString usualError;
    const bool usualRead = LumoMapJson::fromJson(bytes, usual, &usualError);
    LumoMapModel qt;
    QString qtError;
    const bool qtRead = LumoMapJsonPrivate::readThroughQt(bytes, qt, qtError);
    require(usualRead == qtRead && usualError == qtError && usual.lastErrorLine() == qt.lastErrorLine() &&
                usual.lastErrorColumn() == qt.lastErrorColumn(),
            "the routes give other messages or places", usualError + QLatin1Char('\n') + qtError);
    require(dump(usual, true) == dump(qt, true), "the routes read other records",
            (dump(usual, true) + dump(qt, true)).join(QLatin1Char('\n')));
    if (usualRead) {
        const QByteArray text = LumoMapJson::toJson(usual);
        LumoMapModel again;
        require(LumoMapJson::fromJson(text, again) && LumoMapJson::toJson(again) == text,
                "a written JSON text does not read back to itself", QString::fromUtf8(text));
    }
    return 0;
}
