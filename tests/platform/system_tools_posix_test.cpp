// The stand-in's system tools: PATH's absolute folders, never the current folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/self_delete.h"
#include "platform/system_tools.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

void makeFile(const fs::path& file, bool executable) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "#!/bin/sh\n";
    fs::permissions(file, executable ? fs::perms::owner_all : fs::perms::owner_read);
}

// Moves this process into `folder` for one test.
class ScopedCurrentFolder final {
public:
    explicit ScopedCurrentFolder(const fs::path& folder) : m_saved(fs::current_path()) {
        fs::current_path(folder);
    }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;
    ~ScopedCurrentFolder() { fs::current_path(m_saved); }

private:
    fs::path m_saved;
};

TEST(SystemToolPathPosix, TakesTheFirstExecutableInPathsAbsoluteFoldersOnly) {
    test_support::ScopedTempFolder temp;
    const fs::path root = temp.path();
    makeFile(root / "current/wmic", true);
    makeFile(root / "current/bin/wmic", true);
    makeFile(root / "plain/wmic", false);
    fs::create_directories(root / "folder/wmic");
    makeFile(root / "tools dir/wmic", true);
    makeFile(root / "later/wmic", true);
    const ScopedCurrentFolder current(root / "current");
    test_support::ScopedEnvironment environment;
    environment.set("PATH", ":.:bin:" + (root / "plain").string() + ":" +
                                (root / "folder").string() + ":" + (root / "tools dir").string() +
                                ":" + (root / "later").string());

    const std::string found = (root / "tools dir/wmic").string();
    EXPECT_EQ(systemToolPath("wmic"), found);
    EXPECT_EQ(systemToolCommandLine("wmic baseboard get \"Serial Number\""),
              '"' + found + "\" baseboard get \"Serial Number\"");
    EXPECT_EQ(systemToolCommandLine("wmic"), '"' + found + '"');
    for (const char* name : {"", ".", "..", "bin/wmic", "pellanor-no-such-tool"}) {
        EXPECT_EQ(systemToolPath(name), "") << name;
    }
    EXPECT_EQ(systemToolCommandLine("pellanor-no-such-tool /c x"), "");
    environment.set("PATH", ".:bin");
    EXPECT_EQ(systemToolPath("wmic"), "");
}

TEST(WriteSelfDeleteScriptPosix, KeepsTheFolderAndTheScriptToTheUser) {
    test_support::ScopedTempFolder temp;
    const fs::path script = writeSelfDeleteScript(temp.path().string(), 42);
    ASSERT_FALSE(script.empty());
    struct stat folder {};
    ASSERT_EQ(::lstat(script.parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(folder.st_uid, ::geteuid());
    struct stat file {};
    ASSERT_EQ(::lstat(script.c_str(), &file), 0);
    EXPECT_TRUE(S_ISREG(file.st_mode));
    EXPECT_EQ(file.st_mode & 077, 0u);
}

}  // namespace
}  // namespace pellanor::platform
