// FileTable, the files a blocking search has found, held compactly: one fixed-size row per file
// and every path as UTF-8 in a few large blocks. A search may see every file of a drive and
// keeps almost none of them; a FileRecord per file, with its UTF-16 path in an allocation of
// its own, cost about four times as much.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directory_iterator.h"
#include "platform/file_identity.h"

namespace pellanor::scan {

class FileTable final {
public:
    using Row = std::uint32_t;

    // Appends a listed file. Does not block.
    void add(const platform::DirectoryEntry& entry);
    // Appends every row of each of `parts`, in order, and empties them. Their paths are taken
    // over, not copied; room for the rows is made once and each part's rows are freed as soon
    // as they are copied.
    void append(std::vector<FileTable>& parts);
    // Appends a copy of `row` of `from`.
    void addRow(const FileTable& from, Row row);

    std::size_t size() const { return m_rows.size(); }
    std::string_view path(Row row) const { return {m_rows[row].path, m_rows[row].pathLength}; }
    QString qPath(Row row) const;
    qint64 fileSize(Row row) const { return m_rows[row].size; }
    qint64 modifiedMsecs(Row row) const { return m_rows[row].modifiedMsecs; }
    quint32 links(Row row) const { return m_rows[row].links; }
    std::optional<platform::FileIdentity> identity(Row row) const;

    // Asks the file system for the identity and link count of a row the walk could not
    // identify. True when they were asked now and answered. Blocks.
    bool identify(Row row);

private:
    const char* storePath(std::string_view text);

    struct Entry {
        const char* path = nullptr;  // in one of m_blocks
        std::int64_t size = 0;
        std::int64_t modifiedMsecs = 0;
        std::uint64_t fileIndex = 0;
        std::uint32_t volumeSerial = 0;
        std::uint32_t links = 0;
        std::uint32_t pathLength = 0;
        bool identified = false;
    };

    std::vector<Entry> m_rows;
    // Blocks never move, so rows keep pointing into them when tables are joined.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_lastBlockBytes = 0;
    char* m_free = nullptr;  // the unused end of the last block
    std::size_t m_room = 0;
};

}  // namespace pellanor::scan
