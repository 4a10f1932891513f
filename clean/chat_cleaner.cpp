// The chat-app engine: folder discovery, measurement, cleaning and the asynchronous work, one
// copy for both apps so that their rules cannot drift apart.
#include "clean/chat_cleaner.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

#include <exception>
#include <string>
#include <thread>

#include "clean/folder_guard.h"
#include "clean/folder_size.h"
#include "clean/host_path.h"
#include "clean/junk_item.h"
#include "log/logger.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/tree_removal.h"

namespace pellanor {
namespace {

constexpr char kTag[] = "NativeUtil";
// Far above any folder path; a longer value is not a path the apps wrote.
constexpr std::size_t kMaxRegistryTextBytes = 64 * 1024;

// Links, junctions and mount points are judged by the platform, as the removal judges them.
bool isLink(const QFileInfo& info) {
    return platform::leadsElsewhere(info.absoluteFilePath().toStdString());
}

// A save path from the registry is searched only where a junk rule could clean: a relative one
// would be resolved against this process's current folder, and a drive or the profile would
// make every folder there holding a "cache" an account.
bool isUsableRoot(const QString& root, const ChatApp& app) {
    const QString refusal = protectedFolderRefusal(root);
    if (!refusal.isEmpty()) {
        logging::info(kTag, "skip {} folder {} refused: {}", app.logName, root.toStdString(),
                      refusal.toStdString());
        return false;
    }
    return QFileInfo(hostPath(root)).isDir();
}

bool isAccount(const ChatApp& app, const QString& folder) {
    for (const char* marker : app.accountMarkers) {
        if (chatHasEntry(folder, QString::fromUtf8(marker))) return true;
    }
    return false;
}

QStringList accountFoldersUnder(const ChatApp& app, const QStringList& roots) {
    QStringList accounts;
    for (const QString& root : roots) {
        if (!isUsableRoot(root, app)) continue;
        for (const QString& folder : chatSubfolders(root)) {
            if (isAccount(app, folder)) accounts << folder;
        }
    }
    return accounts;
}

// True when a part of `folder` below `account` is a link or junction (or `folder` is not below
// `account` at all). Parts that do not exist are no links.
bool isReachedThroughLink(const QString& account, const QString& folder) {
    const QString base = QDir::fromNativeSeparators(hostPath(account));
    const QString target = QDir::fromNativeSeparators(hostPath(folder));
    if (!target.startsWith(base + QLatin1Char('/'))) return true;
    QString path = base;
    for (const QString& part : target.mid(base.size() + 1).split(QLatin1Char('/'))) {
        path += QLatin1Char('/') + part;
        if (isLink(QFileInfo(path))) return true;
    }
    return false;
}

QStringList categoryFoldersIn(const ChatApp& app, const QString& type,
                              const QStringList& accounts) {
    QStringList folders;
    for (const QString& account : accounts) {
        folders << chatAccountCategoryFolders(app, type, account);
    }
    return folders;
}

JunkItem itemOf(const ChatCategory& category, const QString& shownPath, quint64 size) {
    return JunkItem{QString::fromUtf8(category.type), QString::fromUtf8(category.name),
                    QString::fromUtf8(category.description), shownPath, static_cast<qint64>(size)};
}

QJsonArray idsOf(const QString& types) {
    const QJsonDocument document = QJsonDocument::fromJson(types.toUtf8());
    return document.isArray() ? document.array() : QJsonArray();
}

// `stop`, if given, is asked before each folder and by the removal before each entry.
bool clearCategories(const ChatApp& app, const QString& types, const CancelPredicate& stop = {}) {
    bool success = true;
    // A non-string element is the empty id, which names no folders.
    for (const QJsonValue& id : idsOf(types)) {
        for (const QString& folder : chatCategoryFolders(app, id.toString())) {
            if (stop && stop()) return success;
            // An account folder found under a save path the user typed may be anything.
            const QString refusal = protectedFolderRefusal(folder);
            if (!refusal.isEmpty()) {
                logging::info(kTag, "skip {} folder {} refused: {}", app.logName,
                              folder.toStdString(), refusal.toStdString());
                success = false;
                continue;
            }
            success = clearFolderContents(hostPath(folder), stop) && success;
        }
    }
    return success;
}

// An exception leaving a detached thread would end the whole process.
void send(const ChatApp& app, const ReportFunction& report, const QVariantMap& event) {
    if (!report) return;
    try {
        report(event);
    } catch (const std::exception& error) {
        logging::info(kTag, "{} report failed: {}", app.logName, error.what());
    } catch (...) {
        logging::info(kTag, "{} report failed: unknown error", app.logName);
    }
}

QVariantMap eventOf(const char* type) {
    return QVariantMap{{QLatin1String(kEventTypeKey), QLatin1String(type)}};
}

class ScanWorker final {
public:
    ScanWorker(const ChatApp& app, std::uint32_t generation, ReportFunction report)
        : m_app(app), m_generation(generation), m_report(std::move(report)) {}

    void run() {
        const QStringList roots = m_app.rootFolders();
        const QStringList accounts = accountFoldersUnder(m_app, roots);
        const QString shownPath = roots.join(QLatin1String(kChatRootSeparator));
        if (!accounts.isEmpty()) {
            for (const ChatCategory& category : m_app.categories) {
                if (!isCurrent()) break;
                const QJsonObject item = measure(category, accounts, shownPath);
                // A category cut short by a stop is not reported: its size would be too small.
                if (!isCurrent()) break;
                QVariantMap event = eventOf(kEventProgress);
                event.insert(
                    QLatin1String(kEventDataKey),
                    QString::fromUtf8(QJsonDocument(item).toJson(QJsonDocument::Indented)));
                send(m_app, m_report, event);
            }
        }
        send(m_app, m_report, eventOf(isCurrent() ? kEventDone : kEventStopped));
    }

    void fail(const char* message) {
        logging::info(kTag, "{} scan failed: {}", m_app.logName, message);
        QVariantMap event = eventOf(kEventError);
        event.insert(QLatin1String(kEventErrorKey), QString::fromUtf8(message));
        send(m_app, m_report, event);
    }

private:
    bool isCurrent() const { return m_app.scanGeneration->load() == m_generation; }

    QJsonObject measure(const ChatCategory& category, const QStringList& accounts,
                        const QString& shownPath) {
        const CancelPredicate cancelled = [this] { return !isCurrent(); };
        const QString type = QString::fromUtf8(category.type);
        QJsonArray details;
        quint64 categorySize = 0;
        for (const QString& account : accounts) {
            if (!isCurrent()) break;
            quint64 accountSize = 0;
            for (const QString& folder : chatAccountCategoryFolders(m_app, type, account)) {
                if (!isCurrent()) break;
                // Measured as clearFolderContents empties it: hidden files below go too.
                accountSize += reclaimableFolderSize(hostPath(folder), FolderClean::Empty,
                                                     cancelled, &m_seenFiles);
            }
            categorySize += accountSize;
            if (accountSize == 0) continue;
            details.append(
                QJsonObject{{QLatin1String(kChatDetailPathKey), account},
                            {QLatin1String(kChatDetailSizeKey), static_cast<double>(accountSize)}});
        }
        QJsonObject item = toJson(itemOf(category, shownPath, categorySize));
        item.insert(QLatin1String(kChatDetailsKey), details);
        return item;
    }

    const ChatApp& m_app;
    const std::uint32_t m_generation;
    const ReportFunction m_report;
    SeenFileSet m_seenFiles;  // one for the whole scan: a file counts in one category only
};

}  // namespace

QString chatDocumentsFolder() {
    const QString folder = QString::fromStdString(platform::documentsFolder());
    if (folder.isEmpty()) logging::info(kTag, "documents folder unknown, its chat folders skipped");
    return QDir::toNativeSeparators(folder);
}

QString chatRegistryText(const char* keyPath, const char* valueName) {
    namespace registry = platform::registry;
    const registry::Key key = registry::openKey(registry::Root::CurrentUser, keyPath,
                                                registry::View::Default, registry::Access::Read);
    if (!key.isOpen()) return {};
    registry::Value value;
    if (registry::queryValue(key, valueName, kMaxRegistryTextBytes, value) != registry::kSuccess) {
        return {};
    }
    if (value.type != registry::ValueType::String &&
        value.type != registry::ValueType::ExpandString) {
        return {};
    }
    return QString::fromStdString(registry::dataText(value.data)).trimmed();
}

QStringList chatSubfolders(const QString& folder) {
    QStringList folders;
    const QFileInfoList entries =
        QDir(hostPath(folder)).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        if (!isLink(entry)) folders << entry.absoluteFilePath();
    }
    return folders;
}

bool chatHasEntry(const QString& folder, const QString& name) {
    const QFileInfo entry(hostPath(folder) + QLatin1Char('/') + name);
    return entry.exists() || entry.isSymLink();
}

QStringList chatAccountFolders(const ChatApp& app) {
    return accountFoldersUnder(app, app.rootFolders());
}

QStringList chatAccountCategoryFolders(const ChatApp& app, const QString& type,
                                       const QString& account) {
    QStringList folders;
    for (const QString& folder : app.accountFolders(type, account)) {
        if (isReachedThroughLink(account, folder)) {
            logging::info(kTag, "{} folder reached through a link, skipped: {}", app.logName,
                          folder.toStdString());
            continue;
        }
        folders << folder;
    }
    return folders;
}

QStringList chatCategoryFolders(const ChatApp& app, const QString& type) {
    return categoryFoldersIn(app, type, chatAccountFolders(app));
}

QString chatItems(const ChatApp& app) {
    const QStringList roots = app.rootFolders();
    const QStringList accounts = accountFoldersUnder(app, roots);
    if (accounts.isEmpty()) return toEnvelopeText({});
    const QString shownPath = roots.join(QLatin1String(kChatRootSeparator));
    SeenFileSet seenFiles;
    QList<JunkItem> items;
    for (const ChatCategory& category : app.categories) {
        quint64 size = 0;
        for (const QString& folder :
             categoryFoldersIn(app, QString::fromUtf8(category.type), accounts)) {
            size += reclaimableFolderSize(hostPath(folder), FolderClean::Empty, {}, &seenFiles);
        }
        items << itemOf(category, shownPath, size);
    }
    return toEnvelopeText(items);
}

bool cleanChatItems(const ChatApp& app, const QString& types) {
    const bool success = clearCategories(app, types);
    logging::info(kTag, "clean {} items. types={} success={}", app.logName, types.toStdString(),
                  success);
    return true;
}

int startChatScan(const ChatApp& app, ReportFunction report) {
    const std::uint32_t generation = ++*app.scanGeneration;
    std::thread worker([worker = ScanWorker(app, generation, std::move(report))]() mutable {
        try {
            worker.run();
        } catch (const std::exception& error) {
            worker.fail(error.what());
        } catch (...) {
            worker.fail("unknown error");
        }
    });
    worker.detach();
    return 1;
}

bool stopChatScan(const ChatApp& app) {
    ++*app.scanGeneration;
    return true;
}

int startChatClean(const ChatApp& app, const QString& types, ReportFunction report) {
    CleanStop::Run run(*app.cleanStop);
    std::thread worker([&app, types, report = std::move(report), run = std::move(run)]() mutable {
        bool success = false;
        try {
            success = clearCategories(app, types, run.predicate());
            if (run.cutShort()) logging::info(kTag, "clean {} items async stopped", app.logName);
            logging::info(kTag, "clean {} items async. types={} success={}", app.logName,
                          types.toStdString(), success);
        } catch (...) {
            success = false;
        }
        run.finish();
        QVariantMap event = eventOf(kEventDone);
        event.insert(QLatin1String(kEventSuccessKey), success);
        if (run.cutShort()) event.insert(QLatin1String(kEventStoppedKey), true);
        send(app, report, event);
    });
    worker.detach();
    return 1;
}

bool stopChatClean(const ChatApp& app) { return app.cleanStop->stop(); }

bool openChatFolder(const ChatApp& app, const QString& type) {
    for (const QString& folder : chatCategoryFolders(app, type)) {
        const QString host = hostPath(folder);
        if (!QFileInfo(host).isDir()) continue;
        const QString target = QDir::toNativeSeparators(host);
        const bool started = platform::openInFileManager(target.toStdString());
        logging::info(kTag, "open {} folder {} result: {}", app.logName, target.toStdString(),
                      started);
        return started;
    }
    logging::info(kTag, "open {} folder: no folder of type {}", app.logName, type.toStdString());
    return false;
}

}  // namespace pellanor
