// The packed page archive: a flat, bounds-checked format of our own.
//
// Layout (all integers little-endian u32):
//   "SAr\0"  format version (1)  item count  directory size
//   directory: per item  path length, path (UTF-8, '/' separated), data offset, data length
//   data: the items' bytes; offsets count from the start of the archive
// Readers check every length against the block before use, so a truncated or corrupt block is
// refused as a whole instead of being read past its end.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace engine {

inline constexpr char kArchiveMagic[4] = {'S', 'A', 'r', '\0'};
inline constexpr std::uint32_t kArchiveFormatVersion = 1;

struct ArchiveItem {
    const std::uint8_t* data;
    std::size_t length;
};

// A read-only view of an archive held in memory the caller keeps alive.
class Archive final {
public:
    // Refuses (nullopt) a block that is not a complete, consistent archive.
    static std::optional<Archive> open(const std::uint8_t* data, std::size_t length);

    // Looks an item up by its path; a leading '/' is ignored.
    std::optional<ArchiveItem> item(const QString& path) const;
    int count() const { return m_items.size(); }

private:
    QHash<QString, ArchiveItem> m_items;
};

// Builds an archive from (path, bytes) pairs, in the given order.
QByteArray packArchive(const std::vector<std::pair<QString, QByteArray>>& items);

}  // namespace engine
