// Registry values as pages address them, read and written the way the settings object on
// Windows reads and writes them, and key trees removed only under a root written in full.
#include <gtest/gtest.h>

#include "system/registry_access.h"
#include "tests/system/registry_fixture.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

using test_support::LogCapture;
using test_support::RegistryTest;
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
        {"HKCU\\Software", true, reg::Root::CurrentUser, "Software"},
        {"\\HKLM\\Software\\", true, reg::Root::LocalMachine, "Software"},
        {"HKEY_CLASSES_ROOT\\.txt", true, reg::Root::ClassesRoot, ".txt"},
        {"HKCR", true, reg::Root::ClassesRoot, ""},
        {"HKU\\.DEFAULT", true, reg::Root::Users, ".DEFAULT"},
        {"HKEY_CURRENT_CONFIG\\System", true, reg::Root::CurrentConfig, "System"},
        {"hkey_current_user\\Software", false, {}, ""},
        {"HKCUX\\Software", false, {}, ""},
        {"HKEY_CURRENT_USER/Software", false, {}, ""},
        {"Software\\Pellanor", false, {}, ""},
        {"", false, {}, ""},
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
        const char* keyPath;
    } cases[] = {
        {"lang", "", "lang", "lang"},          {"window/size", "window", "size", "window\\size"},
        {"//a//b/c/", "a\\b", "c", "a\\b\\c"}, {"a\\b", "", "a/b", "a/b"},
        {"Default", "", "", "Default"},        {"group/.", "group", "", "group\\."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const auto key = parseValueKey(QString::fromUtf8(c.key));
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->subkey, QString::fromUtf8(c.subkey));
        EXPECT_EQ(key->valueName, QString::fromUtf8(c.valueName));
        EXPECT_EQ(key->keyPath, QString::fromUtf8(c.keyPath));
    }
    EXPECT_FALSE(parseValueKey(QStringLiteral("//")).has_value());
}

reg::Value valueOf(reg::ValueType type, std::vector<std::uint8_t> data) {
    return reg::Value{"v", type, std::move(data)};
}

TEST(RegistrySettingsText, ReadsEveryStoredTypeAsTheSettingsObjectDoes) {
    const struct {
        const char* what;
        reg::Value value;
        const char* text;
    } cases[] = {
        {"plain", valueOf(reg::ValueType::String, reg::stringData("en-us")), "en-us"},
        {"expand stays", valueOf(reg::ValueType::ExpandString, reg::stringData("%TEMP%\\x")),
         "%TEMP%\\x"},
        {"escaped @", valueOf(reg::ValueType::String, reg::stringData("@@home")), "@home"},
        {"bare @", valueOf(reg::ValueType::String, reg::stringData("@home")), "@home"},
        {"@String", valueOf(reg::ValueType::String, reg::stringData("@String(a)")), "a"},
        {"@Invalid", valueOf(reg::ValueType::String, reg::stringData("@Invalid()")), ""},
        {"@Rect", valueOf(reg::ValueType::String, reg::stringData("@Rect(1 2 3 4)")), ""},
        {"one string", valueOf(reg::ValueType::MultiString, reg::multiStringData({"a"})), "a"},
        {"two strings", valueOf(reg::ValueType::MultiString, reg::multiStringData({"a", "b"})), ""},
        {"utf-16 bytes", valueOf(reg::ValueType::Binary, {'h', 0, 'i', 0}), "hi"},
        {"dword", valueOf(reg::ValueType::Dword, reg::dwordData(42)), "42"},
        {"dword is signed", valueOf(reg::ValueType::Dword, reg::dwordData(0xffffffffu)), "-1"},
        {"short dword", valueOf(reg::ValueType::Dword, {1, 0}), ""},
        {"qword", valueOf(reg::ValueType::Qword, reg::qwordData(1ull << 40)), "1099511627776"},
        {"big-endian dword", valueOf(static_cast<reg::ValueType>(5), {0, 0, 1, 0}), "256"},
        {"link", valueOf(static_cast<reg::ValueType>(6), {'a', 0}), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(settingsText(c.value), QString::fromUtf8(c.text));
    }
}

class RegistryValues : public RegistryTest {};

const QString kEntry = QStringLiteral("HKEY_CURRENT_USER\\Software\\Pellanor\\Settings");

TEST_F(RegistryValues, StoreUnderSubkeysNamedBySlashesAndReadBack) {
    EXPECT_TRUE(setRegistryString(kEntry, QStringLiteral("window/title"), QStringLiteral("@home")));
    EXPECT_TRUE(setRegistryIntValue(QStringLiteral("HKCU\\Software\\Pellanor\\Settings"),
                                    QStringLiteral("window/width"), -2));

    const reg::Value title =
        stored(reg::Root::CurrentUser, "Software\\Pellanor\\Settings\\window", "title");
    EXPECT_EQ(title.type, reg::ValueType::String);
    EXPECT_EQ(reg::dataText(title.data), "@@home");
    const reg::Value width =
        stored(reg::Root::CurrentUser, "Software\\Pellanor\\Settings\\window", "width");
    EXPECT_EQ(width.type, reg::ValueType::Dword);
    EXPECT_EQ(width.data, reg::dwordData(0xfffffffeu));

    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("window/title")), QStringLiteral("@home"));
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("/window//width/")), QStringLiteral("-2"));
}

TEST_F(RegistryValues, LogsWhatWasReadButNotAMissingValue) {
    putText(reg::Root::CurrentUser, "Software\\Pellanor\\Settings", "lang", "de-de");
    LogCapture log;
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("missing")), QString());
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("lang")), QStringLiteral("de-de"));
    EXPECT_EQ(
        log.lines(),
        QStringList{LogCapture::tagged(
            kTag, QStringLiteral(
                      "get registry string value. entry=HKEY_CURRENT_USER\\Software\\Pellanor\\"
                      "Settings key=lang val=de-de"))});
}

TEST_F(RegistryValues, TextWithAZeroCharacterSurvivesTheRoundTrip) {
    const QString text = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    EXPECT_TRUE(setRegistryString(kEntry, QStringLiteral("raw"), text));
    EXPECT_EQ(stored(reg::Root::CurrentUser, "Software\\Pellanor\\Settings", "raw").type,
              reg::ValueType::Binary);
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("raw")), text);
}

TEST_F(RegistryValues, RemovalTakesTheValueAndTheSubkeyOfThatName) {
    putText(reg::Root::CurrentUser, "Software\\Pellanor\\Settings", "cache", "1");
    putText(reg::Root::CurrentUser, "Software\\Pellanor\\Settings\\cache\\deep", "x", "1");
    putText(reg::Root::CurrentUser, "Software\\Pellanor\\Settings", "keep", "1");

    EXPECT_TRUE(removeRegistry(kEntry, QStringLiteral("cache")));
    EXPECT_EQ(stored(reg::Root::CurrentUser, "Software\\Pellanor\\Settings", "cache").type,
              reg::ValueType::None);
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, "Software\\Pellanor\\Settings\\cache"));
    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("keep")), QStringLiteral("1"));
    // Nothing of that name is no failure.
    EXPECT_TRUE(removeRegistry(kEntry, QStringLiteral("cache")));
}

TEST_F(RegistryValues, BadEntriesAndEmptyKeysChangeNothingAndSaySo) {
    putText(reg::Root::CurrentUser, "Software\\Pellanor\\Settings", "keep", "1");
    LogCapture log;
    EXPECT_FALSE(removeRegistry(kEntry, QStringLiteral("/")));
    EXPECT_FALSE(setRegistryString(QStringLiteral("HKCC\\Software"), QStringLiteral("a"),
                                   QStringLiteral("b")));
    EXPECT_EQ(getRegistryString(QStringLiteral("hkcu\\Software\\Pellanor\\Settings"),
                                QStringLiteral("keep")),
              QString());

    EXPECT_EQ(getRegistryString(kEntry, QStringLiteral("keep")), QStringLiteral("1"));
    EXPECT_TRUE(log.contains(kTag, QStringLiteral("unsupported registry root: HKCC\\Software")));
    EXPECT_TRUE(log.contains(
        kTag, QStringLiteral("registry key is empty. entry=") + kEntry + QStringLiteral(" key=/")));
}

TEST_F(RegistryValues, KeyTreesGoOnlyUnderARootWrittenInFull) {
    const std::string run = "Software\\Pellanor\\Tree";
    putText(reg::Root::CurrentUser, run + "\\a\\b", "x", "1");
    putText(reg::Root::LocalMachine, run + "\\c", "x", "1");
    LogCapture log;

    EXPECT_TRUE(removeRegistryKey(QStringLiteral("hkey_current_user/Software/Pellanor/Tree/a")));
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, run + "\\a"));
    EXPECT_TRUE(keyExists(reg::Root::CurrentUser, run));

    EXPECT_FALSE(removeRegistryKey(QStringLiteral("HKLM\\Software\\Pellanor\\Tree\\c")));
    EXPECT_TRUE(keyExists(reg::Root::LocalMachine, run + "\\c"));
    // The bare root never goes.
    EXPECT_FALSE(removeRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE\\")));
    EXPECT_FALSE(removeRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE///")));
    EXPECT_TRUE(keyExists(reg::Root::LocalMachine, run + "\\c"));

    EXPECT_EQ(
        log.lines(),
        (QStringList{
            LogCapture::tagged(kTag, QStringLiteral("remove registry key hkey_current_user\\"
                                                    "Software\\Pellanor\\Tree\\a result: true")),
            LogCapture::tagged(kTag, QStringLiteral("unsupported registry root: "
                                                    "HKLM\\Software\\Pellanor\\Tree\\c")),
            LogCapture::tagged(kTag, QStringLiteral("remove registry key "
                                                    "HKEY_LOCAL_MACHINE\\ result: false")),
            LogCapture::tagged(kTag, QStringLiteral("remove registry key "
                                                    "HKEY_LOCAL_MACHINE\\\\\\ result: false"))}));
}

}  // namespace
}  // namespace pellanor::system
