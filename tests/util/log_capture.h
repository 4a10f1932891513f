// Collects the log lines written while it lives, as "[<tag in 24>] message", in memory.
#pragma once

#include <spdlog/sinks/ostream_sink.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <sstream>

#include "log/logger.h"
#include "platform/environment.h"

namespace pellanor::test_support {

class LogCapture final {
public:
    LogCapture() : m_sink(std::make_shared<spdlog::sinks::ostream_sink_mt>(m_stream)) {
        keepLogFilesInTemporaryFolder();
        m_sink->set_pattern("%v");
        logging::logger().sinks().push_back(m_sink);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture() {
        auto& sinks = logging::logger().sinks();
        sinks.erase(std::remove(sinks.begin(), sinks.end(), m_sink), sinks.end());
    }

    QStringList lines() const {
        QStringList all = QString::fromStdString(m_stream.str()).split(QLatin1Char('\n'));
        all.removeAll(QString());
        return all;
    }

    bool contains(const char* tag, const QString& message) const {
        return lines().contains(tagged(tag, message));
    }

    static QString tagged(const char* tag, const QString& message) {
        return QStringLiteral("[%1] %2").arg(QLatin1String(tag), 24).arg(message);
    }

private:
    // The process logger writes its file under %APPDATA%; tests keep it out of the real one.
    static void keepLogFilesInTemporaryFolder() {
        static QTemporaryDir roaming;
        static const bool set =
            platform::setEnvironmentVariable("APPDATA", roaming.path().toStdString());
        (void)set;
    }

    std::ostringstream m_stream;
    std::shared_ptr<spdlog::sinks::ostream_sink_mt> m_sink;
};

}  // namespace pellanor::test_support
