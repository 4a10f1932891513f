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

// Every member pages may ever find on NativeUtil, in registration order, with the kinds of its
// parameters: T text, I integer or boolean, F float, C script function that reports, L script
// function called later on the UI thread; "-" marks a property.
// Services join the table over time; whatever is present must keep this order and signature.
const std::vector<std::pair<const char*, const char*>> kFullTable = {
    {"log", "TT"},
    {"is64BitOS", ""},
    {"isWindows7", ""},
    {"isInternetAvailable", ""},
    {"getRegistryString", "TT"},
    {"createDesktopShortcut", "TTTT"},
    {"setTrayIcon", ""},
    {"getDesktopPath", ""},
    {"getCommandLine", ""},
    {"isProcessRunning", "T"},
    {"getProcessIDList", "T"},
    {"getProcessNameList", ""},
    {"killProcess", "T"},
    {"getSecondsSinceEpoch", ""},
    {"OS", ""},
    {"cpuArchitecture", ""},
    {"kernelType", ""},
    {"kernelVersion", ""},
    {"appDataPath", ""},
    {"programsPath", ""},
    {"selectFolder", "TT"},
    {"isNetworkConnected", ""},
    {"copyFile", "TTI"},
    {"moveFile", "TTI"},
    {"launch", "TTT"},
    {"setSharedMemoryValue", "TT"},
    {"getSharedMemoryValue", "T"},
    {"language", ""},
    {"mkdir", "T"},
    {"arguments", ""},
    {"getDiskList", ""},
    {"getMemeryBits", ""},
    {"getSystemDriveFreeBits", ""},
    {"getSystemDriveTotalBits", ""},
    {"getLogicalDrives", ""},
    {"getInstalledPrograms", ""},
    {"uninstallProgram", "T"},
    {"scanLargeFiles", "TF"},
    {"startScanLargeFiles", "TFC"},
    {"startScanLargeFilesIncremental", "TFC"},
    {"stopScanLargeFiles", "I"},
    {"addScanLargeFilesFolder", "IT"},
    {"findDuplicateFiles", "T"},
    {"startScanDuplicateFiles", "TC"},
    {"startScanDuplicateFilesIncremental", "TC"},
    {"stopScanDuplicateFiles", "I"},
    {"addScanDuplicateFilesFolder", "IT"},
    {"getStartupItems", ""},
    {"removeStartupItem", "TTT"},
    {"getPrivacyItems", ""},
    {"cleanPrivacyItems", "T"},
    {"cleanPrivacyItemsAsync", "TC"},
    {"getWechatItems", ""},
    {"cleanWechatItems", "T"},
    {"startScanWechat", "C"},
    {"stopScanWechat", ""},
    {"openWechatFolder", "T"},
    {"startCleanWechat", "TC"},
    {"getQqItems", ""},
    {"cleanQqItems", "T"},
    {"startScanQq", "C"},
    {"stopScanQq", ""},
    {"openQqFolder", "T"},
    {"startCleanQq", "TC"},
    {"getPagefileSize", ""},
    {"migratePagefile", "T"},
    {"getFileSha256", "T"},
    {"getFolderSize", "T"},
    {"setRegistryString", "TTT"},
    {"setRegistryIntValue", "TTI"},
    {"removeRegistry", "TT"},
    {"removeRegistryKey", "T"},
    {"removeFile", "T"},
    {"removeDir", "T"},
    {"scheduleSelfDelete", "T"},
    {"openFolder", "T"},
    {"getTempPath", ""},
    {"toBase64Str", "T"},
    {"getCursorX", ""},
    {"getCursorY", ""},
    {"getMonitorCount", ""},
    {"processFolder", ""},
    {"checkUpdate", ""},
    {"getVersionList", ""},
    {"getAppInfo", ""},
    {"submitFeedback", "T"},
    {"reportEvent", "T"},
    {"getClientId", ""},
    {"generateQrSvg", "T"},
    {"openUrl", "T"},
    {"copyToClipboard", "T"},
    {"downloadUpdate", "TTL"},
    {"cancelDownload", "T"},
    {"getSetting", "TT"},
    {"setSetting", "TT"},
    {"isStartupOnBoot", ""},
    {"setStartupOnBoot", "I"},
    {"setMinimizeOnClose", "I"},
    {"exitApp", ""},
    {"enableMenuOutsideClickClose", "IIII"},
    {"disableMenuOutsideClickClose", ""},
    {"getProcessFullDir", ""},
    {"signalMainWindowReady", ""},
    {"setTimeoutOnce", "LI"},
    {"isMainWindowReady", ""},
    {"notifyRunningInstanceQuit", ""},
    {"isDebug", "-"},
    {"isAutoReload", "-"},
    {"canMainWindowTopmost", "-"},
    {"nativeVersion", "-"},
    {"mainWindowPath", "-"},
    {"updateWindowPath", "-"},
    {"historyWindowPath", "-"},
    {"hotkeyWindowPath", "-"},
    {"listFolder", "T"},
    {"installFolderRefusal", "T"},
    {"recordInstalled", "TT"},
    {"scheduleInstallRemoval", "T"},
    {"startDeleteFiles", "TTC"},
    {"stopDeleteFiles", "I"},
    {"stopCleanPrivacyItems", ""},
    {"stopCleanWechat", ""},
    {"stopCleanQq", ""},
};

std::vector<ParamKind> paramsOf(const std::string& signature) {
    static const std::map<char, ParamKind> kinds = {{'T', ParamKind::Text},
                                                    {'I', ParamKind::Integer},
                                                    {'F', ParamKind::Float},
                                                    {'C', ParamKind::Function},
                                                    {'L', ParamKind::Callable}};
    std::vector<ParamKind> params;
    for (const char kind : signature) params.push_back(kinds.at(kind));
    return params;
}

TEST(NativeUtilTable, KeepsTheRegistrationOrderAndSignaturesPagesRelyOn) {
    std::map<std::string, std::size_t> position;
    for (std::size_t i = 0; i < kFullTable.size(); ++i) position[kFullTable[i].first] = i;

    const std::vector<Member>& members = pellanor::bridge::nativeUtilClass().members();
    ASSERT_FALSE(members.empty());
    ASSERT_NE(pellanor::bridge::nativeUtilClass().find(QStringLiteral("log")), nullptr);
    std::size_t next = 0;  // the first position the next member may take
    for (const Member& member : members) {
        SCOPED_TRACE(member.name);
        const auto found = position.find(member.name);
        ASSERT_NE(found, position.end()) << "not a NativeUtil member";
        EXPECT_GE(found->second, next) << "out of registration order, or listed twice";
        next = found->second + 1;
        const std::string signature = kFullTable[found->second].second;
        if (signature == "-") {
            EXPECT_EQ(member.kind, MemberKind::Property);
        } else {
            EXPECT_EQ(member.kind, MemberKind::Method);
            EXPECT_EQ(member.params, paramsOf(signature));
        }
    }
}

TEST(NativeUtilTable, TakesCallbacksExactlyWhereAsynchronousMethodsReport) {
    const auto& table = pellanor::bridge::nativeUtilClass();
    for (const char* name :
         {"startScanLargeFiles", "startScanDuplicateFiles", "startScanLargeFilesIncremental",
          "startScanDuplicateFilesIncremental", "cleanPrivacyItemsAsync", "startScanWechat",
          "startCleanWechat", "startScanQq", "startCleanQq"}) {
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
