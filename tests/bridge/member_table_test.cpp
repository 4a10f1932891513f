// The NativeUtil member table: the order pages see, the parameter counts they rely on, and the
// passports built from such tables.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "bridge/native_util.h"
#include "tests/engine/engine_loader.h"
#include "tests/util/log_capture.h"

namespace {

using pellanor::bridge::Arguments;
using pellanor::bridge::Member;
using pellanor::bridge::MemberKind;
using pellanor::bridge::ParamKind;
using pellanor::bridge::Result;
using pellanor::bridge::ScriptClass;

// Every member pages may ever find on NativeUtil, in registration order, with its parameter
// count (-1: a property). Services join the table over time; whatever is present must keep this
// order and these counts.
const std::vector<std::pair<const char*, int>> kFullTable = {
    {"log", 2}, {"is64BitOS", 0}, {"isWindows7", 0}, {"isInternetAvailable", 0},
    {"getRegistryString", 2}, {"createDesktopShortcut", 4}, {"setTrayIcon", 0},
    {"getDesktopPath", 0}, {"getCommandLine", 0}, {"isProcessRunning", 1}, {"getProcessIDList", 1},
    {"getProcessNameList", 0}, {"killProcess", 1}, {"getSecondsSinceEpoch", 0}, {"OS", 0},
    {"cpuArchitecture", 0}, {"kernelType", 0}, {"kernelVersion", 0}, {"appDataPath", 0},
    {"programsPath", 0}, {"selectFolder", 2}, {"isNetworkConnected", 0}, {"copyFile", 3},
    {"moveFile", 3}, {"launch", 3}, {"setSharedMemoryValue", 2}, {"getSharedMemoryValue", 1},
    {"language", 0}, {"mkdir", 1}, {"arguments", 0}, {"getDiskList", 0}, {"getMemeryBits", 0},
    {"getSystemDriveFreeBits", 0}, {"getSystemDriveTotalBits", 0}, {"getLogicalDrives", 0},
    {"getInstalledPrograms", 0}, {"uninstallProgram", 1}, {"scanLargeFiles", 2},
    {"startScanLargeFiles", 3}, {"stopScanLargeFiles", 1}, {"addScanLargeFilesFolder", 2},
    {"findDuplicateFiles", 1}, {"startScanDuplicateFiles", 2}, {"stopScanDuplicateFiles", 1},
    {"addScanDuplicateFilesFolder", 2}, {"getStartupItems", 0}, {"removeStartupItem", 3},
    {"getPrivacyItems", 0}, {"cleanPrivacyItems", 1}, {"cleanPrivacyItemsAsync", 2},
    {"getWechatItems", 0}, {"cleanWechatItems", 1}, {"startScanWechat", 1}, {"stopScanWechat", 0},
    {"openWechatFolder", 1}, {"startCleanWechat", 2}, {"getQqItems", 0}, {"cleanQqItems", 1},
    {"startScanQq", 1}, {"stopScanQq", 0}, {"openQqFolder", 1}, {"startCleanQq", 2},
    {"getPagefileSize", 0}, {"migratePagefile", 1}, {"getFileSha256", 1}, {"getFolderSize", 1},
    {"setRegistryString", 3}, {"setRegistryIntValue", 3}, {"removeRegistry", 2},
    {"removeRegistryKey", 1}, {"removeFile", 1}, {"removeDir", 1}, {"scheduleSelfDelete", 1},
    {"openFolder", 1}, {"getTempPath", 0}, {"toBase64Str", 1}, {"getCursorX", 0},
    {"getCursorY", 0}, {"getMonitorCount", 0}, {"processFolder", 0}, {"checkUpdate", 0},
    {"getVersionList", 0}, {"getAppInfo", 0}, {"submitFeedback", 1}, {"reportEvent", 1},
    {"getClientId", 0}, {"generateQrSvg", 1}, {"openUrl", 1}, {"copyToClipboard", 1},
    {"downloadUpdate", 3}, {"cancelDownload", 1}, {"getSetting", 2}, {"setSetting", 2},
    {"isStartupOnBoot", 0}, {"setStartupOnBoot", 1}, {"setMinimizeOnClose", 1}, {"exitApp", 0},
    {"enableMenuOutsideClickClose", 4}, {"disableMenuOutsideClickClose", 0},
    {"getProcessFullDir", 0}, {"signalMainWindowReady", 0}, {"setTimeoutOnce", 2},
    {"isMainWindowReady", 0}, {"notifyRunningInstanceQuit", 0}, {"isDebug", -1},
    {"isAutoReload", -1}, {"canMainWindowTopmost", -1}, {"nativeVersion", -1},
    {"mainWindowPath", -1}, {"updateWindowPath", -1}, {"historyWindowPath", -1},
    {"hotkeyWindowPath", -1},
};

TEST(NativeUtilTable, KeepsTheRegistrationOrderAndParameterCountsPagesRelyOn) {
    std::map<std::string, std::size_t> position;
    for (std::size_t i = 0; i < kFullTable.size(); ++i) position[kFullTable[i].first] = i;

    std::size_t previous = 0;
    for (const Member& member : pellanor::bridge::nativeUtilClass().members()) {
        SCOPED_TRACE(member.name);
        const auto found = position.find(member.name);
        ASSERT_NE(found, position.end()) << "not a NativeUtil member";
        EXPECT_GE(found->second, previous) << "out of registration order";
        previous = found->second;
        const int expected = kFullTable[found->second].second;
        EXPECT_EQ(member.kind, expected < 0 ? MemberKind::Property : MemberKind::Method);
        if (expected >= 0) {
            EXPECT_EQ(static_cast<int>(member.params.size()), expected);
        }
    }
}

TEST(NativeUtilTable, TakesCallbacksExactlyWhereAsynchronousMethodsReport) {
    const auto& table = pellanor::bridge::nativeUtilClass();
    for (const char* name : {"startScanLargeFiles", "startScanDuplicateFiles", "cleanPrivacyItemsAsync",
                             "startScanWechat", "startCleanWechat", "startScanQq", "startCleanQq"}) {
        const Member* member = table.find(QString::fromLatin1(name));
        ASSERT_NE(member, nullptr) << name;
        EXPECT_EQ(member->params.back(), ParamKind::Function) << name;
    }
    EXPECT_EQ(table.find(QStringLiteral("scanLargeFiles"))->params.at(1), ParamKind::Float);
    EXPECT_EQ(table.find(QStringLiteral("stopScanLargeFiles"))->params.at(0), ParamKind::Integer);
    EXPECT_EQ(table.find(QStringLiteral("nosuch")), nullptr);
}

TEST(NativeUtilTable, PageLinesCarryTheirTagInTwelveColumns) {
    pellanor::test_support::LogCapture log;
    const auto& table = pellanor::bridge::nativeUtilClass();
    Result result;
    QString error;
    ASSERT_TRUE(table.invoke(*table.find(QStringLiteral("log")), nullptr,
                             Arguments({QStringLiteral("hello"), QStringLiteral("Page")}), result,
                             error));
    EXPECT_EQ(std::get<int>(result), 0);
    const QString longer(400, QLatin1Char('x'));
    table.invoke(*table.find(QStringLiteral("log")), nullptr,
                 Arguments({longer, QStringLiteral("AVeryLongPageTag")}), result, error);
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("[        Page] hello"),
                                        QStringLiteral("[AVeryLongPageTag] ") + longer}));
}

class Passports : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(pellanor::test_support::loadEngine(), nullptr); }
};

TEST_F(Passports, EntriesConvertArgumentsAndTurnEscapingErrorsIntoErrorValues) {
    static const ScriptClass probe(
        "Probe",
        {pellanor::bridge::method("join", {ParamKind::Text, ParamKind::Integer},
                                  [](const Arguments& a) -> Result {
                                      return a.text(0) + QString::number(a.integer(1));
                                  }),
         pellanor::bridge::property("version", [] { return Result(QStringLiteral("1.3.6")); }),
         pellanor::bridge::method("explode", {}, [](const Arguments&) -> Result {
             throw std::runtime_error("no thread could be started");
         })});
    const SciterApi* api = sciter::api();
    const SciterPassport* passport = probe.passport();
    ASSERT_EQ(passport->methodCount, 2u);
    ASSERT_EQ(passport->propertyCount, 1u);
    EXPECT_EQ(passport->name, api->SciterAtomValue("Probe"));
    EXPECT_EQ(passport->methods[0].name, api->SciterAtomValue("join"));
    EXPECT_EQ(passport->methods[0].params, 2u);
    EXPECT_EQ(passport->properties[0].name, api->SciterAtomValue("version"));
    void* object = probe.bind(nullptr);

    // A number for the text parameter gives its text; a string for the integer one gives 0.
    const sciter::value arguments[] = {sciter::value(2.5), sciter::value(u"7")};
    const SciterValue raw[] = {*arguments[0].raw(), *arguments[1].raw()};
    SciterValue out{};
    ASSERT_TRUE(passport->methods[0].entry(object, 2, raw, &out));
    EXPECT_EQ(sciter::value::adopt(out).getString(), u"2.50");

    SciterValue missing{};
    ASSERT_TRUE(passport->methods[0].entry(object, 0, nullptr, &missing));
    EXPECT_EQ(sciter::value::adopt(missing).getString(), u"undefined0");

    SciterValue version{};
    ASSERT_TRUE(passport->properties[0].getter(object, &version));
    EXPECT_EQ(sciter::value::adopt(version).getString(), u"1.3.6");

    SciterValue failure{};
    ASSERT_TRUE(passport->methods[1].entry(object, 0, nullptr, &failure));
    const sciter::value error = sciter::value::adopt(failure);
    EXPECT_TRUE(error.isErrorString());
    EXPECT_EQ(error.getString(), u"no thread could be started");
}

}  // namespace
