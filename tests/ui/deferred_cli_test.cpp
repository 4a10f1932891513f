// Download reports as pellanor-cli delivers them without a main window: on the timers of the
// application's own thread, from whichever thread reports, until the final one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <thread>

#include "tests/util/log_capture.h"
#include "ui/deferred_calls.h"

namespace {

using pellanor::test_support::LogCapture;

TEST(ApplicationTimerDeliveries, ReachTheFunctionOnTheApplicationThreadUntilTheFinalReport) {
    int argc = 1;
    char name[] = "deferred_cli_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    pellanor::ui::deliverOnApplicationTimers();
    LogCapture log;

    QStringList received;
    bool onApplicationThread = true;
    pellanor::ui::registerDownloadCallback(
        QStringLiteral("dl_1"), [&](const QVariantList& arguments, QString&) {
            onApplicationThread &= QThread::currentThread() == application.thread();
            received << arguments.value(0).toMap().value(QStringLiteral("type")).toString();
            return true;
        });
    const auto report = [](const char* type, bool final) {
        return pellanor::ui::runDownloadCallbackOnUiThread(
            QStringLiteral("dl_1"), {{QStringLiteral("type"), QString::fromLatin1(type)}}, final);
    };
    unsigned first = 0;
    unsigned last = 0;
    std::thread worker([&] {
        first = report("progress", false);
        last = report("done", true);
        report("progress", false);  // after the final one: dropped
    });
    worker.join();
    EXPECT_GE(first, 1u);
    EXPECT_EQ(last, first + 1);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!log.contains("NativeUtil", QStringLiteral("OnDownloadUiThreadCallback: requestId=dl_1 "
                                                      "no longer active, skip")) &&
           std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(received, (QStringList{QStringLiteral("progress"), QStringLiteral("done")}));
    EXPECT_TRUE(onApplicationThread);
    EXPECT_FALSE(log.contains("NativeUtil",
                              QStringLiteral("runDownloadCallbackOnUiThread: no main window")));
}

}  // namespace
