// The Windows side of the shell where it differs by design: the ANSI code-page round trip.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/shell.h"

namespace pellanor::platform {
namespace {

TEST(ThroughAnsiCodePage, KeepsWhatTheCodePageHoldsAndLosesTheRest) {
    EXPECT_EQ(throughAnsiCodePage("C:\\Users\\Public\\Desktop"), "C:\\Users\\Public\\Desktop");
    EXPECT_EQ(throughAnsiCodePage(""), "");
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    EXPECT_EQ(throughAnsiCodePage("Zo\xC3\xAB"), "Zo\xC3\xAB");
    EXPECT_EQ(throughAnsiCodePage("a\xE7\xBC\xA9z"), "a?z");
}

}  // namespace
}  // namespace pellanor::platform
