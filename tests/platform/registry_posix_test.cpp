// The POSIX registry store's own behaviour: its files, written by hand or damaged, and where
// they live.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/platform/registry_support.h"

namespace pellanor::platform::registry {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class RegistryStore : public test_support::RegistryTest {
protected:
    // A store of its own, for files reloadStore cannot copy (FIFOs, links).
    void useStore(const std::string& name) {
        m_store = m_temp.path() / ("own " + name);
        m_environment.set("PELLANOR_REGISTRY_DIR", m_store.u8string());
    }
};

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// As the editor writes its exports: a byte-order mark, UTF-16LE, CRLF.
std::string asEditorExport(const std::string& ascii) {
    std::string out("\xFF\xFE", 2);
    for (const char c : ascii) {
        if (c == '\n') out += std::string("\r\0", 2);
        out += c;
        out += '\0';
    }
    return out;
}

std::string withCrlf(const std::string& text) {
    std::string crlf;
    for (const char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

const char kHandWritten[] =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "; written by hand\n"
    "[HKEY_CURRENT_USER\\Software\\Hand]\n"
    "@=\"default\"\n"
    "\"Path\"=\"C:\\\\Program Files\\\\\\\"App\\\"\"\n"
    "\"Count\"=dword:0000002a\n"
    "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"Expand\"=hex(2):25,00,54,00,\\\n"
    "  45,00,4d,00,50,00,25,00,00,00\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
    "\"Gone\"=\"soon\"\n"
    "\"Gone\"=-\n"
    "\n"
    "[hkey_current_user\\Software\\Hand\\Child]\n"
    "\"Blob\"=hex:de,ad,\\\n"
    "    be,ef\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Hand\\Removed]\n"
    "\"x\"=dword:00000001\n"
    "[-HKEY_CURRENT_USER\\Software\\Hand\\Removed]\n"
    "\"ignored\"=dword:00000001\n";

TEST_F(RegistryStore, ImportsAnEditorFileInEveryEncoding) {
    const struct {
        const char* encoding;
        std::string bytes;
    } files[] = {
        {"UTF-16LE, CRLF", asEditorExport(kHandWritten)},
        {"UTF-8", kHandWritten},
        {"UTF-8 with BOM, CRLF", "\xEF\xBB\xBF" + withCrlf(kHandWritten)},
    };
    for (const auto& file : files) {
        reloadStore();
        writeFile(m_store / "HKEY_CURRENT_USER.reg", file.bytes);
        Status status = kInvalidData;
        const Key key =
            openKey(Root::CurrentUser, "Software\\Hand", View::Default, Access::Read, &status);
        ASSERT_EQ(status, kSuccess) << file.encoding << ": " << failureReason();
        Value value;
        const struct {
            const char* name;
            ValueType type;
            Bytes data;
        } expected[] = {
            {"", ValueType::String, stringData("default")},
            {"path", ValueType::String, stringData("C:\\Program Files\\\"App\"")},
            {"Count", ValueType::Dword, dwordData(42)},
            {"Big", ValueType::Qword, qwordData(1)},
            {"Expand", ValueType::ExpandString, stringData("%TEMP%")},
            {"Multi", ValueType::MultiString, multiStringData({"a", "b"})},
        };
        for (const auto& entry : expected) {
            ASSERT_EQ(queryValue(key, entry.name, 4096, value), kSuccess) << file.encoding;
            EXPECT_EQ(value.type, entry.type) << file.encoding << ' ' << entry.name;
            EXPECT_EQ(value.data, entry.data) << file.encoding << ' ' << entry.name;
        }
        EXPECT_EQ(queryValue(key, "Gone", 4096, value), kNotFound) << file.encoding;
        const Key child =
            openKey(Root::CurrentUser, "Software\\Hand\\Child", View::Default, Access::Read);
        ASSERT_EQ(queryValue(child, "Blob", 4096, value), kSuccess) << file.encoding;
        EXPECT_EQ(value.data, (Bytes{0xDE, 0xAD, 0xBE, 0xEF})) << file.encoding;
        openKey(Root::CurrentUser, "Software\\Hand\\Removed", View::Default, Access::Read, &status);
        EXPECT_EQ(status, kNotFound) << file.encoding;

        // A change to the imported file leaves it readable, whatever its encoding was.
        const Key writer =
            openKey(Root::CurrentUser, "Software\\Hand", View::Default, Access::Write, &status);
        ASSERT_EQ(setValue(writer, "Added", ValueType::Dword, dwordData(7)), kSuccess);
        reloadStore();
        const Key reread =
            openKey(Root::CurrentUser, "Software\\Hand", View::Default, Access::Read, &status);
        ASSERT_EQ(status, kSuccess) << file.encoding << ": " << failureReason();
        EXPECT_EQ(queryValue(reread, "Added", 4, value), kSuccess) << file.encoding;
        EXPECT_EQ(queryValue(reread, "Count", 4, value), kSuccess) << file.encoding;
    }
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(RegistryStore, AppendsChangesAndCompactsIntoAnEditorExport) {
    const Key key = createKey(Root::CurrentUser, "Software\\Order", View::Default);
    for (const char* name : {"zeta", "Alpha", "mid"}) {
        ASSERT_EQ(setValue(key, name, ValueType::Dword, dwordData(1)), kSuccess);
    }
    ASSERT_EQ(setValue(key, "ALPHA", ValueType::Dword, dwordData(2)), kSuccess);
    const std::string section = asEditorExport("[HKEY_CURRENT_USER\\Software\\Order]").substr(2);
    EXPECT_GT(occurrences(fileBytes(m_store / "HKEY_CURRENT_USER.reg"), section), 1u);

    reloadStore();
    const Key again = openKey(Root::CurrentUser, "Software\\Order", View::Default, Access::Read);
    std::vector<std::string> names;
    Value value;
    for (std::uint32_t i = 0; enumValue(again, i, 256, 4096, value) == kSuccess; ++i) {
        names.push_back(value.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"zeta", "Alpha", "mid"}));
    ASSERT_EQ(queryValue(again, "alpha", 4, value), kSuccess);
    EXPECT_EQ(value.data, dwordData(2));

    // A record larger than the rest of the file makes the store write it whole.
    ASSERT_EQ(setValue(again, "zeta", ValueType::Binary, Bytes(40000, 0xAB)), kAccessDenied);
    const Key writer = openKey(Root::CurrentUser, "Software\\Order", View::Default, Access::Write);
    ASSERT_EQ(setValue(writer, "zeta", ValueType::Binary, Bytes(40000, 0xAB)), kSuccess);
    const std::string bytes = fileBytes(m_store / "HKEY_CURRENT_USER.reg");
    EXPECT_EQ(occurrences(bytes, section), 1u);
    const std::string compact = asEditorExport(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Order]\n"
        "\"zeta\"=hex:ab,ab,");
    EXPECT_EQ(bytes.substr(0, compact.size()), compact);
    const std::string tail = asEditorExport("\"mid\"=dword:00000001\n\n").substr(2);
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
}

TEST_F(RegistryStore, SeesChangesOtherProcessesMadeToTheFile) {
    const Key key = createKey(Root::CurrentUser, "Software\\Live", View::Default);
    ASSERT_EQ(setValue(key, "v", ValueType::Dword, dwordData(1)), kSuccess);
    Value value;
    ASSERT_EQ(queryValue(key, "v", 4, value), kSuccess);
    // Same size as before: only the identity of the file tells the change apart.
    const std::string replaced = asEditorExport(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Live]\n"
        "\"v\"=dword:00000002\n\n");
    const fs::path hive = m_store / "HKEY_CURRENT_USER.reg";
    writeFile(m_store / "other.reg", replaced);
    fs::rename(m_store / "other.reg", hive);
    ASSERT_EQ(queryValue(key, "v", 4, value), kSuccess);
    EXPECT_EQ(value.data, dwordData(2));
}

TEST_F(RegistryStore, RefusesADamagedHiveAndKeepsItByteForByte) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const std::string section = "[HKEY_CURRENT_USER\\Software\\Kept]\n\"a\"=dword:00000001\n";
    const struct {
        const char* fault;
        std::string text;
    } cases[] = {
        {"unknown value form", header + section + "\"b\"=word:1\n"},
        {"unclosed string", header + section + "\"b\"=\"open\n"},
        {"unknown escape", header + section + "\"b\"=\"a\\qb\"\n"},
        {"bad hex byte", header + section + "\"b\"=hex:0g\n"},
        {"another root", header + "[HKEY_LOCAL_MACHINE\\Software]\n"},
        {"abbreviated root", header + "[HKCU\\Software]\n"},
        {"value before any key", header + "\"b\"=dword:00000001\n"},
        {"not text", header + section + "\"b\"=\"\xFF\xFE\xFD\"\n"},
        {"no header", section},
        {"unclosed bracket", header + "[HKEY_CURRENT_USER\\Software\n"},
        {"continued past the end", header + section + "\"b\"=hex:01,\\\n"},
    };
    for (const auto& entry : cases) {
        reloadStore();
        const fs::path hive = m_store / "HKEY_CURRENT_USER.reg";
        writeFile(hive, entry.text);
        Status status = kSuccess;
        EXPECT_FALSE(
            openKey(Root::CurrentUser, "Software", View::Default, Access::Read, &status).isOpen())
            << entry.fault;
        EXPECT_EQ(status, kInvalidData) << entry.fault;
        EXPECT_NE(failureReason().find("HKEY_CURRENT_USER.reg"), std::string::npos)
            << entry.fault << ": " << failureReason();
        if (&entry == &cases[0]) {
            EXPECT_NE(failureReason().find("line 5: "), std::string::npos) << failureReason();
        }
        createKey(Root::CurrentUser, "Software\\New", View::Default, &status);
        EXPECT_EQ(status, kInvalidData) << entry.fault;
        EXPECT_EQ(deleteTree(Root::CurrentUser, "Software\\Kept", View::Default), kInvalidData)
            << entry.fault;
        EXPECT_EQ(fileBytes(hive), entry.text) << entry.fault;
        // The other hives are unaffected.
        EXPECT_TRUE(createKey(Root::LocalMachine, "Software\\New", View::Default).isOpen());
    }
}

// A crash while a change was appended leaves the file cut anywhere in that record, or extended
// with zeros the data never reached. The record goes; every change before it stays.
TEST_F(RegistryStore, DropsOnlyAChangeCutShortAtTheEnd) {
    const Key key = createKey(Root::CurrentUser, "Software\\Torn", View::Default);
    const struct {
        const char* name;
        Bytes data;
    } earlier[] = {{"a", stringData("alpha")}, {"b", dwordData(2)}, {"c", Bytes(100, 0xAB)}};
    for (const auto& value : earlier) {
        ASSERT_EQ(setValue(key, value.name, ValueType::Binary, value.data), kSuccess);
    }
    const auto hive = [&] { return m_store / "HKEY_CURRENT_USER.reg"; };
    const std::string before = fileBytes(hive());
    ASSERT_EQ(setValue(key, "last", ValueType::Dword, dwordData(0x12345678)), kSuccess);
    const std::string full = fileBytes(hive());  // ends in ...dword:12345678 CRLF CRLF
    const std::size_t record = before.size();
    std::string middle = full;
    middle[record - 20] = '?';  // inside value c's hex list

    const struct {
        const char* cut;
        std::string bytes;
        bool lastKept;
        bool refused;
    } cases[] = {
        {"mid-key name", full.substr(0, record + 20), false, false},
        {"mid UTF-16 unit of the value name", full.substr(0, record + 77), false, false},
        {"mid-number", full.substr(0, full.size() - 16), false, false},
        {"before the value's line break", full.substr(0, full.size() - 8), false, false},
        {"inside the final line break", full.substr(0, full.size() - 1), false, false},
        {"zeros past a whole record", full + std::string(4096, '\0'), true, false},
        {"zeros for most of the record", full.substr(0, record + 6) + std::string(90, '\0'), false,
         false},
        {"whole lines, no blank line yet", full.substr(0, full.size() - 4), true, false},
        {"damage before the last record", middle.substr(0, full.size() - 16), false, true},
    };
    for (const auto& entry : cases) {
        reloadStore();
        writeFile(hive(), entry.bytes);
        Status status = kSuccess;
        const Key torn =
            openKey(Root::CurrentUser, "Software\\Torn", View::Default, Access::ReadWrite, &status);
        if (entry.refused) {
            EXPECT_EQ(status, kInvalidData) << entry.cut;
            EXPECT_FALSE(createKey(Root::CurrentUser, "Software\\New", View::Default).isOpen());
            EXPECT_EQ(fileBytes(hive()), entry.bytes) << entry.cut;
            continue;
        }
        ASSERT_EQ(status, kSuccess) << entry.cut << ": " << failureReason();
        const bool dropped = entry.bytes.size() > full.size() || !entry.lastKept;
        EXPECT_EQ(
            failureReason().find("dropped an incomplete change at the end of " + hive().string()),
            dropped ? 0 : std::string::npos)
            << entry.cut << ": " << failureReason();
        Value value;
        for (const auto& expected : earlier) {
            ASSERT_EQ(queryValue(torn, expected.name, 4096, value), kSuccess) << entry.cut;
            EXPECT_EQ(value.data, expected.data) << entry.cut << ' ' << expected.name;
        }
        EXPECT_EQ(
            queryValue(torn, "last", 4, value) == kSuccess && value.data == dwordData(0x12345678),
            entry.lastKept)
            << entry.cut;

        // The next write compacts the file: one section per key, no torn bytes.
        ASSERT_EQ(setValue(torn, "after", ValueType::Dword, dwordData(3)), kSuccess) << entry.cut;
        const std::string section = asEditorExport("[HKEY_CURRENT_USER\\Software\\Torn]").substr(2);
        EXPECT_EQ(occurrences(fileBytes(hive()), section), 1u) << entry.cut;
        reloadStore();
        const Key reread =
            openKey(Root::CurrentUser, "Software\\Torn", View::Default, Access::Read, &status);
        ASSERT_EQ(status, kSuccess) << entry.cut << ": " << failureReason();
        EXPECT_EQ(failureReason(), "") << entry.cut;
        EXPECT_EQ(queryValue(reread, "after", 4, value), kSuccess) << entry.cut;
    }
}

// Text past the last blank line is dropped only when it starts with the mark our appends begin
// with; a user's last section without its final line break is the file's own.
TEST_F(RegistryStore, DropsOnlyAnAppendOfOurOwnThatWasCutShort) {
    const std::string kept =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tail]\n"
        "\"a\"=dword:00000001\n\n[HKEY_CURRENT_USER\\Software\\Tail\\Last]\n\"b\"=\"x\"";
    const std::string mark = asEditorExport(";Pellanor change\n").substr(2);
    const std::string cutRecord =
        mark + asEditorExport("[HKEY_CURRENT_USER\\Software\\Tail]\n\"c\"=dword:0000").substr(2);
    const struct {
        const char* name;
        std::string bytes;
        bool refused;
        bool dropped;
    } cases[] = {
        {"UTF-16, no final line break", asEditorExport(kept), false, false},
        {"UTF-16, final line break", asEditorExport(kept + "\n"), false, false},
        {"UTF-8, no final line break", kept, false, false},
        {"UTF-8, final line break", kept + "\n", false, false},
        {"our append cut short", asEditorExport(kept + "\n\n") + cutRecord, false, true},
        {"our append cut in its first byte", asEditorExport(kept + "\n\n") + ";", false, true},
        {"our append cut, then zeros", asEditorExport(kept + "\n\n") + mark + std::string(64, '\0'),
         false, true},
        {"a foreign tail", asEditorExport(kept + "\n\n") + asEditorExport("garbage").substr(2),
         true, false},
        {"a foreign tail cut in a unit", asEditorExport(kept + "\n\n") + "g", true, false},
    };
    std::vector<std::string> notices;
    setNoticeHandler([&notices](const std::string& notice) { notices.push_back(notice); });
    for (const auto& entry : cases) {
        reloadStore();
        const fs::path hive = m_store / "HKEY_CURRENT_USER.reg";
        writeFile(hive, entry.bytes);
        notices.clear();
        Status status = kSuccess;
        const Key last = openKey(Root::CurrentUser, "Software\\Tail\\Last", View::Default,
                                 Access::ReadWrite, &status);
        if (entry.refused) {
            EXPECT_EQ(status, kInvalidData) << entry.name;
            EXPECT_EQ(fileBytes(hive), entry.bytes) << entry.name;
            EXPECT_TRUE(notices.empty()) << entry.name;
            continue;
        }
        ASSERT_EQ(status, kSuccess) << entry.name << ": " << failureReason();
        Value value;
        ASSERT_EQ(queryValue(last, "b", 16, value), kSuccess) << entry.name;
        EXPECT_EQ(value.data, stringData("x")) << entry.name;
        const Key tail = openKey(Root::CurrentUser, "Software\\Tail", View::Default, Access::Read);
        EXPECT_EQ(queryValue(tail, "a", 4, value), kSuccess) << entry.name;
        EXPECT_EQ(queryValue(tail, "c", 4, value), kNotFound) << entry.name;
        ASSERT_EQ(notices.size(), entry.dropped ? 1u : 0u) << entry.name;
        if (entry.dropped) {
            EXPECT_EQ(
                notices[0].find("dropped an incomplete change at the end of " + hive.string()), 0u)
                << notices[0];
        }

        // The next write keeps the last section for good.
        ASSERT_EQ(setValue(last, "after", ValueType::Dword, dwordData(1)), kSuccess) << entry.name;
        reloadStore();
        const Key reread =
            openKey(Root::CurrentUser, "Software\\Tail\\Last", View::Default, Access::Read);
        EXPECT_EQ(queryValue(reread, "b", 16, value), kSuccess) << entry.name;
        EXPECT_EQ(queryValue(reread, "after", 4, value), kSuccess) << entry.name;
    }
    setNoticeHandler(nullptr);
}

// A FIFO never gets a writer here: a store that opened it blocking would wait forever. The guard
// opens the FIFO's other end after a while, so that a failing store fails instead of hanging.
TEST_F(RegistryStore, RefusesAFifoAtTheHiveOrLockPathAtOnce) {
    const char* const places[] = {"HKEY_CURRENT_USER.reg", ".HKEY_CURRENT_USER.reg.lock"};
    for (const char* place : places) {
        useStore(place);
        writeFile(m_store / "HKEY_CURRENT_USER.reg",
                  asEditorExport("Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\Fifo]\n\n"));
        const fs::path fifo = m_store / place;
        fs::remove(fifo);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << place;
        const auto started = std::chrono::steady_clock::now();
        auto calls = std::async(std::launch::async, [] {
            Status read = kSuccess, written = kSuccess;
            openKey(Root::CurrentUser, "Software\\Fifo", View::Default, Access::Read, &read);
            createKey(Root::CurrentUser, "Software\\Fifo\\New", View::Default, &written);
            return std::make_pair(read, written);
        });
        if (calls.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << place << ": the store waited on the FIFO";
            const int unblock = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
            calls.wait();
            close(unblock);
        }
        const auto [read, written] = calls.get();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << place;
        EXPECT_EQ(read, kAccessDenied) << place << ": " << failureReason();
        EXPECT_EQ(written, kAccessDenied) << place;
        EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo) << place;
    }
}

TEST_F(RegistryStore, KeysGoNoDeeperThan512Levels) {
    std::string deepest = "Software";
    for (int level = 2; level <= 512; ++level) deepest += "\\k";
    ASSERT_TRUE(createKey(Root::CurrentUser, deepest, View::Default).isOpen()) << failureReason();
    Status status = kSuccess;
    createKey(Root::CurrentUser, deepest + "\\k", View::Default, &status);
    EXPECT_EQ(status, kInvalidParameter);
    reloadStore();
    openKey(Root::CurrentUser, deepest, View::Default, Access::Read, &status);
    EXPECT_EQ(status, kSuccess) << failureReason();

    // A file holding a deeper key is damaged, not read and written back square-sized.
    std::string tooDeep = "HKEY_CURRENT_USER\\" + deepest + "\\k";
    reloadStore();
    writeFile(m_store / "HKEY_CURRENT_USER.reg",
              "Windows Registry Editor Version 5.00\n\n[" + tooDeep + "]\n");
    openKey(Root::CurrentUser, "Software", View::Default, Access::Read, &status);
    EXPECT_EQ(status, kInvalidData);
    EXPECT_NE(failureReason().find("more than 512 levels"), std::string::npos) << failureReason();
}

// A link would put the hive outside the folder whose lock and rename keep writes whole; it is
// refused for reads and writes alike and stays the link it was.
TEST_F(RegistryStore, RefusesALinkedHiveForReadsAndWritesAlike) {
    const std::string text = asEditorExport(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Linked]\n"
        "\"v\"=dword:00000001\n\n");
    const fs::path elsewhere = m_temp.path() / "elsewhere";
    const struct {
        const char* name;
        bool targetExists;
    } cases[] = {{"link to a hive", true}, {"dangling link", false}};
    for (const auto& entry : cases) {
        useStore(entry.name);
        fs::remove_all(elsewhere);
        fs::create_directories(elsewhere);
        if (entry.targetExists) writeFile(elsewhere / "hive.reg", text);
        const fs::path hive = m_store / "HKEY_CURRENT_USER.reg";
        fs::create_directories(m_store);
        fs::create_symlink(elsewhere / "hive.reg", hive);
        Status read = kSuccess, created = kSuccess;
        openKey(Root::CurrentUser, "Software\\Linked", View::Default, Access::Read, &read);
        createKey(Root::CurrentUser, "Software\\Linked\\New", View::Default, &created);
        EXPECT_EQ(read, kAccessDenied) << entry.name;
        EXPECT_EQ(created, kAccessDenied) << entry.name;
        EXPECT_NE(failureReason().find("symbolic link"), std::string::npos) << failureReason();
        EXPECT_EQ(deleteTree(Root::CurrentUser, "Software\\Linked", View::Default), kAccessDenied)
            << entry.name;
        EXPECT_TRUE(fs::is_symlink(hive)) << entry.name;
        EXPECT_EQ(fs::exists(elsewhere / "hive.reg"), entry.targetExists) << entry.name;
        if (entry.targetExists) {
            EXPECT_EQ(fileBytes(elsewhere / "hive.reg"), text) << entry.name;
        }
    }
}

TEST_F(RegistryStore, NamesAFileCannotHoldAreRefused) {
    const Key key = createKey(Root::CurrentUser, "Software\\Names", View::Default);
    EXPECT_EQ(setValue(key, "two\nlines", ValueType::Dword, dwordData(1)), kInvalidParameter);
    EXPECT_EQ(setValue(key, std::string("zero\0byte", 9), ValueType::Dword, dwordData(1)),
              kInvalidParameter);
    Status status = kSuccess;
    createKey(Root::CurrentUser, "Software\\two\r\nlines", View::Default, &status);
    EXPECT_EQ(status, kInvalidParameter);
    createKey(Root::CurrentUser, "Software\\" + std::string(256, 'k'), View::Default, &status);
    EXPECT_EQ(status, kInvalidParameter);
    // Nothing half-done was left behind.
    reloadStore();
    const Key again = openKey(Root::CurrentUser, "Software\\Names", View::Default, Access::Read);
    Value value;
    EXPECT_EQ(enumValue(again, 0, 256, 4096, value), kNoMoreItems);
}

TEST_F(RegistryStore, The32BitViewIsNotRedirectedTwice) {
    const Key key = createKey(Root::LocalMachine, "Software\\WOW6432Node\\Twice", View::Registry32);
    ASSERT_TRUE(key.isOpen());
    Status status = kNotFound;
    openKey(Root::LocalMachine, "Software\\Wow6432Node\\Twice", View::Registry64, Access::Read,
            &status);
    EXPECT_EQ(status, kSuccess);
    // Other roots have no 32-bit view of their own.
    ASSERT_TRUE(createKey(Root::ClassesRoot, "Software\\Plain", View::Registry32).isOpen());
    openKey(Root::ClassesRoot, "Software\\Plain", View::Registry64, Access::Read, &status);
    EXPECT_EQ(status, kSuccess);
}

TEST_F(RegistryStore, LivesInTheDataFolderUnlessTold) {
    const fs::path home = m_temp.path() / "home";
    const fs::path data = m_temp.path() / "data";
    const struct {
        const char* own;
        const char* dataHome;
        fs::path expected;
    } cases[] = {
        {"own", "", m_temp.path() / "own"},
        {"", data.c_str(), data / "Pellanor/registry"},
        {"", "relative/ignored", home / ".local/share/Pellanor/registry"},
        {"", "", home / ".local/share/Pellanor/registry"},
    };
    m_environment.set("HOME", home.u8string());
    for (const auto& entry : cases) {
        m_environment.set("PELLANOR_REGISTRY_DIR",
                          *entry.own ? (m_temp.path() / entry.own).u8string() : "");
        m_environment.set("XDG_DATA_HOME", entry.dataHome);
        ASSERT_TRUE(createKey(Root::Users, "Where", View::Default).isOpen()) << entry.expected;
        EXPECT_TRUE(fs::exists(entry.expected / "HKEY_USERS.reg")) << entry.expected;
        fs::remove_all(entry.expected);
    }
}

}  // namespace
}  // namespace pellanor::platform::registry
