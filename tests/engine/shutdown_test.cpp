// The engine's end while worker threads still call into pages: their calls fail instead of
// waiting for work the UI thread will never run. Its own process, as it shuts the engine down.
#include <chrono>
#include <future>
#include <thread>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

class EngineShutdown : public EngineFixture {};

TEST_F(EngineShutdown, AWorkerWaitingForAPageIsReleasedByShutdown) {
    auto* object = new TestObject("Keeper");
    static value* kept = nullptr;
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    object->method("keep", 1, [window](const std::vector<value>& args) {
        kept = new value(args.at(0));
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
    servePages(window,
               {{"t/keep.html", "<script>Keeper.keep(function () { return 1; });</script>"}});
    api->SciterLoadFile(window, u"this://app/t/keep.html");
    ASSERT_EQ(runLoop(window), 0);  // the loop is over: nothing runs queued work any more
    ASSERT_NE(kept, nullptr);

    std::promise<std::string> outcome;
    std::thread worker([&outcome] {
        try {
            kept->call({value(1)});
            outcome.set_value("ran");
        } catch (const sciter::script_error& error) {
            outcome.set_value(error.what());
        }
    });
    std::future<std::string> result = outcome.get_future();
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_EQ(api->SciterExec(kAppShutdown, 0, 0), 1);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(result.get(), "the engine is not running");
    worker.join();
    // After shutdown a call fails at once as well.
    EXPECT_THROW(kept->call(), sciter::script_error);
}

}  // namespace
