// Sets environment variables for one test and puts the previous values back afterwards.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/environment.h"

namespace pellanor::test_support {

class ScopedEnvironment final {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second) {
                platform::setEnvironmentVariable(it->first, *it->second);
            } else {
                platform::unsetEnvironmentVariable(it->first);
            }
        }
    }

    void set(const std::string& name, const std::string& value) {
        save(name);
        platform::setEnvironmentVariable(name, value);
    }

    void unset(const std::string& name) {
        save(name);
        platform::unsetEnvironmentVariable(name);
    }

private:
    void save(const std::string& name) {
        m_saved.emplace_back(name, platform::environmentVariable(name));
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace pellanor::test_support
