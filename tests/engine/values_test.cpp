// Values as native code sees them: accessors, conversions, containers and function values.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>

#include "tests/engine/engine_loader.h"

using pellanor::test_support::loadEngine;
using pellanor::test_support::u16;
using sciter::value;

namespace {

class Values : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(loadEngine(), nullptr) << dlerror(); }
};

TEST_F(Values, LibraryExportsOnlyTheTableAndAnswersItsVersion) {
    void* library = dlopen(PELLANOR_ENGINE_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(dlsym(library, "_ZN6engine8valueInitEP11SciterValue"), nullptr);
    const SciterApi* api = loadEngine();
    EXPECT_EQ(api->SciterVersion(0), 6u);
    EXPECT_EQ(api->SciterVersion(1), 0u);
    EXPECT_EQ(api->SciterVersion(2), 4u);
    EXPECT_EQ(api->SciterVersion(3), 9u);
}

TEST_F(Values, IntegerAccessorTakesIntsAndBooleansAndGivesZeroForAnythingElse) {
    EXPECT_EQ(value(42).getInt(), 42);
    EXPECT_EQ(value(-7).getInt(), -7);
    EXPECT_EQ(value(true).getInt(), 1);
    EXPECT_EQ(value(u16("12")).getInt(), 0);
    EXPECT_EQ(value(2.5).getInt(), 0);
    EXPECT_EQ(value().getInt(), 0);
    EXPECT_EQ(value::null().getInt(), 0);
}

TEST_F(Values, FloatAccessorWidensIntegers) {
    EXPECT_DOUBLE_EQ(value(2.5).getFloat(), 2.5);
    EXPECT_DOUBLE_EQ(value(10485760).getFloat(), 10485760.0);
    EXPECT_DOUBLE_EQ(value(u16("3.5")).getFloat(), 0.0);
}

TEST_F(Values, SimpleToStringGivesTheTextOfNumbersAndKeepsStrings) {
    EXPECT_EQ(value(5).toString(), u"5");
    EXPECT_EQ(value(-12).toString(), u"-12");
    EXPECT_EQ(value(1.5).toString(), u"1.5");
    EXPECT_EQ(value(3.0).toString(), u"3");
    EXPECT_EQ(value(0.1).toString(), u"0.1");
    EXPECT_EQ(value(true).toString(), u"true");
    EXPECT_EQ(value::null().toString(), u"null");
    EXPECT_EQ(value().toString(), u"undefined");
    EXPECT_EQ(value(u"\u4e2d\u6587 text").toString(), u"\u4e2d\u6587 text");
    value list = value::array();
    list.append(value(1));
    list.append(value(u16("a")));
    EXPECT_EQ(list.toString(), u"[1,a]");
}

TEST_F(Values, StringUnitsMarkSymbolsAndErrors) {
    EXPECT_TRUE(value::symbol(u"done").isSymbol());
    EXPECT_EQ(value::symbol(u"done").getString(), u"done");
    EXPECT_TRUE(value::error(u"boom").isErrorString());
    EXPECT_FALSE(value(u"plain").isSymbol());
    EXPECT_EQ(value(7).getString(), u"");
}

TEST_F(Values, MapsKeepInsertionOrderAndReplaceInPlace) {
    value map = value::map();
    map.set(u"type", value::symbol(u"progress"));
    map.set(u"id", value(3));
    map.set(u"data", value(u16("[]")));
    map.set(u"id", value(4));
    ASSERT_EQ(map.length(), 3);
    EXPECT_EQ(map.key(0).getString(), u"type");
    EXPECT_TRUE(map.key(0).isSymbol());
    EXPECT_EQ(map.key(1).getString(), u"id");
    EXPECT_EQ(map.item(1).getInt(), 4);
    EXPECT_EQ(map.item(value::symbol(u"data")).getString(), u"[]");
    EXPECT_TRUE(map.item(value::symbol(u"missing")).isUndefined());
}

TEST_F(Values, CopiesShareContainersAndOutliveTheOriginal) {
    value copy;
    {
        value list = value::array();
        list.append(value(u16("kept")));
        copy = list;
        list.append(value(2));
        EXPECT_EQ(copy.length(), 2);
    }
    ASSERT_EQ(copy.length(), 2);
    EXPECT_EQ(copy.item(0).getString(), u"kept");
    EXPECT_TRUE(copy.item(5).isUndefined());
}

TEST_F(Values, WrongTypedContainerCallsFailWithoutTouchingTheValue) {
    const SciterApi* api = loadEngine();
    value number(5);
    EXPECT_EQ(api->ValueAppend(number.raw(), value(1).raw()), kValueIncompatibleType);
    EXPECT_EQ(api->ValueSetValueToKey(number.raw(), value(1).raw(), value(2).raw()),
              kValueIncompatibleType);
    EXPECT_EQ(number.getInt(), 5);
    EXPECT_EQ(api->ValueIntData(nullptr, nullptr), kValueBadParameter);
}

TEST_F(Values, NativeFunctionsRunOnTheInvokingThreadAndAreReleasedOnce) {
    int releases = 0;
    auto counter = std::shared_ptr<int>(new int(0), [&releases](int* token) {
        ++releases;
        delete token;
    });
    {
        value twice = value::function(
            [counter](const std::vector<value>& args) { return value(args.at(0).getInt() * 2); });
        counter.reset();
        value copy = twice;
        int fromThread = 0;
        std::thread([&] { fromThread = copy.call({value(21)}).getInt(); }).join();
        EXPECT_EQ(fromThread, 42);
        EXPECT_EQ(releases, 0);
    }
    EXPECT_EQ(releases, 1);
}

TEST_F(Values, ANativeFunctionReturningAnErrorThrowsAtTheCaller) {
    value failing =
        value::function([](const std::vector<value>&) { return value::error(u"no such file"); });
    EXPECT_THROW(failing.call(), sciter::script_error);
    EXPECT_THROW(value(3).call(), sciter::script_error);
}

}  // namespace

namespace {

// A second copy of the program initialises the engine and exits at once; it must not have made
// a Qt application (or anything that starts QtWebEngine) on the way.
TEST(EngineInit, InitAndOptionQueriesCreateNoApplicationObject) {
    const SciterApi* api = loadEngine();
    ASSERT_NE(api, nullptr);
    const char16_t* argv[] = {u"Pellanor.exe", u"LANG=de-de"};
    EXPECT_EQ(api->SciterExec(kAppInit, 2, reinterpret_cast<std::intptr_t>(argv)), 1);
    EXPECT_EQ(api->SciterGetOption(0, kOptionInspectorPort), 9222u);
    EXPECT_EQ(api->SciterRegisterMessage("EngineInitTest"),
              api->SciterRegisterMessage("EngineInitTest"));
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(api->SciterExec(kAppShutdown, 0, 0), 1);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

// The program may make the application object itself; a plain core one cannot hold widgets.
TEST(EngineInit, AWindowUnderACoreApplicationIsRefusedNotAborted) {
    const SciterApi* api = loadEngine();
    ASSERT_NE(api, nullptr);
    const char16_t* argv16[] = {u"Pellanor.exe"};
    api->SciterExec(kAppInit, 1, reinterpret_cast<std::intptr_t>(argv16));
    int argc = 1;
    char name[] = "Pellanor.exe";
    char* argv[] = {name, nullptr};
    {
        QCoreApplication application(argc, argv);
        EXPECT_EQ(api->SciterCreateWindow(kWindowMain, nullptr, 0), 0);
        EXPECT_FALSE(api->SciterIsWindow(1));
    }
    EXPECT_EQ(api->SciterExec(kAppShutdown, 0, 0), 1);
}

}  // namespace
