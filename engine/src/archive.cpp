// Reading and writing the packed page archive.
#include "engine/src/archive.h"

#include <QtEndian>

#include <cstring>

namespace engine {

namespace {

constexpr std::size_t kHeaderSize = 16;

// Reads u32 fields and byte runs from a block, failing instead of overrunning it.
class Cursor final {
public:
    Cursor(const std::uint8_t* data, std::size_t length) : m_data(data), m_length(length) {}

    bool readU32(std::uint32_t& out) {
        if (m_length - m_offset < 4) return false;
        out = qFromLittleEndian<std::uint32_t>(m_data + m_offset);
        m_offset += 4;
        return true;
    }
    bool readBytes(std::size_t count, const std::uint8_t*& out) {
        if (m_length - m_offset < count) return false;
        out = m_data + m_offset;
        m_offset += count;
        return true;
    }
    std::size_t offset() const { return m_offset; }

private:
    const std::uint8_t* m_data;
    std::size_t m_length;
    std::size_t m_offset = 0;
};

void appendU32(QByteArray& out, std::uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

QString normalised(QString path) {
    while (path.startsWith(QLatin1Char('/'))) path.remove(0, 1);
    return path;
}

}  // namespace

std::optional<Archive> Archive::open(const std::uint8_t* data, std::size_t length) {
    if (!data || length < kHeaderSize || std::memcmp(data, kArchiveMagic, 4) != 0) return {};
    Cursor cursor(data, length);
    const std::uint8_t* magic = nullptr;
    std::uint32_t version = 0, count = 0, directorySize = 0;
    if (!cursor.readBytes(4, magic) || !cursor.readU32(version) || !cursor.readU32(count) ||
        !cursor.readU32(directorySize)) {
        return {};
    }
    if (version != kArchiveFormatVersion || directorySize > length - kHeaderSize) return {};
    // The directory is read from its own bounded view, so no entry can reach into the data.
    Cursor directory(data + kHeaderSize, directorySize);
    Archive archive;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t pathLength = 0, offset = 0, itemLength = 0;
        const std::uint8_t* path = nullptr;
        if (!directory.readU32(pathLength) || !directory.readBytes(pathLength, path) ||
            !directory.readU32(offset) || !directory.readU32(itemLength)) {
            return {};
        }
        if (offset < kHeaderSize + directorySize || offset > length ||
            itemLength > length - offset) {
            return {};
        }
        const QString name =
            QString::fromUtf8(reinterpret_cast<const char*>(path), static_cast<int>(pathLength));
        archive.m_items.insert(normalised(name), ArchiveItem{data + offset, itemLength});
    }
    if (directory.offset() != directorySize) return {};
    return archive;
}

std::optional<ArchiveItem> Archive::item(const QString& path) const {
    const auto found = m_items.constFind(normalised(path));
    if (found == m_items.constEnd()) return {};
    return *found;
}

QByteArray packArchive(const std::vector<std::pair<QString, QByteArray>>& items) {
    QByteArray directory;
    std::vector<QByteArray> paths;
    std::size_t directorySize = 0;
    for (const auto& item : items) {
        paths.push_back(normalised(item.first).toUtf8());
        directorySize += 12 + static_cast<std::size_t>(paths.back().size());
    }
    std::size_t offset = kHeaderSize + directorySize;
    for (std::size_t i = 0; i < items.size(); ++i) {
        appendU32(directory, static_cast<std::uint32_t>(paths[i].size()));
        directory.append(paths[i]);
        appendU32(directory, static_cast<std::uint32_t>(offset));
        appendU32(directory, static_cast<std::uint32_t>(items[i].second.size()));
        offset += static_cast<std::size_t>(items[i].second.size());
    }
    QByteArray out(kArchiveMagic, 4);
    appendU32(out, kArchiveFormatVersion);
    appendU32(out, static_cast<std::uint32_t>(items.size()));
    appendU32(out, static_cast<std::uint32_t>(directorySize));
    out.append(directory);
    for (const auto& item : items) out.append(item.second);
    return out;
}

}  // namespace engine
