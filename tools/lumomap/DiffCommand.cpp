// lumomap diff A B [--json] [--all]: compares two maps record by record by key. Exit code 0 when
// they hold the same map, 1 when they differ, 2 when a file cannot be read. Git calls it as
// `git difftool -x 'lumomap diff'` with the old and the new file.

#include "Commands.h"
#include "ToolSupport.h"

#include <LumoMapDiff.h>
#include <LumoMapModel.h>

#include <JsonTextWriter.h>

#include <QCommandLineParser>
#include <QIODevice>

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
    explicit JsonList(QIODevice &device) : m_out(&device)
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
    bool finish(const QString &oldPath, const QString &newPath)
    {
        m_out.endArray();
        m_out.key(QLatin1String("equal"));
        m_out.boolean(m_equal);
        m_out.key(QLatin1String("new"));
        m_out.string(newPath);
        m_out.key(QLatin1String("old"));
        m_out.string(oldPath);
        m_out.endObject();
        return m_out.finish();
    }
    bool equal() const { return m_equal; }

private:
    JsonTextWriter m_out;
    bool m_equal = true;
};

// The differences as text, one line each as the comparison finds it, between the two file names and the
// counts; nothing at all when the maps are the same.
class TextList
{
public:
    TextList(QIODevice &device, const QString &oldPath, const QString &newPath)
        : m_device(device), m_oldPath(oldPath), m_newPath(newPath)
    {
    }
    void add(const LumoMapDifference &difference)
    {
        if (m_counts[0] + m_counts[1] + m_counts[2] == 0)
            m_text += QStringLiteral("--- %1\n+++ %2\n").arg(m_oldPath, m_newPath).toUtf8();
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
    const QString m_oldPath;
    const QString m_newPath;
    QByteArray m_text;
    int m_counts[3] = {0, 0, 0};
    bool m_failed = false;
};

} // namespace

int runDiffCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Compares two maps (map files, legacy maps or the JSON form) record by record by key\n"
        "(uids in hexadecimal, region numbers in decimal) and prints one line per difference:\n"
        "  + KIND KEY \"NAME\"                          a record only the new map has\n"
        "  - KIND KEY \"NAME\"                          a record only the old map has\n"
        "  ~ KIND KEY \"NAME\": FIELD: OLD -> NEW       a field that changed (values as JSON)\n"
        "The header and the canvas geometry are compared too; savedatetime only with --all.\n"
        "Exits with 0 when the maps are the same, 1 when they differ, 2 when a file cannot be read.\n"
        "As a git difftool: git difftool -x 'lumomap diff' [COMMIT] -- MAP"));
    parser.addPositionalArgument(QStringLiteral("OLD"), QStringLiteral("the map to compare from"));
    parser.addPositionalArgument(QStringLiteral("NEW"), QStringLiteral("the map to compare to"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON for scripts."));
    const QCommandLineOption allOption(QStringLiteral("all"),
                                       QStringLiteral("Compare savedatetime too (every save changes it)."));
    parser.addOptions({jsonOption, allOption});
    if (!Tool::parseCommandLine(parser, arguments, 2))
        return Tool::FileError;

    const QString oldPath = parser.positionalArguments().at(0);
    const QString newPath = parser.positionalArguments().at(1);
    LumoMapModel oldMap;
    LumoMapModel newMap;
    if (!Tool::loadAnyMap(oldMap, oldPath) || !Tool::loadAnyMap(newMap, newPath))
        return Tool::FileError;

    LumoMapDiffOptions options;
    options.setCompareSaveTime(parser.isSet(allOption));
    options.setNumberLegacyTemplatesFromZero(true); // as a separate run of the tool numbers them
    bool equal = true;
    const bool written = Tool::writeOutput(QString(), [&](QIODevice &out) {
        const auto compare = [&](auto &list) {
            LumoMapDiff::forEachDifference(oldMap, newMap, options,
                                           [&list](const LumoMapDifference &difference) { list.add(difference); });
            equal = list.equal();
        };
        if (parser.isSet(jsonOption)) {
            JsonList list(out);
            compare(list);
            return list.finish(oldPath, newPath);
        }
        TextList list(out, oldPath, newPath);
        compare(list);
        return list.finish();
    });
    if (!written)
        return Tool::FileError;
    return equal ? Tool::Success : Tool::FindingsReported;
}
