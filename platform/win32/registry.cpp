// Win32: the system registry through the Reg* family, with the view flags on every open.
#include "platform/registry.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/wide.h"

namespace pellanor::platform::registry {

// The owner of one open HKEY.
struct Key::Impl {
    explicit Impl(HKEY key) : handle(key) {}
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() { RegCloseKey(handle); }

    HKEY handle;
};

Key::Key() = default;
Key::Key(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
Key::Key(Key&&) noexcept = default;
Key& Key::operator=(Key&&) noexcept = default;
Key::~Key() = default;

namespace {

// Value names may hold up to 16,383 units; no caller's limit needs a larger buffer.
constexpr std::size_t kLongestName = 16384;

HKEY predefined(Root root) {
    switch (root) {
        case Root::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case Root::CurrentUser:
            return HKEY_CURRENT_USER;
        case Root::LocalMachine:
            return HKEY_LOCAL_MACHINE;
        case Root::Users:
            return HKEY_USERS;
        case Root::CurrentConfig:
            break;
    }
    return HKEY_CURRENT_CONFIG;
}

REGSAM viewFlag(View view) {
    switch (view) {
        case View::Registry64:
            return KEY_WOW64_64KEY;
        case View::Registry32:
            return KEY_WOW64_32KEY;
        case View::Default:
            break;
    }
    return 0;
}

REGSAM accessMask(Access access) {
    switch (access) {
        case Access::Read:
            return KEY_READ;
        case Access::Write:
            return KEY_WRITE;
        case Access::ReadWrite:
            break;
    }
    return KEY_READ | KEY_WRITE;
}

Key opened(LSTATUS status, HKEY handle, Status* out) {
    if (out != nullptr) *out = status;
    return status == ERROR_SUCCESS ? Key(std::make_unique<Key::Impl>(handle)) : Key();
}

DWORD clampedUnits(std::size_t units) { return static_cast<DWORD>(std::min(units, kLongestName)); }

bool isString(ValueType type) {
    return type == ValueType::String || type == ValueType::ExpandString ||
           type == ValueType::MultiString;
}

}  // namespace

std::string failureReason() { return {}; }

// The system registry has no file the program reads for itself.
void setNoticeHandler(NoticeHandler) {}

Key openKey(Root root, const std::string& path, View view, Access access, Status* status) {
    HKEY handle = nullptr;
    const LSTATUS result = RegOpenKeyExW(predefined(root), win32::toWide(path).c_str(), 0,
                                         accessMask(access) | viewFlag(view), &handle);
    return opened(result, handle, status);
}

Key createKey(Root root, const std::string& path, View view, Status* status) {
    HKEY handle = nullptr;
    const LSTATUS result = RegCreateKeyExW(
        predefined(root), win32::toWide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
        KEY_READ | KEY_WRITE | viewFlag(view), nullptr, &handle, nullptr);
    return opened(result, handle, status);
}

// Asks for the size first, so a caller's large limit costs no large buffer; a value that grows
// between the two calls is asked for again.
Status enumValue(const Key& key, std::uint32_t index, std::size_t maxNameUnits,
                 std::size_t maxDataBytes, Value& out) {
    if (!key.isOpen()) return kInvalidHandle;
    std::wstring name(std::max<DWORD>(clampedUnits(maxNameUnits), 1), L'\0');
    while (true) {
        DWORD nameUnits = clampedUnits(maxNameUnits);
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = RegEnumValueW(key.impl()->handle, index, name.data(), &nameUnits, nullptr,
                                       &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;
        if (size > maxDataBytes) return kMoreData;
        std::vector<std::uint8_t> data(size);
        nameUnits = clampedUnits(maxNameUnits);
        status = RegEnumValueW(key.impl()->handle, index, name.data(), &nameUnits, nullptr, &type,
                               data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return status;
        data.resize(size);
        out = Value{win32::toUtf8(std::wstring_view(name.data(), nameUnits)),
                    static_cast<ValueType>(type), std::move(data)};
        return kSuccess;
    }
}

Status enumSubkey(const Key& key, std::uint32_t index, std::size_t maxNameUnits, std::string& out) {
    if (!key.isOpen()) return kInvalidHandle;
    std::wstring name(std::max<DWORD>(clampedUnits(maxNameUnits), 1), L'\0');
    DWORD nameUnits = clampedUnits(maxNameUnits);
    const LSTATUS status = RegEnumKeyExW(key.impl()->handle, index, name.data(), &nameUnits,
                                         nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    out = win32::toUtf8(std::wstring_view(name.data(), nameUnits));
    return kSuccess;
}

Status queryValue(const Key& key, const std::string& name, std::size_t maxDataBytes, Value& out) {
    if (!key.isOpen()) return kInvalidHandle;
    const std::wstring wide = win32::toWide(name);
    while (true) {
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status =
            RegQueryValueExW(key.impl()->handle, wide.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;
        if (size > maxDataBytes) return kMoreData;
        std::vector<std::uint8_t> data(size);
        status =
            RegQueryValueExW(key.impl()->handle, wide.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return status;
        data.resize(size);
        out = Value{name, static_cast<ValueType>(type), std::move(data)};
        return kSuccess;
    }
}

Status setValue(const Key& key, const std::string& name, ValueType type,
                const std::vector<std::uint8_t>& data) {
    if (!key.isOpen()) return kInvalidHandle;
    // Windows adds a terminator to string data that lacks one when the unit after the buffer
    // happens to be zero; a non-zero unit there keeps the stored bytes exactly the caller's.
    std::vector<std::uint8_t> buffer(data);
    if (isString(type)) buffer.insert(buffer.end(), {0xFF, 0xFF, 0xFF});
    return RegSetValueExW(key.impl()->handle, win32::toWide(name).c_str(), 0,
                          static_cast<DWORD>(type), buffer.empty() ? nullptr : buffer.data(),
                          static_cast<DWORD>(data.size()));
}

Status deleteValue(const Key& key, const std::string& name) {
    if (!key.isOpen()) return kInvalidHandle;
    return RegDeleteValueW(key.impl()->handle, win32::toWide(name).c_str());
}

// RegDeleteTreeW empties the key opened in the right view, and RegDeleteKeyExW then removes it
// in that view: SHDeleteKeyW takes no view flag.
Status deleteTree(Root root, const std::string& path, View view) {
    if (path.empty()) return kAccessDenied;
    const std::wstring wide = win32::toWide(path);
    HKEY handle = nullptr;
    const REGSAM access = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE;
    LSTATUS status =
        RegOpenKeyExW(predefined(root), wide.c_str(), 0, access | viewFlag(view), &handle);
    if (status != ERROR_SUCCESS) return status;
    const Key key(std::make_unique<Key::Impl>(handle));
    status = RegDeleteTreeW(handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegDeleteKeyExW(predefined(root), wide.c_str(), viewFlag(view), 0);
}

Status deleteKey(Root root, const std::string& path, View view) {
    if (path.empty()) return kAccessDenied;
    return RegDeleteKeyExW(predefined(root), win32::toWide(path).c_str(), viewFlag(view), 0);
}

}  // namespace pellanor::platform::registry
