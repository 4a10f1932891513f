// The network facts and the device facts, on whichever backend is built: the texts they share,
// and answers that hold on any machine (Windows under Wine included).
#include <gtest/gtest.h>

#include <regex>

#include "platform/drives.h"
#include "platform/network.h"
#include "platform/physical_disks.h"

namespace {

using namespace pellanor::platform;

TEST(HardwareAddressText, WritesUpperCasePairsJoinedByColons) {
    const unsigned char mac[] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe};
    EXPECT_EQ(hardwareAddressText(mac, 6), "00:1A:2B:3C:4D:FE");
    EXPECT_EQ(hardwareAddressText(mac, 0), "");
}

TEST(BoardSerial, IsTheFirstValueUnderTheHeader) {
    const struct {
        const char* answer;
        const char* serial;
    } cases[] = {
        {"SerialNumber  \r\r\nPF2ABCDE  \r\r\n\r\r\n", "PF2ABCDE"},
        {"\n\nSerialNumber\n\n   \n To be filled by O.E.M. \n", "To be filled by O.E.M."},
        {"SerialNumber\nfirst\nsecond\n", "first"},
        {"Node,SerialNumber\nX,1\n", ""},  // another layout: no header line of its own
        {"SerialNumber\r\n\r\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(parseBoardSerial(c.answer), c.serial) << c.answer;
}

// Whatever the machine: a well-formed address or none, a drive's serial never padded, and the
// two connectivity questions answered without failing.
TEST(MachineFacts, AreWellFormedOrEmpty) {
    const std::string address = firstAdapterAddress();
    if (!address.empty()) {
        EXPECT_TRUE(std::regex_match(address, std::regex("([0-9A-F]{2}:)*[0-9A-F]{2}"))) << address;
    }
    EXPECT_EQ(driveDiskSerial("not a drive"), "");
    const std::string serial = driveDiskSerial("C:");
    EXPECT_TRUE(serial.empty() || (serial.front() != ' ' && serial.back() != ' ')) << serial;
    hasDefaultRoute();
    isConnectedToInternet();
}

}  // namespace
