// stop_bench delete <folder> <runs>: fills <folder> with 50,000 small files per run, hands them
//     to the deletion job, presses Stop once the first progress report came, and prints the
//     milliseconds from Stop to the job's final report, one line a run.
// stop_bench junk <folder> <runs>: the same for the "temp" junk rule emptying <folder> (the
//     temp folder this process is given) of 60,000 files, Stop pressed 50 ms after the start.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "clean/junk_cleaner.h"
#include "platform/file_identity.h"
#include "scan/deletion_job.h"

namespace {

using Clock = std::chrono::steady_clock;

// Files of 0 to 2 KiB in folders of 100, as the deletion bench makes them.
QStringList makeFiles(const QString& folder, int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString sub = folder + QString("/d%1").arg(i / 100, 3, 10, QChar('0'));
        if (i % 100 == 0) QDir().mkpath(sub);
        const QString path = sub + QString("/f%1.bin").arg(i, 5, 10, QChar('0'));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(i % 2048, 'x'));
        paths << path;
    }
    return paths;
}

QString entriesOf(const QStringList& paths) {
    QJsonArray entries;
    for (const QString& path : paths) {
        const auto facts = pellanor::platform::fileFacts(path.toStdString());
        if (!facts) continue;
        entries.append(QJsonObject{
            {"path", path},
            {"size", static_cast<double>(facts->size)},
            {"modifiedMsecs", static_cast<double>(facts->modifiedMsecs)},
            {"fileId", QString("%1:%2")
                           .arg(facts->identity.volumeSerial)
                           .arg(facts->identity.fileIndex)}});
    }
    return QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact));
}

// Reports seen by one run, waited for from the main thread.
struct Reports {
    std::mutex mutex;
    std::condition_variable changed;
    bool progressed = false;
    bool ended = false;
    Clock::time_point endedAt;

    void take(const QVariantMap& event) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (event.value("type").toString() == "progress") {
            progressed = true;
        } else {
            ended = true;
            endedAt = Clock::now();
        }
        changed.notify_all();
    }
    template <typename Predicate>
    void waitFor(Predicate predicate) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, predicate);
    }
};

double stopDeletion(const QString& folder) {
    const QString entries = entriesOf(makeFiles(folder, 50000));
    Reports reports;
    const int id = pellanor::scan::startDeleteFiles(
        entries, "{}", [&reports](const QVariantMap& event) { reports.take(event); });
    reports.waitFor([&] { return reports.progressed || reports.ended; });
    const Clock::time_point stop = Clock::now();
    pellanor::scan::stopDeleteFiles(id);
    reports.waitFor([&] { return reports.ended; });
    return std::chrono::duration<double, std::milli>(reports.endedAt - stop).count();
}

double stopJunk(const QString& folder) {
    makeFiles(folder, 60000);
    Reports reports;
    pellanor::cleanPrivacyItemsAsync("[\"temp\"]",
                                     [&reports](const QVariantMap& event) { reports.take(event); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const Clock::time_point stop = Clock::now();
    pellanor::stopCleanPrivacyItems();
    reports.waitFor([&] { return reports.ended; });
    return std::chrono::duration<double, std::milli>(reports.endedAt - stop).count();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const bool deletion = argc == 4 && std::strcmp(argv[1], "delete") == 0;
    const bool junk = argc == 4 && std::strcmp(argv[1], "junk") == 0;
    if (!deletion && !junk) {
        QTextStream(stderr) << "usage: stop_bench delete|junk <folder> <runs>\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    for (int run = 0, runs = std::atoi(argv[3]); run < runs; ++run) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        out << (deletion ? stopDeletion(folder) : stopJunk(folder)) << '\n';
        out.flush();
    }
    QDir(folder).removeRecursively();
    return 0;
}
