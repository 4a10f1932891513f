// Win32 directory walk: FindFirstFileExW with the large-fetch flag, so one call returns many
// entries together with their attributes, sizes and times.
#include "platform/directory_iterator.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

class FindHandle final {
public:
    explicit FindHandle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~FindHandle() {
        if (valid()) FindClose(m_handle);
    }
    FindHandle(FindHandle&& other) noexcept : m_handle(other.m_handle) {
        other.m_handle = INVALID_HANDLE_VALUE;
    }
    FindHandle& operator=(FindHandle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

struct Frame {
    FindHandle find;
    std::string path;  // ends with '/'
    WIN32_FIND_DATAW data{};
    bool pending = false;  // `data` holds an entry not consumed yet
};

// Windows epoch (1601) to Unix epoch, in 100 ns units.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

std::int64_t millisecondsOf(const FILETIME& time) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kEpochDifference) / 10000;
}

// Reparse points that are links (symbolic links and junctions) are never listed or entered;
// other reparse points (deduplicated or cloud files) are ordinary entries.
bool isLink(const WIN32_FIND_DATAW& data) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    return data.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
           data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT;
}

// Shortcut files count as links in the listing rules the callers were written against.
bool isShortcut(const wchar_t* name) {
    const std::size_t length = std::wcslen(name);
    return length >= 4 && _wcsicmp(name + length - 4, L".lnk") == 0;
}

// Long paths need the "\\?\" form, which takes backslashes only.
std::wstring searchPattern(const std::string& folder) {
    std::wstring pattern = win32::toWide(folder);
    for (wchar_t& c : pattern) {
        if (c == L'/') c = L'\\';
    }
    pattern += L'*';
    if (pattern.size() >= MAX_PATH && pattern.size() > 2 && pattern[1] == L':') {
        pattern.insert(0, L"\\\\?\\");
    }
    return pattern;
}

}  // namespace

struct DirectoryIterator::State {
    DirectoryFilter filter;
    std::vector<Frame> frames;

    void push(std::string path) {
        if (path.empty() || path.back() != '/') path += '/';
        Frame frame;
        frame.find =
            FindHandle(FindFirstFileExW(searchPattern(path).c_str(), FindExInfoBasic, &frame.data,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!frame.find.valid()) return;
        frame.pending = true;
        frame.path = std::move(path);
        frames.push_back(std::move(frame));
    }

    // A failed FindNextFileW (ERROR_OPERATION_ABORTED after CancelSynchronousIo included) ends
    // the folder.
    bool nextRecord(Frame& frame, WIN32_FIND_DATAW& data) {
        if (!frame.pending && !FindNextFileW(frame.find.get(), &frame.data)) return false;
        frame.pending = false;
        data = frame.data;
        return true;
    }

    bool accept(const std::string& folder, const WIN32_FIND_DATAW& data, DirectoryEntry& entry);
};

bool DirectoryIterator::State::accept(const std::string& folder, const WIN32_FIND_DATAW& data,
                                      DirectoryEntry& entry) {
    const wchar_t* name = data.cFileName;
    if (std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0) return false;
    if (isLink(data)) return false;
    const DWORD attributes = data.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) != 0 && !filter.hidden) return false;
    const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isDirectory && isShortcut(name)) return false;

    std::string utf8Name = win32::toUtf8(name);
    std::string path = folder + utf8Name;
    if (isDirectory && filter.recursive) push(path);
    // Without the NTFS permission lookup every existing entry counts as readable.
    if (isDirectory ? !filter.directories : !filter.files) return false;

    entry.path = std::move(path);
    entry.name = std::move(utf8Name);
    entry.isDirectory = isDirectory;
    entry.isFile = !isDirectory;
    entry.size =
        isDirectory
            ? 0
            : static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                        data.nFileSizeLow);
    entry.modifiedMsecs = millisecondsOf(data.ftLastWriteTime);
    return true;
}

DirectoryIterator::DirectoryIterator(const std::string& root, const DirectoryFilter& filter)
    : m_state(std::make_unique<State>()) {
    m_state->filter = filter;
    std::string path = root;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    m_state->push(std::move(path));
}

DirectoryIterator::~DirectoryIterator() = default;

bool DirectoryIterator::next(DirectoryEntry& entry) {
    auto& frames = m_state->frames;
    WIN32_FIND_DATAW data;
    while (!frames.empty()) {
        // accept() may push a frame, so the folder path is copied before it runs.
        Frame& frame = frames.back();
        if (!m_state->nextRecord(frame, data)) {
            frames.pop_back();
            continue;
        }
        const std::string folder = frame.path;
        if (m_state->accept(folder, data, entry)) return true;
    }
    return false;
}

}  // namespace pellanor::platform
