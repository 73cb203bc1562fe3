#ifndef LOADERTESTSUPPORT_H
#define LOADERTESTSUPPORT_H

// Helpers shared by the loader and legacy suites: loading a text into a fresh document, driving a
// parser with a reader of the test's own (to look at the records it still holds), writing a file.

#include <LumoMapModel.h>
#include <LumoMapParser.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QXmlInputSource>
#include <QXmlSimpleReader>

#include <ModelDump.h>

namespace LoaderTest {

// Drives `parser` over `text` the way the loaders do.
inline bool drive(LumoMapParser &parser, const QString &text)
{
    QXmlInputSource source;
    source.setData(text);
    QXmlSimpleReader reader;
    reader.setContentHandler(&parser);
    reader.setDeclHandler(&parser);
    reader.setDTDHandler(&parser);
    return reader.parse(&source, false);
}

inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
    return path;
}

inline QString saved(LumoMapModel &model)
{
    QString text;
    QTextStream stream(&text);
    model.save(stream);
    stream.flush();
    return text;
}

inline QStringList dumpOf(const QString &document, bool withTransientFields = true)
{
    LumoMapModel model;
    model.loadFromText(document);
    return ModelDump::dump(model, withTransientFields);
}

} // namespace LoaderTest

#endif // LOADERTESTSUPPORT_H
