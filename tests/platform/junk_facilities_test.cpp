// The platform facilities behind junk cleaning, against both backends.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/cleanup_handler.h"
#include "platform/drives.h"
#include "platform/file_identity.h"
#include "platform/file_size.h"
#include "platform/forced_delete.h"
#include "platform/privileges.h"
#include "platform/processes.h"
#include "tests/platform/workspace.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

using test_support::Workspace;

TEST(ForceDeleteTree, RemovesReadOnlyEntriesAtEveryDepth) {
    Workspace space;
    space.write("tree/a.txt", 1);
    space.write("tree/sub/deeper/b.txt", 1);
    space.write("tree/sub/.c.txt", 1);
    fs::permissions(space.path("tree/a.txt"), fs::perms::owner_read);
    fs::permissions(space.path("tree/sub/deeper/b.txt"), fs::perms::owner_read);

    EXPECT_TRUE(forceDeleteTree(space.text("tree")));
    EXPECT_FALSE(space.exists("tree"));
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(ForceDeleteTree, DeletesLinksInsideAsLinksAndLeavesTheirTargets) {
    Workspace space;
    space.write("tree/a.txt", 1);
    std::error_code error;
    fs::create_directory_symlink(space.path("sentinel"), space.path("tree/to-folder"), error);
    if (error) GTEST_SKIP() << "this system cannot create folder links: " << error.message();
    fs::create_symlink(space.path("sentinel/keep.txt"), space.path("tree/to-file"), error);

    EXPECT_TRUE(forceDeleteTree(space.text("tree")));
    EXPECT_FALSE(space.exists("tree"));
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(ForceDeleteTree, DeletesALinkGivenAsTheRootButNotItsTarget) {
    Workspace space;
    std::error_code error;
    fs::create_directory_symlink(space.path("sentinel"), space.path("tree/link"), error);
    if (error) GTEST_SKIP() << "this system cannot create folder links: " << error.message();

    EXPECT_TRUE(forceDeleteTree(space.text("tree/link") + "/"));
    EXPECT_FALSE(space.exists("tree/link"));
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(DeleteEntry, TreatsAMissingEntryAsDeletedAndRefusesAFullFolder) {
    Workspace space;
    space.write("tree/full/x", 1);
    space.write("tree/file", 1);
    fs::permissions(space.path("tree/file"), fs::perms::owner_read);
    EXPECT_TRUE(deleteEntry(space.text("tree/missing")));
    EXPECT_TRUE(forceDeleteTree(space.text("tree/missing")));
    EXPECT_FALSE(deleteEntry(space.text("tree/full")));
    EXPECT_TRUE(space.exists("tree/full/x"));
    EXPECT_TRUE(deleteEntry(space.text("tree/file")));
    EXPECT_FALSE(space.exists("tree/file"));
}

TEST(ToLongPath, PrefixesLocalAndNetworkPathsOnce) {
    EXPECT_EQ(toLongPath(""), "");
    EXPECT_EQ(toLongPath("C:\\Windows.old"), "\\\\?\\C:\\Windows.old");
    EXPECT_EQ(toLongPath("\\\\?\\C:\\x"), "\\\\?\\C:\\x");
    EXPECT_EQ(toLongPath("\\\\server\\share\\x"), "\\\\?\\UNC\\server\\share\\x");
}

TEST(FileIdentity, IsSharedByHardLinksOnly) {
    Workspace space;
    space.write("tree/a", 1);
    space.write("tree/b", 1);
    std::error_code error;
    fs::create_hard_link(space.path("tree/a"), space.path("tree/a-link"), error);
    if (error) GTEST_SKIP() << "this system cannot create hard links: " << error.message();

    const auto a = fileIdentity(space.text("tree/a"));
    const auto link = fileIdentity(space.text("tree/a-link"));
    const auto b = fileIdentity(space.text("tree/b"));
    ASSERT_TRUE(a && link && b);
    EXPECT_EQ(a->volumeSerial, link->volumeSerial);
    EXPECT_EQ(a->fileIndex, link->fileIndex);
    EXPECT_NE(a->fileIndex, b->fileIndex);
    EXPECT_FALSE(fileIdentity(space.text("tree/missing")));
}

TEST(SingleFileSize, AnswersForFilesOnly) {
    Workspace space;
    space.write("tree/five", 5);
    EXPECT_EQ(singleFileSize(space.text("tree/five")), 5);
    EXPECT_EQ(singleFileSize(space.text("tree")), 0);
    EXPECT_EQ(singleFileSize(space.text("tree/missing")), 0);
}

TEST(ProcessSnapshot, HoldsThisProcessAsLive) {
    // Where this process stands differs: Windows and the POSIX stand-in open with the idle
    // process, Wine lists real processes only.
    const auto snapshot = processSnapshot();
    ASSERT_TRUE(snapshot);
    ASSERT_GE(snapshot->size(), 2u);
    bool found = false;
    for (const ProcessEntry& entry : *snapshot) found = found || entry.pid == currentProcessId();
    EXPECT_TRUE(found);

    ProcessHandle self = openProcess(currentProcessId());
    ASSERT_TRUE(self.valid());
    EXPECT_NE(self.value(), 0u);
    EXPECT_EQ(self.exitCode(), kStillActive);
    ProcessHandle moved = std::move(self);
    EXPECT_FALSE(self.valid());
    EXPECT_TRUE(moved.valid());
    moved.close();
    EXPECT_FALSE(moved.exitCode());
}

TEST(DriveType, KnowsMissingDrivesAndTheSystemDrive) {
    EXPECT_EQ(driveType("Q:\\"), DriveType::NoRootDirectory);
    EXPECT_EQ(driveType("C:\\"), DriveType::Fixed);
}

TEST(Privileges, RefusesAnUnknownPrivilege) {
    EXPECT_FALSE(enablePrivilege("SeNoSuchPrivilegeForPellanor"));
}

TEST(CleanupHandler, IsAbsentHereSoThePurgeReportsFailure) {
    // Neither Linux nor Wine ships the previous-installation handler.
    EXPECT_FALSE(purgePreviousInstallations());
}

}  // namespace
}  // namespace pellanor::platform
