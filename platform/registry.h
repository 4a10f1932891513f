// The registry: keys in the default, 64-bit or 32-bit view, their values and subkeys.
//
// Windows: the system registry (RegOpenKeyExW and its family, RegDeleteTreeW). POSIX stand-in: one
// file per hive in the text format the Windows registry editor exports and imports, in
// $PELLANOR_REGISTRY_DIR, else $XDG_DATA_HOME/Pellanor/registry, else
// ~/.local/share/Pellanor/registry. Both backends answer with the same status codes, so callers
// and tests do not care which one runs.
//
// POSIX store details: files are written as the editor exports them (UTF-16LE with a byte-order
// mark, CRLF), each change appended as a record the editor imports (a key section with the value,
// "name"=- or [-key]) until the file is compacted again; they are read in that form, in UTF-8,
// and with continued hex lines, so a user can move keys in and out with the editor. A change is
// atomic; the last changes before a power loss may be lost, as with the system registry: an
// append is not synced, only a compaction and a hive's first file are. A change cut short at the
// end of the file is left out when it is read (failureReason() and the notice handler say so) and
// the next change rewrites the file; text at the end that is not such a change is kept. Writers in
// several processes lock each other out, so none loses another's changes. An open Key names its
// path and sees every later change, as a Windows key handle does; once its key is deleted, calls on
// it answer kKeyDeleted. Names that hold a line break or a zero cannot be written to such a file:
// kInvalidParameter. A file damaged anywhere else is never rewritten: calls on that hive answer
// kInvalidData until it is mended. A hive or lock file that is not a plain file (a FIFO, a symbolic
// link) is refused at once: kAccessDenied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pellanor::platform::registry {

// The predefined roots.
enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// Default: the view of this process (on Windows a 32-bit process sees the 32-bit view).
// Registry64 and Registry32 are KEY_WOW64_64KEY and KEY_WOW64_32KEY. In the POSIX store the
// 32-bit view of HKEY_LOCAL_MACHINE\Software is HKEY_LOCAL_MACHINE\Software\WOW6432Node, and
// every other key is shared by both views; Default is the 64-bit view there.
enum class View { Default, Registry64, Registry32 };

enum class Access { Read, Write, ReadWrite };

// The Windows value types, with their Windows numbers.
enum class ValueType : std::uint32_t {
    None = 0,
    String = 1,        // REG_SZ
    ExpandString = 2,  // REG_EXPAND_SZ
    Binary = 3,        // REG_BINARY
    Dword = 4,         // REG_DWORD (little-endian)
    MultiString = 7,   // REG_MULTI_SZ
    Qword = 11,        // REG_QWORD (little-endian)
};

// Outcome of a call: 0 on success, else the Windows error code. The POSIX store answers with
// the same codes.
using Status = long;
constexpr Status kSuccess = 0;
constexpr Status kNotFound = 2;       // ERROR_FILE_NOT_FOUND: no such key or value
constexpr Status kAccessDenied = 5;   // ERROR_ACCESS_DENIED
constexpr Status kInvalidHandle = 6;  // ERROR_INVALID_HANDLE: a Key that is not open
constexpr Status kInvalidData = 13;   // ERROR_INVALID_DATA: a damaged POSIX hive file
constexpr Status kWriteFault = 29;    // ERROR_WRITE_FAULT: the POSIX store could not write a hive
constexpr Status kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER: a name the store cannot hold
constexpr Status kMoreData = 234;         // ERROR_MORE_DATA: a name or data over the caller's limit
constexpr Status kNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS: enumeration past the last entry
constexpr Status kKeyDeleted = 1018;      // ERROR_KEY_DELETED: the open Key's key was deleted since

// One value. `data` holds the bytes exactly as the registry stores them: strings in UTF-16LE
// with their terminating zero (REG_MULTI_SZ with the final empty string), numbers little-endian.
struct Value {
    std::string name;  // UTF-8; empty for the key's default value
    ValueType type = ValueType::None;
    std::vector<std::uint8_t> data;
};

// An open key. Move-only; closes itself. A default-constructed or failed Key is not open.
class Key final {
public:
    struct Impl;

    Key();
    explicit Key(std::unique_ptr<Impl> impl);
    Key(Key&&) noexcept;
    Key& operator=(Key&&) noexcept;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key();

    bool isOpen() const { return m_impl != nullptr; }
    Impl* impl() const { return m_impl.get(); }

private:
    std::unique_ptr<Impl> m_impl;
};

// Why the last call on this thread that failed with kInvalidData or kWriteFault failed, for the
// caller's log: the POSIX hive file with the line and fault that make it unreadable, or the
// system's message for a write that failed. After a call that succeeded, what the POSIX store
// had to leave out ("dropped an incomplete change at the end of <file> ..."), else empty. Empty
// on Windows and when nothing more is known.
std::string failureReason();

// Where the POSIX store reports what it had to leave out of a hive file to read it (a change cut
// short at its end), for the program's log: once each time it reads such a file. Notices made
// before a handler is set wait for it. Called on the thread that read the file, outside the
// store's locks. Never called on Windows.
using NoticeHandler = std::function<void(const std::string& notice)>;
void setNoticeHandler(NoticeHandler handler);

// Opens an existing key. `path` uses backslashes and no leading one; empty opens the root
// itself. On failure the Key is not open and `status` (when given) holds the reason. Blocks
// briefly (the POSIX store reads its hive file).
Key openKey(Root root, const std::string& path, View view, Access access, Status* status = nullptr);

// Opens the key, creating it and any missing parents first. As openKey otherwise. A key more
// than 512 levels below its root cannot be created, as on Windows: kInvalidParameter.
Key createKey(Root root, const std::string& path, View view, Status* status = nullptr);

// The value or subkey at `index` of an open key, as RegEnumValueW and RegEnumKeyExW give them.
// Subkeys come in the order of their upper-case names; values in the order they were first set
// (Windows and the POSIX store; Wine sorts them by name). The order holds while nobody writes.
// `maxNameUnits` and `maxDataBytes` are the caller's buffer sizes: a name needs its length in
// UTF-16 units plus one for the terminating zero, data its stored size. kNoMoreItems past the
// last entry; kMoreData when the entry at `index` does not fit (callers that mirror a fixed
// Windows buffer end their enumeration there).
Status enumValue(const Key& key, std::uint32_t index, std::size_t maxNameUnits,
                 std::size_t maxDataBytes, Value& out);
Status enumSubkey(const Key& key, std::uint32_t index, std::size_t maxNameUnits, std::string& out);

// The value called `name` (empty: the default value), compared without case. kMoreData when
// its data is larger than `maxDataBytes`; `out` is then left unchanged.
Status queryValue(const Key& key, const std::string& name, std::size_t maxDataBytes, Value& out);

// Stores a value, replacing one of the same name (compared without case; the stored name keeps
// the spelling it was first stored with, in the POSIX store as under Wine). The key must be open
// with write access.
Status setValue(const Key& key, const std::string& name, ValueType type,
                const std::vector<std::uint8_t>& data);
Status deleteValue(const Key& key, const std::string& name);

// Deletes the key `path` with all its values and subkeys (RegDeleteTreeW, then RegDeleteKeyExW so
// the view applies). kNotFound when it does not exist. An empty path is refused with kAccessDenied:
// a root is never deleted.
Status deleteTree(Root root, const std::string& path, View view);

// Deletes the key `path` only when it has no subkeys (RegDeleteKeyExW); kAccessDenied when it
// has some.
Status deleteKey(Root root, const std::string& path, View view);

// Helpers on the stored forms; pure, the same on both backends.

// UTF-8 text as REG_SZ data (UTF-16LE plus a terminating zero).
std::vector<std::uint8_t> stringData(const std::string& text);
// Text of REG_SZ or REG_EXPAND_SZ data up to the first zero unit, as UTF-8.
std::string dataText(const std::vector<std::uint8_t>& data);
// REG_MULTI_SZ data from its strings, and back.
std::vector<std::uint8_t> multiStringData(const std::vector<std::string>& strings);
std::vector<std::string> dataStrings(const std::vector<std::uint8_t>& data);
// REG_DWORD and REG_QWORD data.
std::vector<std::uint8_t> dwordData(std::uint32_t value);
std::vector<std::uint8_t> qwordData(std::uint64_t value);

// The root named in full ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT",
// "HKEY_USERS", "HKEY_CURRENT_CONFIG"), compared without case. False for any other text,
// abbreviations included.
bool rootFromName(const std::string& name, Root& root);
// The full name of a root.
const char* rootName(Root root);

}  // namespace pellanor::platform::registry
