// The self-delete script's private folder and the system tools' command lines, on both backends.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/processes.h"
#include "platform/self_delete.h"
#include "platform/system_tools.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedTempFolder;

std::string textOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

TEST(WriteSelfDeleteScript, MakesAFreshFolderForEachScriptAndNothingElse) {
    ScopedTempFolder temp;
    const std::uint32_t pid = currentProcessId();
    const std::string parent = temp.path().u8string();

    const fs::path first = fs::u8path(writeSelfDeleteScript(parent, pid));
    const fs::path second = fs::u8path(writeSelfDeleteScript(parent, pid));
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first.parent_path(), second.parent_path());
    for (const fs::path& script : {first, second}) {
        EXPECT_EQ(fs::canonical(script.parent_path().parent_path()), fs::canonical(temp.path()));
        EXPECT_EQ(script.filename().u8string(), selfDeleteScriptFileName(pid));
        EXPECT_EQ(textOf(script), selfDeleteScriptText(pid));
        EXPECT_EQ(
            std::distance(fs::directory_iterator(script.parent_path()), fs::directory_iterator()),
            1);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 2);
}

TEST(WriteSelfDeleteScript, FailsWithoutItsParentFolderAndMakesNothing) {
    ScopedTempFolder temp;
    EXPECT_EQ(writeSelfDeleteScript((temp.path() / "missing").u8string(), 1), "");
    EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST(SystemToolCommandLine, RefusesWhatIsNoBareToolName) {
    for (const char* line : {"", " /c x", "\"cmd.exe\" /c x", "tools/cmd.exe /c x"}) {
        EXPECT_EQ(systemToolCommandLine(line), "") << line;
    }
}

}  // namespace
}  // namespace pellanor::platform
