// Registered window messages and their broadcast to every process of this user: how a second
// copy of the program asks the first to show itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace pellanor::platform {

// Registers (or looks up) a message id for the name; 0 on failure (an empty name or one longer
// than 255 bytes). Same name, in any letter case, -> same id in this process (Windows:
// RegisterWindowMessageW, system-wide; the POSIX ids are process-local, 0xC000 upwards).
std::uint32_t registerWindowMessage(const std::string& name);

// Posts the message with the two parameters to every top-level window of every process of this
// user (Windows: PostMessageW(HWND_BROADCAST, ...)), this process's listeners included. Does not
// wait for anyone to handle it. False when nothing could be posted: on POSIX also when the id was
// not registered in this process (only registered messages travel there). No receiver at all is
// not a failure. Creates no file; writes no log.
bool broadcastWindowMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);

// Receives broadcasts of registered messages sent by any process (this one included) for as long
// as it lives. Destroying it stops the delivery: once the destructor has returned, the callback
// never runs again. It must not be destroyed from inside its own callback.
class BroadcastListener {
public:
    virtual ~BroadcastListener() = default;
};

// Starts a listener whose `onMessage` runs on a thread of the listener's own with the registered
// NAME and the parameters (Windows: a hidden top-level window on that thread). Only messages this
// process has registered through registerWindowMessage, before or after the listener started,
// are passed on; the system's and other programs' own registered broadcasts are dropped.
// Exceptions thrown by `onMessage` are swallowed. Null when listening cannot start.
std::unique_ptr<BroadcastListener> listenForBroadcasts(
    std::function<void(const std::string& name, std::uintptr_t wparam, std::intptr_t lparam)>
        onMessage);

}  // namespace pellanor::platform
