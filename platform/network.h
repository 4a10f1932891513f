// What the machine knows of its network without talking to anyone: whether the IPv4 routing
// table has a default route, whether the system believes it reaches the internet, and the
// hardware address of its first usable adapter.
#pragma once

#include <cstddef>
#include <string>

namespace pellanor::platform {

// True when a row of the IPv4 routing table has the destination 0.0.0.0. False when the table
// cannot be read. Windows: GetIpForwardTable. POSIX: the rows of /proc/net/route (or of the
// file PELLANOR_ROUTE_TABLE names). Blocks briefly on the system.
bool hasDefaultRoute();

// The system's own verdict on internet connectivity. Windows: the Network List Manager's
// IsConnectedToInternet, with COM initialised on the calling thread for the call (a thread
// already in another apartment is used as it is); any failure is false. POSIX: a default
// route whose interface is up (its flags in /sys/class/net, or in the folder
// PELLANOR_NET_CLASS names). Blocks briefly on the system.
bool isConnectedToInternet();

// The first usable adapter's hardware address, as upper-case byte pairs joined by ':'
// ("00:1A:2B:3C:4D:5E"); empty when there is none. Windows: the adapters GetAdaptersInfo
// lists, in its order, the first whose address is not all zero. POSIX: the interfaces of
// /sys/class/net (or of PELLANOR_NET_CLASS) in index order, skipping loopback, all-zero and
// locally administered (randomly assigned) addresses, which change from boot to boot. Blocks
// briefly on the system.
std::string firstAdapterAddress();

// `bytes` as upper-case hexadecimal pairs joined by ':'. Pure.
std::string hardwareAddressText(const unsigned char* bytes, std::size_t count);

}  // namespace pellanor::platform
