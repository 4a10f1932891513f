// The cleaning rule of each junk category and the summary line.
#include "clean/junk_cleaner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <exception>
#include <optional>
#include <thread>

#include "clean/child_tool.h"
#include "clean/clean_stop.h"
#include "clean/environment_path.h"
#include "clean/folder_guard.h"
#include "clean/junk_categories.h"
#include "clean/tree_removal.h"
#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/recycle_bin.h"
#include "system/processes.h"

namespace pellanor {
namespace {

constexpr char kTag[] = "NativeUtil";
constexpr int kPowercfgTimeoutMs = 30000;

// The host folder of rule `id`, or nullopt when the expansion names a place no rule may clean
// (a relative path, a drive, the profile or a system folder): the rule is then skipped.
std::optional<QString> ruleFolder(const char* id, const char* location) {
    const QString expanded = expandEnvironmentPath(QString::fromUtf8(location));
    const QString refusal = protectedFolderRefusal(expanded);
    if (!refusal.isEmpty()) {
        logging::info(kTag, "skip {} cleaning, folder {} refused: {}", id, expanded, refusal);
        return std::nullopt;
    }
    return absoluteHostFolder(expanded);
}

CleanStop& junkCleanStop() {
    static CleanStop signal;
    return signal;
}

bool clearRuleFolder(const char* id, const char* location, const CancelPredicate& stop) {
    const auto folder = ruleFolder(id, location);
    return folder && clearFolderContents(*folder, stop);
}

bool cleanThumbnailCache(const CancelPredicate& stop) {
    const auto explorer = ruleFolder(kThumbcacheId, kThumbcacheFolder);
    if (!explorer) return false;
    const QDir folder(*explorer);
    if (!folder.exists()) return true;
    bool ok = true;
    const QStringList names =
        folder.entryList({QLatin1String(kThumbcachePattern)}, QDir::Files, QDir::NoSort);
    for (const QString& name : names) {
        if (stop && stop()) return ok;
        ok = QFile::remove(folder.filePath(name)) && ok;
    }
    return ok;
}

bool turnHibernationOff() {
    const ToolRun run =
        runTool(QStringLiteral("powercfg.exe"),
                {QStringLiteral("/hibernate"), QStringLiteral("off")}, kPowercfgTimeoutMs);
    return run.finished && run.exitCode == 0;
}

bool cleanBrowserCache(const char* process, const char* browser, const char* location,
                       const CancelPredicate& stop) {
    if (isProcessRunning(QString::fromUtf8(process))) {
        logging::info(kTag, "{} is running, skip cache cleaning to avoid ERR_CACHE_READ_FAILURE",
                      browser);
        return true;
    }
    const auto folder = ruleFolder(browser, location);
    if (!folder) return false;
    const QString cache = *folder;
    if (!QFileInfo::exists(cache)) return true;
    return removeFolderTree(cache, stop);
}

bool cleanFirefoxCache(const CancelPredicate& stop) {
    if (isProcessRunning(QStringLiteral("firefox.exe"))) {
        logging::info(kTag, "firefox is running, skip cache cleaning to avoid cache corruption");
        return true;
    }
    const auto profiles = ruleFolder(kFirefoxId, kFirefoxProfilesFolder);
    if (!profiles) return false;
    bool ok = true;
    for (const QString& profile : firefoxProfileFolders(*profiles)) {
        const QString cache = profile + QLatin1Char('/') + QLatin1String(kFirefoxCacheSubfolder);
        if (stop && stop()) break;
        if (QFileInfo::exists(cache)) ok = removeFolderTree(cache, stop) && ok;
    }
    return ok;
}

// Returns false when the rule failed in a way the summary reports.
bool cleanCategory(const QString& id, const CancelPredicate& stop) {
    if (id == QLatin1String(kThumbcacheId)) return cleanThumbnailCache(stop);
    if (id == QLatin1String(kRecentId)) return clearRuleFolder(kRecentId, kRecentFolder, stop);
    if (id == QLatin1String(kTempId)) return clearRuleFolder(kTempId, kTempFolder, stop);
    if (id == QLatin1String(kPrefetchId)) {
        return clearRuleFolder(kPrefetchId, kPrefetchFolder, stop);
    }
    if (id == QLatin1String(kRecycleBinId)) return platform::emptyRecycleBin();
    if (id == QLatin1String(kHibernateId)) return turnHibernationOff();
    if (id == QLatin1String(kChromeId)) {
        return cleanBrowserCache("chrome.exe", "chrome", kChromeCacheFolder, stop);
    }
    if (id == QLatin1String(kEdgeId)) {
        return cleanBrowserCache("msedge.exe", "edge", kEdgeCacheFolder, stop);
    }
    if (id == QLatin1String(kFirefoxId)) return cleanFirefoxCache(stop);
    return true;
}

QJsonArray idsOf(const QString& types) {
    const QJsonDocument document = QJsonDocument::fromJson(types.toUtf8());
    return document.isArray() ? document.array() : QJsonArray();
}

// The routine of both script methods; `stop` is asked between ids and by every removal.
void cleanIds(const QString& types, const CancelPredicate& stop) {
    bool success = true;
    // A non-string element is the empty id, which matches no rule.
    for (const QJsonValue& id : idsOf(types)) {
        if (stop && stop()) {
            logging::info(kTag, "clean privacy items stopped before {}", id.toString());
            break;
        }
        success = cleanCategory(id.toString(), stop) && success;
    }
    logging::info(kTag, "clean privacy items. types={} success={}", types.toStdString(), success);
}

}  // namespace

bool clearFolderContents(const QString& folder, const CancelPredicate& stop) {
    emptyFolder(folder, stop);
    return true;
}

bool cleanPrivacyItems(const QString& types) {
    cleanIds(types, {});
    return true;
}

int cleanPrivacyItemsAsync(const QString& types, ReportFunction report) {
    CleanStop::Run run(junkCleanStop());
    std::thread worker([types, report = std::move(report), run = std::move(run)]() mutable {
        bool success = false;
        try {
            cleanIds(types, run.predicate());
            success = true;
        } catch (...) {
            success = false;
        }
        run.finish();
        if (!report) return;
        QVariantMap event{{QLatin1String(kEventTypeKey), QLatin1String(kEventDone)},
                          {QLatin1String(kEventSuccessKey), success}};
        if (run.cutShort()) event.insert(QLatin1String(kEventStoppedKey), true);
        // An exception leaving a detached thread would end the whole process.
        try {
            report(event);
        } catch (const std::exception& error) {
            logging::info(kTag, "clean privacy items report failed: {}", error.what());
        } catch (...) {
            logging::info(kTag, "clean privacy items report failed: unknown error");
        }
    });
    worker.detach();
    return 1;
}

bool stopCleanPrivacyItems() { return junkCleanStop().stop(); }

}  // namespace pellanor
