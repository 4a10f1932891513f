// The self-delete script given a removal list, run as the system runs it (sh, or cmd.exe under
// Wine) on a waited-for process that has already ended.
#include "platform/self_delete.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

// Text mode, as the program writes the script: line feeds become CR LF on Windows.
void write(const fs::path& path, const std::string& text,
           std::ios::openmode mode = std::ios::binary) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::out | mode) << text;
}

// The script's command line: its interpreter, the ended process, the folder, the list.
int runScript(const fs::path& script, const fs::path& folder, const fs::path& list) {
#ifdef _WIN32
    // system() hands the text to "cmd.exe /c", which strips the outer pair of quotes.
    const std::string command = "\"\"" + script.string() + "\" 999999999 \"" + folder.string() +
                                "\" \"" + list.string() + "\"\"";
#else
    const std::string command = "/bin/sh '" + script.string() + "' 999999999 '" + folder.string() +
                                "' '" + list.string() + "'";
#endif
    return std::system(command.c_str());
}

TEST(SelfDeleteScript, RemovesOnlyWhatItsListNamesAndFoldersOnlyWhenEmpty) {
    test_support::ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    // A name cmd.exe would act on outside quotes: blanks, brackets and an ampersand.
    const fs::path folder = temp.path() / "Program (x86) & Co";
    write(folder / "program.exe", "p");
    write(folder / "pages" / "a.html", "a");
    write(folder / "user.txt", "the user's");
    write(folder / "kept" / "mine.txt", "the user's");
    write(temp.path() / "outside" / "keep.txt", "sentinel");
    const std::vector<std::string> lines = {
        "F " + (folder / "program.exe").string(), "F " + (folder / "pages" / "a.html").string(),
        "F " + (folder / "kept").string(),  // a folder named as a file is not entered
        "F " + (folder / "missing.dll").string(), "D " + (folder / "pages").string(),
        "D " + (folder / "kept").string(),        "D " + folder.string(),
    };
    std::string list;
    for (const std::string& line : lines) list += line + "\n";
    write(temp.path() / "removal.list", list);
    write(temp.path() / selfDeleteScriptFileName(999999999), selfDeleteScriptText(999999999),
          std::ios::out);

    EXPECT_EQ(runScript(temp.path() / selfDeleteScriptFileName(999999999), folder,
                        temp.path() / "removal.list"),
              0);

    EXPECT_FALSE(fs::exists(folder / "program.exe"));
    EXPECT_FALSE(fs::exists(folder / "pages"));
    EXPECT_TRUE(fs::exists(folder / "user.txt"));
    EXPECT_TRUE(fs::exists(folder / "kept" / "mine.txt"));
    EXPECT_TRUE(fs::exists(temp.path() / "outside" / "keep.txt"));
    EXPECT_FALSE(fs::exists(temp.path() / "removal.list"));
    EXPECT_FALSE(fs::exists(temp.path() / selfDeleteScriptFileName(999999999)));
}

}  // namespace
}  // namespace pellanor::platform
