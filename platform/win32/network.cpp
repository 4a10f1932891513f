// Win32: the routing table and adapters through IP Helper, connectivity through the Network List
// Manager, which knows whether the system's own probe reached the internet.
#include "platform/network.h"

// IP Helper's headers want winsock2.h ahead of windows.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>
#include <netlistmgr.h>

#include <algorithm>
#include <vector>

#include "platform/win32/shell_owners.h"

namespace pellanor::platform {
namespace {

// One adapter record; the call says how much more a machine with several adapters needs.
constexpr ULONG kAdapterBufferBytes = 648;

// Buffers for IP Helper tables, aligned for the records they hold.
using TableBuffer = std::vector<ULONGLONG>;

TableBuffer tableBuffer(ULONG bytes) { return TableBuffer((bytes + 7) / 8, 0); }

}  // namespace

bool hasDefaultRoute() {
    ULONG size = 0;
    if (GetIpForwardTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER) return false;
    TableBuffer buffer = tableBuffer(size);
    auto* table = reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data());
    if (GetIpForwardTable(table, &size, FALSE) != NO_ERROR) return false;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        if (table->table[i].dwForwardDest == 0) return true;
    }
    return false;
}

bool isConnectedToInternet() {
    const win32::ComApartment apartment;
    if (!apartment.usable()) return false;
    win32::ComPtr<IUnknown> unknown;
    if (FAILED(CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_IUnknown,
                                unknown.put()))) {
        return false;
    }
    win32::ComPtr<INetworkListManager> manager;
    if (FAILED(unknown->QueryInterface(IID_INetworkListManager, manager.put()))) return false;
    VARIANT_BOOL connected = VARIANT_FALSE;
    if (FAILED(manager->IsConnectedToInternet(&connected))) return false;
    return connected == VARIANT_TRUE;
}

std::string firstAdapterAddress() {
    ULONG size = kAdapterBufferBytes;
    TableBuffer buffer = tableBuffer(size);
    ULONG result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer = tableBuffer(size);
        result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) return {};
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        const UINT length = std::min<UINT>(adapter->AddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
        for (UINT i = 0; i < length; ++i) {
            if (adapter->Address[i] != 0) return hardwareAddressText(adapter->Address, length);
        }
    }
    return {};
}

}  // namespace pellanor::platform
