// Fuzz target: the two read routes on every input. Each input is loaded through loadFromText and
// loadFromFile, into a fresh document and into one that already holds records (a current map, and a
// legacy controller whose lights the input may name), once with the subset reader where it applies
// and once by QXmlSimpleReader alone; TestSupport::routeDifference compares the result, lastError
// with the line and column of a failure, every record with its transient fields, the indexes and the
// order index in insertion order, and mapfileversion, wherever the subset reader took the input. The
// file route is compared on every input, whichever route the text took: the file holds the bytes as
// they are (the text holds invalid UTF-8 as U+FFFD), and its blocks end at other places than the
// text's.

#include <TestSupport.h>

namespace {

const LumoMapModel &recordsToLoadInto()
{
    static const LumoMapModel model = [] {
        // Documents take small uids; the template counter's values are moved well away from them.
        for (int i = 0; i < (1 << 22) + 12345; ++i)
            LumoFixtureTemplate::generateLumoFixtureTemplateUID();
        LumoMapModel filled;
        TestSupport::require(
            filled.loadFromText(QStringLiteral(
                "<lumomap><mapfileversion>3</mapfileversion><mapname>before</mapname><region><number>1"
                "</number></region><fixturetemplate><uid>a</uid><nodelist><node><x>1</x></node></nodelist>"
                "</fixturetemplate><interface><uid>7</uid><order>2</order></interface><interface><uid>8"
                "</uid><order>2</order></interface></lumomap>")) &&
                filled.loadFromText(QStringLiteral(
                    "<map><c><s>a0</s><n>held</n></c><l><x>12</x><y>24</y><c>a0</c><pn>1</pn></l></map>")),
            "the records to load into could not be loaded");
        return filled;
    }();
    return model;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const LumoMapModel &filled = recordsToLoadInto();
    LumoMapModel fromText;
    bool loaded = false;
    QString difference =
        TestSupport::routeDifference(fromText, loaded, [&](LumoMapModel &m) { return m.loadFromText(text); });
    TestSupport::require(difference.isEmpty(), "loadFromText", difference);
    const QString path =
        TestSupport::writeTemporaryFile(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    for (bool prefilled : {false, true}) {
        LumoMapModel fromFile = prefilled ? filled : LumoMapModel();
        if (prefilled) {
            fromText = filled;
            difference = TestSupport::routeDifference(fromText, loaded,
                                                      [&](LumoMapModel &m) { return m.loadFromText(text); });
            TestSupport::require(difference.isEmpty(), "loadFromText", difference);
        }
        difference = TestSupport::routeDifference(fromFile, loaded,
                                                  [&](LumoMapModel &m) { return m.loadFromFile(path); });
        TestSupport::require(difference.isEmpty(), "loadFromFile", difference);
    }
    return 0;
}
