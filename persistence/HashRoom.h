#pragma once

// Qt 6 grows a QHash (and a QSet, a QMultiHash) inside functions declared noexcept: an allocation that
// fails there ends the process instead of throwing, and a rehash that fails half way leaves the hash
// broken. So before a load inserts into a hash, it asks for the memory the insertion may take and hands
// it back at once: when memory has run out, std::bad_alloc is thrown here, before the hash changes,
// and the loader turns it into its message. Qt 5's hashes allocate one node per entry and throw.

#include <QtGlobal>

#include <cstdlib>
#include <new>

namespace HashRoom {

// The allocation is made through a volatile pointer: a compiler may drop a malloc whose result is only
// tested and freed (clang does), and with it the test.
inline void *(*volatile const allocate)(std::size_t) = std::malloc;

// Throws std::bad_alloc unless `count` new keys can go into `hash` now.
template <typename Hash> void ensureRoomToInsert(const Hash &hash, qsizetype count = 1)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // A hash that is full grows: every entry moves into new storage (two words each at most, with
    // the spans around them) while the old storage is still held. Otherwise at most the storage of
    // one span grows per key, by fewer than 128 entries.
    constexpr std::size_t entryBytes = 4 * sizeof(void *);
    const bool grows = !hash.isDetached() || hash.size() + count > hash.capacity();
    const std::size_t bytes = grows ? 3 * entryBytes * std::size_t(hash.size() + count + 64)
                                    : 128 * entryBytes * std::size_t(count);
    void *room = allocate(bytes);
    if (!room)
        throw std::bad_alloc();
    std::free(room);
#else
    Q_UNUSED(hash);
    Q_UNUSED(count);
#endif
}

} // namespace HashRoom
