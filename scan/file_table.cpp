// Rows and the path buffer of a walk's part grow by doubling; the search's table takes the parts
// once they are all walked, into room made for exactly their rows.
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

void FileTable::append(std::vector<FileTable>& parts) {
    std::size_t rows = m_rows.size();
    std::size_t bytes = m_paths.size();
    for (const FileTable& part : parts) {
        rows += part.m_rows.size();
        bytes += part.m_paths.size();
    }
    m_rows.reserve(rows);
    m_paths.reserve(bytes);
    for (FileTable& part : parts) {
        const std::uint64_t shift = m_paths.size();
        m_paths.insert(m_paths.end(), part.m_paths.begin(), part.m_paths.end());
        for (Entry row : part.m_rows) {
            row.pathOffset += shift;
            m_rows.push_back(row);
        }
        part = FileTable();
    }
}

void FileTable::addRow(const FileTable& from, Row row) {
    Entry entry = from.m_rows[row];
    entry.pathOffset = m_paths.size();
    const std::string_view text = from.path(row);
    m_paths.insert(m_paths.end(), text.begin(), text.end());
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
