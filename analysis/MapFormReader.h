#ifndef MAPFORMREADER_H
#define MAPFORMREADER_H

// Not part of the public API: the reader of the JSON form's events, which both read routes feed.
//
// A MapFormReader receives the events of one JSON document (objects, arrays, keys, values) and
// fills the model through the field lists. Two routes feed it:
//   - RapidJSON's SAX reader over the bytes as they are read, the usual route;
//   - Qt's own parser (QJsonDocument), whose tree is walked into the same reader, for every document the
//     first route does not take to its end: text that RapidJSON refuses (Qt may refuse it too, and its
//     message with line and column is the one reported, or accept it, e.g. a lone surrogate escape), a
//     key given twice in one object (Qt keeps the last), numbers whose reading only Qt can settle, and
//     every document with a fault in its values, so that faults are reported as Qt's tree shows them:
//     first a text that is not JSON, then a top level that is not an object, then a wrong "format",
//     then the first wrong value in key order.
// Records go straight into the model; when the first route gives up, the reader takes out what it added
// and restores the header before the second route starts.
//
// Internal to the library; the header is not installed.

#include "MapJsonForm.h"
#include "RecordFields.h"

#include <QHash>
#include <QString>

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

// One JSON value as the reader sees it. A string from RapidJSON stays UTF-8 bytes until a field needs it
// as a QString (texts, colours); hexadecimal numbers and the strings "nan", "inf", "-inf" are read from
// the bytes.
struct FormValue
{
    enum Type
    {
        Null,
        Bool,
        Number,
        String,
        Container, // an object or an array where a plain value is expected
    };
    explicit FormValue(Type kind) : type(kind) {}

    Type type;
    bool flag = false;
    double number = 0;
    const char *utf8 = nullptr; // a string's bytes (first route) ...
    std::size_t size = 0;
    mutable const QString *text = nullptr; // ... or its text (second route, or once decoded)
    mutable QString decoded;

    const QString &string() const
    {
        if (!text) {
            decoded = QString::fromUtf8(utf8, int(size));
            text = &decoded;
        }
        return *text;
    }
    bool is(QLatin1String ascii) const
    {
        if (type != String)
            return false;
        if (text)
            return *text == ascii;
        return size == std::size_t(ascii.size()) && std::memcmp(utf8, ascii.data(), size) == 0;
    }
};

class MapFormReader
{
    using Child = MapJsonForm::Child;
    using Encoding = MapJsonForm::Encoding;
    using Key = MapJsonForm::Key;
    using Kind = MapJsonForm::Kind;
    template <typename Record> using Field = RecordFields::Field<Record>;

public:
    // `fromTree`: the events come from Qt's tree, whose text is known to be JSON; a fault in a value is
    // then reported instead of giving the document over to that route.
    MapFormReader(LumoMapModel &model, bool fromTree) : m_model(model), m_fromTree(fromTree) {}
    // An output does not own its fixtures (its interface template does), so the fixtures of an output
    // whose reading stopped before it was filed are deleted here.
    ~MapFormReader();

    const QString &error() const { return m_error; }
    // The whole document was read: a top-level object with the right format and nothing wrong in it.
    bool complete() const { return m_done && m_formatRight && m_error.isEmpty(); }

    bool startObject();

    bool startArray();

    bool endArray();

    bool endObject();

    bool key(const char *name, std::size_t size, const QString *original = nullptr);

    bool value(const FormValue &value);

    // The reading is over: the order index is rebuilt from each interface's order, as loading a map file
    // does.
    void finish();

    // Takes the records this reader added out of the model again (the header is the caller's).
    void rollBack();

    bool gaveUp() const { return m_gaveUp; }

    // Tells the reader that the first route cannot settle the document.
    bool giveUp();

private:
    // Deeper than any document of the form, whose values are found wrong before they nest that deep.
    // RapidJSON's reader recurses once per level, so the first route stops there and leaves the text to
    // Qt's parser (which refuses documents nested deeper than 1024 levels); Qt's tree is never that deep.
    static constexpr std::size_t MaxDepth = 512;
    bool tooDeep() const { return !m_fromTree && m_frames.size() > MaxDepth; }

    struct Frame
    {
        Kind kind;
        bool array;
        const std::vector<Key> *keys = nullptr; // object: its layout's keys
        quint32 seen = 0;                       // object: the layout keys given so far
        int key = -1;                           // object: the layout key whose value comes next
        int count = 0;                          // array: elements so far
        Child child = Child::None;
    };

    const Key &currentKey() const { return (*m_frames.back().keys)[m_frames.back().key]; }
    void push(Kind kind, bool array);

    static QString join(const QString &path, QLatin1String key);

    // The path of the object or array that frame `depth - 1` stands for: "interfaceTemplates[0].outputs".
    QString path(std::size_t depth) const;
    // The path of the element that comes next in the array on top.
    QString elementPath() const;

    bool fail(const QString &path, const QString &message);

    // A value that does not fit the key it stands under.
    bool wrongValue(const FormValue &);

    static Encoding fieldEncoding(Kind kind, int field);

    template <typename Record>
    static bool assignTo(const Field<Record> &field, Record &record, const FormValue &value);

    bool assign(Kind kind, int field, const FormValue &value);

    void startRecord(Kind kind);

    // Files a record in its collection, refusing a key given twice, since the second record would
    // silently replace the first.
    template <typename Record>
    bool file(QHash<quint32, Record *> &records, std::unique_ptr<Record> &record, quint32 key,
              QString (*keyText)(quint32), std::vector<quint32> &added);

    bool finishRecord(Kind kind);

    template <typename Record>
    static void removeAdded(QHash<quint32, Record *> &records, std::vector<quint32> &added);

    LumoMapModel &m_model;
    const bool m_fromTree;
    std::vector<Frame> m_frames;
    QString m_error;
    bool m_formatRight = false;
    bool m_done = false;
    bool m_gaveUp = false;
    // The records being read, one of each kind at most: their objects nest in one way only.
    std::unique_ptr<LumoFixtureTemplate> m_fixtureTemplate;
    std::unique_ptr<LumoNode> m_node;
    std::unique_ptr<LumoInterfaceTemplate> m_interfaceTemplate;
    std::unique_ptr<LumoOutput> m_output;
    std::unique_ptr<LumoFixture> m_fixture;
    std::unique_ptr<LumoInterface> m_interface;
    std::unique_ptr<LumoRegion> m_region;
    std::vector<quint32> m_addedFixtureTemplates, m_addedInterfaceTemplates, m_addedInterfaces,
        m_addedRegions;
};

#endif // MAPFORMREADER_H
