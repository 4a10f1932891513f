// Devices open like files on Windows; reading them could wait for ever.
#include <gtest/gtest.h>

#include "platform/file_reader.h"

namespace pellanor::platform {
namespace {

TEST(FileReader, RefusesDevicesThatAreNoFilesOnADisk) {
    FileReader reader;
    EXPECT_FALSE(reader.open("NUL"));
    EXPECT_FALSE(reader.open("CONIN$"));
    char buffer[16];
    EXPECT_EQ(reader.read(buffer, sizeof buffer), -1);
}

}  // namespace
}  // namespace pellanor::platform
