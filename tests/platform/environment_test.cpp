// Runs against both backends: the POSIX stand-in must expand as the Windows call does.
#include "platform/environment.h"

#include <gtest/gtest.h>

#include "tests/platform/scoped_environment.h"

namespace pellanor::platform {
namespace {

std::string repeat(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(ExpandEnvironmentStrings, ReplacesDefinedReferencesAndKeepsTheRest) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_TEST_A", "alpha");
    env.unset("PELLANOR_TEST_UNSET");

    EXPECT_EQ(expandEnvironmentStrings("%PELLANOR_TEST_A%\\x\\%PELLANOR_TEST_A%"),
              "alpha\\x\\alpha");
    EXPECT_EQ(expandEnvironmentStrings("%PELLANOR_TEST_UNSET%\\x"), "%PELLANOR_TEST_UNSET%\\x");
    EXPECT_EQ(expandEnvironmentStrings("100% sure"), "100% sure");
    EXPECT_EQ(expandEnvironmentStrings("%%"), "%%");
    EXPECT_EQ(expandEnvironmentStrings("a%PELLANOR_TEST_A"), "a%PELLANOR_TEST_A");
    EXPECT_EQ(expandEnvironmentStrings(""), "");
}

TEST(ExpandEnvironmentStrings, ConsumesTheClosingPercentOfAnUnknownName) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_TEST_A", "alpha");
    env.unset("PELLANOR_TEST_UNSET");

    EXPECT_EQ(expandEnvironmentStrings("%PELLANOR_TEST_UNSET%PELLANOR_TEST_A%"),
              "%PELLANOR_TEST_UNSET%PELLANOR_TEST_A%");
    EXPECT_EQ(expandEnvironmentStrings("%%PELLANOR_TEST_A%"), "%%PELLANOR_TEST_A%");
    EXPECT_EQ(expandEnvironmentStrings("%PELLANOR_TEST_UNSET%%PELLANOR_TEST_A%"),
              "%PELLANOR_TEST_UNSET%alpha");
}

TEST(ExpandEnvironmentStrings, MatchesNamesWithoutRegardToCase) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_TEST_MIXED", "value");

    EXPECT_EQ(expandEnvironmentStrings("%pellanor_test_mixed%"), "value");
    EXPECT_EQ(expandEnvironmentStrings("%Pellanor_Test_Mixed%"), "value");
}

TEST(ExpandEnvironmentStrings, KeepsNonAsciiTextIntact) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_TEST_USER", "Пользователь 日本");

    EXPECT_EQ(expandEnvironmentStrings("C:\\Users\\%PELLANOR_TEST_USER%\\缓存"),
              "C:\\Users\\Пользователь 日本\\缓存");
}

// The result and its terminating zero must fit in 1,040 UTF-16 units, else the input is kept.
TEST(ExpandEnvironmentStrings, ReturnsTheInputWhenTheResultWouldNotFit) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_TEST_FITS", std::string(kExpansionBufferUnits - 1, 'x'));
    env.set("PELLANOR_TEST_LONG", std::string(kExpansionBufferUnits, 'x'));

    EXPECT_EQ(expandEnvironmentStrings("%PELLANOR_TEST_FITS%"),
              std::string(kExpansionBufferUnits - 1, 'x'));
    EXPECT_EQ(expandEnvironmentStrings("%PELLANOR_TEST_LONG%"), "%PELLANOR_TEST_LONG%");
    EXPECT_EQ(expandEnvironmentStrings("y%PELLANOR_TEST_FITS%"), "y%PELLANOR_TEST_FITS%");
}

TEST(ExpandEnvironmentStrings, CountsCharactersBeyondTheBasicPlaneAsTwoUnits) {
    const std::string face = "\xF0\x9F\x98\x80";  // U+1F600: a surrogate pair in UTF-16
    const std::size_t pairsThatFit = (kExpansionBufferUnits - 2) / 2;
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_TEST_FACES", repeat(face, pairsThatFit));

    EXPECT_EQ(expandEnvironmentStrings("%PELLANOR_TEST_FACES%"), repeat(face, pairsThatFit));
    EXPECT_EQ(expandEnvironmentStrings("x%PELLANOR_TEST_FACES%"), "x" + repeat(face, pairsThatFit));
    EXPECT_EQ(expandEnvironmentStrings("xy%PELLANOR_TEST_FACES%"), "xy%PELLANOR_TEST_FACES%");
}

TEST(EnvironmentVariable, TellsUnsetFromEmptyAndFollowsChanges) {
    test_support::ScopedEnvironment env;
    env.unset("PELLANOR_TEST_VAR");
    EXPECT_EQ(environmentVariable("PELLANOR_TEST_VAR"), std::nullopt);

    env.set("PELLANOR_TEST_VAR", "");
    EXPECT_EQ(environmentVariable("PELLANOR_TEST_VAR"), std::string());

    env.set("PELLANOR_TEST_VAR", std::string(300, 'v'));
    EXPECT_EQ(environmentVariable("PELLANOR_TEST_VAR"), std::string(300, 'v'));

    EXPECT_TRUE(unsetEnvironmentVariable("PELLANOR_TEST_VAR"));
    EXPECT_EQ(environmentVariable("PELLANOR_TEST_VAR"), std::nullopt);
}

}  // namespace
}  // namespace pellanor::platform
