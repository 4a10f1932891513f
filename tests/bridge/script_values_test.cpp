// Argument and result conversion: the engine front end, the JSON front end of pellanor-cli (which
// must read every scalar the way the engine does), and report maps handed to page callbacks.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "bridge/script_values.h"
#include "tests/engine/engine_loader.h"
#include "tests/util/log_capture.h"

namespace {

using pellanor::bridge::Argument;
using pellanor::bridge::fromJson;
using pellanor::bridge::fromScript;
using pellanor::bridge::ParamKind;
using pellanor::bridge::ReportFunction;
using pellanor::bridge::toScript;
using sciter::value;

class ScriptValues : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(pellanor::test_support::loadEngine(), nullptr); }
};

TEST_F(ScriptValues, ScalarsReadAlikeFromPagesAndFromTheCommandLine) {
    struct Case {
        value script;
        QJsonValue json;
        QString text;
        int integer;
        double number;
    };
    const std::vector<Case> cases = {
        {value(u"abc"), QJsonValue(QStringLiteral("abc")), QStringLiteral("abc"), 0, 0},
        {value(u"5"), QJsonValue(QStringLiteral("5")), QStringLiteral("5"), 0, 0},
        {value(5), QJsonValue(5), QStringLiteral("5"), 5, 5},
        {value(-12), QJsonValue(-12), QStringLiteral("-12"), -12, -12},
        {value(1.5), QJsonValue(1.5), QStringLiteral("1.5"), 0, 1.5},
        {value(true), QJsonValue(true), QStringLiteral("true"), 1, 0},
        {value(false), QJsonValue(false), QStringLiteral("false"), 0, 0},
        {value::null(), QJsonValue(QJsonValue::Null), QStringLiteral("null"), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(std::get<QString>(fromScript(c.script, ParamKind::Text)), c.text);
        EXPECT_EQ(std::get<QString>(fromJson(c.json, ParamKind::Text)), c.text);
        EXPECT_EQ(std::get<int>(fromScript(c.script, ParamKind::Integer)), c.integer);
        EXPECT_EQ(std::get<int>(fromJson(c.json, ParamKind::Integer)), c.integer);
        EXPECT_DOUBLE_EQ(std::get<double>(fromScript(c.script, ParamKind::Float)), c.number);
        EXPECT_DOUBLE_EQ(std::get<double>(fromJson(c.json, ParamKind::Float)), c.number);
    }
    // A missing argument is undefined in a page, and so on the command line.
    EXPECT_EQ(std::get<QString>(fromScript(value(), ParamKind::Text)), QStringLiteral("undefined"));
    EXPECT_EQ(std::get<QString>(fromJson(QJsonValue(), ParamKind::Text, false)),
              QStringLiteral("undefined"));
    EXPECT_EQ(std::get<int>(fromJson(QJsonValue(), ParamKind::Integer, false)), 0);
    // Structured input for a text parameter travels as JSON text.
    EXPECT_EQ(std::get<QString>(fromJson(QJsonArray{QStringLiteral("1"), 2}, ParamKind::Text)),
              QStringLiteral("[\"1\",2]"));
}

TEST_F(ScriptValues, ReportMapsReachThePageWithSymbolKeysAndASymbolType) {
    QVariantMap event;
    event.insert(QStringLiteral("type"), QStringLiteral("progress"));
    event.insert(QStringLiteral("id"), 3);
    event.insert(QStringLiteral("data"), QStringLiteral("{\"list\": []}"));
    event.insert(QStringLiteral("size"), qint64(5000000000));
    event.insert(QStringLiteral("success"), true);

    std::vector<value> received;
    const value function = value::function([&received](const std::vector<value>& args) {
        received = args;
        return value();
    });
    const ReportFunction report = std::get<ReportFunction>(fromScript(function, ParamKind::Function));
    report(event);

    ASSERT_EQ(received.size(), 1u);
    const value& map = received[0];
    ASSERT_TRUE(map.isMap());
    ASSERT_EQ(map.length(), 5);
    for (int i = 0; i < map.length(); ++i) EXPECT_TRUE(map.key(i).isSymbol());
    const value type = map.item(value::symbol(u"type"));
    EXPECT_TRUE(type.isSymbol());
    EXPECT_EQ(type.getString(), u"progress");
    EXPECT_TRUE(map.item(value::symbol(u"id")).isInt());
    EXPECT_EQ(map.item(value::symbol(u"id")).getInt(), 3);
    const value data = map.item(value::symbol(u"data"));
    EXPECT_TRUE(data.isString() && !data.isSymbol());
    EXPECT_DOUBLE_EQ(map.item(value::symbol(u"size")).getFloat(), 5000000000.0);
    EXPECT_TRUE(map.item(value::symbol(u"success")).isBool());
}

TEST_F(ScriptValues, AReportForSomethingThatIsNotAFunctionIsDroppedWithALogLine) {
    pellanor::test_support::LogCapture log;
    QVariantMap done{{QStringLiteral("type"), QStringLiteral("done")}};
    // Not a function: the report is dropped with a line, nothing is invoked.
    std::get<ReportFunction>(fromScript(value(7), ParamKind::Function))(done);
    EXPECT_TRUE(log.contains("NativeUtil",
                             QStringLiteral("report done dropped: the callback is not a function")));
}

TEST_F(ScriptValues, ResultsKeepTheirTypes) {
    using pellanor::bridge::Result;
    EXPECT_TRUE(toScript(Result()).isUndefined());
    EXPECT_TRUE(toScript(Result(true)).isBool());
    EXPECT_EQ(toScript(Result(-4)).getInt(), -4);
    EXPECT_DOUBLE_EQ(toScript(Result(0.25)).getFloat(), 0.25);
    const value text = toScript(Result(QStringLiteral("h\u00e9llo")));
    EXPECT_TRUE(text.isString() && !text.isSymbol());
    EXPECT_EQ(text.getString(), u"h\u00e9llo");
}

}  // namespace
