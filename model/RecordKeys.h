#ifndef RECORDKEYS_H
#define RECORDKEYS_H

// The keys of the document's collections, stated once for everything that lists records or names
// them by key: the records of a collection in ascending key order, and a key written the way the
// map file writes it.
//
// Internal to the library, its tests and its tools; the header is not installed.

#include <QHash>
#include <QString>
#include <QVector>

#include <algorithm>

namespace RecordKeys {

// One entry of a collection: the key it stands under and its record (never null).
template <typename Record> struct KeyedRecord
{
    quint32 key;
    Record *record;
};

// The records of `records` in ascending order of their keys, null pointers left out. Saves list each
// kind of record this way, so one document always gives the same file, whatever the hash seed of the
// process. A record held under two keys comes twice, once under each.
template <typename Record> QVector<KeyedRecord<Record>> inKeyOrder(const QHash<quint32, Record *> &records)
{
    QVector<KeyedRecord<Record>> entries;
    entries.reserve(records.size());
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        if (it.value())
            entries.append({it.key(), it.value()});
    }
    std::sort(entries.begin(), entries.end(),
              [](const KeyedRecord<Record> &left, const KeyedRecord<Record> &right) {
                  return left.key < right.key;
              });
    return entries;
}

// A key (a uid, a template id, a controller) in lower-case hexadecimal without prefix or padding, as
// the map file writes uids: 0xffffffff gives "ffffffff", 10 gives "a".
inline QString hexKey(quint32 key)
{
    return QString::number(key, 16);
}

// A key counted in decimal (a region's number), as the map file writes it: 10 gives "10".
inline QString decimalKey(quint32 key)
{
    return QString::number(key);
}

} // namespace RecordKeys

#endif // RECORDKEYS_H
