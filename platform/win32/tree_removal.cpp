// Win32: FindFirstFileExW lists each folder with attributes and reparse tags in one pass, so a
// link is known from the listing itself and nothing is ever opened through it. Every call takes
// the "\\?\" form: no MAX_PATH limit, and no trimming of names that end in dots or spaces.
#include "platform/tree_removal.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/forced_delete.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

constexpr DWORD kBlockingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

// What a listing says of one entry.
struct Entry {
    DWORD attributes = 0;
    DWORD tag = 0;  // the reparse tag; 0 unless a reparse point

    bool isFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool isReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    // Symbolic links and junctions (volume mount points are junctions too) name another place;
    // other reparse points (cloud placeholders, deduplicated files) are the data themselves.
    // Tag 0 is no tag at all: Wine lists a Unix link to a folder so, and has no way to remove
    // one as itself (RemoveDirectoryW removes an empty target instead), so it is left alone.
    bool isLink() const { return isReparsePoint() && IsReparseTagNameSurrogate(tag); }
};

Entry entryOf(const WIN32_FIND_DATAW& data) {
    const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return {data.dwFileAttributes, reparse ? data.dwReserved0 : 0};
}

bool isGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// Separators made backslashes, a relative path made absolute against the current folder,
// trailing separators dropped (a drive root keeps its own), then the "\\?\" prefix. Empty when
// the path cannot be made absolute.
std::wstring longFormOf(const std::string& path) {
    std::wstring wide = win32::toWide(path);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    if (wide.empty()) return {};
    if (!startsWith(wide, kLongPrefix)) {
        const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (size == 0) return {};
        std::wstring full(size, L'\0');
        const DWORD written = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
        if (written == 0 || written >= size) return {};
        full.resize(written);
        wide = startsWith(full, L"\\\\") ? kLongUncPrefix + full.substr(2) : kLongPrefix + full;
    }
    while (wide.size() > 4 && wide.back() == L'\\' && wide[wide.size() - 2] != L':') {
        wide.pop_back();
    }
    return wide;
}

// The path for the report: the long form without its prefix.
std::string shownPath(const std::wstring& longPath) {
    if (startsWith(longPath, kLongUncPrefix)) {
        return "\\\\" + win32::toUtf8(longPath.substr(std::wcslen(kLongUncPrefix)));
    }
    if (startsWith(longPath, kLongPrefix)) {
        return win32::toUtf8(longPath.substr(std::wcslen(kLongPrefix)));
    }
    return win32::toUtf8(longPath);
}

// A drive ("C:\"), a share ("\\server\share") or a volume ("\\?\Volume{...}\"): no folder to
// remove. Also a path whose last part, as given, is "." or "..", which the absolute form would
// have resolved to a folder further up than the caller named, and a drive-relative "C:" or
// "C:name", which names whatever folder is current on that drive.
bool isRefused(const std::string& given, const std::wstring& longPath) {
    if (given.size() >= 2 && given[1] == ':' &&
        (given.size() == 2 || (given[2] != '\\' && given[2] != '/'))) {
        return true;
    }
    std::string trimmed = given;
    while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) {
        trimmed.pop_back();
    }
    const std::string last = trimmed.substr(trimmed.find_last_of("\\/") + 1);
    if (last == "." || last == "..") return true;
    std::wstring rest = longPath.substr(std::wcslen(kLongPrefix));
    if (startsWith(longPath, kLongUncPrefix)) {
        rest = longPath.substr(std::wcslen(kLongUncPrefix));
        const auto server = rest.find(L'\\');
        return server == std::wstring::npos || rest.find(L'\\', server + 1) == std::wstring::npos;
    }
    const auto separator = rest.find(L'\\');
    return separator == std::wstring::npos || separator + 1 == rest.size();
}

// Windows names hold no wildcards; in a path given to FindFirstFileExW they would match others.
bool hasWildcards(const std::wstring& longPath) {
    return longPath.find_first_of(L"*?", std::wcslen(kLongPrefix)) != std::wstring::npos;
}

std::wstring joined(const std::wstring& folder, const wchar_t* name) {
    return folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

// SetFileAttributesW takes a name, and for a link the name may reach its target; a link's own
// attributes are set through a handle opened on the link itself.
void resetAttributes(const std::wstring& path, const Entry& entry) {
    if (!entry.isReparsePoint()) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return;
    }
    const win32::ScopedHandle link(
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!link.valid()) return;
    FILE_BASIC_INFO basic{};  // zero times stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(link.get(), FileBasicInfo, &basic, sizeof basic);
}

class Walk final {
public:
    Walk(const RemovalOptions& options, RemovalReport& report)
        : m_options(options), m_report(report) {}

    void removeEntry(const std::wstring& path, const Entry& entry);
    void removeEntriesOf(const std::wstring& folder, bool keepHidden);

private:
    bool deleteItself(const std::wstring& path, const Entry& entry) const;
    void leave(const std::wstring& path) { m_report.leave(shownPath(path)); }
    bool stopNow() {
        if (!m_report.stopped && m_options.stop && m_options.stop()) m_report.stopped = true;
        return m_report.stopped;
    }

    const RemovalOptions& m_options;
    RemovalReport& m_report;
};

void Walk::removeEntry(const std::wstring& path, const Entry& entry) {
    // Removing a cloud placeholder folder could remove the folder it stands for, online too.
    if (entry.isFolder() && entry.isReparsePoint() && !entry.isLink()) return leave(path);
    const std::int64_t leftBefore = m_report.leftCount;
    if (entry.isFolder() && !entry.isReparsePoint()) removeEntriesOf(path, false);
    // What a stop left inside keeps the folder; it is not a refusal to report.
    if (m_report.stopped) return;
    if (!deleteItself(path, entry) && m_report.leftCount == leftBefore) leave(path);
}

// A folder that cannot be listed keeps what it holds; removeEntry then reports the folder.
void Walk::removeEntriesOf(const std::wstring& folder, bool keepHidden) {
    WIN32_FIND_DATAW data{};
    const win32::ScopedFindHandle find(
        FindFirstFileExW(joined(folder, L"*").c_str(), FindExInfoBasic, &data,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    for (BOOL more = find.valid(); more; more = FindNextFileW(find.get(), &data)) {
        const wchar_t* name = data.cFileName;
        if (std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0) continue;
        if (keepHidden && (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0) continue;
        if (stopNow()) return;
        removeEntry(joined(folder, name), entryOf(data));
    }
}

// RemoveDirectoryW removes a folder link or junction as itself, whatever its target holds.
bool Walk::deleteItself(const std::wstring& path, const Entry& entry) const {
    if ((entry.attributes & kBlockingAttributes) != 0) resetAttributes(path, entry);
    const BOOL deleted =
        entry.isFolder() ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
    if (deleted || isGone(GetLastError())) return true;
    return m_options.backupSemantics && deleteEntry(win32::toUtf8(path));
}

}  // namespace

bool leadsElsewhere(const std::string& path) {
    const std::wstring longPath = longFormOf(path);
    if (longPath.empty()) return false;
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

RemovalReport removeTree(const std::string& path, const RemovalOptions& options) {
    RemovalReport report;
    const std::wstring longPath = longFormOf(path);
    if (longPath.empty() || isRefused(path, longPath) || hasWildcards(longPath)) {
        report.leave(path);
        return report;
    }
    // The root's own listing, so that its reparse tag is known as for any entry below it.
    WIN32_FIND_DATAW data{};
    const win32::ScopedFindHandle find(FindFirstFileExW(longPath.c_str(), FindExInfoBasic, &data,
                                                        FindExSearchNameMatch, nullptr, 0));
    if (!find.valid()) {
        if (!isGone(GetLastError())) report.leave(path);
        return report;
    }
    const Entry entry = entryOf(data);
    if (options.foldersOnly && !entry.isFolder() && !entry.isReparsePoint()) return report;
    Walk(options, report).removeEntry(longPath, entry);
    return report;
}

RemovalReport clearFolder(const std::string& path, const RemovalOptions& options) {
    RemovalReport report;
    const std::wstring longPath = longFormOf(path);
    if (longPath.empty() || hasWildcards(longPath)) {
        report.leave(path);
        return report;
    }
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!isGone(GetLastError())) report.leave(path);
        return report;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        report.leave(path);
        return report;
    }
    Walk(options, report).removeEntriesOf(longPath, options.keepHiddenEntries);
    return report;
}

}  // namespace pellanor::platform
