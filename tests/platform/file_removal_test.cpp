// One file removed or moved at a time, with the reason for each failure, on both backends.
#include "platform/file_removal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FileRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.valid());
        m_sentinel = m_temp.path() / "sentinel.txt";
        write(m_sentinel, "stays");
        m_root = m_temp.path() / "root";
        write(m_root / "file.txt", "doomed");
        write(m_root / "target" / "taken.txt", "already there");
    }
    void TearDown() override { EXPECT_EQ(read(m_sentinel), "stays"); }

    std::string at(const char* name) const { return (m_root / name).string(); }

    test_support::ScopedTempFolder m_temp;
    fs::path m_root;
    fs::path m_sentinel;
};

TEST_F(FileRemoval, RemovesAFileAndNamesWhyItCouldNot) {
    FileRemover remover;
    EXPECT_EQ(remover.remove(at("missing.txt")).failure, RemovalFailure::NotFound);
    EXPECT_EQ(remover.remove(at("missing/inside.txt")).failure, RemovalFailure::NotFound);
    EXPECT_EQ(remover.remove(at("target")).failure, RemovalFailure::AccessDenied);
    EXPECT_TRUE(fs::is_directory(m_root / "target"));
    EXPECT_TRUE(remover.remove(at("file.txt")).ok());
    EXPECT_FALSE(fs::exists(m_root / "file.txt"));
}

// Windows refuses to delete a file another handle holds without delete sharing; the POSIX
// stand-in refuses a file a process holds open, this one included.
TEST_F(FileRemoval, RefusesAFileInUse) {
    write(m_root / "held.txt", "held");
    std::ifstream held(m_root / "held.txt");
    ASSERT_TRUE(held.is_open());
    FileRemover remover;
    EXPECT_EQ(remover.remove(at("held.txt")).failure, RemovalFailure::InUse);
    EXPECT_EQ(read(m_root / "held.txt"), "held");
}

TEST_F(FileRemoval, MovesWithoutReplacingWhatIsThere) {
    FileRemover remover;
    write(m_root / "taken.txt", "mine");
    EXPECT_EQ(remover.move(at("taken.txt"), at("target/taken.txt")).failure,
              RemovalFailure::Exists);
    EXPECT_EQ(read(m_root / "target" / "taken.txt"), "already there");
    EXPECT_EQ(read(m_root / "taken.txt"), "mine");
    EXPECT_TRUE(remover.move(at("file.txt"), at("target/file.txt")).ok());
    EXPECT_EQ(read(m_root / "target" / "file.txt"), "doomed");
    EXPECT_FALSE(fs::exists(m_root / "file.txt"));
    EXPECT_EQ(remover.move(at("file.txt"), at("target/again.txt")).failure,
              RemovalFailure::NotFound);
}

}  // namespace
}  // namespace pellanor::platform
