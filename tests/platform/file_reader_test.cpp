#include "platform/file_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/blocking_io.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileReader, ReadsTheWholeFileInChunksThenReportsTheEnd) {
    const fs::path path = fs::temp_directory_path() / "pellanor-reader-test.bin";
    std::string content(10000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    std::ofstream(path, std::ios::binary) << content;

    FileReader reader;
    ASSERT_TRUE(reader.open(path.generic_u8string()));  // "/" separators, as walks report them
    std::string read;
    char buffer[4096];
    std::int64_t count = 0;
    while ((count = reader.read(buffer, sizeof buffer)) > 0) read.append(buffer, count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(read, content);
    fs::remove(path);
}

TEST(FileReader, FailsForMissingFilesAndWhenNothingIsOpen) {
    FileReader reader;
    char buffer[16];
    EXPECT_EQ(reader.read(buffer, sizeof buffer), -1);
    EXPECT_FALSE(reader.open((fs::temp_directory_path() / "pellanor-no-such-file").u8string()));
    EXPECT_EQ(reader.read(buffer, sizeof buffer), -1);
    EXPECT_FALSE(reader.open(fs::temp_directory_path().generic_u8string()));  // a folder
    EXPECT_EQ(reader.read(buffer, sizeof buffer), -1);
}

TEST(BlockingIoCanceller, CancelWithNothingPendingOrAfterRetirementIsHarmless) {
    const auto canceller = BlockingIoCanceller::forCurrentThread();
    ASSERT_NE(canceller, nullptr);
    canceller->cancel();
    canceller->retire();
    canceller->cancel();
}

}  // namespace
}  // namespace pellanor::platform
