// Trees in temp folders and an event recorder for the scanner tests.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace pellanor::test_support {

inline void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(path.section('/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

inline QJsonObject parseObject(const QString& json) {
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

// The "path" members of the records in `array`, in order.
inline QStringList pathsOf(const QJsonArray& array) {
    QStringList paths;
    for (const QJsonValue& value : array) paths << value.toObject().value("path").toString();
    return paths;
}

// Collects a scan's events from its worker thread.
class EventRecorder final {
public:
    void operator()(const QVariantMap& event) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
        m_changed.notify_all();
    }

    // Waits up to 30 s for a final event; returns every event seen so far.
    std::vector<QVariantMap> waitForFinal() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(30), [this] {
            return !m_events.empty() && m_events.back().value("type") != "progress";
        });
        return m_events;
    }

    std::vector<QVariantMap> events() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QVariantMap> m_events;
};

// Every event but the last is "progress" and the last one is final, all with the scan's id.
inline void expectOneFinalEventLast(const std::vector<QVariantMap>& events, int id) {
    ASSERT_FALSE(events.empty());
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].value("id").toInt(), id);
        EXPECT_EQ(events[i].value("type").toString() == "progress", i + 1 < events.size()) << i;
    }
}

// A tree of `folders` nested folders, so a walk of it takes a noticeable while.
inline void writeWideTree(const QString& root, int folders) {
    for (int i = 0; i < folders; ++i) {
        const QString folder = QString("%1/w%2/x%3").arg(root).arg(i % 50).arg(i);
        QDir().mkpath(folder);
        writeFile(folder + "/f.bin", QByteArray(i % 7 + 1, 'w'));
    }
}

}  // namespace pellanor::test_support
