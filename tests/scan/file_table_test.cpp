#include "scan/file_table.h"

#include <gtest/gtest.h>

#include <string>

namespace pellanor::scan {
namespace {

platform::DirectoryEntry entryFor(const std::string& path, std::int64_t size, bool identified) {
    platform::DirectoryEntry entry;
    entry.path = path;
    entry.size = size;
    entry.modifiedMsecs = size * 1000;
    entry.isFile = true;
    entry.linkCount = 1;
    if (identified) entry.identity = platform::FileIdentity{3, static_cast<std::uint64_t>(size)};
    return entry;
}

// Parts of very different sizes, so that some paths fill several blocks and some parts hold
// one row; the joined table must read every row back as it was added, in part order.
TEST(FileTable, JoinedPartsKeepEveryRowAndPathInOrder) {
    std::vector<FileTable> parts(5);
    std::vector<std::string> expected;
    const int rowsPerPart[] = {0, 1, 3000, 1, 700};
    for (std::size_t p = 0; p < parts.size(); ++p) {
        for (int i = 0; i < rowsPerPart[p]; ++i) {
            const std::string path = "/part" + std::to_string(p) + "/" + std::string(i % 300, 'x') +
                                     "/file" + std::to_string(i);
            parts[p].add(entryFor(path, static_cast<std::int64_t>(expected.size()), i % 2 == 0));
            expected.push_back(path);
        }
    }
    FileTable table;
    table.add(entryFor("/first", 1000000, true));
    expected.insert(expected.begin(), "/first");
    table.append(parts);
    table.add(entryFor("/after-the-join", 7, false));
    expected.push_back("/after-the-join");

    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t row = 0; row < expected.size(); ++row) {
        EXPECT_EQ(table.path(static_cast<FileTable::Row>(row)), expected[row]) << row;
    }
    for (const FileTable& part : parts) EXPECT_EQ(part.size(), 0u);
    EXPECT_EQ(table.fileSize(1), 0);
    EXPECT_EQ(table.modifiedMsecs(2), 1000);
    EXPECT_TRUE(table.identity(1).has_value());
    EXPECT_FALSE(table.identity(3).has_value());
    EXPECT_EQ(table.qPath(0), QStringLiteral("/first"));
}

TEST(FileTable, CopiedRowsOutliveTheirTable) {
    FileTable copy;
    {
        FileTable table;
        table.add(entryFor(std::string(5000, 'p'), 5, true));
        table.add(entryFor("/\xc3\xa9t\xc3\xa9", 6, false));
        copy.addRow(table, 1);
        copy.addRow(table, 0);
    }
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_EQ(copy.qPath(0), QString::fromUtf8("/\xc3\xa9t\xc3\xa9"));
    EXPECT_EQ(copy.path(1), std::string(5000, 'p'));
    EXPECT_EQ(copy.fileSize(0), 6);
    EXPECT_EQ(copy.identity(1)->fileIndex, 5u);
    // A path that names nothing cannot be identified, and stays unidentified.
    EXPECT_FALSE(copy.identify(0));
    EXPECT_FALSE(copy.identity(0).has_value());
}

}  // namespace
}  // namespace pellanor::scan
