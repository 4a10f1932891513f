// Win32: the disk-cleanup handler for previous installations, driven through COM.
#include "platform/cleanup_handler.h"

#include <windows.h>

#include <emptyvc.h>
#include <objbase.h>

#include <atomic>
#include <memory>

namespace pellanor::platform {
namespace {

// Spelled out here: not every SDK's import library defines these.
constexpr GUID kHandlerClass = {
    0x84e04a55, 0x2d42, 0x4909, {0x86, 0xe3, 0x62, 0xfd, 0x11, 0x48, 0x3e, 0x8b}};
constexpr GUID kEmptyVolumeCache = {
    0x8FCE5227, 0x04DA, 0x11D1, {0xA0, 0x04, 0x00, 0x80, 0x5F, 0x8A, 0xBE, 0x06}};
constexpr GUID kEmptyVolumeCache2 = {
    0x02B7E3BA, 0x4DB3, 0x11D2, {0xB2, 0xD9, 0x00, 0xC0, 0x4F, 0x8E, 0xEC, 0x8C}};
constexpr GUID kCallBack = {
    0x6E793361, 0x73C6, 0x11D1, {0xA0, 0x04, 0x00, 0x80, 0x5F, 0x8A, 0xBE, 0x06}};
constexpr GUID kUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr wchar_t kHandlerKeyName[] = L"{84e04a55-2d42-4909-86e3-62fd11483e8b}";
constexpr wchar_t kVolume[] = L"C:\\";

// Shows no progress and never asks the handler to stop.
class EmptyCacheCallback final : public IEmptyVolumeCacheCallBack {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualGUID(id, kUnknown) || IsEqualGUID(id, kCallBack)) {
            *out = static_cast<IEmptyVolumeCacheCallBack*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE ScanProgress(DWORDLONG, DWORD, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PurgeProgress(DWORDLONG, DWORDLONG, DWORD, LPCWSTR) override {
        return S_OK;
    }

private:
    ~EmptyCacheCallback() = default;
    std::atomic<ULONG> m_references{1};
};

template <typename T>
struct ComReleaser {
    void operator()(T* p) const noexcept {
        if (p != nullptr) p->Release();
    }
};

class ComScope final {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // Only this call's own S_OK is balanced; S_FALSE means another owner initialised COM.
    ~ComScope() {
        if (m_result == S_OK) CoUninitialize();
    }
    bool ok() const { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};

void freeStrings(LPWSTR a, LPWSTR b, LPWSTR c = nullptr) {
    CoTaskMemFree(a);
    CoTaskMemFree(b);
    CoTaskMemFree(c);
}

bool initialiseHandler(IEmptyVolumeCache* handler) {
    LPWSTR name = nullptr;
    LPWSTR description = nullptr;
    DWORD flags = 0;
    IEmptyVolumeCache2* extended = nullptr;
    if (SUCCEEDED(
            handler->QueryInterface(kEmptyVolumeCache2, reinterpret_cast<void**>(&extended)))) {
        LPWSTR button = nullptr;
        const HRESULT result = extended->InitializeEx(HKEY_LOCAL_MACHINE, kVolume, kHandlerKeyName,
                                                      &name, &description, &button, &flags);
        freeStrings(name, description, button);
        extended->Release();
        if (SUCCEEDED(result)) return true;
        name = description = nullptr;
    }
    const HRESULT result =
        handler->Initialize(HKEY_LOCAL_MACHINE, kVolume, &name, &description, &flags);
    freeStrings(name, description);
    return SUCCEEDED(result);
}

bool purgeWith(IEmptyVolumeCache* handler) {
    EmptyCacheCallback* callback = new EmptyCacheCallback();
    DWORDLONG space = 0;
    bool purged = false;
    if (SUCCEEDED(handler->GetSpaceUsed(&space, callback)) && space != 0) {
        purged = SUCCEEDED(handler->Purge(space, callback));
    }
    callback->Release();
    DWORD flags = 0;
    handler->Deactivate(&flags);
    return purged;
}

}  // namespace

bool purgePreviousInstallations() {
    const ComScope com;
    if (!com.ok()) return false;
    IEmptyVolumeCache* raw = nullptr;
    if (FAILED(CoCreateInstance(kHandlerClass, nullptr, CLSCTX_INPROC_SERVER, kEmptyVolumeCache,
                                reinterpret_cast<void**>(&raw)))) {
        return false;
    }
    const std::unique_ptr<IEmptyVolumeCache, ComReleaser<IEmptyVolumeCache>> handler(raw);
    if (!initialiseHandler(handler.get())) return false;
    return purgeWith(handler.get());
}

}  // namespace pellanor::platform
