// What the installed-program list asks of the system beyond the registry: the installer's
// record of a product and the shell's start of an uninstaller. Runs natively and under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/executable.h"
#include "platform/installer.h"
#include "platform/shell_execute.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedTempFolder;

TEST(InstallerProducts, AnUnknownOrMalformedCodeHasNoIcon) {
    const struct {
        const char* code;
        installer::Status status;  // 0: any failure will do
    } cases[] = {
        {"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", installer::kUnknownProduct},
        {"not a product code", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        installer::Status status = installer::kSuccess;
        EXPECT_EQ(installer::productIcon(c.code, &status), "");
        if (c.status != 0) {
            EXPECT_EQ(status, c.status);
        } else {
            EXPECT_NE(status, installer::kSuccess);
        }
    }
}

// The helper program beside this test, copied into a folder whose name has a blank.
fs::path placeChild(const fs::path& folder) {
    const fs::path built = fs::u8path(executablePath()).parent_path();
    for (const char* name : {"shell_child.exe", "shell_child"}) {
        if (!fs::exists(built / name)) continue;
        fs::create_directories(folder);
        fs::copy_file(built / name, folder / name, fs::copy_options::overwrite_existing);
        return folder / name;
    }
    return {};
}

// The helper's report, awaited: a first start under Wine can take a while.
std::vector<std::string> awaitReport(const fs::path& folder) {
    const fs::path report = folder / "launched.txt";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(report) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream file(report, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

TEST(ShellExecute, StartsTheProgramWithItsParametersSplitAsWindowsSplitsThem) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const fs::path program = placeChild(temp.path() / "Uninstall Folder");
    ASSERT_FALSE(program.empty());
    const fs::path current = temp.path() / "current";
    fs::create_directories(current);
    const fs::path previous = fs::current_path();
    fs::current_path(current);
    const bool started = shellExecute(program.u8string(), "/S \"two words\" C:\\x\\");
    fs::current_path(previous);
    ASSERT_TRUE(started);

    const std::vector<std::string> report = awaitReport(current);
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[1], "/S");
    EXPECT_EQ(report[2], "two words");
    EXPECT_EQ(report[3], "C:\\x\\");
}

TEST(ShellExecute, RefusesAMissingProgram) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    EXPECT_FALSE(shellExecute((temp.path() / "missing.exe").u8string(), "/S"));
}

}  // namespace
}  // namespace pellanor::platform
