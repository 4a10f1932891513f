// File identity and facts against both backends: hard links share one identity and count each
// other; links, folders and missing paths are told apart from files.
#include "platform/file_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unordered_set>

#include "platform/directory_iterator.h"
#include "tests/platform/workspace.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::Workspace;

TEST(FileFacts, DescribesTheEntryItselfWithoutFollowingAFinalLink) {
    Workspace space;
    space.write("tree/a", 7);
    space.write("tree/b", 7);
    std::error_code error;
    fs::create_hard_link(space.path("tree/a"), space.path("tree/a-hard"), error);
    if (error) GTEST_SKIP() << "this system cannot create hard links: " << error.message();
    fs::create_symlink(space.path("tree/a"), space.path("tree/a-soft"), error);
    const bool haveSymlink = !error;

    const auto a = fileFacts(space.text("tree/a"));
    ASSERT_TRUE(a);
    struct Case {
        const char* path;
        bool exists;
        bool isFile;
        std::uint32_t links;
        std::int64_t size;
        bool sameFileAsA;
    };
    const Case cases[] = {
        {"tree/a", true, true, 2, 7, true},          {"tree/a-hard", true, true, 2, 7, true},
        {"tree/b", true, true, 1, 7, false},         {"tree", true, false, 0, 0, false},
        {"tree/missing", false, false, 0, 0, false},
    };
    for (const Case& c : cases) {
        const auto facts = fileFacts(space.text(c.path));
        ASSERT_EQ(facts.has_value(), c.exists) << c.path;
        if (!facts) continue;
        EXPECT_EQ(facts->isFile, c.isFile) << c.path;
        EXPECT_EQ(facts->size, c.size) << c.path;
        if (c.isFile) {
            EXPECT_EQ(facts->linkCount, c.links) << c.path;
        }
        EXPECT_EQ(facts->identity == a->identity, c.sameFileAsA) << c.path;
        EXPECT_EQ(facts->identity != a->identity, !c.sameFileAsA) << c.path;
    }
    if (haveSymlink) {
        const auto link = fileFacts(space.text("tree/a-soft"));
        ASSERT_TRUE(link);
        EXPECT_FALSE(link->isFile);
        EXPECT_NE(link->identity, a->identity);
        EXPECT_EQ(link->size, 0);
        // The identity query, unlike the facts, answers for the file the link leads to.
        EXPECT_EQ(fileIdentity(space.text("tree/a-soft")), a->identity);
    }

    fs::remove(space.path("tree/a-hard"));
    const auto alone = fileFacts(space.text("tree/a"));
    ASSERT_TRUE(alone);
    EXPECT_EQ(alone->linkCount, 1u);
    EXPECT_EQ(alone->identity, a->identity);
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(FileFacts, AgreesWithTheWalkAndKeysOneFileOnce) {
    Workspace space;
    space.write("tree/a", 3);
    space.write("tree/sub/b", 5);
    std::error_code error;
    fs::create_hard_link(space.path("tree/a"), space.path("tree/sub/a-again"), error);
    if (error) GTEST_SKIP() << "this system cannot create hard links: " << error.message();

    DirectoryFilter filter;
    filter.recursive = true;
    DirectoryIterator iterator(space.text("tree"), filter);
    DirectoryEntry entry;
    std::unordered_set<FileIdentity> files;
    int listed = 0;
    while (iterator.next(entry)) {
        ++listed;
        const auto facts = fileFacts(entry.path);
        ASSERT_TRUE(facts) << entry.path;
        EXPECT_EQ(facts->size, entry.size) << entry.path;
        EXPECT_EQ(facts->modifiedMsecs, entry.modifiedMsecs) << entry.path;
        // Where the walk knows them, they are the same as the query's.
        if (entry.identity) {
            EXPECT_EQ(*entry.identity, facts->identity) << entry.path;
            EXPECT_EQ(entry.linkCount, facts->linkCount) << entry.path;
        }
        files.insert(facts->identity);
    }
    EXPECT_EQ(listed, 3);
    EXPECT_EQ(files.size(), 2u);
}

}  // namespace
}  // namespace pellanor::platform
