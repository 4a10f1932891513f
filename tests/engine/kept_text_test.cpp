// Long texts handed to a page function travel beside the invoking script: they must arrive
// exactly as sent, in order with the short arguments around them, and be gone from the engine
// once their call ends, whether the page took them or not.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <thread>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::page;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

// Every character the transport treats specially, repeated to `length` units.
std::u16string awkwardText(std::size_t length, const std::u16string& extra = {}) {
    const std::u16string piece =
        u"{\"name\": \"Vid\u00e9o \\\"1\\\"\", \"path\": \"C:\\\\x\"}\u2028"
        u"\u2029</script>\u30d3\u30c7\u30aa\U0001F600\t\n\r\u0001"
        u"\u007f\uFEFF'`${x}" +
        extra;
    std::u16string text;
    text.reserve(length + piece.size());
    while (text.size() < length) text += piece;
    text.resize(length);
    // Never cut a surrogate pair in two at the end.
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u'.';
    return text;
}

// The page echoes each text it gets (the "data" of a map), notes the order, and records the
// requests its runtime makes for kept texts; "refuse next" makes it fail the next such request
// before it is sent, so that text is never taken. "end" asks for every recorded request again:
// each must fail, as a kept text is given out once and dropped with its call.
const QByteArray kEchoPage = R"js(
    const requested = [];
    const open = XMLHttpRequest.prototype.open;
    let refuseNext = false;
    XMLHttpRequest.prototype.open = function (method, url, ...rest) {
        if (String(url).includes('$engine/text')) {
            requested.push(String(url));
            if (refuseNext) {
                refuseNext = false;
                throw new Error('not taken');
            }
        }
        return open.call(this, method, url, ...rest);
    };
    const order = [];
    Texts.subscribe((argument) => {
        const text = typeof argument === 'string' ? argument : argument.data;
        order.push(text.length > 100 ? 'long ' + text.length : text);
        if (text === 'refuse next') refuseNext = true;
        if (text === 'end') {
            const again = requested.map((url) => {
                try {
                    const request = new XMLHttpRequest();
                    open.call(request, 'GET', url, false);
                    request.send();
                    return request.status === 200 ? 'answered ' + request.responseText.length : 'failed';
                } catch (error) {
                    return 'failed';
                }
            });
            setTimeout(() => Texts.report(JSON.stringify({order, requested: requested.length, again})), 0);
        }
        return text;
    });
)js";

struct Delivery {
    const char* label;
    std::u16string text;
    bool inMap;       // as a scan's report: {type: "progress", data: text}
    bool expectFail;  // the page refused to take it
};

std::vector<Delivery> deliveries() {
    const std::u16string loneSurrogate =
        awkwardText(80 * 1024, std::u16string(1, char16_t(0xD800)));
    return {
        {"short before", u"first", false, false},
        {"12 MB", awkwardText(12 * 1000 * 1000), false, false},
        {"just past the threshold, in a map", awkwardText(40 * 1024), true, false},
        {"short between", u"middle \"\\\u2028", false, false},
        {"long with a lone surrogate", loneSurrogate, true, false},
        {"just under the threshold", awkwardText(30 * 1024), false, false},
        {"short asking to refuse", u"refuse next", false, false},
        {"refused", awkwardText(200 * 1024), false, true},
        {"short after", u"last", false, false},
        {"end", u"end", false, false},
    };
}

class EngineKeptTexts : public EngineFixture {
protected:
    static inline value* subscriber = nullptr;
    static inline QString report;
    static inline std::vector<std::string> failures;

    // Sends every delivery to the page's function and checks what comes back.
    static void deliverAll() {
        for (const Delivery& delivery : deliveries()) {
            value argument(delivery.text);
            if (delivery.inMap) {
                argument = value::map();
                argument.set(u"type", value(u"progress"));
                argument.set(u"data", value(delivery.text));
            }
            try {
                const value echoed = subscriber->call({argument});
                if (delivery.expectFail) {
                    failures.push_back(std::string(delivery.label) + ": arrived");
                } else if (echoed.getString() != delivery.text) {
                    failures.push_back(std::string(delivery.label) + ": changed on the way (" +
                                       std::to_string(echoed.getString().size()) + " of " +
                                       std::to_string(delivery.text.size()) + " units back)");
                }
            } catch (const sciter::script_error& error) {
                if (!delivery.expectFail) {
                    failures.push_back(std::string(delivery.label) + ": " + error.what());
                }
            }
        }
    }

    QJsonObject run(bool fromUiThread) {
        auto* object = new TestObject("Texts");
        report.clear();
        failures.clear();
        static std::thread worker;
        static bool onUiThread = false;
        onUiThread = fromUiThread;
        object->method("subscribe", 1, [](const std::vector<value>& args) {
            subscriber = new value(args.at(0));
            if (!onUiThread) {
                worker = std::thread(deliverAll);
                return value();
            }
            // From the UI thread, as a timer runs: not inside this call, whose page waits.
            api->SciterSetTimer(mainWindow(), 7, 1,
                                [](SciterWindow, std::uintptr_t) { deliverAll(); });
            return value();
        });
        object->method("report", 1, [](const std::vector<value>& args) {
            report = QString::fromStdU16String(args.at(0).toString());
            api->SciterExec(kAppStop, 0, 0);
            return value();
        });
        EXPECT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
        mainWindow() = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        servePages(mainWindow(), {{"t/texts.html", page(kEchoPage)}});
        api->SciterLoadFile(mainWindow(), u"this://app/t/texts.html");
        EXPECT_EQ(runLoop(mainWindow(), 60000), 0);
        if (worker.joinable()) worker.join();
        delete subscriber;
        subscriber = nullptr;
        api->SciterPostMessage(mainWindow(), kMessageClose, 0, 0);
        EXPECT_EQ(runLoop(mainWindow(), 2000), 0);
        return QJsonDocument::fromJson(report.toUtf8()).object();
    }

    static SciterWindow& mainWindow() {
        static SciterWindow window = 0;
        return window;
    }
};

TEST_F(EngineKeptTexts, ArriveIntactInOrderOnceAndAreGoneAfterTheirCall) {
    for (const bool fromUiThread : {false, true}) {
        SCOPED_TRACE(fromUiThread ? "called on the UI thread" : "called from a worker");
        const QJsonObject seen = run(fromUiThread);
        EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
        const QJsonArray order = seen.value("order").toArray();
        // The refused text never reached the function; everything else did, in order.
        EXPECT_EQ(QJsonDocument(order).toJson(QJsonDocument::Compact).toStdString(),
                  "[\"first\",\"long 12000000\",\"long 40960\",\"middle \\\"\\\\\u2028\","
                  "\"long 81920\",\"long 30720\",\"refuse next\",\"last\",\"end\"]");
        // Kept: the 12 MB and the 40 KB texts and the refused one. Short texts, the one under
        // the threshold and the one UTF-8 cannot carry travel in the script.
        EXPECT_EQ(seen.value("requested").toInt(), 3);
        for (const QJsonValue& again : seen.value("again").toArray()) {
            EXPECT_EQ(again.toString().toStdString(), "failed");
        }
    }
}

// The page takes kept texts without blocking and answers later: if it loads another document
// meanwhile, the caller must be told the page is gone, not wait for an answer forever.
TEST_F(EngineKeptTexts, ACallWhosePageLeavesWhileTakingItsTextEnds) {
    auto* object = new TestObject("Leaver");
    static value* function = nullptr;
    static std::thread worker;
    static std::string outcome;
    outcome.clear();
    object->method("subscribe", 1, [](const std::vector<value>& args) {
        function = new value(args.at(0));
        worker = std::thread([] {
            try {
                function->call({value(awkwardText(2 * 1000 * 1000))});
                outcome = "answered";
            } catch (const sciter::script_error& error) {
                outcome = error.what();
            }
            api->SciterExec(kAppStop, 0, 0);
        });
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    servePages(window, {{"t/leaver.html", page(R"js(
        const open = XMLHttpRequest.prototype.open;
        XMLHttpRequest.prototype.open = function (method, url, ...rest) {
            if (String(url).includes('$engine/text')) location.href = 'this://app/t/elsewhere.html';
            return open.call(this, method, url, ...rest);
        };
        Leaver.subscribe((text) => text.length);
    )js")},
                        {"t/elsewhere.html", page("document.title = 'elsewhere';")}});
    api->SciterLoadFile(window, u"this://app/t/leaver.html");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runLoop(window, 20000), 0);
    if (worker.joinable()) worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_TRUE(outcome == "the page of this function is gone" ||
                outcome == "a text of this call is gone")
        << outcome;
    delete function;
    function = nullptr;
    api->SciterPostMessage(window, kMessageClose, 0, 0);
    runLoop(window, 2000);
}

}  // namespace
