// Spreading independent file reads over the cores.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/thread_priority.h"
#include "scan/scan_registry.h"

namespace pellanor::scan {

// Runs work(i) for every i in [0, count) on up to one thread per core, the caller's included;
// returns when all are done. `work` must not throw. If no more threads can be made, fewer do
// the work. With a scan `context`, a stop interrupts the helper threads' reads too.
// `threadsPerCore` above 1 is for work that mostly waits on the disk: more reads in flight.
template <typename Work>
void parallelFor(std::size_t count, const Work& work, ScanContext* context = nullptr,
                 unsigned threadsPerCore = 1) {
    const std::size_t threads = std::min<std::size_t>(
        count, threadsPerCore * std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<std::size_t> next{0};
    const auto drain = [&] {
        for (std::size_t i = next++; i < count; i = next++) work(i);
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back([&] {
                // A scan's helpers run below normal like its worker (Windows threads do not
                // inherit that); the blocking search's keep normal, as the caller waits for them.
                if (context != nullptr) platform::lowerCurrentThreadPriority();
                const HelperIoScope enlisted(context);
                drain();
            });
        } catch (const std::system_error&) {
            break;
        }
    }
    drain();
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace pellanor::scan
