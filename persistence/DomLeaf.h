#ifndef DOMLEAF_H
#define DOMLEAF_H

// The two building steps of the DOM route of the map file: a container element and a leaf element
// holding one text node. A leaf always gets its text node, also for an empty or null text, so it
// serialises as <name></name> rather than <name/>.

#include <QDomDocument>
#include <QDomElement>
#include <QLatin1String>
#include <QString>

namespace DomLeaf {

inline QDomElement createContainer(QDomDocument &document, QLatin1String name)
{
    return document.createElement(QString(name));
}

inline void append(QDomDocument &document, QDomElement &container, QLatin1String name, const QString &text)
{
    QDomElement leaf = document.createElement(QString(name));
    leaf.appendChild(document.createTextNode(text));
    container.appendChild(leaf);
}

} // namespace DomLeaf

#endif // DOMLEAF_H
