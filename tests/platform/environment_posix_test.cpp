// The stand-in's defaults for the Windows variables that Linux does not define.
#include "platform/environment.h"

#include <gtest/gtest.h>

#include "tests/platform/scoped_environment.h"

namespace pellanor::platform {
namespace {

TEST(PosixEnvironmentDefaults, FollowTheXdgFoldersAndHome) {
    test_support::ScopedEnvironment env;
    for (const char* name : {"LOCALAPPDATA", "APPDATA", "USERPROFILE", "TEMP", "TMP"}) {
        env.unset(name);
    }
    env.set("HOME", "/home/u");
    env.set("XDG_DATA_HOME", "/xdg/data");
    env.unset("XDG_CONFIG_HOME");
    env.set("TMPDIR", "/scratch");

    EXPECT_EQ(expandEnvironmentStrings("%LOCALAPPDATA%\\Google"), "/xdg/data\\Google");
    EXPECT_EQ(expandEnvironmentStrings("%APPDATA%"), "/home/u/.config");
    EXPECT_EQ(expandEnvironmentStrings("%USERPROFILE%"), "/home/u");
    EXPECT_EQ(expandEnvironmentStrings("%TEMP%|%tmp%"), "/scratch|/scratch");
    EXPECT_EQ(expandEnvironmentStrings("%ProgramData%|%PROGRAMFILES%"), "/var/lib|/opt");

    env.unset("TMPDIR");
    EXPECT_EQ(expandEnvironmentStrings("%TEMP%"), "/tmp");
}

TEST(PosixEnvironmentDefaults, GiveWayToTheEnvironment) {
    test_support::ScopedEnvironment env;
    env.set("TEMP", "/mine");
    env.set("APPDATA", "/roaming");
    EXPECT_EQ(expandEnvironmentStrings("%TEMP%\\%APPDATA%"), "/mine\\/roaming");

    env.set("temp", "/lower");
    EXPECT_EQ(expandEnvironmentStrings("%TEMP%|%temp%|%Temp%"), "/mine|/lower|/mine");
}

TEST(PosixEnvironmentDefaults, LeaveAVariableUndefinedWhenNoDefaultCanBeFormed) {
    test_support::ScopedEnvironment env;
    env.unset("USERPROFILE");
    env.unset("HOME");
    EXPECT_EQ(expandEnvironmentStrings("%USERPROFILE%"), "%USERPROFILE%");
}

TEST(PosixEnvironmentDefaults, NameTheComputerInUpperCase) {
    test_support::ScopedEnvironment env;
    env.unset("COMPUTERNAME");
    const std::string name = expandEnvironmentStrings("%COMPUTERNAME%");
    ASSERT_NE(name, "%COMPUTERNAME%");
    for (char c : name) EXPECT_FALSE(c >= 'a' && c <= 'z') << name;
}

}  // namespace
}  // namespace pellanor::platform
