#include "platform/directory_iterator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

class TempTree {
public:
    TempTree() {
        std::random_device device;
        m_root = fs::temp_directory_path() / ("pellanor-walk-" + std::to_string(device()));
        fs::create_directories(m_root);
    }
    ~TempTree() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    std::string root() const { return m_root.generic_u8string(); }
    void file(const std::string& relative, std::size_t bytes) {
        const fs::path path = m_root / fs::u8path(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    }
    void folder(const std::string& relative) { fs::create_directories(m_root / relative); }

private:
    fs::path m_root;
};

std::map<std::string, DirectoryEntry> walk(const std::string& root, const DirectoryFilter& filter) {
    std::map<std::string, DirectoryEntry> found;
    DirectoryIterator iterator(root, filter);
    DirectoryEntry entry;
    while (iterator.next(entry)) found[entry.path] = entry;
    return found;
}

TEST(DirectoryIterator, RecursiveWalkListsEveryFileBelowWithItsSize) {
    TempTree tree;
    tree.file("a.bin", 3);
    tree.file("sub/b.bin", 5);
    tree.file("sub/deeper/c.bin", 0);
    tree.folder("empty");
    DirectoryFilter filter;
    filter.recursive = true;

    const auto found = walk(tree.root(), filter);

    ASSERT_EQ(found.size(), 3u);
    const std::string root = tree.root() + "/";
    EXPECT_EQ(found.at(root + "a.bin").size, 3);
    EXPECT_EQ(found.at(root + "sub/b.bin").size, 5);
    EXPECT_EQ(found.at(root + "sub/b.bin").name, "b.bin");
    EXPECT_TRUE(found.at(root + "sub/deeper/c.bin").isFile);
    EXPECT_FALSE(found.at(root + "sub/deeper/c.bin").isDirectory);
    EXPECT_GT(found.at(root + "a.bin").modifiedMsecs, 1500000000000LL);
    // An identity the walk gives must be the one the identity query gives for the same file.
    for (const auto& [path, entry] : found) {
        if (!entry.identity) continue;
        const auto queried = fileIdentity(path);
        ASSERT_TRUE(queried.has_value()) << path;
        EXPECT_EQ(entry.identity->volumeSerial, queried->volumeSerial) << path;
        EXPECT_EQ(entry.identity->fileIndex, queried->fileIndex) << path;
    }
}

TEST(DirectoryIterator, FlatListingStaysInTheFolderAndSeparatesFilesFromFolders) {
    TempTree tree;
    tree.file("a.bin", 1);
    tree.file("sub/b.bin", 1);
    DirectoryFilter files;
    DirectoryFilter folders;
    folders.files = false;
    folders.directories = true;

    const auto fileList = walk(tree.root() + "/", files);
    const auto folderList = walk(tree.root(), folders);

    ASSERT_EQ(fileList.size(), 1u);
    EXPECT_EQ(fileList.begin()->first, tree.root() + "/a.bin");
    ASSERT_EQ(folderList.size(), 1u);
    EXPECT_EQ(folderList.begin()->first, tree.root() + "/sub");
    EXPECT_TRUE(folderList.begin()->second.isDirectory);
}

TEST(DirectoryIterator, WalksDepthFirstSoAFoldersFilesFollowItDirectly) {
    TempTree tree;
    tree.file("x/1", 1);
    tree.file("x/2", 1);
    tree.file("y/1", 1);
    tree.file("y/2", 1);
    DirectoryFilter filter;
    filter.recursive = true;
    DirectoryIterator iterator(tree.root(), filter);
    DirectoryEntry entry;
    std::string parents;
    while (iterator.next(entry))
        parents += fs::u8path(entry.path).parent_path().filename().string();
    EXPECT_TRUE(parents == "xxyy" || parents == "yyxx") << parents;
}

TEST(DirectoryIterator, MissingFolderListsNothing) {
    TempTree tree;
    DirectoryFilter filter;
    filter.recursive = true;
    EXPECT_TRUE(walk(tree.root() + "/missing", filter).empty());
}

}  // namespace
}  // namespace pellanor::platform
