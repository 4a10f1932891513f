// Windows listing rules: the hidden attribute hides; shortcut files count as links.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/directory_iterator.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path) { std::ofstream(path, std::ios::binary) << "data"; }

void hide(const fs::path& path) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
}

std::set<std::string> names(const std::string& root, const DirectoryFilter& filter) {
    std::set<std::string> out;
    DirectoryIterator iterator(root, filter);
    DirectoryEntry entry;
    while (iterator.next(entry)) out.insert(entry.name);
    return out;
}

TEST(DirectoryIteratorOnWindows, HidesByAttributeAndSkipsShortcuts) {
    const fs::path root =
        fs::temp_directory_path() / ("pellanor-walk-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root / "secret");
    writeFile(root / "plain.bin");
    writeFile(root / "hidden.bin");
    writeFile(root / "secret" / "inside.bin");
    writeFile(root / "shortcut.lnk");
    hide(root / "hidden.bin");
    hide(root / "secret");
    DirectoryFilter visible;
    visible.recursive = true;
    DirectoryFilter all = visible;
    all.hidden = true;

    // Backslashes in the folder come back as slashes.
    const std::string folder = root.string();
    EXPECT_EQ(names(folder, visible), (std::set<std::string>{"plain.bin"}));
    EXPECT_EQ(names(folder, all), (std::set<std::string>{"plain.bin", "hidden.bin", "inside.bin"}));
    {
        DirectoryIterator iterator(folder, visible);
        DirectoryEntry entry;
        EXPECT_TRUE(iterator.next(entry));
        EXPECT_EQ(entry.path.find('\\'), std::string::npos) << entry.path;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

}  // namespace
}  // namespace pellanor::platform
