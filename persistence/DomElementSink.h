#ifndef DOMELEMENTSINK_H
#define DOMELEMENTSINK_H

// The DOM route's sink for MapRecordLayout: builds elements of a QDomDocument below a given parent.
// A container is filled completely and then appended to its own parent, after the siblings written
// before it; a leaf always gets a text node, also for an empty or null text, so that it serialises
// as <name></name> rather than <name/>.

#include "MapValueFormat.h"

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

    // The serialiser escapes "&", "<", ">" and a carriage return in a text node itself. The code
    // units that MapValueFormat::needsCharacterReference names go in as entity reference nodes
    // ("#xffff"), which serialise as character references; the leaf then begins and ends with a text
    // node, because the serialiser breaks the line after a start tag whose first child is no text.
    void leaf(QLatin1String name, const QString &text)
    {
        QDomElement leaf = m_document.createElement(QString(name));
        const QChar *chars = text.constData();
        qsizetype runStart = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!MapValueFormat::needsCharacterReference(chars, text.size(), i))
                continue;
            leaf.appendChild(m_document.createTextNode(text.mid(runStart, i - runStart)));
            const MapValueFormat::AsciiText reference = MapValueFormat::characterReference(chars[i]);
            leaf.appendChild(m_document.createEntityReference(QString(reference.view()).mid(1).chopped(1)));
            runStart = i + 1;
        }
        leaf.appendChild(m_document.createTextNode(runStart ? text.mid(runStart) : text));
        current().appendChild(leaf);
    }
    void leaf(QLatin1String name, QLatin1String text) { leaf(name, QString(text)); }
    void leaf(QLatin1String name, const MapValueFormat::AsciiText &text) { leaf(name, QString(text.view())); }

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
