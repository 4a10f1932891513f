// The engine's process-wide state: application commands and options, atoms, global script
// objects, archives, registered messages and the live windows. Lives on the UI thread; the few
// entries callable from any thread queue their work to it.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/sdk/sciter_api.h"
#include "engine/src/archive.h"

class QApplication;
class QWebEngineProfile;

namespace engine {

class SchemeHandler;
class Window;

struct Asset {
    void* object = nullptr;
    const SciterPassport* passport = nullptr;
};

class Host final : public QObject {
    Q_OBJECT
public:
    // The one host; created by kAppInit (or by the first call that needs it).
    static Host& instance();
    // Null before kAppInit and after kAppShutdown; safe from any thread.
    static Host* existing();

    void init(const QStringList& arguments);
    std::intptr_t loop();
    void stop(int exitCode);
    void shutdown();

    // Creates the QApplication if the program has not (windows and options need one).
    void ensureApplication();
    bool setOption(std::uint32_t option, std::uintptr_t value);
    std::uintptr_t option(std::uint32_t option) const;
    QString pagesFolder() const;
    const QStringList& arguments() const { return m_arguments; }

    std::uint64_t atom(const char* name);
    // The atom of `name`, or 0 if nothing has made one (pages cannot create atoms by calling).
    std::uint64_t findAtom(const QByteArray& name) const;
    QByteArray atomName(std::uint64_t atom) const;
    bool addGlobalAsset(void* object, const SciterPassport* passport);
    const std::vector<Asset>& globalAssets() const { return m_globalAssets; }
    std::optional<Asset> globalAsset(const QByteArray& name) const;

    std::uintptr_t openArchive(const std::uint8_t* data, std::size_t length);
    bool archiveItem(std::uintptr_t archive, const QString& path, const std::uint8_t** data,
                     std::size_t* length) const;
    bool closeArchive(std::uintptr_t archive);

    std::uint32_t registerMessage(const char* name);

    SciterWindow createWindow(std::uint32_t flags, const SciterRect* frame);
    Window* window(SciterWindow handle) const;
    std::vector<Window*> windows() const;
    // Handles of the live windows, for loops whose steps may destroy windows (a hook can wait in
    // a nested event loop, where destroyed windows are deleted): look each one up again.
    std::vector<SciterWindow> handles() const;
    void windowDestroyed(Window* window);
    QWebEngineProfile* profile();

    // A page's synchronous native call in progress. While it runs, the page (and any page
    // sharing its renderer process) cannot run script, so a function of it called from the UI
    // thread could never answer.
    void enterCall(SciterWindow window) { ++m_callsInProgress[window]; }
    void leaveCall(SciterWindow window);
    bool pageWaitsForNative(SciterWindow window) const;

    // Runs `work` on the UI thread after the events already queued; false once the host is gone.
    template <typename F>
    static bool post(F work) {
        std::lock_guard<std::mutex> lock(s_lifetime);
        if (!s_host) return false;
        return QMetaObject::invokeMethod(s_host, std::move(work), Qt::QueuedConnection);
    }

private:
    Host();
    ~Host() override;
    void openInspectorPort(std::uint32_t flags);
    bool hasMainWindow() const;
    void closeRemainingWindows();

    static std::mutex s_lifetime;
    static Host* s_host;

    QStringList m_arguments;
    std::vector<QByteArray> m_argv;
    std::vector<char*> m_argvPointers;
    int m_argc = 0;
    QApplication* m_ownApplication = nullptr;
    bool m_mainWindowGone = false;

    std::map<std::uint32_t, std::uintptr_t> m_options;
    QString m_pagesFolder;

    mutable std::mutex m_atomsMutex;
    QHash<QByteArray, std::uint64_t> m_atoms;
    std::vector<QByteArray> m_atomNames;

    std::vector<Asset> m_globalAssets;
    std::map<std::uintptr_t, std::unique_ptr<Archive>> m_archives;

    std::mutex m_messagesMutex;
    QHash<QByteArray, std::uint32_t> m_messages;

    SciterWindow m_nextWindow = 1;
    std::map<SciterWindow, QPointer<Window>> m_windows;
    std::map<SciterWindow, int> m_callsInProgress;
    SchemeHandler* m_schemeHandler = nullptr;
    bool m_inspectorChecked = false;
};

}  // namespace engine
