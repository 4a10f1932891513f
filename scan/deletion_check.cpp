// The re-check made just before a file from a result list is deleted: results go stale as soon
// as the user edits, moves or deletes files elsewhere, and a duplicate deleted after its last
// other copy changed is data lost.
#include "scan/deletion_check.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cstring>
#include <memory>

#include "platform/paths.h"

namespace pellanor::scan {
namespace {

constexpr qint64 kCompareChunk = 1024 * 1024;

// An integer JSON number; doubles hold every millisecond time and file size exactly.
std::optional<qint64> wholeNumber(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    const double number = value.toDouble();
    if (number != static_cast<double>(static_cast<qint64>(number))) return std::nullopt;
    return static_cast<qint64>(number);
}

SeenFile seenFile(const QJsonValue& value) {
    SeenFile file;
    const QJsonObject object = value.toObject();
    file.path = object.value(QLatin1String(kEntryPathKey)).toString();
    const auto size = wholeNumber(object.value(QLatin1String(kEntrySizeKey)));
    const auto modified = wholeNumber(object.value(QLatin1String(kEntryModifiedKey)));
    const auto identity = parseFileId(object.value(QLatin1String(kEntryFileIdKey)).toString());
    if (file.path.isEmpty() || !size || !modified || !identity) return file;
    file.size = *size;
    file.modifiedMsecs = *modified;
    file.identity = *identity;
    file.hostPath = platform::localPath(file.path.toStdString());
    return file;
}

bool sameAsSeen(const SeenFile& seen, const platform::FileFacts& now) {
    return now.isFile && now.identity == seen.identity && now.size == seen.size &&
           now.modifiedMsecs == seen.modifiedMsecs;
}

bool sameBytes(const std::string& first, const std::string& second, const std::atomic<bool>* stop) {
    QFile a(QString::fromStdString(first));
    QFile b(QString::fromStdString(second));
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly)) return false;
    if (a.size() != b.size()) return false;
    const auto left = std::make_unique<char[]>(kCompareChunk);
    const auto right = std::make_unique<char[]>(kCompareChunk);
    for (;;) {
        if (stop != nullptr && *stop) return false;
        const qint64 got = a.read(left.get(), kCompareChunk);
        if (got < 0 || b.read(right.get(), kCompareChunk) != got) return false;
        if (got == 0) return true;
        if (std::memcmp(left.get(), right.get(), static_cast<std::size_t>(got)) != 0) return false;
    }
}

bool keptCopyStands(const DeletionEntry& entry, const platform::FileFacts& doomed,
                    const std::atomic<bool>* stop) {
    for (const SeenFile& kept : entry.kept) {
        if (kept.hostPath.empty()) continue;
        const auto now = platform::fileFacts(kept.hostPath);
        // The same file reached twice is no copy at all: deleting one name loses the other.
        if (!now || !sameAsSeen(kept, *now) || now->identity == doomed.identity) continue;
        if (doomed.size > kByteCompareLimit ||
            sameBytes(entry.file.hostPath, kept.hostPath, stop)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<platform::FileIdentity> parseFileId(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2) return std::nullopt;
    bool serialOk = false;
    bool indexOk = false;
    const uint serial = parts[0].toUInt(&serialOk);
    const qulonglong index = parts[1].toULongLong(&indexOk);
    if (!serialOk || !indexOk) return std::nullopt;
    return platform::FileIdentity{serial, index};
}

std::optional<std::vector<DeletionEntry>> parseDeletionEntries(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isArray()) return std::nullopt;
    std::vector<DeletionEntry> entries;
    const QJsonArray array = document.array();
    entries.reserve(static_cast<std::size_t>(array.size()));
    for (const QJsonValue& value : array) {
        DeletionEntry entry;
        entry.file = seenFile(value);
        const QJsonValue keep = value.toObject().value(QLatin1String(kEntryKeepKey));
        entry.duplicate = !keep.isUndefined();
        for (const QJsonValue& kept : keep.toArray()) entry.kept.push_back(seenFile(kept));
        entries.push_back(std::move(entry));
    }
    return entries;
}

CheckResult checkEntry(const DeletionEntry& entry, platform::FileFacts& facts,
                       const std::atomic<bool>* stop) {
    if (entry.file.hostPath.empty()) return CheckResult::Changed;
    const auto now = platform::fileFacts(entry.file.hostPath);
    if (!now) return CheckResult::Missing;
    facts = *now;
    if (!sameAsSeen(entry.file, facts)) return CheckResult::Changed;
    if (entry.duplicate && !keptCopyStands(entry, facts, stop)) return CheckResult::Changed;
    return CheckResult::Unchanged;
}

}  // namespace pellanor::scan
