// How a Stop reaches cleans that run on detached workers and have no id of their own: one
// signal per kind of clean (junk, each chat app); a stop ends every clean of that kind that is
// running, as the page that started them wants.
#pragma once

#include <atomic>
#include <cstdint>

#include "clean/folder_size.h"

namespace pellanor {

class CleanStop final {
public:
    // One clean, from its start until it is destroyed. Made on the thread that starts the
    // clean, so that a stop coming right after the start reaches it; then moved to the worker
    // and used there only.
    class Run final {
    public:
        explicit Run(CleanStop& owner) : m_owner(&owner), m_generation(owner.m_generation.load()) {
            ++owner.m_running;
        }
        Run(Run&& other) noexcept
            : m_owner(other.m_owner),
              m_generation(other.m_generation),
              m_cutShort(other.m_cutShort) {
            other.m_owner = nullptr;
        }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;
        Run& operator=(Run&&) = delete;
        ~Run() { finish(); }

        // Whether a stop came since the clean began; a true answer marks the clean cut short.
        bool stopRequested() {
            if (m_owner != nullptr && m_owner->m_generation.load() != m_generation) {
                m_cutShort = true;
            }
            return m_cutShort;
        }
        // The question above for the removals; valid while this Run stays where it is.
        CancelPredicate predicate() {
            return [this] { return stopRequested(); };
        }
        // True once stopRequested has answered true: work was left undone.
        bool cutShort() const { return m_cutShort; }
        // No longer running: a stop from now on finds nothing to stop. Called before the final
        // report, so that a Stop that follows it answers false.
        void finish() {
            if (m_owner != nullptr) --m_owner->m_running;
            m_owner = nullptr;
        }

    private:
        CleanStop* m_owner;
        std::uint32_t m_generation;
        bool m_cutShort = false;
    };

    // Stops every clean of this kind that is running; they end within one removal. Returns
    // whether one was running. Does not wait.
    bool stop() {
        ++m_generation;
        return m_running.load() > 0;
    }

private:
    std::atomic<std::uint32_t> m_generation{0};
    std::atomic<int> m_running{0};
};

}  // namespace pellanor
