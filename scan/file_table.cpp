// Rows and the path buffer grow by doubling; a walk's table is appended to the search's
// in one copy and then freed, so at most one walk's worth is held twice.
#include "scan/file_table.h"

namespace pellanor::scan {

void FileTable::add(const platform::DirectoryEntry& entry) {
    Entry row;
    row.pathOffset = m_paths.size();
    row.pathLength = static_cast<std::uint32_t>(entry.path.size());
    row.size = entry.size;
    row.modifiedMsecs = entry.modifiedMsecs;
    row.links = entry.linkCount;
    if (entry.identity) {
        row.identified = true;
        row.volumeSerial = entry.identity->volumeSerial;
        row.fileIndex = entry.identity->fileIndex;
    }
    m_paths.insert(m_paths.end(), entry.path.begin(), entry.path.end());
    m_rows.push_back(row);
}

void FileTable::append(FileTable&& other) {
    if (m_rows.empty()) {
        *this = std::move(other);
        other = FileTable();
        return;
    }
    const std::uint64_t shift = m_paths.size();
    m_paths.insert(m_paths.end(), other.m_paths.begin(), other.m_paths.end());
    other.m_paths = std::vector<char>();
    m_rows.reserve(m_rows.size() + other.m_rows.size());
    for (Entry row : other.m_rows) {
        row.pathOffset += shift;
        m_rows.push_back(row);
    }
    other.m_rows = std::vector<Entry>();
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
