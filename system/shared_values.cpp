// Shared values over QSharedMemory. The segments this process set are kept in one table that is
// destroyed at exit: a System V segment on Linux would otherwise outlive the process, where a
// Windows segment dies with its last holder.
#include "system/shared_values.h"

#include <QDataStream>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSharedMemory>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "log/logger.h"
#include "log/qt_format.h"
#include "product/product.h"

namespace pellanor::system {
namespace {

constexpr char kTag[] = "SharedMemory";

QString segmentKey(const QString& key) {
    return QStringLiteral("QSharedMemory_For_") + QLatin1String(product::kName) +
           QLatin1Char('_') + key;
}

class SegmentTable final {
public:
    std::mutex& lock() { return m_lock; }

    QSharedMemory& segment(const QString& key) {
        auto& segment = m_segments[key];
        if (!segment) segment = std::make_unique<QSharedMemory>(segmentKey(key));
        return *segment;
    }

    QSharedMemory* attached(const QString& key) {
        const auto found = m_segments.find(key);
        return found != m_segments.end() && found->second->isAttached() ? found->second.get()
                                                                        : nullptr;
    }

private:
    std::mutex m_lock;
    // Destroying a QSharedMemory detaches it; the last detach removes the segment.
    std::map<QString, std::unique_ptr<QSharedMemory>> m_segments;
};

SegmentTable& segments() {
    static SegmentTable table;
    return table;
}

QByteArray content(const QString& key, const QString& value) {
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << QString::fromUtf8(QJsonDocument(QJsonObject{{key, value}}).toJson());
    return bytes;
}

void logFailure(const char* what, const QSharedMemory& segment, const QString& key) {
    logging::info(kTag, "failed to {} shared memory. error: {}--{}. key: {}", what,
                  static_cast<int>(segment.error()), segment.errorString(), key);
}

// Another process's segment was made for its own value: a longer one would be cut short, and
// readers would find a byte count that runs past the segment's end.
bool write(QSharedMemory& segment, const QByteArray& bytes, const QString& key) {
    if (segment.size() < bytes.size()) {
        logging::info(kTag, "value does not fit the shared memory. size: {}. needed: {}. key: {}",
                      segment.size(), bytes.size(), key);
        return false;
    }
    if (!segment.lock()) {
        logFailure("lock", segment, key);
        return false;
    }
    std::memcpy(segment.data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    segment.unlock();
    return true;
}

QString read(QSharedMemory& segment, const QString& key) {
    if (!segment.lock()) {
        logFailure("lock", segment, key);
        return {};
    }
    const QByteArray bytes(static_cast<const char*>(segment.constData()), segment.size());
    segment.unlock();
    QDataStream stream(bytes);
    QString text;
    stream >> text;
    if (stream.status() != QDataStream::Ok) return {};
    return QJsonDocument::fromJson(text.toUtf8()).object().value(key).toString();
}

}  // namespace

bool setSharedMemoryValue(const QString& key, const QString& value) {
    logging::info(kTag, "try to set shared memory data. key: {}. value: {}", key, value);
    const QByteArray bytes = content(key, value);
    SegmentTable& table = segments();
    const std::lock_guard<std::mutex> guard(table.lock());
    QSharedMemory& segment = table.segment(key);
    // Alone with it, this process lets the segment go, and the new one gets the new size.
    if (segment.isAttached()) segment.detach();
    if (!segment.create(bytes.size(), QSharedMemory::ReadWrite)) {
        logging::info(kTag, "failed to create shared memory. error: {}--{}. key: {}. value: {}",
                      static_cast<int>(segment.error()), segment.errorString(), key, value);
        if (segment.error() != QSharedMemory::AlreadyExists) return false;
        if (!segment.attach(QSharedMemory::ReadWrite)) {
            logFailure("attach", segment, key);
            return false;
        }
    }
    return write(segment, bytes, key);
}

QString getSharedMemoryValue(const QString& key) {
    SegmentTable& table = segments();
    const std::lock_guard<std::mutex> guard(table.lock());
    // Attaching again through the held object would fail: it is attached already.
    if (QSharedMemory* held = table.attached(key)) return read(*held, key);
    QSharedMemory segment(segmentKey(key));
    if (!segment.attach(QSharedMemory::ReadOnly)) return {};
    return read(segment, key);
}

}  // namespace pellanor::system
