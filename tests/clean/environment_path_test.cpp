#include "clean/environment_path.h"

#include <gtest/gtest.h>

#include "tests/platform/scoped_environment.h"

namespace pellanor {
namespace {

TEST(ExpandEnvironmentPath, CarriesNonAsciiTextThroughBothConversions) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_TEST_PROFILE", "C:\\Users\\Zoë");
    env.unset("PELLANOR_TEST_UNSET");

    EXPECT_EQ(expandEnvironmentPath(QStringLiteral("%PELLANOR_TEST_PROFILE%\\缩略图")),
              QStringLiteral("C:\\Users\\Zoë\\缩略图"));
    EXPECT_EQ(expandEnvironmentPath(QStringLiteral("%PELLANOR_TEST_UNSET%\\x")),
              QStringLiteral("%PELLANOR_TEST_UNSET%\\x"));
}

}  // namespace
}  // namespace pellanor
