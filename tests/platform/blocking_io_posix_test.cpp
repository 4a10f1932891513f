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
        // FileReader refuses pipes, so the read is a plain one with the same no-retry rule.
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        char buffer[16];
        result = fd >= 0 ? ::read(fd, buffer, sizeof buffer) : -2;
        if (fd >= 0) ::close(fd);
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

TEST(FileReader, RefusesPipesAndDevicesInsteadOfWaitingOnThem) {
    const auto fifo =
        std::filesystem::temp_directory_path() / ("pellanor-fifo-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Nobody writes to the pipe: a blocking open would never return.
    auto opened = std::async(std::launch::async, [&] { return FileReader().open(fifo.string()); });
    const bool answered = opened.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!answered) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    EXPECT_TRUE(answered);
    EXPECT_FALSE(opened.get());
    std::filesystem::remove(fifo);
    FileReader reader;
    EXPECT_FALSE(reader.open("/dev/zero"));  // would never reach its end
    EXPECT_FALSE(reader.open(std::filesystem::temp_directory_path().string()));
}

}  // namespace
}  // namespace pellanor::platform
