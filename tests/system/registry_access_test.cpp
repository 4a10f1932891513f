// Registry values as pages address them, read and written the way the settings object on
// Windows reads and writes them, and key trees removed only under a root written in full.
#include <gtest/gtest.h>

#include "system/registry_access.h"
#include "tests/system/registry_fixture.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

using test_support::LogCapture;
namespace reg = platform::registry;

constexpr char kTag[] = "NativeUtil";

TEST(RegistryEntry, AcceptsRootsInFullOrAbbreviatedWithTheirCaseOnly) {
    const struct {
        const char* entry;
        bool valid;
        reg::Root root;
        const char* path;
    } cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Pellanor", true, reg::Root::CurrentUser,
         "Software\\Pellanor"},
        {"\\HKLM\\Software\\", true, reg::Root::LocalMachine, "Software"},
        {"HKCR", true, reg::Root::ClassesRoot, ""},
        {"HKU\\.DEFAULT", true, reg::Root::Users, ".DEFAULT"},
        {"HKEY_CURRENT_CONFIG\\System", true, reg::Root::CurrentConfig, "System"},
        {"hkey_current_user\\Software", false, {}, ""},
        {"HKCUX\\Software", false, {}, ""},
        {"Software\\Pellanor", false, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        const auto entry = parseRegistryEntry(QString::fromUtf8(c.entry));
        ASSERT_EQ(entry.has_value(), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(entry->root, c.root);
        EXPECT_EQ(entry->path, c.path);
    }
}

TEST(RegistryValueKey, SplitsAtSlashesAndNamesTheDefaultValue) {
    const struct {
        const char* key;
        const char* subkey;
        const char* valueName;
    } cases[] = {
        {"//a//b/c/", "a\\b", "c"},
        {"a\\b", "", "a/b"},
        {"group/Default", "group", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const auto key = parseValueKey(QString::fromUtf8(c.key));
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->subkey, QString::fromUtf8(c.subkey));
        EXPECT_EQ(key->valueName, QString::fromUtf8(c.valueName));
    }
    EXPECT_FALSE(parseValueKey(QStringLiteral("//")).has_value());
}

TEST(RegistrySettingsText, ReadsEveryStoredTypeAsTheSettingsObjectDoes) {
    const auto value = [](reg::ValueType type, std::vector<std::uint8_t> data) {
        return reg::Value{"v", type, std::move(data)};
    };
    const struct {
        reg::Value value;
        const char* text;
    } cases[] = {
        {value(reg::ValueType::ExpandString, reg::stringData("%TEMP%\\x")), "%TEMP%\\x"},
        {value(reg::ValueType::String, reg::stringData("@@home")), "@home"},
        {value(reg::ValueType::String, reg::stringData("@String(a)")), "a"},
        {value(reg::ValueType::String, reg::stringData("@Rect(1 2 3 4)")), ""},
        {value(reg::ValueType::MultiString, reg::multiStringData({"a"})), "a"},
        {value(reg::ValueType::MultiString, reg::multiStringData({"a", "b"})), ""},
        {value(reg::ValueType::Binary, {'h', 0, 'i', 0}), "hi"},
        {value(reg::ValueType::Dword, reg::dwordData(0xffffffffu)), "-1"},
        {value(reg::ValueType::Dword, {1, 0}), ""},
        {value(reg::ValueType::Qword, reg::qwordData(1ull << 40)), "1099511627776"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(settingsText(c.value), QString::fromUtf8(c.text));
    }
}

class RegistryValues : public test_support::RegistryTest {};

const QString kEntry = QStringLiteral("HKEY_CURRENT_USER\\Software\\Pellanor\\Settings");
const std::string kPath = "Software\\Pellanor\\Settings";

TEST_F(RegistryValues, StoreUnderSubkeysNamedBySlashesAndReadBack) {
    EXPECT_TRUE(setRegistryString(kEntry, QStringLiteral("window/title"), QStringLiteral("@home")));
    EXPECT_TRUE(setRegistryIntValue(QStringLiteral("HKCU\\Software\\Pellanor\\Settings"),
                                    QStringLiteral("window/width"), -2));

    const reg::Value title = stored(reg::Root::CurrentUser, kPath + "\\window", "title");
    EXPECT_EQ(title.type, reg::ValueType::String);
    EXPECT_EQ(reg::dataText(title.data), "@@home");
    const reg::Value width = stored(reg::Root::CurrentUser, kPath + "\\window", "width");
    EXPECT_EQ(width.type, reg::ValueType::Dword);
    EXPECT_EQ(width.data, reg::dwordData(0xfffffffeu));

    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("window/title")), QStringLiteral("@home"));
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("/window//width/")), QStringLiteral("-2"));
}

TEST_F(RegistryValues, LogsWhatWasReadButNotAMissingValue) {
    putText(reg::Root::CurrentUser, kPath, "lang", "de-de");
    LogCapture log;
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("missing")), QString());
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("lang")), QStringLiteral("de-de"));
    EXPECT_EQ(log.lines(), QStringList{LogCapture::tagged(
                               kTag, QStringLiteral("get registry string value. entry=") + kEntry +
                                         QStringLiteral(" key=lang val=de-de"))});
}

TEST_F(RegistryValues, RemovalTakesTheValueAndTheSubkeyOfThatNameOnly) {
    putText(reg::Root::CurrentUser, kPath, "cache", "1");
    putText(reg::Root::CurrentUser, kPath + "\\cache\\deep", "x", "1");
    putText(reg::Root::CurrentUser, kPath, "keep", "1");

    EXPECT_TRUE(removeRegistry(kEntry, QStringLiteral("cache")));
    EXPECT_EQ(stored(reg::Root::CurrentUser, kPath, "cache").type, reg::ValueType::None);
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, kPath + "\\cache"));
    EXPECT_TRUE(removeRegistry(kEntry, QStringLiteral("cache")));

    // An empty key would take the whole entry with it; an unknown root is no entry at all.
    LogCapture log;
    EXPECT_FALSE(removeRegistry(kEntry, QStringLiteral("/")));
    EXPECT_FALSE(setRegistryString(QStringLiteral("HKCC\\Software"), QStringLiteral("a"),
                                   QStringLiteral("b")));
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("keep")), QStringLiteral("1"));
    EXPECT_TRUE(log.contains(kTag, QStringLiteral("unsupported registry root: HKCC\\Software")));
    EXPECT_TRUE(log.contains(
        kTag, QStringLiteral("registry key is empty. entry=") + kEntry + QStringLiteral(" key=/")));
}

TEST_F(RegistryValues, KeyTreesGoOnlyUnderARootWrittenInFull) {
    const std::string tree = "Software\\Pellanor\\Tree";
    putText(reg::Root::CurrentUser, tree + "\\a\\b", "x", "1");
    putText(reg::Root::LocalMachine, tree + "\\c", "x", "1");
    LogCapture log;

    EXPECT_TRUE(removeRegistryKey(QStringLiteral("hkey_current_user/Software/Pellanor/Tree/a")));
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, tree + "\\a"));
    EXPECT_TRUE(keyExists(reg::Root::CurrentUser, tree));
    EXPECT_FALSE(removeRegistryKey(QStringLiteral("HKLM\\Software\\Pellanor\\Tree\\c")));
    // The bare root never goes.
    EXPECT_FALSE(removeRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE///")));
    EXPECT_TRUE(keyExists(reg::Root::LocalMachine, tree + "\\c"));

    EXPECT_EQ(
        log.lines(),
        (QStringList{LogCapture::tagged(kTag, QStringLiteral("remove registry key "
                                                             "hkey_current_user\\Software\\"
                                                             "Pellanor\\Tree\\a result: true")),
                     LogCapture::tagged(kTag, QStringLiteral("unsupported registry root: "
                                                             "HKLM\\Software\\Pellanor\\Tree\\c")),
                     LogCapture::tagged(kTag, QStringLiteral("remove registry key "
                                                             "HKEY_LOCAL_MACHINE\\\\\\ "
                                                             "result: false"))}));
}

}  // namespace
}  // namespace pellanor::system
