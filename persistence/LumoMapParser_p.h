#ifndef LUMOMAPPARSER_P_H
#define LUMOMAPPARSER_P_H

//
//  W A R N I N G
//  -------------
//
// This file is not part of the LumoMap API. It is the private part of LumoMapParser and may change
// from version to version without notice; it is not installed.
//
// The element state machine behind LumoMapParser: both read routes drive it, QXmlSimpleReader
// through the parser's SAX callbacks, the subset reader through SubsetParserEvents with element
// names as bytes and text as UTF-8. It works on the public fields of its parser (the records under
// construction, the state stack, the legacy controller's lists) and keeps the rest here: the text
// waiting for its element's next tag, the trace of the last callback, the displaced records, the
// child lookup hints and the legacy import's own state. The states and the children each container
// accepts are in ParserStateTable.cpp; element texts are stored by ParserTextFields.cpp, and the
// legacy controllers and lights are converted by LegacyMapImport.

#include "LegacyMapImport.h"
#include "LumoMapParser.h"
#include "ParserStateTable.h"
#include "RecordFiling.h"

#include <QLatin1String>
#include <QString>
#include <QStringView>

namespace ElementText {
struct Utf8;
}

class LumoMapParserPrivate
{
public:
    explicit LumoMapParserPrivate(LumoMapParser &parser);

    LumoMapParserPrivate(const LumoMapParserPrivate &) = delete;
    LumoMapParserPrivate &operator=(const LumoMapParserPrivate &) = delete;

    static LumoMapParserPrivate &of(LumoMapParser &parser) { return *parser.d; }

    // The entry points of both routes. An element name is the reader's string or the subset reader's
    // bytes (ParserState::PaddedName).
    template <typename Name> bool startElement(const Name &name);
    template <typename Name> bool endElement(const Name &name);
    bool characters(const QString &text);
    // The whole text of the open element up to its next tag, as UTF-8.
    bool elementText(const char *utf8, qsizetype size);
    // <name>text</name> with the text in ASCII without references: the same as its start tag, its
    // text (when not empty) and its end tag in a row.
    // `startRefused` tells, after a refusal, whether the start tag was refused (else the text or the
    // end tag was).
    bool valueElement(const ParserState::PaddedName &name, const char *asciiText, qsizetype size,
                      bool &startRefused);
    // The reader stopped at `line` and `column`: on malformed input, which `readerMessage` names, or
    // because a callback of this parser refused what it was given (the message then says only that).
    bool fatalError(int line, int column, const QString &readerMessage);
    QString errorString();
    void appendMessage(const QString &message);
    // Returns `accepted` and remembers a refusal, so that fatalError() tells a stop this parser asked
    // for from malformed input that the reader found.
    bool noteRefusal(bool accepted)
    {
        refused = refused || !accepted;
        return accepted;
    }

    // How the parse went, for the loaders' messages: the root element it accepted (its state, or -1),
    // the name of a root element it refused, and where the reader stopped with what the reader found
    // malformed (empty when this parser refused, or when the subset reader read the document).
    int rootState = -1;
    QString refusedRoot;
    int stopLine = 0;
    int stopColumn = 0;
    QString readerReason;

    // Destroys the records displaced during the parse that the model no longer holds and removes
    // every pointer the model keeps to them (RecordFiling::release); calling it again does nothing.
    void releaseDisplacedRecords();
    // Frees every record still under construction, with the 16 templates of an unfinished legacy
    // controller.
    void deleteUnfinishedRecords();

    LumoMapParser &q;
    LegacyMapImport legacy;

private:
    enum class TraceCallback : quint8
    {
        None,
        StartElement,
        EndElement,
        Characters
    };
    // A subject longer than TraceTextLimit characters is kept by its first ones (a surrogate pair
    // whole or not at all) with its length, and errorString() says so: the trace never holds a copy
    // of an unbounded text, and writing it out needs little memory, also after the memory ran out.
    static constexpr qsizetype TraceTextLimit = 1000;
    void setTrace(TraceCallback callback, QLatin1String knownName);
    void setTrace(TraceCallback callback, QStringView subject);
    // The same for a text as UTF-8, converted only as far as it is kept.
    void setTextTrace(const ElementText::Utf8 &text);
    bool processPendingText();
    // Stores an element text into the field that `state` names (ParserTextFields.cpp).
    template <typename Text> bool storeText(int state, const Text &text);
    bool storeTextOrTrace(int state, const ElementText::Utf8 &trimmed);
    bool startRecord(int state);
    bool finishRecord(int state);

    QString pendingText; // text of the open element not yet stored, pieces joined
    bool refused = false; // a callback returned false

    // The trace of the last callback: which callback, and its element name (one of the table's
    // names, or another name as the reader gave it) or its text, then the messages appended to it.
    TraceCallback traceCallback = TraceCallback::None;
    QLatin1String traceName;
    QString traceSubject;
    qsizetype traceSubjectSize = 0; // the subject's whole length while traceSubject is not null
    QString traceMessages;

    // Records displaced during this parse, released at its end.
    RecordFiling::DisplacedRecords displaced;
    quint8 childHints[ParserState::Count] = {}; // per state code: where to start looking up its next child
};

#endif // LUMOMAPPARSER_P_H
