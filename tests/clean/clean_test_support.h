// Fixtures for the junk tests: captured log lines, a fake user profile in a temp folder, and
// small file helpers.
#pragma once

#include <spdlog/sinks/base_sink.h>

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "log/logger.h"
#include "tests/platform/scoped_environment.h"

namespace pellanor::test_support {

// Collects the messages ("[<tag>] text") written to the process logger while it lives.
class LogCapture final {
public:
    LogCapture() : m_sink(std::make_shared<Sink>()) { logging::logger().sinks().push_back(m_sink); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture() {
        auto& sinks = logging::logger().sinks();
        sinks.erase(std::remove(sinks.begin(), sinks.end(), m_sink), sinks.end());
    }

    // Messages with the tag and its padding removed.
    std::vector<std::string> messages() const { return m_sink->messages(); }

    bool contains(const std::string& message) const {
        const auto all = messages();
        return std::find(all.begin(), all.end(), message) != all.end();
    }

private:
    class Sink final : public spdlog::sinks::base_sink<std::mutex> {
    public:
        std::vector<std::string> messages() {
            std::lock_guard<std::mutex> lock(mutex_);
            return m_messages;
        }

    protected:
        void sink_it_(const spdlog::details::log_msg& msg) override {
            std::string text(msg.payload.data(), msg.payload.size());
            const auto close = text.find("] ");
            m_messages.push_back(close == std::string::npos ? text : text.substr(close + 2));
        }
        void flush_() override {}

    private:
        std::vector<std::string> m_messages;
    };

    std::shared_ptr<Sink> m_sink;
};

inline void writeFile(const QString& path, qint64 size) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(static_cast<int>(size), 'x'));
}

inline bool exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A user profile in a temp folder: LOCALAPPDATA, APPDATA, TEMP, the freedesktop trash and
// drive C all point inside it. Sentinels belong in `outside()`, which no rule names.
class FakeProfile final {
public:
    FakeProfile() {
        m_env.set("LOCALAPPDATA", path("Local").toStdString());
        m_env.set("APPDATA", path("Roaming").toStdString());
        m_env.set("TEMP", path("Temp").toStdString());
        m_env.set("XDG_DATA_HOME", path("Data").toStdString());
        m_env.set("PELLANOR_DRIVES", ("C=" + path("C")).toStdString());
        for (const char* folder : {"Local", "Roaming", "Temp", "Data", "C", "outside"}) {
            QDir().mkpath(path(folder));
        }
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }
    QString local(const QString& relative) const { return path("Local/" + relative); }
    QString roaming(const QString& relative) const { return path("Roaming/" + relative); }
    QString temp(const QString& relative = {}) const { return path("Temp/" + relative); }
    QString driveC(const QString& relative = {}) const { return path("C/" + relative); }
    QString outside(const QString& relative = {}) const { return path("outside/" + relative); }

    // A sentinel folder with one file, outside every cleaned folder.
    QString makeSentinel() const {
        writeFile(outside("sentinel/keep.txt"), 10);
        return outside("sentinel");
    }

private:
    ScopedEnvironment m_env;
    QTemporaryDir m_root;
};

// Makes a file undeletable where the host allows it (the immutable flag needs root and a file
// system that supports it) and lifts the flag again on destruction.
class ImmutableFile final {
public:
    explicit ImmutableFile(const QString& path) : m_path(path) {
        m_ok = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    ~ImmutableFile() {
        if (m_ok) QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
    }
    bool ok() const { return m_ok; }

private:
    QString m_path;
    bool m_ok = false;
};

// Puts a folder of fake system tools first on PATH for one test.
class FakeTools final {
public:
    FakeTools() {
        const auto current = platform::environmentVariable("PATH");
        m_env.set(
            "PATH",
            (m_folder.path() + ":" + QString::fromStdString(current.value_or(""))).toStdString());
    }

    // A shell script named `name` that appends its arguments, one per line, to `name`.log
    // beside it, and one line per run with each argument in brackets to `name`.runs, and exits
    // with `exitCode` after printing `output`.
    void add(const QString& name, int exitCode, const QString& output = {}) {
        const QString path = m_folder.filePath(name);
        QFile script(path);
        script.open(QIODevice::WriteOnly);
        script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '%1.log'; done\n"
                                    "(for a in \"$@\"; do printf '[%s]' \"$a\"; done; echo) "
                                    ">> '%1.runs'\n"
                                    "printf '%s' '%2'\nexit %3\n")
                         .arg(path, output)
                         .arg(exitCode)
                         .toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }

    QStringList calls(const QString& name) const {
        QFile log(m_folder.filePath(name + ".log"));
        if (!log.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // One line per run of `name`: "[first argument][second argument]...".
    QStringList runs(const QString& name) const {
        QFile log(m_folder.filePath(name + ".runs"));
        if (!log.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_folder;
    ScopedEnvironment m_env;
};

// Many small files in `folders` sub-folders of `root`, for stopping a clean part-way: the clean
// empties one sub-folder after another, so the first one gone says it is under way.
class ManyFiles final {
public:
    ManyFiles(const QString& root, int folders, int filesPerFolder) : m_root(root) {
        for (int f = 0; f < folders; ++f) {
            QDir().mkpath(folder(f));
            for (int i = 0; i < filesPerFolder; ++i) {
                QFile file(folder(f) + QStringLiteral("/%1.tmp").arg(i));
                if (file.open(QIODevice::WriteOnly)) file.write("x");
            }
        }
        m_folders = folders;
    }

    // Waits (up to 20 s) until one sub-folder is gone; false when none went.
    bool waitUntilOneGoes() const {
        for (int round = 0; round < 20000; ++round) {
            for (int f = 0; f < m_folders; ++f) {
                if (!QFileInfo::exists(folder(f))) return true;
            }
            QThread::usleep(500);
        }
        return false;
    }

    int filesLeft() const {
        int count = 0;
        QDirIterator it(m_root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++count;
        }
        return count;
    }

private:
    QString folder(int f) const { return m_root + QStringLiteral("/d%1").arg(f); }

    QString m_root;
    int m_folders = 0;
};

}  // namespace pellanor::test_support
