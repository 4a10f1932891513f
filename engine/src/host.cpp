// Process-wide engine state and the application commands.
#include "engine/src/host.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>

#include "engine/src/invoke.h"
#include "engine/src/scheme.h"
#include "engine/src/window.h"

namespace engine {

std::mutex Host::s_lifetime;
Host* Host::s_host = nullptr;

namespace {

constexpr std::uint16_t kDefaultInspectorPort = 9222;

// Custom schemes must be known before QtWebEngine starts, so they are declared at init, which
// creates no Qt object.
void declareSchemes() {
    static bool declared = false;
    if (declared) return;
    declared = true;
    QWebEngineUrlScheme archive(kArchiveScheme);
    archive.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    archive.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                     QWebEngineUrlScheme::ContentSecurityPolicyIgnored |
                     QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(archive);
    QWebEngineUrlScheme resources(kResourceScheme);
    resources.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    resources.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(resources);
}

// Chromium refuses its sandbox when run as root and has no GL on a virtual display; without
// flags from the user, run the pages the way that works everywhere.
void defaultChromiumFlags() {
    if (qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) return;
    QByteArray flags = "--disable-gpu";
#ifndef _WIN32
    // Windows has no root; an administrator's Chromium keeps its sandbox.
    if (::geteuid() == 0) flags += " --no-sandbox";
#endif
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

// With Chromium's GPU off (the default above, and how tests and page developers run it) the
// pages are drawn in software. Composing those frames through OpenGL only adds a texture upload
// and, for every window, a GL context and shader programs that the software GL builds before the
// window's first frame: about a tenth of a second of the main page's start. Qt Quick's software
// renderer composes them as the images they are. A scene graph the user chose is kept. Answers
// whether the windows compose in software.
bool composeInSoftware() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QMLSCENE_DEVICE")) {
        return false;
    }
    const QList<QByteArray> flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").split(' ');
    if (!flags.contains(QByteArrayLiteral("--disable-gpu"))) return false;
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    return true;
}

}  // namespace

Host::Host() = default;

Host::~Host() = default;

Host& Host::instance() {
    std::lock_guard<std::mutex> lock(s_lifetime);
    if (!s_host) s_host = new Host;
    return *s_host;
}

Host* Host::existing() {
    std::lock_guard<std::mutex> lock(s_lifetime);
    return s_host;
}

void Host::init(const QStringList& arguments) {
    m_arguments = arguments;
    declareSchemes();
    defaultChromiumFlags();
    // QtWebEngine's GL composition needs a context shared by every window, made with the
    // application; software composition needs none, and skipping it spares loading the GL driver.
    if (!composeInSoftware()) QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void Host::ensureApplication() {
    if (QCoreApplication::instance()) return;
    // QApplication keeps argc and argv by reference: both live in the host.
    m_argv.clear();
    for (const QString& argument : m_arguments) m_argv.push_back(argument.toLocal8Bit());
    if (m_argv.empty()) m_argv.push_back(QByteArrayLiteral("sciter"));
    m_argvPointers.clear();
    for (QByteArray& argument : m_argv) m_argvPointers.push_back(argument.data());
    m_argvPointers.push_back(nullptr);
    m_argc = static_cast<int>(m_argv.size());
    m_ownApplication = new QApplication(m_argc, m_argvPointers.data());
}

bool Host::hasMainWindow() const {
    return std::any_of(m_windows.begin(), m_windows.end(), [](const auto& entry) {
        return entry.second && !entry.second->isDestroying() &&
               (entry.second->flags() & kWindowMain);
    });
}

std::intptr_t Host::loop() {
    ensureApplication();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        app->setQuitOnLastWindowClosed(false);  // only the main window ends the loop
    }
    if (!hasMainWindow()) return 0;
    m_mainWindowGone = false;
    const int exitCode = QCoreApplication::exec();
    if (m_mainWindowGone) closeRemainingWindows();
    return exitCode;
}

// The application ends with its main window: the other windows get their destroy message, as
// they would when the process ends, and go now, while QtWebEngine and the application object
// they need still exist (the program destroys the application right after the loop).
void Host::closeRemainingWindows() {
    for (SciterWindow handle : handles()) {
        if (Window* found = window(handle)) found->destroyWindow();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Host::stop(int exitCode) { QCoreApplication::exit(exitCode); }

void Host::shutdown() {
    for (SciterWindow handle : handles()) delete window(handle);
    m_windows.clear();
    // Windows destroyed earlier still wait for their deferred deletion. Their views must go
    // while the application object exists: deleted with QtWebEngine's profile when the
    // application goes, they would reach a scene graph that is gone already.
    if (QCoreApplication::instance()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (m_schemeHandler) {
        if (QCoreApplication::instance()) {
            QWebEngineProfile::defaultProfile()->removeUrlSchemeHandler(m_schemeHandler);
        }
        delete m_schemeHandler;
        m_schemeHandler = nullptr;
    }
    delete m_ownApplication;
    m_ownApplication = nullptr;
    {
        std::lock_guard<std::mutex> lock(s_lifetime);
        s_host = nullptr;
    }
    // Nothing runs queued work any more: workers still waiting for a page get their error now
    // instead of waiting for ever.
    failWaitingCalls();
    deleteLater();
}

bool Host::setOption(std::uint32_t option, std::uintptr_t value) {
    if (option < kOptionScriptFeatures || option > kOptionInspectorPort) return false;
    ensureApplication();
    if (option == kOptionPagesFolder) {
        const auto* folder = reinterpret_cast<const char16_t*>(value);
        m_pagesFolder = folder ? QString::fromUtf16(folder) : QString();
        return true;
    }
    m_options[option] = value;
    return true;
}

std::uintptr_t Host::option(std::uint32_t option) const {
    const auto found = m_options.find(option);
    if (found != m_options.end()) return found->second;
    return option == kOptionInspectorPort ? kDefaultInspectorPort : 0;
}

// The installed pages live in a "pages" folder beside the program unless an option names one.
QString Host::pagesFolder() const {
    if (!m_pagesFolder.isEmpty()) return m_pagesFolder;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("pages"));
}

std::uint64_t Host::atom(const char* name) {
    if (!name) return 0;
    std::lock_guard<std::mutex> lock(m_atomsMutex);
    const QByteArray key(name);
    const auto found = m_atoms.constFind(key);
    if (found != m_atoms.constEnd()) return *found;
    m_atomNames.push_back(key);
    const std::uint64_t atom = m_atomNames.size();  // 0 stays "no atom"
    m_atoms.insert(key, atom);
    return atom;
}

std::uint64_t Host::findAtom(const QByteArray& name) const {
    std::lock_guard<std::mutex> lock(m_atomsMutex);
    return m_atoms.value(name, 0);
}

QByteArray Host::atomName(std::uint64_t atom) const {
    std::lock_guard<std::mutex> lock(m_atomsMutex);
    return atom > 0 && atom <= m_atomNames.size() ? m_atomNames[atom - 1] : QByteArray();
}

bool Host::addGlobalAsset(void* object, const SciterPassport* passport) {
    if (!object || !passport || atomName(passport->name).isEmpty()) return false;
    for (Asset& asset : m_globalAssets) {
        if (asset.passport->name == passport->name) {
            asset = Asset{object, passport};
            return true;
        }
    }
    m_globalAssets.push_back(Asset{object, passport});
    return true;
}

std::optional<Asset> Host::globalAsset(const QByteArray& name) const {
    const std::uint64_t atom = findAtom(name);
    for (const Asset& asset : m_globalAssets) {
        if (atom != 0 && asset.passport->name == atom) return asset;
    }
    return {};
}

std::uintptr_t Host::openArchive(const std::uint8_t* data, std::size_t length) {
    std::optional<Archive> archive = Archive::open(data, length);
    if (!archive) return 0;
    auto owned = std::make_unique<Archive>(std::move(*archive));
    const auto handle = reinterpret_cast<std::uintptr_t>(owned.get());
    m_archives.emplace(handle, std::move(owned));
    return handle;
}

bool Host::archiveItem(std::uintptr_t archive, const QString& path, const std::uint8_t** data,
                       std::size_t* length) const {
    const auto found = m_archives.find(archive);
    if (found == m_archives.end() || !data || !length) return false;
    const std::optional<ArchiveItem> item = found->second->item(path);
    if (!item) return false;
    *data = item->data;
    *length = item->length;
    return true;
}

bool Host::closeArchive(std::uintptr_t archive) { return m_archives.erase(archive) > 0; }

// Registered messages share one id per name within the process, from 0xC000 up, as the message
// space above that is reserved for them.
std::uint32_t Host::registerMessage(const char* name) {
    if (!name || !*name) return 0;
    std::lock_guard<std::mutex> lock(m_messagesMutex);
    const QByteArray key(name);
    const auto found = m_messages.constFind(key);
    if (found != m_messages.constEnd()) return *found;
    const std::uint32_t id =
        kMessageFirstRegistered + static_cast<std::uint32_t>(m_messages.size());
    m_messages.insert(key, id);
    return id;
}

// The remote inspector is switched on through the environment, which Chromium reads once when
// the first page starts; later debug windows share that port.
void Host::openInspectorPort(std::uint32_t flags) {
    if (m_inspectorChecked || !(flags & kWindowDebug)) return;
    m_inspectorChecked = true;
    const std::uintptr_t port = option(kOptionInspectorPort);
    if (port == 0 || qEnvironmentVariableIsSet("QTWEBENGINE_REMOTE_DEBUGGING")) return;
    qputenv("QTWEBENGINE_REMOTE_DEBUGGING", "127.0.0.1:" + QByteArray::number(qulonglong(port)));
}

QWebEngineProfile* Host::profile() {
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    if (!m_schemeHandler) {
        m_schemeHandler = new SchemeHandler;
        profile->installUrlSchemeHandler(kArchiveScheme, m_schemeHandler);
        profile->installUrlSchemeHandler(kResourceScheme, m_schemeHandler);
    }
    return profile;
}

void Host::leaveCall(SciterWindow window) {
    const auto found = m_callsInProgress.find(window);
    if (found != m_callsInProgress.end() && --found->second <= 0) m_callsInProgress.erase(found);
}

bool Host::pageWaitsForNative(SciterWindow handle) const {
    if (m_callsInProgress.count(handle)) return true;
    Window* target = window(handle);
    const qint64 process = target ? target->page()->renderProcessPid() : 0;
    if (process <= 0) return false;
    for (const auto& entry : m_callsInProgress) {
        Window* calling = window(entry.first);
        if (calling && calling->page()->renderProcessPid() == process) return true;
    }
    return false;
}

SciterWindow Host::createWindow(std::uint32_t flags, const SciterRect* frame) {
    ensureApplication();
    // Windows are widgets: under an application object of the program's that is a plain
    // QCoreApplication, creating one would abort the process.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("sciter: windows need a QApplication; the application object is a %s",
                 QCoreApplication::instance()->metaObject()->className());
        return 0;
    }
    openInspectorPort(flags);
    profile();
    const SciterWindow handle = m_nextWindow++;
    auto* window = new Window(handle, flags, frame);
    m_windows.emplace(handle, window);
    return handle;
}

Window* Host::window(SciterWindow handle) const {
    const auto found = m_windows.find(handle);
    return found == m_windows.end() ? nullptr : found->second.data();
}

std::vector<Window*> Host::windows() const {
    std::vector<Window*> live;
    for (const auto& entry : m_windows) {
        if (entry.second) live.push_back(entry.second.data());
    }
    return live;
}

std::vector<SciterWindow> Host::handles() const {
    std::vector<SciterWindow> live;
    for (const auto& entry : m_windows) {
        if (entry.second) live.push_back(entry.first);
    }
    return live;
}

void Host::windowDestroyed(Window* window) {
    const bool main = window->flags() & kWindowMain;
    m_windows.erase(window->handle());
    if (main) {
        m_mainWindowGone = true;
        QCoreApplication::exit(0);
    }
}

}  // namespace engine
