// The registry seam on both backends: natively against the POSIX store in a temp folder, under
// Wine against Wine's own registry in scratch keys that are deleted afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/command_line.h"
#include "platform/executable.h"
#include "platform/registry.h"
#include "tests/platform/registry_support.h"

namespace pellanor::platform::registry {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Registry = test_support::RegistryTest;

Bytes ascending(std::size_t size) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i);
    return data;
}

std::vector<std::string> valueNames(const Key& key) {
    std::vector<std::string> names;
    Value value;
    for (std::uint32_t i = 0; enumValue(key, i, 16384, 1 << 20, value) == kSuccess; ++i) {
        names.push_back(value.name);
    }
    return names;
}

std::vector<std::string> subkeyNames(const Key& key) {
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; enumSubkey(key, i, 256, name) == kSuccess; ++i) names.push_back(name);
    return names;
}

TEST(RegistryData, StoredFormsMatchWindows) {
    EXPECT_EQ(stringData("A\xC3\xA9"), (Bytes{'A', 0, 0xE9, 0, 0, 0}));
    EXPECT_EQ(stringData(""), (Bytes{0, 0}));
    // U+1F600 is a surrogate pair.
    EXPECT_EQ(dataText(stringData("x\xF0\x9F\x98\x80y")), "x\xF0\x9F\x98\x80y");
    EXPECT_EQ(dataText(Bytes{'a', 0, 0, 0, 'b', 0}), "a");
    EXPECT_EQ(dataText(Bytes{'a', 0, 'b'}), "a");
    EXPECT_EQ(multiStringData({"a", "bc"}), (Bytes{'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}));
    EXPECT_EQ(dataStrings(multiStringData({"a", "bc"})), (std::vector<std::string>{"a", "bc"}));
    EXPECT_EQ(dataStrings(Bytes{'a', 0, 0, 0, 0, 0, 'b', 0, 0, 0}), std::vector<std::string>{"a"});
    EXPECT_EQ(dwordData(0x01020304), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(qwordData(0x0102030405060708ull), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST(RegistryData, RootNamesAreTheFullNamesInAnyCase) {
    const struct {
        const char* text;
        bool known;
        Root root;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE", true, Root::LocalMachine},
        {"hkey_current_user", true, Root::CurrentUser},
        {"Hkey_Classes_Root", true, Root::ClassesRoot},
        {"HKEY_USERS", true, Root::Users},
        {"HKEY_CURRENT_CONFIG", true, Root::CurrentConfig},
        {"HKLM", false, Root::Users},
        {"HKEY_CURRENT_USER\\", false, Root::Users},
        {"HKEY_CURRENT", false, Root::Users},
        {"", false, Root::Users},
    };
    for (const auto& entry : cases) {
        Root root = Root::Users;
        EXPECT_EQ(rootFromName(entry.text, root), entry.known) << entry.text;
        EXPECT_EQ(root, entry.root) << entry.text;
    }
    EXPECT_STREQ(rootName(Root::LocalMachine), "HKEY_LOCAL_MACHINE");
}

TEST_F(Registry, EveryTypeRoundTripsByteForByte) {
    const std::vector<Value> values = {
        {"text", ValueType::String, stringData("C:\\Program Files\\\"x\" 100%")},
        {"unicode", ValueType::String,
         stringData("Gr\xC3\xBC\xC3\x9F"
                    "e \xE6\x97\xA5 \xF0\x9F\x98\x80")},
        {"line breaks", ValueType::String, stringData("one\r\ntwo\nthree")},
        {"unterminated", ValueType::String, Bytes{'a', 0, 'b', 0}},
        {"odd length", ValueType::String, Bytes{'a', 0, 'b'}},
        {"empty text", ValueType::String, Bytes{}},
        {"expand", ValueType::ExpandString, stringData("%ProgramFiles%\\App\\app.exe")},
        {"dword", ValueType::Dword, dwordData(0xDEADBEEF)},
        {"short dword", ValueType::Dword, Bytes{1, 2}},
        {"qword", ValueType::Qword, qwordData(0x0123456789ABCDEFull)},
        {"binary", ValueType::Binary, ascending(300)},
        {"empty binary", ValueType::Binary, Bytes{}},
        {"multi", ValueType::MultiString, multiStringData({"first", "", "third"})},
        {"none", ValueType::None, Bytes{7, 8, 9}},
        {"", ValueType::String, stringData("the default value")},
        {"name \"quoted\" \\ and = sign", ValueType::Dword, dwordData(1)},
    };
    {
        const Key key = createKey(Root::CurrentUser, scratch("Types"), View::Default);
        ASSERT_TRUE(key.isOpen());
        for (const Value& value : values) {
            ASSERT_EQ(setValue(key, value.name, value.type, value.data), kSuccess) << value.name;
        }
    }
    reloadStore();
    const Key key = openKey(Root::CurrentUser, scratch("Types"), View::Default, Access::Read);
    ASSERT_TRUE(key.isOpen());
    for (const Value& expected : values) {
        Value read;
        ASSERT_EQ(queryValue(key, expected.name, 4096, read), kSuccess) << expected.name;
        EXPECT_EQ(read.type, expected.type) << expected.name;
        EXPECT_EQ(read.data, expected.data) << expected.name;
    }
}

TEST_F(Registry, NamesCompareWithoutCase) {
    Status status = kInvalidData;
    const Key key = createKey(Root::CurrentUser, scratch("Case\\Inner"), View::Default, &status);
    ASSERT_EQ(status, kSuccess);
    ASSERT_EQ(setValue(key, "MixedName", ValueType::Dword, dwordData(1)), kSuccess);
    ASSERT_EQ(setValue(key, "MIXEDNAME", ValueType::Dword, dwordData(2)), kSuccess);
    ASSERT_EQ(setValue(key, "\xC3\x84pfel", ValueType::Dword, dwordData(3)), kSuccess);

    const Key again =
        openKey(Root::CurrentUser, scratch("CASE\\inner"), View::Default, Access::Read, &status);
    ASSERT_EQ(status, kSuccess);
    EXPECT_EQ(valueNames(again).size(), 2u);
    Value value;
    ASSERT_EQ(queryValue(again, "mixedname", 4, value), kSuccess);
    EXPECT_EQ(value.data, dwordData(2));
    EXPECT_EQ(queryValue(again, "\xC3\xA4PFEL", 4, value), kSuccess);

    const Key parent = openKey(Root::CurrentUser, scratch(), View::Default, Access::Read);
    EXPECT_EQ(subkeyNames(parent), std::vector<std::string>{"Case"});
}

TEST_F(Registry, SubkeysEnumerateByName) {
    const Key key = createKey(Root::CurrentUser, scratch("Sorted"), View::Default);
    for (const char* name : {"b", "C", "a"}) {
        ASSERT_TRUE(
            createKey(Root::CurrentUser, scratch("Sorted\\") + name, View::Default).isOpen());
    }
    EXPECT_EQ(subkeyNames(key), (std::vector<std::string>{"a", "b", "C"}));
}

TEST_F(Registry, The32BitViewOfLocalMachineSoftwareIsItsWow6432Node) {
    const Key key32 = createKey(Root::LocalMachine, scratch("View"), View::Registry32);
    ASSERT_TRUE(key32.isOpen());
    ASSERT_EQ(setValue(key32, "bits", ValueType::Dword, dwordData(32)), kSuccess);

    const std::string redirected =
        "Software\\WOW6432Node\\PellanorTests\\" + scratch().substr(scratch().rfind('\\') + 1);
    const Key seen =
        openKey(Root::LocalMachine, redirected + "\\View", View::Registry64, Access::Read);
    Value value;
    ASSERT_EQ(queryValue(seen, "bits", 4, value), kSuccess);
    EXPECT_EQ(value.data, dwordData(32));

    Status status = kSuccess;
    openKey(Root::LocalMachine, scratch("View"), View::Registry64, Access::Read, &status);
    EXPECT_EQ(status, kNotFound);
    EXPECT_EQ(deleteTree(Root::LocalMachine, scratch("View"), View::Registry64), kNotFound);
    EXPECT_EQ(deleteTree(Root::LocalMachine, scratch("View"), View::Registry32), kSuccess);
}

TEST_F(Registry, CurrentUserIsSharedByBothViews) {
    const Key key32 = createKey(Root::CurrentUser, scratch("Shared"), View::Registry32);
    ASSERT_EQ(setValue(key32, "bits", ValueType::Dword, dwordData(32)), kSuccess);
    const Key key64 = openKey(Root::CurrentUser, scratch("Shared"), View::Registry64, Access::Read);
    Value value;
    ASSERT_EQ(queryValue(key64, "bits", 4, value), kSuccess);
    EXPECT_EQ(value.data, dwordData(32));
}

// A Run-key reader's buffers: 256 units for a name, 4096 bytes for data.
TEST_F(Registry, EntriesOverTheCallersLimitsGiveMoreData) {
    const Key key = createKey(Root::CurrentUser, scratch("Limits"), View::Default);
    const std::string name255(255, 'n');
    const std::string name256(256, 'm');
    ASSERT_EQ(setValue(key, name255, ValueType::Binary, Bytes(4096, 1)), kSuccess);
    ASSERT_EQ(setValue(key, "big", ValueType::Binary, Bytes(4097, 2)), kSuccess);
    ASSERT_EQ(setValue(key, name256, ValueType::Binary, Bytes(1, 3)), kSuccess);
    ASSERT_EQ(setValue(key, "after", ValueType::Binary, Bytes(1, 4)), kSuccess);

    Value value;
    value.name = "untouched";
    EXPECT_EQ(queryValue(key, "big", 4096, value), kMoreData);
    EXPECT_EQ(value.name, "untouched");
    EXPECT_EQ(queryValue(key, "big", 4097, value), kSuccess);
    EXPECT_EQ(queryValue(key, name255, 4096, value), kSuccess);

    const struct {
        std::string name;
        std::size_t nameUnits;
        std::size_t dataBytes;
        Status status;
    } cases[] = {
        {name255, 256, 4096, kSuccess},  {name255, 255, 4096, kMoreData},
        {name255, 256, 4095, kMoreData}, {"big", 256, 4096, kMoreData},
        {"big", 4, 4097, kSuccess},      {"big", 3, 4097, kMoreData},
        {name256, 256, 4096, kMoreData}, {name256, 257, 1, kSuccess},
    };
    for (const auto& entry : cases) {
        std::uint32_t index = 0;
        for (; enumValue(key, index, 16384, 1 << 20, value) == kSuccess; ++index) {
            if (value.name == entry.name) break;
        }
        EXPECT_EQ(enumValue(key, index, entry.nameUnits, entry.dataBytes, value), entry.status)
            << entry.name.substr(0, 8) << ' ' << entry.nameUnits << ' ' << entry.dataBytes;
    }
    EXPECT_EQ(enumValue(key, 4, 16384, 1 << 20, value), kNoMoreItems);

    ASSERT_TRUE(
        createKey(Root::CurrentUser, scratch("Limits\\") + name255, View::Default).isOpen());
    std::string subkey;
    EXPECT_EQ(enumSubkey(key, 0, 255, subkey), kMoreData);
    EXPECT_EQ(enumSubkey(key, 0, 256, subkey), kSuccess);
    EXPECT_EQ(subkey, name255);
    EXPECT_EQ(enumSubkey(key, 1, 256, subkey), kNoMoreItems);
}

TEST_F(Registry, DeleteTreeRemovesTheKeyAndEverythingBelowOnly) {
    for (const char* path : {"Tree\\A\\B", "Tree\\C", "TreeSibling"}) {
        const Key key = createKey(Root::CurrentUser, scratch(path), View::Default);
        ASSERT_EQ(setValue(key, "v", ValueType::Dword, dwordData(1)), kSuccess) << path;
    }
    const Key tree = openKey(Root::CurrentUser, scratch("Tree"), View::Default, Access::Read);
    EXPECT_EQ(deleteKey(Root::CurrentUser, scratch("Tree"), View::Default), kAccessDenied);
    EXPECT_EQ(deleteKey(Root::CurrentUser, scratch("Tree\\C"), View::Default), kSuccess);

    EXPECT_EQ(deleteTree(Root::CurrentUser, scratch("Tree"), View::Default), kSuccess);
    Status status = kSuccess;
    openKey(Root::CurrentUser, scratch("Tree\\A"), View::Default, Access::Read, &status);
    EXPECT_EQ(status, kNotFound);
    Value value;
    EXPECT_EQ(queryValue(tree, "v", 4, value), kKeyDeleted);
    EXPECT_EQ(deleteTree(Root::CurrentUser, scratch("Tree"), View::Default), kNotFound);

    const Key sibling =
        openKey(Root::CurrentUser, scratch("TreeSibling"), View::Default, Access::Read);
    EXPECT_EQ(queryValue(sibling, "v", 4, value), kSuccess);
    EXPECT_EQ(deleteTree(Root::CurrentUser, "", View::Default), kAccessDenied);
    EXPECT_EQ(deleteKey(Root::CurrentUser, "", View::Default), kAccessDenied);
}

TEST_F(Registry, CallsAnswerWithTheWindowsCodes) {
    const Key created = createKey(Root::CurrentUser, scratch("Codes"), View::Default);
    ASSERT_EQ(setValue(created, "v", ValueType::Dword, dwordData(1)), kSuccess);
    const Key reader = openKey(Root::CurrentUser, scratch("Codes"), View::Default, Access::Read);
    const Key writer = openKey(Root::CurrentUser, scratch("Codes"), View::Default, Access::Write);
    const Key closed;
    Value value;
    std::string name;

    EXPECT_EQ(setValue(reader, "w", ValueType::Dword, dwordData(2)), kAccessDenied);
    EXPECT_EQ(deleteValue(reader, "v"), kAccessDenied);
    EXPECT_EQ(queryValue(writer, "v", 4, value), kAccessDenied);
    EXPECT_EQ(setValue(writer, "w", ValueType::Dword, dwordData(2)), kSuccess);
    EXPECT_EQ(queryValue(reader, "w", 4, value), kSuccess);
    EXPECT_EQ(queryValue(reader, "missing", 4, value), kNotFound);
    EXPECT_EQ(deleteValue(writer, "missing"), kNotFound);
    EXPECT_EQ(deleteValue(writer, "V"), kSuccess);
    EXPECT_EQ(queryValue(reader, "v", 4, value), kNotFound);

    EXPECT_EQ(queryValue(closed, "v", 4, value), kInvalidHandle);
    EXPECT_EQ(enumValue(closed, 0, 256, 4096, value), kInvalidHandle);
    EXPECT_EQ(enumSubkey(closed, 0, 256, name), kInvalidHandle);
    EXPECT_EQ(setValue(closed, "v", ValueType::Dword, dwordData(1)), kInvalidHandle);
    EXPECT_EQ(deleteValue(closed, "v"), kInvalidHandle);

    Status status = kSuccess;
    EXPECT_FALSE(
        openKey(Root::CurrentUser, scratch("Missing"), View::Default, Access::Read, &status)
            .isOpen());
    EXPECT_EQ(status, kNotFound);
    EXPECT_TRUE(openKey(Root::CurrentUser, "", View::Default, Access::Read, &status).isOpen());
    EXPECT_EQ(status, kSuccess);
}

fs::path registryChildProgram() {
    const auto folder = fs::u8path(executablePath()).parent_path();
    for (const char* name : {"registry_child.exe", "registry_child"}) {
        if (fs::exists(folder / name)) return folder / name;
    }
    return {};
}

TEST_F(Registry, TwoProcessesWritingAtOnceLoseNothing) {
    const fs::path child = registryChildProgram();
    ASSERT_FALSE(child.empty());
    const fs::path start = m_temp.path() / "start";
    int exitCodes[2] = {-1, -1};
    std::vector<std::thread> writers;
    for (int i = 0; i < 2; ++i) {
        writers.emplace_back([&, i] {
            const std::string line = '"' + child.u8string() + "\" write " + scratch("Shared") +
                                     " writer" + std::to_string(i) + "- 200 \"" + start.u8string() +
                                     '"';
            exitCodes[i] = runCommandLine(line, 120000, ChildOutput::Discard).exitCode;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::ofstream(start) << "go\n";
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(exitCodes[0], 0);
    EXPECT_EQ(exitCodes[1], 0);

    const Key key = openKey(Root::CurrentUser, scratch("Shared"), View::Default, Access::Read);
    EXPECT_EQ(valueNames(key).size(), 400u);
    Value value;
    for (int i = 0; i < 200; ++i) {
        for (const char* prefix : {"writer0-", "writer1-"}) {
            const std::string name = prefix + std::to_string(i);
            ASSERT_EQ(queryValue(key, name, 4096, value), kSuccess) << name;
            EXPECT_EQ(dataText(value.data), name);
        }
    }
}

}  // namespace
}  // namespace pellanor::platform::registry
