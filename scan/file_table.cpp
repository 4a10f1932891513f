// Rows of a walk's part grow by doubling; the search's table takes the parts once they are all
// walked, into room made for exactly their rows. Path blocks start small and double up to
// kMaxBlockBytes: a walk may be cut into thousands of parts of one file each, and copying the
// paths into one buffer would hold them twice for a moment.
#include "scan/file_table.h"

#include <algorithm>
#include <cstring>

namespace pellanor::scan {
namespace {

constexpr std::size_t kFirstBlockBytes = 512;
constexpr std::size_t kMaxBlockBytes = 256 * 1024;

}  // namespace

const char* FileTable::storePath(std::string_view text) {
    if (text.size() > m_room) {
        m_lastBlockBytes =
            std::min(kMaxBlockBytes, std::max(kFirstBlockBytes, 2 * m_lastBlockBytes));
        const std::size_t bytes = std::max(m_lastBlockBytes, text.size());
        m_blocks.emplace_back(new char[bytes]);
        m_free = m_blocks.back().get();
        m_room = bytes;
    }
    char* const stored = m_free;
    if (!text.empty()) std::memcpy(stored, text.data(), text.size());
    m_free += text.size();
    m_room -= text.size();
    return stored;
}

void FileTable::add(const platform::DirectoryEntry& entry) {
    Entry row;
    row.path = storePath(entry.path);
    row.pathLength = static_cast<std::uint32_t>(entry.path.size());
    row.size = entry.size;
    row.modifiedMsecs = entry.modifiedMsecs;
    row.links = entry.linkCount;
    if (entry.identity) {
        row.identified = true;
        row.volumeSerial = entry.identity->volumeSerial;
        row.fileIndex = entry.identity->fileIndex;
    }
    m_rows.push_back(row);
}

void FileTable::append(std::vector<FileTable>& parts) {
    std::size_t rows = m_rows.size();
    for (const FileTable& part : parts) rows += part.m_rows.size();
    m_rows.reserve(rows);
    for (FileTable& part : parts) {
        m_rows.insert(m_rows.end(), part.m_rows.begin(), part.m_rows.end());
        for (auto& block : part.m_blocks) m_blocks.push_back(std::move(block));
        part = FileTable();
    }
    // New paths go to a block of this table's own.
    m_room = 0;
}

void FileTable::addRow(const FileTable& from, Row row) {
    Entry entry = from.m_rows[row];
    entry.path = storePath(from.path(row));
    m_rows.push_back(entry);
}

QString FileTable::qPath(Row row) const {
    const std::string_view text = path(row);
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

std::optional<platform::FileIdentity> FileTable::identity(Row row) const {
    const Entry& entry = m_rows[row];
    if (!entry.identified) return std::nullopt;
    return platform::FileIdentity{entry.volumeSerial, entry.fileIndex};
}

bool FileTable::identify(Row row) {
    Entry& entry = m_rows[row];
    if (entry.identified) return false;
    const auto facts = platform::fileFacts(std::string(path(row)));
    if (!facts || !facts->isFile) return false;
    entry.identified = true;
    entry.volumeSerial = facts->identity.volumeSerial;
    entry.fileIndex = facts->identity.fileIndex;
    entry.links = facts->linkCount;
    return true;
}

}  // namespace pellanor::scan
