// Win32: the volume serial number and file index of an opened handle, with the link count,
// size and time from the same query.
#include "platform/file_identity.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

// Windows epoch (1601) to Unix epoch, in 100 ns units.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

std::uint64_t joined(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

FileIdentity identityOf(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info) {
    FileIdentity identity{info.dwVolumeSerialNumber,
                          joined(info.nFileIndexHigh, info.nFileIndexLow)};
    // ReFS ids are 128 bits and its 64-bit index is not unique; NTFS ids fit in the low half,
    // so they keep the same key either way. Older systems and Wine may not answer this query.
    FILE_ID_INFO wide{};
    if (GetFileInformationByHandleEx(file, FileIdInfo, &wide, sizeof wide)) {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        static_assert(sizeof wide.FileId.Identifier == 2 * sizeof low, "128-bit file id");
        std::memcpy(&low, wide.FileId.Identifier, sizeof low);
        std::memcpy(&high, wide.FileId.Identifier + sizeof low, sizeof high);
        if (high != 0) identity.fileIndex = low ^ (high * 0x9E3779B97F4A7C15ULL);
    }
    return identity;
}

// Symbolic links and junctions are links; other reparse points (deduplicated or cloud files)
// are ordinary files, as in the directory walk.
bool isLinkReparsePoint(HANDLE file, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return true;
    return tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    const win32::ScopedHandle file(win32::openForMetadata(win32::toWide(path).c_str()));
    if (!file.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return identityOf(file.get(), info);
}

std::optional<FileFacts> fileFacts(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const win32::ScopedHandle file(
        CreateFileW(win32::toWide(path).c_str(), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    const DWORD attributes = info.dwFileAttributes;
    FileFacts facts;
    facts.identity = identityOf(file.get(), info);
    facts.linkCount = info.nNumberOfLinks;
    facts.isFile = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 &&
                   !isLinkReparsePoint(file.get(), attributes);
    facts.size =
        facts.isFile ? static_cast<std::int64_t>(joined(info.nFileSizeHigh, info.nFileSizeLow)) : 0;
    facts.modifiedMsecs = static_cast<std::int64_t>(joined(info.ftLastWriteTime.dwHighDateTime,
                                                           info.ftLastWriteTime.dwLowDateTime)) -
                          kEpochDifference;
    facts.modifiedMsecs /= 10000;
    return facts;
}

}  // namespace pellanor::platform
