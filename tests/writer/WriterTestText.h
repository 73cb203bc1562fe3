#ifndef WRITERTESTTEXT_H
#define WRITERTESTTEXT_H

// Text helpers for the writer tests: reading the golden file, putting the records of one kind in
// a fixed order, and locating the first difference between two long texts.

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace WriterTestText {

inline QString readUtf8File(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

inline QString tagOf(const QString &line)
{
    static const QRegularExpression tag(QStringLiteral("^ *</?([A-Za-z]+)"));
    return tag.match(line).captured(1);
}

// The children of <lumomap> as text parts, one per child (a leaf line, or a container from its
// start tag to its end tag), with the records of each kind sorted. Records of one kind follow the
// iteration order of a hash, which carries no meaning and differs between runs and Qt versions;
// everything else, the order of the kinds included, stays as written.
inline QStringList canonicalParts(const QString &text)
{
    QStringList parts;
    QString current;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        current += line + QLatin1Char('\n');
        const bool depthOne = line.startsWith(QLatin1String(" <")) && !line.startsWith(QLatin1String("  "));
        const bool opensContainer =
            depthOne && !line.contains(QLatin1String("</")) && !line.endsWith(QLatin1String("/>"));
        if (!opensContainer && (depthOne || !line.startsWith(QLatin1Char(' ')))) {
            parts << current;
            current.clear();
        }
    }
    if (!current.isEmpty())
        parts << current;

    auto runStart = parts.begin();
    while (runStart != parts.end()) {
        const QString kind = tagOf(*runStart);
        auto runEnd = std::find_if(runStart, parts.end(), [&](const QString &p) { return tagOf(p) != kind; });
        std::sort(runStart, runEnd);
        runStart = runEnd;
    }
    return parts;
}

// An empty string when the texts are equal, otherwise where they first differ, with context.
inline QString firstDifference(const QString &actual, const QString &expected)
{
    if (actual == expected)
        return QString();
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual.at(at) == expected.at(at))
        ++at;
    const auto context = [at](const QString &s) {
        QString shown;
        for (QChar c : s.mid(qMax<qsizetype>(0, at - 40), 80))
            shown += c.unicode() >= 0x20 && c.unicode() < 0x7f
                         ? QString(c)
                         : QStringLiteral("{%1}").arg(c.unicode(), 0, 16);
        return shown;
    };
    return QStringLiteral("first difference at %1 (sizes %2 and %3)\nactual:   %4\nexpected: %5")
        .arg(at)
        .arg(actual.size())
        .arg(expected.size())
        .arg(context(actual), context(expected));
}

} // namespace WriterTestText

#endif // WRITERTESTTEXT_H
