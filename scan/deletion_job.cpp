// The worker behind startDeleteFiles. Each file is checked and removed in turn; what the page
// sees is paced by the clock (ten reports a second at most), never by the file count, so a
// list of 50,000 small files costs the page a few dozen reports rather than 50,000 calls.
#include "scan/deletion_job.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/file_removal.h"
#include "platform/paths.h"
#include "scan/deletion_check.h"
#include "scan/report_text.h"

namespace pellanor::scan {
namespace {

const char kTag[] = "NativeUtil";
const char kFailure[] = "delete files failed";
constexpr std::chrono::milliseconds kProgressInterval(100);
// A list where everything fails (a whole folder read-only) would fill the day's log.
constexpr int kLoggedFailures = 100;

// Outcomes and reasons as the result document spells them.
const char kDeleted[] = "deleted";
const char kMoved[] = "moved";
const char kFailed[] = "failed";
const char kPending[] = "pending";  // not reached before a stop

struct DeletionContext final : ScanContext {
    std::vector<DeletionEntry> entries;
    bool move = false;
    std::string target;  // host folder of a move
    std::optional<std::uint32_t> targetVolume;
};

ScanRegistry<DeletionContext>& registry() {
    static ScanRegistry<DeletionContext> jobs;
    return jobs;
}

const char* reasonText(platform::RemovalFailure failure) {
    switch (failure) {
        case platform::RemovalFailure::NotFound:
            return "notFound";
        case platform::RemovalFailure::InUse:
            return "inUse";
        case platform::RemovalFailure::AccessDenied:
            return "accessDenied";
        case platform::RemovalFailure::Exists:
            return "targetExists";
        case platform::RemovalFailure::Stopped:
            return "stopped";
        default:
            return "error";
    }
}

struct Outcome {
    const char* outcome = kPending;
    const char* reason = nullptr;
    qint64 bytes = 0;  // of a file that went
    qint64 freed = 0;  // what the disk got back
};

// The tally the reports carry.
struct Tally {
    int done = 0;
    int succeeded = 0;
    int failed = 0;
    qint64 bytes = 0;
    qint64 freed = 0;
};

Outcome failedWith(const char* reason) { return {kFailed, reason, 0, 0}; }

Outcome handleEntry(DeletionContext& job, platform::FileRemover& remover,
                    const DeletionEntry& entry) {
    platform::FileFacts facts;
    switch (checkEntry(entry, facts, &job.stopRequested)) {
        case CheckResult::Missing:
            return failedWith("notFound");
        case CheckResult::Changed:
            return failedWith(job.stopRequested ? "stopped" : "changed");
        case CheckResult::Unchanged:
            break;
    }
    // A file with other names keeps its bytes on disk when this one goes.
    const qint64 freeable = facts.linkCount > 1 ? 0 : facts.size;
    if (!job.move) {
        const auto result = remover.remove(entry.file.hostPath, &facts.identity);
        if (!result.ok()) return failedWith(reasonText(result.failure));
        return {kDeleted, nullptr, facts.size, freeable};
    }
    const QString name = QFileInfo(QString::fromStdString(entry.file.hostPath)).fileName();
    const auto result = remover.move(entry.file.hostPath, job.target + "/" + name.toStdString());
    if (!result.ok()) return failedWith(reasonText(result.failure));
    const bool otherVolume = job.targetVolume && *job.targetVolume != facts.identity.volumeSerial;
    return {kMoved, nullptr, facts.size, otherVolume ? freeable : 0};
}

QVariantMap progressEvent(const DeletionContext& job, const Tally& tally, const QString& current) {
    return {{kTypeKey, QString::fromLatin1(kProgressType)},
            {kIdKey, job.id},
            {kDoneKey, tally.done},
            {kTotalKey, static_cast<int>(job.entries.size())},
            {kBytesKey, static_cast<double>(tally.bytes)},
            {kCurrentKey, current}};
}

// Written straight into text: a Stop waits for this document, and a tree of 50,000 entries
// took most of a Stop's time to build.
QString resultDocument(const DeletionContext& job, const Tally& tally,
                       const std::vector<Outcome>& outcomes) {
    QString text;
    text.reserve(static_cast<int>(outcomes.size()) * 96);
    const auto member = [&text](const char* key, qint64 value) {
        appendJsonKey(text, key);
        appendJsonNumber(text, value);
        text += QLatin1Char(',');
    };
    text += QLatin1Char('{');
    member(kDoneKey, tally.done);
    member(kTotalKey, static_cast<qint64>(job.entries.size()));
    member(kSucceededKey, tally.succeeded);
    member(kFailedKey, tally.failed);
    member(kBytesKey, tally.bytes);
    member(kFreedBytesKey, tally.freed);
    appendJsonKey(text, kOutcomesKey);
    text += QLatin1Char('[');
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (i > 0) text += QLatin1Char(',');
        text += QLatin1Char('{');
        appendJsonKey(text, kEntryPathKey);
        appendJsonString(text, job.entries[i].file.path);
        text += QLatin1Char(',');
        appendJsonKey(text, kOutcomeKey);
        appendJsonString(text, QLatin1String(outcomes[i].outcome));
        text += QLatin1Char(',');
        if (outcomes[i].reason != nullptr) {
            appendJsonKey(text, kReasonKey);
            appendJsonString(text, QLatin1String(outcomes[i].reason));
            text += QLatin1Char(',');
        }
        appendJsonKey(text, kFreedBytesKey);
        appendJsonNumber(text, outcomes[i].freed);
        text += QLatin1Char('}');
    }
    text += QLatin1String("]}");
    return text;
}

void count(Tally& tally, const Outcome& outcome, const DeletionEntry& entry) {
    ++tally.done;
    if (outcome.outcome == kFailed) {
        if (++tally.failed <= kLoggedFailures) {
            logging::info(kTag, "delete file {} skipped: {}", entry.file.path, outcome.reason);
        }
        return;
    }
    ++tally.succeeded;
    tally.bytes += outcome.bytes;
    tally.freed += outcome.freed;
}

QVariantMap runJob(DeletionContext& job) {
    platform::FileRemover remover(&job.stopRequested);
    std::vector<Outcome> outcomes(job.entries.size());
    Tally tally;
    Pacer pacer;
    for (std::size_t i = 0; i < job.entries.size() && !job.stopRequested; ++i) {
        outcomes[i] = handleEntry(job, remover, job.entries[i]);
        // A file whose check or move was cut short by the stop is not done: it stays pending.
        if (outcomes[i].reason != nullptr && std::strcmp(outcomes[i].reason, "stopped") == 0) {
            outcomes[i] = Outcome{};
            break;
        }
        count(tally, outcomes[i], job.entries[i]);
        if (progressDue(job, kProgressInterval)) {
            reportProgress(job, progressEvent(job, tally, job.entries[i].file.path));
        }
        pacer.pause();
    }
    const bool stopped = job.stopRequested && tally.done < static_cast<int>(job.entries.size());
    logging::info(kTag, "delete files job {} {}: {} of {} done, {} failed, {} bytes freed", job.id,
                  stopped ? "stopped" : "done", tally.done, job.entries.size(), tally.failed,
                  tally.freed);
    const QString document = resultDocument(job, tally, outcomes);
    registry().remove(job.id);
    // The list goes before the final report: a caller that ends the process on that report
    // should not race the worker freeing thousands of paths.
    std::vector<DeletionEntry>().swap(job.entries);
    return dataEvent(stopped ? kStoppedType : kDoneType, job.id, document);
}

// Reads the options into `job`; false (and a log line) when they make no sense.
bool readOptions(DeletionContext& job, const QString& options) {
    const QJsonObject object = QJsonDocument::fromJson(options.toUtf8()).object();
    const QString mode = object.value(QLatin1String(kModeKey)).toString(QStringLiteral("delete"));
    if (mode == QLatin1String("delete")) return true;
    const QString target = object.value(QLatin1String(kTargetKey)).toString();
    if (mode != QLatin1String("move") || target.isEmpty()) {
        logging::info(kTag, "delete files refused: options {} name no known mode", options);
        return false;
    }
    job.move = true;
    job.target = platform::localPath(target.toStdString());
    if (!QDir().mkpath(QString::fromStdString(job.target))) {
        logging::info(kTag, "delete files refused: cannot create destination directory {}", target);
        return false;
    }
    if (const auto identity = platform::fileIdentity(job.target)) {
        job.targetVolume = identity->volumeSerial;
    }
    return true;
}

}  // namespace

int startDeleteFiles(const QString& entries, const QString& options, ScanReport report) {
    auto job = std::make_shared<DeletionContext>();
    auto parsed = parseDeletionEntries(entries);
    if (!parsed) {
        logging::info(kTag, "delete files refused: the list is not a JSON array");
        return 0;
    }
    if (!readOptions(*job, options)) return 0;
    job->entries = std::move(*parsed);
    job->callback = std::move(report);
    logging::info(kTag, "delete files job: {} files, {}", job->entries.size(),
                  job->move ? "move to " + job->target : std::string("delete"));
    return startScan(registry(), job, kFailure, [](DeletionContext& run) { return runJob(run); });
}

bool stopDeleteFiles(int id) { return registry().stop(id); }

}  // namespace pellanor::scan
