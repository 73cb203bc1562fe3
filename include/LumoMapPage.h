#ifndef LUMOMAPPAGE_H
#define LUMOMAPPAGE_H

/// \file
/// The map page: one self-contained HTML file that shows a map and its wiring in a browser, offline
/// (library LumoMapRender, target LumoMap::Render).

#include "LumoMapPainter.h"
#include "lumomaprender_export.h"

#include <QSharedDataPointer>
#include <QString>

class LumoMapModel;
class LumoMapPageOptionsData;
class LumoWiring;
class QIODevice;

/// What the map page shows first, and how it names its map: a value class, so copies are cheap and
/// independent, and options added later change neither its size nor its layout.
class LUMOMAPRENDER_EXPORT LumoMapPageOptions
{
public:
    /// The default LumoMapPicture's marks, no file name and no save time.
    LumoMapPageOptions();
    /// A copy of `other`.
    LumoMapPageOptions(const LumoMapPageOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoMapPageOptions(LumoMapPageOptions &&other) noexcept;
    /// Makes this a copy of `other`.
    LumoMapPageOptions &operator=(const LumoMapPageOptions &other);
    /// Takes over the options of `other`, which may then only be assigned to or destroyed.
    LumoMapPageOptions &operator=(LumoMapPageOptions &&other) noexcept;
    /// Destroys the options.
    ~LumoMapPageOptions();

    /// The marks the page starts with: interface labels, wiring and node labels. Its area and its
    /// interface and port selections are not used; the page draws what the wiring holds.
    LumoMapPicture picture() const;
    /// Sets the marks the page starts with.
    void setPicture(const LumoMapPicture &picture);

    /// The map file's name as the page shows it in its title and print footer; empty (the default)
    /// for none.
    QString fileName() const;
    /// Sets the map file's name the page shows.
    void setFileName(const QString &fileName);

    /// When the map was saved, as the page shows it; empty (the default) for none.
    QString savedTime() const;
    /// Sets when the map was saved, as the page shows it.
    void setSavedTime(const QString &savedTime);

private:
    QSharedDataPointer<LumoMapPageOptionsData> d;
};

/// Writes the map page: one HTML file with its script, style and data inside, which requests
/// nothing from any network and opens straight from the file system.
///
/// The page draws the map as LumoMapPainter does, on a canvas: it pans and zooms (mouse, wheel,
/// touch drag and pinch), searches interfaces by name, uid or IP and fixtures by name, shows what a
/// node is wired to (the values of the patch list) with the whole chain of its port highlighted,
/// switches node labels, lists each interface's port table and prints the map with the port tables.
/// Its script offers `window.lumomap` to automation: `ready`, `nodeCount()`, `find(text)`,
/// `select(uid, port, node)` and `view()` (documented in the README).
///
/// The values come from `wiring` as it stands, filters included, so they equal the tool's patch rows
/// for the same wiring options; universes and channels are the wired nodes' own, counted once by
/// LumoWiring with its normalised options.
class LUMOMAPRENDER_EXPORT LumoMapPage
{
public:
    /// Writes the page of `model`, whose wiring is `wiring`, to `device`, which must be open for
    /// writing. Returns false when it could not be written, also when memory runs out.
    static bool write(QIODevice &device, const LumoMapModel &model, const LumoWiring &wiring,
                      const LumoMapPageOptions &options);
};

#endif // LUMOMAPPAGE_H
