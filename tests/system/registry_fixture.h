// A private registry store for each test, and short ways to fill and read it through the seam.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <ostream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/platform/scoped_environment.h"

// Failures show texts, not their UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace pellanor::test_support {

namespace reg = platform::registry;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_store.isValid());
        m_environment.set("PELLANOR_REGISTRY_DIR", m_store.path().toStdString());
    }

    ScopedEnvironment& environment() { return m_environment; }

    static void put(reg::Root root, const std::string& path, const std::string& name,
                    reg::ValueType type, const std::vector<std::uint8_t>& data,
                    reg::View view = reg::View::Default) {
        const reg::Key key = reg::createKey(root, path, view);
        ASSERT_TRUE(key.isOpen()) << path;
        ASSERT_EQ(reg::setValue(key, name, type, data), reg::kSuccess) << path << " " << name;
    }

    static void putText(reg::Root root, const std::string& path, const std::string& name,
                        const std::string& text, reg::View view = reg::View::Default) {
        put(root, path, name, reg::ValueType::String, reg::stringData(text), view);
    }

    static void putDword(reg::Root root, const std::string& path, const std::string& name,
                         std::uint32_t number, reg::View view = reg::View::Default) {
        put(root, path, name, reg::ValueType::Dword, reg::dwordData(number), view);
    }

    // The stored value, or one of type None when there is none.
    static reg::Value stored(reg::Root root, const std::string& path, const std::string& name,
                             reg::View view = reg::View::Default) {
        reg::Value value;
        const reg::Key key = reg::openKey(root, path, view, reg::Access::Read);
        if (!key.isOpen() || reg::queryValue(key, name, 1u << 20, value) != reg::kSuccess) {
            return {};
        }
        return value;
    }

    static bool keyExists(reg::Root root, const std::string& path,
                          reg::View view = reg::View::Default) {
        return reg::openKey(root, path, view, reg::Access::Read).isOpen();
    }

private:
    QTemporaryDir m_store;
    ScopedEnvironment m_environment;
};

}  // namespace pellanor::test_support
