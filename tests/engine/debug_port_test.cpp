// A debug window makes the remote inspector reachable on the configured port. Its own process:
// Chromium reads the port once, when the first page starts.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;

namespace {

bool portAccepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

bool inspectorUp = false;

class EngineInspector : public EngineFixture {};

TEST_F(EngineInspector, ADebugWindowOpensTheInspectorPort) {
    static const std::uint16_t port = static_cast<std::uint16_t>(41000 + ::getpid() % 2000);
    ASSERT_FALSE(portAccepts(port));
    api->SciterSetOption(0, kOptionInspectorPort, port);
    const SciterWindow window = api->SciterCreateWindow(kWindowMain | kWindowDebug, nullptr, 0);
    api->SciterWindowAttachEventHandler(
        window,
        [](SciterWindow w, std::uint32_t kind, const char16_t*, void*) {
            if (kind != kEventDocumentReady) return;
            inspectorUp = portAccepts(port);
            sciter::api()->SciterPostMessage(w, kMessageClose, 0, 0);
        },
        nullptr);
    api->SciterLoadFile(window, u"about:blank");
    EXPECT_EQ(runLoop(window), 0);
    EXPECT_TRUE(inspectorUp);
}

}  // namespace
