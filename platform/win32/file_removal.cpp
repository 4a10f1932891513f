// Win32: DeleteFileW and MoveFileExW with GetLastError() turned into reasons.
#include "platform/file_removal.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

FileRemovalResult failure(DWORD code) {
    const int native = static_cast<int>(code);
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return {RemovalFailure::NotFound, native};
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return {RemovalFailure::InUse, native};
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_PRIVILEGE_NOT_HELD:
            return {RemovalFailure::AccessDenied, native};
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return {RemovalFailure::Exists, native};
        default:
            return {RemovalFailure::Other, native};
    }
}

// Called between the chunks of a copy between volumes.
DWORD CALLBACK copyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                            DWORD, HANDLE, HANDLE, LPVOID stop) {
    const auto* flag = static_cast<const std::atomic<bool>*>(stop);
    return flag != nullptr && *flag ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

}  // namespace

struct FileRemover::State {
    const std::atomic<bool>* stop = nullptr;
};

FileRemover::FileRemover(const std::atomic<bool>* stop) : m_state(std::make_unique<State>()) {
    m_state->stop = stop;
}
FileRemover::~FileRemover() = default;

FileRemovalResult FileRemover::remove(const std::string& path, const FileIdentity*) {
    const std::wstring wide = win32::toWide(path);
    if (DeleteFileW(wide.c_str())) return {};
    DWORD code = GetLastError();
    // The read-only attribute refuses a delete as access denied; the user asked for this file
    // to go, so the attribute is cleared and the delete tried once more.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (DeleteFileW(wide.c_str())) return {};
        code = GetLastError();
        SetFileAttributesW(wide.c_str(), attributes);
    }
    return failure(code);
}

FileRemovalResult FileRemover::move(const std::string& from, const std::string& to) {
    if (MoveFileWithProgressW(win32::toWide(from).c_str(), win32::toWide(to).c_str(), copyProgress,
                              const_cast<std::atomic<bool>*>(m_state->stop),
                              MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
        return {};
    }
    const DWORD code = GetLastError();
    if (code == ERROR_REQUEST_ABORTED) return {RemovalFailure::Stopped, static_cast<int>(code)};
    return failure(code);
}

}  // namespace pellanor::platform
