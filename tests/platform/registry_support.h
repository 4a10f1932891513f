// Shared by the registry tests of both backends: a scratch key under HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE\Software, removed afterwards, and on POSIX a private store in a temp folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/processes.h"
#include "platform/registry.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::test_support {

class RegistryTest : public ::testing::Test {
protected:
    using Root = platform::registry::Root;
    using View = platform::registry::View;

    // Windows ignores the variable; the POSIX store then never touches the user's own hives.
    void SetUp() override {
        ASSERT_TRUE(m_temp.valid());
        m_store = m_temp.path() / "store";
        m_environment.set("PELLANOR_REGISTRY_DIR", m_store.u8string());
    }

    void TearDown() override {
        using platform::registry::deleteKey;
        using platform::registry::deleteTree;
        for (const View view : {View::Registry64, View::Registry32}) {
            deleteTree(Root::CurrentUser, scratch(), view);
            deleteTree(Root::LocalMachine, scratch(), view);
            // Only when no other run's key is left in it.
            deleteKey(Root::CurrentUser, "Software\\PellanorTests", view);
            deleteKey(Root::LocalMachine, "Software\\PellanorTests", view);
        }
    }

    // Software\PellanorTests\<pid>, so that runs at the same time keep apart on Windows.
    static std::string scratch() {
        return "Software\\PellanorTests\\" + std::to_string(platform::currentProcessId());
    }
    static std::string scratch(const std::string& below) { return scratch() + '\\' + below; }

    // Points the POSIX store at a copy of its files, so the next call reads them from disk
    // rather than from what this process remembers. No effect on Windows.
    void reloadStore() {
        const std::filesystem::path copy = m_temp.path() / ("store" + std::to_string(++m_copies));
        std::filesystem::create_directory(copy);
        if (std::filesystem::exists(m_store)) {
            std::filesystem::copy(m_store, copy, std::filesystem::copy_options::recursive);
        }
        m_store = copy;
        m_environment.set("PELLANOR_REGISTRY_DIR", m_store.u8string());
    }

    ScopedTempFolder m_temp;
    std::filesystem::path m_store;
    ScopedEnvironment m_environment;
    int m_copies = 0;
};

}  // namespace pellanor::test_support
