// Link-safe tree removal against both backends. Under Wine the standard library cannot make a
// link that shows, so the link cases skip there and tree_removal_win32_test.cpp covers them
// with links made on the Linux side.
#include "platform/tree_removal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/workspace.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

using test_support::Workspace;

// A link at `at` to the sentinel folder; false when this system makes no link that shows.
bool linkToSentinel(const Workspace& space, const std::string& at) {
    std::error_code error;
    fs::create_directories(space.path(at).parent_path(), error);
    fs::create_directory_symlink(space.path("sentinel"), space.path(at), error);
    return !error && fs::is_symlink(fs::symlink_status(space.path(at)));
}

void expectSentinelIntact(const Workspace& space) {
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
    EXPECT_EQ(fs::file_size(space.path("sentinel/keep.txt")), 4u);
}

TEST(RemoveTree, RemovesEveryDepthWithHiddenAndReadOnlyEntries) {
    Workspace space;
    space.write("tree/a.txt", 1);
    space.write("tree/sub/deeper/b.txt", 1);
    space.write("tree/.hidden/c.txt", 1);
    fs::permissions(space.path("tree/a.txt"), fs::perms::owner_read);
    fs::permissions(space.path("tree/sub/deeper/b.txt"), fs::perms::owner_read);
    fs::permissions(space.path("tree/sub/deeper"), fs::perms::owner_read | fs::perms::owner_exec);

    const RemovalReport report = removeTree(space.text("tree"));
    EXPECT_TRUE(report.complete()) << report.leftCount;
    EXPECT_FALSE(space.exists("tree"));
    expectSentinelIntact(space);
}

TEST(RemoveTree, RemovesPathsLongerThanTheOldWindowsLimit) {
    Workspace space;
    std::string deep = "tree";
    for (int level = 0; level < 6; ++level) deep += "/" + std::string(60, 'a' + level);
    std::error_code error;
    // The standard library on Windows has no "\\?\" form of its own.
    fs::create_directories(space.path(deep), error);
    if (error) GTEST_SKIP() << "the standard library cannot make a path this long here";
    space.write(deep + "/file.txt", 1);
    ASSERT_GT(space.text(deep + "/file.txt").size(), 360u);

    EXPECT_TRUE(removeTree(space.text("tree")).complete());
    EXPECT_FALSE(space.exists("tree"));
    expectSentinelIntact(space);
}

TEST(RemoveTree, RemovesLinksAsThemselvesWhereverTheyStand) {
    struct Case {
        const char* link;     // made inside the workspace, to the sentinel folder
        const char* removed;  // the path handed to removeTree
        const char* gone;     // what must be gone afterwards
    };
    const Case cases[] = {
        {"tree/sub/link", "tree", "tree"},
        {"tree/link", "tree/link", "tree/link"},
        {"tree/link", "tree/link/", "tree/link"},
    };
    for (const Case& c : cases) {
        Workspace space;
        if (!linkToSentinel(space, c.link)) GTEST_SKIP() << "this system makes no visible links";
        space.write("tree/file.txt", 1);
        EXPECT_TRUE(leadsElsewhere(space.text(c.link)));
        EXPECT_FALSE(leadsElsewhere(space.text("tree")));
        EXPECT_FALSE(leadsElsewhere(space.text("tree/file.txt")));

        EXPECT_TRUE(removeTree(space.text(c.removed)).complete()) << c.removed;
        EXPECT_FALSE(space.exists(c.gone)) << c.removed;
        expectSentinelIntact(space);
    }
}

TEST(RemoveTree, RefusesEmptyAndDotPathsAndCallsAMissingOneComplete) {
    Workspace space;
    space.write("tree/file.txt", 1);
    for (const std::string& path : {std::string(), space.text("tree/."), space.text("tree/..")}) {
        const RemovalReport report = removeTree(path);
        EXPECT_EQ(report.leftCount, 1) << path;
        EXPECT_EQ(report.firstLeft, std::vector<std::string>{path});
    }
    EXPECT_TRUE(space.exists("tree/file.txt"));
    expectSentinelIntact(space);
    EXPECT_TRUE(removeTree(space.text("tree/missing")).complete());
    EXPECT_TRUE(removeTree(space.text("missing/deeper")).complete());
}

TEST(RemoveTree, LeavesAPlainFileAloneOnlyWhenAskedForFolders) {
    Workspace space;
    space.write("tree/file.txt", 1);
    RemovalOptions foldersOnly;
    foldersOnly.foldersOnly = true;
    EXPECT_TRUE(removeTree(space.text("tree/file.txt"), foldersOnly).complete());
    EXPECT_TRUE(space.exists("tree/file.txt"));
    EXPECT_TRUE(removeTree(space.text("tree/file.txt")).complete());
    EXPECT_FALSE(space.exists("tree/file.txt"));
}

int filesUnder(const Workspace& space, const std::string& relative) {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(space.path(relative))) {
        if (entry.is_regular_file()) ++count;
    }
    return count;
}

// The fifth question stops the walk: at most four entries went, and the rest stays unreported.
TEST(TreeRemoval, StopsWhereTheStopPredicateFirstAnswersTrue) {
    using Remove = RemovalReport (*)(const std::string&, const RemovalOptions&);
    for (const Remove remove : {Remove{removeTree}, Remove{clearFolder}}) {
        Workspace space;
        for (int i = 0; i < 30; ++i) space.write("tree/f" + std::to_string(i), 1);
        for (int i = 0; i < 10; ++i) space.write("tree/sub/g" + std::to_string(i), 1);
        int asked = 0;
        RemovalOptions options;
        options.stop = [&asked] { return ++asked >= 5; };

        const RemovalReport report = remove(space.text("tree"), options);
        EXPECT_TRUE(report.stopped);
        EXPECT_FALSE(report.complete());
        EXPECT_EQ(report.leftCount, 0);
        EXPECT_EQ(asked, 5);  // not asked again once it said stop
        ASSERT_TRUE(space.exists("tree"));
        EXPECT_GE(filesUnder(space, "tree"), 36);
        EXPECT_LT(filesUnder(space, "tree"), 40);
        expectSentinelIntact(space);
    }
}

TEST(ClearFolder, KeepsTheFolderAndItsOwnHiddenEntriesOnlyWhenAsked) {
    for (const bool keepHidden : {true, false}) {
        Workspace space;
        space.write("tree/plain.txt", 1);
        space.write("tree/.hidden.txt", 1);
        space.write("tree/sub/.hidden-below.txt", 1);
        test_support::makeHidden(space.path("tree/.hidden.txt"));
        test_support::makeHidden(space.path("tree/sub/.hidden-below.txt"));
        RemovalOptions options;
        options.keepHiddenEntries = keepHidden;

        EXPECT_TRUE(clearFolder(space.text("tree"), options).complete());
        EXPECT_TRUE(space.exists("tree"));
        EXPECT_FALSE(space.exists("tree/plain.txt"));
        EXPECT_FALSE(space.exists("tree/sub"));
        EXPECT_EQ(space.exists("tree/.hidden.txt"), keepHidden);
    }
}

TEST(ClearFolder, NeverEntersALinkGivenAsTheFolderOrMetInsideIt) {
    Workspace space;
    if (!linkToSentinel(space, "tree/link")) GTEST_SKIP() << "this system makes no visible links";

    const RemovalReport root = clearFolder(space.text("tree/link"));
    EXPECT_EQ(root.leftCount, 1);
    expectSentinelIntact(space);
    EXPECT_TRUE(clearFolder(space.text("tree")).complete());
    EXPECT_FALSE(space.exists("tree/link"));
    expectSentinelIntact(space);
    EXPECT_TRUE(clearFolder(space.text("missing")).complete());
}

// Windows refuses to delete a file another handle holds without delete sharing; the POSIX
// stand-in spares a file a process holds open when it lies in a shared folder.
TEST(ClearFolder, ReportsEntriesInUseCountingAllAndListingTheFirstFew) {
    Workspace space;
    space.write("tree/free.txt", 1);
    std::vector<std::unique_ptr<std::ifstream>> held;
    for (int i = 0; i < 7; ++i) {
        const std::string name = "tree/held-" + std::to_string(i) + ".txt";
        space.write(name, 1);
        held.push_back(std::make_unique<std::ifstream>(space.path(name)));
        ASSERT_TRUE(held.back()->is_open());
    }
    fs::permissions(space.path("tree"), fs::perms::all | fs::perms::sticky_bit);

    const RemovalReport report = clearFolder(space.text("tree"));
    EXPECT_EQ(report.leftCount, 7);
    ASSERT_EQ(report.firstLeft.size(), RemovalReport::kListedPaths);
    for (const std::string& path : report.firstLeft) {
        EXPECT_NE(path.find("held-"), std::string::npos) << path;
    }
    EXPECT_FALSE(space.exists("tree/free.txt"));
    EXPECT_TRUE(space.exists("tree/held-6.txt"));
}

}  // namespace
}  // namespace pellanor::platform
