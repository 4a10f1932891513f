// What crosses between a page and native code: texts that are not valid UTF-16, numbers JSON
// cannot hold, arguments nested past what the transport parser takes, and keys a page object
// treats specially.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::page;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

class EngineTransport : public EngineFixture {
protected:
    // Loads `script` in a main window that exposes `object`; the page ends the loop through
    // Transport.report(text), whose text is returned.
    QString runPage(TestObject* object, const QByteArray& script) {
        static QString report;
        report.clear();
        object->method("report", 1, [this](const std::vector<value>& args) {
            report = QString::fromStdU16String(args.at(0).toString());
            api->SciterExec(kAppStop, 0, 0);
            return value();
        });
        EXPECT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
        const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        servePages(window, {{"t/transport.html", page(script)}});
        api->SciterLoadFile(window, u"this://app/t/transport.html");
        EXPECT_EQ(runLoop(window), 0);
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        EXPECT_EQ(runLoop(window, 2000), 0);
        return report;
    }
};

TEST_F(EngineTransport, LoneSurrogatesSurviveTheTripBothWays) {
    auto* object = new TestObject("Transport");
    static std::u16string received;
    object->method("take", 1, [](const std::vector<value>& args) {
        received = args.at(0).getString();
        return value();
    });
    object->method("give", 0, [](const auto&) {
        return value(
            std::u16string(u"a\xD800"
                           u"b\xDC00"
                           u"c\xD83D\xDE00"));
    });
    const QString report = runPage(object, R"js(
        Transport.take('x\ud800y\udfffz');
        const s = Transport.give();
        Transport.report(Array.from(s, (c) => c.codePointAt(0).toString(16)).join(' '));
    )js");
    EXPECT_EQ(received, std::u16string(u"x\xD800y\xDFFFz"));
    EXPECT_EQ(report.toStdString(), "61 d800 62 dc00 63 1f600");
}

TEST_F(EngineTransport, NumbersOutsideIntegersAndJsonArriveAsFloatsOrNull) {
    auto* object = new TestObject("Transport");
    static std::vector<std::pair<std::uint32_t, double>> seen;
    seen.clear();
    object->method("take", 1, [](const std::vector<value>& args) {
        seen.emplace_back(args.at(0).type(), args.at(0).getFloat(-1));
        return value();
    });
    object->method("give", 0, [](const auto&) {
        value list = value::array();
        list.append(value(std::numeric_limits<double>::quiet_NaN()));
        list.append(value(std::numeric_limits<double>::infinity()));
        list.append(value(1e300));
        return list;
    });
    const QString report = runPage(object, R"js(
        for (const n of [2147483647, 2147483648, -2147483649, 1e300, 2 ** 53 + 2, NaN, -0, 3.0])
            Transport.take(n);
        Transport.report(JSON.stringify(Transport.give()));
    )js");
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[0], std::make_pair(std::uint32_t{kValueInt}, 2147483647.0));
    EXPECT_EQ(seen[1], std::make_pair(std::uint32_t{kValueFloat}, 2147483648.0));
    EXPECT_EQ(seen[2], std::make_pair(std::uint32_t{kValueFloat}, -2147483649.0));
    EXPECT_EQ(seen[3], std::make_pair(std::uint32_t{kValueFloat}, 1e300));
    EXPECT_EQ(seen[4], std::make_pair(std::uint32_t{kValueFloat}, 9007199254740994.0));
    EXPECT_EQ(seen[5].first, std::uint32_t{kValueNull});
    EXPECT_EQ(seen[6], std::make_pair(std::uint32_t{kValueInt}, 0.0));
    EXPECT_EQ(seen[7], std::make_pair(std::uint32_t{kValueInt}, 3.0));
    EXPECT_EQ(report.toStdString(), "[null,null,1e+300]");
}

TEST_F(EngineTransport, ArgumentsTooDeepOrTooLargeFailTheCallInsteadOfArrivingEmpty) {
    auto* object = new TestObject("Transport");
    static int calls = 0;
    static int depthSeen = 0;
    calls = 0;
    depthSeen = 0;
    object->method("take", 2, [](const std::vector<value>& args) {
        ++calls;
        int depth = 0;
        for (value v = args.at(0); v.isArray(); v = v.item(0)) ++depth;
        depthSeen = std::max(depthSeen, depth);
        return value(args.at(1).getInt());
    });
    const QString report = runPage(object, R"js(
        const nest = (n) => { let v = 1; for (let i = 0; i < n; ++i) v = [v]; return v; };
        const out = [Transport.take(nest(100), 7)];
        try { out.push(Transport.take(nest(1500), 8)); } catch (e) { out.push(e.message.split(':')[0]); }
        out.push(Transport.take('x'.repeat(2e6), 9));
        try { out.push(Transport.take('x'.repeat(3e6), 10)); } catch (e) { out.push(e.message.split(' (')[0]); }
        Transport.report(JSON.stringify(out));
    )js");
    EXPECT_EQ(report.toStdString(),
              "[7,\"the arguments of Transport.take cannot be read\",9,"
              "\"the arguments of Transport.take are too large\"]");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(depthSeen, 100);
}

TEST_F(EngineTransport, MapKeysArePlainPropertiesOfThePageObject) {
    auto* object = new TestObject("Transport");
    object->method("give", 0, [](const auto&) {
        value map = value::map();
        map.set(u"__proto__", value(u"polluted"));
        map.set(u"type", value::symbol(u"done"));
        return map;
    });
    const QString report = runPage(object, R"js(
        const m = Transport.give();
        Transport.report([Object.keys(m).join(','), m.__proto__, Object.getPrototypeOf(m) === Object.prototype].join(' '));
    )js");
    EXPECT_EQ(report.toStdString(), "__proto__,type polluted true");
}

}  // namespace
