// Registry values under the rules of Qt's native settings object on Windows, rebuilt over the
// platform registry so that they hold on every backend. Unlike that object, reading or removing
// never creates the entry key, and a failed store or removal is reported instead of answered
// with true.
#include "system/registry_access.h"

#include <QStringList>

#include <cstring>

#include "log/logger.h"
#include "log/qt_format.h"

namespace pellanor::system {
namespace {

namespace reg = platform::registry;

constexpr char kTag[] = "NativeUtil";

// Far above any value a page stores; Windows itself advises keeping values under 1 MB.
constexpr std::size_t kMaxValueBytes = 16u << 20;

// REG_DWORD_BIG_ENDIAN has no name in the seam; stored numbers of that type are still read.
constexpr std::uint32_t kDwordBigEndian = 5;

struct RootSpelling {
    const char* text;
    reg::Root root;
};

// Checked in this order with case, as the settings object checks them.
constexpr RootSpelling kEntryRoots[] = {
    {"HKEY_CURRENT_USER", reg::Root::CurrentUser},
    {"HKCU", reg::Root::CurrentUser},
    {"HKEY_LOCAL_MACHINE", reg::Root::LocalMachine},
    {"HKLM", reg::Root::LocalMachine},
    {"HKEY_CLASSES_ROOT", reg::Root::ClassesRoot},
    {"HKCR", reg::Root::ClassesRoot},
    {"HKEY_USERS", reg::Root::Users},
    {"HKU", reg::Root::Users},
    {"HKEY_CURRENT_CONFIG", reg::Root::CurrentConfig},
};

// Only full names, for the key-tree deletion, whose callers always wrote them out.
constexpr RootSpelling kTreeRoots[] = {
    {"HKEY_LOCAL_MACHINE\\", reg::Root::LocalMachine},
    {"HKEY_CURRENT_USER\\", reg::Root::CurrentUser},
    {"HKEY_CLASSES_ROOT\\", reg::Root::ClassesRoot},
    {"HKEY_USERS\\", reg::Root::Users},
    {"HKEY_CURRENT_CONFIG\\", reg::Root::CurrentConfig},
};

std::string joinedPath(const std::string& entryPath, const QString& subkey) {
    if (subkey.isEmpty()) return entryPath;
    if (entryPath.empty()) return subkey.toStdString();
    return entryPath + '\\' + subkey.toStdString();
}

// Undoes the escapes the settings object writes in front of texts starting with '@'.
QString unescapedText(const QString& text) {
    if (!text.startsWith(QLatin1Char('@'))) return text;
    if (text.endsWith(QLatin1Char(')'))) {
        if (text.startsWith(QLatin1String("@ByteArray("))) {
            return QString::fromUtf8(text.mid(11, text.size() - 12).toLatin1());
        }
        if (text.startsWith(QLatin1String("@String("))) return text.mid(8, text.size() - 9);
        for (const char* form : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("}) {
            if (text.startsWith(QLatin1String(form))) return {};
        }
        if (text == QLatin1String("@Invalid()")) return {};
    }
    if (text.startsWith(QLatin1String("@@"))) return text.mid(1);
    return text;
}

QString escapedText(const QString& text) {
    if (text.contains(QChar::Null)) return QLatin1String("@String(") + text + QLatin1Char(')');
    if (text.startsWith(QLatin1Char('@'))) return QLatin1Char('@') + text;
    return text;
}

// A list reads as text only when it holds exactly one string, and a list with an entry it
// cannot unescape as a plain string does not read as text at all.
QString multiStringText(const std::vector<std::uint8_t>& data) {
    const std::vector<std::string> strings = reg::dataStrings(data);
    QStringList list;
    for (const std::string& piece : strings) {
        if (piece.empty()) break;
        QString text = QString::fromStdString(piece);
        if (text.startsWith(QLatin1String("@@"))) {
            text.remove(0, 1);
        } else if (text.startsWith(QLatin1Char('@'))) {
            return {};
        }
        list << text;
    }
    return list.size() == 1 ? list.first() : QString();
}

QString utf16Text(const std::vector<std::uint8_t>& data) {
    QString text(static_cast<int>(data.size() / 2), Qt::Uninitialized);
    for (int i = 0; i < text.size(); ++i) {
        const std::size_t at = static_cast<std::size_t>(i) * 2;
        text[i] = QChar(static_cast<ushort>(data[at] | (data[at + 1] << 8)));
    }
    return text;
}

template <typename Number>
QString littleEndianNumber(const std::vector<std::uint8_t>& data) {
    // A number of the wrong size is damaged data, not a shorter number.
    if (data.size() != sizeof(Number)) return {};
    Number number = 0;
    std::memcpy(&number, data.data(), sizeof number);
    return QString::number(number);
}

QString bigEndianDword(const std::vector<std::uint8_t>& data) {
    if (data.size() != 4) return {};
    const std::uint32_t bits = (std::uint32_t{data[0]} << 24) | (std::uint32_t{data[1]} << 16) |
                               (std::uint32_t{data[2]} << 8) | std::uint32_t{data[3]};
    return QString::number(static_cast<std::int32_t>(bits));
}

std::vector<std::uint8_t> utf16Bytes(const QString& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (const QChar c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c.unicode() & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
    }
    return bytes;
}

std::optional<RegistryEntry> entryOrLog(const QString& entry) {
    auto parsed = parseRegistryEntry(entry);
    if (!parsed) logging::info(kTag, "unsupported registry root: {}", entry);
    return parsed;
}

std::optional<ValueKey> keyOrLog(const QString& entry, const QString& key) {
    auto parsed = parseValueKey(key);
    if (!parsed) logging::info(kTag, "registry key is empty. entry={} key={}", entry, key);
    return parsed;
}

bool storeValue(const QString& entry, const QString& key, reg::ValueType type,
                const std::vector<std::uint8_t>& data) {
    const auto where = entryOrLog(entry);
    if (!where) return false;
    const auto value = keyOrLog(entry, key);
    if (!value) return false;
    reg::Status status = reg::kSuccess;
    const reg::Key handle = reg::createKey(where->root, joinedPath(where->path, value->subkey),
                                           reg::View::Default, &status);
    if (handle.isOpen()) status = reg::setValue(handle, value->valueName.toStdString(), type, data);
    if (status != reg::kSuccess) {
        logging::info(kTag, "set registry value failed. entry={} key={} error={} {}", entry, key,
                      status, reg::failureReason());
    }
    return status == reg::kSuccess;
}

}  // namespace

std::optional<RegistryEntry> parseRegistryEntry(const QString& entry) {
    const QString text = entry.startsWith(QLatin1Char('\\')) ? entry.mid(1) : entry;
    for (const RootSpelling& spelling : kEntryRoots) {
        const QLatin1String root(spelling.text);
        if (!text.startsWith(root)) continue;
        // The first spelling that starts the text decides, as in the settings object.
        if (text.size() > root.size() && text[root.size()] != QLatin1Char('\\')) return {};
        QString path = text.mid(root.size() + 1);
        while (path.endsWith(QLatin1Char('\\'))) path.chop(1);
        return RegistryEntry{spelling.root, path.toStdString()};
    }
    return {};
}

std::optional<ValueKey> parseValueKey(const QString& key) {
    QStringList parts = key.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return {};
    for (QString& part : parts) part.replace(QLatin1Char('\\'), QLatin1Char('/'));
    ValueKey value;
    value.keyPath = parts.join(QLatin1Char('\\'));
    value.valueName = parts.takeLast();
    if (value.valueName == QLatin1String("Default") || value.valueName == QLatin1String(".")) {
        value.valueName.clear();
    }
    value.subkey = parts.join(QLatin1Char('\\'));
    return value;
}

QString settingsText(const reg::Value& value) {
    switch (static_cast<std::uint32_t>(value.type)) {
        case static_cast<std::uint32_t>(reg::ValueType::String):
        case static_cast<std::uint32_t>(reg::ValueType::ExpandString):
            return unescapedText(QString::fromStdString(reg::dataText(value.data)));
        case static_cast<std::uint32_t>(reg::ValueType::MultiString):
            return multiStringText(value.data);
        case static_cast<std::uint32_t>(reg::ValueType::None):
        case static_cast<std::uint32_t>(reg::ValueType::Binary):
            return unescapedText(utf16Text(value.data));
        case static_cast<std::uint32_t>(reg::ValueType::Dword):
            return littleEndianNumber<std::int32_t>(value.data);
        case kDwordBigEndian:
            return bigEndianDword(value.data);
        case static_cast<std::uint32_t>(reg::ValueType::Qword):
            return littleEndianNumber<std::int64_t>(value.data);
        default:
            return {};
    }
}

QString getRegistryString(const QString& entry, const QString& key) {
    const auto where = entryOrLog(entry);
    if (!where) return {};
    const auto value = keyOrLog(entry, key);
    if (!value) return {};
    const reg::Key handle = reg::openKey(where->root, joinedPath(where->path, value->subkey),
                                         reg::View::Default, reg::Access::Read);
    reg::Value stored;
    if (!handle.isOpen() || reg::queryValue(handle, value->valueName.toStdString(), kMaxValueBytes,
                                            stored) != reg::kSuccess) {
        return {};
    }
    const QString text = settingsText(stored);
    if (!text.isEmpty()) {
        logging::info(kTag, "get registry string value. entry={} key={} val={}", entry, key, text);
    }
    return text;
}

bool setRegistryString(const QString& entry, const QString& key, const QString& value) {
    const QString stored = escapedText(value);
    if (stored.contains(QChar::Null)) {
        return storeValue(entry, key, reg::ValueType::Binary, utf16Bytes(stored));
    }
    return storeValue(entry, key, reg::ValueType::String, reg::stringData(stored.toStdString()));
}

bool setRegistryIntValue(const QString& entry, const QString& key, int value) {
    return storeValue(entry, key, reg::ValueType::Dword,
                      reg::dwordData(static_cast<std::uint32_t>(value)));
}

bool removeRegistry(const QString& entry, const QString& key) {
    const auto where = entryOrLog(entry);
    if (!where) return false;
    const auto value = keyOrLog(entry, key);
    if (!value) return false;
    reg::Status valueStatus = reg::kSuccess;
    const reg::Key handle = reg::openKey(where->root, joinedPath(where->path, value->subkey),
                                         reg::View::Default, reg::Access::Write, &valueStatus);
    if (handle.isOpen()) valueStatus = reg::deleteValue(handle, value->valueName.toStdString());
    const reg::Status treeStatus =
        reg::deleteTree(where->root, joinedPath(where->path, value->keyPath), reg::View::Default);
    // Either may be absent; only a refusal to delete what exists is a failure.
    for (const reg::Status status : {valueStatus, treeStatus}) {
        if (status != reg::kSuccess && status != reg::kNotFound) {
            logging::info(kTag, "remove registry value failed. entry={} key={} error={} {}", entry,
                          key, status, reg::failureReason());
            return false;
        }
    }
    return true;
}

bool removeRegistryKey(const QString& path) {
    QString text = path;
    text.replace(QLatin1Char('/'), QLatin1Char('\\'));
    for (const RootSpelling& spelling : kTreeRoots) {
        const QLatin1String prefix(spelling.text);
        if (!text.startsWith(prefix, Qt::CaseInsensitive)) continue;
        const QString subkey = text.mid(prefix.size());
        // Separators alone may name the root itself, and a root is never deleted.
        const bool namesAKey = !QString(subkey).remove(QLatin1Char('\\')).isEmpty();
        const bool removed = namesAKey && reg::deleteTree(spelling.root, subkey.toStdString(),
                                                          reg::View::Default) == reg::kSuccess;
        logging::info(kTag, "remove registry key {} result: {}", text, removed);
        return removed;
    }
    logging::info(kTag, "unsupported registry root: {}", text);
    return false;
}

}  // namespace pellanor::system
