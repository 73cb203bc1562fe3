#ifndef RECORDKEYS_H
#define RECORDKEYS_H

// The keys of the document's collections as every output of the library shows them: records in
// ascending key order (the hash order changes from process to process with the hash seed), and a key
// in lower-case hexadecimal as the map file writes uids.

#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>

namespace RecordKeys {

// The keys of `records`, ascending.
template <typename Record> QList<quint32> sortedKeys(const QHash<quint32, Record *> &records)
{
    QList<quint32> keys = records.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

// A key in lower-case hexadecimal without prefix, as the map file writes uids.
inline QString hexKey(quint32 key)
{
    return QString::number(key, 16);
}

} // namespace RecordKeys

#endif // RECORDKEYS_H
