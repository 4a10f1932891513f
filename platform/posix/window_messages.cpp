// POSIX stand-in for registered messages and their broadcast: every listener binds a Unix datagram
// socket in the per-user "broadcast" folder, and a broadcast sends one datagram to each of them.
#include "platform/window_messages.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/fd.h"
#include "platform/posix/objects_folder.h"

namespace pellanor::platform {
namespace {

constexpr std::uint32_t kFirstRegisteredMessage = 0xC000;
constexpr std::uint32_t kLastRegisteredMessage = 0xFFFF;
constexpr std::size_t kMaxNameLength = 255;  // the longest name the Windows atom table takes
constexpr char kBroadcastFolder[] = "broadcast";
constexpr char kSocketSuffix[] = ".sock";

// The process-local stand-in of the system's atom table: names compare without letter case, as
// atoms do, and keep the spelling they were first registered with.
struct MessageTable {
    std::mutex lock;
    std::map<std::string, std::uint32_t> idByFoldedName;
    std::vector<std::string> names;  // index = id - kFirstRegisteredMessage
};

MessageTable& messageTable() {
    static auto* table = new MessageTable;  // outlives every listener thread
    return *table;
}

std::string foldCase(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

// Other programs of this user may write to the folder, and a copy may broadcast a name this
// copy never uses: only names registered here are passed on, as on Windows.
bool isRegisteredHere(const std::string& name) {
    MessageTable& table = messageTable();
    const std::lock_guard<std::mutex> guard(table.lock);
    return table.idByFoldedName.count(foldCase(name)) != 0;
}

std::string registeredName(std::uint32_t message) {
    MessageTable& table = messageTable();
    const std::lock_guard<std::mutex> guard(table.lock);
    if (message < kFirstRegisteredMessage) return {};
    const std::size_t index = message - kFirstRegisteredMessage;
    return index < table.names.size() ? table.names[index] : std::string();
}

// Datagram layout: magic, wparam (8 bytes), lparam (8 bytes), then the name to the end. Integers
// in this host's order: sender and receiver are processes of the same machine.
constexpr char kMagic[4] = {'P', 'l', 'B', '1'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 2 * sizeof(std::uint64_t);

std::string encodeDatagram(const std::string& name, std::uintptr_t wparam, std::intptr_t lparam) {
    const std::uint64_t w = wparam;
    const std::int64_t l = lparam;
    std::string datagram(kMagic, sizeof kMagic);
    datagram.append(reinterpret_cast<const char*>(&w), sizeof w);
    datagram.append(reinterpret_cast<const char*>(&l), sizeof l);
    return datagram + name;
}

struct Broadcast {
    std::string name;
    std::uintptr_t wparam = 0;
    std::intptr_t lparam = 0;
};

// Any process of this user may write to the folder; what does not look like ours is dropped.
bool decodeDatagram(const char* data, std::size_t size, Broadcast* out) {
    if (size <= kHeaderSize || size > kHeaderSize + kMaxNameLength) return false;
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
    std::uint64_t w = 0;
    std::int64_t l = 0;
    std::memcpy(&w, data + sizeof kMagic, sizeof w);
    std::memcpy(&l, data + sizeof kMagic + sizeof w, sizeof l);
    out->wparam = static_cast<std::uintptr_t>(w);
    out->lparam = static_cast<std::intptr_t>(l);
    out->name.assign(data + kHeaderSize, size - kHeaderSize);
    return true;
}

// False when the path does not fit a socket address.
bool socketAddress(const std::string& path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::vector<std::string> socketFiles(const std::string& folder) {
    std::vector<std::string> files;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return files;
    const std::size_t suffixLength = sizeof kSocketSuffix - 1;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > suffixLength &&
            name.compare(name.size() - suffixLength, suffixLength, kSocketSuffix) == 0) {
            files.push_back(folder + '/' + name);
        }
    }
    closedir(dir);
    return files;
}

// Only socket files go: anything else in the folder was not put there by a listener.
void removeIfSocket(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) unlink(path.c_str());
}

class PosixBroadcastListener final : public BroadcastListener {
public:
    using Callback = std::function<void(const std::string&, std::uintptr_t, std::intptr_t)>;

    PosixBroadcastListener(posix::Fd socket, std::string path, posix::Fd wakeRead,
                           posix::Fd wakeWrite, Callback onMessage)
        : m_socket(std::move(socket)),
          m_path(std::move(path)),
          m_wakeRead(std::move(wakeRead)),
          m_wakeWrite(std::move(wakeWrite)),
          m_onMessage(std::move(onMessage)),
          m_thread([this] { receive(); }) {}

    ~PosixBroadcastListener() override {
        const char stop = 0;
        while (write(m_wakeWrite.get(), &stop, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
        unlink(m_path.c_str());
    }

private:
    void receive() {
        pollfd watched[2] = {{m_socket.get(), POLLIN, 0}, {m_wakeRead.get(), POLLIN, 0}};
        char buffer[kHeaderSize + kMaxNameLength + 1];
        for (;;) {
            if (poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (watched[1].revents != 0) return;
            const ssize_t size = recv(m_socket.get(), buffer, sizeof buffer, MSG_DONTWAIT);
            Broadcast message;
            if (size > 0 && decodeDatagram(buffer, static_cast<std::size_t>(size), &message) &&
                isRegisteredHere(message.name)) {
                deliver(message);
            }
        }
    }

    void deliver(const Broadcast& message) {
        try {
            m_onMessage(message.name, message.wparam, message.lparam);
        } catch (...) {
            // The callback's failure is its own; the listener keeps listening.
        }
    }

    posix::Fd m_socket;
    std::string m_path;
    posix::Fd m_wakeRead;
    posix::Fd m_wakeWrite;
    Callback m_onMessage;
    std::thread m_thread;  // last: it starts once everything it reads exists
};

// Binds a fresh datagram socket as "<pid>-<counter>.sock" in the folder. A file of that name can
// only be left by a dead process that had our pid, so it is replaced.
posix::Fd bindListenerSocket(const std::string& folder, std::string* path) {
    static std::atomic<unsigned> counter{0};
    *path =
        folder + '/' + std::to_string(getpid()) + '-' + std::to_string(++counter) + kSocketSuffix;
    sockaddr_un address;
    if (!socketAddress(*path, &address)) return posix::Fd();
    posix::Fd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) return posix::Fd();
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    if (bind(socket.get(), raw, sizeof address) != 0) {
        if (errno != EADDRINUSE || unlink(path->c_str()) != 0 ||
            bind(socket.get(), raw, sizeof address) != 0) {
            return posix::Fd();
        }
    }
    return socket;
}

}  // namespace

std::uint32_t registerWindowMessage(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength) return 0;
    MessageTable& table = messageTable();
    const std::lock_guard<std::mutex> guard(table.lock);
    const std::string folded = foldCase(name);
    if (const auto found = table.idByFoldedName.find(folded); found != table.idByFoldedName.end()) {
        return found->second;
    }
    const std::size_t next = kFirstRegisteredMessage + table.names.size();
    if (next > kLastRegisteredMessage) return 0;
    const auto id = static_cast<std::uint32_t>(next);
    table.idByFoldedName.emplace(folded, id);
    table.names.push_back(name);
    return id;
}

bool broadcastWindowMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    const std::string name = registeredName(message);
    if (name.empty()) return false;
    // Not created here: a copy that only broadcasts leaves no trace, and no folder means that
    // nobody listens.
    const std::string folder = posix::objectsSubfolder(kBroadcastFolder, false);
    if (folder.empty()) return true;
    const posix::Fd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) return false;
    const std::string datagram = encodeDatagram(name, wparam, lparam);
    int sentCount = 0;
    int failedCount = 0;
    for (const std::string& path : socketFiles(folder)) {
        sockaddr_un address;
        if (!socketAddress(path, &address)) continue;
        // MSG_DONTWAIT: a listener that stopped reading must not hold the sender up.
        const ssize_t sent =
            sendto(socket.get(), datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (sent >= 0) {
            ++sentCount;
            continue;
        }
        // Nobody is bound to it any more: the listener died without removing its socket.
        if (errno == ECONNREFUSED || errno == ENOENT) {
            removeIfSocket(path);
        } else {
            ++failedCount;
        }
    }
    return sentCount > 0 || failedCount == 0;
}

std::unique_ptr<BroadcastListener> listenForBroadcasts(
    std::function<void(const std::string& name, std::uintptr_t wparam, std::intptr_t lparam)>
        onMessage) {
    if (!onMessage) return nullptr;
    const std::string folder = posix::objectsSubfolder(kBroadcastFolder, true);
    if (folder.empty()) return nullptr;
    std::string path;
    posix::Fd socket = bindListenerSocket(folder, &path);
    if (socket.get() < 0) return nullptr;
    int wake[2] = {-1, -1};
    if (pipe2(wake, O_CLOEXEC) != 0) {
        unlink(path.c_str());
        return nullptr;
    }
    try {
        return std::make_unique<PosixBroadcastListener>(std::move(socket), path, posix::Fd(wake[0]),
                                                        posix::Fd(wake[1]), std::move(onMessage));
    } catch (...) {  // the thread could not start
        unlink(path.c_str());
        return nullptr;
    }
}

}  // namespace pellanor::platform
