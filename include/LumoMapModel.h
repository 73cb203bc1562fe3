#ifndef LUMOMAPMODEL_H
#define LUMOMAPMODEL_H

/// \file
/// The fixture map document, LumoMapModel.

#include "lumomap_export.h"

#include <QHash>
#include <QMultiMap>
#include <QString>

class LumoFixture;
class LumoFixtureTemplate;
class LumoInterface;
class LumoInterfaceTemplate;
class LumoRegion;
class QTextStream;

/// The fixture map document: a header, the canvas geometry, the switch for the legacy import, the
/// collections of records and the text of the last load failure.
///
/// Ownership: the document owns every record held by `regions`, `fixtureTemplates`,
/// `interfaceTemplates` and `interfaces` and deletes them when it is destroyed (an interface
/// template takes its outputs and their fixtures with it). `fixturesByTemplate` and
/// `interfacesByOrder` are indexes into those records and own nothing. Copies are deep: a copy
/// owns copies of every record and its indexes point at its own records.
///
/// Persistence: save() writes the map file to a stream of the caller's; loadFromFile() and
/// loadFromText() read a map file, or the older legacy map, adding to what the document holds.
class LUMOMAP_EXPORT LumoMapModel
{
public:
    /// A document with the defaults below. Also reseeds the C library's rand() from the
    /// milliseconds of the current time of day.
    LumoMapModel();
    /// A deep copy of `other`.
    LumoMapModel(const LumoMapModel &other);
    /// Replaces the records with deep copies of those of `other`.
    LumoMapModel &operator=(const LumoMapModel &other);
    /// Deletes the records the document owns.
    ~LumoMapModel();

    /// Returns true and changes nothing: records, header and geometry stay as they are.
    bool clear();

    QString getVersion() const;               ///< "Custom KVXPlayer Version"
    int getBuildNumber() const;               ///< 0
    quint32 getLibraryMapFileVersion() const; ///< 2, the map file version this library writes
    quint32 getMapFileVersion() const;        ///< mapfileversion

    void setMapName(const QString &name);                ///< Sets mapname.
    QString getMapName() const;                          ///< mapname
    void setCreatingAppName(const QString &name);        ///< Sets appname.
    QString getCreatingAppName() const;                  ///< appname
    void setCreatingAppVersion(const QString &version);  ///< Sets appversion.
    QString getCreatingAppVersion() const;               ///< appversion
    QString getSaveDateTime() const;          ///< savedatetime, as read by the last load; saving does not set it
    QString &getLastError();                  ///< lastError; the caller may read and change the text

    /// The line where the last load of this document stopped, from 1; 0 after a successful load and
    /// when the failure has no place in the text (a file that does not exist or cannot be opened, a
    /// document that changed while it was read, memory that ran out, a JSON value named by its path).
    ///
    /// Set by loadFromFile(), loadFromText(), LumoMapJson::read(), LumoMapJson::fromJson() and
    /// LumoMapFile::load(). A load stops at one of these places:
    /// - a tag the document refuses (a root element that is neither `<lumomap>` nor `<map>`, an
    ///   element nested too deep, a legacy light naming no controller): the tag's first character
    ///   after its name and, in a start tag, after the white space that follows the name (the `>` of
    ///   `<name>`, the `/` of `<name/>`); a value that does not convert stops the load at the next
    ///   tag, usually the end tag of its element;
    /// - malformed XML, a refused declaration in a document type, or text that is not JSON: where the
    ///   reader found the fault.
    ///
    /// The library's two routes through XML (its own reader of the subset of XML that map writers
    /// produce, and QXmlSimpleReader) give the same place. Lines end at a line feed, a carriage
    /// return, or the two together.
    int lastErrorLine() const;
    /// The column of that place, from 1, counted in UTF-16 code units of its line as QString counts
    /// them (a tab counts one, a character beyond U+FFFF two); 0 exactly when lastErrorLine() is 0.
    int lastErrorColumn() const;

    void setTranslateOldCoordinatesToNew(bool translate); ///< Sets translateOldCoordinatesToNew.
    bool getTranslateOldCoordinatesToNew() const;         ///< translateOldCoordinatesToNew

    /// The next identifier, one more than the last one handed out by any document of the process,
    /// skipping values taken as keys in fixtureTemplates, interfaceTemplates, interfaces or
    /// regions of this document. The first identifier of a process follows a value of rand().
    quint32 getUniqueID();

    /// Writes the whole map file to `stream` as it produces the text (no DOM tree, no second copy of
    /// the document), flushes the stream and sets mapfileversion to 2. The model's savedatetime is
    /// not changed; the file gets the current local time. Each kind of record is written in ascending
    /// key order, so two saves of one map differ only in savedatetime. U+FFFE, U+FFFF and unpaired
    /// surrogates are written as character references, so every text reads back exactly.
    ///
    /// Encoding: the file carries no XML declaration, and such a file is read back as UTF-8. So when
    /// the stream writes to a device, save first flushes what the host wrote to the stream before (in
    /// the stream's own encoding), then writes the map as UTF-8 straight to the device, leaving the
    /// stream's settings as they were. A stream on a QString receives the text as it is. The stream's
    /// field width is not applied.
    ///
    /// Returns false when the stream has neither a device nor a string, when a device stream's status
    /// is already bad (nothing is written then), or when it reports an error after the flush (a device
    /// that refuses writes, a full disk, a read-only buffer), or when memory runs out (the stream's
    /// status is then WriteFailed and the text may be cut short); true otherwise. saveToFile is the
    /// atomic save to a file.
    bool save(QTextStream &stream);
    /// Saves the map as UTF-8 to `fileName` atomically: the file on disk is either the old one or the
    /// complete new one, never a truncated or empty file. On failure returns false and sets lastError
    /// to "Unable to save file: " followed by the file name and the reason, for example
    /// "Unable to save file: /maps/stage.xml: No space left on device"; on success lastError stays.
    bool saveToFile(const QString &fileName);
    /// Reads a map file (root `<lumomap>`) or a legacy map (root `<map>`) from `fileName` and adds its
    /// records to the document, then runs the post-load calculation. On failure returns false and
    /// leaves the reason in lastError and its place in lastErrorLine() and lastErrorColumn(); a
    /// successful load leaves lastError as it was and sets the place to 0.
    ///
    /// lastError is "File does not exist." for a missing file; every other failure starts with
    /// "Unable to parse file: " and says why: why the file cannot be opened ("file to open is a
    /// directory."); the trace of the last element or text the parser was given, with its own
    /// messages ("characters: 1O" for a value that does not convert, "startElement:
    /// htmlUnable to parse map start tag.0" for another root element, "endElement: mapname" for a
    /// document cut short there); or, for malformed XML before the first element (in the XML
    /// declaration, the encoding or a document type declaration), what the reader found and where:
    /// "version expected while reading the XML declaration (line 1, column 23)". A file whose XML
    /// declaration names UTF-16 or UTF-32 while the file is written in single bytes is named so.
    /// LumoMapFile::load() adds the place, and what was malformed there, to every message.
    ///
    /// A load that runs out of memory fails too, with "Not enough memory to read the map." in
    /// lastError, and leaves the records it filed until then, as any failed load does; no exception
    /// leaves the loads nor the saves. A message quotes at most the first 1000 characters of a text
    /// and then says how long the text is.
    bool loadFromFile(QString fileName);
    /// As loadFromFile(), from the text of a document, without the post-load calculation.
    bool loadFromText(const QString &text);

    /// \name Header
    ///@{
    quint32 mapfileversion; ///< 2; `<mapfileversion>`; set to 1 by each load before parsing
    QString mapname;        ///< "" (empty, not null); `<mapname>`
    QString appname;        ///< ""; `<appname>`
    QString appversion;     ///< ""; `<appversion>`
    QString savedatetime;   ///< null; as read from `<savedatetime>`; the writer writes the current time
    ///@}

    /// \name Canvas geometry
    /// Stored and loaded; the library computes nothing with it. Elements of the same names below
    /// `<geometry>`.
    ///@{
    double vminx;   ///< 0.0
    double vminy;   ///< 0.0
    double vmaxx;   ///< 0.0
    double vmaxy;   ///< 0.0
    bool scalexfit; ///< true
    bool scaleyfit; ///< true
    double xoffset; ///< 0.0
    double xscale;  ///< 1.0
    double yoffset; ///< 0.0
    double yscale;  ///< 1.0
    ///@}

    /// false; not stored. When true, the legacy import rescales light coordinates by 10/12 as it
    /// reads them.
    bool translateOldCoordinatesToNew;

    /// \name Collections
    /// Empty on construction.
    ///@{
    QHash<quint32, LumoRegion *> regions;                   ///< owned; keyed by number
    QHash<quint32, LumoFixtureTemplate *> fixtureTemplates; ///< owned; keyed by uid
    QHash<quint32, LumoFixture *> fixturesByTemplate;       ///< index (legacy import); keyed by templateid
    QHash<quint32, LumoInterfaceTemplate *> interfaceTemplates; ///< owned; keyed by uid
    QHash<quint32, LumoInterface *> interfaces;             ///< owned; keyed by uid
    QMultiMap<qint32, LumoInterface *> interfacesByOrder;   ///< index; keyed by order, duplicates kept
    ///@}

    QString lastError; ///< null; text of the last load failure

private:
    void copyRecordsFrom(const LumoMapModel &other);
    void deleteRecords();
};

#endif // LUMOMAPMODEL_H
