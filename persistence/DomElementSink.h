#ifndef DOMELEMENTSINK_H
#define DOMELEMENTSINK_H

// The DOM route's sink for MapRecordLayout: builds elements of a QDomDocument below a given parent.
// A container is filled completely and then appended to its own parent, after the siblings written
// before it; a leaf always gets a text node, also for an empty or null text, so that it serialises
// as <name></name> rather than <name/>.

#include <QDomDocument>
#include <QDomElement>
#include <QLatin1String>
#include <QString>
#include <QVector>

class DomElementSink
{
public:
    DomElementSink(QDomDocument &document, QDomElement &parent) : m_document(document), m_parent(parent) {}

    void open(QLatin1String name) { m_open.append(m_document.createElement(QString(name))); }

    void leaf(QLatin1String name, const QString &text)
    {
        QDomElement leaf = m_document.createElement(QString(name));
        leaf.appendChild(m_document.createTextNode(text));
        current().appendChild(leaf);
    }

    void close(QLatin1String)
    {
        const QDomElement finished = m_open.takeLast();
        current().appendChild(finished);
    }

private:
    QDomElement &current() { return m_open.isEmpty() ? m_parent : m_open.last(); }

    QDomDocument &m_document;
    QDomElement &m_parent;
    QVector<QDomElement> m_open;
};

#endif // DOMELEMENTSINK_H
