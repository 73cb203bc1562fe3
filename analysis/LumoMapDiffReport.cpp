#include "LumoMapDiffReport.h"

#include "JsonTextWriter.h"

#include "LumoMapDiff.h"
#include "LumoMapModel.h"

#include <QIODevice>

#include <new>

namespace {

const char *changeName(LumoMapDifference::Change change)
{
    switch (change) {
    case LumoMapDifference::Added:
        return "added";
    case LumoMapDifference::Removed:
        return "removed";
    case LumoMapDifference::Changed:
        break;
    }
    return "changed";
}

// The differences as JSON, in the layout of QJsonDocument's indented text, each written as the comparison
// finds it: {"differences": [...], "equal": ..., "new": ..., "old": ...}, keys in byte order.
class JsonList
{
public:
    JsonList(QIODevice &device, const QString &oldName, const QString &newName)
        : m_out(&device), m_oldName(oldName), m_newName(newName)
    {
        m_out.beginObject();
        m_out.key(QLatin1String("differences"));
        m_out.beginArray();
    }
    void add(const LumoMapDifference &difference)
    {
        m_out.beginObject();
        m_out.key(QLatin1String("change"));
        m_out.string(QLatin1String(changeName(difference.change)));
        if (!difference.field.isEmpty()) {
            m_out.key(QLatin1String("field"));
            m_out.string(difference.field);
        }
        if (!difference.key.isEmpty()) {
            m_out.key(QLatin1String("key"));
            m_out.string(difference.key);
            m_out.key(QLatin1String("name"));
            m_out.string(difference.name);
        }
        if (!difference.newValue.isUndefined()) {
            m_out.key(QLatin1String("new"));
            m_out.value(difference.newValue);
        }
        if (!difference.oldValue.isUndefined()) {
            m_out.key(QLatin1String("old"));
            m_out.value(difference.oldValue);
        }
        m_out.key(QLatin1String("record"));
        m_out.string(difference.kind);
        m_out.endObject();
        m_equal = false;
    }
    bool finish()
    {
        m_out.endArray();
        m_out.key(QLatin1String("equal"));
        m_out.boolean(m_equal);
        m_out.key(QLatin1String("new"));
        m_out.string(m_newName);
        m_out.key(QLatin1String("old"));
        m_out.string(m_oldName);
        m_out.endObject();
        return m_out.finish();
    }
    bool equal() const { return m_equal; }

private:
    JsonTextWriter m_out;
    const QString m_oldName;
    const QString m_newName;
    bool m_equal = true;
};

// The differences as text, one line each as the comparison finds it, between the two file names and the
// counts; nothing at all when the maps are the same.
class TextList
{
public:
    TextList(QIODevice &device, const QString &oldName, const QString &newName)
        : m_device(device), m_oldName(oldName), m_newName(newName)
    {
    }
    void add(const LumoMapDifference &difference)
    {
        if (m_counts[0] + m_counts[1] + m_counts[2] == 0)
            m_text += QStringLiteral("--- %1\n+++ %2\n").arg(m_oldName, m_newName).toUtf8();
        m_text += difference.line().toUtf8() + '\n';
        ++m_counts[difference.change];
        if (m_text.size() >= 64 * 1024)
            flush();
    }
    bool finish()
    {
        if (!equal())
            m_text += QStringLiteral("%1 records added, %2 removed, %3 fields changed\n")
                          .arg(m_counts[LumoMapDifference::Added])
                          .arg(m_counts[LumoMapDifference::Removed])
                          .arg(m_counts[LumoMapDifference::Changed])
                          .toUtf8();
        flush();
        return !m_failed;
    }
    bool equal() const { return m_counts[0] + m_counts[1] + m_counts[2] == 0; }

private:
    void flush()
    {
        m_failed = m_failed || m_device.write(m_text) != m_text.size();
        m_text.clear();
    }

    QIODevice &m_device;
    const QString m_oldName;
    const QString m_newName;
    QByteArray m_text;
    int m_counts[3] = {0, 0, 0};
    bool m_failed = false;
};

template <typename List>
bool writeList(List &list, const LumoMapModel &oldMap, const LumoMapModel &newMap, const LumoMapDiffOptions &options,
               bool *equal)
{
    LumoMapDiff::forEachDifference(oldMap, newMap, options,
                                   [&list](const LumoMapDifference &difference) { list.add(difference); });
    if (equal)
        *equal = list.equal();
    return list.finish();
}

} // namespace

bool LumoMapDiffReport::writeText(QIODevice &device, const LumoMapModel &oldMap, const LumoMapModel &newMap,
                                  const LumoMapDiffOptions &options, const QString &oldName, const QString &newName,
                                  bool *equal)
{
    try {
        TextList list(device, oldName, newName);
        return writeList(list, oldMap, newMap, options, equal);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

bool LumoMapDiffReport::writeJson(QIODevice &device, const LumoMapModel &oldMap, const LumoMapModel &newMap,
                                  const LumoMapDiffOptions &options, const QString &oldName, const QString &newName,
                                  bool *equal)
{
    try {
        JsonList list(device, oldName, newName);
        return writeList(list, oldMap, newMap, options, equal);
    } catch (const std::bad_alloc &) {
        return false;
    }
}
