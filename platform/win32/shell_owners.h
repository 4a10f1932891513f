// Owners of the COM, shell and memory objects of the shell facilities, one per kind; kernel
// handles have theirs in handle.h.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <memory>

namespace pellanor::platform::win32 {

// An interface pointer that is released with its owner.
template <typename Interface>
class ComPtr final {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    Interface* operator->() const { return m_pointer; }
    Interface* get() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    // For the out-parameter of CoCreateInstance and QueryInterface.
    void** put() {
        reset();
        return reinterpret_cast<void**>(&m_pointer);
    }
    Interface** putTyped() {
        reset();
        return &m_pointer;
    }

private:
    void reset() {
        if (m_pointer != nullptr) m_pointer->Release();
        m_pointer = nullptr;
    }

    Interface* m_pointer = nullptr;
};

// COM for the duration of one call. Every successful CoInitialize, S_FALSE (already initialised
// on this thread) included, must be balanced; a failure (another apartment mode) must not be.
class ComApartment final {
public:
    ComApartment() : m_result(CoInitialize(nullptr)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    bool initialised() const { return SUCCEEDED(m_result); }
    // RPC_E_CHANGED_MODE: the thread is in the other apartment, where COM works as well.
    bool usable() const { return initialised() || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};

// Memory the shell allocates with the COM task allocator (strings, item id lists).
struct CoTaskMemDeleter {
    void operator()(void* memory) const noexcept { CoTaskMemFree(memory); }
};
template <typename T>
using CoTaskMemory = std::unique_ptr<T, CoTaskMemDeleter>;

// Global memory that is freed unless ownership passes to the system (the clipboard).
class GlobalMemory final {
public:
    explicit GlobalMemory(HGLOBAL memory) : m_memory(memory) {}
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    ~GlobalMemory() {
        if (m_memory != nullptr) GlobalFree(m_memory);
    }
    HGLOBAL get() const { return m_memory; }
    void release() { m_memory = nullptr; }

private:
    HGLOBAL m_memory;
};

// The clipboard, opened with no owner window for as long as this object lives.
class OpenClipboardScope final {
public:
    OpenClipboardScope() : m_open(OpenClipboard(nullptr) != FALSE) {}
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    ~OpenClipboardScope() {
        if (m_open) CloseClipboard();
    }
    bool isOpen() const { return m_open; }

private:
    bool m_open;
};

}  // namespace pellanor::platform::win32
