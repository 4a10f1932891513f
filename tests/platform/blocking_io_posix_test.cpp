// On POSIX a cancel reaches a read only where the read can be interrupted: a pipe shows it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/blocking_io.h"
#include "platform/file_reader.h"

namespace pellanor::platform {
namespace {

TEST(BlockingIoCanceller, InterruptsAReadBlockedOnAPipe) {
    const auto fifo =
        std::filesystem::temp_directory_path() / ("pellanor-fifo-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Held open for writing so the reader's open does not wait; nothing is ever written.
    const int writer = ::open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);

    std::promise<std::shared_ptr<BlockingIoCanceller>> captured;
    std::atomic<bool> finished{false};
    std::int64_t result = 0;
    std::thread reader([&] {
        captured.set_value(BlockingIoCanceller::forCurrentThread());
        FileReader file;
        char buffer[16];
        result = file.open(fifo.string()) ? file.read(buffer, sizeof buffer) : -2;
        finished = true;
    });
    const auto canceller = captured.get_future().get();
    // A signal sent before the read starts is lost, so keep cancelling until the read returns.
    for (int i = 0; i < 500 && !finished; ++i) {
        canceller->cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!finished) (void)::write(writer, "x", 1);
    reader.join();
    canceller->retire();
    ::close(writer);
    std::filesystem::remove(fifo);
    EXPECT_EQ(result, -1);
}

}  // namespace
}  // namespace pellanor::platform
