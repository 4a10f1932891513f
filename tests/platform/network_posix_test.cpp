// The POSIX network facts read from a routing table and interface folders that the test writes,
// through the two locations the environment can move.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/network.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace {

using pellanor::test_support::ScopedEnvironment;
using pellanor::test_support::ScopedTempFolder;

constexpr char kHeader[] =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

struct Interface {
    const char* name;
    int index;
    const char* flags;  // as the kernel writes them
    int type;
    const char* address;
};

class MachineNetwork {
public:
    MachineNetwork() {
        m_environment.set("PELLANOR_ROUTE_TABLE", (m_folder.path() / "route").string());
        m_environment.set("PELLANOR_NET_CLASS", (m_folder.path() / "net").string());
    }
    void routes(const std::string& rows) { write(m_folder.path() / "route", kHeader + rows); }
    void add(const Interface& i) {
        const auto base = m_folder.path() / "net" / i.name;
        std::filesystem::create_directories(base);
        write(base / "ifindex", std::to_string(i.index) + "\n");
        write(base / "flags", std::string(i.flags) + "\n");
        write(base / "type", std::to_string(i.type) + "\n");
        write(base / "address", std::string(i.address) + "\n");
    }

private:
    static void write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path) << text;
    }
    ScopedTempFolder m_folder;
    ScopedEnvironment m_environment;
};

TEST(PosixNetwork, NeedsADefaultRouteOnAnInterfaceThatIsUpToBeConnected) {
    const struct {
        const char* name;
        std::string rows;
        bool hasDefault;
        bool connected;
    } cases[] = {
        {"none", "", false, false},
        {"local only", "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n", false,
         false},
        {"default up", "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n", true,
         true},
        {"default on a down interface",
         "wlan0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n", true, false},
        {"default route not up", "eth0\t00000000\t0102A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n",
         true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MachineNetwork machine;
        machine.add({"eth0", 2, "0x1003", 1, "52:54:00:12:34:56"});
        machine.add({"wlan0", 3, "0x1002", 1, "a4:5e:60:00:00:01"});
        machine.routes(c.rows);
        EXPECT_EQ(pellanor::platform::hasDefaultRoute(), c.hasDefault);
        EXPECT_EQ(pellanor::platform::isConnectedToInternet(), c.connected);
    }
    MachineNetwork nothing;  // no table, no interfaces at all
    EXPECT_FALSE(pellanor::platform::hasDefaultRoute());
    EXPECT_EQ(pellanor::platform::firstAdapterAddress(), "");
}

TEST(PosixNetwork, TakesTheLowestIndexWithABurnedInAddress) {
    MachineNetwork machine;
    machine.add({"lo", 1, "0x9", 772, "00:00:00:00:00:00"});
    machine.add({"docker0", 2, "0x1003", 1, "02:42:ac:11:00:02"});  // locally administered
    machine.add({"tun0", 3, "0x1091", 65534, ""});
    machine.add({"dummy0", 4, "0x1003", 1, "00:00:00:00:00:00"});
    machine.add({"wlan0", 6, "0x1003", 1, "a4:5e:60:aa:bb:cc"});
    machine.add({"eth0", 5, "0x1003", 1, "3c:7c:3f:0a:1b:2c"});
    EXPECT_EQ(pellanor::platform::firstAdapterAddress(), "3C:7C:3F:0A:1B:2C");
}

}  // namespace
